// The sound engine of one instrument instance: parameter slots in engine
// units, note and controller state, five voices, the per-instance circuit
// variation and the output chain. Renders one stereo frame per Tick in double
// precision and allocates only in SetSampleRate. Knows nothing of any plug-in
// framework; the plug-in drives it from one thread at a time.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "Echo.h"
#include "Params.h"
#include "VoiceLanes.h"
#include "dsp/Envelope.h"
#include "dsp/Random.h"
#include "dsp/Kernels.h"
#include "dsp/Math.h"
#include "dsp/Oscillator.h"
#include "dsp/Svf.h"

namespace vrelbazzit {

enum VoiceMode { kSplit = 0, kMono = 1, kPoly = 2 };
enum EnvelopeStage { kIdle = 0, kAttackStage = 1, kDecayStage = 2, kSustainStage = 3, kReleaseStage = 4 };

class SynthCore {
public:
  static constexpr int kNumVoices = 5;
  static constexpr int kNumBands = 8;
  static constexpr int kNumNotes = 128;
  // A voice below this amplitude level is silent: in Poly it is no longer
  // rendered once released, and a reset of it needs no declick.
  static constexpr double kSilentLevel = 1e-6;

  struct Voice {
    int note1 = -1;
    int note2 = -1;
    bool active = false;
    uint64_t stamp = 0;
    double velocity = 1.0;
    double pitch1 = -1.0, pitch2 = -1.0;
    double phase1 = 0.0, phase2 = 0.0;
    double layerPhase1 = 0.0, layerPhase2 = 0.0;
    double subPhase = 0.0;
    int filterCountdown = 0;
    int ampStage = kIdle;
    double ampLevel = 0.0;
    bool ampGate = false;
    int filterStage = kIdle;
    double filterLevel = 0.0;
    bool filterGate = false;
    double fuzzLowpass = 0.0;
    double outputLowpass = 0.0;
    int wave1 = 0, prevWave1 = 0;
    int wave2 = 0, prevWave2 = 0;
    double fade1 = 1.0, fade2 = 1.0;
    dsp::Svf lowpass;   // a1, a2, a3, ic1, ic2 of the voice low-pass
    dsp::Svf highpass;  // the same for the voice high-pass
    // 2^(semitones / 12) of each oscillator, kept while its pitch holds still.
    dsp::Memo pitchRatio1, pitchRatio2;
  };

  SynthCore();
  ~SynthCore() = default;
  SynthCore(const SynthCore&) = delete;
  SynthCore& operator=(const SynthCore&) = delete;

  // Sizes the delay lines and designs the fixed filters; the only allocating call.
  void SetSampleRate(double rate);
  // Clamps and stores one engine value; NaN is ignored.
  void SetParameter(int index, double value);

  void NoteOn(int note, double velocity);
  void NoteOff(int note);
  void SetSustain(bool down);
  void AllNotesOff();
  void RebuildVoices();

  // n output frames into left and right (n may be 0). Nothing of the note or
  // controller state changes within the call: the caller splits its block at
  // each event.
  void Render(double* left, double* right, int n);
  // One output frame: left, right.
  std::pair<double, double> Tick();

  // The batch kernels the engine computes with (the plain ones by default). A
  // table must give the plain kernels' values; it changes speed, not sound.
  void SetKernels(const dsp::Kernels& kernels) { mKernels = &kernels; }
  const dsp::Kernels& GetKernels() const { return *mKernels; }

  static double Wave(double phase, double increment, double pulse, double width, int shape, bool fine);
  double RenderVoice(Voice& voice, double lfo, double age, double motion);

  void SetCircuitSeed(uint64_t seed);
  static uint64_t CreateCircuitSeed();

  // ---- State (public: the processor writes the controller members) ----
  double sampleRate = 48000.0;
  double params[kNumParams];
  bool held[kNumNotes] = {};
  bool keyDown[kNumNotes] = {};
  std::array<double, kNumNotes> notePressure{};
  double noteVelocity[kNumNotes] = {};
  uint64_t noteStamp[kNumNotes] = {};
  uint64_t noteCounter = 0;
  int voiceMode = kSplit;
  double pitchBend = 0.0;
  double modWheel = 0.0;
  double channelPressure = 0.0;
  double tempo = 120.0;
  bool sustain = false;
  Voice voices[kNumVoices];
  double lfoPhase = 0.0;
  // Phases of the width taps and the echo wobble, 0..1: they advance by 0.64,
  // 0.57 and 0.7 times the LFO's increment, so they move with the LFO without
  // jumping back when its phase wraps.
  double widthPhase1 = 0.0, widthPhase2 = 0.0, wobblePhase = 0.0;
  double ageDrift = 0.0, ageTarget = 0.0;
  uint64_t noiseState = 1;
  double osc1Offset = 0.0, osc2Offset = 0.0;
  double cutoffOffset = 0.0;
  double driftPhase[2] = {0.0, 0.0};
  double driftRate[2] = {0.0, 0.0};
  double driftValue[2] = {0.0, 0.0};  // as of the last sample that rendered a voice
  double outputGain = 1.0;
  int ageCountdown = 0;
  dsp::FilterBank bank;
  double bodyLowpass = 0.0;
  double bankCenters[kNumBands] = {250, 350, 500, 700, 1000, 1400, 2000, 2800};
  std::vector<double> spaceLeft, spaceRight;
  size_t spaceWrite = 0;
  double spaceTimes[2] = {kFreeEchoLeft, kFreeEchoRight};
  std::vector<double> widthBuffer;
  size_t widthWrite = 0;
  double fatAmount = 0.12, widthAmount = 0.12;
  double fuzzAmount = 0.0;

