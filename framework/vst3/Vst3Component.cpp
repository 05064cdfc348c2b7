#include "Vst3Component.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Vst3Strings.h"
#include "framework/graphics/IGraphics.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "pluginterfaces/vst/vstspeaker.h"

namespace fw::vst3 {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int kEventChannels = 16;
constexpr int kBypassWordBytes = 4;
constexpr int kStateReadBlock = 128;

bool IsValidPitch(int16 pitch) { return pitch >= 0 && pitch <= 127; }

// A velocity or pressure in [0, 1] as 0..127 (NaN gives 0).
int VelocitySteps(float value) {
  if (!(value > 0.0f)) return 0;
  if (value >= 1.0f) return 127;
  return static_cast<int>(RoundHalfAway(static_cast<double>(value) * 127.0));
}

uint32_t ReadLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// Writes all bytes, however the stream splits them; false when it stops short.
bool WriteAll(IBStream* stream, const uint8_t* data, int size) {
  int done = 0;
  while (done < size) {
    int32 written = 0;
    const tresult r = stream->write(const_cast<uint8_t*>(data + done), size - done, &written);
    if (r != kResultOk || written <= 0 || written > size - done) return false;
    done += written;
  }
  return true;
}

template <typename T>
void Release(T*& p) {
  if (p) p->release();
  p = nullptr;
}

}  // namespace

SingleComponent::SingleComponent(std::unique_ptr<IPlugBase> plug, ViewContentFactory viewFactory)
    : mPlug(std::move(plug)),
      mNParams(mPlug->NParams()),
      mNOutChannels(std::clamp(mPlug->NOutChannels(), 1, 2)),
      mLayout(*mPlug),
      mViewFactory(std::move(viewFactory))
#if SMTG_OS_LINUX || SMTG_OS_WINDOWS
      ,
      mIdleTimer([this] {
        // Not while a modal dialog of the editor waits for the user.
        if (IGraphics* ui = mPlug->GetUI(); ui && ui->IsInModalDialog()) return;
        mPlug->OnIdle();
      })
#endif
{
  mPlug->SetHostSink(this);
}

SingleComponent::~SingleComponent() {
#if SMTG_OS_LINUX || SMTG_OS_WINDOWS
  mIdleTimer.Stop();
#endif
  mPlug->SetHostSink(nullptr);
  Release(mHandler);
  Release(mHostContext);
}

// ---- FUnknown ----------------------------------------------------------------------

tresult PLUGIN_API SingleComponent::queryInterface(const TUID queriedIid, void** obj) {
  if (!obj) return kInvalidArgument;
  void* found = nullptr;
  // FUnknown and IPluginBase are reached through IComponent, so every route
  // to them gives the same pointer.
  if (FUnknownPrivate::iidEqual(queriedIid, FUnknown::iid) || FUnknownPrivate::iidEqual(queriedIid, IPluginBase::iid) ||
      FUnknownPrivate::iidEqual(queriedIid, IComponent::iid)) {
    found = static_cast<IComponent*>(this);
  } else if (FUnknownPrivate::iidEqual(queriedIid, IAudioProcessor::iid)) {
    found = static_cast<IAudioProcessor*>(this);
  } else if (FUnknownPrivate::iidEqual(queriedIid, IEditController::iid)) {
    found = static_cast<IEditController*>(this);
  } else if (FUnknownPrivate::iidEqual(queriedIid, IMidiMapping::iid)) {
    found = static_cast<IMidiMapping*>(this);
  } else if (FUnknownPrivate::iidEqual(queriedIid, IUnitInfo::iid)) {
    found = static_cast<IUnitInfo*>(this);
  } else if (FUnknownPrivate::iidEqual(queriedIid, IProcessContextRequirements::iid)) {
    found = static_cast<IProcessContextRequirements*>(this);
  }
  *obj = found;
  if (!found) return kNoInterface;
  addRef();
  return kResultOk;
}

uint32 PLUGIN_API SingleComponent::addRef() { return mRefCount.fetch_add(1, std::memory_order_relaxed) + 1; }

uint32 PLUGIN_API SingleComponent::release() {
  const uint32 remaining = mRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (remaining == 0) delete this;
  return remaining;
}

// ---- IPluginBase ------------------------------------------------------------------

