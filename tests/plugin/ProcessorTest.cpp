// The processor: MIDI dispatch, the host tempo, block handling and the meter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

#include "PluginHarness.h"

namespace vrelbazzit::test {
namespace {

using fw::IMidiMsg;

struct MidiCase {
  const char* name;
  IMidiMsg msg;
  std::function<bool(const SynthCore&)> holds;
};

TEST(Processor, MidiDispatch) {
  const MidiCase cases[] = {
      {"note on reaches the engine with velocity / 127", IMidiMsg::NoteOn(0, 60, 127),
       [](const SynthCore& s) { return s.held[60] && s.noteVelocity[60] == 1.0; }},
      {"velocity 64 is 64 / 127", IMidiMsg::NoteOn(3, 61, 64),
       [](const SynthCore& s) { return s.held[61] && s.noteVelocity[61] == 64 / 127.0; }},
      {"note on with velocity 0 is a note off", IMidiMsg(0, 0x90, 64, 0),
       [](const SynthCore& s) { return !s.held[64] && !s.keyDown[64]; }},
      {"mod wheel", IMidiMsg::ControlChange(0, 1, 127), [](const SynthCore& s) { return s.modWheel == 1.0; }},
      {"mod wheel half", IMidiMsg::ControlChange(5, 1, 64),
       [](const SynthCore& s) { return s.modWheel == 64 / 127.0; }},
      {"sustain 64 presses", IMidiMsg::ControlChange(0, 64, 64), [](const SynthCore& s) { return s.sustain; }},
      {"sustain 63 does not", IMidiMsg::ControlChange(0, 64, 63), [](const SynthCore& s) { return !s.sustain; }},
      {"channel pressure", IMidiMsg::ChannelPressure(9, 127),
       [](const SynthCore& s) { return s.channelPressure == 1.0; }},
      {"poly pressure on its note", IMidiMsg::PolyPressure(0, 70, 127),
       [](const SynthCore& s) { return s.notePressure[70] == 1.0 && s.notePressure[69] == 0.0; }},
      {"pitch bend centre", IMidiMsg(0, 0xE0, 0, 64), [](const SynthCore& s) { return s.pitchBend == 0.0; }},
      {"pitch bend lowest", IMidiMsg(0, 0xE0, 0, 0), [](const SynthCore& s) { return s.pitchBend == -1.0; }},
      {"pitch bend highest", IMidiMsg(0, 0xE0, 127, 127),
       [](const SynthCore& s) { return s.pitchBend == 8191.0 / 8192.0; }},
  };
  for (const MidiCase& c : cases) {
    SCOPED_TRACE(c.name);
    PluginHarness h;
    h.Start();
    h.Plug().ProcessMidiMsg(c.msg);
    EXPECT_TRUE(c.holds(h.Synth()));
  }
}

TEST(Processor, AllSoundAndAllNotesOffReleaseEverything) {
  for (int cc : {120, 123}) {
    SCOPED_TRACE(cc);
    PluginHarness h;
    ASSERT_TRUE(h.Restore({{kVoiceMode, 2.0}}));
    h.Start();
    for (int n : {60, 64, 67}) h.Plug().ProcessMidiMsg(IMidiMsg::NoteOn(0, n, 100));
    h.Plug().ProcessMidiMsg(IMidiMsg::ControlChange(0, 64, 127));
    h.Plug().ProcessMidiMsg(IMidiMsg::ControlChange(0, cc, 0));
    EXPECT_FALSE(h.Synth().sustain);
    for (int v = 1; v < 5; ++v) EXPECT_FALSE(h.Synth().voices[v].active) << v;
    for (int n : {60, 64, 67}) EXPECT_FALSE(h.Synth().held[n]) << n;
  }
}

TEST(Processor, IgnoredMessagesChangeNothing) {
  PluginHarness h;
  h.Start();
  h.Plug().ProcessMidiMsg(IMidiMsg::NoteOn(0, 60, 90));
  h.Plug().ProcessMidiMsg(IMidiMsg::ControlChange(0, 1, 50));
  const IMidiMsg ignored[] = {
      IMidiMsg::ControlChange(0, 121, 0),  // reset all controllers
      IMidiMsg::ControlChange(0, 7, 0),    // volume
      IMidiMsg::ProgramChange(0, 5),
      IMidiMsg(0, 0xF8, 0, 0),  // clock
      IMidiMsg(0, 0xFF, 0, 0),  // reset
      IMidiMsg(0, 0x00, 60, 0),  // not a status byte
  };
  for (const IMidiMsg& m : ignored) h.Plug().ProcessMidiMsg(m);
  EXPECT_TRUE(h.Synth().held[60]);
  EXPECT_EQ(h.Synth().modWheel, 50 / 127.0);
}

TEST(Processor, ChannelsAreIgnored) {
  PluginHarness h;
  ASSERT_TRUE(h.Restore({{kVoiceMode, 2.0}}));
  h.Start();
  h.Plug().ProcessMidiMsg(IMidiMsg::NoteOn(0, 60, 100));
  const uint64_t first = h.Synth().noteStamp[60];
  h.Plug().ProcessMidiMsg(IMidiMsg::NoteOn(1, 60, 100));
  EXPECT_EQ(h.Synth().noteStamp[60], first + 1) << "the second note-on is a new note-on of note 60";
  h.Plug().ProcessMidiMsg(IMidiMsg::NoteOff(15, 60));
  EXPECT_FALSE(h.Synth().held[60]);
}

TEST(Processor, HostTempoWithinLimitsIsTakenOver) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double host;
    double expected;
  } cases[] = {{30.0, 30.0}, {300.0, 300.0}, {140.0, 140.0}, {29.9, 95.0}, {300.1, 95.0},
               {0.0, 95.0},  {inf, 95.0},    {-inf, 95.0},   {nan, 95.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host);
    PluginHarness h;
    h.Start();
    fw::OfflineBlock b;
    b.tempo = 95.0;
    h.Block(b, 0);
    b.tempo = c.host;
    h.Block(b, 0);  // taken over even for a block of 0 frames
    EXPECT_EQ(h.Synth().tempo, c.expected);
  }
}

