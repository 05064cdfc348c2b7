// Turns a timed MIDI message list into the offline driver's blocks, the way a
// VST 3 host hands one process call's input to the plug-in.
#pragma once

#include <cstdint>
#include <vector>

#include "MidiFile.h"
#include "framework/offline/OfflineHost.h"

namespace vbrender {

// The frame that holds time t: floor(t x rate). A millionth of a frame of
// slack absorbs the rounding in a seconds value computed from ticks, so an
// event meant to fall exactly on a frame is not pushed one frame early.
int64_t FrameOfTime(double seconds, double sampleRate);

// Builds the blocks in order. Per block:
//  - controllers: control changes (any number), channel pressure and pitch
//    bend, reduced to the last value of each kind per channel (a kind is a
//    controller number, channel pressure or pitch bend), in the order each
//    kind first appeared in the block;
//  - events: note on, note off and polyphonic pressure, in file order;
//  - program changes are dropped;
//  - tempo: the host tempo, in every block.
// Each message's mOffset is its frame within the block.
class BlockScheduler {
public:
  BlockScheduler(std::vector<TimedMidiMsg> messages, double sampleRate, double tempo);

  // The block of nFrames starting at blockStart. Blocks must be asked for in
  // order; messages before blockStart not yet handed out go into this block.
  fw::OfflineBlock Next(int64_t blockStart, int nFrames);

  // Messages not handed out yet (those at or after the last block's end).
  size_t Remaining() const { return mTimed.size() - mCursor; }

private:
  struct Framed {
    int64_t frame;
    fw::IMidiMsg msg;
  };
  std::vector<Framed> mTimed;
  size_t mCursor = 0;
  double mTempo;
};

}  // namespace vbrender
