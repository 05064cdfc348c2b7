// libFuzzer target for the renderer's Standard MIDI File reader. Each input is
// taken as a whole file and checked against the reader's promises:
// - a refused file gives one line naming it, and no messages;
// - an accepted one gives channel messages only (status 0x80..0xEF, 7-bit
//   data, offset 0) with finite, non-negative times in nondecreasing order,
//   the last message's time as lastEventSeconds, at most one message for
//   every two bytes of the file (a delta time and a data byte is the shortest
//   message), and one-line warnings;
// - reading the same bytes again gives the same result.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "tools/vrelbazzit-render/MidiFile.h"

namespace {

bool SameMessages(const vbrender::MidiFileData& a, const vbrender::MidiFileData& b) {
  if (a.messages.size() != b.messages.size()) return false;
  for (size_t i = 0; i < a.messages.size(); ++i) {
    const vbrender::TimedMidiMsg &x = a.messages[i], &y = b.messages[i];
    if (x.seconds != y.seconds || x.msg.mStatus != y.msg.mStatus || x.msg.mData1 != y.msg.mData1 ||
        x.msg.mData2 != y.msg.mData2)
      return false;
  }
  return a.lastEventSeconds == b.lastEventSeconds && a.warnings == b.warnings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vbrender::MidiFileData midi;
  std::string error;
  const bool ok = vbrender::ParseMidiBytes(data, size, "fuzz.mid", midi, error);

  if (!ok) {
    FUZZ_CHECK(!error.empty());
    FUZZ_CHECK(error.find('\n') == std::string::npos);
    FUZZ_CHECK(error.find("\"fuzz.mid\"") != std::string::npos);
    FUZZ_CHECK(midi.messages.empty());
    FUZZ_CHECK(midi.lastEventSeconds == 0.0);
  } else {
    FUZZ_CHECK(midi.messages.size() <= size / 2);
    double previous = 0.0;
    for (const vbrender::TimedMidiMsg& m : midi.messages) {
      FUZZ_CHECK(std::isfinite(m.seconds));
      FUZZ_CHECK(m.seconds >= previous);
      previous = m.seconds;
      FUZZ_CHECK(m.msg.mStatus >= 0x80 && m.msg.mStatus <= 0xEF);
      FUZZ_CHECK(m.msg.mData1 < 0x80 && m.msg.mData2 < 0x80);
      FUZZ_CHECK(m.msg.mOffset == 0);
      const unsigned kind = m.msg.mStatus >> 4;
      if (kind == 0xC || kind == 0xD) FUZZ_CHECK(m.msg.mData2 == 0);
    }
    FUZZ_CHECK(midi.lastEventSeconds == (midi.messages.empty() ? 0.0 : midi.messages.back().seconds));
    for (const std::string& w : midi.warnings) FUZZ_CHECK(!w.empty() && w.find('\n') == std::string::npos);
  }

  vbrender::MidiFileData again;
  std::string errorAgain;
  FUZZ_CHECK(vbrender::ParseMidiBytes(data, size, "fuzz.mid", again, errorAgain) == ok);
  FUZZ_CHECK(errorAgain == error);
  FUZZ_CHECK(SameMessages(midi, again));
  return 0;
}
