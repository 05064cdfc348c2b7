// Standard MIDI File reading for the renderer: the file's channel messages as
// one flat, time-ordered list with times in seconds from the file's tempo map.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "framework/plug/IMidiMsg.h"

namespace vbrender {

struct TimedMidiMsg {
  double seconds = 0.0;  // from the start of the file
  fw::IMidiMsg msg;      // mOffset is 0
};

struct MidiFileData {
  // Channel messages (status 0x80..0xEF) in the order the tracks merge by
  // time; messages at the same time keep their file order (an earlier track
  // first, then the order within the track).
  std::vector<TimedMidiMsg> messages;
  // Time of the last channel message; 0 when there is none.
  double lastEventSeconds = 0.0;
  // Non-fatal complaints about the file, one line each.
  std::vector<std::string> warnings;
};

// Files larger than this are refused: a real MIDI file is far smaller.
inline constexpr long long kMaxMidiFileBytes = 64LL * 1024 * 1024;

// Loads a Standard MIDI File of format 0 or 1 with a ticks-per-quarter-note
// division. Refuses anything that is not a regular file without blocking on
// it (a FIFO, a device, a folder). On failure returns false and sets error to
// one line naming the file and the problem; never throws or aborts.
bool ReadMidiFile(const std::string& path, MidiFileData& out, std::string& error);

// The same for a file already in memory; name is used in messages only. Takes
// time O(n log n) in the file's size.
bool ParseMidiBytes(const unsigned char* data, std::size_t size, const std::string& name, MidiFileData& out,
                    std::string& error);
inline bool ParseMidiBytes(const std::vector<unsigned char>& bytes, const std::string& name, MidiFileData& out,
                           std::string& error) {
  return ParseMidiBytes(bytes.data(), bytes.size(), name, out, error);
}

}  // namespace vbrender
