// The VST 3 binding around a small plug-in that records what reaches it: the
// order of one process call (parameter changes, mapped controllers, events,
// then the block), the exact MIDI messages made from the host's controller
// values and events, the time information, 32-bit output through the
// binding's buffer, the bypass, the state framing and the editor's changes
// reported to the host.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "HostSupport.h"
#include "framework/vst3/Vst3Component.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

namespace vst3test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

fw::Config MakeConfig() {
  fw::Config c;
  c.nParams = 3;
  c.channelIOStr = "0-2";
  c.plugDoesMidiIn = true;
  return c;
}

// Three parameters; logs every call the binding makes. Its output sample i
// of a process call is the running frame count, so chunked rendering shows.
class RecordingPlug final : public fw::IPlugBase {
public:
  RecordingPlug() : fw::IPlugBase(fw::InstanceInfo{}, MakeConfig()) {
    GetParam(0)->InitDouble("Gain", 50, 0, 100, 0.1, "%", 0, "Out");
    GetParam(1)->InitEnum("Mode", 0, {"A", "B", "C"});
    GetParam(2)->InitDouble("Time", 10, 1, 2000, 1, "ms", 0, "Env", fw::IParam::ShapePowCurve(3));
  }

  void OnReset() override { Log("reset " + Num(GetSampleRate())); }
  void OnParamChange(int idx) override {
    Log("param " + std::to_string(idx) + "=" + Num(GetParam(idx)->Value()) + (IsInProcessCall() ? " in process" : ""));
  }
  void OnParamChangeUI(int idx, fw::EParamSource source) override {
    Log("ui " + std::to_string(idx) + " source " + std::to_string(source));
  }
  // Logged with the frame of the rendered buffer it took effect at ("@-":
  // after the block).
  void ProcessMidiMsg(const fw::IMidiMsg& m) override {
    char buf[48];
    std::snprintf(buf, sizeof buf, "midi %02X %d %d @%s", m.mStatus, m.mData1, m.mData2,
                  bufferFrame < 0 ? "-" : std::to_string(bufferFrame).c_str());
    Log(buf);
  }
  void ProcessBlock(double** /*inputs*/, double** outputs, int nFrames) override {
    Log("block " + std::to_string(nFrames) + " tempo " + Num(GetTempo()));
    if (tailFromAudioThread) {
      SetTailSize(GetTailSize() + 1);
      InformHostOfTailChange();  // must not reach the host from here
    }
    int next = 0;
    for (int i = 0; i < nFrames; ++i) {
      bufferFrame = i;
      if (i >= next) next = ApplyMidiDueAt(i);
      outputs[0][i] = static_cast<double>(frame);
      outputs[1][i] = -static_cast<double>(frame);
      ++frame;
    }
    bufferFrame = -1;
  }
  bool SerializeState(fw::IByteChunk& chunk) const override {
    if (!serializeOk) return false;
    return chunk.PutBytes(stateBytes.data(), static_cast<int>(stateBytes.size())) >= 0;
  }
  int UnserializeState(const fw::IByteChunk& chunk, int startPos) override {
    received.assign(chunk.GetData(), chunk.GetData() + chunk.Size());
    Log("unserialize from " + std::to_string(startPos));
    return unserializeResult;
  }
  void OnRestoreState() override { Log("restore"); }

  void Log(const std::string& s) { log.push_back(s); }
  static std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
  }

  std::vector<std::string> log;
  long frame = 0;
  int bufferFrame = -1;
  bool serializeOk = true;
  std::vector<uint8_t> stateBytes = {1, 2, 3};
  std::vector<uint8_t> received;
  int unserializeResult = -1;
  bool tailFromAudioThread = false;
};

// The binding with its plug-in, used the way a host uses it.
struct Bound {
  RecordingPlug* plug = new RecordingPlug;
  fw::vst3::SingleComponent* component = new fw::vst3::SingleComponent(std::unique_ptr<fw::IPlugBase>(plug));
  IAudioProcessor* processor = component;
  IEditController* controller = component;
  IComponent* asComponent = component;
  ComponentHandler handler;

  ~Bound() { EXPECT_EQ(component->release(), 0u); }

  void Start(int32 sampleSize = kSample32, int32 maxBlock = 512) {
    ProcessSetup setup{kRealtime, sampleSize, maxBlock, 44100.0};
    ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
    ASSERT_EQ(asComponent->setActive(true), kResultOk);
    plug->log.clear();
  }

