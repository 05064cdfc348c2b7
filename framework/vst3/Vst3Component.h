// The VST 3 binding of one plug-in instance: a single component that is at
// once the audio processor and the edit controller of the IPlugBase it owns.
//
// Buses: no audio input, one main audio output with the plug-in's channels, one
// event input (16 channels). 32-bit and 64-bit processing.
//
// Parameters towards the host: see ParamLayout (the plug-in's parameters,
// "Bypass", the hidden MIDI-mapping parameters).
//
// Threads: process runs on the audio thread; every other call comes from the
// host's main thread (hosts may call getParamNormalized and the string and
// normalisation conversions from other threads too: they only read). The state
// calls (getState, setState) run on the main thread.
//
// One process call is IPlugBase::Process over this call's data: the host's
// context, then the last point of each plug-in parameter's queue (and of the
// bypass) at the block's start, then every point of the MIDI-mapping queues as
// a MIDI message at its sample offset, then the note on, note off and
// polyphonic pressure events of the event list at their offsets, then the
// rendering of the whole block.
//
// State: IComponent::getState writes SerializeState's chunk and the 32-bit
// bypass word; setState reads the stream to its end in 128-byte blocks, runs
// UnserializeState(chunk, 0), reads the bypass word at the returned position,
// then calls OnRestoreState. The edit controller has no state of its own.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "../plug/IPlugBase.h"
#include "Vst3IdleTimer.h"
#include "Vst3ParamLayout.h"
#include "Vst3View.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "pluginterfaces/vst/ivstunits.h"

namespace fw::vst3 {

// The SDK's interfaces have no virtual destructors by design: objects are
// destroyed by their own release(), never deleted through an interface.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// IComponent and IEditController share the names getState and setState with
// different meanings; these two bases give each its own function.
class ComponentStateCalls : public Steinberg::Vst::IComponent {
public:
  Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) final { return SetComponentState(state); }
  Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) final { return GetComponentState(state); }

protected:
  ~ComponentStateCalls() = default;
  virtual Steinberg::tresult SetComponentState(Steinberg::IBStream* state) = 0;
  virtual Steinberg::tresult GetComponentState(Steinberg::IBStream* state) = 0;
};

class ControllerStateCalls : public Steinberg::Vst::IEditController {
public:
  Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) final { return SetControllerState(state); }
  Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) final { return GetControllerState(state); }

protected:
  ~ControllerStateCalls() = default;
  virtual Steinberg::tresult SetControllerState(Steinberg::IBStream* state) = 0;
  virtual Steinberg::tresult GetControllerState(Steinberg::IBStream* state) = 0;
};

