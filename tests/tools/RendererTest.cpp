// The render loop over the real offline driver with a stand-in plug-in that
// records what reaches it and writes a frame counter as its audio.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <string>
#include <utility>
#include <vector>

#include "TestFiles.h"
#include "tools/vrelbazzit-render/Renderer.h"

namespace vbrender {
namespace {

fw::Config FakeConfig() {
  fw::Config c;
  c.nParams = 3;
  c.channelIOStr = "0-2";
  c.plugDoesMidiIn = true;
  c.plugType = fw::kInstrument;
  return c;
}

class FakePlug final : public fw::IPlugBase {
public:
  FakePlug() : IPlugBase(fw::InstanceInfo{}, FakeConfig()) {
    GetParam(0)->InitDouble("Gain", 100, 0, 200, 0.1, "%");
    GetParam(1)->InitEnum("Mode", 0, {"Soft", "Hard", "Wild"});
    GetParam(2)->InitBool("Boost", false);
  }
  void ProcessMidiMsg(const fw::IMidiMsg& msg) override { received.emplace_back(blocks, msg); }
  void ProcessBlock(double** /*inputs*/, double** outputs, int nFrames) override {
    ApplyMidiDueAt(nFrames);  // the block's messages, recorded with its index
    for (int i = 0; i < nFrames; ++i) {
      outputs[0][i] = static_cast<double>(frames + i) / 65536.0;
      outputs[1][i] = -outputs[0][i];
    }
    frames += nFrames;
    ++blocks;
    sizes.push_back(nFrames);
    tempos.push_back(GetTempo());
  }
  void OnIdle() override { ++idles; }

  std::vector<std::pair<int, fw::IMidiMsg>> received;  // block index, message
  std::vector<int> sizes;
  std::vector<double> tempos;
  int64_t frames = 0;
  int blocks = 0;
  int idles = 0;
};

TEST(RenderMidi, BlocksMessagesAndAudioReachTheFile) {
  test::TempDir dir;
  ASSERT_TRUE(dir.Ok());
  auto owned = std::make_unique<FakePlug>();
  FakePlug& plug = *owned;
  fw::OfflineHost host(std::move(owned));

  // 1000 Hz, blocks of 64: block b covers frames 64b .. 64b + 63.
  const std::vector<TimedMidiMsg> messages = {
      {0.000, fw::IMidiMsg::NoteOn(0, 60, 100)},   // frame 0, block 0
      {0.070, fw::IMidiMsg::NoteOff(0, 60)},       // frame 70, block 1
      {0.100, fw::IMidiMsg::ControlChange(0, 64, 127)},  // frame 100, block 1, after the note off
      {0.128, fw::IMidiMsg::NoteOn(0, 62, 90)},    // frame 128, block 2
      {0.999, fw::IMidiMsg::PitchBend(0, 9000)},   // frame 999, the short last block 15
      {1.000, fw::IMidiMsg::NoteOn(0, 64, 80)},    // frame 1000, past the end
  };
  RenderSettings settings;
  settings.sampleRate = 1000;
  settings.blockSize = 64;
  settings.tempo = 133.0;
  settings.totalFrames = 1000;

  WavWriter writer;
  std::string error;
  ASSERT_TRUE(writer.Open(dir / "out.wav", 1000, SampleFormat::Float64, settings.totalFrames, error)) << error;
  std::vector<int64_t> progress;
  ASSERT_TRUE(RenderMidi(host, messages, settings, writer,
                         [&](int64_t done, int64_t total) {
                           EXPECT_EQ(total, 1000);
                           progress.push_back(done);
                         },
                         error))
      << error;
  ASSERT_TRUE(writer.Commit(error)) << error;
  EXPECT_FALSE(host.IsStarted());

  std::vector<int> expectedSizes(15, 64);
  expectedSizes.push_back(40);
  EXPECT_EQ(plug.sizes, expectedSizes);
  EXPECT_EQ(plug.tempos, std::vector<double>(16, 133.0));
  ASSERT_EQ(progress.size(), 16u);
  EXPECT_EQ(progress.front(), 64);
  EXPECT_EQ(progress.back(), 1000);

  const struct {
    int block;
    uint8_t status, data1, data2;
  } expected[] = {{0, 0x90, 60, 100}, {1, 0x80, 60, 0}, {1, 0xB0, 64, 127}, {2, 0x90, 62, 90},
                  {15, 0xE0, 9000 & 0x7F, 9000 >> 7}};
  ASSERT_EQ(plug.received.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(plug.received[i].first, expected[i].block) << "message " << i;
    EXPECT_EQ(plug.received[i].second.mStatus, expected[i].status) << "message " << i;
    EXPECT_EQ(plug.received[i].second.mData1, expected[i].data1) << "message " << i;
    EXPECT_EQ(plug.received[i].second.mData2, expected[i].data2) << "message " << i;
  }

  SF_INFO info{};
  SNDFILE* f = sf_open((dir / "out.wav").c_str(), SFM_READ, &info);
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(info.frames, 1000);
  ASSERT_EQ(info.channels, 2);
  EXPECT_EQ(info.samplerate, 1000);
  std::vector<double> samples(2000);
  ASSERT_EQ(sf_readf_double(f, samples.data(), 1000), 1000);
  sf_close(f);
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(samples[2 * size_t(i)], i / 65536.0) << "left, frame " << i;
    ASSERT_EQ(samples[2 * size_t(i) + 1], -i / 65536.0) << "right, frame " << i;
  }
}

// Plays every message on its frame and records that frame.
class FramePlug final : public fw::IPlugBase {
public:
  FramePlug() : IPlugBase(fw::InstanceInfo{}, FakeConfig()) {}
  void ProcessMidiMsg(const fw::IMidiMsg& msg) override { played.emplace_back(frame, msg.mStatus); }
  void ProcessBlock(double** /*inputs*/, double** outputs, int nFrames) override {
    for (int i = 0; i < nFrames; ++i, ++frame) {
      ApplyMidiDueAt(i);
      outputs[0][i] = outputs[1][i] = 0.0;
    }
  }
  std::vector<std::pair<int64_t, int>> played;  // frame, status byte
  int64_t frame = 0;
};

// 1000 Hz in blocks of 64: sample timing plays each message on frame
// floor(t x 1000), block timing on the first frame of its block; at one frame
// controllers come before notes.
TEST(RenderMidi, MessagesPlayOnTheirFrameOrAtTheirBlocksStart) {
  const std::vector<TimedMidiMsg> messages = {
      {0.0005, fw::IMidiMsg::NoteOn(0, 60, 100)},        // frame 0
      {0.0701, fw::IMidiMsg::NoteOff(0, 60)},            // frame 70, block from 64
      {0.0700, fw::IMidiMsg::ControlChange(0, 64, 127)}, // frame 70, before the note off
      {0.1279, fw::IMidiMsg::NoteOn(0, 62, 90)},         // frame 127, last of its block
      {0.1280, fw::IMidiMsg::PitchBend(0, 9000)},        // frame 128, first of the next
      {0.9990, fw::IMidiMsg::NoteOff(0, 62)},            // frame 999
  };
  const struct {
    EventTiming timing;
    std::vector<std::pair<int64_t, int>> played;
  } cases[] = {
      {EventTiming::Sample, {{0, 0x90}, {70, 0xB0}, {70, 0x80}, {127, 0x90}, {128, 0xE0}, {999, 0x80}}},
      {EventTiming::Block, {{0, 0x90}, {64, 0xB0}, {64, 0x80}, {64, 0x90}, {128, 0xE0}, {960, 0x80}}},
  };
  for (const auto& c : cases) {
    auto owned = std::make_unique<FramePlug>();
    FramePlug& plug = *owned;
    fw::OfflineHost host(std::move(owned));
    test::TempDir dir;
    ASSERT_TRUE(dir.Ok());
    WavWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(dir / "out.wav", 1000, SampleFormat::Pcm16, 1000, error)) << error;
    RenderSettings settings;
    settings.sampleRate = 1000;
    settings.blockSize = 64;
    settings.totalFrames = 1000;
    settings.eventTiming = c.timing;
    // The scheduler takes messages in any order and sorts them by time.
    ASSERT_TRUE(RenderMidi(host, messages, settings, writer, nullptr, error)) << error;
    EXPECT_EQ(plug.played, c.played) << (c.timing == EventTiming::Sample ? "sample" : "block");
  }
}

