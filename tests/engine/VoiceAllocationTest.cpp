// Note handling and voice allocation: Split and Mono legato on voice 0, Poly
// with retrigger, fresh voices, the quietest released voice, stealing and
// backfill, the sustain pedal, AllNotesOff and mode switches.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "EngineTestUtil.h"

using namespace vrelbazzit;
using namespace vbtest;

namespace {

constexpr double kSplitValue = 0.0, kMonoValue = 0.5, kPolyValue = 1.0;

struct Engine : SynthCore {
  explicit Engine(double modeValue) {
    SetParameter(kVoiceMode, modeValue);
    SetSampleRate(48000);
  }
  void Run(int samples) {
    for (int i = 0; i < samples; ++i) Tick();
  }
  // Note of each poly voice (1..4), -1 for none.
  std::array<int, 4> PolyNotes() const {
    return {voices[1].note1, voices[2].note1, voices[3].note1, voices[4].note1};
  }
  std::array<bool, 4> PolyActive() const {
    return {voices[1].active, voices[2].active, voices[3].active, voices[4].active};
  }
};

}  // namespace

TEST(EngineSplit, LowestAndHighestHeldNotesDriveTheTwoOscillators) {
  Engine e(kSplitValue);
  e.SetParameter(kGlide, 1.0);
  const double g = OnePole(1.0, 48000);
  const Voice& v = e.voices[0];

  e.NoteOn(48, 0.5);
  EXPECT_TRUE(v.active);
  EXPECT_EQ(v.note1, 48);
  EXPECT_EQ(v.note2, 48);  // one held note: both oscillators play it
  EXPECT_EQ(v.velocity, 0.5);
  e.Run(2000);
  EXPECT_EQ(v.pitch2, 48.0);  // jumped, not glided, to the first note
  const int stage = v.ampStage;
  ASSERT_EQ(stage, kAttackStage);

  // Hold 55: oscillator 2 glides from 48; the envelopes go on.
  e.NoteOn(55, 0.9);
  EXPECT_EQ(v.note1, 48);
  EXPECT_EQ(v.note2, 55);
  EXPECT_DOUBLE_EQ(v.velocity, (0.5 + 0.9) / 2);  // mean of both notes' velocities
  EXPECT_EQ(v.pitch2, 48.0);
  const double levelBefore = v.ampLevel;
  e.Tick();
  EXPECT_NEAR(v.pitch2, 48.0 + g * 7.0, 1e-12);
  EXPECT_EQ(v.pitch1, 48.0);
  EXPECT_EQ(v.ampStage, stage);
  EXPECT_GT(v.ampLevel, levelBefore);  // still rising: no restart from 0
  e.Run(48000);

  // Release 55: both play 48, oscillator 2 gliding down.
  const double pitch2 = v.pitch2;
  e.NoteOff(55);
  EXPECT_EQ(v.note1, 48);
  EXPECT_EQ(v.note2, 48);
  EXPECT_TRUE(v.active);
  e.Tick();
  EXPECT_NEAR(v.pitch2, pitch2 + g * (48.0 - pitch2), 1e-12);
  EXPECT_NE(v.ampStage, kReleaseStage);

  // Release 48: the voice releases at 48.
  e.NoteOff(48);
  EXPECT_FALSE(v.active);
  EXPECT_EQ(v.note1, 48);
  EXPECT_EQ(v.note2, 48);
  e.Tick();
  EXPECT_EQ(v.ampStage, kReleaseStage);
}

TEST(EngineMono, LatestHeldNoteWithoutNewAttack) {
  Engine e(kMonoValue);
  const Voice& v = e.voices[0];
  e.NoteOn(60, 1.0);
  e.NoteOn(64, 1.0);
  e.NoteOn(67, 1.0);
  EXPECT_EQ(v.note1, 67);
  EXPECT_EQ(v.note2, 67);
  e.Run(20000);
  const int stage = v.ampStage;
  ASSERT_NE(stage, kAttackStage);

  e.NoteOff(67);  // back to 64, legato
  EXPECT_EQ(v.note1, 64);
  EXPECT_EQ(v.note2, 64);
  e.Tick();
  EXPECT_EQ(v.ampStage, stage);

  e.NoteOff(60);  // not sounding: no change
  EXPECT_EQ(v.note1, 64);
  EXPECT_TRUE(v.active);

  e.NoteOff(64);
  EXPECT_FALSE(v.active);
  EXPECT_EQ(v.note1, 64);
  e.Tick();
  EXPECT_EQ(v.ampStage, kReleaseStage);
}