tresult PLUGIN_API SingleComponent::initialize(FUnknown* context) {
#if SMTG_OS_WINDOWS
  // A timer of this (the main) thread's message queue, open editor or not.
  mIdleTimer.Start();
#endif
  // Hosts may initialise the object through both of its IPluginBase routes;
  // the first context is kept.
  {
    std::lock_guard<std::mutex> lock(mHostMutex);
    if (mHostContext || !context) return kResultOk;
    mHostContext = context;
    mHostContext->addRef();
  }
#if SMTG_OS_LINUX
  // The idle tick runs from construction where the host offers its run loop
  // in the context; otherwise it follows the editor's view.
  Linux::IRunLoop* runLoop = nullptr;
  if (context->queryInterface(Linux::IRunLoop::iid, reinterpret_cast<void**>(&runLoop)) == kResultOk && runLoop) {
    mIdleTimer.Start(runLoop);
    runLoop->release();
  }
#endif
  return kResultOk;
}

tresult PLUGIN_API SingleComponent::terminate() {
#if SMTG_OS_LINUX
  mIdleTimer.Stop();
  mIdleFromView = false;
#elif SMTG_OS_WINDOWS
  mIdleTimer.Stop();
#endif
  std::lock_guard<std::mutex> lock(mHostMutex);
  Release(mHandler);
  Release(mHostContext);
  return kResultOk;
}

// ---- IComponent -------------------------------------------------------------------

tresult PLUGIN_API SingleComponent::getControllerClassId(TUID /*classId*/) {
  // Single component: the edit controller is this object (queryInterface).
  return kNotImplemented;
}

tresult PLUGIN_API SingleComponent::setIoMode(IoMode /*mode*/) { return kNotImplemented; }

int32 PLUGIN_API SingleComponent::getBusCount(MediaType type, BusDirection dir) {
  if (type == kAudio) return dir == kOutput ? 1 : 0;
  if (type == kEvent) return dir == kInput ? 1 : 0;
  return 0;
}

tresult PLUGIN_API SingleComponent::getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) {
  if (index != 0 || getBusCount(type, dir) == 0) return kInvalidArgument;
  bus = BusInfo();
  bus.mediaType = type;
  bus.direction = dir;
  bus.busType = kMain;
  bus.flags = BusInfo::kDefaultActive;
  if (type == kAudio) {
    bus.channelCount = mNOutChannels;
    Utf8ToUtf16("Output", bus.name);
  } else {
    bus.channelCount = kEventChannels;
    Utf8ToUtf16("MIDI Input", bus.name);
  }
  return kResultOk;
}

tresult PLUGIN_API SingleComponent::getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) {
  // Every event channel plays into the one audio output.
  if (inInfo.mediaType != kEvent || inInfo.busIndex != 0) return kResultFalse;
  outInfo.mediaType = kAudio;
  outInfo.busIndex = 0;
  outInfo.channel = -1;
  return kResultOk;
}

tresult PLUGIN_API SingleComponent::activateBus(MediaType type, BusDirection dir, int32 index, TBool /*state*/) {
  // Both buses are always used: a host that deactivates one simply sends no
  // events or ignores the output.
  if (index != 0 || getBusCount(type, dir) == 0) return kInvalidArgument;
  return kResultOk;
}

tresult PLUGIN_API SingleComponent::setActive(TBool state) {
  if (state) {
    mPlug->SetProcessingActive(true);
  } else {
    // Waits for a running process call to end and runs the deferred parameter
    // changes; no process call overlaps the reset that follows.
    mPlug->SetProcessingActive(false);
    mPlug->OnReset();
  }
  return kResultOk;
}

tresult SingleComponent::GetComponentState(IBStream* state) {
  if (!state) return kInvalidArgument;
  try {
    IByteChunk chunk;
    if (!mPlug->SerializeState(chunk)) return kResultFalse;
    const uint32_t bypass = mLayout.Bypass().IsOn() ? 1u : 0u;
    const uint8_t word[kBypassWordBytes] = {static_cast<uint8_t>(bypass), 0, 0, 0};
    chunk.PutBytes(word, kBypassWordBytes);
    return WriteAll(state, chunk.GetData(), chunk.Size()) ? kResultOk : kResultFalse;
  } catch (...) {
    return kOutOfMemory;
  }
}

