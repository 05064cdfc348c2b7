// A plain, slow model of the engine's per-sample work, written step by step
// from the design's formulas with the standard library's sin, tanh, pow and
// exp: the wave shapes, RenderVoice (envelopes, oscillator section, fuzz,
// filters, saturation) and Tick (smoothing, age walk, drifts, LFO, voice sum,
// output chain, with the gliding gain controls, the gliding poly level and span
// shift, the declick of reset voices and the phases of the width taps and the
// echo wobble). Note handling is not modelled: after a note or parameter event
// the model takes the engine's voice assignment over (TakeEvents) and sees
// there which voices the engine reset.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <utility>
#include <vector>

#include "engine/SynthCore.h"

namespace vbtest::ref {

using vrelbazzit::SynthCore;
using Voice = SynthCore::Voice;
namespace P = vrelbazzit;

inline constexpr double kPi = std::numbers::pi;

inline double Clamp(double x, double lo, double hi) { return std::min(std::max(x, lo), hi); }
inline int Nearest(double x) { return static_cast<int>(std::round(x)); }  // halves away from zero

// ---- Wave shapes ----

inline double Blep(double t, double dt) {
  if (t < dt) {
    const double z = t / dt;
    return 2 * z - z * z - 1;
  }
  if (t > 1 - dt) {
    const double z = (t - 1) / dt;
    return z * z + 2 * z + 1;
  }
  return 0;
}
inline double Saw(double t, double dt) { return 2 * t - 1 - Blep(t, dt); }
inline double Square(double t, double dt, double width) {
  double t2 = t + 1 - width;
  if (t2 >= 1) t2 -= 1;
  return (t < width ? 1.0 : -1.0) + Blep(t, dt) - Blep(t2, dt);
}
inline double S(int h, double t, double dt) { return h * dt < 0.48 ? std::sin(2 * kPi * h * t) : 0.0; }

inline double Wave(double t, double dt, double pulse, double width, int shape, bool fine) {
  const double blend = (1 - pulse) * Saw(t, dt) + pulse * Square(t, dt, width);
  double r = 0;
  switch (shape) {
    case 0: return blend;
    case 1: r = 0.5 * Saw(t, dt); break;
    case 2: r = 0.36 * Square(t, dt, width); break;
    case 3:
      r = 0.5 * (8 / (kPi * kPi)) *
          (S(1, t, dt) - S(3, t, dt) / 9 + S(5, t, dt) / 25 - S(7, t, dt) / 49 + S(9, t, dt) / 81);
      break;
    case 4: r = 0.5 * S(1, t, dt); break;
    case 5: r = 0.5 * (S(1, t, dt) - 0.44 * S(3, t, dt) + 0.19 * S(5, t, dt)) / 1.3; break;
    case 6: r = 0.5 * (0.72 * S(1, t, dt) + 0.28 * S(3, t, dt)); break;
  }
  if (fine && pulse > 0) return r + 0.25 * pulse * (blend - r);
  return r;
}

// ---- The model ----

struct Filter {
  double a1 = 0, a2 = 0, a3 = 0, ic1 = 0, ic2 = 0;
  void Design(double f, double rate, double k) {
    const double g = std::tan(kPi * f / rate);
    a1 = 1 / (1 + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
  }
  // Returns {bp, lp}.
  std::pair<double, double> Run(double x) {
    const double e = x - ic2;
    const double bp = a1 * ic1 + a2 * e;
    const double lp = ic2 + a2 * ic1 + a3 * e;
    ic1 = 2 * bp - ic1;
    ic2 = 2 * lp - ic2;
    return {bp, lp};
  }
};

class Engine {
 public:
  // Takes over the parameters and the whole state of an engine whose sample
  // rate has just been set (filter-bank states and delay lines at 0).
  explicit Engine(const SynthCore& e) {
    rate = e.sampleRate;
    std::copy(e.params, e.params + P::kNumParams, params);
    TakeControllers(e);
    for (int i = 0; i < 5; ++i) voices[i] = e.voices[i];
    lfoPhase = e.lfoPhase;
    widthPhase1 = e.widthPhase1;
    widthPhase2 = e.widthPhase2;
    wobblePhase = e.wobblePhase;
    gains = e.gains;
    spanShift = e.spanShift;
    polyLevel = e.polyLevel;
    for (int i = 0; i < 5; ++i) {
      voiceOutput[i] = e.voiceOutput[i];
      declickOffset[i] = e.declickOffset[i];
    }
    ageDrift = e.ageDrift;
    ageTarget = e.ageTarget;
    ageCountdown = e.ageCountdown;
    noise = e.noiseState;
    osc1Offset = e.osc1Offset;
    osc2Offset = e.osc2Offset;
    cutoffOffset = e.cutoffOffset;
    for (int i = 0; i < 2; ++i) {
      driftPhase[i] = e.driftPhase[i];
      driftRate[i] = e.driftRate[i];
      driftValue[i] = e.driftValue[i];
    }
    outputGain = e.outputGain;
    fatAmount = e.fatAmount;
    widthAmount = e.widthAmount;
    fuzzAmount = e.fuzzAmount;
    for (int b = 0; b < 8; ++b) {
      bank[b].Design(Clamp(e.bankCenters[b], 20, 0.43 * rate), rate, 1 / 2.2);
      centres[b] = e.bankCenters[b];
    }
    bodyLowpass = 0;
    spaceLeft.assign(static_cast<size_t>(7 * rate), 0.0);
    spaceRight.assign(spaceLeft.size(), 0.0);
    widthBuffer.assign(static_cast<size_t>(0.1 * rate) + 2, 0.0);
    spaceTimes[0] = e.spaceTimes[0];
    spaceTimes[1] = e.spaceTimes[1];
  }

