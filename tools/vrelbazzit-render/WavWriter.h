// Stereo WAV output through libsndfile. The audio goes to a hidden temporary
// file beside the output and is renamed onto the output path only when
// everything was written, so a failed render never leaves a partial file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace vbrender {

enum class SampleFormat { Pcm16, Pcm24, Float32, Float64 };

// "16", "24", "float", "double".
bool ParseSampleFormat(const std::string& text, SampleFormat& out);
const char* SampleFormatName(SampleFormat format);

class WavWriter {
public:
  WavWriter() = default;
  ~WavWriter();  // discards an unfinished file
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Creates the temporary file. expectedFrames picks plain WAV or, for data
  // past the 4 GiB that WAV can hold, RF64.
  bool Open(const std::string& path, int sampleRate, SampleFormat format, int64_t expectedFrames,
            std::string& error);
  // Appends nFrames of two channels. Integer formats clip at full scale.
  bool Write(const double* left, const double* right, int nFrames, std::string& error);
  // Finishes the file and moves it onto the output path.
  bool Commit(std::string& error);
  // Closes and removes the temporary file (also done by the destructor).
  void Discard();

  const std::string& TempPath() const { return mTempPath; }
  int64_t FramesWritten() const { return mFrames; }
  // Largest absolute finite sample value written so far.
  double Peak() const { return mPeak; }
  // True once a NaN or infinite sample was written.
  bool HadNonFinite() const { return mNonFinite; }

private:
  SNDFILE* mFile = nullptr;
  std::string mPath, mTempPath;
  std::vector<double> mInterleaved;
  int64_t mFrames = 0;
  double mPeak = 0.0;
  bool mNonFinite = false;
};

}  // namespace vbrender