tresult SingleComponent::SetComponentState(IBStream* state) {
  if (!state) return kInvalidArgument;
  try {
    int64 start = 0;
    if (state->tell(&start) != kResultOk || start < 0) start = 0;

    IByteChunk chunk;
    uint8_t block[kStateReadBlock];
    while (chunk.Size() < kMaxStateBytes) {
      int32 got = 0;
      if (state->read(block, kStateReadBlock, &got) != kResultOk || got <= 0) break;
      chunk.PutBytes(block, std::min<int32>(got, kStateReadBlock));
    }

    const int pos = mPlug->UnserializeState(chunk, 0);
    if (pos < 0) return kResultFalse;

    // The bypass word follows the plug-in's data. Read from the stream at that
    // position; a stream that cannot seek back gives it from the bytes read.
    uint8_t word[kBypassWordBytes];
    int32 got = 0;
    const bool fromStream = state->seek(start + pos, IBStream::kIBSeekSet, nullptr) == kResultOk &&
                            state->read(word, kBypassWordBytes, &got) == kResultOk && got == kBypassWordBytes;
    if (!fromStream && chunk.GetBytes(word, kBypassWordBytes, pos) < 0) return kResultFalse;
    mLayout.Bypass().Set(ReadLE32(word) != 0);

    mPlug->OnRestoreState();
    if (IComponentHandler* handler = AcquireHandler()) {
      handler->restartComponent(kParamValuesChanged);
      handler->release();
    }
    return kResultOk;
  } catch (...) {
    return kOutOfMemory;
  }
}

// ---- IAudioProcessor --------------------------------------------------------------

SpeakerArrangement SingleComponent::OutputArrangement() const {
  return mNOutChannels == 1 ? SpeakerArr::kMono : SpeakerArr::kStereo;
}

tresult PLUGIN_API SingleComponent::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                       SpeakerArrangement* outputs, int32 numOuts) {
  (void)inputs;
  if (numIns != 0 || numOuts != 1 || !outputs) return kResultFalse;
  return outputs[0] == OutputArrangement() ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API SingleComponent::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) {
  if (dir != kOutput || index != 0) return kInvalidArgument;
  arr = OutputArrangement();
  return kResultOk;
}

tresult PLUGIN_API SingleComponent::canProcessSampleSize(int32 symbolicSampleSize) {
  return (symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64) ? kResultTrue : kResultFalse;
}

uint32 PLUGIN_API SingleComponent::getLatencySamples() {
  return static_cast<uint32>(std::max(0, mPlug->GetConfig().latency));
}

tresult PLUGIN_API SingleComponent::setupProcessing(ProcessSetup& setup) {
  // Only while inactive: OnReset must not overlap a process call.
  if (mPlug->IsProcessingActive()) return kResultFalse;
  if (!(setup.sampleRate >= kMinSampleRate && setup.sampleRate <= kMaxSampleRate) ||
      setup.maxSamplesPerBlock <= 0 || canProcessSampleSize(setup.symbolicSampleSize) != kResultTrue)
    return kInvalidArgument;
  try {
    mPlug->SetSampleRate(setup.sampleRate);
    mPlug->SetBlockSize(setup.maxSamplesPerBlock);
    mPlug->OnReset();
  } catch (...) {
    return kOutOfMemory;
  }
  return kResultOk;
}

tresult PLUGIN_API SingleComponent::setProcessing(TBool /*state*/) { return kResultOk; }

uint32 PLUGIN_API SingleComponent::getTailSamples() { return mPlug->GetTailSize(); }

uint32 PLUGIN_API SingleComponent::getProcessContextRequirements() {
  return IProcessContextRequirements::kNeedTempo;
}

// One VST 3 process call as the framework's process-call sequence sees it.
class ProcessCall final : public IProcessSource {
public:
  ProcessCall(SingleComponent& component, ProcessData& data) : mComponent(component), mData(data) {}

  int NumFrames() const override { return mData.numSamples; }
  const ITimeInfo* TimeInfo() override { return mComponent.ReadProcessContext(mData.processContext); }
  void DeliverParamChanges(IPlugBase&) override {
    mComponent.ApplyParameterChanges(mData.inputParameterChanges, false);
  }
  void DeliverControllers(IPlugBase&) override {
    mComponent.ApplyParameterChanges(mData.inputParameterChanges, true);
  }
  void DeliverEvents(IPlugBase&) override { mComponent.ApplyEvents(mData.inputEvents); }
  void RenderOutputs(IPlugBase&) override { mResult = mComponent.RenderOutputs(mData); }

  tresult Result() const { return mResult; }

private:
  SingleComponent& mComponent;
  ProcessData& mData;
  tresult mResult = kResultOk;
};

tresult PLUGIN_API SingleComponent::process(ProcessData& data) {
  if (canProcessSampleSize(data.symbolicSampleSize) != kResultTrue || data.numSamples < 0) return kInvalidArgument;
  ProcessCall call(*this, data);
  // Outside setActive(true) .. setActive(false) the main thread may be running
  // OnParamChange and OnReset itself.
  if (!mPlug->Process(call)) return kNotInitialized;
  return call.Result();
}

