#include "IPlugBase.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

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
  const bool wasActive = mProcessing.exchange(active, std::memory_order_acq_rel);
  // Changes deferred for an audio thread that will not come back are run now.
  if (wasActive && !active) DrainDeferredParamChanges();
}

bool IPlugBase::IsInProcessCall() const { return tProcessingPlug == this; }

void IPlugBase::InformHostOfTailChange() {
  // The host's handler may reconfigure the processor: never from the audio thread.
  if (IsInProcessCall() || mHost == nullptr) return;
  mHost->InformHostOfTailChange();
}

void IPlugBase::BeginProcess(const ITimeInfo* timeInfo) {
  tProcessingPlug = this;
  if (timeInfo) mTimeInfo = *timeInfo;
  DrainDeferredParamChanges();
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

void IPlugBase::Render(double** inputs, double** outputs, int nFrames) {
  ScopedNoDenormals noDenormals;
  ProcessBlock(inputs, outputs, nFrames);
}

void IPlugBase::EndProcess() {
  if (tProcessingPlug == this) tProcessingPlug = nullptr;
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