TEST(EngineMono, LatestIsByNoteOnOrderNotByPitch) {
  Engine e(kMonoValue);
  e.NoteOn(67, 1.0);
  e.NoteOn(60, 1.0);
  EXPECT_EQ(e.voices[0].note1, 60);
  e.NoteOn(64, 1.0);
  e.NoteOn(67, 1.0);  // pressed again: latest again
  EXPECT_EQ(e.voices[0].note1, 67);
  e.NoteOff(67);
  EXPECT_EQ(e.voices[0].note1, 64);
}

TEST(EngineMono, NoteDuringReleaseReattacksFromTheCurrentLevelAndJumps) {
  Engine e(kMonoValue);
  e.SetParameter(kGlide, 4.0);
  const Voice& v = e.voices[0];
  e.NoteOn(60, 1.0);
  e.Run(10000);
  e.NoteOff(60);
  e.Run(2000);
  ASSERT_EQ(v.ampStage, kReleaseStage);
  const double level = v.ampLevel;
  ASSERT_GT(level, 0.1);

  e.NoteOn(72, 1.0);
  EXPECT_EQ(v.pitch1, -1.0);
  e.Tick();
  EXPECT_EQ(v.ampStage, kAttackStage);
  EXPECT_NEAR(v.ampLevel, level + OnePole(e.params[kAttack], 48000) * (1.0 - level), 1e-12);
  EXPECT_EQ(v.pitch1, 72.0);  // no glide from 60
  EXPECT_EQ(v.pitch2, 72.0);
}

TEST(EnginePoly, FifthNoteStealsTheOldestAndReleaseBackfillsIt) {
  Engine e(kPolyValue);
  for (int n : {60, 62, 64, 65}) e.NoteOn(n, 1.0);
  EXPECT_EQ(e.PolyNotes(), (std::array<int, 4>{60, 62, 64, 65}));
  e.Run(3000);
  const double level2 = e.voices[2].ampLevel;

  e.NoteOn(67, 0.8);  // steals voice 1 (note 60, stamp 1)
  EXPECT_EQ(e.PolyNotes(), (std::array<int, 4>{67, 62, 64, 65}));
  EXPECT_EQ(e.voices[1].ampLevel, 0.0);  // cut and restarted from silence
  EXPECT_EQ(e.voices[1].phase1, 0.0);
  EXPECT_EQ(e.voices[1].stamp, e.noteStamp[67]);
  EXPECT_EQ(e.voices[1].velocity, 0.8);
  EXPECT_EQ(e.voices[2].ampLevel, level2);
  EXPECT_TRUE(e.held[60]);  // 60 keeps its key: still held, without a voice
  e.Run(3000);

  // Release 67: its voice goes to 60, the most recent held note without a voice.
  e.NoteOff(67);
  EXPECT_EQ(e.PolyNotes(), (std::array<int, 4>{60, 62, 64, 65}));
  EXPECT_TRUE(e.voices[1].active);
  EXPECT_EQ(e.voices[1].ampLevel, 0.0);  // a new attack
  EXPECT_EQ(e.voices[1].stamp, e.noteStamp[60]);
  e.Tick();
  EXPECT_EQ(e.voices[1].ampStage, kAttackStage);
}

TEST(EnginePoly, BackfillTakesTheMostRecentVoicelessNote) {
  Engine e(kPolyValue);
  for (int n : {60, 62, 64, 65, 67, 69}) e.NoteOn(n, 1.0);
  // 67 stole 60's voice, 69 stole 62's.
  EXPECT_EQ(e.PolyNotes(), (std::array<int, 4>{67, 69, 64, 65}));
  e.Run(100);
  e.NoteOff(69);  // held without a voice: 60 (stamp 1) and 62 (stamp 2) -> 62
  EXPECT_EQ(e.PolyNotes(), (std::array<int, 4>{67, 62, 64, 65}));
  e.NoteOff(67);
  EXPECT_EQ(e.PolyNotes(), (std::array<int, 4>{60, 62, 64, 65}));
  EXPECT_EQ(e.PolyActive(), (std::array<bool, 4>{true, true, true, true}));
  // Releasing a note that lost its voice changes no voice.
  Engine f(kPolyValue);
  for (int n : {60, 62, 64, 65, 67}) f.NoteOn(n, 1.0);
  f.Run(100);
  const double level = f.voices[1].ampLevel;
  f.NoteOff(60);
  EXPECT_EQ(f.PolyNotes(), (std::array<int, 4>{67, 62, 64, 65}));
  EXPECT_EQ(f.PolyActive(), (std::array<bool, 4>{true, true, true, true}));
  EXPECT_EQ(f.voices[1].ampLevel, level);
  EXPECT_FALSE(f.held[60]);
}