  ParamID Mapped(CtrlNumber c) {
    ParamID id = kNoParamId;
    EXPECT_EQ(component->getMidiControllerAssignment(0, 0, c, id), kResultTrue);
    return id;
  }
};

TEST(Binding, OneProcessCallAppliesChangesAtTheStartAndMessagesAtTheirFrames) {
  Bound b;
  b.Start();
  Call call(64);
  call.changes.Add(0, 0.2, 0);
  call.changes.Add(0, 0.6, 40);  // the last point of a queue counts, its offset does not
  call.changes.Add(b.Mapped(kPitchBend), 1.0);
  call.changes.Add(b.Mapped(kCtrlModWheel), 0.5);            // 63.5 rounds to 64
  call.changes.Add(b.Mapped(kCtrlModWheel), 1.0, 20);        // every point of a mapped queue counts
  call.changes.Add(b.Mapped(kCtrlSustainOnOff), 63.0 / 127);  // exactly 63
  call.changes.Add(1, 1.0);
  call.changes.Add(b.Mapped(kCtrlAllSoundsOff), 0.0);
  call.changes.Add(b.Mapped(kCtrlAllNotesOff), 1.0);
  call.changes.Add(b.Mapped(kAfterTouch), 1.0);
  call.changes.Add(2, 0.5);  // power 3: 1 + 0.125 x 1999
  call.changes.Add(12345, 0.5);  // unknown id: nothing
  call.events.Add(NoteOn(60, 0.5f, 3, 30));
  call.events.Add(NoteOff(60, 3));
  call.events.Add(PolyPressure(61, 0.25f, 15));
  Event otherBus = NoteOn(62, 1.0f);
  otherBus.busIndex = 1;
  call.events.Add(otherBus);
  Event badPitch = NoteOn(200, 1.0f);
  call.events.Add(badPitch);
  Event data{};
  data.type = Event::kDataEvent;
  call.events.Add(data);
  call.events.Add(NoteOn(64, 1.0f));
  call.events.Add(NoteOn(65, 0.001f));  // rounds to velocity 0
  call.Tempo(133.0);

  ASSERT_EQ(b.processor->process(call.data), kResultOk);
  // Plug-in parameters first, at the block's start; then, frame by frame, the
  // mapped controllers (in queue order) before the events (in list order).
  const std::vector<std::string> expected = {
      "param 0=60 in process",
      "param 1=2 in process",
      "param 2=250.875 in process",
      "block 64 tempo 133",
      "midi E0 127 127 @0",
      "midi B0 1 64 @0",
      "midi B0 64 63 @0",
      "midi B0 120 0 @0",
      "midi B0 123 127 @0",
      "midi D0 127 0 @0",
      "midi 83 60 0 @0",
      "midi AF 61 32 @0",
      "midi 90 64 127 @0",
      "midi 90 65 0 @0",
      "midi B0 1 127 @20",
      "midi 93 60 64 @30",
  };
  EXPECT_EQ(b.plug->log, expected);
  EXPECT_EQ(b.controller->getParamNormalized(b.Mapped(kPitchBend)), 1.0);
}

TEST(Binding, MappedValuesBecomeDataBytes) {
  struct Case {
    CtrlNumber controller;
    double value;
    const char* message;
  } cases[] = {
      {kPitchBend, 0.5, "midi E0 0 64"},         // 8191.5 rounds to 8192, the centre
      {kPitchBend, 0.0, "midi E0 0 0"},          {kPitchBend, 8193.0 / 16383, "midi E0 1 64"},
      {kPitchBend, 0.25, "midi E0 0 32"},        // 4095.75 -> 4096 = 32 x 128
      {kCtrlModWheel, 1.0, "midi B0 1 127"},     {kCtrlModWheel, 0.0, "midi B0 1 0"},
      {kCtrlSustainOnOff, 64.0 / 127, "midi B0 64 64"},
      {kAfterTouch, 0.5, "midi D0 64 0"},        {kCtrlModWheel, -2.0, "midi B0 1 0"},
      {kCtrlModWheel, 9.0, "midi B0 1 127"},
  };
  for (const Case& c : cases) {
    Bound b;
    b.Start();
    Call call(0);
    call.changes.Add(b.Mapped(c.controller), c.value);
    ASSERT_EQ(b.processor->process(call.data), kResultOk);
    ASSERT_EQ(b.plug->log.size(), 2u) << c.message;
    EXPECT_EQ(b.plug->log[1], std::string(c.message) + " @-")
        << "controller " << c.controller << " value " << c.value << " (no frames: after the empty block)";
  }
}

