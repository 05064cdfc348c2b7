#include "framework/plug/IPlugBase.h"
#include "framework/plug/ScopedNoDenormals.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace fw {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Config MakeConfig(int nParams, const char* channelIO = "0-2") {
  Config c;
  c.nParams = nParams;
  c.channelIOStr = channelIO;
  return c;
}

struct ParamChange {
  int idx;
  bool inProcess;
  std::thread::id thread;
  double value;  // the parameter's value when OnParamChange ran
};

struct UIChange {
  int idx;
  EParamSource source;
};

// Three parameters; records every OnParamChange with the thread it ran on and
// whether that thread was inside the process call.
class RecordingPlug : public IPlugBase {
public:
  explicit RecordingPlug(const char* channelIO = "0-2") : IPlugBase(InstanceInfo{}, MakeConfig(3, channelIO)) {
    GetParam(0)->InitDouble("Cutoff", 1000, 20, 20000, 1, " Hz", 0, "Filter", IParam::ShapePowCurve(3));
    GetParam(1)->InitInt("Range", 0, -2, 2, " oct");
    GetParam(2)->InitEnum("Wave", 0, {"Saw", "Square", "Triangle"});
  }

  void OnParamChange(int idx) override {
    {
      std::lock_guard<std::mutex> lock(mRecordMutex);
      changes.push_back({idx, IsInProcessCall(), std::this_thread::get_id(), GetParam(idx)->Value()});
    }
    if (onChange) onChange(idx);
  }
  void OnParamChangeUI(int idx, EParamSource source) override { uiChanges.push_back({idx, source}); }

  std::vector<ParamChange> Changes() {
    std::lock_guard<std::mutex> lock(mRecordMutex);
    return changes;
  }
  std::vector<int> ChangedIndices() {
    std::vector<int> out;
    for (const auto& c : Changes()) out.push_back(c.idx);
    return out;
  }
  void ClearRecords() {
    std::lock_guard<std::mutex> lock(mRecordMutex);
    changes.clear();
    uiChanges.clear();
  }

  std::vector<ParamChange> changes;
  std::vector<UIChange> uiChanges;
  std::function<void(int)> onChange;

private:
  std::mutex mRecordMutex;
};

class RecordingHostSink : public IHostSink {
public:
  void BeginInformHostOfParamChange(int idx) override { log.push_back("begin " + std::to_string(idx)); }
  void InformHostOfParamChange(int idx, double normalized) override {
    log.push_back("value " + std::to_string(idx));
    values.push_back(normalized);
  }
  void EndInformHostOfParamChange(int idx) override { log.push_back("end " + std::to_string(idx)); }
  std::vector<std::string> log;
  std::vector<double> values;
};

class RecordingEditorSink : public IEditorSink {
public:
  void OnControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data) override {
    ctrl = {ctrlTag, msgTag, dataSize};
    bytes.assign(static_cast<const char*>(data), static_cast<size_t>(dataSize));
  }
  void OnParameterValueFromDelegate(int idx, double value, bool normalized) override {
    paramIdx = idx;
    paramValue = value;
    paramNormalized = normalized;
  }
  std::array<int, 3> ctrl{-1, -1, -1};
  std::string bytes;
  int paramIdx = -1;
  double paramValue = 0;
  bool paramNormalized = false;
};

// ---- Construction --------------------------------------------------------------

TEST(IPlugBase, ChannelIOStringGivesTheChannelCounts) {
  struct Case { const char* io; int in, out; } cases[] = {
      {"0-2", 0, 2}, {"2-2", 2, 2}, {"1-1", 1, 1}, {"0-1", 0, 1}, {"12-10", 12, 10}, {"2-2 0-2", 2, 2},
  };
  for (const auto& c : cases) {
    IPlugBase plug(InstanceInfo{}, MakeConfig(0, c.io));
    EXPECT_EQ(plug.NInChannels(), c.in) << c.io;
    EXPECT_EQ(plug.NOutChannels(), c.out) << c.io;
  }
}

TEST(IPlugBase, MalformedChannelIOStringIsRefused) {
  for (const char* io : {"", "2", "-2", "a-b", "2-", "2-x", "2--2", "0-999"})
    EXPECT_THROW(IPlugBase(InstanceInfo{}, MakeConfig(0, io)), std::invalid_argument) << '"' << io << '"';
  EXPECT_THROW(IPlugBase(InstanceInfo{}, MakeConfig(0, nullptr)), std::invalid_argument) << "null";
}