  // After note, controller or parameter events on the engine: the parameters,
  // controllers and the engine's voice assignment. A voice the engine reset
  // (in its reset state: never rendered since, so its level, gate and filter
  // countdown are all 0) is taken over whole; when the model's voice was
  // sounding above 1e-6, the value it added to the voice sum in the last
  // sample becomes the slot's declick offset.
  void TakeEvents(const SynthCore& e) {
    std::copy(e.params, e.params + P::kNumParams, params);
    TakeControllers(e);
    for (int i = 0; i < 5; ++i) {
      const Voice& from = e.voices[i];
      Voice& to = voices[i];
      if (from.ampLevel == 0 && !from.ampGate && from.filterCountdown == 0) {
        if (to.ampLevel > 1e-6) declickOffset[i] += voiceOutput[i];
        voiceOutput[i] = 0;
        to = from;
        continue;
      }
      to.note1 = from.note1;
      to.note2 = from.note2;
      to.active = from.active;
      to.velocity = from.velocity;
      if (from.pitch1 < 0) to.pitch1 = from.pitch1;
      if (from.pitch2 < 0) to.pitch2 = from.pitch2;
    }
  }

  double Coef(double tau) const { return 1 - std::exp(-1 / (tau * rate)); }

  void EnvelopeStep(bool gate, bool& latch, int& stage, double& level, double attack, double decay, double sustain,
                    double release) const {
    double target, time;
    if (gate && !latch) {
      stage = 1;
      latch = true;
      target = 1;
      time = attack;
    } else if (!gate && latch) {
      stage = 4;
      latch = false;
      target = 0;
      time = release;
    } else {
      latch = gate;
      switch (stage) {
        case 1: target = 1; time = attack; break;
        case 2: target = sustain; time = decay; break;
        case 3: target = sustain; time = 0.001; break;
        default: target = 0; time = release; break;
      }
    }
    level += (1 - std::exp(-1 / (std::max(time, 0.001) * rate))) * (target - level);
    if (stage == 1 && level > 0.995) stage = 2;
    if (stage == 2 && std::fabs(level - sustain) < 0.002) stage = 3;
    if (stage == 4 && level < 1e-6) {
      level = 0;
      stage = 0;
    }
  }

