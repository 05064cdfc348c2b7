// The parameter table: the one place each of the instrument's 59 parameters is
// described (name, group, kind, default, range, step, unit label, curve, and how
// its plain value becomes the engine's value). The plug-in declares its
// parameters from it, the engine takes its initial values from it, and patch
// ranges and tooltips read it.
#pragma once

#include <array>
#include <cmath>

namespace vrelbazzit {

enum EParams {
  kAmpLevel = 0, kBody, kColor, kCutoff, kMotion, kAge, kSpace, kRing,
  kAttack, kRelease,
  kOsc1Level, kOsc1Pulse, kOsc1Range, kOsc2Level, kOsc2Pulse, kOsc2Range, kOsc2Fine, kPulseWidth,
  kResonance, kHighPass, kFilterEnvAmount,
  kAmpDecay, kAmpSustain,
  kFilterAttack, kFilterDecay, kFilterSustain, kFilterRelease,
  kLfoRate, kLfoPitch, kLfoFilter,
  kGlide,
  kBankMix, kBand250, kBand350, kBand500, kBand700, kBand1k, kBand1k4, kBand2k, kBand2k8,
  kVoiceMode,
  kFat, kWidth, kFuzz, kSpan,
  kFatOn, kWidthOn, kFuzzOn,
  kFatTune, kFuzzWarmth, kWidthMotion,
  kOsc1Wave, kOsc2Wave, kOsc1WaveFine, kOsc2WaveFine,
  kMotionSync, kSpaceSync,
  kMasterGain, kVrelBite,
  kNumParams
};

enum class ParamKind { Double, Int, Bool, Enum };

// How a plain value becomes an engine value, and the engine's clamp for it.
enum class EngineUnit {
  Percent,    // v x 0.01, 0..1
  Gain,       // v x 0.01, 0..2 ("Master Gain")
  Time,       // milliseconds x 0.001 = seconds, 0.001..4
  Octaves,    // (v + 2) x 0.25, 0..1
  Cents,      // (v + 50) x 0.01, 0..1
  VoiceMode,  // v x 0.5, 0..1
  Wave,       // v / 6, 0..1
  Sync,       // v / 5, 0..1
  Switch,     // v, 0..1
};

struct TextList {
  const char* const* items = nullptr;
  int count = 0;
};

struct ParamSpec {
  const char* name;
  const char* group;  // "" = top level
  ParamKind kind;
  double defaultValue, minValue, maxValue, step;
  const char* label;
  bool powCurve;  // normalised n maps to min + n^3 (max - min)
  EngineUnit unit;
  TextList texts;  // display texts of enum and bool parameters, value 0 first
};

inline constexpr const char* kVoiceModeTexts[] = {"Split", "Mono", "Poly"};
inline constexpr const char* kWaveTexts[] = {"Blend", "Saw", "Pulse", "Triangle", "Sine", "Fold", "Hollow"};
inline constexpr const char* kSyncTexts[] = {"Free", "1/16", "1/8", "Dotted 1/8", "1/4", "1/2"};
inline constexpr const char* kSwitchTexts[] = {"off", "on"};

inline constexpr double kPowCurveExponent = 3.0;

namespace detail {
using K = ParamKind;
using U = EngineUnit;
constexpr TextList kNoTexts{};
constexpr TextList kModes{kVoiceModeTexts, 3};
constexpr TextList kWaves{kWaveTexts, 7};
constexpr TextList kSyncs{kSyncTexts, 6};
constexpr TextList kOnOff{kSwitchTexts, 2};

constexpr ParamSpec Pct(const char* name, const char* group, double def) {
  return {name, group, K::Double, def, 0, 100, 0.1, "%", false, U::Percent, kNoTexts};
}
constexpr ParamSpec Ms(const char* name, const char* group, double def, double min, double max) {
  return {name, group, K::Double, def, min, max, 1, "ms", true, U::Time, kNoTexts};
}
constexpr ParamSpec Oct(const char* name) {
  return {name, "Oscillators", K::Int, 0, -2, 2, 1, " oct", false, U::Octaves, kNoTexts};
}
constexpr ParamSpec Enum(const char* name, double def, TextList texts, U unit) {
  return {name, "", K::Enum, def, 0, double(texts.count - 1), 1, "", false, unit, texts};
}
constexpr ParamSpec Switch(const char* name, double def) {
  return {name, "", K::Bool, def, 0, 1, 1, "", false, U::Switch, kOnOff};
}
}  // namespace detail

// In index order; the index is also the parameter's id towards the host.
inline constexpr std::array<ParamSpec, kNumParams> kParamSpecs = {{
    detail::Pct("Amp Level", "Amp Envelope", 70),
    detail::Pct("Body", "", 55),
    detail::Pct("Color", "", 55),
    detail::Pct("Cutoff", "", 70),
    detail::Pct("Motion", "", 12),
    detail::Pct("Age", "", 12),
    detail::Pct("Space", "", 12),
    detail::Pct("Ring", "", 0),
    detail::Ms("Attack", "Envelope", 12, 1, 2000),
    detail::Ms("Release", "Envelope", 280, 10, 4000),
    detail::Pct("Osc 1 Level", "Oscillators", 80),
    detail::Pct("Osc 1 Pulse", "Oscillators", 40),
    detail::Oct("Osc 1 Range"),
    detail::Pct("Osc 2 Level", "Oscillators", 80),
    detail::Pct("Osc 2 Pulse", "Oscillators", 40),
    detail::Oct("Osc 2 Range"),
    {"Osc 2 Fine", "Oscillators", detail::K::Double, 0, -50, 50, 0.1, " cents", false,
     detail::U::Cents, detail::kNoTexts},
    detail::Pct("Pulse Width", "Oscillators", 50),
    detail::Pct("Resonance", "Filter", 15),
    detail::Pct("High Pass", "Filter", 0),
    detail::Pct("Filter Env Amount", "Filter", 25),
    detail::Ms("Amp Decay", "Amp Envelope", 180, 1, 4000),
    detail::Pct("Amp Sustain", "Amp Envelope", 72),
    detail::Ms("Filter Attack", "Filter Envelope", 10, 1, 4000),
    detail::Ms("Filter Decay", "Filter Envelope", 280, 1, 4000),
    detail::Pct("Filter Sustain", "Filter Envelope", 25),
    detail::Ms("Filter Release", "Filter Envelope", 380, 1, 4000),
    detail::Pct("LFO Rate", "LFO", 33),
    detail::Pct("LFO Pitch", "LFO", 50),
    detail::Pct("LFO Filter", "LFO", 45),
    detail::Ms("Glide", "Oscillators", 1, 1, 4000),
    detail::Pct("Bank Mix", "Filter Bank", 25),
    detail::Pct("250 Hz", "Filter Bank", 75),
    detail::Pct("350 Hz", "Filter Bank", 75),
    detail::Pct("500 Hz", "Filter Bank", 75),
    detail::Pct("700 Hz", "Filter Bank", 75),
    detail::Pct("1 kHz", "Filter Bank", 75),
    detail::Pct("1.4 kHz", "Filter Bank", 75),
    detail::Pct("2 kHz", "Filter Bank", 75),
    detail::Pct("2.8 kHz", "Filter Bank", 75),
    detail::Enum("Voice Mode", 0, detail::kModes, detail::U::VoiceMode),
    detail::Pct("Fat", "Character", 12),
    detail::Pct("Width", "Character", 12),
    detail::Pct("Fuzz", "Character", 0),
    detail::Pct("Span", "Character", 35),
    detail::Switch("Fat On", 1),
    detail::Switch("Width On", 1),
    detail::Switch("Fuzz On", 1),
    detail::Pct("Fat Tune", "Open Circuit", 50),
    detail::Pct("Fuzz Warmth", "Open Circuit", 50),
    detail::Pct("Width Motion", "Open Circuit", 50),
    detail::Enum("Osc 1 Wave", 0, detail::kWaves, detail::U::Wave),
    detail::Enum("Osc 2 Wave", 0, detail::kWaves, detail::U::Wave),
    detail::Switch("Osc 1 Wave Fine", 0),
    detail::Switch("Osc 2 Wave Fine", 0),
    detail::Enum("Motion Sync", 0, detail::kSyncs, detail::U::Sync),
    detail::Enum("Space Sync", 0, detail::kSyncs, detail::U::Sync),
    {"Master Gain", "Output", detail::K::Double, 100, 0, 200, 0.1, "%", false, detail::U::Gain,
     detail::kNoTexts},
    detail::Pct("Vrel Bite", "Open Circuit", 0),
}};

// The engine value of a plain parameter value (before the engine's clamp).
constexpr double ToEngineValue(EngineUnit unit, double v) {
  switch (unit) {
    case EngineUnit::Percent:
    case EngineUnit::Gain: return v * 0.01;
    case EngineUnit::Time: return v * 0.001;
    case EngineUnit::Octaves: return (v + 2.0) * 0.25;
    case EngineUnit::Cents: return (v + 50.0) * 0.01;
    case EngineUnit::VoiceMode: return v * 0.5;
    case EngineUnit::Wave: return v / 6.0;
    case EngineUnit::Sync: return v / 5.0;
    case EngineUnit::Switch: return v;
  }
  return v;
}

inline constexpr double ToEngineValue(int paramIdx, double plain) {
  return ToEngineValue(kParamSpecs[static_cast<size_t>(paramIdx)].unit, plain);
}

// The engine's clamp range for each unit.
constexpr double EngineMin(EngineUnit unit) { return unit == EngineUnit::Time ? 0.001 : 0.0; }
constexpr double EngineMax(EngineUnit unit) {
  return unit == EngineUnit::Time ? 4.0 : unit == EngineUnit::Gain ? 2.0 : 1.0;
}

}  // namespace vrelbazzit