TEST(IPlugBase, CreatesTheConfiguredNumberOfParameters) {
  for (int n : {0, 1, 5, IPlugBase::kMaxParams}) {
    IPlugBase plug(InstanceInfo{}, MakeConfig(n));
    EXPECT_EQ(plug.NParams(), n);
    for (int i = 0; i < n; ++i) ASSERT_NE(plug.GetParam(i), nullptr) << "n=" << n << " i=" << i;
    EXPECT_EQ(plug.GetParam(n), nullptr) << "n=" << n;
    EXPECT_EQ(plug.GetParam(-1), nullptr) << "n=" << n;
  }
  EXPECT_THROW(IPlugBase(InstanceInfo{}, MakeConfig(IPlugBase::kMaxParams + 1)), std::invalid_argument);
  EXPECT_THROW(IPlugBase(InstanceInfo{}, MakeConfig(-1)), std::invalid_argument);
}

// ---- Deferral of parameter changes ----------------------------------------------

TEST(IPlugBase, UIChangeWhileProcessingOffRunsOnParamChangeAtOnce) {
  RecordingPlug plug;
  RecordingHostSink host;
  plug.SetHostSink(&host);

  plug.SendParameterValueFromUI(1, 0.875);  // -2 + 3.5 = 1.5 -> 2

  const auto changes = plug.Changes();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].idx, 1);
  EXPECT_FALSE(changes[0].inProcess);
  EXPECT_EQ(changes[0].value, 2.0);
  ASSERT_EQ(plug.uiChanges.size(), 1u);
  EXPECT_EQ(plug.uiChanges[0].idx, 1);
  EXPECT_EQ(plug.uiChanges[0].source, kUI);
  ASSERT_EQ(host.values.size(), 1u);
  EXPECT_EQ(host.values[0], 1.0) << "the host hears the stepped value, not the raw gesture";
  EXPECT_EQ(host.log, std::vector<std::string>{"value 1"});
}

TEST(IPlugBase, UIChangeWhileProcessingWaitsForTheNextProcessCall) {
  RecordingPlug plug;
  RecordingHostSink host;
  plug.SetHostSink(&host);
  plug.SetProcessingActive(true);

  plug.SendParameterValueFromUI(0, 0.5);  // 20 + 0.125 * 19980 = 2517.5
  EXPECT_TRUE(plug.Changes().empty()) << "no OnParamChange off the audio thread while processing";
  EXPECT_EQ(plug.GetParam(0)->Value(), 2517.5) << "the value itself is set at once";
  ASSERT_EQ(plug.uiChanges.size(), 1u) << "the editor side hears at once";
  EXPECT_EQ(plug.uiChanges[0].source, kUI);
  ASSERT_EQ(host.values.size(), 1u);
  EXPECT_DOUBLE_EQ(host.values[0], 0.5);

  plug.BeginProcess(nullptr);
  auto changes = plug.Changes();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].idx, 0);
  EXPECT_TRUE(changes[0].inProcess);
  EXPECT_EQ(changes[0].value, 2517.5);
  plug.EndProcess();

  plug.BeginProcess(nullptr);
  plug.EndProcess();
  EXPECT_EQ(plug.Changes().size(), 1u) << "a deferred change runs once";
}

TEST(IPlugBase, DeferredChangesRunOncePerIndexInIndexOrderWithTheLatestValue) {
  RecordingPlug plug;
  plug.SetProcessingActive(true);
  plug.SendParameterValueFromUI(2, 1.0);
  plug.SendParameterValueFromUI(0, 0.0);
  plug.SendParameterValueFromUI(2, 0.5);

  plug.BeginProcess(nullptr);
  plug.EndProcess();
  const auto changes = plug.Changes();
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].idx, 0);
  EXPECT_EQ(changes[0].value, 20.0);
  EXPECT_EQ(changes[1].idx, 2);
  EXPECT_EQ(changes[1].value, 1.0);
  EXPECT_EQ(plug.uiChanges.size(), 3u) << "every gesture reaches OnParamChangeUI";
}

TEST(IPlugBase, SwitchingProcessingOffRunsDeferredChangesAtOnce) {
  RecordingPlug plug;
  plug.SetProcessingActive(true);
  plug.SendParameterValueFromUI(1, 0.0);
  plug.SendParameterValueFromUI(2, 1.0);
  EXPECT_TRUE(plug.Changes().empty());

  plug.SetProcessingActive(false);
  EXPECT_EQ(plug.ChangedIndices(), (std::vector<int>{1, 2}));
  for (const auto& c : plug.Changes()) EXPECT_FALSE(c.inProcess) << "param " << c.idx;

  plug.SetProcessingActive(true);
  plug.BeginProcess(nullptr);
  plug.EndProcess();
  EXPECT_EQ(plug.Changes().size(), 2u) << "nothing left over for the audio thread";
}

