#include "CommandLine.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>

namespace vbrender {
namespace {

// CLI11 validators return an empty string when the value is fine.
std::string PositiveFinite(const std::string& text) {
  double v = 0.0;
  const char* first = text.data();
  const char* last = first + text.size();
  const auto [ptr, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || ptr != last || !std::isfinite(v) || v <= 0.0)
    return "\"" + text + "\" is not a positive number";
  return {};
}

}  // namespace

bool ParseSeed(const std::string& text, uint64_t& out) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* first = text.data() + (hex ? 2 : 0);
  const char* last = text.data() + text.size();
  if (first == last) return false;
  uint64_t v = 0;
  const auto [ptr, ec] = std::from_chars(first, last, v, hex ? 16 : 10);
  if (ec != std::errc() || ptr != last) return false;
  out = v;
  return true;
}

CommandLineResult ParseCommandLine(int argc, const char* const* argv) {
  CommandLineResult result;
  RenderOptions& o = result.options;
  std::string seedText, formatText = "24", timingText = "sample";
  std::optional<double> length;

  CLI::App app{"Renders a Standard MIDI File through the Vrel Bazzit instrument into a stereo WAV file.",
               "vrelbazzit-render"};
  app.add_option("INPUT", o.input, "Standard MIDI File to play")->required();
  app.add_option("OUTPUT", o.output, "WAV file to write")->required();
  app.add_option("--rate", o.rate, "Sample rate in Hz")
      ->check(CLI::Range(kMinRate, kMaxRate))
      ->capture_default_str();
  app.add_option("--block", o.block, "Block size in frames")->check(CLI::Range(1, kMaxBlock))->capture_default_str();
  app.add_option("--tempo", o.tempo, "Host tempo in BPM")->check(CLI::Validator(PositiveFinite, "BPM"))
      ->capture_default_str();
  CLI::Option* seedOption = app.add_option("--seed", seedText,
                 "Circuit seed, decimal or 0x-hex (default: a new one, printed to stderr)");
  app.add_option("--param", o.params,
                 "NAME=VALUE or INDEX=VALUE, plain value or display text; repeatable")
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--automate", o.automate,
                 "NAME=TIME:VALUE,TIME:VALUE,... times in seconds, values as --param takes them; each point "
                 "applied at the start of the block that holds it; repeatable")
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--event-timing", timingText,
                 "sample: each MIDI event at its own sample; block: every event at the start of its block")
      ->check(CLI::IsMember({"sample", "block"}))
      ->capture_default_str();
  app.add_option("--length", length, "Length in seconds (default: last MIDI event + 3 s)")
      ->check(CLI::Validator(PositiveFinite, "SECONDS"));
  app.add_option("--format", formatText, "Sample format: 16, 24, float or double")
      ->check(CLI::IsMember({"16", "24", "float", "double"}))
      ->capture_default_str();
  app.add_flag("--quiet,-q", o.quiet, "No progress or seed output");
  CLI::Option* patchOption =
      app.add_option("--patch", o.patch, "Patch file (.vbpatch) to start from, as a host restores a project")
          ->type_name("FILE");
  CLI::Option* factoryOption = app.add_option(
      "--factory", o.factory,
      "Factory patch to start from: index 0..17 (others are refused, not wrapped) or name, any case")
      ->type_name("N|NAME");
  patchOption->excludes(factoryOption);
  app.add_option("--save-patch", o.savePatch,
                 "Also write the rendered sound (after --patch/--factory and --param) as a patch file")
      ->type_name("FILE");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    result.kind = CommandLineResult::kHelp;
    result.text = app.help();
    return result;
  } catch (const CLI::ParseError& e) {
    result.kind = CommandLineResult::kError;
    result.text = e.what();
    return result;
  }

  if (seedOption->count() > 0) {
    uint64_t seed = 0;
    if (!ParseSeed(seedText, seed)) {
      result.text = "--seed: \"" + seedText + "\" is not an unsigned 64-bit number";
      return result;
    }
    o.seed = seed;
  }
  if (length && *length > kMaxLengthSeconds) {
    result.text = "--length: at most " + std::to_string(static_cast<int>(kMaxLengthSeconds)) + " seconds";
    return result;
  }
  o.length = length;
  ParseSampleFormat(formatText, o.format);
  o.eventTiming = timingText == "block" ? EventTiming::Block : EventTiming::Sample;
  result.kind = CommandLineResult::kRun;
  return result;
}

}  // namespace vbrender
