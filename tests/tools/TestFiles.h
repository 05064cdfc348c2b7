// Helpers for the renderer's tests: a temporary directory and small Standard
// MIDI Files.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tools/vrelbazzit-render/SmfWriter.h"

namespace vbrender::test {

using TempDir = vbtest::TempDir;

inline void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// One event of a file to write: track (0-based), time in ticks, raw bytes
// (a channel message, or a meta event starting with 0xFF, or sysex 0xF0).
struct MidiEvent {
  int track;
  int tick;
  std::vector<unsigned char> bytes;
};

inline std::vector<unsigned char> Tempo(int microsecondsPerQuarter) {
  return TempoEvent(static_cast<uint32_t>(microsecondsPerQuarter));
}

// Writes the events (in the given order within each track). endTick > 0 puts
// every track's end-of-track there.
inline bool WriteSmf(const std::string& path, int ppqn, int numTracks, const std::vector<MidiEvent>& events,
                     int endTick = 0) {
  std::vector<SmfTrack> tracks(static_cast<size_t>(numTracks));
  for (const MidiEvent& e : events) tracks.at(static_cast<size_t>(e.track)).events.push_back({e.tick, e.bytes});
  for (SmfTrack& t : tracks) t.endTick = endTick;
  return WriteSmfFile(path, ppqn, tracks);
}

}  // namespace vbrender::test
