#include "Vst3ParamLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "Vst3Strings.h"

namespace fw::vst3 {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// A normalised value as a whole number 0..steps (NaN gives 0).
int ToSteps(double normalized, int steps) {
  if (!(normalized > 0.0)) return 0;
  if (normalized >= 1.0) return steps;
  return static_cast<int>(RoundHalfAway(normalized * steps));
}

void SetTitle(ParameterInfo& info, const std::string& title) {
  Utf8ToUtf16(title, info.title);
  Utf8ToUtf16(title, info.shortTitle);
}

// A parameter of the plug-in, published under its index.
class PlugParam final : public PublishedParam {
public:
  PlugParam(IPlugBase& plug, int index, UnitID unit) : mPlug(plug), mIndex(index), mUnit(unit) {}

  void GetInfo(ParameterInfo& info) const override {
    const IParam& p = Param();
    SetTitle(info, p.GetName());
    Utf8ToUtf16(p.GetLabel(), info.units);
    info.stepCount = p.GetStepCount();
    info.defaultNormalizedValue = p.GetDefault(true);
    info.unitId = mUnit;
    info.flags = ParameterInfo::kCanAutomate | (p.Type() == IParam::kTypeEnum ? ParameterInfo::kIsList : 0);
  }
  // The unit is published separately (ParameterInfo::units).
  std::string ToString(double normalized) const override {
    return Param().GetDisplay(Param().FromNormalized(normalized), false);
  }
  bool FromString(const std::string& text, double& normalized) const override {
    double plain = 0.0;
    if (!Param().StringToValue(text, plain)) return false;
    normalized = Param().ToNormalized(plain);
    return true;
  }
  double ToPlain(double normalized) const override { return Param().FromNormalized(normalized); }
  double ToNormalized(double plain) const override { return Param().ToNormalized(plain); }
  double GetNormalized() const override { return Param().GetNormalized(); }
  void SetFromHost(double normalized) override {
    // The value is set, the engine follows (on the audio thread while
    // processing), and the editor shows it.
    mPlug.GetParam(mIndex)->SetNormalized(normalized);
    mPlug.NotifyParamChange(mIndex);
    mPlug.OnParamChangeUI(mIndex, kHost);
    mPlug.SendParameterValueFromDelegate(mIndex, Param().GetNormalized(), true);
  }
  void ApplyFromHost(IPlugBase& plug, int, double normalized) override {
    plug.ApplyHostParamNormalized(mIndex, normalized);
  }

private:
  const IParam& Param() const { return *mPlug.GetParam(mIndex); }

  IPlugBase& mPlug;
  int mIndex;
  UnitID mUnit;
};

// A hidden parameter standing for one MIDI controller message (channel 1).
class MidiMappingParam final : public PublishedParam {
public:
  MidiMappingParam(CtrlNumber controller, const char* title, int32 steps, double defaultNormalized)
      : mController(controller), mTitle(title), mSteps(steps), mDefault(defaultNormalized), mValue(defaultNormalized) {}

  void GetInfo(ParameterInfo& info) const override {
    SetTitle(info, mTitle);
    info.stepCount = mSteps;
    info.defaultNormalizedValue = mDefault;
    info.unitId = kRootUnitId;
    info.flags = ParameterInfo::kIsHidden;
  }
  std::string ToString(double normalized) const override { return std::to_string(ToSteps(normalized, mSteps)); }
  bool FromString(const std::string& text, double& normalized) const override {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < 0 || v > mSteps) return false;
    normalized = static_cast<double>(v) / mSteps;
    return true;
  }
  double ToPlain(double normalized) const override { return ToSteps(normalized, mSteps); }
  double ToNormalized(double plain) const override {
    if (std::isnan(plain)) return 0.0;
    return std::clamp(plain / mSteps, 0.0, 1.0);
  }
  double GetNormalized() const override { return mValue.load(); }
  // Shown value only; the message itself arrives with the process call.
  void SetFromHost(double normalized) override { mValue.store(normalized); }

