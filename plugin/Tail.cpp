// The instrument's tail after its last note, from the settings that shape it.
// The echo's constants are the output chain's (engine/Echo.h).
#include "Tail.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/Echo.h"

namespace vrelbazzit {

namespace {

constexpr double kMinEnvelopeSeconds = 0.001;
constexpr double kMinTempo = 30.0;            // the engine takes host tempos in 30..300
constexpr double kMaxTempo = 300.0;

double Floor() { return std::pow(10.0, kTailFloorDb / 20.0); }


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
    left = EchoSyncBeats(sync) * 60.0 / std::clamp(s.tempo, kMinTempo, kMaxTempo);
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
