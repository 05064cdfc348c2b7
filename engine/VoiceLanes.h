// Up to four sounding Poly voices laid out lane by lane, for a kernel that
// renders them together over a run of samples: the oscillators, fuzz, drive,
// filters and output low-pass. The engine fills the lanes with the voices'
// states, and for each sample of the run with what moves from sample to
// sample (the increments after the glide, the amplitude envelope's level, the
// filter designs that fall due); it reads the states and outputs back. Values
// shared by the voices of the run come with them.
#pragma once

namespace vrelbazzit {

struct VoiceLanes {
  static constexpr int kLanes = 4;
  static constexpr int kSamples = 64;  // the longest run
  // A voice's filters are designed every 16 samples: at most 4 times in a run
  // of 64 samples per lane.
  static constexpr int kMaxDesigns = kLanes * kSamples / 16;

  int count = 0;    // lanes in use; the others hold copies of lane 0
  int samples = 1;  // samples in the run, 1..kSamples

  // Shared by every lane.
  int shape1 = 0, shape2 = 0;
  bool fine1 = false, fine2 = false;
  double pulse1 = 0.0, pulse2 = 0.0, width = 0.0;
  double layerUp = 1.0, layerDown = 1.0, biteDepth = 0.0, fatMix = 0.0;
  double osc1Level = 0.0, osc2Level = 0.0, subLevel = 0.0, ring = 0.0;  // ring: the effective crossfade r
  double fuzz = 0.0, warmth = 0.0, fuzzDrive = 1.0, fuzzNorm = 1.0, bodyDrive = 1.0;
  double lowpassCoef = 0.0;  // the 4800 Hz one-poles of the fuzz and the saturation

  // Per sample and lane, at [sample * kLanes + lane]. In: increments and the
  // amplitude level; out: each voice's sample.
  alignas(32) double inc1[kSamples * kLanes] = {}, inc2[kSamples * kLanes] = {};
  alignas(32) double ampLevel[kSamples * kLanes] = {};
  alignas(32) double out[kSamples * kLanes] = {};

  // Per lane. In: the velocity and the filter coefficients at the run's
  // start; in and out: the states.
  alignas(32) double velocity[kLanes];
  alignas(32) double phase1[kLanes], phase2[kLanes], layerPhase1[kLanes], layerPhase2[kLanes], subPhase[kLanes];
  alignas(32) double fuzzLowpass[kLanes], outputLowpass[kLanes];
  alignas(32) double lpA1[kLanes], lpA2[kLanes], lpA3[kLanes], lpIc1[kLanes], lpIc2[kLanes];
  alignas(32) double hpA1[kLanes], hpA2[kLanes], hpA3[kLanes], hpIc1[kLanes], hpIc2[kLanes];

  // New filter coefficients of one lane from one sample of the run on, in
  // the order of the samples.
  struct Design {
    int sample, lane;
    double lp[3], hp[3];  // a1, a2, a3 of the low-pass and of the high-pass
  };
  Design designs[kMaxDesigns];
  int designCount = 0;
};

}  // namespace vrelbazzit