TEST(IPlugBase, NotifyParamChangeIgnoresUnknownIndices) {
  RecordingPlug plug;
  plug.NotifyParamChange(-1);
  plug.NotifyParamChange(3);
  plug.NotifyParamChange(IPlugBase::kMaxParams);
  plug.SetProcessingActive(true);
  plug.NotifyParamChange(3);
  plug.NotifyParamChange(-5);
  plug.BeginProcess(nullptr);
  plug.EndProcess();
  EXPECT_TRUE(plug.Changes().empty());
}

TEST(IPlugBase, NotifyParamChangeInsideTheProcessCallRunsAtOnce) {
  RecordingPlug plug;
  plug.SetProcessingActive(true);
  plug.BeginProcess(nullptr);
  plug.NotifyParamChange(2);
  EXPECT_EQ(plug.ChangedIndices(), std::vector<int>{2});
  plug.EndProcess();
  plug.BeginProcess(nullptr);
  plug.EndProcess();
  EXPECT_EQ(plug.Changes().size(), 1u) << "not deferred as well";
}

TEST(IPlugBase, OnParamChangeMayChangeAnotherParameterWhileDeferredChangesAreApplied) {
  // Switching processing off runs the deferred changes under the deferral lock;
  // a plug-in reacting to one by setting another parameter must not dead-lock.
  RecordingPlug plug;
  plug.onChange = [&](int idx) {
    if (idx == 0) plug.SendParameterValueFromUI(1, 1.0);
  };
  plug.SetProcessingActive(true);
  plug.SendParameterValueFromUI(0, 0.25);
  plug.SetProcessingActive(false);
  EXPECT_EQ(plug.ChangedIndices(), (std::vector<int>{0, 1}));
  EXPECT_EQ(plug.GetParam(1)->Value(), 2.0);
}

TEST(IPlugBase, UIChangesFromAnotherThreadOnlyReachOnParamChangeOnTheAudioThread) {
  RecordingPlug plug;
  plug.SetProcessingActive(true);
  std::atomic<bool> stop{false};
  std::atomic<int> cycles{0};
  std::thread::id audioId;
  std::thread audio([&] {
    double left[16], right[16];
    double* outs[2] = {left, right};
    while (!stop.load()) {
      plug.BeginProcess(nullptr);
      plug.Render(nullptr, outs, 16);
      plug.EndProcess();
      cycles.fetch_add(1);
    }
  });
  audioId = audio.get_id();

  for (int i = 0; i < 2000; ++i) plug.SendParameterValueFromUI(i % 3, (i % 100) / 99.0);
  plug.SendParameterValueFromUI(0, 1.0);
  plug.SendParameterValueFromUI(1, 0.0);
  plug.SendParameterValueFromUI(2, 0.5);
  // Two full cycles after the last gesture: the last one began after it.
  const int seen = cycles.load();
  while (cycles.load() < seen + 2) std::this_thread::yield();
  stop.store(true);
  audio.join();

  const auto changes = plug.Changes();
  ASSERT_FALSE(changes.empty());
  double last[3] = {kNaN, kNaN, kNaN};
  for (const auto& c : changes) {
    ASSERT_EQ(c.thread, audioId) << "param " << c.idx << " changed off the audio thread";
    ASSERT_TRUE(c.inProcess) << "param " << c.idx;
    last[c.idx] = c.value;
  }
  EXPECT_EQ(last[0], 20000.0);
  EXPECT_EQ(last[1], -2.0);
  EXPECT_EQ(last[2], 1.0);

  plug.SetProcessingActive(false);
  EXPECT_EQ(plug.Changes().size(), changes.size()) << "nothing was left deferred";
}

TEST(IPlugBase, RestoredParametersReachOnParamChangeEachOnce) {
  RecordingPlug plug;
  plug.NotifyParamsRestored();
  EXPECT_EQ(plug.ChangedIndices(), (std::vector<int>{0, 1, 2}));

  // A restore on a host thread while processing goes to the audio thread.
  plug.ClearRecords();
  plug.SetProcessingActive(true);
  plug.NotifyParamsRestored();
  EXPECT_TRUE(plug.Changes().empty());
  plug.BeginProcess(nullptr);
  plug.EndProcess();
  EXPECT_EQ(plug.ChangedIndices(), (std::vector<int>{0, 1, 2}));
  for (const auto& c : plug.Changes()) EXPECT_TRUE(c.inProcess) << "param " << c.idx;
}

