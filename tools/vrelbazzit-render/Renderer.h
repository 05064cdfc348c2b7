// The render loop: the MIDI file's messages through the offline driver into a
// WAV writer, block by block.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "BlockSchedule.h"
#include "MidiFile.h"
#include "ParamArgs.h"
#include "WavWriter.h"
#include "framework/offline/OfflineHost.h"

namespace vbrender {

struct RenderSettings {
  double sampleRate = 48000.0;
  int blockSize = 512;
  double tempo = 120.0;
  int64_t totalFrames = 0;
  EventTiming eventTiming = EventTiming::Sample;
  std::vector<AutomationLane> automation;
};

// Frames in lengthSeconds at sampleRate, rounded to nearest, at least 1.
int64_t FramesForLength(double lengthSeconds, double sampleRate);

// Called after each block with the frames done so far and the total.
using ProgressFn = std::function<void(int64_t done, int64_t total)>;

// Starts the host, renders totalFrames and stops it. Messages and automation
// points at or past the end are not played. The writer must be open; it is left uncommitted.
bool RenderMidi(fw::OfflineHost& host, const std::vector<TimedMidiMsg>& messages,
                const RenderSettings& settings, WavWriter& writer, const ProgressFn& progress,
                std::string& error);

// The plug-in's parameters as --param checking sees them.
std::vector<ParamInfo> DescribeParams(const fw::IPlugBase& plug);

}  // namespace vbrender
