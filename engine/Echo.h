// The echo's fixed settings, shared by the output chain that runs it and the
// plug-in's estimate of the tail it leaves after the last note.
#pragma once

#include <algorithm>

namespace vrelbazzit {

inline constexpr double kEchoFeedback = 0.3;        // per pass, crossing sides
inline constexpr double kEchoWetPerSpace = 0.34;    // wet level at "Space" 100 %
inline constexpr double kFreeEchoLeft = 0.29;       // seconds, "Space Sync" Free
inline constexpr double kFreeEchoRight = 0.43;
inline constexpr double kSyncedRightPerLeft = 1.5;  // synced: right time = 1.5 x left
inline constexpr double kWobblePerAge = 0.004;      // seconds of echo time moved at "Age" 100 %

// Beats of the synced echo's left time for a sync index 1.. (5 and above: 2 beats).
inline double EchoSyncBeats(int sync) {
  static constexpr double kBeats[] = {0.25, 0.5, 0.75, 1.0, 2.0};
  return kBeats[std::clamp(sync, 1, 5) - 1];
}

}  // namespace vrelbazzit
