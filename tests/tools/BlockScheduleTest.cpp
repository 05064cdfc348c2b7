// Block scheduling: which block each MIDI message lands in, and how a block's
// controllers and events are put together.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/vrelbazzit-render/BlockSchedule.h"

namespace vbrender {
namespace {

using M = fw::IMidiMsg;

std::string Describe(const M& m) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02X %d %d @%d", m.mStatus, m.mData1, m.mData2, m.mOffset);
  return buf;
}

std::vector<std::string> Describe(const std::vector<M>& msgs) {
  std::vector<std::string> out;
  for (const M& m : msgs) out.push_back(Describe(m));
  return out;
}

TEST(FrameOfTime, FloorOfTimeTimesRate) {
  struct Case {
    const char* name;
    double seconds, rate;
    int64_t frame;
  };
  const Case cases[] = {
      {"zero", 0.0, 48000, 0},
      {"exact frame", 0.5, 48000, 24000},
      {"just below a frame", 0.5 - 1e-9, 48000, 23999},
      {"between frames rounds down", 1.0 / 3.0, 1000, 333},
      {"two thirds rounds down, not to nearest", 2.0 / 3.0, 1000, 666},
      // 0.288 x 48000 is 13823.999999999998 in doubles; the frame meant is 13824.
      {"block edge 27 x 512 at 48 kHz despite rounding", 0.288, 48000, 13824},
      {"44.1 kHz", 1.0, 44100, 44100},
      {"142 years of MIDI at 384 kHz still fits", 4503599342.0, 384000, 1729382147328000},
      {"a time no render reaches is held at 4e18", 1e300, 48000, 4000000000000000000},
  };
  for (const Case& c : cases) EXPECT_EQ(FrameOfTime(c.seconds, c.rate), c.frame) << c.name;
}

struct Timed {
  double seconds;
  M msg;
};

struct ExpectedBlock {
  std::vector<M> controllers;
  std::vector<M> events;
};

struct ScheduleCase {
  const char* name;
  EventTiming timing;
  double rate;
  int block;
  std::vector<Timed> in;
  std::vector<ExpectedBlock> blocks;  // from block 0; later blocks expected empty
};

// Rate 1000 Hz and blocks of 10 frames: a block is 10 ms, frame = ms.
const std::vector<ScheduleCase>& ScheduleCases() {
  static const std::vector<ScheduleCase> cases = {
      {"block edges: 9 ms in block 0, 10 ms opens block 1, 19.9 ms still block 1",
       EventTiming::Sample, 1000, 10,
       {{0.009, M::NoteOn(0, 60, 100)}, {0.010, M::NoteOn(0, 62, 100)}, {0.0199, M::NoteOn(0, 64, 100)},
        {0.020, M::NoteOn(0, 65, 100)}},
       {{{}, {M::NoteOn(0, 60, 100, 9)}},
        {{}, {M::NoteOn(0, 62, 100, 0), M::NoteOn(0, 64, 100, 9)}},
        {{}, {M::NoteOn(0, 65, 100, 0)}}}},

      {"block timing: last value of each kind per channel, in order of first appearance, at offset 0",
       EventTiming::Block, 1000, 10,
       {{0.000, M::ControlChange(0, 7, 10)}, {0.001, M::ControlChange(0, 64, 127)},
        {0.002, M::ControlChange(0, 7, 20)}, {0.003, M::ControlChange(1, 7, 30)},
        {0.004, M::PitchBend(0, 100)}, {0.005, M::ControlChange(0, 64, 0)},
        {0.006, M::ChannelPressure(0, 5)}, {0.007, M::PitchBend(0, 200)},
        {0.008, M::ChannelPressure(0, 9)}},
       {{{M::ControlChange(0, 7, 20), M::ControlChange(0, 64, 0), M::ControlChange(1, 7, 30),
          M::PitchBend(0, 200), M::ChannelPressure(0, 9)},
         {}}}},

      {"sample timing: every controller at its own frame, in time order",
       EventTiming::Sample, 1000, 10,
       {{0.000, M::ControlChange(0, 7, 10)}, {0.001, M::ControlChange(0, 64, 127)},
        {0.002, M::ControlChange(0, 7, 20)}, {0.004, M::PitchBend(0, 100)},
        {0.005, M::ControlChange(0, 64, 0)}, {0.005, M::ChannelPressure(0, 9)}},
       {{{M::ControlChange(0, 7, 10, 0), M::ControlChange(0, 64, 127, 1), M::ControlChange(0, 7, 20, 2),
          M::PitchBend(0, 100, 4), M::ControlChange(0, 64, 0, 5), M::ChannelPressure(0, 9, 5)},
         {}}}},

      {"block timing: all sound off and all notes off are kinds of their own and come through",
       EventTiming::Block, 1000, 10,
       {{0.001, M::ControlChange(0, 123, 0)}, {0.002, M::ControlChange(0, 120, 0)},
        {0.003, M::ControlChange(0, 123, 0)}},
       {{{M::ControlChange(0, 123, 0), M::ControlChange(0, 120, 0)}, {}}}},

      {"block timing: notes and pressure at offset 0 in file order",
       EventTiming::Block, 1000, 10,
       {{0.002, M::NoteOn(0, 60, 90)}, {0.007, M::PolyPressure(0, 60, 40)}, {0.009, M::NoteOff(0, 60)},
        {0.013, M::NoteOn(0, 62, 80)}},
       {{{}, {M::NoteOn(0, 60, 90), M::PolyPressure(0, 60, 40), M::NoteOff(0, 60)}},
        {{}, {M::NoteOn(0, 62, 80)}}}},

      {"the same kind in two blocks stays in each block",
       EventTiming::Sample, 1000, 10,
       {{0.001, M::ControlChange(0, 64, 127)}, {0.011, M::ControlChange(0, 64, 0)}},
       {{{M::ControlChange(0, 64, 127, 1)}, {}}, {{M::ControlChange(0, 64, 0, 1)}, {}}}},

      {"notes and poly pressure keep file order; off then on of one note stays so",
       EventTiming::Sample, 1000, 10,
       {{0.002, M::NoteOn(0, 60, 90)}, {0.004, M::PolyPressure(0, 60, 40)}, {0.004, M::NoteOff(0, 60)},
        {0.004, M::NoteOn(0, 60, 80)}, {0.004, M::NoteOn(3, 48, 70)}, {0.005, M::PolyPressure(0, 60, 41)}},
       {{{},
         {M::NoteOn(0, 60, 90, 2), M::PolyPressure(0, 60, 40, 4), M::NoteOff(0, 60, 4), M::NoteOn(0, 60, 80, 4),
          M::NoteOn(3, 48, 70, 4), M::PolyPressure(0, 60, 41, 5)}}}},

      {"controllers after notes in a block still go to the controllers; program change dropped",
       EventTiming::Sample, 1000, 10,
       {{0.001, M::NoteOn(0, 60, 100)}, {0.002, M::ProgramChange(0, 5)}, {0.003, M::ControlChange(0, 64, 127)},
        {0.004, M::NoteOff(0, 60)}, {0.005, M::PitchBend(0, 9000)}},
       {{{M::ControlChange(0, 64, 127, 3), M::PitchBend(0, 9000, 5)},
         {M::NoteOn(0, 60, 100, 1), M::NoteOff(0, 60, 4)}}}},

      {"note on with velocity 0 stays a note event",
       EventTiming::Sample, 1000, 10,
       {{0.003, M(0, 0x90, 60, 0)}},
       {{{}, {M(3, 0x90, 60, 0)}}}},

      {"48 kHz, 512 frames: 0.288 s is frame 13824, the first frame of block 27",
       EventTiming::Sample, 48000, 512,
       {{0.288 - 1.0 / 48000.0, M::NoteOn(0, 60, 100)}, {0.288, M::NoteOn(0, 61, 100)}},
       {{}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {},
        {{}, {M::NoteOn(0, 60, 100, 511)}},
        {{}, {M::NoteOn(0, 61, 100, 0)}}}},

      {"messages out of time order are placed by their time, ties in given order",
       EventTiming::Sample, 1000, 10,
       {{0.012, M::NoteOn(0, 64, 100)}, {0.003, M::NoteOn(0, 60, 100)}, {0.012, M::NoteOff(0, 64)}},
       {{{}, {M::NoteOn(0, 60, 100, 3)}}, {{}, {M::NoteOn(0, 64, 100, 2), M::NoteOff(0, 64, 2)}}}},
  };
  return cases;
}

TEST(BlockScheduler, PlacesAndGroupsMessages) {
  for (const ScheduleCase& c : ScheduleCases()) {
    std::vector<TimedMidiMsg> in;
    for (const Timed& t : c.in) in.push_back({t.seconds, t.msg});
    BlockScheduler scheduler(in, c.rate, 97.5, c.timing);
    const size_t numBlocks = c.blocks.size() + 2;
    for (size_t b = 0; b < numBlocks; ++b) {
      const fw::OfflineBlock block = scheduler.Next(static_cast<int64_t>(b) * c.block, c.block);
      const ExpectedBlock expected = b < c.blocks.size() ? c.blocks[b] : ExpectedBlock{};
      EXPECT_EQ(Describe(block.controllers), Describe(expected.controllers)) << c.name << ", block " << b;
      EXPECT_EQ(Describe(block.events), Describe(expected.events)) << c.name << ", block " << b;
      ASSERT_TRUE(block.tempo.has_value()) << c.name << ", block " << b;
      EXPECT_EQ(*block.tempo, 97.5) << c.name << ", block " << b;
      EXPECT_TRUE(block.params.empty()) << c.name << ", block " << b;
    }
    EXPECT_EQ(scheduler.Remaining(), 0u) << c.name;
  }
}

// A short final block holds only the frames it covers; what lies past it is
// never handed out.
TEST(BlockScheduler, ShortLastBlockLeavesLaterMessages) {
  BlockScheduler scheduler({{0.004, M::NoteOn(0, 60, 100)}, {0.006, M::NoteOff(0, 60)}}, 1000, 120);
  const fw::OfflineBlock block = scheduler.Next(0, 5);
  EXPECT_EQ(Describe(block.events), std::vector<std::string>{Describe(M::NoteOn(0, 60, 100, 4))});
  EXPECT_EQ(scheduler.Remaining(), 1u);
}

// Automation at 1000 Hz in blocks of 10 frames: each point goes to the block
// holding its frame, applied at the block's start as a plain value; of
// several points of one parameter in a block the last one wins.
TEST(BlockScheduler, AutomationPointsGoToTheBlockHoldingThem) {
  const std::vector<AutomationLane> lanes = {
      {3, {{0.000, 10}, {0.004, 20}, {0.009, 30}, {0.015, 40}, {0.035, 50}, {0.200, 60}}},
      {7, {{0.010, 1}}},
  };
  BlockScheduler scheduler({}, 1000, 120, EventTiming::Sample, lanes);
  const std::vector<std::vector<std::pair<int, double>>> expected = {
      {{3, 30}}, {{3, 40}, {7, 1}}, {}, {{3, 50}}, {}};
  for (size_t b = 0; b < expected.size(); ++b) {
    const fw::OfflineBlock block = scheduler.Next(static_cast<int64_t>(b) * 10, 10);
    std::vector<std::pair<int, double>> got;
    for (const fw::OfflineParamChange& c : block.params) {
      got.emplace_back(c.paramIdx, c.value);
      EXPECT_FALSE(c.normalized) << "block " << b;
    }
    EXPECT_EQ(got, expected[b]) << "block " << b;
    EXPECT_TRUE(block.controllers.empty() && block.events.empty()) << "block " << b;
  }
}

}  // namespace
}  // namespace vbrender