  double Oscillators(Voice& v, double lfo, double age, double motion) {
    // 1. Glide.
    const double g = 1 - std::exp(-1 / (rate * std::max(params[P::kGlide], 0.001)));
    if (v.pitch1 < 0) v.pitch1 = v.note1;
    if (v.pitch2 < 0) v.pitch2 = v.note2;
    v.pitch1 += g * (v.note1 - v.pitch1);
    v.pitch2 += g * (v.note2 - v.pitch2);
    // 2. Cents.
    const double lfoCents = 30 * params[P::kLfoPitch] * motion * lfo;
    const double ageCents = 5 * age * age * ageDrift;
    const double slowCents = 0.03 * driftValue[0] + 0.1 * age * driftValue[1];
    const double bodyCents = 8 * params[P::kBody];
    const double cents1 = ageCents + lfoCents - bodyCents + osc1Offset + slowCents;
    const double cents2 = (params[P::kOsc2Fine] - 0.5) * 100 + lfoCents - ageCents + bodyCents + osc2Offset - slowCents;
    // 3-4. Semitones, frequency, increments.
    const double range1 = Nearest(4 * params[P::kOsc1Range]) - 2, range2 = Nearest(4 * params[P::kOsc2Range]) - 2;
    const double semis1 = 12 * range1 + v.pitch1 - 69 + 2 * pitchBend;
    const double semis2 = 12 * range2 + v.pitch2 - 69 + 2 * pitchBend;
    const double inc1 = std::min(440 * std::pow(2.0, (semis1 + 0.01 * cents1) / 12) / rate, 0.45);
    const double inc2 = std::min(440 * std::pow(2.0, (semis2 + 0.01 * cents2) / 12) / rate, 0.45);
    // 5. Fat layers.
    const double d = (0.8 + 0.4 * params[P::kFatTune]) * (3 + 19 * fatAmount) / 1200;
    const double layerInc1 = std::min(inc1 * std::pow(2.0, -d), 0.45);
    const double layerInc2Raw = std::min(inc2 * std::pow(2.0, d), 0.45);
    // 6. Width.
    const double width = 0.15 + 0.7 * params[P::kPulseWidth];
    // 7. Shapes.
    auto shapeOf = [](double value) { return std::clamp(Nearest(6 * value), 0, 6); };
    const int shape1 = shapeOf(params[P::kOsc1Wave]), shape2 = shapeOf(params[P::kOsc2Wave]);
    if (shape1 != v.wave1) {
      v.prevWave1 = v.wave1;
      v.wave1 = shape1;
      v.fade1 = 0;
    }
    if (shape2 != v.wave2) {
      v.prevWave2 = v.wave2;
      v.wave2 = shape2;
      v.fade2 = 0;
    }
    const bool fine1 = params[P::kOsc1WaveFine] >= 0.5, fine2 = params[P::kOsc2WaveFine] >= 0.5;
    const double pulse1 = params[P::kOsc1Pulse], pulse2 = params[P::kOsc2Pulse];
    // 8. Crossfaded wave.
    auto xw = [width](double p, double q, double pulse, int cur, int prev, double fade, bool fine) {
      double w = Wave(p, q, pulse, width, cur, fine);
      if (fade < 1) {
        const double old = Wave(p, q, pulse, width, prev, fine);
        w = old + fade * (w - old);
      }
      return w;
    };
    // 9-11.
    const double w1 = xw(v.phase1, inc1, pulse1, v.wave1, v.prevWave1, v.fade1, fine1);
    const double bite = params[P::kVrelBite];
    const double bend = std::pow(2.0, Clamp(w1, -1, 1) * 0.65 * bite * bite);
    const double inc2b = std::min(inc2 * bend, 0.45);
    const double layerInc2 = std::min(layerInc2Raw * bend, 0.45);
    const double w2 = xw(v.phase2, inc2b, pulse2, v.wave2, v.prevWave2, v.fade2, fine2);
    const double w3 = xw(v.layerPhase1, layerInc1, pulse1, v.wave1, v.prevWave1, v.fade1, fine1);
    const double w4 = xw(v.layerPhase2, layerInc2, pulse2, v.wave2, v.prevWave2, v.fade2, fine2);
    // 12. Crossfades.
    v.fade1 = std::min(v.fade1 + 1 / (0.008 * rate), 1.0);
    v.fade2 = std::min(v.fade2 + 1 / (0.008 * rate), 1.0);
    // 13. Phases.
    auto advance = [](double& phase, double inc) {
      phase += inc;
      if (phase >= 1) phase -= 1;
    };
    advance(v.phase1, inc1);
    advance(v.phase2, inc2b);
    advance(v.layerPhase1, layerInc1);
    advance(v.layerPhase2, layerInc2);
    advance(v.subPhase, 0.5 * inc1);
    // 14-17.
    const double f = 0.72 * fatAmount;
    const double m1 = (w1 + f * w3) / (1 + f);
    const double m2 = (w2 + f * w4) / (1 + f);
    const double sub = std::sin(2 * kPi * v.subPhase);
    const double mix = 0.46 * (gains.osc1Level * m1 + gains.osc2Level * m2) +
                       (0.22 * params[P::kBody] + 0.18 * fatAmount) * sub;
    const double span = voiceMode == 0 ? Clamp((v.note2 - v.note1) / 24.0, 0, 1) * params[P::kSpan] : 0;
    const double r = Clamp(gains.ring + 0.28 * span, 0, 1);
    return (1 - r) * mix + r * m1 * m2;
  }

