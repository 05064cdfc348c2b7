#include "OfflineHost.h"

#include <cmath>
#include <stdexcept>

namespace fw {

OfflineHost::OfflineHost(std::unique_ptr<IPlugBase> plug) : mPlug(std::move(plug)) {
  if (!mPlug) throw std::invalid_argument("OfflineHost: no plug-in");
  // Blocks are rendered into two channels; a plug-in writing more would overrun them.
  if (mPlug->NOutChannels() > 2) throw std::invalid_argument("OfflineHost: more than two output channels");
}

OfflineHost::~OfflineHost() {
  if (mStarted) Stop();
}

bool OfflineHost::RestorePlainValues(const std::vector<std::pair<int, double>>& values) {
  if (mStarted) return false;
  // Validated as a whole first, so a bad entry leaves every parameter as it was.
  for (const auto& [idx, v] : values) {
    if (idx < 0 || idx >= mPlug->NParams() || !std::isfinite(v)) return false;
  }
  for (const auto& [idx, v] : values) mPlug->GetParam(idx)->Set(v);
  // As after a host's state restore: every parameter notified, then OnRestoreState.
  mPlug->NotifyParamsRestored();
  mPlug->OnRestoreState();
  return true;
}

void OfflineHost::Start(double sampleRate, int maxBlockSize) {
  if (!(sampleRate > 0.0) || !std::isfinite(sampleRate) || maxBlockSize <= 0)
    throw std::invalid_argument("OfflineHost::Start: sample rate and block size must be positive");
  if (mStarted) mPlug->SetProcessingActive(false);
  mPlug->SetSampleRate(sampleRate);
  mPlug->SetBlockSize(maxBlockSize);
  mMaxBlockSize = maxBlockSize;
  mPlug->OnReset();
  mPlug->SetProcessingActive(true);
  mStarted = true;
}

void OfflineHost::Stop() {
  if (!mStarted) return;
  mPlug->SetProcessingActive(false);
  mStarted = false;
  mPlug->OnReset();
}

void OfflineHost::ProcessBlock(const OfflineBlock& block, double* left, double* right, int nFrames) {
  if (!mStarted) throw std::logic_error("OfflineHost::ProcessBlock before Start");
  if (nFrames < 0 || nFrames > mMaxBlockSize)
    throw std::invalid_argument("OfflineHost::ProcessBlock: nFrames outside 0..max block size");

  IPlugBase& plug = *mPlug;
  const ITimeInfo* timeInfo = nullptr;
  if (block.tempo) {
    mTimeInfo.mTempo = *block.tempo;
    timeInfo = &mTimeInfo;
  }
  plug.BeginProcess(timeInfo);
  for (const OfflineParamChange& change : block.params) {
    if (change.normalized)
      plug.ApplyHostParamNormalized(change.paramIdx, change.value);
    else
      plug.ApplyHostParamPlain(change.paramIdx, change.value);
  }
  for (const IMidiMsg& msg : block.controllers) plug.ApplyHostMidi(msg);
  for (const IMidiMsg& msg : block.events) plug.ApplyHostMidi(msg);
  mOutputs[0] = left;
  mOutputs[1] = right;
  plug.Render(nullptr, mOutputs.data(), nFrames);
  plug.EndProcess();
}

}  // namespace fw
