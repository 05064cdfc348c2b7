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
#include "../skins/SkinPack.h"
#include "Config.h"

class ABSelectorControl;
class WaveDisplayControl;
namespace fw { class ITextControl; class IGraphics; }

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
  // Main thread, never during a process call: new sample rate; every parameter pushed again.
  void OnReset() override;
  // Audio thread: one MIDI message, on the frame it is due.
  void ProcessMidiMsg(const fw::IMidiMsg& msg) override;
  // Audio thread: renders one block, applying each queued MIDI message on its frame.
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override;
  // Main thread, every 20 ms: meter delivery, the pending skin, and telling
  // the host of a changed tail once it has settled.
  void OnIdle() override;
  // Idle ticks a new tail must hold before the host is told (a host may
  // restart processing for it, so not at every step of a turning knob).
  static constexpr int kTailSettleTicks = 10;

  // For tools and tests: the engine, read-only, and its seed.
  const SynthCore& Synth() const { return mSynth; }
  void SetCircuitSeed(uint64_t seed) { mSynth.SetCircuitSeed(seed); }
  // For tests and benchmarks: the engine's batch kernels (the processor's
  // vector kernels where it has them). Not while processing runs.
  void SetEngineKernels(const dsp::Kernels& kernels) { mSynth.SetKernels(kernels); }
  // For tests: the meter sender.
  fw::IPeakSender<2, 64>& MeterSender() { return mMeterSender; }

  // ---- Patches: model, label, A/B, patch files, factory bank (patches.cpp) ----
  // All on the main thread (editor actions, the host's state calls); the values
  // they set reach the engine through OnParamChange, deferred to the audio
  // thread while processing runs.

  // The 59 current plain parameter values, in index order.
  Patch CapturePatch() const;
  // Sets every parameter from the patch (stepped kinds rounded, all limited to
  // their ranges) as editor changes the host is told of, sends the values to
  // the editor's controls, then shows label. Never marks the label modified.
  void ApplyPatch(const Patch& patch, const std::string& label);
  // Shows mPatchLabel and mActiveSlot in the editor's controls, when they exist.
  void RefreshPatchLabel();
  // Main thread: a parameter changed on the editor side. The user's first
  // edit appends the modified marker " *" to the label.
  void OnParamChangeUI(int paramIdx, fw::EParamSource source) override;
  // The A/B switch, slot 0 = A, 1 = B. The first switch copies the current
  // sound into both slots; each switch keeps the sound being left in its slot.
  void SelectAB(int slot);
  // Writes the current sound and label to a patch file. False when nothing
  // could be written; an existing file is then left as it was.
  bool SavePatch(const char* path) const;
  // Loads a patch file (59, 58 or 57 values) and applies it; the label becomes
  // the file's name and the A/B slots are forgotten. False when the file is
  // refused; the sound, label and A/B state are then untouched.
  bool LoadPatch(const char* path);
  // Factory patch index (wrapped into 0..17) built from the defaults; the A/B
  // slots are forgotten. The editor steps with FactoryIndex() -1 and +1.
  void SelectFactoryPatch(int index);
  // Main thread, after a successful state restore: the engine
  // follows, the label reads "Project sound", A/B starts afresh, the editor's
  // controls get every value.
  void OnRestoreState() override;

  const std::string& PatchLabel() const { return mPatchLabel; }
  int ActiveSlot() const { return mActiveSlot; }
  bool ABReady() const { return mABReady; }
  int FactoryIndex() const { return mFactoryIndex; }
  const std::array<Patch, 2>& ABPatches() const { return mABPatches; }
  const std::array<std::string, 2>& ABNames() const { return mABNames; }

  // ---- Host state (State.cpp) -------------------------------------------------
  // Tag of the plug-in's block after the parameter values: 'VBS1'.
  static constexpr uint32_t kStateTag = static_cast<uint32_t>(fw::FourCC("VBS1"));
  // Longest skin path the state holds, in bytes.
  static constexpr uint32_t kMaxStateSkinPathBytes = 4096;
  // Main thread: the parameter values, the tag, the skin path's
  // length and bytes. False, for the host to store nothing, when the path is too long.
  bool SerializeState(fw::IByteChunk& chunk) const override;
  // Main thread: the position after the plug-in's data, or -1. The whole state
  // is checked before anything is set, so a refused state changes nothing.
  int UnserializeState(const fw::IByteChunk& chunk, int startPos) override;

  // ---- Skin selection (SkinSelection.cpp) --------------------------------------
  // Main thread (idle tick, editor opening): loads the path a construction or a
  // state restore made pending; falls back to the shipped case skin, then to
  // the built-in look. True when a pending request was handled, whatever its
  // outcome. Reads files, so never call it with mSkinMutex held.
  bool ApplyPendingSkin();
  // Main thread, the "DEFAULT" action: the built-in look, no path, nothing pending.
  void UseDefaultSkin();
  // Main thread, the last step of loading a skin the editor accepted (its
  // images decoded): the pack becomes active, its path is the one saved with
  // the project, and the next idle tick rebuilds the editor.
  void ActivateSkin(SkinPack&& pack, const std::string& path);
  // Main thread: makes a skin path pending, as a state restore does ("" too).
  void RequestSkinRestore(std::string path);
  // Main thread: a copy of the skin path a state save writes. The path is
  // guarded all the same, as some hosts save a project from a worker thread.
  std::string SkinPath() const;
  // Main thread: whether a skin path still waits for ApplyPendingSkin.
  bool SkinRestorePending() const;
  // Main thread: the active skin, read by the layout.
  const SkinPack& Skin() const { return mSkin; }
  // Main thread: a user action replaced the skin and the editor awaits its rebuild.
  bool SkinChanged() const { return mSkinChanged; }

  // Path of the shipped skin file "Skins/<folder>/skin.vbskin" in the
  // resources of the bundle that holds this module; "" when it cannot be
  // opened. The folders are kCaseSkinFolder, kDarkSkinFolder, kLimitedSkinFolder.
  static std::string ShippedSkinPath(const char* folder);
  // The shipped skin folder that follows a skin of this name when cycling:
  // after "Dark" the limited skin, after "Limited" the case skin, else the dark one.
  static const char* NextShippedSkin(const std::string& activeSkinName);
  // Tests: the module file path from which shipped skins are found, in place
  // of this module's own; "" returns to the module's own path.
  static void SetModulePathForTesting(std::string path);

  static constexpr const char* kCaseSkinFolder = "VrelBazzitCase";
  static constexpr const char* kDarkSkinFolder = "VrelBazzitDark";
  static constexpr const char* kLimitedSkinFolder = "VrelBazzitLimited";

private:
  // Wherever the engine may be touched (audio thread while processing, main
  // thread otherwise): the tail from the engine's release, echo and tempo.
  void UpdateTailSize();
  // Main thread: builds the editor's page in g (the layout function).
  void LayoutEditor(fw::IGraphics& g);

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
  SkinPack mSkin;
  bool mSkinChanged = false;
  mutable std::mutex mSkinMutex;
  std::string mSkinPath;
  bool mSkinRestorePending = false;
  // Tail: the tempo it was last computed with (engine side), the value the
  // host was last told of, and the value seen settling (main thread).
  double mTailTempo = 0.0;
  uint32_t mTailTold = 0;
  uint32_t mTailSeen = 0;
  int mTailSettle = 0;
};

}  // namespace vrelbazzit