  void DesignFilters(Voice& v, double lfo, double age, double motion) const {
    const double pr = Clamp((notePressure[static_cast<size_t>(v.note1)] + notePressure[static_cast<size_t>(v.note2)]) / 2 +
                                channelPressure,
                            0, 1);
    const double o = 0.8 * pr + 0.08 * age * ageDrift + 1.5 * motion * params[P::kLfoFilter] * lfo +
                     4 * params[P::kFilterEnvAmount] * v.filterLevel + cutoffOffset + 0.0005 * driftValue[0] +
                     0.002 * age * driftValue[1];
    double fc = 40 * std::pow(350.0, params[P::kCutoff]) * std::pow(2.0, o);
    fc = fc < 35 ? 35 : std::min(fc, 0.43 * rate);
    const double g = std::tan(kPi * fc / rate);
    const double k = 1 / (8 * params[P::kResonance] * params[P::kResonance] + 0.55);
    v.lowpass.a1 = 1 / (1 + g * (g + k));
    v.lowpass.a2 = g * v.lowpass.a1;
    v.lowpass.a3 = g * v.lowpass.a2;
    const double fh = Clamp(20 * std::pow(90.0, params[P::kHighPass]), 20, 0.4 * rate);
    const double gh = std::tan(kPi * fh / rate);
    const double kh = 1 / 0.707;
    v.highpass.a1 = 1 / (1 + gh * (gh + kh));
    v.highpass.a2 = gh * v.highpass.a1;
    v.highpass.a3 = gh * v.highpass.a2;
  }