TEST(Binding, TempoComesFromAValidContextOnly) {
  Bound b;
  b.Start();
  struct Step {
    const char* what;
    bool context, valid;
    double tempo, seen;
  } steps[] = {
      {"valid 90", true, true, 90.0, 90.0},      {"no context", false, false, 0.0, 90.0},
      {"tempo not valid", true, false, 200.0, 90.0}, {"valid 300", true, true, 300.0, 300.0},
  };
  for (const Step& s : steps) {
    Call call(8);
    if (s.context) call.Tempo(s.tempo, s.valid);
    b.plug->log.clear();
    ASSERT_EQ(b.processor->process(call.data), kResultOk) << s.what;
    ASSERT_EQ(b.plug->log.size(), 1u) << s.what;
    EXPECT_EQ(b.plug->log[0], "block 8 tempo " + RecordingPlug::Num(s.seen)) << s.what;
  }
}

TEST(Binding, OutputIn32BitGoesThroughTheBufferInPieces) {
  Bound b;
  b.Start(kSample32, 1000);
  Call call(1000);
  ASSERT_EQ(b.processor->process(call.data), kResultOk);
  const std::vector<std::string> expected = {"block 256 tempo 120", "block 256 tempo 120", "block 256 tempo 120",
                                             "block 232 tempo 120"};
  EXPECT_EQ(b.plug->log, expected);
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(call.l32[static_cast<size_t>(i)], static_cast<float>(i)) << "left frame " << i;
    ASSERT_EQ(call.r32[static_cast<size_t>(i)], -static_cast<float>(i)) << "right frame " << i;
  }
  EXPECT_EQ(call.bus.silenceFlags, 0u);

  Bound d;
  d.Start(kSample64, 1000);
  Call call64(1000, kSample64);
  ASSERT_EQ(d.processor->process(call64.data), kResultOk);
  EXPECT_EQ(d.plug->log, std::vector<std::string>{"block 1000 tempo 120"}) << "64 bits are rendered in place";
  EXPECT_EQ(call64.l64[999], 999.0);
}

TEST(Binding, BypassSilencesButStillAppliesChangesAndEvents) {
  Bound b;
  b.Start();
  const ParamID bypass = b.component->BypassParamId();
  struct Step {
    const char* what;
    double value;
    bool silent;
  } steps[] = {{"on", 1.0, true}, {"half way is on", 0.5, true}, {"just below half", 0.49, false}};
  for (const Step& s : steps) {
    Call call(16);
    std::fill(call.l32.begin(), call.l32.end(), 7.0f);
    call.changes.Add(bypass, s.value);
    call.changes.Add(0, 1.0);
    call.events.Add(NoteOn(60, 1.0f));
    b.plug->log.clear();
    ASSERT_EQ(b.processor->process(call.data), kResultOk) << s.what;
    const std::vector<std::string> expected =
        s.silent ? std::vector<std::string>{"param 0=100 in process", "midi 90 60 127 @-"}  // not rendered, still applied
                 : std::vector<std::string>{"param 0=100 in process", "block 16 tempo 120", "midi 90 60 127 @0"};
    EXPECT_EQ(b.plug->log, expected) << s.what;
    EXPECT_EQ(b.controller->getParamNormalized(bypass), s.silent ? 1.0 : 0.0) << s.what;
    if (s.silent) {
      for (float x : call.l32) ASSERT_EQ(x, 0.0f) << s.what;
      EXPECT_EQ(call.bus.silenceFlags, 3u) << s.what;
    }
  }
}

