#include "BlockSchedule.h"

#include <algorithm>
#include <cmath>

namespace vbrender {
namespace {

constexpr double kFrameSlack = 1e-6;
// Frames beyond any render (24 hours at the highest rate are 3.3e10); larger
// times are held here so the conversion to an integer stays defined.
constexpr double kNeverFrame = 4.0e18;

// The kind a controller message replaces within a block: the controller
// number for control changes, 128 for channel pressure, 129 for pitch bend.
int ControllerKind(const fw::IMidiMsg& m) {
  switch (m.StatusMsg()) {
    case fw::IMidiMsg::kControlChange: return m.mData1;
    case fw::IMidiMsg::kChannelAftertouch: return 128;
    case fw::IMidiMsg::kPitchWheel: return 129;
    default: return -1;
  }
}

}  // namespace

int64_t FrameOfTime(double seconds, double sampleRate) {
  const double frame = std::floor(seconds * sampleRate + kFrameSlack);
  if (!(frame < kNeverFrame)) return static_cast<int64_t>(kNeverFrame);
  return frame > 0.0 ? static_cast<int64_t>(frame) : 0;
}

BlockScheduler::BlockScheduler(std::vector<TimedMidiMsg> messages, double sampleRate, double tempo,
                               EventTiming timing, const std::vector<AutomationLane>& automation)
    : mTempo(tempo), mTiming(timing) {
  mTimed.reserve(messages.size());
  for (const TimedMidiMsg& m : messages) mTimed.push_back({FrameOfTime(m.seconds, sampleRate), m.msg});
  // Already in time order when read from a file; the stable sort keeps file
  // order among messages of the same frame.
  std::stable_sort(mTimed.begin(), mTimed.end(),
                   [](const Framed& a, const Framed& b) { return a.frame < b.frame; });
  for (const AutomationLane& lane : automation) {
    Lane framed{lane.index, {}};
    for (const AutomationPoint& p : lane.points) framed.points.push_back({FrameOfTime(p.seconds, sampleRate), p.value});
    std::stable_sort(framed.points.begin(), framed.points.end(),
                     [](const FramedPoint& a, const FramedPoint& b) { return a.frame < b.frame; });
    mLanes.push_back(std::move(framed));
  }
}

void BlockScheduler::AddController(fw::OfflineBlock& block, const fw::IMidiMsg& msg) const {
  if (mTiming == EventTiming::Sample) {
    block.controllers.push_back(msg);
    return;
  }
  const int kind = ControllerKind(msg);
  auto same = std::find_if(block.controllers.begin(), block.controllers.end(), [&](const fw::IMidiMsg& c) {
    return c.Channel() == msg.Channel() && ControllerKind(c) == kind;
  });
  if (same != block.controllers.end()) {
    *same = msg;
  } else {
    block.controllers.push_back(msg);
  }
}

fw::OfflineBlock BlockScheduler::Next(int64_t blockStart, int nFrames) {
  fw::OfflineBlock block;
  block.tempo = mTempo;
  const int64_t blockEnd = blockStart + nFrames;

  for (Lane& lane : mLanes) {
    const size_t first = lane.cursor;
    while (lane.cursor < lane.points.size() && lane.points[lane.cursor].frame < blockEnd) ++lane.cursor;
    if (lane.cursor > first) block.params.push_back({lane.paramIdx, lane.points[lane.cursor - 1].value, false});
  }

  for (; mCursor < mTimed.size() && mTimed[mCursor].frame < blockEnd; ++mCursor) {
    fw::IMidiMsg msg = mTimed[mCursor].msg;
    msg.mOffset = mTiming == EventTiming::Sample
                      ? static_cast<int>(std::max<int64_t>(0, mTimed[mCursor].frame - blockStart))
                      : 0;
    if (ControllerKind(msg) >= 0) {
      AddController(block, msg);
      continue;
    }
    switch (msg.StatusMsg()) {
      case fw::IMidiMsg::kNoteOn:
      case fw::IMidiMsg::kNoteOff:
      case fw::IMidiMsg::kPolyAftertouch: block.events.push_back(msg); break;
      default: break;  // program change; system messages never get here
    }
  }
  return block;
}

}  // namespace vbrender