  double RenderVoice(Voice& v, double lfo, double age, double motion) {
    EnvelopeStep(v.active, v.ampGate, v.ampStage, v.ampLevel, params[P::kAttack], params[P::kAmpDecay],
                 params[P::kAmpSustain], params[P::kRelease]);
    EnvelopeStep(v.active, v.filterGate, v.filterStage, v.filterLevel, params[P::kFilterAttack],
                 params[P::kFilterDecay], params[P::kFilterSustain], params[P::kFilterRelease]);
    const double u = fuzzAmount;
    const double over = Clamp((u - 0.6) / 0.4, 0, 1);
    const double vv = over * over * (0.25 + 0.75 * params[P::kFuzzWarmth]);
    const double c4800 = 1 - std::exp(-2 * kPi * 4800 / rate);
    double y = 0;
    if (v.note1 >= 0 && v.ampLevel > 1e-6) {
      const double osc = Oscillators(v, lfo, age, motion);
      const double drive = 1 + 18 * u * u - 8 * vv;
      const double shaped = std::tanh((osc + 0.14 * u * osc * osc) * drive) / std::tanh(drive);
      v.fuzzLowpass += c4800 * (shaped - v.fuzzLowpass);
      const double warm = shaped + 0.7 * vv * (v.fuzzLowpass - shaped);
      const double p = (1 - u) * osc + u * warm;
      y = std::tanh((1 + 1.4 * params[P::kBody]) * v.ampLevel * (0.45 + 0.55 * v.velocity) * p);
    }
    const int before = v.filterCountdown--;
    if (before < 2) {
      v.filterCountdown = 16;
      DesignFilters(v, lfo, age, motion);
    }
    auto svf = [](auto& f, double x) {
      const double e = x - f.ic2;
      const double bp = f.a1 * f.ic1 + f.a2 * e;
      const double lp = f.ic2 + f.a2 * f.ic1 + f.a3 * e;
      f.ic1 = 2 * bp - f.ic1;
      f.ic2 = 2 * lp - f.ic2;
      return lp;
    };
    const double h = y - svf(v.highpass, y);
    const double lp = svf(v.lowpass, h);
    const double m = 1 + 1.8 * vv;
    const double q = lp + vv * ((std::tanh(m * lp) / m) * (1 + 0.7 * vv) - lp);
    v.outputLowpass += c4800 * (q - v.outputLowpass);
    return q + 0.6 * vv * (v.outputLowpass - q);
  }

  double Noise() {
    noise ^= noise >> 12;
    noise ^= noise << 25;
    noise ^= noise >> 27;
    return static_cast<double>((noise * 0x2545F4914F6CDD1Dull) >> 11) * std::ldexp(1.0, -53);
  }

  static double Beats(int sync) {
    static const double beats[] = {0.25, 0.5, 0.75, 1, 2};
    return beats[std::min(sync, 5) - 1];
  }

  static double Read(const std::vector<double>& buf, double pos) {
    const double n = static_cast<double>(buf.size());
    while (pos < 0) pos += n;
    while (pos >= n) pos -= n;
    const size_t i = static_cast<size_t>(pos);
    const size_t j = (i + 1) % buf.size();
    return buf[i] + (pos - static_cast<double>(i)) * (buf[j] - buf[i]);
  }

