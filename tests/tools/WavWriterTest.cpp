// WAV writing: what libsndfile reads back, and that failures leave no file.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "tools/vrelbazzit-render/WavWriter.h"

namespace vbrender {
namespace {

using test::TempDir;

struct ReadBack {
  bool ok = false;
  SF_INFO info{};
  std::vector<double> samples;  // interleaved
};

ReadBack ReadWav(const std::string& path) {
  ReadBack r;
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &r.info);
  if (f == nullptr) return r;
  r.samples.resize(static_cast<size_t>(r.info.frames * r.info.channels));
  r.ok = sf_readf_double(f, r.samples.data(), r.info.frames) == r.info.frames;
  sf_close(f);
  return r;
}

// Left: a ramp from -1 to just under 1 over 200 frames; right: a sine of
// 0.9 amplitude; then one frame over full scale at both ends.
void TestSignal(std::vector<double>& left, std::vector<double>& right) {
  left.clear();
  right.clear();
  for (int i = 0; i < 200; ++i) {
    left.push_back(-1.0 + i / 100.0);
    right.push_back(0.9 * std::sin(i * 0.1));
  }
  left.push_back(1.5);
  right.push_back(-1.5);
}

TEST(WavWriter, RoundTripInEveryFormat) {
  struct Case {
    const char* name;
    SampleFormat format;
    int subFormat;
    double tolerance;  // half a step of the format, or float rounding
    bool clips;
  };
  const Case cases[] = {
      {"16-bit", SampleFormat::Pcm16, SF_FORMAT_PCM_16, 1.0 / 32768.0, true},
      {"24-bit", SampleFormat::Pcm24, SF_FORMAT_PCM_24, 1.0 / 8388608.0, true},
      {"float", SampleFormat::Float32, SF_FORMAT_FLOAT, 1e-7, false},
      {"double", SampleFormat::Float64, SF_FORMAT_DOUBLE, 0.0, false},
  };
  std::vector<double> left, right;
  TestSignal(left, right);
  for (const Case& c : cases) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string path = dir / "out.wav";
    std::string error;
    {
      WavWriter w;
      ASSERT_TRUE(w.Open(path, 44100, c.format, 201, error)) << c.name << ": " << error;
      // Uneven pieces, as a last short block gives.
      ASSERT_TRUE(w.Write(left.data(), right.data(), 64, error)) << c.name << ": " << error;
      ASSERT_TRUE(w.Write(left.data() + 64, right.data() + 64, 100, error)) << c.name << ": " << error;
      ASSERT_TRUE(w.Write(left.data() + 164, right.data() + 164, 37, error)) << c.name << ": " << error;
      EXPECT_EQ(w.FramesWritten(), 201) << c.name;
      EXPECT_DOUBLE_EQ(w.Peak(), 1.5) << c.name;
      EXPECT_FALSE(w.HadNonFinite()) << c.name;
      ASSERT_TRUE(w.Commit(error)) << c.name << ": " << error;
    }
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.wav"}) << c.name << ": temporary file left";
    const ReadBack r = ReadWav(path);
    ASSERT_TRUE(r.ok) << c.name;
    EXPECT_EQ(r.info.format, SF_FORMAT_WAV | c.subFormat) << c.name;
    EXPECT_EQ(r.info.channels, 2) << c.name;
    EXPECT_EQ(r.info.samplerate, 44100) << c.name;
    ASSERT_EQ(r.info.frames, 201) << c.name;
    for (int i = 0; i < 200; ++i) {
      ASSERT_NEAR(r.samples[2 * size_t(i)], left[size_t(i)], c.tolerance) << c.name << ", left frame " << i;
      ASSERT_NEAR(r.samples[2 * size_t(i) + 1], right[size_t(i)], c.tolerance) << c.name << ", right frame " << i;
    }
    // Over full scale: integer formats clip to full scale, never wrap around.
    const double expectLeft = c.clips ? 1.0 : 1.5, expectRight = c.clips ? -1.0 : -1.5;
    EXPECT_NEAR(r.samples[400], expectLeft, 1e-4) << c.name << ": positive overload";
    EXPECT_NEAR(r.samples[401], expectRight, 1e-4) << c.name << ": negative overload";
  }
}

// Same audio, same bytes: nothing like a time stamp goes into the file. A
// PEAK chunk would hold one (to the second), so there must be none.
TEST(WavWriter, SameAudioGivesSameBytes) {
  std::vector<double> left, right;
  TestSignal(left, right);
  for (SampleFormat format : {SampleFormat::Pcm16, SampleFormat::Pcm24, SampleFormat::Float32, SampleFormat::Float64}) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    for (const char* name : {"a.wav", "b.wav"}) {
      WavWriter w;
      std::string error;
      ASSERT_TRUE(w.Open(dir / name, 48000, format, 201, error)) << error;
      ASSERT_TRUE(w.Write(left.data(), right.data(), 201, error)) << error;
      ASSERT_TRUE(w.Commit(error)) << error;
    }
    const std::vector<unsigned char> a = test::ReadBytes(dir / "a.wav");
    EXPECT_TRUE(a == test::ReadBytes(dir / "b.wav")) << SampleFormatName(format);
    const std::string text(a.begin(), a.end());
    EXPECT_EQ(text.find("PEAK"), std::string::npos) << SampleFormatName(format);
  }
}

