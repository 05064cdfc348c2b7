// Turns a timed MIDI message list and parameter automation into the offline
// driver's blocks, the way a VST 3 host hands one process call's input to the
// plug-in.
#pragma once

#include <cstdint>
#include <vector>

#include "MidiFile.h"
#include "ParamArgs.h"
#include "framework/offline/OfflineHost.h"

namespace vbrender {

// Where a message takes effect inside its block.
enum class EventTiming {
  Sample,  // at its own frame: mOffset is its frame within the block
  Block,   // at the block's start: mOffset 0, controllers reduced as below
};

// The frame that holds time t: floor(t x rate). A millionth of a frame of
// slack absorbs the rounding in a seconds value computed from ticks, so an
// event meant to fall exactly on a frame is not pushed one frame early. Times
// far beyond any render give 4e18.
int64_t FrameOfTime(double seconds, double sampleRate);

// Builds the blocks in order. Per block:
//  - params: for each automated parameter with a point in the block, the
//    last such point's plain value (applied at the block's start, as a host
//    applies a parameter queue's last point);
//  - controllers: control changes (any number), channel pressure and pitch
//    bend. Sample timing: every one, in time order, each at its frame.
//    Block timing: the last value of each kind per channel (a kind is a
//    controller number, channel pressure or pitch bend), in the order each
//    kind first appeared in the block, all at offset 0;
//  - events: note on, note off and polyphonic pressure, in file order, at
//    their frames (sample timing) or at offset 0 (block timing);
//  - program changes are dropped;
//  - tempo: the host tempo, in every block.
class BlockScheduler {
public:
  BlockScheduler(std::vector<TimedMidiMsg> messages, double sampleRate, double tempo,
                 EventTiming timing = EventTiming::Sample, const std::vector<AutomationLane>& automation = {});

  // The block of nFrames starting at blockStart. Blocks must be asked for in
  // order; messages and points before blockStart not yet handed out go into
  // this block.
  fw::OfflineBlock Next(int64_t blockStart, int nFrames);

  // Messages not handed out yet (those at or after the last block's end).
  size_t Remaining() const { return mTimed.size() - mCursor; }

private:
  struct Framed {
    int64_t frame;
    fw::IMidiMsg msg;
  };
  struct FramedPoint {
    int64_t frame;
    double value;
  };
  struct Lane {
    int paramIdx;
    std::vector<FramedPoint> points;
    size_t cursor = 0;
  };
  void AddController(fw::OfflineBlock& block, const fw::IMidiMsg& msg) const;

  std::vector<Framed> mTimed;
  size_t mCursor = 0;
  std::vector<Lane> mLanes;
  double mTempo;
  EventTiming mTiming;
};

}  // namespace vbrender