  std::pair<double, double> Tick() {
    const double s = rate;
    // 1. Smoothing.
    const double c = 1 - std::exp(-1 / (0.005 * s));
    fatAmount += c * ((params[P::kFatOn] >= 0.5 ? params[P::kFat] : 0) - fatAmount);
    widthAmount += c * ((params[P::kWidthOn] >= 0.5 ? params[P::kWidth] : 0) - widthAmount);
    fuzzAmount += c * ((params[P::kFuzzOn] >= 0.5 ? params[P::kFuzz] : 0) - fuzzAmount);
    outputGain += c * (params[P::kMasterGain] - outputGain);
    gains.ampLevel += c * (params[P::kAmpLevel] - gains.ampLevel);
    gains.osc1Level += c * (params[P::kOsc1Level] - gains.osc1Level);
    gains.osc2Level += c * (params[P::kOsc2Level] - gains.osc2Level);
    gains.ring += c * (params[P::kRing] - gains.ring);
    gains.bankMix += c * (params[P::kBankMix] - gains.bankMix);
    gains.space += c * (params[P::kSpace] - gains.space);
    for (int b = 0; b < 8; ++b) gains.bands[b] += c * (params[P::kBand250 + b] - gains.bands[b]);
    // 2.
    const double motion = Clamp(modWheel * 0.6 + params[P::kMotion], 0, 1);
    const double age = params[P::kAge];
    // 3. Age walk.
    const int before = ageCountdown--;
    if (before < 2) {
      ageCountdown = static_cast<int>(0.12 * s);
      if (ageCountdown < 2) ageCountdown = 1;
      ageTarget = 2 * Noise() - 1;
    }
    ageDrift += (ageTarget - ageDrift) / (0.22 * s);
    // 4. Drifts.
    for (int i = 0; i < 2; ++i) {
      driftPhase[i] += driftRate[i] / s;
      if (driftPhase[i] >= 1) driftPhase[i] -= 1;
      driftValue[i] = std::sin(2 * kPi * driftPhase[i]);
    }
    // 5. LFO.
    const int sync = Nearest(5 * params[P::kMotionSync]);
    const double lfoRate = sync <= 0 ? 0.08 * std::pow(100.0, params[P::kLfoRate]) : (tempo / 60) / Beats(sync);
    const double inc = lfoRate / s;
    auto advance = [](double& phase, double step) {
      phase += step;
      if (phase >= 1) phase -= 1;
    };
    advance(lfoPhase, inc);
    advance(widthPhase1, 0.64 * inc);
    advance(widthPhase2, 0.57 * inc);
    advance(wobblePhase, 0.7 * inc);
    const double lfo = std::sin(2 * kPi * lfoPhase);
    // 6. Voices, each slot's output kept for the declick.
    double sum = 0;
    int count = 0;
    if (voiceMode == 2) {
      for (int i = 1; i <= 4; ++i) {
        Voice& v = voices[i];
        if (v.note1 >= 0 && (v.active || v.ampLevel > 1e-6)) {
          voiceOutput[i] = RenderVoice(v, lfo, age, motion);
          sum += voiceOutput[i];
          ++count;
        }
      }
    } else if (voices[0].note1 >= 0) {
      voiceOutput[0] = RenderVoice(voices[0], lfo, age, motion);
      sum = voiceOutput[0];
    }
    // Declick offsets: added, then faded with 3 ms, 0 below 1e-9.
    for (double& offset : declickOffset) {
      sum += offset;
      offset *= std::exp(-1 / (0.003 * s));
      if (std::fabs(offset) < 1e-9) offset = 0;
    }
    // Poly level: towards count^0.25 (Poly, two or more voices) or 1 with 5 ms,
    // set to the target within 1e-12; the sum is divided by it.
    const double target = voiceMode == 2 && count >= 2 ? std::pow(count, 0.25) : 1.0;
    polyLevel += c * (target - polyLevel);
    if (std::fabs(target - polyLevel) < 1e-12) polyLevel = target;
    sum /= polyLevel;
    return Chain(sum, age);
  }

