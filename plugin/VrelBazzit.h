// The plug-in object: one per instance. Declares the parameters, forwards
// parameter changes, MIDI and audio blocks to the engine, feeds the output
// meter, and keeps the instance's patch state, host state and skin.
#pragma once

#include <array>
#include <mutex>
#include <string>

#include "../engine/SynthCore.h"
#include "../framework/plug/IPeakSender.h"
#include "../framework/plug/IPlugBase.h"
#include "Config.h"

class ABSelectorControl;
class WaveDisplayControl;
namespace fw { class ITextControl; }

namespace vrelbazzit {

using Patch = std::array<double, kNumParams>;

// Control tag under which the output meter's entries travel.
constexpr int kCtrlTagMeter = 100;

class VrelBazzit final : public fw::IPlugBase {
public:
  explicit VrelBazzit(const fw::InstanceInfo& info);

  // ---- Processing (VrelBazzit.cpp) ---------------------------------------
  // Main thread: the editor window closed.
  void OnUIClose() override;
  // Audio thread while processing, main thread otherwise: one parameter to the engine.
  void OnParamChange(int paramIdx) override;
  // Main thread, processing off: new sample rate; every parameter pushed again.
  void OnReset() override;
  // Audio thread: one MIDI message.
  void ProcessMidiMsg(const fw::IMidiMsg& msg) override;
  // Audio thread: renders one block.
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override;
  // Main thread, every 20 ms: meter delivery and wave display refresh.
  void OnIdle() override;

  // For tools and tests: the engine, read-only, and its seed.
  const SynthCore& Synth() const { return mSynth; }
  void SetCircuitSeed(uint64_t seed) { mSynth.SetCircuitSeed(seed); }
  // For tests: the meter sender.
  fw::IPeakSender<2, 64>& MeterSender() { return mMeterSender; }

  // ---- Patches: model, label, A/B, patch files, factory bank (patches.cpp) ----

  // ---- Host state (State.cpp) -------------------------------------------------

  // ---- Skin selection (SkinSelection.cpp) --------------------------------------

private:
  SynthCore mSynth;
  fw::IPeakSender<2, 64> mMeterSender;
  std::array<Patch, 2> mABPatches{};
  std::array<std::string, 2> mABNames;
  bool mABReady = false;
  bool mApplyingPatch = false;
  int mActiveSlot = 0;
  int mFactoryIndex = 0;
  std::string mPatchLabel = "Init Vrels";
  fw::ITextControl* mPatchLabelControl = nullptr;
  ABSelectorControl* mABSelector = nullptr;
  WaveDisplayControl* mOsc1WaveDisplay = nullptr;
  WaveDisplayControl* mOsc2WaveDisplay = nullptr;
  std::mutex mSkinMutex;
  std::string mSkinPath;
  bool mSkinRestorePending = false;
};

}  // namespace vrelbazzit
