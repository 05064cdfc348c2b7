// The plug-in object: parameter declarations from the parameter table, the
// conversion of each parameter into the engine, MIDI dispatch, block
// rendering and the output meter.
#include "VrelBazzit.h"

#include <algorithm>
#include <cmath>

#include "Tail.h"
#include "editor/PlaceholderLayout.h"
#include "simd/Kernels.h"
#include "framework/graphics/IGraphics.h"
#ifdef VB_EDITOR_NANOVG
#include "framework/graphics/IGraphicsNanoVG.h"
#endif

namespace vrelbazzit {

namespace {
constexpr double kMinHostTempo = 30.0;
constexpr double kMaxHostTempo = 300.0;

void DeclareParam(fw::IParam& p, const ParamSpec& decl) {
  switch (decl.kind) {
    case ParamKind::Double:
      p.InitDouble(decl.name, decl.defaultValue, decl.minValue, decl.maxValue, decl.step, decl.label, 0, decl.group,
                   decl.powCurve ? fw::IParam::ShapePowCurve(kPowCurveExponent) : fw::IParam::ShapeLinear());
      break;
    case ParamKind::Int:
      p.InitInt(decl.name, static_cast<int>(decl.defaultValue), static_cast<int>(decl.minValue),
                static_cast<int>(decl.maxValue), decl.label, 0, decl.group);
      break;
    case ParamKind::Bool:
      p.InitBool(decl.name, decl.defaultValue >= 0.5, decl.label, 0, decl.group, decl.texts.items[0],
                 decl.texts.items[1]);
      break;
    case ParamKind::Enum:
      p.InitEnum(decl.name, static_cast<int>(decl.defaultValue), decl.texts.count, decl.texts.items, 0, decl.group);
      break;
  }
}
}  // namespace

VrelBazzit::VrelBazzit(const fw::InstanceInfo& info) : fw::IPlugBase(info, MakeConfig()) {
  // The engine is usable before the host's first processing set-up.
  mSynth.SetKernels(simd::BestKernels());
  mSynth.SetSampleRate(48000.0);

  for (int i = 0; i < kNumParams; ++i) DeclareParam(*GetParam(i), kParamSpecs[static_cast<size_t>(i)]);
  UpdateTailSize();
  mTailTold = mTailSeen = GetTailSize();

  // The shipped case skin, when present, is loaded by the first idle tick or editor opening.
  if (std::string casePath = ShippedSkinPath(kCaseSkinFolder); !casePath.empty()) RequestSkinRestore(std::move(casePath));

  // The editor: drawn with NanoVG where the window layer exists.
#ifdef VB_EDITOR_NANOVG
  mMakeGraphicsFunc = [this] { return new fw::IGraphicsNanoVG(this, kEditorWidth, kEditorHeight, kEditorFPS, 1.f); };
#endif
  mLayoutFunc = [this](fw::IGraphics* g) { LayoutEditor(*g); };
}

void VrelBazzit::LayoutEditor(fw::IGraphics& g) {
  // A skin still pending (a new instance, a restored project) is loaded before the first page.
  ApplyPendingSkin();
  const editor::PlaceholderControls controls = editor::LayoutPlaceholder(g, mSkin, mPatchLabel);
  mPatchLabelControl = controls.patchLabel;
  RefreshPatchLabel();
}

void VrelBazzit::OnUIClose() {
  mPatchLabelControl = nullptr;
  mABSelector = nullptr;
  mOsc1WaveDisplay = nullptr;
  mOsc2WaveDisplay = nullptr;
}

void VrelBazzit::OnParamChange(int paramIdx) {
  if (paramIdx < 0 || paramIdx >= kNumParams) return;
  mSynth.SetParameter(paramIdx, ToEngineValue(paramIdx, GetParam(paramIdx)->Value()));
  if (paramIdx == kRelease || paramIdx == kSpace || paramIdx == kSpaceSync || paramIdx == kAge) UpdateTailSize();
}

void VrelBazzit::UpdateTailSize() {
  TailSettings s;
  s.releaseSeconds = mSynth.params[kRelease];
  s.space = mSynth.params[kSpace];
  s.spaceSync = mSynth.params[kSpaceSync];
  s.age = mSynth.params[kAge];
  s.tempo = mSynth.tempo;
  mTailTempo = mSynth.tempo;
  SetTailSize(TailSamples(s, mSynth.sampleRate));
}

void VrelBazzit::OnReset() {
  mSynth.SetSampleRate(GetSampleRate());
  mMeterSender.Reset(GetSampleRate());
  for (int i = 0; i < kNumParams; ++i) OnParamChange(i);
  UpdateTailSize();
  // Hosts read the tail after setting up processing: nothing more to tell.
  mTailTold = mTailSeen = GetTailSize();
  mTailSettle = 0;
}

void VrelBazzit::ProcessMidiMsg(const fw::IMidiMsg& msg) {
  const int d1 = msg.mData1;
  const int d2 = msg.mData2;
  switch (msg.StatusMsg()) {
    case fw::IMidiMsg::kNoteOff: mSynth.NoteOff(d1); break;
    case fw::IMidiMsg::kNoteOn:
      if (d2 > 0)
        mSynth.NoteOn(d1, d2 / 127.0);
      else
        mSynth.NoteOff(d1);
      break;
    case fw::IMidiMsg::kPolyAftertouch:
      if (d1 <= 127) mSynth.notePressure[static_cast<size_t>(d1)] = std::min(1.0, d2 / 127.0);
      break;
    case fw::IMidiMsg::kControlChange:
      switch (d1) {
        case 1: mSynth.modWheel = std::min(1.0, d2 / 127.0); break;
        case 64: mSynth.SetSustain(d2 >= 64); break;
        case 120:
        case 123: mSynth.AllNotesOff(); break;
        default: break;
      }
      break;
    case fw::IMidiMsg::kChannelAftertouch: mSynth.channelPressure = std::min(1.0, d1 / 127.0); break;
    case fw::IMidiMsg::kPitchWheel:
      mSynth.pitchBend = std::clamp(((d2 * 128 + d1) - 8192) / 8192.0, -1.0, 1.0);
      break;
    default: break;  // program change, system messages
  }
}

void VrelBazzit::ProcessBlock(double** /*inputs*/, double** outputs, int nFrames) {
  const double tempo = GetTempo();
  if (std::isfinite(tempo) && tempo >= kMinHostTempo && tempo <= kMaxHostTempo) mSynth.tempo = tempo;
  if (mSynth.tempo != mTailTempo) UpdateTailSize();  // a synced echo follows the tempo
  if (nFrames <= 0) return;

  // Each queued message takes effect at its own frame: the engine renders the
  // stretches between them.
  int nextMessage = ApplyMidiDueAt(0);
  for (int i = 0; i < nFrames;) {
    if (i >= nextMessage) nextMessage = ApplyMidiDueAt(i);
    const int end = std::min(nFrames, nextMessage);
    mSynth.Render(outputs[0] + i, outputs[1] + i, end - i);
    i = end;
  }
  mMeterSender.ProcessBlock(outputs, nFrames, kCtrlTagMeter, 2, 0);
}

void VrelBazzit::OnIdle() {
  mMeterSender.TransmitData([this](const fw::ISenderData<2, float>& d) {
    SendControlMsgFromDelegate(d.ctrlTag, 0, static_cast<int>(sizeof(d)), &d);
  });

  // Tail: the host is told once a new value has held for kTailSettleTicks ticks.
  const uint32_t tail = GetTailSize();
  if (tail != mTailSeen) {
    mTailSeen = tail;
    mTailSettle = 0;
  } else if (tail != mTailTold && ++mTailSettle >= kTailSettleTicks) {
    mTailTold = tail;
    mTailSettle = 0;
    InformHostOfTailChange();
  }

  // Skin: a pending path is loaded even while the editor is closed; a change is consumed either way.
  if (ApplyPendingSkin() || mSkinChanged) {
    mSkinChanged = false;
    // With the editor open, the page is built again for the new skin; attached
    // controls take their parameters' current values.
    if (fw::IGraphics* ui = GetUI()) {
      OnUIClose();
      ui->RemoveAllControls();
      LayoutEditor(*ui);
    }
  }
}

}  // namespace vrelbazzit
