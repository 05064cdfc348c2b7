// Helpers for the renderer's tests: a temporary directory and small Standard
// MIDI Files written with libsmf.
#pragma once

#include <smf.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

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
struct SmfEvent {
  int track;
  int tick;
  std::vector<unsigned char> bytes;
};

inline std::vector<unsigned char> Tempo(int microsecondsPerQuarter) {
  return {0xFF, 0x51, 0x03, static_cast<unsigned char>(microsecondsPerQuarter >> 16),
          static_cast<unsigned char>(microsecondsPerQuarter >> 8),
          static_cast<unsigned char>(microsecondsPerQuarter)};
}

// Writes the events (in the given order within each track) with libsmf.
// endTick > 0 puts every track's end-of-track there.
inline bool WriteSmf(const std::string& path, int ppqn, int numTracks, const std::vector<SmfEvent>& events,
                     int endTick = 0) {
  smf_t* smf = smf_new();
  if (smf == nullptr) return false;
  bool ok = smf_set_ppqn(smf, ppqn) == 0;
  std::vector<smf_track_t*> tracks;
  for (int i = 0; i < numTracks && ok; ++i) {
    smf_track_t* t = smf_track_new();
    ok = t != nullptr;
    if (ok) {
      smf_add_track(smf, t);
      tracks.push_back(t);
    }
  }
  for (const SmfEvent& e : events) {
    if (!ok) break;
    std::vector<unsigned char> bytes = e.bytes;
    smf_event_t* ev = smf_event_new_from_pointer(bytes.data(), static_cast<int>(bytes.size()));
    ok = ev != nullptr;
    if (ok) smf_track_add_event_pulses(tracks.at(static_cast<size_t>(e.track)), ev, e.tick);
  }
  for (smf_track_t* t : tracks) {
    if (ok && endTick > 0) ok = smf_track_add_eot_pulses(t, endTick) == 0;
  }
  ok = ok && smf_save(smf, path.c_str()) == 0;
  smf_delete(smf);
  return ok;
}

}  // namespace vbrender::test
