// Up to four sounding Poly voices laid out lane by lane, for a kernel that
// renders them together: the oscillators, fuzz, drive, filters and output
// low-pass of one sample. The engine fills the lanes after the envelopes, the
// glide, the increments and any due filter design, and reads the states and
// outputs back. Values shared by the voices of the sample come with them.
#pragma once

namespace vrelbazzit {

struct VoiceLanes {
  static constexpr int kLanes = 4;
  int count = 0;  // lanes in use; the others hold copies of lane 0

  // Shared by every lane.
  int shape1 = 0, shape2 = 0;
  bool fine1 = false, fine2 = false;
  double pulse1 = 0.0, pulse2 = 0.0, width = 0.0;
  double layerUp = 1.0, layerDown = 1.0, biteDepth = 0.0, fatMix = 0.0;
  double osc1Level = 0.0, osc2Level = 0.0, subLevel = 0.0, ring = 0.0;  // ring: the effective crossfade r
  double fuzz = 0.0, warmth = 0.0, fuzzDrive = 1.0, fuzzNorm = 1.0, bodyDrive = 1.0;
  double lowpassCoef = 0.0;  // the 4800 Hz one-poles of the fuzz and the saturation

  // Per lane. In: increments and levels; in and out: the states.
  alignas(32) double inc1[kLanes], inc2[kLanes];
  alignas(32) double phase1[kLanes], phase2[kLanes], layerPhase1[kLanes], layerPhase2[kLanes], subPhase[kLanes];
  alignas(32) double ampLevel[kLanes], velocity[kLanes];
  alignas(32) double fuzzLowpass[kLanes], outputLowpass[kLanes];
  alignas(32) double lpA1[kLanes], lpA2[kLanes], lpA3[kLanes], lpIc1[kLanes], lpIc2[kLanes];
  alignas(32) double hpA1[kLanes], hpA2[kLanes], hpA3[kLanes], hpIc1[kLanes], hpIc2[kLanes];
  // Out: each voice's sample.
  alignas(32) double out[kLanes];
};

}  // namespace vrelbazzit