  // Gain controls that glide with the 5 ms one-pole of "Master Gain", so host
  // automation cannot step them; each starts at its value when the sample rate
  // is set.
  struct Gains {
    double ampLevel, osc1Level, osc2Level, ring, bankMix, space;
    double bands[kNumBands];
  };
  Gains gains{};
  // The filter bank's Split span shift in octaves, following its target with 5 ms.
  double spanShift = 0.0;
  // Declick: what each voice slot added to the voice sum in the last sample,
  // and the fading remainder of a slot whose sounding voice was reset.
  double voiceOutput[kNumVoices] = {};
  double declickOffset[kNumVoices] = {};
  // The voice sum's divisor, following count^0.25 (Poly, two or more voices
  // rendered) or 1 with 5 ms.
  double polyLevel = 1.0;

private:
  void RefreshNotes();
  // Resets one voice slot; a sounding voice leaves its last value as an offset.
  void ResetVoice(int slot);
  void ResetGlidingValues();
  void StartPolyVoice(int note, double velocity);
  void BackfillPolyVoices();
  double NextNoise() { return dsp::XorShift64Star(noiseState); }

  // Rendering works in blocks of up to kBlock samples. Within a block the
  // smoothed controls hold still (a block in which they move is one sample
  // long), so the block computes the values that change from sample to
  // sample first, and the sines and tanh that depend on nothing earlier in the
  // sample over the whole block at once.
  static constexpr int kBlock = 64;
  struct Block {
    // Per sample: the Age walk, the noise drawn for the hiss, the phases, the
    // echo times, the voice sum and the output chain's stages.
    alignas(64) double ageDrift[kBlock];
    alignas(64) double hissNoise[kBlock];
    alignas(64) double lfo[kBlock];                      // phase, then its sine
    alignas(64) double drift0[kBlock], drift1[kBlock];   // phases, then sines
    alignas(64) double width1[kBlock], width2[kBlock];   // phases, then sines
    alignas(64) double wobble[kBlock];                   // phase, then sine
    alignas(64) double tune1[kBlock], tune2[kBlock];     // tuning in octaves, then 2^octaves
    alignas(64) double echoLeft[kBlock], echoRight[kBlock];
    alignas(64) double tapWidth1[kBlock], tapWidth2[kBlock];      // the taps' positions in their lines
    alignas(64) double tapEchoLeft[kBlock], tapEchoRight[kBlock];
    alignas(64) double sum[kBlock];
    alignas(64) double bankOut[kBlock];
    alignas(64) double mono[kBlock];                     // the clip's input, then output
    alignas(64) double left[kBlock], right[kBlock];      // the output stage's input, then output
  };
  // Renders up to n (at least 1) samples and returns how many.
  int RenderBlock(double* left, double* right, int n);
  // One step of the smoothed controls; false when no value changed.
  bool SmoothControls();
  // The voices' sums of the block's m samples, into the block's sum.
  void RenderVoices(int m);
  // The voices' sum of sample i of the block.
  double VoiceSample(int i);
  // The voice sum after the declick and the poly level, count the voices rendered.
  double MixDown(double sum, int count);
  struct VoiceBlock {
    // Per sample: the phases and increments of the two oscillators (1, 2)
    // and their layers (3, 4), their waves, the sub oscillator's phase (then
    // sine), the mix, the tanh inputs (then outputs), the filters' output and
    // the amplitude level; whether the voice sounds.
    alignas(64) double t1[kBlock], dt1[kBlock], t2[kBlock], dt2[kBlock];
    alignas(64) double t3[kBlock], dt3[kBlock], t4[kBlock], dt4[kBlock];
    alignas(64) double w1[kBlock], w2[kBlock], w3[kBlock], w4[kBlock];
    alignas(64) double sub[kBlock], osc[kBlock], x[kBlock], lp[kBlock], amp[kBlock];
    // The filter envelope's level and the oscillators' pitch ratios.
    alignas(64) double level[kBlock], ratio1[kBlock], ratio2[kBlock];
    bool sounding[kBlock];
    // The filter designs of the block (one every 16 samples at most), by sample.
    int designAt[kBlock / 16 + 2];
    double filterLevel[kBlock / 16 + 2];
    dsp::Svf lowpass[kBlock / 16 + 2], highpass[kBlock / 16 + 2];
  };
  // Poly voices in lanes from sample first of the block on, for as many
  // samples as they all keep sounding (up to end); their sums into the block's
  // sum. Returns the samples rendered: 0 when no run can start here.
  int PolyLanesRun(int first, int end);
  void OutputBlock(int n, double age, double* left, double* right);
  void EchoTargets(double& left, double& right) const;
  double OutputDrive();
  // Everything a voice's sample needs that is the same for every voice.
  struct VoiceFrame {
    double lfo, age, motion;
    dsp::EnvelopeSettings amp, filter;
    double fuzz, warmth, fuzzDrive, fuzzNorm, bodyDrive;
    double glide;
    double semisBase1, semisBase2;      // 12 x range - 69 + 2 x bend
    double tuneFactor1, tuneFactor2;    // 440 x 2^(cents / 1200) / rate
    double layerUp, layerDown;          // Fat layer detune ratios
    double width, pulse1, pulse2, biteDepth, fatMix, subLevel;
    double osc1Level, osc2Level, ring;  // the gliding gain controls
    int shape1, shape2;
    bool fine1, fine2;
  };
  VoiceFrame MakeVoiceFrame(double lfo, double age, double motion);
  // The frame's values that hold still through a block (the smoothed controls
  // do), and those that move from sample to sample: the LFO and the tuning,
  // from the Age walk and the drift values as they stand.
  void FillVoiceFrame(VoiceFrame& frame, double age, double motion);
  void FrameSample(VoiceFrame& frame, double lfo);
  // The oscillators' tuning in octaves for an LFO value, an Age walk value and
  // the drift values.
  void TuneExponents(const VoiceFrame& frame, double lfo, double walk, double drift0, double drift1,
                     double& octaves1, double& octaves2) const;
  // FrameSample for each sample of the block: the tune factors over the block
  // (after the frame is filled), then sample i's values into the frame.
  void TuneBlock(int m);
  void BlockFrameSample(VoiceFrame& frame, int i);
  // The single voice of Split and Mono over the block's m samples into the
  // block's sums, when it sounds or may sound and keeps its shapes.
  static bool SingleVoiceBlockFits(const Voice& voice, const VoiceFrame& frame);
  void SingleVoiceBlock(int m);
  double RenderVoice(Voice& voice, const VoiceFrame& frame);
  double OscillatorSection(Voice& voice, const VoiceFrame& frame);
  // The oscillator section's mix of the four waves, the sub oscillator's sine
  // and ring amount r.
  static double MixOscillators(const VoiceFrame& frame, double w1, double w2, double w3, double w4, double sub,
                               double r);
  // The voice body in steps, with the tanh of each step's input taken by the
  // caller: the fuzz's input; the drive's input (moves the fuzz low-pass);
  // the filters' output; the saturation's input; the voice's output (moves the
  // output low-pass).
  static double FuzzInput(const VoiceFrame& frame, double osc);
  double DriveInput(Voice& voice, const VoiceFrame& frame, double amp, double osc, double fuzzTanh) const;
  static double FilterVoice(Voice& voice, double y);
  static double SaturationInput(const VoiceFrame& frame, double lp);
  double VoiceOutput(Voice& voice, const VoiceFrame& frame, double lp, double saturationTanh) const;
  // Pieces of a voice's sample, shared by the voice-by-voice path and the lanes.
  void StepEnvelopes(Voice& voice, const VoiceFrame& frame);
  // Steps the envelopes of count (1 to 4) voices over up to n samples, writing
  // sample s's amplitude and filter levels of voice k to amp[s * stride + k]
  // and filter[s * stride + k]; stops before a sample on which a voice's
  // amplitude would fall silent. Returns the samples stepped.
  static int StepEnvelopesWhileSounding(Voice* const* voices, int count, const VoiceFrame& frame, int n,
                                        double* amp, double* filter, int stride);
  double RenderVoiceBody(Voice& voice, const VoiceFrame& frame);  // after StepEnvelopes
  void OscillatorIncrements(Voice& voice, const VoiceFrame& frame, double& inc1, double& inc2);
  // The glide's step and the oscillators' pitch ratios (the increments before the tuning).
  static void GlideRatios(Voice& voice, const VoiceFrame& frame, double& ratio1, double& ratio2);
  // The pitch ratios (2^(semitones / 12)) of a voice whose glide has come to
  // rest, which then hold while the block's frame holds; false while it glides.
  bool RestingPitchRatios(Voice& voice, const VoiceFrame& frame, double& ratio1, double& ratio2);
  static void UpdateShapes(Voice& voice, const VoiceFrame& frame);
  double RingAmount(const Voice& voice, const VoiceFrame& frame) const;
  // The lanes (after StepEnvelopes): GatherVoice takes a sounding voice whose
  // shapes hold still into a lane (and does its glide, increments and any due
  // filter design), or returns false; ScatterVoice writes the states back and
  // returns the voice's sample.
  void SetSharedLanes(const VoiceFrame& frame);
  bool GatherVoice(Voice& voice, const VoiceFrame& frame, int lane);
  // A voice's states into a lane, for every sample of a run.
  void GatherLaneStates(const Voice& voice, int lane);
  // Copies lane 0 into the unused lanes: its states and its inputs of the run's samples.
  void PadLanes(int samples);
  double ScatterVoice(Voice& voice, int lane) const;
  void DesignVoiceFilters(Voice& voice, const VoiceFrame& frame) {
    DesignVoiceFilters(voice, frame, voice.filterLevel);
  }
  // The same with the filter envelope's level as given.
  void DesignVoiceFilters(Voice& voice, const VoiceFrame& frame, double filterLevel);
  static constexpr int kFilterUpdateInterval = 16;  // voice filters are redesigned every 16 samples
  // Counts a voice's filter countdown down one sample; true when the filters
  // are to be designed on this sample.
  static bool FilterDesignDue(Voice& voice) {
    const int before = voice.filterCountdown--;
    if (before >= 2) return false;
    voice.filterCountdown = kFilterUpdateInterval;
    return true;
  }
  // Released, both envelopes idle at exactly 0, the filter and output states
  // exactly 0: the voice's sample is exactly 0 and only its filter design
  // moves on (the fuzz low-pass only moves while the voice sounds).
  static bool VoiceAtRest(const Voice& voice);
  void UpdateRateConstants();
  bool Switch(int index) const { return params[index] >= 0.5; }

