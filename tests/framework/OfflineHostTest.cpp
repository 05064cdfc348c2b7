#include "framework/offline/OfflineHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace fw {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%g", v);
  return buf;
}

Config ThreeParams(const char* channelIO = "0-2") {
  Config c;
  c.nParams = 3;
  c.channelIOStr = channelIO;
  return c;
}

// Logs every call the host makes into a log the test owns, so the calls made
// while the host destroys the plug-in can be checked too.
class LoggingPlug : public IPlugBase {
public:
  explicit LoggingPlug(std::vector<std::string>& log) : IPlugBase(InstanceInfo{}, ThreeParams()), mLog(log) {
    GetParam(0)->InitDouble("Level", 0.5, 0, 1, 0.01, "");
    GetParam(1)->InitInt("Range", 0, -2, 2, " oct");
    GetParam(2)->InitDouble("Time", 100, 1, 2000, 1, "ms", 0, "", IParam::ShapePowCurve(3));
  }

  void OnReset() override {
    mLog.push_back("reset sr=" + Num(GetSampleRate()) + " bs=" + std::to_string(GetBlockSize()) +
                   " active=" + std::to_string(IsProcessingActive()));
  }
  void OnRestoreState() override {
    mLog.push_back("restore");
    IPlugBase::OnRestoreState();
  }
  void OnParamChange(int idx) override {
    mLog.push_back("param " + std::to_string(idx) + "=" + Num(GetParam(idx)->Value()) +
                   (IsInProcessCall() ? " in process" : ""));
  }
  // Messages are logged with the frame of the block they took effect at
  // ("@-" after the block: the plug-in did not ask for them).
  void ProcessMidiMsg(const IMidiMsg& msg) override {
    char buf[48];
    std::snprintf(buf, sizeof(buf), "midi %02X %d %d @%s", msg.mStatus, msg.mData1, msg.mData2,
                  mFrame < 0 ? "-" : std::to_string(mFrame).c_str());
    mLog.push_back(buf);
  }
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override {
    mLog.push_back("block n=" + std::to_string(nFrames) + " tempo=" + Num(GetTempo()) +
                   (inputs ? " inputs" : "") + (IsInProcessCall() ? " in process" : ""));
    lastOutputs[0] = outputs[0];
    lastOutputs[1] = outputs[1];
    int next = 0;
    for (int s = 0; s < nFrames; ++s) {
      mFrame = s;
      if (s >= next) next = ApplyMidiDueAt(s);
      outputs[0][s] = s + 1;
      outputs[1][s] = -(s + 1);
    }
    mFrame = -1;
  }

  double* lastOutputs[2] = {nullptr, nullptr};

private:
  std::vector<std::string>& mLog;
  int mFrame = -1;
};

struct OfflineHostTest : ::testing::Test {
  std::vector<std::string> log;
  LoggingPlug* plug = nullptr;  // owned by host
  std::unique_ptr<OfflineHost> host;

  void SetUp() override {
    auto p = std::make_unique<LoggingPlug>(log);
    plug = p.get();
    host = std::make_unique<OfflineHost>(std::move(p));
  }
  std::vector<double> Values() {
    return {plug->GetParam(0)->Value(), plug->GetParam(1)->Value(), plug->GetParam(2)->Value()};
  }
};

TEST_F(OfflineHostTest, StartSetsUpAndSwitchesProcessingOnStopSwitchesOffThenResets) {
  host->Start(44100.0, 128);
  EXPECT_TRUE(host->IsStarted());
  EXPECT_TRUE(plug->IsProcessingActive());
  EXPECT_EQ(plug->GetSampleRate(), 44100.0);
  EXPECT_EQ(plug->GetBlockSize(), 128);
  EXPECT_EQ(log, std::vector<std::string>{"reset sr=44100 bs=128 active=0"}) << "OnReset before processing starts";

  log.clear();
  host->Stop();
  EXPECT_FALSE(host->IsStarted());
  EXPECT_FALSE(plug->IsProcessingActive());
  EXPECT_EQ(log, std::vector<std::string>{"reset sr=44100 bs=128 active=0"}) << "OnReset after processing stops";

  log.clear();
  host->Stop();
  EXPECT_TRUE(log.empty()) << "stopping twice";
}

