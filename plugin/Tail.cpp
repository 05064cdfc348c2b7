// The instrument's tail after its last note, from the settings that shape it.
// The echo's constants are those of the output chain (engine/OutputChain.cpp).
#include "Tail.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vrelbazzit {

namespace {

constexpr double kEchoFeedback = 0.3;        // per pass, crossing sides
constexpr double kEchoWetPerSpace = 0.34;    // wet level at "Space" 100 %
constexpr double kFreeEchoLeft = 0.29;       // seconds, "Space Sync" Free
constexpr double kFreeEchoRight = 0.43;
constexpr double kSyncedRightPerLeft = 1.5;  // synced: right time = 1.5 x left
constexpr double kWobblePerAge = 0.004;      // seconds of echo time moved at "Age" 100 %
constexpr double kMinEnvelopeSeconds = 0.001;
constexpr double kMinTempo = 30.0;            // the engine takes host tempos in 30..300
constexpr double kMaxTempo = 300.0;

double Floor() { return std::pow(10.0, kTailFloorDb / 20.0); }

// Beats of the synced echo's left time for a sync index 1.. (5 and above: 2 beats).
double SyncBeats(int sync) {
  static constexpr double kBeats[] = {0.25, 0.5, 0.75, 1.0, 2.0};
  return kBeats[std::min(sync, 5) - 1];
}

// Nearest integer, halves away from zero, as the engine reads a coded value.
int NearestInt(double x) { return static_cast<int>(x < 0.0 ? std::ceil(x - 0.5) : std::floor(x + 0.5)); }

}  // namespace

double ReleaseTailSeconds(const TailSettings& s) {
  const double release = std::max(s.releaseSeconds, kMinEnvelopeSeconds);
  return release * std::log(1.0 / Floor());
}

double EchoTailSeconds(const TailSettings& s) {
  const double wet = kEchoWetPerSpace * std::clamp(s.space, 0.0, 1.0);
  if (!(wet >= Floor())) return 0.0;
  // Repeats k = 1..n with wet x 0.3^(k-1) >= floor.
  const int repeats = 1 + static_cast<int>(std::floor(std::log(Floor() / wet) / std::log(kEchoFeedback)));

  double left = kFreeEchoLeft, right = kFreeEchoRight;
  const int sync = NearestInt(5.0 * s.spaceSync);
  if (sync > 0) {
    left = SyncBeats(sync) * 60.0 / std::clamp(s.tempo, kMinTempo, kMaxTempo);
    right = kSyncedRightPerLeft * left;
  }
  const double wobble = kWobblePerAge * std::clamp(s.age, 0.0, 1.0);
  const double longer = std::max(left, right) + wobble;
  const double shorter = std::min(left, right) + wobble;
  return (repeats + 1) / 2 * longer + repeats / 2 * shorter;
}

uint32_t TailSamples(const TailSettings& s, double sampleRate) {
  const double samples = std::ceil((ReleaseTailSeconds(s) + EchoTailSeconds(s)) * sampleRate);
  // Far below the largest count at any supported rate; kept finite for hosts.
  constexpr double kMax = static_cast<double>(std::numeric_limits<uint32_t>::max() - 1);
  if (!(samples > 0.0)) return 0;
  return static_cast<uint32_t>(std::min(samples, kMax));
}

}  // namespace vrelbazzit