  const dsp::Kernels* mKernels = &dsp::kPlainKernels;
  VoiceLanes mLanes;
  Block mBlock{};
  VoiceBlock mVoiceBlock{};
  VoiceFrame mFrame;  // the voices' frame of the block's current sample

  // Values that depend only on the sample rate, set by UpdateRateConstants.
  double mInvRate = 1.0 / 48000;  // 1 / sample rate
  double mSmoothCoef = 0.0;       // 5 ms effect-amount smoothing
  double mEchoTimeCoef = 0.0;     // 40 ms echo-time smoothing
  double mBodyCoef = 0.0;         // 170 Hz Body one-pole
  double mFuzzLowpassCoef = 0.0;  // 4800 Hz one-poles of the fuzz and the saturation
  double mSustainCoef = 0.0;      // 1 ms sustain follower
  double mFadeStep = 0.0;         // 8 ms shape crossfade per sample
  double mAgeFollow = 0.0;        // 1 / (0.22 s x rate)
  int mAgeReload = 1;             // samples between age targets
  double mDeclickDecay = 0.0;     // 3 ms fade of the declick offsets, per sample
  double mPolyNorm[kNumVoices] = {};  // count^0.25 for count voices
  // Skips: no gain control away from its parameter, no offset left to fade.
  // SetParameter starts the gliding of a gain control; write them through it.
  bool mGainsGliding = false;
  bool mDeclicking = false;

