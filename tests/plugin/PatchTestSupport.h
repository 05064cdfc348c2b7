// Helpers for the patch tests: a temporary directory, whole-file reads and
// writes, recorders standing in for the editor and the host, and a guard that
// makes file writes fail past a size.
#pragma once

#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "framework/plug/IPlugBase.h"

namespace vrelbazzit::test {

using TempDir = vbtest::TempDir;

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(text.data(), static_cast<std::streamsize>(text.size()));
}

inline std::string ReadText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// The editor's side: every parameter value sent from the delegate.
struct EditorRecorder : fw::IEditorSink {
  struct Sent {
    int paramIdx;
    double value;
    bool normalized;
  };
  std::vector<Sent> values;
  void OnControlMsgFromDelegate(int, int, int, const void*) override {}
  void OnParameterValueFromDelegate(int paramIdx, double value, bool normalized) override {
    values.push_back({paramIdx, value, normalized});
  }
};

// The host's side: every change the plug-in reports, and gesture brackets.
struct HostRecorder : fw::IHostSink {
  std::vector<std::pair<int, double>> changes;
  int gestures = 0;
  void BeginInformHostOfParamChange(int) override { ++gestures; }
  void InformHostOfParamChange(int paramIdx, double normalizedValue) override {
    changes.emplace_back(paramIdx, normalizedValue);
  }
  void EndInformHostOfParamChange(int) override { ++gestures; }
};

// While it lives, files written by this process cannot grow past maxBytes:
// writes beyond fail (SIGXFSZ ignored) as on a full disk.
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t maxBytes) {
    mOk = getrlimit(RLIMIT_FSIZE, &mOld) == 0;
    mOldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = mOld;
    limited.rlim_cur = maxBytes;
    mOk = mOk && setrlimit(RLIMIT_FSIZE, &limited) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &mOld);
    std::signal(SIGXFSZ, mOldHandler);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool Ok() const { return mOk; }

private:
  rlimit mOld{};
  void (*mOldHandler)(int) = nullptr;
  bool mOk = false;
};

}  // namespace vrelbazzit::test
