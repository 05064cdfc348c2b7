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

namespace {

// One OfflineBlock as a process call.
class BlockSource final : public IProcessSource {
public:
  BlockSource(const OfflineBlock& block, const ITimeInfo* timeInfo, double** outputs, int nFrames)
      : mBlock(block), mTimeInfo(timeInfo), mOutputs(outputs), mNFrames(nFrames) {}

  int NumFrames() const override { return mNFrames; }
  const ITimeInfo* TimeInfo() override { return mTimeInfo; }
  void DeliverParamChanges(IPlugBase& plug) override {
    for (const OfflineParamChange& change : mBlock.params) {
      if (change.normalized)
        plug.ApplyHostParamNormalized(change.paramIdx, change.value);
      else
        plug.ApplyHostParamPlain(change.paramIdx, change.value);
    }
  }
  void DeliverControllers(IPlugBase& plug) override {
    for (const IMidiMsg& msg : mBlock.controllers) plug.ApplyHostMidi(msg);
  }
  void DeliverEvents(IPlugBase& plug) override {
    for (const IMidiMsg& msg : mBlock.events) plug.ApplyHostMidi(msg);
  }
  void RenderOutputs(IPlugBase& plug) override { plug.Render(nullptr, mOutputs, mNFrames); }

private:
  const OfflineBlock& mBlock;
  const ITimeInfo* mTimeInfo;
  double** mOutputs;
  int mNFrames;
};

}  // namespace

void OfflineHost::ProcessBlock(const OfflineBlock& block, double* left, double* right, int nFrames) {
  if (!mStarted) throw std::logic_error("OfflineHost::ProcessBlock before Start");
  if (nFrames < 0 || nFrames > mMaxBlockSize)
    throw std::invalid_argument("OfflineHost::ProcessBlock: nFrames outside 0..max block size");

  const ITimeInfo* timeInfo = nullptr;
  if (block.tempo) {
    mTimeInfo.mTempo = *block.tempo;
    timeInfo = &mTimeInfo;
  }
  mOutputs[0] = left;
  mOutputs[1] = right;
  BlockSource source(block, timeInfo, mOutputs.data(), nFrames);
  mPlug->Process(source);
}

}  // namespace fw