TEST(Binding, EditorChangesAreReportedToTheHost) {
  Bound b;
  ASSERT_EQ(b.controller->setComponentHandler(&b.handler), kResultOk);
  EXPECT_EQ(b.handler.RefCount(), 2u) << "the binding holds the handler";
  b.plug->BeginInformHostOfParamChangeFromUI(2);
  b.plug->SendParameterValueFromUI(2, 0.5);
  b.plug->EndInformHostOfParamChangeFromUI(2);
  const auto calls = b.handler.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].what, "begin");
  EXPECT_EQ(calls[0].id, 2u);
  EXPECT_EQ(calls[1].what, "perform");
  EXPECT_EQ(calls[1].id, 2u);
  EXPECT_EQ(calls[1].value, 0.5);
  EXPECT_EQ(calls[2].what, "end");
  EXPECT_EQ(calls[2].id, 2u);
  EXPECT_EQ(b.plug->log, (std::vector<std::string>{"param 2=250.875", "ui 2 source 3"}));

  ASSERT_EQ(b.controller->setComponentHandler(nullptr), kResultOk);
  EXPECT_EQ(b.handler.RefCount(), 1u);
  b.plug->SendParameterValueFromUI(0, 0.1);
  EXPECT_EQ(b.handler.Calls().size(), 3u) << "no handler, nothing reported";
}

// getTailSamples answers the plug-in's tail; the plug-in tells the host of a
// change from the main thread with a restart the host re-reads sizes on, and
// never from inside a process call.
TEST(Binding, TailIsThePlugInsAndItsChangeRestartsTheComponent) {
  Bound b;
  EXPECT_EQ(b.processor->getTailSamples(), kNoTail);
  b.plug->SetTailSize(123456);
  EXPECT_EQ(b.processor->getTailSamples(), 123456u);

  b.plug->InformHostOfTailChange();  // no handler yet: nothing to tell
  ASSERT_EQ(b.controller->setComponentHandler(&b.handler), kResultOk);
  b.plug->InformHostOfTailChange();
  auto calls = b.handler.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].what, "restart");
  EXPECT_EQ(calls[0].id, static_cast<ParamID>(kLatencyChanged));

  b.Start();
  b.plug->tailFromAudioThread = true;
  Call call(16);
  ASSERT_EQ(b.processor->process(call.data), kResultOk);
  EXPECT_EQ(b.processor->getTailSamples(), 123457u) << "set on the audio thread";
  EXPECT_EQ(b.handler.Calls().size(), 1u) << "no restart from the audio thread";
  ASSERT_EQ(b.controller->setComponentHandler(nullptr), kResultOk);
}

TEST(Binding, HostSetValuesReachThePlugInAtOnceOrWithTheNextProcessCall) {
  Bound b;
  ASSERT_EQ(b.controller->setParamNormalized(0, 0.25), kResultOk);
  EXPECT_EQ(b.plug->log, (std::vector<std::string>{"param 0=25", "ui 0 source 1"})) << "inactive: at once";

  b.Start();
  ASSERT_EQ(b.controller->setParamNormalized(0, 0.75), kResultOk);
  EXPECT_EQ(b.plug->log, std::vector<std::string>{"ui 0 source 1"}) << "active: not beside the audio thread";
  Call call(0);
  ASSERT_EQ(b.processor->process(call.data), kResultOk);
  EXPECT_EQ(b.plug->log, (std::vector<std::string>{"ui 0 source 1", "param 0=75 in process", "block 0 tempo 120"}));

  // Switching off runs what is still deferred, then resets.
  ASSERT_EQ(b.controller->setParamNormalized(1, 0.5), kResultOk);
  b.plug->log.clear();
  ASSERT_EQ(b.asComponent->setActive(false), kResultOk);
  EXPECT_EQ(b.plug->log, (std::vector<std::string>{"param 1=1", "reset 44100"}));

  EXPECT_EQ(b.controller->setParamNormalized(0, kNaN), kInvalidArgument);
  EXPECT_EQ(b.controller->getParamNormalized(0), 0.75);
}

TEST(Binding, StateIsTheChunkAndTheBypassWord) {
  Bound b;
  b.plug->stateBytes = {9, 8, 7, 6, 5};
  MemoryStream saved;
  ASSERT_EQ(b.asComponent->getState(&saved), kResultOk);
  EXPECT_EQ(saved.data, (std::vector<uint8_t>{9, 8, 7, 6, 5, 0, 0, 0, 0}));

  ASSERT_EQ(b.controller->setParamNormalized(b.component->BypassParamId(), 1.0), kResultOk);
  MemoryStream bypassed;
  ASSERT_EQ(b.asComponent->getState(&bypassed), kResultOk);
  EXPECT_EQ(bypassed.data, (std::vector<uint8_t>{9, 8, 7, 6, 5, 1, 0, 0, 0}));

  b.plug->serializeOk = false;
  MemoryStream refused;
  EXPECT_EQ(b.asComponent->getState(&refused), kResultFalse);
  EXPECT_TRUE(refused.data.empty()) << "nothing is written for a failed save";
}

