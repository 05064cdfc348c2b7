// Reading Standard MIDI Files: times from the tempo map, which messages are
// kept, and refusal of files that are not valid MIDI.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "tools/vrelbazzit-render/MidiFile.h"

namespace vbrender {
namespace {

using test::SmfEvent;
using test::TempDir;

std::string Bytes(const fw::IMidiMsg& m) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02X %02X %02X", m.mStatus, m.mData1, m.mData2);
  return buf;
}

// ppqn 96: at 120 BPM a tick is 1/192 s, at 60 BPM 1/96 s.
TEST(ReadMidiFile, TimesFollowTempoChangesOfAnotherTrack) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir / "tempo.mid";
  ASSERT_TRUE(test::WriteSmf(path, 96, 2,
                             {{0, 0, test::Tempo(500000)},
                              {0, 192, test::Tempo(1000000)},  // 60 BPM from 1.0 s
                              {1, 96, {0x90, 60, 100}},         // 0.5 s
                              {1, 192, {0xB0, 64, 127}},        // 1.0 s
                              {1, 288, {0x80, 60, 0}},          // 1.0 s + 96 ticks at 60 BPM = 2.0 s
                              {1, 336, {0xE0, 0, 64}}},         // 2.5 s
                             960));  // end of track at 8.5 s, past the last message
  MidiFileData data;
  std::string error;
  ASSERT_TRUE(ReadMidiFile(path, data, error)) << error;
  const struct {
    double seconds;
    const char* bytes;
  } expected[] = {{0.5, "90 3C 64"}, {1.0, "B0 40 7F"}, {2.0, "80 3C 00"}, {2.5, "E0 00 40"}};
  ASSERT_EQ(data.messages.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_NEAR(data.messages[i].seconds, expected[i].seconds, 1e-9) << "message " << i;
    EXPECT_EQ(Bytes(data.messages[i].msg), expected[i].bytes) << "message " << i;
  }
  EXPECT_NEAR(data.lastEventSeconds, 2.5, 1e-9) << "the end-of-track event is not a channel message";
  EXPECT_TRUE(data.warnings.empty());
}

TEST(ReadMidiFile, KeepsEveryChannelMessageKindAndNothingElse) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir / "kinds.mid";
  ASSERT_TRUE(test::WriteSmf(path, 480, 1,
                             {{0, 0, {0xFF, 0x03, 0x04, 'n', 'a', 'm', 'e'}},
                              {0, 0, {0xF0, 0x03, 0x7E, 0x01, 0xF7}},
                              {0, 10, {0x93, 60, 100}},
                              {0, 20, {0xA3, 60, 50}},
                              {0, 30, {0xB3, 7, 90}},
                              {0, 40, {0xC3, 12}},
                              {0, 50, {0xD3, 33}},
                              {0, 60, {0xE3, 0x11, 0x22}},
                              {0, 70, {0x83, 60, 64}},
                              {0, 80, {0xFF, 0x01, 0x01, 'x'}}}));
  MidiFileData data;
  std::string error;
  ASSERT_TRUE(ReadMidiFile(path, data, error)) << error;
  const std::vector<std::string> expected = {"93 3C 64", "A3 3C 32", "B3 07 5A", "C3 0C 00",
                                             "D3 21 00", "E3 11 22", "83 3C 40"};
  std::vector<std::string> got;
  for (const TimedMidiMsg& m : data.messages) {
    got.push_back(Bytes(m.msg));
    EXPECT_EQ(m.msg.mOffset, 0);
  }
  EXPECT_EQ(got, expected);
}

TEST(ReadMidiFile, SameTickMessagesOfATrackKeepFileOrder) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir / "order.mid";
  // A repeated note: the off of the first must stay before the on of the second.
  ASSERT_TRUE(test::WriteSmf(path, 96, 1,
                             {{0, 0, {0x90, 60, 100}},
                              {0, 96, {0x80, 60, 0}},
                              {0, 96, {0xB0, 64, 0}},
                              {0, 96, {0x90, 60, 90}},
                              {0, 192, {0x80, 60, 0}}}));
  MidiFileData data;
  std::string error;
  ASSERT_TRUE(ReadMidiFile(path, data, error)) << error;
  std::vector<std::string> got;
  for (const TimedMidiMsg& m : data.messages) got.push_back(Bytes(m.msg));
  EXPECT_EQ(got, (std::vector<std::string>{"90 3C 64", "80 3C 00", "B0 40 00", "90 3C 5A", "80 3C 00"}));
}

