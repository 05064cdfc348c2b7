// How long the instrument can keep sounding after its last note: the
// amplitude envelope's release down to -96 dB, then the echo's repeats until
// they too lie 96 dB below the sound that fed them. Hosts use it to end a
// bounce or put an idle instrument to sleep without cutting the echo.
#pragma once

#include <cstdint>

namespace vrelbazzit {

// The settings the tail depends on, in engine units ("Release" in seconds,
// "Space" and "Age" 0..1, "Space Sync" as its engine value 0..1), and the
// host tempo in beats per minute.
struct TailSettings {
  double releaseSeconds = 0.28;
  double space = 0.12;
  double spaceSync = 0.0;
  double age = 0.12;
  double tempo = 120.0;
};

// Level below which the tail counts as silent: -96 dB.
inline constexpr double kTailFloorDb = -96.0;

// The release part: the amplitude envelope falls from full level towards 0
// as a one-pole with the release time as its time constant, so it reaches
// the floor after release x ln(10^(96/20)) seconds. Only this envelope gates
// the output; the filter envelope moves the cutoff, not the level.
double ReleaseTailSeconds(const TailSettings& s);

// The echo part: 0 when "Space" is 0. The k-th repeat reaches the output at
// 0.34 x Space x 0.3^(k-1) of the level that entered the echo (wet level,
// then the fixed feedback of 0.3 per pass); the repeats counted are those at
// or above the floor. The passes alternate between the left and right echo
// times (each lengthened by the wobble's 4 ms x Age at most), so n repeats
// end at most ceil(n/2) longer passes and floor(n/2) shorter ones after the
// sound that fed them.
double EchoTailSeconds(const TailSettings& s);

// Both parts, in samples at the sample rate, rounded up.
uint32_t TailSamples(const TailSettings& s, double sampleRate);

}  // namespace vrelbazzit