const ITimeInfo* SingleComponent::ReadProcessContext(const ProcessContext* context) {
  if (!context) return nullptr;
  // Fields the host does not mark valid keep their previous values.
  if (context->state & ProcessContext::kTempoValid) mTimeInfo.mTempo = context->tempo;
  if (context->state & ProcessContext::kProjectTimeMusicValid) mTimeInfo.mPPQPos = context->projectTimeMusic;
  mTimeInfo.mSamplePos = static_cast<double>(context->projectTimeSamples);
  mTimeInfo.mTransportIsRunning = (context->state & ProcessContext::kPlaying) != 0;
  return &mTimeInfo;
}

void SingleComponent::ApplyParameterChanges(IParameterChanges* changes, bool everyPoint) {
  if (!changes) return;
  const int32 count = changes->getParameterCount();
  for (int32 i = 0; i < count; ++i) {
    IParamValueQueue* queue = changes->getParameterData(i);
    if (!queue) continue;
    PublishedParam* param = mLayout.Find(queue->getParameterId());
    if (!param || param->TakesEveryPoint() != everyPoint) continue;
    const int32 points = queue->getPointCount();
    for (int32 k = everyPoint ? 0 : points - 1; k < points; ++k) {
      int32 offset = 0;
      ParamValue value = 0.0;
      if (k < 0 || queue->getPoint(k, offset, value) != kResultOk) continue;
      if (!std::isfinite(value)) continue;  // not a value; the parameter keeps its own
      param->ApplyFromHost(*mPlug, everyPoint ? offset : 0, std::clamp(value, 0.0, 1.0));
    }
  }
}

void SingleComponent::ApplyEvents(IEventList* events) {
  if (!events) return;
  const int32 count = events->getEventCount();
  for (int32 i = 0; i < count; ++i) {
    Event e{};
    if (events->getEvent(i, e) != kResultOk || e.busIndex != 0) continue;
    const int offset = e.sampleOffset;
    switch (e.type) {
      case Event::kNoteOnEvent:
        if (IsValidPitch(e.noteOn.pitch))
          mPlug->ApplyHostMidi(
              IMidiMsg::NoteOn(e.noteOn.channel, e.noteOn.pitch, VelocitySteps(e.noteOn.velocity), offset));
        break;
      case Event::kNoteOffEvent:
        if (IsValidPitch(e.noteOff.pitch))
          mPlug->ApplyHostMidi(IMidiMsg::NoteOff(e.noteOff.channel, e.noteOff.pitch, offset));
        break;
      case Event::kPolyPressureEvent:
        if (IsValidPitch(e.polyPressure.pitch))
          mPlug->ApplyHostMidi(IMidiMsg::PolyPressure(e.polyPressure.channel, e.polyPressure.pitch,
                                                      VelocitySteps(e.polyPressure.pressure), offset));
        break;
      default: break;
    }
  }
}

tresult SingleComponent::RenderOutputs(ProcessData& data) {
  const int n = data.numSamples;
  AudioBusBuffers* bus = (data.numOutputs > 0) ? data.outputs : nullptr;
  // No frames or no output channels: the host only flushes parameters and
  // events. ProcessBlock still sees the block (it takes the tempo).
  if (n == 0 || !bus || bus->numChannels == 0) {
    mPlug->Render(nullptr, nullptr, 0);
    return kResultOk;
  }

  const bool is64 = data.symbolicSampleSize == kSample64;
  void** channels = is64 ? reinterpret_cast<void**>(bus->channelBuffers64) : reinterpret_cast<void**>(bus->channelBuffers32);
  if (bus->numChannels < mNOutChannels || !channels) return kInvalidArgument;
  for (int c = 0; c < bus->numChannels; ++c) {
    if (!channels[c]) return kInvalidArgument;
  }

  const bool bypass = mLayout.Bypass().IsOn();
  // Channels beyond the plug-in's (none with a matching arrangement) and the
  // bypassed output are silent.
  for (int c = bypass ? 0 : mNOutChannels; c < bus->numChannels; ++c) {
    if (is64)
      std::fill_n(bus->channelBuffers64[c], n, 0.0);
    else
      std::fill_n(bus->channelBuffers32[c], n, 0.0f);
  }
  if (bypass) {
    bus->silenceFlags = bus->numChannels >= 64 ? ~uint64() : ((uint64(1) << bus->numChannels) - 1);
    return kResultOk;
  }

  if (is64) {
    mPlug->Render(nullptr, bus->channelBuffers64, n);
  } else {
    double* scratch[2] = {mScratch[0].data(), mScratch[1].data()};
    for (int done = 0; done < n;) {
      const int m = std::min(kScratchFrames, n - done);
      mPlug->Render(nullptr, scratch, m);
      for (int c = 0; c < mNOutChannels; ++c) {
        float* dst = bus->channelBuffers32[c] + done;
        for (int s = 0; s < m; ++s) dst[s] = static_cast<float>(scratch[c][s]);
      }
      done += m;
    }
  }
  bus->silenceFlags = 0;
  return kResultOk;
}