TEST_F(OfflineHostTest, RestartingChangesTheRateWithProcessingOff) {
  host->Start(44100.0, 128);
  host->Start(96000.0, 64);
  EXPECT_EQ(log.back(), "reset sr=96000 bs=64 active=0");
  EXPECT_TRUE(plug->IsProcessingActive());
}

TEST_F(OfflineHostTest, StartRefusesNonPositiveSettings) {
  EXPECT_THROW(host->Start(0.0, 64), std::invalid_argument);
  EXPECT_THROW(host->Start(-48000.0, 64), std::invalid_argument);
  EXPECT_THROW(host->Start(kNaN, 64), std::invalid_argument);
  EXPECT_THROW(host->Start(48000.0, 0), std::invalid_argument);
  EXPECT_FALSE(host->IsStarted());
  EXPECT_TRUE(log.empty());
}

TEST_F(OfflineHostTest, BlockAppliesParamsAtItsStartAndEachMessageAtItsFrame) {
  host->Start(48000.0, 64);
  log.clear();
  OfflineBlock block;
  block.tempo = 133.0;
  block.params = {{2, 0.5, true}, {0, 0.25, false}, {1, 0.875, true}};
  // At frame 10 the controllers come first, then the events, each list in its order.
  block.controllers = {IMidiMsg::ControlChange(0, 1, 64, 10), IMidiMsg::PitchBend(0, 8192, 0),
                       IMidiMsg::ChannelPressure(0, 10, 10)};
  block.events = {IMidiMsg::NoteOn(0, 60, 100, 10), IMidiMsg::PolyPressure(0, 60, 5, 31),
                  IMidiMsg::NoteOff(0, 60, 5)};
  std::vector<double> left(64, 9.0), right(64, 9.0);
  host->ProcessBlock(block, left.data(), right.data(), 32);

  const std::vector<std::string> expected = {
      "param 2=250.875 in process",  // 1 + 0.125 * 1999
      "param 0=0.25 in process",
      "param 1=2 in process",        // -2 + 3.5, rounded
      "block n=32 tempo=133 in process",
      "midi E0 0 64 @0",
      "midi 80 60 0 @5",
      "midi B0 1 64 @10",
      "midi D0 10 0 @10",
      "midi 90 60 100 @10",
      "midi A0 60 5 @31",
  };
  EXPECT_EQ(log, expected);
  EXPECT_EQ(plug->lastOutputs[0], left.data());
  EXPECT_EQ(plug->lastOutputs[1], right.data());
  EXPECT_EQ(left[0], 1.0);
  EXPECT_EQ(right[31], -32.0);
  EXPECT_EQ(left[32], 9.0) << "nothing written past nFrames";
  EXPECT_FALSE(plug->IsInProcessCall()) << "the process call ended";
}

TEST_F(OfflineHostTest, BlockWithoutTempoKeepsThePreviousTempo) {
  host->Start(48000.0, 16);
  double l[16], r[16];
  struct Case { std::optional<double> tempo; double seen; } cases[] = {
      {std::nullopt, 120.0},  // nothing set yet: the default
      {140.0, 140.0},
      {std::nullopt, 140.0},
      {std::nullopt, 140.0},
      {90.0, 90.0},
      {std::nullopt, 90.0},
  };
  int blockNo = 0;
  for (const auto& c : cases) {
    OfflineBlock block;
    block.tempo = c.tempo;
    host->ProcessBlock(block, l, r, 16);
    EXPECT_EQ(plug->GetTempo(), c.seen) << "block " << blockNo;
    ++blockNo;
  }
}

TEST_F(OfflineHostTest, EmptyBlockStillRenders) {
  host->Start(48000.0, 16);
  log.clear();
  double l[1] = {5.0}, r[1] = {5.0};
  host->ProcessBlock(OfflineBlock{}, l, r, 0);
  EXPECT_EQ(log, std::vector<std::string>{"block n=0 tempo=120 in process"});
  EXPECT_EQ(l[0], 5.0);
}

