#include "IPlugBase.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include "ScopedNoDenormals.h"

namespace fw {

namespace {

// The plug-in whose process call the current thread is inside, if any.
thread_local const IPlugBase* tProcessingPlug = nullptr;

// Reads "<in>-<out>" from the start of a channel I/O string such as "0-2".
// Anything after the first pair (further configurations) is not used. Counts
// above 64 are taken for typing mistakes.
bool ParseChannelIO(const char* s, int& nIn, int& nOut) {
  if (!s) return false;
  char* end = nullptr;
  const long in = std::strtol(s, &end, 10);
  if (end == s || *end != '-' || in < 0) return false;
  const char* outStart = end + 1;
  if (*outStart < '0' || *outStart > '9') return false;
  const long out = std::strtol(outStart, &end, 10);
  if (end == outStart || out < 0 || in > 64 || out > 64) return false;
  nIn = static_cast<int>(in);
  nOut = static_cast<int>(out);
  return true;
}

constexpr int kBytesPerValue = IPlugBase::kBytesPerParamValue;

void PutLittleEndianDouble(IByteChunk& chunk, double v) {
  const auto bits = std::bit_cast<uint64_t>(v);
  uint8_t bytes[kBytesPerValue];
  for (int i = 0; i < kBytesPerValue; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
  chunk.PutBytes(bytes, kBytesPerValue);
}

int GetLittleEndianDouble(const IByteChunk& chunk, double& v, int pos) {
  uint8_t bytes[kBytesPerValue];
  const int next = chunk.GetBytes(bytes, kBytesPerValue, pos);
  if (next < 0) return -1;
  uint64_t bits = 0;
  for (int i = 0; i < kBytesPerValue; ++i) bits |= static_cast<uint64_t>(bytes[i]) << (8 * i);
  v = std::bit_cast<double>(bits);
  return next;
}

}  // namespace

IPlugBase::IPlugBase(const InstanceInfo& /*info*/, const Config& config) : mConfig(config) {
  if (config.nParams < 0 || config.nParams > kMaxParams)
    throw std::invalid_argument("IPlugBase: nParams must be 0.." + std::to_string(kMaxParams));
  if (!ParseChannelIO(config.channelIOStr, mNInChans, mNOutChans))
    throw std::invalid_argument(std::string("IPlugBase: bad channel I/O string \"") +
                                (config.channelIOStr ? config.channelIOStr : "(null)") + "\"");
  mParams.reserve(static_cast<size_t>(config.nParams));
  for (int i = 0; i < config.nParams; ++i) mParams.push_back(std::make_unique<IParam>());
}

IPlugBase::~IPlugBase() {
  if (tProcessingPlug == this) tProcessingPlug = nullptr;
}

void IPlugBase::ProcessBlock(double** /*inputs*/, double** outputs, int nFrames) {
  if (!outputs || nFrames <= 0) return;
  for (int c = 0; c < mNOutChans; ++c) {
    if (!outputs[c]) continue;
    for (int s = 0; s < nFrames; ++s) outputs[c][s] = 0.0;
  }
}

void IPlugBase::OnRestoreState() {}

bool IPlugBase::SerializeParams(IByteChunk& chunk) const {
  for (const auto& p : mParams) PutLittleEndianDouble(chunk, p->Value());
  return true;
}

int IPlugBase::UnserializeParams(const IByteChunk& chunk, int startPos) {
  // Every value is read before any is applied, so a short chunk changes nothing.
  std::array<double, kMaxParams> values{};
  int pos = startPos;
  for (int i = 0; i < NParams(); ++i) {
    pos = GetLittleEndianDouble(chunk, values[static_cast<size_t>(i)], pos);
    if (pos < 0) return -1;
  }
  for (int i = 0; i < NParams(); ++i) mParams[static_cast<size_t>(i)]->Set(values[static_cast<size_t>(i)]);
  NotifyParamsRestored();
  return pos;
}

void IPlugBase::NotifyParamsRestored() {
  for (int i = 0; i < NParams(); ++i) {
    NotifyParamChange(i);
    OnParamChangeUI(i, kPresetRecall);
  }
}

void IPlugBase::NotifyParamChange(int paramIdx) {
  if (paramIdx < 0 || paramIdx >= NParams()) return;
  if (IsInProcessCall()) {
    OnParamChange(paramIdx);
    return;
  }
  std::lock_guard<std::recursive_mutex> lock(mDeferMutex);
  if (mProcessing.load(std::memory_order_acquire)) {
    mDeferred[static_cast<size_t>(paramIdx)].store(true, std::memory_order_release);
    mAnyDeferred.store(true, std::memory_order_release);
  } else {
    OnParamChange(paramIdx);
  }
}

void IPlugBase::SetProcessingActive(bool active) {
  std::lock_guard<std::recursive_mutex> lock(mDeferMutex);
  const bool wasActive = mProcessing.exchange(active, std::memory_order_seq_cst);
  if (wasActive && !active) {
    // A process call that saw processing on before the exchange is let finish;
    // one that starts now sees it off. Only then may the caller reset.
    while (mCallsInFlight.load(std::memory_order_seq_cst) != 0) std::this_thread::yield();
    // Changes deferred for an audio thread that will not come back are run now.
    DrainDeferredParamChanges();
  }
}

bool IPlugBase::IsInProcessCall() const { return tProcessingPlug == this; }

void IPlugBase::InformHostOfTailChange() {
  // The host's handler may reconfigure the processor: never from the audio thread.
  if (IsInProcessCall() || mHost == nullptr) return;
  mHost->InformHostOfTailChange();
}

bool IPlugBase::Process(IProcessSource& source) {
  if (!BeginProcess(source.TimeInfo(), source.NumFrames())) return false;
  source.DeliverParamChanges(*this);
  source.DeliverControllers(*this);
  source.DeliverEvents(*this);
  source.RenderOutputs(*this);
  EndProcess();
  return true;
}

bool IPlugBase::BeginProcess(const ITimeInfo* timeInfo, int nFrames) {
  // Announce the call before looking at the flag; SetProcessingActive(false)
  // clears the flag before looking at the count. With both sequentially
  // consistent, either this call sees processing off or the main thread waits.
  mCallsInFlight.fetch_add(1, std::memory_order_seq_cst);
  if (!mProcessing.load(std::memory_order_seq_cst)) {
    mCallsInFlight.fetch_sub(1, std::memory_order_seq_cst);
    return false;
  }
  tProcessingPlug = this;
  if (timeInfo) mTimeInfo = *timeInfo;
  mCallFrames = std::max(0, nFrames);
  mRenderedFrames = 0;
  mMidiQueue.Clear();
  DrainDeferredParamChanges();
  return true;
}

void IPlugBase::EndProcess() {
  if (tProcessingPlug != this) return;
  // Whatever was not rendered (a flush call without frames, a bypassed output)
  // still takes effect: messages are never dropped.
  ApplyDueBefore(IMidiQueue::kNone);
  tProcessingPlug = nullptr;
  mCallsInFlight.fetch_sub(1, std::memory_order_seq_cst);
}

void IPlugBase::DrainDeferredParamChanges() {
  // Lock-free: the flags are cleared before OnParamChange runs, so a change
  // marked meanwhile is seen by this drain or the next one.
  if (!mAnyDeferred.exchange(false, std::memory_order_acq_rel)) return;
  for (int i = 0; i < NParams(); ++i) {
    if (mDeferred[static_cast<size_t>(i)].exchange(false, std::memory_order_acq_rel)) OnParamChange(i);
  }
}

void IPlugBase::ApplyHostParamNormalized(int paramIdx, double normalized) {
  if (paramIdx < 0 || paramIdx >= NParams() || std::isnan(normalized)) return;
  mParams[static_cast<size_t>(paramIdx)]->SetNormalized(normalized);
  OnParamChange(paramIdx);
}

void IPlugBase::ApplyHostParamPlain(int paramIdx, double plain) {
  if (paramIdx < 0 || paramIdx >= NParams() || std::isnan(plain)) return;
  mParams[static_cast<size_t>(paramIdx)]->Set(plain);
  OnParamChange(paramIdx);
}

void IPlugBase::ApplyHostMidi(const IMidiMsg& msg) {
  IMidiMsg queued = msg;
  queued.mOffset = std::clamp(msg.mOffset, 0, std::max(0, mCallFrames - 1));
  if (!mMidiQueue.Add(queued)) ProcessMidiMsg(queued);
}

void IPlugBase::Render(double** inputs, double** outputs, int nFrames) {
  ScopedNoDenormals noDenormals;
  ProcessBlock(inputs, outputs, nFrames);
  mRenderedFrames += std::max(0, nFrames);
  // Messages the plug-in did not take on their frame take effect after it.
  ApplyDueBefore(mRenderedFrames);
}

int IPlugBase::ApplyMidiDueAt(int frame) {
  const int absolute = mRenderedFrames + std::max(0, frame);
  while (!mMidiQueue.Empty() && mMidiQueue.Peek().mOffset <= absolute) {
    ProcessMidiMsg(mMidiQueue.Peek());
    mMidiQueue.Remove();
  }
  return mMidiQueue.Empty() ? IMidiQueue::kNone : mMidiQueue.Peek().mOffset - mRenderedFrames;
}

void IPlugBase::ApplyDueBefore(int absoluteFrame) {
  while (!mMidiQueue.Empty() && mMidiQueue.Peek().mOffset < absoluteFrame) {
    ProcessMidiMsg(mMidiQueue.Peek());
    mMidiQueue.Remove();
  }
}

void IPlugBase::SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data) {
  if (mEditor) mEditor->OnControlMsgFromDelegate(ctrlTag, msgTag, dataSize, data);
}

void IPlugBase::SendParameterValueFromDelegate(int paramIdx, double value, bool normalized) {
  if (mEditor) mEditor->OnParameterValueFromDelegate(paramIdx, value, normalized);
}

void IPlugBase::SendParameterValueFromUI(int paramIdx, double normalizedValue) {
  if (paramIdx < 0 || paramIdx >= NParams() || std::isnan(normalizedValue)) return;
  IParam& param = *mParams[static_cast<size_t>(paramIdx)];
  param.SetNormalized(normalizedValue);
  if (mHost) mHost->InformHostOfParamChange(paramIdx, param.GetNormalized());
  NotifyParamChange(paramIdx);
  OnParamChangeUI(paramIdx, kUI);
}

void IPlugBase::BeginInformHostOfParamChangeFromUI(int paramIdx) {
  if (mHost) mHost->BeginInformHostOfParamChange(paramIdx);
}

void IPlugBase::EndInformHostOfParamChangeFromUI(int paramIdx) {
  if (mHost) mHost->EndInformHostOfParamChange(paramIdx);
}

}  // namespace fw
