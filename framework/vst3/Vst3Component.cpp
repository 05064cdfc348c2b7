#include "Vst3Component.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Vst3Strings.h"
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

struct MappedInfo {
  const char* title;
  int32 stepCount;
  double defaultNormalized;
};

// Titles, steps and defaults of the MIDI-mapping parameters, in the order of
// kMappedControllers. Pitch bend rests at the centre.
constexpr std::array<MappedInfo, SingleComponent::kMappedControllers.size()> kMappedInfo = {{
    {"MIDI CC 1 Modulation", 127, 0.0},
    {"MIDI CC 64 Sustain", 127, 0.0},
    {"MIDI CC 120 All Sound Off", 127, 0.0},
    {"MIDI CC 123 All Notes Off", 127, 0.0},
    {"MIDI Channel Pressure", 127, 0.0},
    {"MIDI Pitch Bend", 16383, 0.5},
}};

// A normalised value as a whole number 0..steps (NaN gives 0).
int ToSteps(double normalized, int steps) {
  if (!(normalized > 0.0)) return 0;
  if (normalized >= 1.0) return steps;
  return static_cast<int>(RoundHalfAway(normalized * steps));
}

// The MIDI message a MIDI-mapping parameter stands for (channel 1).
IMidiMsg MappedMessage(CtrlNumber controller, double normalized) {
  switch (controller) {
    case kAfterTouch: return IMidiMsg::ChannelPressure(0, ToSteps(normalized, 127));
    case kPitchBend: return IMidiMsg::PitchBend(0, ToSteps(normalized, 16383));
    default: return IMidiMsg::ControlChange(0, controller, ToSteps(normalized, 127));
  }
}

bool IsValidPitch(int16 pitch) { return pitch >= 0 && pitch <= 127; }

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

SingleComponent::SingleComponent(std::unique_ptr<IPlugBase> plug)
    : mPlug(std::move(plug)), mNParams(mPlug->NParams()), mNOutChannels(std::clamp(mPlug->NOutChannels(), 1, 2)) {
  mParamUnits.assign(static_cast<size_t>(mNParams), kRootUnitId);
  for (int i = 0; i < mNParams; ++i) {
    const std::string group = mPlug->GetParam(i)->GetGroup();
    if (group.empty()) continue;
    auto it = std::find(mUnitNames.begin(), mUnitNames.end(), group);
    if (it == mUnitNames.end()) it = mUnitNames.insert(mUnitNames.end(), group);
    mParamUnits[static_cast<size_t>(i)] = static_cast<UnitID>(it - mUnitNames.begin()) + 1;
  }
  for (size_t k = 0; k < kMappedControllers.size(); ++k) mMidiValues[k].store(kMappedInfo[k].defaultNormalized);
  mPlug->SetHostSink(this);
}

SingleComponent::~SingleComponent() {
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
  // Hosts may initialise the object through both of its IPluginBase routes;
  // the first context is kept.
  std::lock_guard<std::mutex> lock(mHostMutex);
  if (!mHostContext && context) {
    mHostContext = context;
    mHostContext->addRef();
  }
  return kResultOk;
}

