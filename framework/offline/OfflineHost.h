// Plays the host's part without a host: owns one plug-in instance, restores
// plain parameter values the way a host's state restore does, sets up
// processing at a chosen rate and block size, and renders blocks through the
// same process-call sequence as the VST 3 binding (IPlugBase::Process): the
// block's parameter changes at its start, then its controllers and events,
// each at its sample offset (IMidiMsg::mOffset).
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "../plug/IPlugBase.h"

namespace fw {

struct OfflineParamChange {
  int paramIdx = 0;
  double value = 0.0;
  bool normalized = true;  // false: a plain value
};

struct OfflineBlock {
  std::optional<double> tempo;  // none: no process context, the previous tempo stays
  std::vector<OfflineParamChange> params;
  // Each at its mOffset inside the block; at the same offset, controllers
  // come before events, each list in its order.
  std::vector<IMidiMsg> controllers;  // control change, channel pressure, pitch bend
  std::vector<IMidiMsg> events;       // note on/off, polyphonic pressure
};

class OfflineHost {
public:
  // Throws std::invalid_argument for no plug-in or one with more than two outputs.
  explicit OfflineHost(std::unique_ptr<IPlugBase> plug);
  ~OfflineHost();

  IPlugBase& Plug() { return *mPlug; }

  // Before Start: sets plain values like a host state restore (value set, then
  // OnRestoreState). Returns false, changing nothing, for an unknown index or a
  // non-finite value, and once started.
  bool RestorePlainValues(const std::vector<std::pair<int, double>>& values);

  // Sets up processing: sample rate and block size stored, OnReset, processing on.
  // Started already: processing goes off first. Throws std::invalid_argument for
  // a sample rate or block size that is not positive.
  void Start(double sampleRate, int maxBlockSize);
  // Processing off, then OnReset (as hosts do).
  void Stop();
  bool IsStarted() const { return mStarted; }

  // Renders one block of nFrames (at most the max block size) into two
  // channels of the caller's buffers. Throws std::logic_error before Start and
  // std::invalid_argument for nFrames outside 0..max block size.
  void ProcessBlock(const OfflineBlock& block, double* left, double* right, int nFrames);

  // The main thread's idle tick (OnIdle).
  void Idle() { mPlug->OnIdle(); }

private:
  std::unique_ptr<IPlugBase> mPlug;
  bool mStarted = false;
  int mMaxBlockSize = 0;
  ITimeInfo mTimeInfo;                // fields a block does not set keep their values
  std::array<double*, 2> mOutputs{};  // the render call's output pointers, no allocation
};

}  // namespace fw