// ---- Process call ----------------------------------------------------------------

// Plays queued messages on their frames and records (frame, note) for each;
// frame -1: applied outside ProcessBlock.
class FramePlug : public IPlugBase {
public:
  FramePlug() : IPlugBase(InstanceInfo{}, MakeConfig(0)) {}
  void ProcessMidiMsg(const IMidiMsg& msg) override { played.emplace_back(mFrame, msg.mData1); }
  void ProcessBlock(double**, double** outputs, int nFrames) override {
    int next = 0;
    for (int i = 0; i < nFrames; ++i) {
      mFrame = mBase + i;
      if (i >= next) next = ApplyMidiDueAt(i);
      outputs[0][i] = outputs[1][i] = 0.0;
    }
    mBase += nFrames;
    mFrame = -1;
  }
  std::vector<std::pair<int, int>> played;

private:
  int mFrame = -1;
  int mBase = 0;
};

// A process call over fixed messages, rendered in pieces of at most `piece` frames.
class MessagesSource : public IProcessSource {
public:
  MessagesSource(std::vector<IMidiMsg> msgs, int nFrames, int piece)
      : mMsgs(std::move(msgs)), mFrames(nFrames), mPiece(piece) {}
  int NumFrames() const override { return mFrames; }
  const ITimeInfo* TimeInfo() override { return nullptr; }
  void DeliverParamChanges(IPlugBase&) override {}
  void DeliverControllers(IPlugBase&) override {}
  void DeliverEvents(IPlugBase& plug) override {
    for (const IMidiMsg& m : mMsgs) plug.ApplyHostMidi(m);
  }
  void RenderOutputs(IPlugBase& plug) override {
    std::vector<double> l(static_cast<size_t>(mPiece)), r(static_cast<size_t>(mPiece));
    double* outs[2] = {l.data(), r.data()};
    for (int done = 0; done < mFrames; done += mPiece) plug.Render(nullptr, outs, std::min(mPiece, mFrames - done));
  }

private:
  std::vector<IMidiMsg> mMsgs;
  int mFrames, mPiece;
};

TEST(IPlugBase, MessagesTakeEffectOnTheirFrameAcrossRenderPieces) {
  struct Case {
    const char* what;
    int nFrames, piece;
    std::vector<IMidiMsg> msgs;
    std::vector<std::pair<int, int>> played;  // (frame, note)
  } cases[] = {
      {"in order", 64, 64, {IMidiMsg::NoteOn(0, 1, 9, 0), IMidiMsg::NoteOn(0, 2, 9, 63)}, {{0, 1}, {63, 2}}},
      {"out of order, same frame keeps list order",
       64,
       64,
       {IMidiMsg::NoteOn(0, 1, 9, 40), IMidiMsg::NoteOn(0, 2, 9, 10), IMidiMsg::NoteOn(0, 3, 9, 40)},
       {{10, 2}, {40, 1}, {40, 3}}},
      {"rendered in pieces of 16", 64, 16, {IMidiMsg::NoteOn(0, 1, 9, 15), IMidiMsg::NoteOn(0, 2, 9, 16)},
       {{15, 1}, {16, 2}}},
      {"offsets outside the block are clamped into it", 32, 32,
       {IMidiMsg::NoteOn(0, 1, 9, 500), IMidiMsg::NoteOn(0, 2, 9, -7)}, {{0, 2}, {31, 1}}},
      {"a call without frames still applies its messages", 0, 1, {IMidiMsg::NoteOn(0, 1, 9, 5)}, {{-1, 1}}},
  };
  for (Case& c : cases) {
    FramePlug plug;
    plug.SetProcessingActive(true);
    MessagesSource source(c.msgs, c.nFrames, c.piece);
    ASSERT_TRUE(plug.Process(source)) << c.what;
    EXPECT_EQ(plug.played, c.played) << c.what;
  }
}