  // Values that depend only on one parameter (or a smoothed amount), kept
  // until that input changes. They change no result.
  dsp::Memo mAttackCoef, mAmpDecayCoef, mReleaseCoef;
  dsp::Memo mFilterAttackCoef, mFilterDecayCoef, mFilterReleaseCoef;
  dsp::Memo mGlideCoef, mLfoRate, mBodyBoost, mFatRatio, mFatRatioDown, mFuzzNorm;
  dsp::Memo mBankFocus, mColorFocus, mShiftRatio;
  dsp::Memo mLfoStep, mDriftStep[2];  // phase increments: rate / sample rate
  dsp::Memo mCutoffBase;               // the voice low-pass's cutoff before its modulation, in Hz
  dsp::Memo mHighpassG;                // tan(pi f / S) of the voice high-pass
  dsp::Memo mOutputDrive;              // the output stage's drive, from the smoothed fuzz
  double mBankWeights[kNumBands] = {};

  // Exact-zero skips. Only Tick and SetSampleRate write the bank states and
  // the delay lines; they keep these up to date.
  bool mBankSilent = false;  // every band's state is exactly zero
  size_t mWidthZeros = 0;    // zeros written in a row into the width line
  size_t mSpaceZeros = 0;    // samples in a row that wrote zeros into both echo lines
};

}  // namespace vrelbazzit