TEST(RenderMidi, IdleTickEveryTwentyMillisecondsOfAudio) {
  auto owned = std::make_unique<FakePlug>();
  FakePlug& plug = *owned;
  fw::OfflineHost host(std::move(owned));
  test::TempDir dir;
  ASSERT_TRUE(dir.Ok());
  WavWriter writer;
  std::string error;
  ASSERT_TRUE(writer.Open(dir / "out.wav", 1000, SampleFormat::Pcm16, 100, error)) << error;
  RenderSettings settings;
  settings.sampleRate = 1000;
  settings.blockSize = 5;
  settings.totalFrames = 100;
  ASSERT_TRUE(RenderMidi(host, {}, settings, writer, nullptr, error)) << error;
  EXPECT_EQ(plug.idles, 5) << "at 20, 40, 60, 80 and 100 ms";
}

TEST(DescribeParams, NamesRangesAndTexts) {
  FakePlug plug;
  const std::vector<ParamInfo> infos = DescribeParams(plug);
  ASSERT_EQ(infos.size(), 3u);
  EXPECT_EQ(infos[0].name, "Gain");
  EXPECT_EQ(infos[0].min, 0);
  EXPECT_EQ(infos[0].max, 200);
  EXPECT_FALSE(infos[0].stepped);
  EXPECT_TRUE(infos[0].texts.empty());
  EXPECT_EQ(infos[1].name, "Mode");
  EXPECT_TRUE(infos[1].stepped);
  EXPECT_EQ(infos[1].texts, (std::vector<std::string>{"Soft", "Hard", "Wild"}));
  EXPECT_EQ(infos[2].texts, (std::vector<std::string>{"off", "on"}));

  ParamAssignment a;
  std::string error;
  ASSERT_TRUE(ParseParamArg("Mode=wild", infos, a, error)) << error;
  EXPECT_EQ(a.index, 1);
  EXPECT_EQ(a.value, 2);
}

TEST(FramesForLength, RoundsToNearestAndAtLeastOne) {
  const struct {
    double seconds, rate;
    int64_t frames;
  } cases[] = {{1.5, 44100, 66150}, {3.5, 48000, 168000}, {1.0 / 3.0, 1000, 333},
               {0.0016, 1000, 2},   {0.00001, 8000, 1},   {9.0 + 3.0, 384000, 4608000}};
  for (const auto& c : cases)
    EXPECT_EQ(FramesForLength(c.seconds, c.rate), c.frames) << c.seconds << " s at " << c.rate;
}

}  // namespace
}  // namespace vbrender