TEST(IPlugBase, MessagesBeyondTheQueueAreAppliedAtTheStartNeverDropped) {
  const int n = static_cast<int>(IMidiQueue::kCapacity) + 10;
  std::vector<IMidiMsg> msgs;
  for (int i = 0; i < n; ++i) msgs.push_back(IMidiMsg::NoteOn(0, i % 128, 9, 100));
  FramePlug plug;
  plug.SetProcessingActive(true);
  MessagesSource source(msgs, 128, 128);
  ASSERT_TRUE(plug.Process(source));
  ASSERT_EQ(plug.played.size(), static_cast<size_t>(n));
  // The ten that did not fit were applied while the events were delivered
  // (frame -1), before the block; the queued ones on frame 100.
  for (int i = 0; i < 10; ++i) EXPECT_EQ(plug.played[static_cast<size_t>(i)].first, -1) << i;
  for (int i = 10; i < n; ++i) ASSERT_EQ(plug.played[static_cast<size_t>(i)].first, 100) << i;
}

TEST(IPlugBase, SwitchingProcessingOffWaitsForTheRunningProcessCall) {
  // The audio thread is held inside ProcessBlock; switching processing off
  // must not return (and so no OnReset may follow) before the call ends.
  class HeldPlug : public IPlugBase {
  public:
    HeldPlug() : IPlugBase(InstanceInfo{}, MakeConfig(0)) {}
    void ProcessBlock(double**, double**, int) override {
      inside.store(true);
      while (!release.load()) std::this_thread::yield();
      ended.store(true);
    }
    std::atomic<bool> inside{false}, release{false}, ended{false};
  } plug;
  plug.SetProcessingActive(true);
  MessagesSource source({}, 8, 8);
  std::thread audio([&] { plug.Process(source); });
  while (!plug.inside.load()) std::this_thread::yield();

  std::atomic<bool> switchedOff{false};
  std::thread main([&] {
    plug.SetProcessingActive(false);
    switchedOff.store(true);
    EXPECT_TRUE(plug.ended.load()) << "returned while the process call was still running";
  });
  for (int i = 0; i < 1000; ++i) std::this_thread::yield();
  EXPECT_FALSE(switchedOff.load());
  plug.release.store(true);
  audio.join();
  main.join();
  EXPECT_TRUE(switchedOff.load());
  EXPECT_FALSE(plug.Process(source)) << "no process call starts once processing is off";
}


TEST(IPlugBase, IsInProcessCallOnlyOnTheProcessingThreadForThisPlug) {
  RecordingPlug plug, other;
  EXPECT_FALSE(plug.IsInProcessCall());
  EXPECT_FALSE(plug.BeginProcess(nullptr)) << "processing is off";
  EXPECT_FALSE(plug.IsInProcessCall());
  plug.SetProcessingActive(true);
  other.SetProcessingActive(true);
  ASSERT_TRUE(plug.BeginProcess(nullptr));
  EXPECT_TRUE(plug.IsInProcessCall());
  EXPECT_FALSE(other.IsInProcessCall()) << "another instance on the same thread";
  bool seenElsewhere = true;
  std::thread([&] { seenElsewhere = plug.IsInProcessCall(); }).join();
  EXPECT_FALSE(seenElsewhere) << "another thread";
  plug.EndProcess();
  EXPECT_FALSE(plug.IsInProcessCall());
}

TEST(IPlugBase, TimeInfoIsCopiedAndKeptWhenAbsent) {
  RecordingPlug plug;
  plug.SetProcessingActive(true);
  EXPECT_EQ(plug.GetTempo(), 120.0);
  ITimeInfo ti;
  ti.mTempo = 93.5;
  ti.mSamplePos = 4096;
  ti.mPPQPos = 3.25;
  ti.mTransportIsRunning = true;
  plug.BeginProcess(&ti);
  plug.EndProcess();
  ti.mTempo = 60;  // the plug-in holds a copy
  plug.BeginProcess(nullptr);
  EXPECT_EQ(plug.GetTempo(), 93.5);
  EXPECT_EQ(plug.GetTimeInfo().mSamplePos, 4096.0);
  EXPECT_EQ(plug.GetTimeInfo().mPPQPos, 3.25);
  EXPECT_TRUE(plug.GetTimeInfo().mTransportIsRunning);
  plug.EndProcess();
}