TEST(Binding, RestoreReadsTheWholeStreamIn128ByteBlocksThenTheBypassWord) {
  std::vector<uint8_t> bytes(300);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  struct Case {
    const char* what;
    int position;  // what UnserializeState returns
    uint32_t bypassWord;
    tresult result;
  } cases[] = {
      {"bypass word after the data", 200, 1, kResultOk},
      {"bypass word 0", 100, 0, kResultOk},
      {"the plug-in refuses", -1, 0, kResultFalse},
      {"no room for the bypass word", 298, 0, kResultFalse},
  };
  for (const Case& c : cases) {
    Bound b;
    b.plug->unserializeResult = c.position;
    MemoryStream stream(bytes);
    if (c.position >= 0 && c.position + 4 <= 300) {
      for (int k = 0; k < 4; ++k) stream.data[static_cast<size_t>(c.position + k)] = static_cast<uint8_t>(c.bypassWord >> (8 * k));
    }
    const std::vector<uint8_t> sent = stream.data;
    EXPECT_EQ(b.asComponent->setState(&stream), c.result) << c.what;
    EXPECT_EQ(b.plug->received, sent) << c.what << ": the plug-in sees the whole stream";
    ASSERT_GE(stream.readSizes.size(), 4u) << c.what;
    for (size_t k = 0; k < 4; ++k) EXPECT_EQ(stream.readSizes[k], 128) << c.what << ": read " << k;
    const bool restored = c.result == kResultOk;
    EXPECT_EQ(b.plug->log, restored ? (std::vector<std::string>{"unserialize from 0", "restore"})
                                    : std::vector<std::string>{"unserialize from 0"})
        << c.what;
    if (restored) {
      EXPECT_EQ(stream.readSizes.size(), 5u) << c.what;
      EXPECT_EQ(stream.readSizes.back(), 4) << c.what << ": the bypass word";
      EXPECT_EQ(stream.pos, c.position + 4) << c.what;
      EXPECT_EQ(b.controller->getParamNormalized(b.component->BypassParamId()), c.bypassWord ? 1.0 : 0.0) << c.what;
    }
  }
}

TEST(Binding, ProcessingSetUpAndSwitchedOffResetThePlugIn) {
  Bound b;
  ProcessSetup setup{kRealtime, kSample64, 128, 96000.0};
  ASSERT_EQ(b.processor->setupProcessing(setup), kResultOk);
  EXPECT_EQ(b.plug->log, std::vector<std::string>{"reset 96000"});
  EXPECT_EQ(b.plug->GetBlockSize(), 128);
  EXPECT_EQ(b.asComponent->setActive(true), kResultOk);
  EXPECT_TRUE(b.plug->IsProcessingActive());
  EXPECT_EQ(b.asComponent->setActive(false), kResultOk);
  EXPECT_FALSE(b.plug->IsProcessingActive());
  EXPECT_EQ(b.plug->log, (std::vector<std::string>{"reset 96000", "reset 96000"}));
}

TEST(Binding, UnitsFollowTheGroupsInOrderOfFirstUse) {
  Bound b;
  ASSERT_EQ(b.component->getUnitCount(), 3);
  const char* names[] = {"Root", "Out", "Env"};
  for (int32 u = 0; u < 3; ++u) {
    UnitInfo info{};
    ASSERT_EQ(b.component->getUnitInfo(u, info), kResultOk);
    std::string name;
    for (int i = 0; info.name[i]; ++i) name += static_cast<char>(info.name[i]);
    EXPECT_EQ(name, names[u]) << "unit " << u;
  }
  const UnitID expected[] = {1, kRootUnitId, 2};
  for (int32 i = 0; i < 3; ++i) {
    ParameterInfo info{};
    ASSERT_EQ(b.controller->getParameterInfo(i, info), kResultOk);
    EXPECT_EQ(info.unitId, expected[i]) << "parameter " << i;
  }
}

}  // namespace
}  // namespace vst3test
