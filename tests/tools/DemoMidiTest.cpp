// The committed demo MIDI file: written by the generator, byte for byte, and
// holding what a demo needs.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "TestFiles.h"
#include "tools/vrelbazzit-render/MidiFile.h"

namespace vbrender {
namespace {

TEST(DemoMidi, GeneratorRewritesTheCommittedFileExactly) {
  test::TempDir dir;
  ASSERT_TRUE(dir.Ok());
  for (const char* name : {"first.mid", "second.mid"}) {
    const std::string path = dir / name;
    const std::string command = std::string("'") + VB_MAKE_DEMO_MIDI_EXE + "' '" + path + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(test::ReadBytes(path), test::ReadBytes(VB_DEMO_MIDI))
        << name << " differs from the committed demo; regenerate it with vrelbazzit-make-demo-midi";
  }
}

TEST(DemoMidi, MelodyChordsPedalAndBendWithinTenSeconds) {
  MidiFileData data;
  std::string error;
  ASSERT_TRUE(ReadMidiFile(VB_DEMO_MIDI, data, error)) << error;
  EXPECT_GE(data.lastEventSeconds, 8.0);
  EXPECT_LE(data.lastEventSeconds, 10.0);

  int noteOns = 0, pedalDowns = 0, pedalUps = 0, bendsAway = 0;
  std::map<int, int> sounding;  // note -> count of unmatched note ons
  for (const TimedMidiMsg& m : data.messages) {
    switch (m.msg.StatusMsg()) {
      case fw::IMidiMsg::kNoteOn:
        if (m.msg.mData2 > 0) {
          ++noteOns;
          ++sounding[m.msg.mData1];
        } else {
          --sounding[m.msg.mData1];
        }
        break;
      case fw::IMidiMsg::kNoteOff: --sounding[m.msg.mData1]; break;
      case fw::IMidiMsg::kControlChange:
        if (m.msg.mData1 == 64) (m.msg.mData2 >= 64 ? pedalDowns : pedalUps)++;
        break;
      case fw::IMidiMsg::kPitchWheel:
        if (m.msg.mData1 + 128 * m.msg.mData2 != 8192) ++bendsAway;
        break;
      default: break;
    }
  }
  EXPECT_GE(noteOns, 20) << "a melody and chords";
  EXPECT_GT(pedalDowns, 0);
  EXPECT_GT(pedalUps, 0);
  EXPECT_GT(bendsAway, 0);
  for (const auto& [note, open] : sounding) EXPECT_EQ(open, 0) << "note " << note << " is not released";
  // The last message lifts the pedal, so the render ends in the release tail.
  ASSERT_FALSE(data.messages.empty());
  EXPECT_EQ(data.messages.back().msg.StatusMsg(), fw::IMidiMsg::kControlChange);
  EXPECT_EQ(data.messages.back().msg.mData1, 64);
  EXPECT_EQ(data.messages.back().msg.mData2, 0);
  // The bend ends back at the centre.
  for (auto it = data.messages.rbegin(); it != data.messages.rend(); ++it) {
    if (it->msg.StatusMsg() == fw::IMidiMsg::kPitchWheel) {
      EXPECT_EQ(it->msg.mData1 + 128 * it->msg.mData2, 8192);
      break;
    }
  }
}

}  // namespace
}  // namespace vbrender