TEST(EnginePoly, NeverUsedVoiceComesBeforeAReleasedOne) {
  Engine e(kPolyValue);
  e.NoteOn(60, 1.0);
  e.NoteOn(62, 1.0);
  e.Run(2000);
  e.NoteOff(60);
  e.Run(10);
  ASSERT_FALSE(e.voices[1].active);
  const double releasing = e.voices[1].ampLevel;
  e.NoteOn(64, 1.0);
  EXPECT_EQ(e.PolyNotes(), (std::array<int, 4>{60, 62, 64, -1}));
  EXPECT_EQ(e.voices[1].ampLevel, releasing);  // keeps releasing
}

TEST(EnginePoly, QuietestReleasedVoiceIsReused) {
  // All four voices used; a table of gates and levels; the first inactive voice is
  // the candidate, a later one replaces it only when the candidate is strictly louder.
  const struct {
    const char* name;
    std::array<bool, 4> active;
    std::array<double, 4> level;
    int chosen;  // voice index 1..4
  } cases[] = {
      {"one released", {true, false, true, true}, {0.5, 0.4, 0.5, 0.5}, 2},
      {"quieter later", {true, false, false, true}, {0.5, 0.4, 0.2, 0.5}, 3},
      {"equal levels keep the first", {false, true, false, false}, {0.3, 0.5, 0.3, 0.3}, 1},
      {"quieter then equal", {false, false, false, true}, {0.6, 0.2, 0.2, 0.1}, 2},
      {"silent last", {false, false, false, false}, {0.6, 0.2, 0.3, 0.0}, 4},
      {"released louder than active ones", {true, true, true, false}, {0.1, 0.1, 0.1, 0.9}, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Engine e(kPolyValue);
    for (int n : {60, 62, 64, 65}) e.NoteOn(n, 1.0);
    for (int i = 0; i < 4; ++i) {
      e.voices[i + 1].active = c.active[static_cast<size_t>(i)];
      e.voices[i + 1].ampLevel = c.level[static_cast<size_t>(i)];
    }
    e.NoteOn(70, 1.0);
    for (int i = 1; i <= 4; ++i) {
      if (i == c.chosen) {
        EXPECT_EQ(e.voices[i].note1, 70) << "voice " << i;
        EXPECT_EQ(e.voices[i].ampLevel, 0.0) << "voice " << i;
      } else {
        EXPECT_NE(e.voices[i].note1, 70) << "voice " << i;
      }
    }
  }
}

TEST(EnginePoly, StealsTheSmallestStampAndTheLowerVoiceOnTies) {
  const struct {
    std::array<uint64_t, 4> stamps;
    int stolen;
  } cases[] = {{{5, 3, 3, 7}, 2}, {{4, 4, 4, 4}, 1}, {{9, 8, 7, 6}, 4}, {{2, 9, 1, 1}, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "stamps " << c.stamps[0] << "," << c.stamps[1] << "," << c.stamps[2] << ","
                                    << c.stamps[3]);
    Engine e(kPolyValue);
    for (int n : {60, 62, 64, 65}) e.NoteOn(n, 1.0);
    for (int i = 0; i < 4; ++i) e.voices[i + 1].stamp = c.stamps[static_cast<size_t>(i)];
    e.NoteOn(70, 1.0);
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(e.voices[i].note1 == 70, i == c.stolen) << "voice " << i;
  }
}

TEST(EnginePoly, RepeatedNoteRestartsItsVoiceFromSilence) {
  Engine e(kPolyValue);
  e.NoteOn(60, 1.0);
  e.NoteOn(64, 1.0);
  e.Run(3000);
  const double other = e.voices[2].ampLevel;
  e.NoteOn(60, 0.4);
  EXPECT_EQ(e.PolyNotes(), (std::array<int, 4>{60, 64, -1, -1}));
  EXPECT_EQ(e.voices[1].ampLevel, 0.0);
  EXPECT_EQ(e.voices[1].phase1, 0.0);
  EXPECT_EQ(e.voices[1].velocity, 0.4);
  EXPECT_EQ(e.voices[1].stamp, 3u);
  EXPECT_EQ(e.voices[2].ampLevel, other);
  // Poly voices never glide: a started voice jumps to its note.
  e.SetParameter(kGlide, 4.0);
  e.NoteOn(72, 1.0);
  e.Tick();
  EXPECT_EQ(e.voices[3].pitch1, 72.0);
}

TEST(EngineSustain, PedalKeepsReleasedKeysUntilItComesUp) {
  for (double mode : {kSplitValue, kPolyValue}) {
    SCOPED_TRACE(testing::Message() << "mode value " << mode);
    Engine e(mode);
    e.SetSustain(true);
    e.NoteOn(60, 1.0);
    e.notePressure[60] = 0.5;
    e.NoteOff(60);
    EXPECT_TRUE(e.held[60]);
    EXPECT_FALSE(e.keyDown[60]);
    EXPECT_EQ(e.notePressure[60], 0.5);
    e.NoteOn(64, 1.0);
    e.SetSustain(true);  // pressed again: nothing happens
    EXPECT_TRUE(e.held[60]);
    e.Run(100);

    e.SetSustain(false);
    EXPECT_FALSE(e.sustain);
    EXPECT_FALSE(e.held[60]);
    EXPECT_EQ(e.notePressure[60], 0.0);
    EXPECT_TRUE(e.held[64]);  // its key is still down
    if (mode == kSplitValue) {
      EXPECT_TRUE(e.voices[0].active);
      EXPECT_EQ(e.voices[0].note1, 64);
      EXPECT_EQ(e.voices[0].note2, 64);
    } else {
      EXPECT_EQ(e.PolyNotes(), (std::array<int, 4>{60, 64, -1, -1}));
      EXPECT_EQ(e.PolyActive(), (std::array<bool, 4>{false, true, false, false}));
    }
    e.notePressure[64] = 0.4;
    e.NoteOff(64);  // pedal up: released at once, its pressure cleared
    EXPECT_FALSE(e.held[64]);
    EXPECT_EQ(e.notePressure[64], 0.0);
  }
}

TEST(EngineSustain, PedalUpBackfillsFreedVoices) {
  // Pedal down over five notes: 67 takes 60's voice (60's key stays down); 64's
  // key goes up and the pedal keeps it. Pedal up releases 64, and its voice is
  // given back to 60, the held note without a voice.
  Engine e(kPolyValue);
  e.SetSustain(true);
  for (int n : {60, 62, 64, 65, 67}) e.NoteOn(n, 1.0);
  e.NoteOff(64);  // sustained, voice 3 keeps sounding
  EXPECT_EQ(e.PolyNotes(), (std::array<int, 4>{67, 62, 64, 65}));
  e.SetSustain(false);
  // 64 released; voice 3 goes to the held note without a voice: 60.
  EXPECT_FALSE(e.held[64]);
  EXPECT_EQ(e.PolyNotes(), (std::array<int, 4>{67, 62, 60, 65}));
  EXPECT_EQ(e.PolyActive(), (std::array<bool, 4>{true, true, true, true}));
}

TEST(EngineAllNotesOff, ReleasesEveryVoiceAndClearsThePedal) {
  Engine e(kPolyValue);
  e.SetSustain(true);
  for (int n : {60, 62, 64, 65}) e.NoteOn(n, 0.7);
  e.notePressure[62] = 0.9;
  e.Run(1000);
  const std::array<double, 4> levels = {e.voices[1].ampLevel, e.voices[2].ampLevel, e.voices[3].ampLevel,
                                        e.voices[4].ampLevel};
  const uint64_t stamp = e.noteStamp[64];
  e.AllNotesOff();
  EXPECT_FALSE(e.sustain);
  EXPECT_EQ(e.PolyActive(), (std::array<bool, 4>{false, false, false, false}));
  EXPECT_EQ(e.PolyNotes(), (std::array<int, 4>{60, 62, 64, 65}));
  for (int n = 0; n < 128; ++n) {
    ASSERT_FALSE(e.held[n]) << n;
    ASSERT_FALSE(e.keyDown[n]) << n;
    ASSERT_EQ(e.notePressure[static_cast<size_t>(n)], 0.0) << n;
  }
  EXPECT_EQ(e.noteVelocity[64], 0.7);
  EXPECT_EQ(e.noteStamp[64], stamp);
  // Released, not cut: the levels are kept and the release stage follows.
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(e.voices[i].ampLevel, levels[static_cast<size_t>(i - 1)]) << i;
  e.Tick();
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(e.voices[i].ampStage, kReleaseStage) << i;

  Engine s(kSplitValue);
  s.NoteOn(48, 1.0);
  s.NoteOn(60, 1.0);
  s.AllNotesOff();
  EXPECT_FALSE(s.voices[0].active);
  EXPECT_EQ(s.voices[0].note1, 48);
  EXPECT_EQ(s.voices[0].note2, 60);
}

TEST(EngineModeSwitch, MonoToPolyStartsOneVoicePerHeldNoteInAscendingOrder) {
  Engine e(kMonoValue);
  e.NoteOn(64, 0.3);
  e.NoteOn(60, 0.6);
  e.NoteOn(67, 0.9);
  e.Run(1000);
  e.SetParameter(kVoiceMode, kPolyValue);
  EXPECT_EQ(e.PolyNotes(), (std::array<int, 4>{60, 64, 67, -1}));
  EXPECT_EQ(e.PolyActive(), (std::array<bool, 4>{true, true, true, false}));
  const double velocities[] = {0.6, 0.3, 0.9};
  for (int i = 1; i <= 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(e.voices[i].ampLevel, 0.0);
    EXPECT_EQ(e.voices[i].ampStage, kIdle);
    EXPECT_EQ(e.voices[i].velocity, velocities[i - 1]);
    EXPECT_EQ(e.voices[i].stamp, e.noteStamp[e.voices[i].note1]);
  }
  EXPECT_EQ(e.voices[0].note1, -1);
  EXPECT_FALSE(e.voices[0].active);

  // And back to Split: voice 0 takes lowest and highest from silence; poly voices are reset.
  e.Run(100);
  e.SetParameter(kVoiceMode, kSplitValue);
  EXPECT_EQ(e.voices[0].note1, 60);
  EXPECT_EQ(e.voices[0].note2, 67);
  EXPECT_TRUE(e.voices[0].active);
  EXPECT_EQ(e.voices[0].ampLevel, 0.0);
  EXPECT_EQ(e.PolyNotes(), (std::array<int, 4>{-1, -1, -1, -1}));
}

TEST(EngineNotes, OutOfRangeNotesAreIgnored) {
  for (double mode : {kSplitValue, kMonoValue, kPolyValue}) {
    Engine e(mode);
    e.NoteOn(60, 1.0);
    e.Run(10);
    const uint64_t counter = e.noteCounter;
    const double level = e.voices[mode == kPolyValue ? 1 : 0].ampLevel;
    for (int note : {-1, 128, 1000, -1000}) {
      e.NoteOn(note, 1.0);
      e.NoteOff(note);
    }
    EXPECT_EQ(e.noteCounter, counter) << "mode value " << mode;
    EXPECT_EQ(e.voices[mode == kPolyValue ? 1 : 0].ampLevel, level) << "mode value " << mode;
    EXPECT_EQ(e.voices[mode == kPolyValue ? 2 : 0].note1, mode == kPolyValue ? -1 : 60) << "mode value " << mode;
    // The edge notes 0 and 127 are valid.
    e.NoteOn(0, 1.0);
    e.NoteOn(127, 1.0);
    EXPECT_TRUE(e.held[0]);
    EXPECT_TRUE(e.held[127]);
    EXPECT_EQ(e.noteCounter, counter + 2);
  }
}

TEST(EngineNotes, NoteOnStampsClampsVelocityAndClearsPressure) {
  const struct {
    double in, stored;
  } cases[] = {{1.5, 1.0}, {-0.5, 0.0}, {0.25, 0.25}, {1.0, 1.0}, {0.0, 0.0}};
  for (double mode : {kSplitValue, kPolyValue}) {
    Engine e(mode);
    uint64_t stamp = 0;
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << "mode value " << mode << " velocity " << c.in);
      e.notePressure[70] = 0.8;
      e.NoteOn(70, c.in);
      EXPECT_EQ(e.noteVelocity[70], c.stored);
      EXPECT_EQ(e.notePressure[70], 0.0);
      EXPECT_EQ(e.noteStamp[70], ++stamp);
      EXPECT_EQ(e.noteCounter, stamp);
      EXPECT_EQ(e.voices[mode == kPolyValue ? 1 : 0].velocity, c.stored);
    }
  }
}