TEST(IPlugBase, HostParameterChangesSetTheValueAndRunOnParamChange) {
  struct Case { const char* what; int idx; double value; bool normalized; bool applied; double expect; } cases[] = {
      {"normalized, stepped", 1, 0.875, true, true, 2.0},
      {"normalized, pow curve", 0, 0.5, true, true, 2517.5},
      {"normalized above 1", 2, 3.0, true, true, 2.0},
      {"plain, clamped", 0, 30000, false, true, 20000.0},
      {"plain, rounded", 1, -0.5, false, true, -1.0},
      {"normalized NaN", 0, kNaN, true, false, 1000.0},
      {"plain NaN", 1, kNaN, false, false, 0.0},
      {"normalized, index too large", 3, 0.5, true, false, 0.0},
      {"plain, negative index", -1, 0.5, false, false, 0.0},
  };
  for (const auto& c : cases) {
    RecordingPlug plug;
    plug.SetProcessingActive(true);
    plug.BeginProcess(nullptr);
    if (c.normalized)
      plug.ApplyHostParamNormalized(c.idx, c.value);
    else
      plug.ApplyHostParamPlain(c.idx, c.value);
    plug.EndProcess();
    const auto changes = plug.Changes();
    if (c.applied) {
      ASSERT_EQ(changes.size(), 1u) << c.what;
      EXPECT_EQ(changes[0].idx, c.idx) << c.what;
      EXPECT_TRUE(changes[0].inProcess) << c.what;
      EXPECT_EQ(changes[0].value, c.expect) << c.what;
    } else {
      EXPECT_TRUE(changes.empty()) << c.what;
      if (plug.GetParam(c.idx)) {
        EXPECT_EQ(plug.GetParam(c.idx)->Value(), c.expect) << c.what;
      }
    }
  }
}

TEST(IPlugBase, DefaultProcessBlockWritesSilenceToEachOutput) {
  struct Case { const char* io; int silenced; } cases[] = {{"0-2", 2}, {"0-1", 1}};
  for (const auto& c : cases) {
    RecordingPlug plug(c.io);
    std::vector<double> a(8, 1.0), b(8, 1.0);
    double* outs[2] = {a.data(), b.data()};
    plug.Render(nullptr, outs, 6);
    for (int s = 0; s < 8; ++s) {
      EXPECT_EQ(a[static_cast<size_t>(s)], s < 6 ? 0.0 : 1.0) << c.io << " left sample " << s;
      EXPECT_EQ(b[static_cast<size_t>(s)], (s < 6 && c.silenced == 2) ? 0.0 : 1.0) << c.io << " right sample " << s;
    }
  }
}

#if FW_HAS_MXCSR
// Halves a denormal inside ProcessBlock and notes the control register.
class DenormalProbePlug : public IPlugBase {
public:
  DenormalProbePlug() : IPlugBase(InstanceInfo{}, MakeConfig(0)) {}
  void ProcessBlock(double**, double**, int) override {
    volatile double tiny = 1e-310;
    product = tiny * 0.5;
    csr = _mm_getcsr();
  }
  double product = -1;
  unsigned csr = 0;
};

TEST(IPlugBase, RenderFlushesDenormalsAndRestoresTheControlRegister) {
  volatile double tiny = 1e-310;
  ASSERT_NE(tiny * 0.5, 0.0) << "denormals are already flushed in the test process";
  const unsigned before = _mm_getcsr();

  DenormalProbePlug plug;
  plug.Render(nullptr, nullptr, 0);
  EXPECT_EQ(plug.product, 0.0);
  EXPECT_EQ(plug.csr & 0x8040u, 0x8040u);
  EXPECT_EQ(_mm_getcsr(), before);
  EXPECT_NE(tiny * 0.5, 0.0);
}

TEST(ScopedNoDenormals, NestedScopesRestoreTheirOwnSavedState) {
  const unsigned before = _mm_getcsr();
  {
    ScopedNoDenormals outer;
    const unsigned inOuter = _mm_getcsr();
    EXPECT_EQ(inOuter & 0x8040u, 0x8040u);
    {
      ScopedNoDenormals inner;
      EXPECT_EQ(_mm_getcsr() & 0x8040u, 0x8040u);
    }
    EXPECT_EQ(_mm_getcsr(), inOuter) << "the inner scope must not clear the outer's bits";
  }
  EXPECT_EQ(_mm_getcsr(), before);
}
#endif

// ---- Editor and host forwarding ------------------------------------------------------

