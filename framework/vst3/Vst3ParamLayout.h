// The parameters the VST 3 binding publishes, by id:
//   0 .. NParams()-1   the plug-in's parameters (the id is the index);
//   NParams()          "Bypass" (the host's bypass switch: the output is silent
//                      while it is on; saved as the state's bypass word);
//   NParams()+1 ...    hidden, not automatable MIDI-mapping parameters for
//                      controllers 1, 64, 120 and 123, channel pressure and
//                      pitch bend on every channel (IMidiMapping); each point of
//                      a change queue becomes that MIDI message again, at its
//                      sample offset.
// Every method of the binding that takes an id asks this layout for the entry,
// and the entry answers for its kind.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "../plug/IPlugBase.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/ivstunits.h"

namespace fw::vst3 {

// One published parameter.
class PublishedParam {
public:
  virtual ~PublishedParam() = default;

  // ---- Main thread ----
  // Everything but the id, which the layout fills in.
  virtual void GetInfo(Steinberg::Vst::ParameterInfo& info) const = 0;
  // Display text of a normalised value in [0, 1].
  virtual std::string ToString(double normalized) const = 0;
  // False when the text is not a value of this parameter.
  virtual bool FromString(const std::string& text, double& normalized) const = 0;
  virtual double ToPlain(double normalized) const = 0;
  virtual double ToNormalized(double plain) const = 0;
  virtual double GetNormalized() const = 0;
  // The host's own change outside the process call (its editor, an
  // automation display); normalized is finite and in [0, 1].
  virtual void SetFromHost(double normalized) = 0;

  // ---- Audio thread ----
  // True: every point of a change queue is applied at its offset among the
  // controllers. False: only the last point, at the block's start.
  virtual bool TakesEveryPoint() const { return false; }
  virtual void ApplyFromHost(IPlugBase& plug, int offset, double normalized) = 0;
};

// The bypass switch; the binding reads it when rendering and saving.
class BypassParam final : public PublishedParam {
public:
  void GetInfo(Steinberg::Vst::ParameterInfo& info) const override;
  std::string ToString(double normalized) const override;
  bool FromString(const std::string& text, double& normalized) const override;
  double ToPlain(double normalized) const override;
  double ToNormalized(double plain) const override;
  double GetNormalized() const override { return IsOn() ? 1.0 : 0.0; }
  void SetFromHost(double normalized) override { Set(normalized >= 0.5); }
  void ApplyFromHost(IPlugBase&, int, double normalized) override { Set(normalized >= 0.5); }

  // Any thread.
  bool IsOn() const { return mOn.load(std::memory_order_relaxed); }
  void Set(bool on) { mOn.store(on, std::memory_order_relaxed); }

private:
  std::atomic<bool> mOn{false};
};

class ParamLayout {
public:
  // MIDI messages a host maps onto hidden parameters, in id order.
  static constexpr std::array<Steinberg::Vst::CtrlNumber, 6> kMappedControllers = {
      Steinberg::Vst::kCtrlModWheel,    Steinberg::Vst::kCtrlSustainOnOff, Steinberg::Vst::kCtrlAllSoundsOff,
      Steinberg::Vst::kCtrlAllNotesOff, Steinberg::Vst::kAfterTouch,       Steinberg::Vst::kPitchBend};

  // Publishes every parameter of plug, which outlives the layout. Each distinct
  // non-empty parameter group becomes a unit, numbered from 1 in order of first use.
  explicit ParamLayout(IPlugBase& plug);

  Steinberg::int32 Count() const { return static_cast<Steinberg::int32>(mParams.size()); }
  // The entry of id, or null for an id that is not published.
  PublishedParam* Find(Steinberg::Vst::ParamID id) const {
    return id < mParams.size() ? mParams[id].get() : nullptr;
  }
  // The info of id, with the id filled in; false for an unknown id.
  bool GetInfo(Steinberg::Vst::ParamID id, Steinberg::Vst::ParameterInfo& info) const;

  Steinberg::Vst::ParamID BypassId() const { return mBypassId; }
  BypassParam& Bypass() const { return *mBypass; }
  // The hidden parameter a controller (kMappedControllers) is mapped onto.
  bool MidiMappingId(Steinberg::Vst::CtrlNumber controller, Steinberg::Vst::ParamID& id) const;

  // Names of units 1 .. n (unit 0 is the root).
  const std::vector<std::string>& UnitNames() const { return mUnitNames; }

private:
  std::vector<std::unique_ptr<PublishedParam>> mParams;  // index = id
  std::vector<std::string> mUnitNames;
  Steinberg::Vst::ParamID mBypassId = 0;
  BypassParam* mBypass = nullptr;
};

}  // namespace fw::vst3