// ---- IEditController ----------------------------------------------------------------

tresult SingleComponent::SetControllerState(IBStream* state) {
  // The controller keeps nothing of its own: the parameters live in the component.
  return state ? kResultOk : kInvalidArgument;
}

tresult SingleComponent::GetControllerState(IBStream* state) { return state ? kResultOk : kInvalidArgument; }

tresult PLUGIN_API SingleComponent::setComponentState(IBStream* state) {
  // One object: the component's setState has already set every value.
  return state ? kResultOk : kInvalidArgument;
}

int32 PLUGIN_API SingleComponent::getParameterCount() { return mLayout.Count(); }

tresult PLUGIN_API SingleComponent::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
  if (paramIndex < 0) return kInvalidArgument;
  return mLayout.GetInfo(static_cast<ParamID>(paramIndex), info) ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API SingleComponent::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) {
  const PublishedParam* param = mLayout.Find(id);
  if (!param || !string || !std::isfinite(valueNormalized)) return kInvalidArgument;
  Utf8ToUtf16(param->ToString(std::clamp(valueNormalized, 0.0, 1.0)), string, 128);
  return kResultOk;
}

tresult PLUGIN_API SingleComponent::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) {
  const PublishedParam* param = mLayout.Find(id);
  if (!param || !string) return kInvalidArgument;
  return param->FromString(Utf16ToUtf8(string), valueNormalized) ? kResultOk : kResultFalse;
}

ParamValue PLUGIN_API SingleComponent::normalizedParamToPlain(ParamID id, ParamValue valueNormalized) {
  const PublishedParam* param = mLayout.Find(id);
  return param ? param->ToPlain(valueNormalized) : valueNormalized;
}

ParamValue PLUGIN_API SingleComponent::plainParamToNormalized(ParamID id, ParamValue plainValue) {
  if (const PublishedParam* param = mLayout.Find(id)) return param->ToNormalized(plainValue);
  return std::isnan(plainValue) ? 0.0 : std::clamp(plainValue, 0.0, 1.0);
}

ParamValue PLUGIN_API SingleComponent::getParamNormalized(ParamID id) {
  const PublishedParam* param = mLayout.Find(id);
  return param ? param->GetNormalized() : 0.0;
}

tresult PLUGIN_API SingleComponent::setParamNormalized(ParamID id, ParamValue value) {
  PublishedParam* param = mLayout.Find(id);
  if (!param || !std::isfinite(value)) return kInvalidArgument;
  param->SetFromHost(std::clamp(value, 0.0, 1.0));
  return kResultOk;
}

tresult PLUGIN_API SingleComponent::setComponentHandler(IComponentHandler* handler) {
  std::lock_guard<std::mutex> lock(mHostMutex);
  if (handler == mHandler) return kResultOk;
  if (handler) handler->addRef();
  Release(mHandler);
  mHandler = handler;
  return kResultOk;
}

IPlugView* PLUGIN_API SingleComponent::createView(FIDString name) {
#if SMTG_OS_LINUX
  if (!mViewFactory || !name || std::strcmp(name, ViewType::kEditor) != 0) return nullptr;
  auto onAttached = [this](FUnknown* runLoop) {
    if (mIdleTimer.IsRunning()) return;
    mIdleFromView = mIdleTimer.Start(static_cast<Linux::IRunLoop*>(runLoop));
  };
  auto onClose = [this] {
    if (mIdleFromView) mIdleTimer.Stop();
    mIdleFromView = false;
  };
  return new EditorView(static_cast<IEditController*>(this), mViewFactory, onAttached, onClose);
#elif SMTG_OS_WINDOWS
  // The idle tick does not depend on the view: it runs from initialize.
  if (!mViewFactory || !name || std::strcmp(name, ViewType::kEditor) != 0) return nullptr;
  return new EditorView(static_cast<IEditController*>(this), mViewFactory, nullptr, nullptr);
#else
  (void)name;
  return nullptr;
#endif
}