tresult PLUGIN_API SingleComponent::terminate() {
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

tresult PLUGIN_API SingleComponent::activateBus(MediaType type, BusDirection dir, int32 index, TBool state) {
  if (index != 0 || getBusCount(type, dir) == 0) return kInvalidArgument;
  (type == kAudio ? mOutputBusActive : mEventBusActive) = state != 0;
  return kResultOk;
}

tresult PLUGIN_API SingleComponent::setActive(TBool state) {
  if (state) {
    mPlug->SetProcessingActive(true);
  } else {
    // Deferred parameter changes run now; then the plug-in resets (processing off).
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
    const uint32_t bypass = mBypass.load() ? 1u : 0u;
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
    mBypass.store(ReadLE32(word) != 0);

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

tresult PLUGIN_API SingleComponent::process(ProcessData& data) {
  if (canProcessSampleSize(data.symbolicSampleSize) != kResultTrue || data.numSamples < 0) return kInvalidArgument;
  // Outside setActive(true) .. setActive(false) the main thread may be running
  // OnParamChange and OnReset itself.
  if (!mPlug->IsProcessingActive()) return kNotInitialized;

  mPlug->BeginProcess(ReadProcessContext(data.processContext));
  ApplyParameterChanges(data.inputParameterChanges);
  ApplyEvents(data.inputEvents);
  const tresult result = RenderOutputs(data);
  mPlug->EndProcess();
  return result;
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

void SingleComponent::ApplyParameterChanges(IParameterChanges* changes) {
  if (!changes) return;
  const int32 count = changes->getParameterCount();
  for (int32 i = 0; i < count; ++i) {
    IParamValueQueue* queue = changes->getParameterData(i);
    if (!queue) continue;
    const int32 points = queue->getPointCount();
    if (points <= 0) continue;
    int32 offset = 0;
    ParamValue value = 0.0;
    if (queue->getPoint(points - 1, offset, value) != kResultOk) continue;
    if (!std::isfinite(value)) continue;  // not a value; the parameter keeps its own
    ApplyHostValue(queue->getParameterId(), std::clamp(value, 0.0, 1.0));
  }
}

void SingleComponent::ApplyHostValue(ParamID id, double normalized) {
  int index = 0;
  switch (Classify(id, index)) {
    case IdKind::kPlug: mPlug->ApplyHostParamNormalized(index, normalized); break;
    case IdKind::kBypass: mBypass.store(normalized >= 0.5); break;
    case IdKind::kMidi:
      mMidiValues[static_cast<size_t>(index)].store(normalized);
      mPlug->ApplyHostMidi(MappedMessage(kMappedControllers[static_cast<size_t>(index)], normalized));
      break;
    case IdKind::kNone: break;
  }
}

void SingleComponent::ApplyEvents(IEventList* events) {
  if (!events) return;
  const int32 count = events->getEventCount();
  for (int32 i = 0; i < count; ++i) {
    Event e{};
    if (events->getEvent(i, e) != kResultOk || e.busIndex != 0) continue;
    switch (e.type) {
      case Event::kNoteOnEvent:
        if (IsValidPitch(e.noteOn.pitch))
          mPlug->ApplyHostMidi(IMidiMsg::NoteOn(e.noteOn.channel, e.noteOn.pitch, ToSteps(e.noteOn.velocity, 127)));
        break;
      case Event::kNoteOffEvent:
        if (IsValidPitch(e.noteOff.pitch)) mPlug->ApplyHostMidi(IMidiMsg::NoteOff(e.noteOff.channel, e.noteOff.pitch));
        break;
      case Event::kPolyPressureEvent:
        if (IsValidPitch(e.polyPressure.pitch))
          mPlug->ApplyHostMidi(IMidiMsg::PolyPressure(e.polyPressure.channel, e.polyPressure.pitch,
                                                      ToSteps(e.polyPressure.pressure, 127)));
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

  const bool bypass = mBypass.load(std::memory_order_relaxed);
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

SingleComponent::IdKind SingleComponent::Classify(ParamID id, int& index) const {
  if (id < static_cast<ParamID>(mNParams)) {
    index = static_cast<int>(id);
    return IdKind::kPlug;
  }
  if (id == BypassParamId()) return IdKind::kBypass;
  const ParamID first = MidiParamId(0);
  if (id >= first && id - first < kMappedControllers.size()) {
    index = static_cast<int>(id - first);
    return IdKind::kMidi;
  }
  return IdKind::kNone;
}

tresult SingleComponent::SetControllerState(IBStream* state) {
  // The controller keeps nothing of its own: the parameters live in the component.
  return state ? kResultOk : kInvalidArgument;
}

tresult SingleComponent::GetControllerState(IBStream* state) { return state ? kResultOk : kInvalidArgument; }

tresult PLUGIN_API SingleComponent::setComponentState(IBStream* state) {
  // One object: the component's setState has already set every value.
  return state ? kResultOk : kInvalidArgument;
}

int32 PLUGIN_API SingleComponent::getParameterCount() {
  return mNParams + 1 + static_cast<int32>(kMappedControllers.size());
}

tresult PLUGIN_API SingleComponent::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
  if (paramIndex < 0 || paramIndex >= getParameterCount()) return kInvalidArgument;
  info = ParameterInfo();
  const auto id = static_cast<ParamID>(paramIndex);
  info.id = id;
  int index = 0;
  switch (Classify(id, index)) {
    case IdKind::kPlug: {
      const IParam& p = *mPlug->GetParam(index);
      Utf8ToUtf16(p.GetName(), info.title);
      Utf8ToUtf16(p.GetName(), info.shortTitle);
      Utf8ToUtf16(p.GetLabel(), info.units);
      info.stepCount = p.GetStepCount();
      info.defaultNormalizedValue = p.GetDefault(true);
      info.unitId = mParamUnits[static_cast<size_t>(index)];
      info.flags = ParameterInfo::kCanAutomate | (p.Type() == IParam::kTypeEnum ? ParameterInfo::kIsList : 0);
      break;
    }
    case IdKind::kBypass:
      Utf8ToUtf16("Bypass", info.title);
      Utf8ToUtf16("Bypass", info.shortTitle);
      info.stepCount = 1;
      info.defaultNormalizedValue = 0.0;
      info.unitId = kRootUnitId;
      info.flags = ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass;
      break;
    case IdKind::kMidi: {
      const MappedInfo& m = kMappedInfo[static_cast<size_t>(index)];
      Utf8ToUtf16(m.title, info.title);
      Utf8ToUtf16(m.title, info.shortTitle);
      info.stepCount = m.stepCount;
      info.defaultNormalizedValue = m.defaultNormalized;
      info.unitId = kRootUnitId;
      info.flags = ParameterInfo::kIsHidden;
      break;
    }
    case IdKind::kNone: return kInvalidArgument;
  }
  return kResultOk;
}

tresult PLUGIN_API SingleComponent::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) {
  if (!string || !std::isfinite(valueNormalized)) return kInvalidArgument;
  const double n = std::clamp(valueNormalized, 0.0, 1.0);
  int index = 0;
  std::string text;
  switch (Classify(id, index)) {
    case IdKind::kPlug: {
      // The unit is published separately (ParameterInfo::units).
      const IParam& p = *mPlug->GetParam(index);
      text = p.GetDisplay(p.FromNormalized(n), false);
      break;
    }
    case IdKind::kBypass: text = n >= 0.5 ? "on" : "off"; break;
    case IdKind::kMidi: text = std::to_string(ToSteps(n, kMappedInfo[static_cast<size_t>(index)].stepCount)); break;
    case IdKind::kNone: return kInvalidArgument;
  }
  Utf8ToUtf16(text, string, 128);
  return kResultOk;
}

tresult PLUGIN_API SingleComponent::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) {
  if (!string) return kInvalidArgument;
  const std::string text = Utf16ToUtf8(string);
  int index = 0;
  switch (Classify(id, index)) {
    case IdKind::kPlug: {
      const IParam& p = *mPlug->GetParam(index);
      double plain = 0.0;
      if (!p.StringToValue(text, plain)) return kResultFalse;
      valueNormalized = p.ToNormalized(plain);
      return kResultOk;
    }
    case IdKind::kBypass:
      if (text != "on" && text != "off") return kResultFalse;
      valueNormalized = text == "on" ? 1.0 : 0.0;
      return kResultOk;
    case IdKind::kMidi: {
      const int steps = kMappedInfo[static_cast<size_t>(index)].stepCount;
      char* end = nullptr;
      const long v = std::strtol(text.c_str(), &end, 10);
      if (text.empty() || *end != '\0' || v < 0 || v > steps) return kResultFalse;
      valueNormalized = static_cast<double>(v) / steps;
      return kResultOk;
    }
    case IdKind::kNone: break;
  }
  return kInvalidArgument;
}

ParamValue PLUGIN_API SingleComponent::normalizedParamToPlain(ParamID id, ParamValue valueNormalized) {
  int index = 0;
  switch (Classify(id, index)) {
    case IdKind::kPlug: return mPlug->GetParam(index)->FromNormalized(valueNormalized);
    case IdKind::kMidi:
      return ToSteps(valueNormalized, kMappedInfo[static_cast<size_t>(index)].stepCount);
    case IdKind::kBypass: return valueNormalized >= 0.5 ? 1.0 : 0.0;
    case IdKind::kNone: break;
  }
  return valueNormalized;
}

ParamValue PLUGIN_API SingleComponent::plainParamToNormalized(ParamID id, ParamValue plainValue) {
  int index = 0;
  switch (Classify(id, index)) {
    case IdKind::kPlug: return mPlug->GetParam(index)->ToNormalized(plainValue);
    case IdKind::kMidi: {
      if (std::isnan(plainValue)) return 0.0;
      const double steps = kMappedInfo[static_cast<size_t>(index)].stepCount;
      return std::clamp(plainValue / steps, 0.0, 1.0);
    }
    case IdKind::kBypass: return plainValue >= 0.5 ? 1.0 : 0.0;
    case IdKind::kNone: break;
  }
  return std::isnan(plainValue) ? 0.0 : std::clamp(plainValue, 0.0, 1.0);
}

ParamValue PLUGIN_API SingleComponent::getParamNormalized(ParamID id) {
  int index = 0;
  switch (Classify(id, index)) {
    case IdKind::kPlug: return mPlug->GetParam(index)->GetNormalized();
    case IdKind::kBypass: return mBypass.load() ? 1.0 : 0.0;
    case IdKind::kMidi: return mMidiValues[static_cast<size_t>(index)].load();
    case IdKind::kNone: break;
  }
  return 0.0;
}

tresult PLUGIN_API SingleComponent::setParamNormalized(ParamID id, ParamValue value) {
  if (!std::isfinite(value)) return kInvalidArgument;
  const double n = std::clamp(value, 0.0, 1.0);
  int index = 0;
  switch (Classify(id, index)) {
    case IdKind::kPlug:
      // The host's own change (its editor, automation display): the value is
      // set, the engine follows (on the audio thread while processing), and
      // the editor shows it.
      mPlug->GetParam(index)->SetNormalized(n);
      mPlug->NotifyParamChange(index);
      mPlug->OnParamChangeUI(index, kHost);
      mPlug->SendParameterValueFromDelegate(index, mPlug->GetParam(index)->GetNormalized(), true);
      return kResultOk;
    case IdKind::kBypass: mBypass.store(n >= 0.5); return kResultOk;
    case IdKind::kMidi:
      // Shown value only; the message itself arrives with the process call.
      mMidiValues[static_cast<size_t>(index)].store(n);
      return kResultOk;
    case IdKind::kNone: break;
  }
  return kInvalidArgument;
}

tresult PLUGIN_API SingleComponent::setComponentHandler(IComponentHandler* handler) {
  std::lock_guard<std::mutex> lock(mHostMutex);
  if (handler == mHandler) return kResultOk;
  if (handler) handler->addRef();
  Release(mHandler);
  mHandler = handler;
  return kResultOk;
}

IPlugView* PLUGIN_API SingleComponent::createView(FIDString /*name*/) { return nullptr; }

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
  for (size_t k = 0; k < kMappedControllers.size(); ++k) {
    if (kMappedControllers[k] == midiControllerNumber) {
      id = MidiParamId(k);
      return kResultTrue;
    }
  }
  return kResultFalse;
}

// ---- IUnitInfo ------------------------------------------------------------------------------

int32 PLUGIN_API SingleComponent::getUnitCount() { return 1 + static_cast<int32>(mUnitNames.size()); }

tresult PLUGIN_API SingleComponent::getUnitInfo(int32 unitIndex, UnitInfo& info) {
  if (unitIndex < 0 || unitIndex >= getUnitCount()) return kInvalidArgument;
  info = UnitInfo();
  info.id = unitIndex;
  info.parentUnitId = unitIndex == 0 ? kNoParentUnitId : kRootUnitId;
  info.programListId = kNoProgramListId;
  Utf8ToUtf16(unitIndex == 0 ? std::string("Root") : mUnitNames[static_cast<size_t>(unitIndex - 1)], info.name);
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