TEST(IPlugBase, DelegateMessagesReachTheEditorSinkWhenSet) {
  RecordingPlug plug;
  const char payload[] = "wave";
  plug.SendControlMsgFromDelegate(5, 6, 4, payload);  // no sink: nothing happens
  plug.SendParameterValueFromDelegate(1, 0.5, true);
  EXPECT_FALSE(plug.HasEditor());

  RecordingEditorSink editor;
  plug.SetEditorSink(&editor);
  EXPECT_TRUE(plug.HasEditor());
  EXPECT_EQ(plug.GetEditorSink(), &editor);
  plug.SendControlMsgFromDelegate(5, 6, 4, payload);
  EXPECT_EQ(editor.ctrl, (std::array<int, 3>{5, 6, 4}));
  EXPECT_EQ(editor.bytes, "wave");
  plug.SendParameterValueFromDelegate(2, 1.0, false);
  EXPECT_EQ(editor.paramIdx, 2);
  EXPECT_EQ(editor.paramValue, 1.0);
  EXPECT_FALSE(editor.paramNormalized);

  plug.SetEditorSink(nullptr);
  plug.SendParameterValueFromDelegate(0, 0.25, true);
  EXPECT_EQ(editor.paramIdx, 2) << "detached sink hears nothing";
}

TEST(IPlugBase, UIGestureIsBracketedForTheHost) {
  RecordingPlug plug;
  plug.BeginInformHostOfParamChangeFromUI(0);  // no sink yet
  plug.SendParameterValueFromUI(0, 0.5);
  plug.EndInformHostOfParamChangeFromUI(0);

  RecordingHostSink host;
  plug.SetHostSink(&host);
  plug.BeginInformHostOfParamChangeFromUI(2);
  plug.SendParameterValueFromUI(2, 0.5);
  plug.EndInformHostOfParamChangeFromUI(2);
  EXPECT_EQ(host.log, (std::vector<std::string>{"begin 2", "value 2", "end 2"}));
  EXPECT_EQ(host.values, std::vector<double>{0.5});
}

TEST(IPlugBase, UIChangeWithABadIndexOrNaNDoesNothing) {
  RecordingPlug plug;
  RecordingHostSink host;
  plug.SetHostSink(&host);
  plug.SendParameterValueFromUI(-1, 0.5);
  plug.SendParameterValueFromUI(3, 0.5);
  plug.SendParameterValueFromUI(0, kNaN);
  EXPECT_TRUE(plug.Changes().empty());
  EXPECT_TRUE(plug.uiChanges.empty());
  EXPECT_TRUE(host.log.empty());
  EXPECT_EQ(plug.GetParam(0)->Value(), 1000.0);
}

// ---- Parameter state ------------------------------------------------------------------

void PutRawDouble(IByteChunk& chunk, double v) {
  uint8_t bytes[8];
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
  chunk.PutBytes(bytes, 8);
}

TEST(IPlugBase, SerializeParamsWritesLittleEndianDoublesInIndexOrder) {
  RecordingPlug plug;
  plug.GetParam(0)->Set(1000.0);  // 0x408F400000000000
  plug.GetParam(1)->Set(-1.0);    // 0xBFF0000000000000
  plug.GetParam(2)->Set(2.0);     // 0x4000000000000000
  IByteChunk chunk;
  ASSERT_TRUE(plug.SerializeParams(chunk));
  const std::vector<uint8_t> expected = {
      0, 0, 0, 0, 0, 0x40, 0x8F, 0x40,  //
      0, 0, 0, 0, 0, 0, 0xF0, 0xBF,     //
      0, 0, 0, 0, 0, 0, 0, 0x40,
  };
  ASSERT_EQ(chunk.Size(), 24);
  EXPECT_EQ(std::vector<uint8_t>(chunk.GetData(), chunk.GetData() + 24), expected);

  IByteChunk viaState;
  ASSERT_TRUE(plug.SerializeState(viaState));
  EXPECT_EQ(std::vector<uint8_t>(viaState.GetData(), viaState.GetData() + viaState.Size()), expected);
}

TEST(IPlugBase, UnserializeParamsRestoresFromAnOffsetAndReturnsThePositionAfter) {
  RecordingPlug source;
  source.GetParam(0)->Set(250.875);
  source.GetParam(1)->Set(-2);
  source.GetParam(2)->Set(1);
  IByteChunk chunk;
  const char prefix[3] = {'a', 'b', 'c'};
  chunk.PutBytes(prefix, 3);
  source.SerializeParams(chunk);
  const int32_t trailer = 77;
  chunk.Put(&trailer);

  RecordingPlug dest;
  EXPECT_EQ(dest.UnserializeParams(chunk, 3), 27);
  EXPECT_EQ(dest.GetParam(0)->Value(), 250.875);
  EXPECT_EQ(dest.GetParam(1)->Value(), -2.0);
  EXPECT_EQ(dest.GetParam(2)->Value(), 1.0);

  RecordingPlug viaState;
  EXPECT_EQ(viaState.UnserializeState(chunk, 3), 27);
  EXPECT_EQ(viaState.GetParam(0)->Value(), 250.875);
}