class SingleComponent final : public ComponentStateCalls,
                              public Steinberg::Vst::IAudioProcessor,
                              public ControllerStateCalls,
                              public Steinberg::Vst::IMidiMapping,
                              public Steinberg::Vst::IUnitInfo,
                              public Steinberg::Vst::IProcessContextRequirements,
                              private IHostSink {
public:
  // Frames rendered at a time for 32-bit output (through a double buffer).
  static constexpr int kScratchFrames = 256;
  // Largest state stream read; the state proper is far smaller.
  static constexpr int kMaxStateBytes = 1 << 20;
  // Sample rates accepted by setupProcessing.
  static constexpr double kMinSampleRate = 1000.0;
  static constexpr double kMaxSampleRate = 768000.0;

  // Takes the plug-in; viewFactory makes what the editor view shows (none:
  // no editor). The object starts with one reference.
  explicit SingleComponent(std::unique_ptr<IPlugBase> plug, ViewContentFactory viewFactory = {});
  SingleComponent(const SingleComponent&) = delete;
  SingleComponent& operator=(const SingleComponent&) = delete;

  Steinberg::Vst::ParamID BypassParamId() const { return mLayout.BypassId(); }

  // ---- FUnknown --------------------------------------------------------------
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override;
  Steinberg::uint32 PLUGIN_API release() override;

  // ---- IPluginBase (main thread) ----------------------------------------------
  Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
  Steinberg::tresult PLUGIN_API terminate() override;

  // ---- IComponent (main thread) -----------------------------------------------
  Steinberg::tresult PLUGIN_API getControllerClassId(Steinberg::TUID classId) override;
  Steinberg::tresult PLUGIN_API setIoMode(Steinberg::Vst::IoMode mode) override;
  Steinberg::int32 PLUGIN_API getBusCount(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir) override;
  Steinberg::tresult PLUGIN_API getBusInfo(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir,
                                           Steinberg::int32 index, Steinberg::Vst::BusInfo& bus) override;
  Steinberg::tresult PLUGIN_API getRoutingInfo(Steinberg::Vst::RoutingInfo& inInfo,
                                               Steinberg::Vst::RoutingInfo& outInfo) override;
  Steinberg::tresult PLUGIN_API activateBus(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir,
                                            Steinberg::int32 index, Steinberg::TBool state) override;
  Steinberg::tresult PLUGIN_API setActive(Steinberg::TBool state) override;

  // ---- IAudioProcessor (main thread, but process) ------------------------------
  Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs, Steinberg::int32 numIns,
                                                   Steinberg::Vst::SpeakerArrangement* outputs,
                                                   Steinberg::int32 numOuts) override;
  Steinberg::tresult PLUGIN_API getBusArrangement(Steinberg::Vst::BusDirection dir, Steinberg::int32 index,
                                                  Steinberg::Vst::SpeakerArrangement& arr) override;
  Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) override;
  Steinberg::uint32 PLUGIN_API getLatencySamples() override;
  Steinberg::tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
  Steinberg::tresult PLUGIN_API setProcessing(Steinberg::TBool state) override;
  // Audio thread.
  Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override;
  // Main thread: the plug-in's current tail (IPlugBase::GetTailSize).
  Steinberg::uint32 PLUGIN_API getTailSamples() override;

  // ---- IEditController (main thread) ----------------------------------------------
  Steinberg::tresult PLUGIN_API setComponentState(Steinberg::IBStream* state) override;
  Steinberg::int32 PLUGIN_API getParameterCount() override;
  Steinberg::tresult PLUGIN_API getParameterInfo(Steinberg::int32 paramIndex,
                                                 Steinberg::Vst::ParameterInfo& info) override;
  Steinberg::tresult PLUGIN_API getParamStringByValue(Steinberg::Vst::ParamID id,
                                                      Steinberg::Vst::ParamValue valueNormalized,
                                                      Steinberg::Vst::String128 string) override;
  Steinberg::tresult PLUGIN_API getParamValueByString(Steinberg::Vst::ParamID id, Steinberg::Vst::TChar* string,
                                                      Steinberg::Vst::ParamValue& valueNormalized) override;
  Steinberg::Vst::ParamValue PLUGIN_API normalizedParamToPlain(Steinberg::Vst::ParamID id,
                                                               Steinberg::Vst::ParamValue valueNormalized) override;
  Steinberg::Vst::ParamValue PLUGIN_API plainParamToNormalized(Steinberg::Vst::ParamID id,
                                                               Steinberg::Vst::ParamValue plainValue) override;
  Steinberg::Vst::ParamValue PLUGIN_API getParamNormalized(Steinberg::Vst::ParamID id) override;
  Steinberg::tresult PLUGIN_API setParamNormalized(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value) override;
  Steinberg::tresult PLUGIN_API setComponentHandler(Steinberg::Vst::IComponentHandler* handler) override;
  Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;

  // ---- IMidiMapping -------------------------------------------------------------
  Steinberg::tresult PLUGIN_API getMidiControllerAssignment(Steinberg::int32 busIndex, Steinberg::int16 channel,
                                                            Steinberg::Vst::CtrlNumber midiControllerNumber,
                                                            Steinberg::Vst::ParamID& id) override;

  // ---- IUnitInfo -------------------------------------------------------------------
  Steinberg::int32 PLUGIN_API getUnitCount() override;
  Steinberg::tresult PLUGIN_API getUnitInfo(Steinberg::int32 unitIndex, Steinberg::Vst::UnitInfo& info) override;
  Steinberg::int32 PLUGIN_API getProgramListCount() override;
  Steinberg::tresult PLUGIN_API getProgramListInfo(Steinberg::int32 listIndex,
                                                   Steinberg::Vst::ProgramListInfo& info) override;
  Steinberg::tresult PLUGIN_API getProgramName(Steinberg::Vst::ProgramListID listId, Steinberg::int32 programIndex,
                                               Steinberg::Vst::String128 name) override;
  Steinberg::tresult PLUGIN_API getProgramInfo(Steinberg::Vst::ProgramListID listId, Steinberg::int32 programIndex,
                                               Steinberg::Vst::CString attributeId,
                                               Steinberg::Vst::String128 attributeValue) override;
  Steinberg::tresult PLUGIN_API hasProgramPitchNames(Steinberg::Vst::ProgramListID listId,
                                                     Steinberg::int32 programIndex) override;
  Steinberg::tresult PLUGIN_API getProgramPitchName(Steinberg::Vst::ProgramListID listId, Steinberg::int32 programIndex,
                                                    Steinberg::int16 midiPitch, Steinberg::Vst::String128 name) override;
  Steinberg::Vst::UnitID PLUGIN_API getSelectedUnit() override;
  Steinberg::tresult PLUGIN_API selectUnit(Steinberg::Vst::UnitID unitId) override;
  Steinberg::tresult PLUGIN_API getUnitByBus(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir,
                                             Steinberg::int32 busIndex, Steinberg::int32 channel,
                                             Steinberg::Vst::UnitID& unitId) override;
  Steinberg::tresult PLUGIN_API setUnitProgramData(Steinberg::int32 listOrUnitId, Steinberg::int32 programIndex,
                                                   Steinberg::IBStream* data) override;

  // ---- IProcessContextRequirements ------------------------------------------------
  Steinberg::uint32 PLUGIN_API getProcessContextRequirements() override;