TEST_F(OfflineHostTest, BlockOutsideTheSetUpIsRefused) {
  double l[32], r[32];
  EXPECT_THROW(host->ProcessBlock(OfflineBlock{}, l, r, 8), std::logic_error) << "before Start";
  host->Start(48000.0, 16);
  EXPECT_THROW(host->ProcessBlock(OfflineBlock{}, l, r, 17), std::invalid_argument) << "above max block";
  EXPECT_THROW(host->ProcessBlock(OfflineBlock{}, l, r, -1), std::invalid_argument) << "negative";
  host->ProcessBlock(OfflineBlock{}, l, r, 16);
  EXPECT_EQ(log.back(), "block n=16 tempo=120 in process") << "max block accepted";
}

TEST_F(OfflineHostTest, RestoreSetsValuesThenRunsOnRestoreState) {
  ASSERT_TRUE(host->RestorePlainValues({{1, -1.6}, {2, 250.875}, {0, 3.0}}));
  EXPECT_EQ(Values(), (std::vector<double>{1.0, -2.0, 250.875})) << "set like a parameter: rounded, clamped";
  // Every parameter is notified first, then OnRestoreState runs, as after a host's restore.
  const std::vector<std::string> expected = {"param 0=1", "param 1=-2", "param 2=250.875", "restore"};
  EXPECT_EQ(log, expected);
}

TEST_F(OfflineHostTest, RestoreWithABadEntryChangesNothing) {
  struct Case { const char* what; std::vector<std::pair<int, double>> values; } cases[] = {
      {"index past the end", {{0, 0.1}, {3, 0.5}}},
      {"negative index", {{0, 0.1}, {-1, 0.5}}},
      {"NaN", {{0, 0.1}, {1, kNaN}}},
      {"+inf", {{0, 0.1}, {2, kInf}}},
      {"-inf", {{0, 0.1}, {2, -kInf}}},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(host->RestorePlainValues(c.values)) << c.what;
    EXPECT_EQ(Values(), (std::vector<double>{0.5, 0.0, 100.0})) << c.what;
    EXPECT_TRUE(log.empty()) << c.what << ": no OnRestoreState";
  }
}

TEST_F(OfflineHostTest, RestoreAfterStartIsRefused) {
  host->Start(48000.0, 16);
  log.clear();
  EXPECT_FALSE(host->RestorePlainValues({{0, 0.1}}));
  EXPECT_EQ(plug->GetParam(0)->Value(), 0.5);
  EXPECT_TRUE(log.empty());
}

TEST(OfflineHost, DestructorStopsProcessing) {
  std::vector<std::string> log;
  {
    OfflineHost host(std::make_unique<LoggingPlug>(log));
    host.Start(48000.0, 16);
    log.clear();
  }
  EXPECT_EQ(log, std::vector<std::string>{"reset sr=48000 bs=16 active=0"});

  log.clear();
  { OfflineHost host(std::make_unique<LoggingPlug>(log)); }
  EXPECT_TRUE(log.empty()) << "never started: no OnReset";
}

TEST(OfflineHost, RefusesNoPlugAndMoreThanTwoOutputs) {
  EXPECT_THROW(OfflineHost(nullptr), std::invalid_argument);
  EXPECT_THROW(OfflineHost(std::make_unique<IPlugBase>(InstanceInfo{}, ThreeParams("0-4"))), std::invalid_argument);
  OfflineHost mono(std::make_unique<IPlugBase>(InstanceInfo{}, ThreeParams("0-1")));
  mono.Start(48000.0, 4);
  double l[4] = {1, 1, 1, 1}, r[4] = {1, 1, 1, 1};
  mono.ProcessBlock(OfflineBlock{}, l, r, 4);
  EXPECT_EQ(l[3], 0.0) << "the base silences its one output";
  EXPECT_EQ(r[3], 1.0);
}

TEST(OfflineHost, IdleReachesThePlugIn) {
  struct IdlePlug : IPlugBase {
    IdlePlug() : IPlugBase(InstanceInfo{}, Config{}) {}
    void OnIdle() override { ++idles; }
    int idles = 0;
  };
  auto p = std::make_unique<IdlePlug>();
  IdlePlug* raw = p.get();
  OfflineHost host(std::move(p));
  host.Idle();
  host.Idle();
  EXPECT_EQ(raw->idles, 2);
  EXPECT_EQ(&host.Plug(), raw);
}

}  // namespace
}  // namespace fw
