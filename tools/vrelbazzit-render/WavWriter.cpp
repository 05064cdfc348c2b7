#include "WavWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <sndfile.h>

#include "FileChecks.h"
#include "Interruption.h"

namespace vbrender {
namespace {

// The longest file name the usual file systems take, in bytes.
constexpr size_t kMaxNameBytes = 255;

int SubFormat(SampleFormat f) {
  switch (f) {
    case SampleFormat::Pcm16: return SF_FORMAT_PCM_16;
    case SampleFormat::Pcm24: return SF_FORMAT_PCM_24;
    case SampleFormat::Float32: return SF_FORMAT_FLOAT;
    case SampleFormat::Float64: return SF_FORMAT_DOUBLE;
  }
  return SF_FORMAT_PCM_24;
}

int BytesPerSample(SampleFormat f) {
  switch (f) {
    case SampleFormat::Pcm16: return 2;
    case SampleFormat::Pcm24: return 3;
    case SampleFormat::Float32: return 4;
    case SampleFormat::Float64: return 8;
  }
  return 3;
}

// The first bytes of a UTF-8 name, at most maxBytes, not cutting a character.
std::string Utf8Prefix(const std::string& name, size_t maxBytes) {
  if (name.size() <= maxBytes) return name;
  size_t end = maxBytes;
  while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
  return name.substr(0, end);
}

// Creates a new file with a random name next to path; returns its descriptor.
// The name is "." + the output's name + ".tmp-XXXXXXXX", with the output's name
// shortened when the whole would not fit in a file name.
int CreateTempBeside(const std::string& path, std::string& tempPath, std::string& error) {
  const std::filesystem::path out(path);
  const std::filesystem::path dir = out.has_parent_path() ? out.parent_path() : std::filesystem::path(".");
  std::random_device rd;
  int lastErrno = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".tmp-%08x", static_cast<unsigned>(rd()));
    const std::string stem = Utf8Prefix(out.filename().string(), kMaxNameBytes - 1 - std::strlen(suffix));
    tempPath = (dir / ("." + stem + suffix)).string();
    int fd = -1;
    {
      // Created and registered for removal as one step, as far as an
      // interruption can tell.
      InterruptionsHeld held;
      fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0) SetFileToRemoveOnInterruption(tempPath);
    }
    if (fd >= 0) {
      // A replaced file keeps its permissions.
      struct stat existing {};
      if (stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) (void)fchmod(fd, existing.st_mode & 07777);
      return fd;
    }
    lastErrno = errno;
    if (errno != EEXIST) break;
  }
  error = "cannot write " + Quoted(path) + ": " + std::strerror(lastErrno);
  tempPath.clear();
  return -1;
}

}  // namespace

bool ParseSampleFormat(const std::string& text, SampleFormat& out) {
  if (text == "16") out = SampleFormat::Pcm16;
  else if (text == "24") out = SampleFormat::Pcm24;
  else if (text == "float") out = SampleFormat::Float32;
  else if (text == "double") out = SampleFormat::Float64;
  else return false;
  return true;
}

const char* SampleFormatName(SampleFormat format) {
  switch (format) {
    case SampleFormat::Pcm16: return "16";
    case SampleFormat::Pcm24: return "24";
    case SampleFormat::Float32: return "float";
    case SampleFormat::Float64: return "double";
  }
  return "?";
}

WavWriter::~WavWriter() { Discard(); }

bool WavWriter::Open(const std::string& path, int sampleRate, SampleFormat format,
                     int64_t expectedFrames, std::string& error) {
  Discard();
  mPath = path;
  mFrames = 0;
  mPeak = 0.0;
  mNonFinite = false;
  if (!CheckReplaceable(path, error)) return false;
  const int fd = CreateTempBeside(path, mTempPath, error);
  if (fd < 0) return false;

  const double dataBytes = double(expectedFrames) * 2.0 * BytesPerSample(format);
  const bool large = dataBytes > 4.0e9;
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = 2;
  info.format = (large ? SF_FORMAT_RF64 : SF_FORMAT_WAV) | SubFormat(format);
  mFile = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (mFile == nullptr) {
    // sf_open_fd closes the descriptor itself when asked to own it.
    error = "cannot write " + Quoted(path) + ": " + sf_strerror(nullptr);
    Discard();
    return false;
  }
  if (large) sf_command(mFile, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
  // The PEAK chunk of float files carries the time of writing, which would make
  // two renders of the same audio differ.
  sf_command(mFile, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
  // Out-of-range samples clip instead of wrapping around in integer formats.
  sf_command(mFile, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  return true;
}

bool WavWriter::Write(const double* left, const double* right, int nFrames, std::string& error) {
  if (mFile == nullptr) {
    error = "cannot write " + Quoted(mPath) + ": the file is not open";
    return false;
  }
  mInterleaved.resize(static_cast<size_t>(nFrames) * 2);
  for (int i = 0; i < nFrames; ++i) {
    mInterleaved[2 * size_t(i)] = left[i];
    mInterleaved[2 * size_t(i) + 1] = right[i];
    for (const double v : {left[i], right[i]}) {
      if (!std::isfinite(v)) mNonFinite = true;
      else mPeak = std::max(mPeak, std::fabs(v));
    }
  }
  const sf_count_t written = sf_writef_double(mFile, mInterleaved.data(), nFrames);
  if (written != nFrames) {
    error = "cannot write " + Quoted(mPath) + ": " + sf_strerror(mFile);
    Discard();
    return false;
  }
  mFrames += nFrames;
  return true;
}

bool WavWriter::Commit(std::string& error) {
  if (mFile == nullptr) {
    error = "cannot write " + Quoted(mPath) + ": the file is not open";
    return false;
  }
  sf_write_sync(mFile);
  const int closeResult = sf_close(mFile);
  mFile = nullptr;
  if (closeResult != 0) {
    error = "cannot write " + Quoted(mPath) + ": " + sf_error_number(closeResult);
    Discard();
    return false;
  }
  // Checked again: the path may have changed since Open.
  if (!CheckReplaceable(mPath, error)) {
    Discard();
    return false;
  }
  if (std::rename(mTempPath.c_str(), mPath.c_str()) != 0) {
    error = "cannot write " + Quoted(mPath) + ": " + std::strerror(errno);
    Discard();
    return false;
  }
  mTempPath.clear();
  SetFileToRemoveOnInterruption({});
  return true;
}

void WavWriter::Discard() {
  if (mFile != nullptr) {
    sf_close(mFile);
    mFile = nullptr;
  }
  if (!mTempPath.empty()) {
    std::remove(mTempPath.c_str());
    mTempPath.clear();
    SetFileToRemoveOnInterruption({});
  }
}

}  // namespace vbrender