TEST(Processor, NoContextKeepsThePreviousTempo) {
  PluginHarness h;
  h.Start();
  fw::OfflineBlock b;
  b.tempo = 150.0;
  h.Block(b, 8);
  h.Block({}, 8);
  EXPECT_EQ(h.Synth().tempo, 150.0);
}

TEST(Processor, ZeroFramesRenderNothingAndFeedNoMeter) {
  PluginHarness h;
  h.Start();
  h.Render(100, Events({IMidiMsg::NoteOn(0, 60, 100)}));
  const double phase = h.Synth().lfoPhase;
  h.Block({}, 0);
  EXPECT_EQ(h.Synth().lfoPhase, phase) << "no Tick ran";
  // 100 samples are less than one 240-sample window, so no entry yet.
  int entries = 0;
  h.Plug().MeterSender().TransmitData([&](const auto&) { ++entries; });
  EXPECT_EQ(entries, 0);
}

// Collects what the plug-in sends to the editor.
class RecordingEditor : public fw::IEditorSink {
public:
  void OnControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data) override {
    ASSERT_EQ(dataSize, static_cast<int>(sizeof(fw::ISenderData<2, float>)));
    fw::ISenderData<2, float> d;
    std::memcpy(&d, data, sizeof d);
    tags.push_back(ctrlTag);
    msgTags.push_back(msgTag);
    entries.push_back(d);
  }
  void OnParameterValueFromDelegate(int, double, bool) override {}
  std::vector<int> tags, msgTags;
  std::vector<fw::ISenderData<2, float>> entries;
};

TEST(Processor, MeterWindowsReachTheEditorOnIdle) {
  PluginHarness h;
  RecordingEditor editor;
  h.Plug().SetEditorSink(&editor);
  h.Start(48000.0, 480);
  EXPECT_EQ(h.Plug().MeterSender().WindowSize(), 240);

  // No note, only the faint Age hiss (below the -90 dB threshold): the first
  // window is always sent (the previous sum starts high), later ones are not.
  h.Render(480 * 4);
  h.Host().Idle();
  ASSERT_EQ(editor.entries.size(), 1u);
  EXPECT_EQ(editor.tags[0], kCtrlTagMeter);
  EXPECT_EQ(editor.msgTags[0], 0);
  EXPECT_EQ(editor.entries[0].nChans, 2);
  EXPECT_LT(editor.entries[0].vals[0] + editor.entries[0].vals[1], h.Plug().MeterSender().Threshold());

  // A note: every window is sent, with the mean absolute level of each channel.
  h.left.clear();
  h.right.clear();
  h.Render(480, Events({IMidiMsg::NoteOn(0, 57, 120)}));
  h.Host().Idle();
  ASSERT_EQ(editor.entries.size(), 3u);
  double mean = 0.0;
  for (int i = 240; i < 480; ++i) mean += std::fabs(h.left[static_cast<size_t>(i)]);
  mean /= 240.0;
  EXPECT_NEAR(editor.entries[2].vals[0], mean, 1e-6 * std::max(1.0, mean));
  EXPECT_GT(editor.entries[2].vals[0], 0.0f);
  h.Plug().SetEditorSink(nullptr);
}

TEST(Processor, MeterWindowFollowsTheSampleRate) {
  PluginHarness h;
  h.Start(44100.0);
  EXPECT_EQ(h.Plug().MeterSender().WindowSize(), 220);
}

TEST(Processor, FreshInstanceState) {
  VrelBazzit plug{fw::InstanceInfo{}};
  EXPECT_EQ(plug.Synth().sampleRate, 48000.0);
  EXPECT_EQ(plug.Synth().spaceLeft.size(), 7u * 48000u) << "the engine is usable before the first reset";
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(plug.Synth().params[i], ToEngineValue(i, kParamSpecs[static_cast<size_t>(i)].defaultValue)) << i;
}

TEST(Processor, RendersSoundForANote) {
  PluginHarness h;
  h.Start();
  h.Render(4800, Events({IMidiMsg::NoteOn(0, 60, 100)}));
  double peak = 0.0;
  for (size_t i = 0; i < h.left.size(); ++i) {
    ASSERT_TRUE(std::isfinite(h.left[i]) && std::isfinite(h.right[i])) << i;
    peak = std::max(peak, std::fabs(h.left[i]));
  }
  EXPECT_GT(peak, 0.05);
  EXPECT_LE(peak, 0.98);
}

}  // namespace
}  // namespace vrelbazzit::test