  std::pair<double, double> Chain(double sum, double age) {
    const double s = rate;
    // 1-3.
    const double dry = sum * gains.ampLevel / 0.7;
    double shift = 0;
    if (voiceMode == 0 && voices[0].active)
      shift = Clamp((voices[0].note2 - voices[0].note1) / 24.0, 0, 1) * params[P::kSpan] * 0.85;
    spanShift += (1 - std::exp(-1 / (0.005 * s))) * (shift - spanShift);
    const double focus = 260 * std::pow(9.0, params[P::kColor]) * std::pow(2.0, spanShift);
    double bankSum = 0;
    for (int b = 0; b < 8; ++b) {
      const double distance = std::log2(centres[b] / focus);
      const double weight = 0.35 + 0.65 * std::exp(-distance * distance / 1.7);
      bankSum += bank[b].Run(dry).first * gains.bands[b] * weight;
    }
    // 4-5.
    bodyLowpass += (1 - std::exp(-2 * kPi * 170 / s)) * (dry - bodyLowpass);
    const double boost = std::pow(10.0, 0.3 * params[P::kBody]) - 1;
    const double mix = gains.bankMix;
    const double mono = std::tanh((dry + boost * bodyLowpass) * (1 - mix) + 0.65 * mix * bankSum);
    // 6-7. Width.
    const double K = 0.65 + 0.7 * params[P::kWidthMotion];
    const double ww = static_cast<double>(widthWrite);
    const double tap1 = Read(widthBuffer, ww - (0.007 + 0.0025 * K * std::sin(2 * kPi * widthPhase1)) * s);
    const double tap2 = Read(widthBuffer, ww - (0.011 - 0.0028 * K * std::sin(2 * kPi * widthPhase2)) * s);
    widthBuffer[widthWrite] = mono;
    widthWrite = (widthWrite + 1) % widthBuffer.size();
    const double w = widthAmount;
    const double left = (1 - 0.3 * w) * mono + 0.3 * w * tap1;
    const double right = (1 - 0.3 * w) * mono + 0.3 * w * tap2;
    // 8. Echo times.
    const int sync = Nearest(5 * params[P::kSpaceSync]);
    double tl = 0.29, tr = 0.43;
    if (sync > 0) {
      tl = Beats(sync) * 60 / tempo;
      tr = 1.5 * tl;
    }
    const double ce = 1 - std::exp(-1 / (0.04 * s));
    spaceTimes[0] += ce * (tl - spaceTimes[0]);
    spaceTimes[1] += ce * (tr - spaceTimes[1]);
    // 9-10. Echo.
    const double wobble = 0.004 * age * s * std::sin(2 * kPi * wobblePhase);
    const double sw = static_cast<double>(spaceWrite);
    const double echoLeft = Read(spaceLeft, sw - (spaceTimes[0] * s + wobble));
    const double echoRight = Read(spaceRight, sw - (spaceTimes[1] * s - wobble));
    spaceLeft[spaceWrite] = left + 0.3 * echoRight;
    spaceRight[spaceWrite] = right + 0.3 * echoLeft;
    spaceWrite = (spaceWrite + 1) % spaceLeft.size();
    // 11-12.
    const double hiss = (2 * Noise() - 1) * age * age * 0.0006;
    const double drive = 2.8 / (1 + 1.3 * fuzzAmount);
    const double space = gains.space;
    const double outL = std::tanh(drive * (left + 0.34 * space * echoLeft + hiss) / 0.98) * 0.98 * outputGain;
    const double outR = std::tanh(drive * (right + 0.34 * space * echoRight + hiss) / 0.98) * 0.98 * outputGain;
    return {outL, outR};
  }

  double rate = 48000;
  double params[P::kNumParams] = {};
  int voiceMode = 0;
  double pitchBend = 0, modWheel = 0, channelPressure = 0, tempo = 120;
  std::array<double, 128> notePressure{};
  Voice voices[5];
  double lfoPhase = 0, ageDrift = 0, ageTarget = 0;
  double widthPhase1 = 0, widthPhase2 = 0, wobblePhase = 0;
  SynthCore::Gains gains{};
  double spanShift = 0, polyLevel = 1;
  double voiceOutput[5] = {}, declickOffset[5] = {};
  int ageCountdown = 0;
  uint64_t noise = 1;
  double osc1Offset = 0, osc2Offset = 0, cutoffOffset = 0;
  double driftPhase[2] = {}, driftRate[2] = {}, driftValue[2] = {};
  double outputGain = 1, fatAmount = 0, widthAmount = 0, fuzzAmount = 0;
  Filter bank[8];
  double centres[8] = {};
  double bodyLowpass = 0;
  std::vector<double> spaceLeft, spaceRight, widthBuffer;
  size_t spaceWrite = 0, widthWrite = 0;
  double spaceTimes[2] = {0.29, 0.43};

 private:
  void TakeControllers(const SynthCore& e) {
    voiceMode = e.voiceMode;
    pitchBend = e.pitchBend;
    modWheel = e.modWheel;
    channelPressure = e.channelPressure;
    tempo = e.tempo;
    notePressure = e.notePressure;
  }
};

}  // namespace vbtest::ref