TEST(IPlugBase, UnserializeParamsRefusesAShortChunkAndChangesNothing) {
  struct Case { const char* what; int size; int startPos; } cases[] = {
      {"one byte short", 23, 0},
      {"two values only", 16, 0},
      {"empty", 0, 0},
      {"full chunk read from too late", 24, 1},
      {"negative start", 24, -1},
  };
  for (const auto& c : cases) {
    IByteChunk chunk;
    for (double v : {500.0, 2.0, 2.0}) PutRawDouble(chunk, v);
    chunk.Resize(c.size);
    RecordingPlug plug;
    EXPECT_EQ(plug.UnserializeParams(chunk, c.startPos), -1) << c.what;
    EXPECT_EQ(plug.GetParam(0)->Value(), 1000.0) << c.what << ": first value applied";
    EXPECT_EQ(plug.GetParam(1)->Value(), 0.0) << c.what;
    EXPECT_EQ(plug.GetParam(2)->Value(), 0.0) << c.what;
  }
}

TEST(IPlugBase, UnserializedValuesAreClampedRoundedAndNaNIgnored) {
  IByteChunk chunk;
  for (double v : {99999.0, 1.6, kNaN}) PutRawDouble(chunk, v);
  RecordingPlug plug;
  plug.GetParam(2)->Set(1);
  EXPECT_EQ(plug.UnserializeParams(chunk, 0), 24);
  EXPECT_EQ(plug.GetParam(0)->Value(), 20000.0);
  EXPECT_EQ(plug.GetParam(1)->Value(), 2.0);
  EXPECT_EQ(plug.GetParam(2)->Value(), 1.0) << "a stored NaN leaves the value";
}

TEST(IPlugBase, UnserializeParamsNotifiesEveryParameterAsAPresetRecall) {
  IByteChunk chunk;
  for (double v : {500.0, -1.0, 2.0}) PutRawDouble(chunk, v);

  // Processing off: OnParamChange at once, with the restored values.
  RecordingPlug idle;
  ASSERT_EQ(idle.UnserializeParams(chunk, 0), 24);
  const auto changes = idle.Changes();
  ASSERT_EQ(changes.size(), 3u);
  const double restored[] = {500.0, -1.0, 2.0};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(changes[static_cast<size_t>(i)].idx, i);
    EXPECT_EQ(changes[static_cast<size_t>(i)].value, restored[i]) << "param " << i;
    EXPECT_FALSE(changes[static_cast<size_t>(i)].inProcess) << "param " << i;
  }
  ASSERT_EQ(idle.uiChanges.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(idle.uiChanges[static_cast<size_t>(i)].idx, i);
    EXPECT_EQ(idle.uiChanges[static_cast<size_t>(i)].source, kPresetRecall) << "param " << i;
  }

  // Processing on: the editor side hears at once, the engine side with the
  // next process call.
  RecordingPlug busy;
  busy.SetProcessingActive(true);
  ASSERT_EQ(busy.UnserializeParams(chunk, 0), 24);
  EXPECT_TRUE(busy.Changes().empty());
  EXPECT_EQ(busy.uiChanges.size(), 3u);
  busy.BeginProcess(nullptr);
  busy.EndProcess();
  EXPECT_EQ(busy.ChangedIndices(), (std::vector<int>{0, 1, 2}));
  for (const auto& c : busy.Changes()) EXPECT_TRUE(c.inProcess) << "param " << c.idx;

  // A refused chunk notifies nothing.
  RecordingPlug refused;
  chunk.Resize(20);
  EXPECT_EQ(refused.UnserializeParams(chunk, 0), -1);
  EXPECT_TRUE(refused.Changes().empty());
  EXPECT_TRUE(refused.uiChanges.empty());
}

TEST(IPlugBase, ParamsChunkSizeIsEightBytesPerParameter) {
  RecordingPlug plug;
  IByteChunk chunk;
  ASSERT_TRUE(plug.SerializeParams(chunk));
  EXPECT_EQ(plug.ParamsChunkSize(), 24);
  EXPECT_EQ(chunk.Size(), plug.ParamsChunkSize());
}

}  // namespace
}  // namespace fw
