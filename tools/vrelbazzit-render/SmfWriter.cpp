#include "SmfWriter.h"

#include <algorithm>
#include <fstream>

namespace vbrender {
namespace {

void PutVarLen(std::vector<unsigned char>& out, uint64_t value) {
  unsigned char groups[10];
  int n = 0;
  do {
    groups[n++] = static_cast<unsigned char>(value & 0x7F);
    value >>= 7;
  } while (value != 0 && n < 10);
  while (n > 1) out.push_back(static_cast<unsigned char>(groups[--n] | 0x80));
  out.push_back(groups[0]);
}

void PutBig(std::vector<unsigned char>& out, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

}  // namespace

std::vector<unsigned char> EncodeSmf(int ticksPerQuarter, const std::vector<SmfTrack>& tracks) {
  std::vector<unsigned char> out = {'M', 'T', 'h', 'd'};
  PutBig(out, 6, 4);
  PutBig(out, tracks.size() > 1 ? 1 : 0, 2);
  PutBig(out, static_cast<uint32_t>(tracks.size()), 2);
  PutBig(out, static_cast<uint32_t>(ticksPerQuarter), 2);
  for (const SmfTrack& track : tracks) {
    std::vector<SmfEvent> events = track.events;
    std::stable_sort(events.begin(), events.end(),
                     [](const SmfEvent& a, const SmfEvent& b) { return a.tick < b.tick; });
    std::vector<unsigned char> body;
    int64_t tick = 0;
    for (const SmfEvent& e : events) {
      PutVarLen(body, static_cast<uint64_t>(e.tick - tick));
      tick = e.tick;
      body.insert(body.end(), e.bytes.begin(), e.bytes.end());
    }
    PutVarLen(body, static_cast<uint64_t>(std::max(track.endTick, tick) - tick));
    body.insert(body.end(), {0xFF, 0x2F, 0x00});
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    PutBig(out, static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

bool WriteSmfFile(const std::string& path, int ticksPerQuarter, const std::vector<SmfTrack>& tracks) {
  const std::vector<unsigned char> bytes = EncodeSmf(ticksPerQuarter, tracks);
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  f.close();
  return !f.fail();
}

std::vector<unsigned char> TempoEvent(uint32_t microsecondsPerQuarter) {
  return {0xFF, 0x51, 0x03, static_cast<unsigned char>(microsecondsPerQuarter >> 16),
          static_cast<unsigned char>(microsecondsPerQuarter >> 8), static_cast<unsigned char>(microsecondsPerQuarter)};
}

}  // namespace vbrender