// Past 4 GiB of data a WAV header cannot hold the size; such a render is
// started as RF64, which still reads back (as WAV when it stays small).
TEST(WavWriter, RenderAnnouncedPastFourGigabytesReadsBack) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  std::vector<double> left, right;
  TestSignal(left, right);
  WavWriter w;
  std::string error;
  ASSERT_TRUE(w.Open(dir / "big.wav", 384000, SampleFormat::Float64, int64_t(300) * 1000 * 1000, error)) << error;
  ASSERT_TRUE(w.Write(left.data(), right.data(), 200, error)) << error;
  ASSERT_TRUE(w.Commit(error)) << error;
  const ReadBack r = ReadWav(dir / "big.wav");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.info.frames, 200);
  EXPECT_EQ(r.info.samplerate, 384000);
  EXPECT_EQ(r.info.format & SF_FORMAT_SUBMASK, SF_FORMAT_DOUBLE);
  EXPECT_EQ(r.samples[2 * 150], left[150]);
}

TEST(WavWriter, NonFiniteSamplesAreNoticed) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  WavWriter w;
  std::string error;
  ASSERT_TRUE(w.Open(dir / "nan.wav", 48000, SampleFormat::Float32, 2, error)) << error;
  const double left[2] = {0.25, NAN}, right[2] = {-0.5, 0.0};
  ASSERT_TRUE(w.Write(left, right, 2, error)) << error;
  EXPECT_TRUE(w.HadNonFinite());
  EXPECT_DOUBLE_EQ(w.Peak(), 0.5);
}

TEST(WavWriter, UnfinishedFileLeavesNothingAndKeepsAnOldOutput) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir / "out.wav";
  test::WriteBytes(path, {'o', 'l', 'd'});
  const double zeros[4] = {};
  std::string error;
  {
    WavWriter w;
    ASSERT_TRUE(w.Open(path, 48000, SampleFormat::Pcm24, 4, error)) << error;
    ASSERT_TRUE(w.Write(zeros, zeros, 4, error)) << error;
    EXPECT_EQ(dir.List().size(), 2u) << "the temporary file sits beside the output";
  }  // destroyed without Commit
  EXPECT_EQ(dir.List(), std::vector<std::string>{"out.wav"});
  EXPECT_EQ(test::ReadBytes(path), (std::vector<unsigned char>{'o', 'l', 'd'}));

  // Committing replaces the old file.
  WavWriter w;
  ASSERT_TRUE(w.Open(path, 48000, SampleFormat::Pcm24, 4, error)) << error;
  ASSERT_TRUE(w.Write(zeros, zeros, 4, error)) << error;
  ASSERT_TRUE(w.Commit(error)) << error;
  EXPECT_EQ(ReadWav(path).info.frames, 4);
}

TEST(WavWriter, UnwritablePlacesFailWithMessageAndNoFile) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  test::WriteBytes(dir / "plain-file", {'x'});
  std::filesystem::create_directory(dir / "a-directory.wav");
  struct Case {
    const char* name;
    std::string path;
  };
  // Tests may run as root, to whom permission bits mean nothing: these
  // places cannot be written by anyone.
  const Case cases[] = {
      {"missing directory", dir / "no-such-dir/out.wav"},
      {"parent is a file", dir / "plain-file/out.wav"},
      {"output is a directory", dir / "a-directory.wav"},
  };
  for (const Case& c : cases) {
    WavWriter w;
    std::string error;
    EXPECT_FALSE(w.Open(c.path, 48000, SampleFormat::Pcm16, 100, error)) << c.name;
    EXPECT_NE(error.find(c.path), std::string::npos) << c.name << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << c.name << ": " << error;
    const double zeros[1] = {};
    EXPECT_FALSE(w.Write(zeros, zeros, 1, error)) << c.name;
    EXPECT_FALSE(w.Commit(error)) << c.name;
  }
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"a-directory.wav", "plain-file"}));
  EXPECT_TRUE(std::filesystem::is_empty(dir / "a-directory.wav"));
}

TEST(WavWriter, FormatNames) {
  struct Case {
    const char* text;
    bool ok;
    SampleFormat format;
  };
  const Case cases[] = {{"16", true, SampleFormat::Pcm16},     {"24", true, SampleFormat::Pcm24},
                        {"float", true, SampleFormat::Float32}, {"double", true, SampleFormat::Float64},
                        {"32", false, SampleFormat::Pcm16},     {"Float", false, SampleFormat::Pcm16},
                        {"", false, SampleFormat::Pcm16}};
  for (const Case& c : cases) {
    SampleFormat f = SampleFormat::Pcm16;
    EXPECT_EQ(ParseSampleFormat(c.text, f), c.ok) << '"' << c.text << '"';
    if (c.ok) {
      EXPECT_EQ(f, c.format) << c.text;
      EXPECT_STREQ(SampleFormatName(f), c.text);
    }
  }
}

}  // namespace
}  // namespace vbrender
