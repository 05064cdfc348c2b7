// The renderer's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "BlockSchedule.h"
#include "WavWriter.h"

namespace vbrender {

inline constexpr int kMinRate = 8000;
inline constexpr int kMaxRate = 384000;
inline constexpr int kMaxBlock = 8192;
inline constexpr double kMaxLengthSeconds = 24.0 * 3600.0;
inline constexpr double kReleaseTailSeconds = 3.0;

struct RenderOptions {
  std::string input;
  std::string output;
  int rate = 48000;
  int block = 512;
  double tempo = 120.0;
  std::optional<uint64_t> seed;     // none: a fresh one
  std::vector<std::string> params;  // "NAME=VALUE" / "INDEX=VALUE", checked later
  std::vector<std::string> automate;  // "NAME=TIME:VALUE,...", checked later
  EventTiming eventTiming = EventTiming::Sample;
  std::optional<double> length;     // none: last MIDI event + release tail
  SampleFormat format = SampleFormat::Pcm24;
  bool quiet = false;
  // The sound before any --param: a patch file or a factory patch (index or
  // name), never both; none: the defaults. Checked later.
  std::optional<std::string> patch;
  std::optional<std::string> factory;
  std::optional<std::string> savePatch;  // write the rendered sound as a patch file
};

struct CommandLineResult {
  enum Kind { kRun, kHelp, kError } kind = kError;
  RenderOptions options;  // kRun
  std::string text;       // kHelp: the help; kError: one line
};

CommandLineResult ParseCommandLine(int argc, const char* const* argv);

// Decimal or 0x-prefixed hexadecimal, the whole string, within 64 bits.
bool ParseSeed(const std::string& text, uint64_t& out);

}  // namespace vbrender