// ---- IHostSink ---------------------------------------------------------------------------

IComponentHandler* SingleComponent::AcquireHandler() {
  std::lock_guard<std::mutex> lock(mHostMutex);
  if (mHandler) mHandler->addRef();
  return mHandler;
}

void SingleComponent::BeginInformHostOfParamChange(int paramIdx) {
  if (IComponentHandler* handler = AcquireHandler()) {
    handler->beginEdit(static_cast<ParamID>(paramIdx));
    handler->release();
  }
}

void SingleComponent::InformHostOfParamChange(int paramIdx, double normalizedValue) {
  if (IComponentHandler* handler = AcquireHandler()) {
    handler->performEdit(static_cast<ParamID>(paramIdx), normalizedValue);
    handler->release();
  }
}

void SingleComponent::EndInformHostOfParamChange(int paramIdx) {
  if (IComponentHandler* handler = AcquireHandler()) {
    handler->endEdit(static_cast<ParamID>(paramIdx));
    handler->release();
  }
}

void SingleComponent::InformHostOfTailChange() {
  // The SDK names no restart flag of its own for the tail; a latency restart
  // is the one that makes hosts re-read the processor's sizes.
  if (IComponentHandler* handler = AcquireHandler()) {
    handler->restartComponent(kLatencyChanged);
    handler->release();
  }
}

// ---- IMidiMapping ----------------------------------------------------------------------------

tresult PLUGIN_API SingleComponent::getMidiControllerAssignment(int32 busIndex, int16 channel,
                                                                CtrlNumber midiControllerNumber, ParamID& id) {
  if (busIndex != 0 || channel < 0 || channel >= kEventChannels) return kResultFalse;
  return mLayout.MidiMappingId(midiControllerNumber, id) ? kResultTrue : kResultFalse;
}

// ---- IUnitInfo ------------------------------------------------------------------------------

int32 PLUGIN_API SingleComponent::getUnitCount() { return 1 + static_cast<int32>(mLayout.UnitNames().size()); }

tresult PLUGIN_API SingleComponent::getUnitInfo(int32 unitIndex, UnitInfo& info) {
  if (unitIndex < 0 || unitIndex >= getUnitCount()) return kInvalidArgument;
  info = UnitInfo();
  info.id = unitIndex;
  info.parentUnitId = unitIndex == 0 ? kNoParentUnitId : kRootUnitId;
  info.programListId = kNoProgramListId;
  Utf8ToUtf16(unitIndex == 0 ? std::string("Root") : mLayout.UnitNames()[static_cast<size_t>(unitIndex - 1)], info.name);
  return kResultOk;
}

int32 PLUGIN_API SingleComponent::getProgramListCount() { return 0; }

tresult PLUGIN_API SingleComponent::getProgramListInfo(int32 /*listIndex*/, ProgramListInfo& /*info*/) {
  return kInvalidArgument;
}

tresult PLUGIN_API SingleComponent::getProgramName(ProgramListID, int32, String128) { return kInvalidArgument; }

tresult PLUGIN_API SingleComponent::getProgramInfo(ProgramListID, int32, Vst::CString, String128) {
  return kInvalidArgument;
}

tresult PLUGIN_API SingleComponent::hasProgramPitchNames(ProgramListID, int32) { return kResultFalse; }

tresult PLUGIN_API SingleComponent::getProgramPitchName(ProgramListID, int32, int16, String128) {
  return kResultFalse;
}

UnitID PLUGIN_API SingleComponent::getSelectedUnit() { return mSelectedUnit; }

tresult PLUGIN_API SingleComponent::selectUnit(UnitID unitId) {
  if (unitId < 0 || unitId >= getUnitCount()) return kInvalidArgument;
  mSelectedUnit = unitId;
  return kResultOk;
}

tresult PLUGIN_API SingleComponent::getUnitByBus(MediaType type, BusDirection dir, int32 busIndex, int32 /*channel*/,
                                                 UnitID& unitId) {
  if (type != kEvent || dir != kInput || busIndex != 0) return kResultFalse;
  unitId = kRootUnitId;
  return kResultOk;
}

tresult PLUGIN_API SingleComponent::setUnitProgramData(int32, int32, IBStream*) { return kNotImplemented; }

}  // namespace fw::vst3
