// A VrelBazzit instance driven by the offline driver, with a fixed circuit
// seed, and helpers to render blocks with MIDI.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "framework/offline/OfflineHost.h"
#include "plugin/VrelBazzit.h"

namespace vrelbazzit::test {

constexpr uint64_t kTestSeed = 0x5EED5EED12345678ull;

class PluginHarness {
public:
  explicit PluginHarness(uint64_t seed = kTestSeed) {
    auto plug = std::make_unique<VrelBazzit>(fw::InstanceInfo{});
    mPlug = plug.get();
    mPlug->SetCircuitSeed(seed);
    mHost = std::make_unique<fw::OfflineHost>(std::move(plug));
  }

  VrelBazzit& Plug() { return *mPlug; }
  fw::OfflineHost& Host() { return *mHost; }
  const SynthCore& Synth() const { return mPlug->Synth(); }

  bool Restore(const std::vector<std::pair<int, double>>& plainValues) {
    return mHost->RestorePlainValues(plainValues);
  }
  void Start(double rate = 48000.0, int maxBlock = 512) {
    mHost->Start(rate, maxBlock);
    mMaxBlock = maxBlock;
  }

  // Renders one block and appends it to left/right.
  void Block(const fw::OfflineBlock& block, int nFrames) {
    mL.assign(static_cast<size_t>(nFrames), 0.0);
    mR.assign(static_cast<size_t>(nFrames), 0.0);
    mHost->ProcessBlock(block, mL.data(), mR.data(), nFrames);
    left.insert(left.end(), mL.begin(), mL.end());
    right.insert(right.end(), mR.begin(), mR.end());
  }

  // Renders nFrames in blocks of the max block size; the first block carries
  // the given events.
  void Render(int nFrames, const fw::OfflineBlock& first = {}) {
    bool firstBlock = true;
    while (nFrames > 0) {
      const int n = nFrames < mMaxBlock ? nFrames : mMaxBlock;
      Block(firstBlock ? first : fw::OfflineBlock{}, n);
      firstBlock = false;
      nFrames -= n;
    }
  }

  std::vector<double> left, right;

private:
  VrelBazzit* mPlug = nullptr;
  std::unique_ptr<fw::OfflineHost> mHost;
  int mMaxBlock = 512;
  std::vector<double> mL, mR;
};

inline fw::OfflineBlock Events(std::vector<fw::IMidiMsg> events, std::vector<fw::IMidiMsg> controllers = {}) {
  fw::OfflineBlock b;
  b.events = std::move(events);
  b.controllers = std::move(controllers);
  return b;
}

}  // namespace vrelbazzit::test