private:
  ~SingleComponent() override;

  // ---- Component and controller state ----
  Steinberg::tresult SetComponentState(Steinberg::IBStream* state) override;
  Steinberg::tresult GetComponentState(Steinberg::IBStream* state) override;
  Steinberg::tresult SetControllerState(Steinberg::IBStream* state) override;
  Steinberg::tresult GetControllerState(Steinberg::IBStream* state) override;

  // ---- IHostSink: the editor's changes go to the host's component handler ----
  void BeginInformHostOfParamChange(int paramIdx) override;
  void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
  void EndInformHostOfParamChange(int paramIdx) override;
  void InformHostOfTailChange() override;
  // The current handler with one reference for the caller, or null.
  Steinberg::Vst::IComponentHandler* AcquireHandler();

  // ---- Audio thread: the parts of one process call (see ProcessCall in the .cpp) ----
  friend class ProcessCall;
  const ITimeInfo* ReadProcessContext(const Steinberg::Vst::ProcessContext* context);
  void ApplyParameterChanges(Steinberg::Vst::IParameterChanges* changes, bool everyPoint);
  void ApplyEvents(Steinberg::Vst::IEventList* events);
  Steinberg::tresult RenderOutputs(Steinberg::Vst::ProcessData& data);

  Steinberg::Vst::SpeakerArrangement OutputArrangement() const;

  std::unique_ptr<IPlugBase> mPlug;
  const int mNParams;
  const int mNOutChannels;
  std::atomic<Steinberg::uint32> mRefCount{1};

  ParamLayout mLayout;
  ViewContentFactory mViewFactory;
#if SMTG_OS_LINUX
  // The plug-in's idle tick; from the view's run loop when the host context had none.
  IdleTimer mIdleTimer;
  bool mIdleFromView = false;
#elif SMTG_OS_WINDOWS
  // The plug-in's idle tick, a thread timer from initialize to terminate.
  IdleTimer mIdleTimer;
#endif
  Steinberg::Vst::UnitID mSelectedUnit = Steinberg::Vst::kRootUnitId;

  std::mutex mHostMutex;  // guards the two host pointers
  Steinberg::FUnknown* mHostContext = nullptr;
  Steinberg::Vst::IComponentHandler* mHandler = nullptr;


  // Audio thread only.
  ITimeInfo mTimeInfo;
  std::array<std::array<double, kScratchFrames>, 2> mScratch{};
};

#pragma GCC diagnostic pop

}  // namespace fw::vst3
