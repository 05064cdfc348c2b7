// The MIDI messages of one process call, waiting for their frame: a
// fixed-capacity list kept in order of sample offset. Messages with the same
// offset stay in the order they were added. Nothing allocates after
// construction, so the audio thread may use it freely.
#pragma once

#include <array>
#include <climits>
#include <cstddef>

#include "IMidiMsg.h"

namespace fw {

class IMidiQueue {
public:
  // Enough for a dense block of notes, controller ramps and pressure; a host
  // that sends more gets the rest at the start of the block (see IPlugBase).
  static constexpr size_t kCapacity = 2048;
  // Offset of the next message when there is none.
  static constexpr int kNone = INT_MAX;

  // Adds msg after every queued message with an offset at or before its own.
  // False when the queue is full (the message is not added).
  bool Add(const IMidiMsg& msg) {
    if (mSize == kCapacity) return false;
    // Hosts deliver events in time order, so the place is nearly always the end.
    size_t i = mSize;
    while (i > mHead && mItems[i - 1].mOffset > msg.mOffset) {
      mItems[i] = mItems[i - 1];
      --i;
    }
    mItems[i] = msg;
    ++mSize;
    return true;
  }

  bool Empty() const { return mHead == mSize; }
  size_t Size() const { return mSize - mHead; }
  const IMidiMsg& Peek() const { return mItems[mHead]; }
  int NextOffset() const { return Empty() ? kNone : mItems[mHead].mOffset; }

  void Remove() {
    if (Empty()) return;
    if (++mHead == mSize) Clear();
  }

  void Clear() { mHead = mSize = 0; }

private:
  std::array<IMidiMsg, kCapacity> mItems{};
  size_t mHead = 0;  // first queued message; everything before it was taken
  size_t mSize = 0;  // one past the last queued message
};

}  // namespace fw
