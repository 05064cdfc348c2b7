// Writing Standard MIDI Files, for the demo song and the tests: each event's
// bytes are written as given after its delta time (no running status), and
// every track ends with an end-of-track event.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vbrender {

// One event of a track: its tick and its bytes as they stand in the file
// after the delta time (a channel message; a meta event FF, type, length,
// data; a system exclusive message F0 or F7, length, data).
struct SmfEvent {
  int64_t tick = 0;
  std::vector<unsigned char> bytes;
};

struct SmfTrack {
  std::vector<SmfEvent> events;  // put in tick order, stable, when written
  int64_t endTick = 0;           // end of track: here, or at the last event if later
};

// The file's bytes: format 0 for one track, 1 for more.
std::vector<unsigned char> EncodeSmf(int ticksPerQuarter, const std::vector<SmfTrack>& tracks);

// Writes EncodeSmf's bytes to path; false when the file cannot be written.
bool WriteSmfFile(const std::string& path, int ticksPerQuarter, const std::vector<SmfTrack>& tracks);

// A tempo meta event.
std::vector<unsigned char> TempoEvent(uint32_t microsecondsPerQuarter);

}  // namespace vbrender