  bool TakesEveryPoint() const override { return true; }
  void ApplyFromHost(IPlugBase& plug, int offset, double normalized) override {
    mValue.store(normalized);
    plug.ApplyHostMidi(Message(normalized, offset));
  }

private:
  IMidiMsg Message(double normalized, int offset) const {
    switch (mController) {
      case kAfterTouch: return IMidiMsg::ChannelPressure(0, ToSteps(normalized, 127), offset);
      case kPitchBend: return IMidiMsg::PitchBend(0, ToSteps(normalized, 16383), offset);
      default: return IMidiMsg::ControlChange(0, mController, ToSteps(normalized, 127), offset);
    }
  }

  CtrlNumber mController;
  const char* mTitle;
  int32 mSteps;
  double mDefault;
  std::atomic<double> mValue;
};

struct MappedInfo {
  const char* title;
  int32 stepCount;
  double defaultNormalized;
};

// Titles, steps and defaults of the MIDI-mapping parameters, in the order of
// kMappedControllers. Pitch bend rests at the centre.
constexpr std::array<MappedInfo, ParamLayout::kMappedControllers.size()> kMappedInfo = {{
    {"MIDI CC 1 Modulation", 127, 0.0},
    {"MIDI CC 64 Sustain", 127, 0.0},
    {"MIDI CC 120 All Sound Off", 127, 0.0},
    {"MIDI CC 123 All Notes Off", 127, 0.0},
    {"MIDI Channel Pressure", 127, 0.0},
    {"MIDI Pitch Bend", 16383, 0.5},
}};

}  // namespace

// ---- Bypass --------------------------------------------------------------------------

void BypassParam::GetInfo(ParameterInfo& info) const {
  SetTitle(info, "Bypass");
  info.stepCount = 1;
  info.defaultNormalizedValue = 0.0;
  info.unitId = kRootUnitId;
  info.flags = ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass;
}

std::string BypassParam::ToString(double normalized) const { return normalized >= 0.5 ? "on" : "off"; }

bool BypassParam::FromString(const std::string& text, double& normalized) const {
  if (text != "on" && text != "off") return false;
  normalized = text == "on" ? 1.0 : 0.0;
  return true;
}

double BypassParam::ToPlain(double normalized) const { return normalized >= 0.5 ? 1.0 : 0.0; }

double BypassParam::ToNormalized(double plain) const { return plain >= 0.5 ? 1.0 : 0.0; }

// ---- Layout ----------------------------------------------------------------------------

ParamLayout::ParamLayout(IPlugBase& plug) {
  const int n = plug.NParams();
  mParams.reserve(static_cast<size_t>(n) + 1 + kMappedControllers.size());
  for (int i = 0; i < n; ++i) {
    UnitID unit = kRootUnitId;
    const std::string group = plug.GetParam(i)->GetGroup();
    if (!group.empty()) {
      auto it = std::find(mUnitNames.begin(), mUnitNames.end(), group);
      if (it == mUnitNames.end()) it = mUnitNames.insert(mUnitNames.end(), group);
      unit = static_cast<UnitID>(it - mUnitNames.begin()) + 1;
    }
    mParams.push_back(std::make_unique<PlugParam>(plug, i, unit));
  }
  mBypassId = static_cast<ParamID>(n);
  auto bypass = std::make_unique<BypassParam>();
  mBypass = bypass.get();
  mParams.push_back(std::move(bypass));
  for (size_t k = 0; k < kMappedControllers.size(); ++k) {
    const MappedInfo& m = kMappedInfo[k];
    mParams.push_back(
        std::make_unique<MidiMappingParam>(kMappedControllers[k], m.title, m.stepCount, m.defaultNormalized));
  }
}

bool ParamLayout::GetInfo(ParamID id, ParameterInfo& info) const {
  const PublishedParam* p = Find(id);
  if (!p) return false;
  info = ParameterInfo();
  info.id = id;
  p->GetInfo(info);
  return true;
}

bool ParamLayout::MidiMappingId(CtrlNumber controller, ParamID& id) const {
  for (size_t k = 0; k < kMappedControllers.size(); ++k) {
    if (kMappedControllers[k] == controller) {
      id = mBypassId + 1 + static_cast<ParamID>(k);
      return true;
    }
  }
  return false;
}

}  // namespace fw::vst3
