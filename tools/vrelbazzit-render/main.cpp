// vrelbazzit-render: plays a Standard MIDI File through the instrument, offline,
// and writes the result as a stereo WAV file; the sound can start from a patch
// file or a factory patch and be saved as a patch file.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "CommandLine.h"
#include "FileChecks.h"
#include "Interruption.h"
#include "MidiFile.h"
#include "ParamArgs.h"
#include "PatchArgs.h"
#include "Renderer.h"
#include "WavWriter.h"
#include "engine/SynthCore.h"
#include "framework/offline/OfflineHost.h"
#include "plugin/VrelBazzit.h"
#include "plugin/patches.h"

namespace {

constexpr const char* kProgName = "vrelbazzit-render";
// Renders shorter than this much audio finish quickly enough to need no progress.
constexpr double kProgressAboveSeconds = 30.0;

int Fail(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgName, message.c_str());
  return 1;
}

// Prints the percentage each time another tenth is done: in place on a
// terminal, one line each otherwise.
class Progress {
public:
  explicit Progress(bool enabled) : mEnabled(enabled), mTty(isatty(STDERR_FILENO) != 0) {}
  void operator()(int64_t done, int64_t total) {
    if (!mEnabled) return;
    const int tenth = static_cast<int>(done * 10 / total);
    if (tenth <= mLastTenth) return;
    mLastTenth = tenth;
    std::fprintf(stderr, mTty ? "\r%s: %3d%%" : "%s: %d%%\n", kProgName, tenth * 10);
    if (mTty && tenth == 10) std::fputc('\n', stderr);
    std::fflush(stderr);
  }

private:
  bool mEnabled;
  bool mTty;
  int mLastTenth = 0;
};

int Run(int argc, char** argv) {
  const vbrender::CommandLineResult cl = vbrender::ParseCommandLine(argc, argv);
  if (cl.kind == vbrender::CommandLineResult::kHelp) {
    std::fputs(cl.text.c_str(), stdout);
    return 0;
  }
  if (cl.kind == vbrender::CommandLineResult::kError) {
    std::fprintf(stderr, "%s: %s\n", kProgName, cl.text.c_str());
    return 2;
  }
  const vbrender::RenderOptions& opt = cl.options;
  vbrender::InstallInterruptionCleanup();

  // Every path is checked before anything is read or written.
  std::string error;
  if (!vbrender::CheckRenderPaths(opt, error)) return Fail(error);
  vbrender::MidiFileData midi;
  if (!vbrender::ReadMidiFile(opt.input, midi, error)) return Fail(error);
  if (!opt.length && midi.lastEventSeconds + vbrender::kReleaseTailSeconds > vbrender::kMaxLengthSeconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", midi.lastEventSeconds);
    return Fail("\"" + opt.input + "\" plays for " + text + " s; with the 3 s tail that is longer than the " +
                std::to_string(static_cast<int>(vbrender::kMaxLengthSeconds)) +
                " s a render may last (give --length to render its start)");
  }
  if (!opt.quiet) {
    for (const std::string& w : midi.warnings)
      std::fprintf(stderr, "%s: warning: \"%s\": %s\n", kProgName, opt.input.c_str(), w.c_str());
  }

  const uint64_t seed = opt.seed ? *opt.seed : vrelbazzit::SynthCore::CreateCircuitSeed();
  auto plug = std::make_unique<vrelbazzit::VrelBazzit>(fw::InstanceInfo{});
  plug->SetCircuitSeed(seed);
  vrelbazzit::VrelBazzit& instrument = *plug;

  // The sound: a patch file or factory patch, then the --param values over it,
  // all set before processing starts, as a host restores a project.
  vbrender::StartingSound start;
  if (!vbrender::ChooseStartingSound(opt.patch, opt.factory, start, error)) return Fail(error);
  std::vector<vbrender::ParamAssignment> assignments;
  const std::vector<vbrender::ParamInfo> paramInfos = vbrender::DescribeParams(*plug);
  if (!vbrender::ParseParamArgs(opt.params, paramInfos, assignments, error)) return Fail(error);
  std::vector<vbrender::AutomationLane> automation;
  if (!vbrender::ParseAutomationArgs(opt.automate, paramInfos, automation, error)) return Fail(error);
  std::vector<std::pair<int, double>> plain;
  if (start.fromPatch) {
    for (int i = 0; i < vrelbazzit::kNumParams; ++i) plain.emplace_back(i, start.values[static_cast<size_t>(i)]);
  }
  for (const vbrender::ParamAssignment& a : assignments) plain.emplace_back(a.index, a.value);

  fw::OfflineHost host(std::move(plug));
  if (!plain.empty() && !host.RestorePlainValues(plain)) return Fail("the parameter values were refused");
  const vrelbazzit::Patch sound = instrument.CapturePatch();

  const double length = opt.length ? *opt.length : midi.lastEventSeconds + vbrender::kReleaseTailSeconds;
  vbrender::RenderSettings settings;
  settings.sampleRate = opt.rate;
  settings.blockSize = opt.block;
  settings.tempo = opt.tempo;
  settings.totalFrames = vbrender::FramesForLength(length, opt.rate);
  settings.eventTiming = opt.eventTiming;
  settings.automation = std::move(automation);

  vbrender::WavWriter writer;
  if (!writer.Open(opt.output, opt.rate, opt.format, settings.totalFrames, error)) return Fail(error);
  if (!opt.seed && !opt.quiet) std::fprintf(stderr, "seed: %llu\n", static_cast<unsigned long long>(seed));

  Progress progress(!opt.quiet && length > kProgressAboveSeconds);
  if (!vbrender::RenderMidi(host, midi.messages, settings, writer, std::ref(progress), error)) return Fail(error);
  if (writer.HadNonFinite()) return Fail("the instrument produced invalid samples (NaN or infinity)");
  const double peak = writer.Peak();
  // The patch first: if it cannot be written, the unfinished WAV is discarded too.
  if (opt.savePatch) {
    const std::string name = vbrender::SavedPatchName(start.name, !assignments.empty());
    if (!vrelbazzit::SavePatchFile<vrelbazzit::kNumParams>(opt.savePatch->c_str(), name, sound))
      return Fail("cannot write the patch file \"" + *opt.savePatch + "\"");
  }
  if (!writer.Commit(error)) return Fail(error);

  const bool integerFormat =
      opt.format == vbrender::SampleFormat::Pcm16 || opt.format == vbrender::SampleFormat::Pcm24;
  if (integerFormat && peak > 1.0 && !opt.quiet) {
    std::fprintf(stderr, "%s: warning: the output clipped (peak %+.1f dBFS)\n", kProgName,
                 20.0 * std::log10(peak));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // The driver throws on misuse; whatever escapes still ends in one line,
  // and the writer's destructor has removed any unfinished file by then.
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    return Fail(e.what());
  } catch (...) {
    return Fail("unexpected error");
  }
}
