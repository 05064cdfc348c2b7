#include "Renderer.h"

#include <algorithm>
#include <cmath>

namespace vbrender {

int64_t FramesForLength(double lengthSeconds, double sampleRate) {
  return std::max<int64_t>(1, std::llround(lengthSeconds * sampleRate));
}

bool RenderMidi(fw::OfflineHost& host, const std::vector<TimedMidiMsg>& messages,
                const RenderSettings& settings, WavWriter& writer, const ProgressFn& progress,
                std::string& error) {
  BlockScheduler scheduler(messages, settings.sampleRate, settings.tempo, settings.eventTiming, settings.automation);
  std::vector<double> left(static_cast<size_t>(settings.blockSize)), right(left.size());
  // The editor-side idle tick a host runs every 20 ms, here by audio time.
  const int64_t idleEvery = std::max<int64_t>(1, std::llround(0.02 * settings.sampleRate));
  int64_t nextIdle = idleEvery;

  host.Start(settings.sampleRate, settings.blockSize);
  bool ok = true;
  for (int64_t start = 0; start < settings.totalFrames; start += settings.blockSize) {
    const int n = static_cast<int>(std::min<int64_t>(settings.blockSize, settings.totalFrames - start));
    const fw::OfflineBlock block = scheduler.Next(start, n);
    std::fill(left.begin(), left.end(), 0.0);
    std::fill(right.begin(), right.end(), 0.0);
    host.ProcessBlock(block, left.data(), right.data(), n);
    if (!writer.Write(left.data(), right.data(), n, error)) {
      ok = false;
      break;
    }
    if (start + n >= nextIdle) {
      host.Idle();
      while (nextIdle <= start + n) nextIdle += idleEvery;
    }
    if (progress) progress(start + n, settings.totalFrames);
  }
  host.Stop();
  return ok;
}

std::vector<ParamInfo> DescribeParams(const fw::IPlugBase& plug) {
  std::vector<ParamInfo> infos;
  for (int i = 0; i < plug.NParams(); ++i) {
    const fw::IParam* p = plug.GetParam(i);
    ParamInfo info;
    info.name = p->GetName();
    info.min = p->GetMin();
    info.max = p->GetMax();
    info.stepped = p->IsStepped();
    if (p->Type() == fw::IParam::kTypeEnum || p->Type() == fw::IParam::kTypeBool) {
      for (double v = info.min; v <= info.max; v += 1.0) info.texts.push_back(p->GetDisplay(v, false));
    }
    infos.push_back(std::move(info));
  }
  return infos;
}

}  // namespace vbrender