TEST(ReadMidiFile, FileWithoutChannelMessagesIsEmptyNotAnError) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir / "meta-only.mid";
  ASSERT_TRUE(test::WriteSmf(path, 96, 1, {{0, 0, test::Tempo(500000)}}, 384));
  MidiFileData data;
  std::string error;
  ASSERT_TRUE(ReadMidiFile(path, data, error)) << error;
  EXPECT_TRUE(data.messages.empty());
  EXPECT_EQ(data.lastEventSeconds, 0.0);
}

// Hand-made bytes: header, then track chunks.
std::vector<unsigned char> Header(int format, int tracks, int division) {
  return {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<unsigned char>(format), 0,
          static_cast<unsigned char>(tracks), static_cast<unsigned char>(division >> 8),
          static_cast<unsigned char>(division)};
}

std::vector<unsigned char> Concat(std::vector<unsigned char> a, const std::vector<unsigned char>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(ReadMidiFile, RejectsBadFilesWithOneLineNamingFileAndProblem) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  std::filesystem::create_directory(dir / "a-directory.mid");
  struct Case {
    const char* name;
    const char* file;
    std::optional<std::vector<unsigned char>> bytes;  // none: not created by the case
    const char* problem;                              // expected in the message
  };
  const std::vector<unsigned char> ok = Concat(Header(0, 1, 96), {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0xFF, 0x2F, 0});
  const std::vector<Case> cases = {
      {"missing file", "missing.mid", std::nullopt, "cannot open"},
      {"directory", "a-directory.mid", std::nullopt, "not a regular file"},
      {"empty file", "empty.mid", std::vector<unsigned char>{}, "is empty"},
      {"text file", "text.mid", std::vector<unsigned char>{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'},
       "not a Standard MIDI File"},
      {"WAV file", "riff.mid", std::vector<unsigned char>{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'},
       "not a Standard MIDI File"},
      {"header cut short", "short.mid", std::vector<unsigned char>{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0},
       "cut short"},
      {"SMPTE timing", "smpte.mid", Concat(Header(0, 1, 0xE728), {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0xFF, 0x2F, 0}),
       "SMPTE"},
      {"zero ticks per quarter", "zero-ppqn.mid", Concat(Header(0, 1, 0), {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0xFF, 0x2F, 0}),
       "zero ticks"},
      {"no tracks declared", "no-tracks.mid", Header(0, 0, 96), "malformed"},
      {"track chunk missing", "no-chunk.mid", Header(0, 1, 96), "malformed"},
      {"track longer than the file", "truncated.mid",
       Concat(Header(0, 1, 96), {'M', 'T', 'r', 'k', 0, 0, 0, 0x40, 0, 0x90, 60, 100}), "malformed"},
      // The track ends without an end-of-track event: the parser library
      // asserts on this one.
      {"track without end of track", "no-eot.mid",
       Concat(Header(0, 1, 96), {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0x90, 60, 100}), "malformed"},
      {"data byte where a status byte must be", "bad-status.mid",
       Concat(Header(0, 1, 96), {'M', 'T', 'r', 'k', 0, 0, 0, 8, 0, 0x3C, 0x40, 0, 0xFF, 0x2F, 0, 0}), "malformed"},
      {"delta time too long", "long-delta.mid",
       Concat(Header(0, 1, 96), {'M', 'T', 'r', 'k', 0, 0, 0, 9, 0xFF, 0xFF, 0xFF, 0xFF, 0x90, 60, 100, 0xFF, 0x2F}),
       "malformed"},
      {"sysex longer than its track", "sysex.mid",
       Concat(Header(0, 1, 96), {'M', 'T', 'r', 'k', 0, 0, 0, 8, 0, 0xF0, 0x7F, 1, 2, 0, 0xFF, 0x2F}), "malformed"},
      {"second track missing", "one-of-two.mid", Concat(Header(1, 2, 96), {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0xFF, 0x2F, 0}),
       "malformed"},
  };
  // The well-formed base of the hand-made cases must itself be accepted.
  test::WriteBytes(dir / "ok.mid", ok);
  MidiFileData data;
  std::string error;
  ASSERT_TRUE(ReadMidiFile(dir / "ok.mid", data, error)) << error;

  for (const Case& c : cases) {
    const std::string path = dir / c.file;
    if (c.bytes) test::WriteBytes(path, *c.bytes);
    data.messages.push_back({1.0, fw::IMidiMsg::NoteOn(0, 60, 100)});  // must be cleared
    error.clear();
    EXPECT_FALSE(ReadMidiFile(path, data, error)) << c.name;
    EXPECT_NE(error.find(c.problem), std::string::npos) << c.name << ": " << error;
    EXPECT_NE(error.find(c.file), std::string::npos) << c.name << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << c.name << ": " << error;
    EXPECT_TRUE(data.messages.empty()) << c.name;
  }
}

}  // namespace
}  // namespace vbrender
