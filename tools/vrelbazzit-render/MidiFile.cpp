// A Standard MIDI File reader in one pass over each track: running status,
// meta events (tempo kept, the rest skipped), system exclusive messages (F0)
// and escapes or continuations (F7) skipped by their length. The tracks'
// channel messages are merged by tick with a stable sort, and ticks become
// seconds through the tempo map in one walk, so the work is O(n log n) in the
// number of events and memory is linear in the file's size.
#include "MidiFile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "FileChecks.h"

namespace vbrender {
namespace {

constexpr uint32_t kDefaultMicrosecondsPerQuarter = 500000;  // 120 BPM until the first tempo event
constexpr int kMaxVarLenBytes = 4;                           // variable-length quantities hold 28 bits

// One channel message of a track at its tick.
struct TickedMsg {
  int64_t tick;
  uint8_t status, data1, data2;
};

struct TempoChange {
  int64_t tick;
  uint32_t microsecondsPerQuarter;
};

uint32_t Big32(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
unsigned Big16(const unsigned char* p) { return (unsigned(p[0]) << 8) | p[1]; }

// Reads one track chunk's events. Errors are texts without the file name.
class TrackReader {
public:
  TrackReader(const unsigned char* data, size_t size, int trackNumber)
      : mData(data), mSize(size), mTrack(trackNumber) {}

  bool Read(std::vector<TickedMsg>& messages, std::vector<TempoChange>& tempos, std::vector<std::string>& warnings,
            std::string& why) {
    int64_t tick = 0;
    uint8_t running = 0;  // the status a data byte continues; 0: none
    while (mPos < mSize) {
      uint32_t delta = 0;
      if (!VarLen(delta, "a delta time", why)) return false;
      tick += delta;
      if (mPos >= mSize) return Fail("an event is cut short after its delta time", why);
      uint8_t status = mData[mPos];
      if (status < 0x80) {
        if (running == 0) return Fail("a data byte (" + Hex(status) + ") where a status byte must be", why);
        status = running;  // running status: the byte is the first data byte
      } else {
        ++mPos;
      }

      if (status < 0xF0) {
        running = status;
        const int numData = (status >> 4) == 0xC || (status >> 4) == 0xD ? 1 : 2;
        if (mSize - mPos < static_cast<size_t>(numData)) return Fail("a channel message is cut short", why);
        uint8_t d[2] = {0, 0};
        for (int i = 0; i < numData; ++i) {
          d[i] = mData[mPos++];
          if (d[i] >= 0x80)
            return Fail("a channel message holds " + Hex(d[i]) + " where a data byte must be", why);
        }
        messages.push_back({tick, status, d[0], d[1]});
        continue;
      }

      if (status == 0xFF) {
        running = 0;  // meta events and system exclusive messages cancel running status
        if (mPos >= mSize) return Fail("a meta event is cut short", why);
        const uint8_t type = mData[mPos++];
        uint32_t length = 0;
        if (!VarLen(length, "a meta event's length", why)) return false;
        if (mSize - mPos < length) return Fail("a meta event runs past the end of its track", why);
        const unsigned char* body = mData + mPos;
        mPos += length;
        if (type == 0x2F) {
          if (mPos < mSize)
            warnings.push_back(std::to_string(mSize - mPos) + " bytes after the end of track " +
                               std::to_string(mTrack) + " are ignored");
          return true;
        }
        if (type == 0x51) {
          if (length != 3)
            return Fail("a tempo event has " + std::to_string(length) + " data bytes instead of 3", why);
          const uint32_t us = (uint32_t(body[0]) << 16) | (uint32_t(body[1]) << 8) | body[2];
          if (us == 0) return Fail("a tempo event sets 0 microseconds per quarter note", why);
          tempos.push_back({tick, us});
        }
        continue;
      }

      if (status == 0xF0 || status == 0xF7) {
        running = 0;
        uint32_t length = 0;
        if (!VarLen(length, "a system exclusive length", why)) return false;
        if (mSize - mPos < length) return Fail("a system exclusive message runs past the end of its track", why);
        mPos += length;
        continue;
      }

      // System common and real-time bytes do not belong in a file; they are
      // skipped with their data bytes, as a device on a MIDI cable would.
      static constexpr uint8_t kSystemDataBytes[16] = {0, 1, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
      const uint32_t numData = kSystemDataBytes[status & 0x0F];
      if (status < 0xF8) running = 0;
      if (mSize - mPos < numData) return Fail("a system message is cut short", why);
      mPos += numData;
    }
    return Fail("it ends without an end-of-track event", why);
  }

private:
  bool VarLen(uint32_t& value, const char* what, std::string& why) {
    value = 0;
    for (int i = 0; i < kMaxVarLenBytes; ++i) {
      if (mPos >= mSize) return Fail(std::string(what) + " is cut short", why);
      const uint8_t b = mData[mPos++];
      value = (value << 7) | (b & 0x7F);
      if ((b & 0x80) == 0) return true;
    }
    return Fail(std::string(what) + " is longer than 4 bytes", why);
  }

  bool Fail(const std::string& text, std::string& why) const {
    why = "track " + std::to_string(mTrack) + ": " + text + " (byte " + std::to_string(mPos) + " of the track)";
    return false;
  }

  static std::string Hex(uint8_t b) {
    static const char* kDigits = "0123456789ABCDEF";
    return std::string("0x") + kDigits[b >> 4] + kDigits[b & 0x0F];
  }

  const unsigned char* mData;
  size_t mSize;
  int mTrack;
  size_t mPos = 0;
};

// Tick to seconds along the tempo map, for ticks asked in nondecreasing order.
class TempoMap {
public:
  TempoMap(std::vector<TempoChange> changes, unsigned ticksPerQuarter)
      : mChanges(std::move(changes)), mTicksPerQuarter(ticksPerQuarter) {
    // Changes from every track, in tick order; of several at one tick the one
    // merged last wins, as it is applied last.
    std::stable_sort(mChanges.begin(), mChanges.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  }

  double Seconds(int64_t tick) {
    while (mNext < mChanges.size() && mChanges[mNext].tick <= tick) {
      mSegmentSeconds += Span(mChanges[mNext].tick - mSegmentTick);
      mSegmentTick = mChanges[mNext].tick;
      mMicroseconds = mChanges[mNext].microsecondsPerQuarter;
      ++mNext;
    }
    return mSegmentSeconds + Span(tick - mSegmentTick);
  }

private:
  double Span(int64_t ticks) const {
    return double(ticks) * double(mMicroseconds) / (1e6 * double(mTicksPerQuarter));
  }

  std::vector<TempoChange> mChanges;
  unsigned mTicksPerQuarter;
  size_t mNext = 0;
  int64_t mSegmentTick = 0;
  double mSegmentSeconds = 0.0;
  uint32_t mMicroseconds = kDefaultMicrosecondsPerQuarter;
};

std::string Plural(size_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

}  // namespace

bool ParseMidiBytes(const unsigned char* data, size_t size, const std::string& name, MidiFileData& out,
                    std::string& error) {
  out = MidiFileData{};
  const auto malformed = [&](const std::string& why) {
    error = Quoted(name) + " is malformed: " + why;
    out = MidiFileData{};
    return false;
  };
  if (size == 0) {
    error = Quoted(name) + " is empty";
    return false;
  }
  if (size < 4 || std::memcmp(data, "MThd", 4) != 0) {
    error = Quoted(name) + " is not a Standard MIDI File (no MThd header)";
    return false;
  }
  if (static_cast<long long>(size) > kMaxMidiFileBytes) {
    error = Quoted(name) + " is too large for a MIDI file";
    return false;
  }
  if (size < 14) return malformed("the file header is cut short");
  const uint32_t headerLength = Big32(data + 4);
  if (headerLength < 6) return malformed("the file header is cut short");
  if (headerLength > size - 8) return malformed("the file header runs past the end of the file");
  const unsigned format = Big16(data + 8);
  const unsigned numTracks = Big16(data + 10);
  const unsigned division = Big16(data + 12);
  if (format == 2) {
    error = Quoted(name) + " is a format 2 file (independent patterns), which is not supported";
    return false;
  }
  if (format > 2) return malformed("unknown format " + std::to_string(format));
  if (division & 0x8000) {
    error = Quoted(name) + " uses SMPTE time code timing, which is not supported";
    return false;
  }
  if (division == 0) return malformed("zero ticks per quarter note");
  if (numTracks == 0) return malformed("the header declares no tracks");

  std::vector<TickedMsg> messages;
  std::vector<TempoChange> tempos;
  size_t pos = 8 + size_t(headerLength);
  unsigned found = 0;
  while (found < numTracks) {
    if (size - pos < 8)
      return malformed("the header declares " + Plural(numTracks, "track") + " but the file holds " +
                       std::to_string(found));
    const bool isTrack = std::memcmp(data + pos, "MTrk", 4) == 0;
    const uint32_t length = Big32(data + pos + 4);
    pos += 8;
    if (length > size - pos) {
      if (isTrack)
        return malformed("track " + std::to_string(found + 1) + " is cut short (" + std::to_string(length) +
                         " bytes declared, " + std::to_string(size - pos) + " present)");
      return malformed("a chunk runs past the end of the file");
    }
    if (isTrack) {  // chunks of other types are skipped, as the format asks
      ++found;
      // A track's messages come in tick order, so appending keeps each track sorted.
      TrackReader reader(data + pos, length, static_cast<int>(found));
      std::string why;
      if (!reader.Read(messages, tempos, out.warnings, why)) return malformed(why);
    }
    pos += length;
  }

  // Tracks were appended in file order: a stable sort by tick merges them with
  // ties in file order.
  std::stable_sort(messages.begin(), messages.end(),
                   [](const TickedMsg& a, const TickedMsg& b) { return a.tick < b.tick; });
  TempoMap tempoMap(std::move(tempos), division);
  out.messages.reserve(messages.size());
  for (const TickedMsg& m : messages)
    out.messages.push_back({tempoMap.Seconds(m.tick), fw::IMidiMsg(0, m.status, m.data1, m.data2)});
  if (!out.messages.empty()) out.lastEventSeconds = out.messages.back().seconds;
  return true;
}

bool ReadMidiFile(const std::string& path, MidiFileData& out, std::string& error) {
  out = MidiFileData{};
  const int fd = OpenRegularFile(path, error);
  if (fd < 0) return false;
  const off_t end = lseek(fd, 0, SEEK_END);
  if (end < 0 || lseek(fd, 0, SEEK_SET) != 0) {
    error = "cannot read " + Quoted(path) + ": " + std::strerror(errno);
    close(fd);
    return false;
  }
  if (end > kMaxMidiFileBytes) {
    close(fd);
    error = Quoted(path) + " is too large for a MIDI file";
    return false;
  }
  std::vector<unsigned char> bytes(static_cast<size_t>(end));
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = "cannot read " + Quoted(path) + ": " + std::strerror(errno);
      close(fd);
      return false;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  bytes.resize(got);
  return ParseMidiBytes(bytes, path, out, error);
}

}  // namespace vbrender
