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

using test::MidiEvent;
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

// A track chunk around the given event bytes (which must hold their own end
// of track where one is wanted).
std::vector<unsigned char> Track(const std::vector<unsigned char>& events) {
  const size_t n = events.size();
  return Concat({'M', 'T', 'r', 'k', static_cast<unsigned char>(n >> 24), static_cast<unsigned char>(n >> 16),
                 static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n)},
                events);
}

const std::vector<unsigned char> kEndOfTrack = {0, 0xFF, 0x2F, 0};

std::vector<std::string> Describe(const MidiFileData& data) {
  std::vector<std::string> out;
  for (const TimedMidiMsg& m : data.messages) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f %s", m.seconds, Bytes(m.msg).c_str());
    out.push_back(buf);
  }
  return out;
}

// Valid files built byte by byte, each with the messages it must give. At
// 96 ticks per quarter and the default 120 BPM a tick is 1/192 s.
TEST(ParseMidiBytes, ReadsEveryValidEventForm) {
  struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"running status continues notes and controllers",
       Concat(Header(0, 1, 96), Track(Concat({0, 0x90, 60, 100, 96, 62, 101, 0, 0xB1, 64, 127, 96, 64, 0}, kEndOfTrack))),
       {"0.000000 90 3C 64", "0.500000 90 3E 65", "0.500000 B1 40 7F", "1.000000 B1 40 00"}},
      {"running status of one-data-byte messages",
       Concat(Header(0, 1, 96), Track(Concat({0, 0xD2, 5, 48, 6, 0, 0xC0, 7, 0, 8}, kEndOfTrack))),
       {"0.000000 D2 05 00", "0.250000 D2 06 00", "0.250000 C0 07 00", "0.250000 C0 08 00"}},
      {"a system exclusive message with a two-byte length",
       [] {
         std::vector<unsigned char> events = {0, 0xF0, 0x81, 0x00};  // 128 bytes follow
         for (int i = 0; i < 127; ++i) events.push_back(static_cast<unsigned char>(i));
         events.push_back(0xF7);
         return Concat(Header(0, 1, 96), Track(Concat(Concat(events, {0, 0x90, 60, 1}), kEndOfTrack)));
       }(),
       {"0.000000 90 3C 01"}},
      {"a system exclusive message split into a packet and a continuation",
       Concat(Header(0, 1, 96),
              Track(Concat({0, 0xF0, 3, 0x43, 0x12, 0x00, 48, 0xF7, 3, 0x43, 0x12, 0xF7, 0, 0x80, 60, 0}, kEndOfTrack))),
       {"0.250000 80 3C 00"}},
      {"an escape event with real-time bytes inside",
       Concat(Header(0, 1, 96), Track(Concat({0, 0xF7, 2, 0xF8, 0xFA, 0, 0x90, 60, 1}, kEndOfTrack))),
       {"0.000000 90 3C 01"}},
      {"meta events of every length are skipped; sequence name, marker, key",
       Concat(Header(0, 1, 96),
              Track(Concat({0, 0xFF, 0x03, 0, 0, 0xFF, 0x06, 3, 'a', 'b', 'c', 0, 0xFF, 0x59, 2, 0, 0, 0, 0x90, 60, 1},
                           kEndOfTrack))),
       {"0.000000 90 3C 01"}},
      {"a stray real-time byte is skipped and keeps running status",
       Concat(Header(0, 1, 96), Track(Concat({0, 0x90, 60, 1, 0, 0xF8, 0, 61, 2}, kEndOfTrack))),
       {"0.000000 90 3C 01", "0.000000 90 3D 02"}},
      {"a four-byte delta time, the longest there is",
       Concat(Header(0, 1, 96), Track(Concat({0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 1}, kEndOfTrack))),
       {"1398101.328125 90 3C 01"}},  // 2^28 - 1 ticks
      {"a longer header is read by its length",
       Concat({'M', 'T', 'h', 'd', 0, 0, 0, 8, 0, 0, 0, 1, 0, 96, 0xAB, 0xCD},
              Track(Concat({0, 0x90, 60, 1}, kEndOfTrack))),
       {"0.000000 90 3C 01"}},
      {"a chunk of an unknown type is skipped",
       Concat(Concat(Header(1, 1, 96), {'X', 'F', 'I', 'H', 0, 0, 0, 3, 'a', 'b', 'c'}),
              Track(Concat({0, 0x90, 60, 1}, kEndOfTrack))),
       {"0.000000 90 3C 01"}},
      {"format 0 with two tracks merges them",
       Concat(Concat(Header(0, 2, 96), Track(Concat({96, 0x90, 60, 1}, kEndOfTrack))),
              Track(Concat({48, 0x90, 61, 1, 48, 0x90, 62, 1}, kEndOfTrack))),
       {"0.250000 90 3D 01", "0.500000 90 3C 01", "0.500000 90 3E 01"}},
      {"tempo changes at one tick in two tracks: the later track's wins",
       // Track 1 asks for 1 s per quarter, track 2 for 0.25 s, both at tick 0.
       Concat(Concat(Header(1, 2, 96), Track(Concat({0, 0xFF, 0x51, 3, 0x0F, 0x42, 0x40}, kEndOfTrack))),
              Track(Concat({0, 0xFF, 0x51, 3, 0x03, 0xD0, 0x90, 96, 0x90, 60, 1}, kEndOfTrack))),
       {"0.250000 90 3C 01"}},
      {"a tempo change halfway through a delta",
       // 96 ticks at 120 BPM, then 0.25 s per quarter from tick 48 on.
       Concat(Concat(Header(1, 2, 96), Track(Concat({48, 0xFF, 0x51, 3, 0x03, 0xD0, 0x90}, kEndOfTrack))),
              Track(Concat({96, 0x90, 60, 1}, kEndOfTrack))),
       {"0.375000 90 3C 01"}},
      {"bytes after the end of track are ignored",
       Concat(Header(0, 1, 96), Track(Concat(Concat({0, 0x90, 60, 1}, kEndOfTrack), {0, 0x90, 62, 1}))),
       {"0.000000 90 3C 01"}},
  };
  for (const Case& c : cases) {
    MidiFileData data;
    std::string error;
    ASSERT_TRUE(ParseMidiBytes(c.bytes, "case.mid", data, error)) << c.name << ": " << error;
    EXPECT_EQ(Describe(data), c.expected) << c.name;
  }
}

TEST(ParseMidiBytes, WarnsAboutBytesAfterTheEndOfTrack) {
  MidiFileData data;
  std::string error;
  ASSERT_TRUE(ParseMidiBytes(Concat(Header(0, 1, 96), Track(Concat(kEndOfTrack, {0, 0x90, 62, 1}))), "x.mid", data,
                             error))
      << error;
  ASSERT_EQ(data.warnings.size(), 1u);
  EXPECT_NE(data.warnings[0].find("4 bytes after the end of track 1"), std::string::npos) << data.warnings[0];
}

TEST(ParseMidiBytes, RefusesBrokenEventsWithTheTrackNamed) {
  struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
    const char* problem;
  };
  const std::vector<Case> cases = {
      {"format 2", Concat(Header(2, 1, 96), Track(kEndOfTrack)), "format 2"},
      {"format 3", Concat(Header(3, 1, 96), Track(kEndOfTrack)), "unknown format 3"},
      {"running status after a meta event",
       Concat(Header(0, 1, 96), Track(Concat({0, 0x90, 60, 1, 0, 0xFF, 0x01, 1, 'x', 0, 61, 1}, kEndOfTrack))),
       "track 1: a data byte (0x3D) where a status byte must be"},
      {"running status after a system exclusive message",
       Concat(Header(0, 1, 96), Track(Concat({0, 0x90, 60, 1, 0, 0xF0, 1, 0xF7, 0, 61, 1}, kEndOfTrack))),
       "a data byte (0x3D)"},
      {"a status byte inside a channel message",
       Concat(Header(0, 1, 96), Track(Concat({0, 0x90, 60, 0x90, 60, 1}, kEndOfTrack))),
       "a channel message holds 0x90"},
      {"a channel message cut by the end of its track", Concat(Header(0, 1, 96), Track({0, 0x90, 60})),
       "a channel message is cut short"},
      {"a meta event longer than its track",
       Concat(Header(0, 1, 96), Track({0, 0xFF, 0x01, 9, 'a', 'b'})), "a meta event runs past the end"},
      {"a tempo event of two bytes",
       Concat(Header(0, 1, 96), Track(Concat({0, 0xFF, 0x51, 2, 7, 0xA1}, kEndOfTrack))), "2 data bytes instead of 3"},
      {"a tempo of zero", Concat(Header(0, 1, 96), Track(Concat({0, 0xFF, 0x51, 3, 0, 0, 0}, kEndOfTrack))),
       "0 microseconds"},
      {"an escape longer than its track", Concat(Header(0, 1, 96), Track({0, 0xF7, 5, 1, 2})),
       "system exclusive message runs past the end"},
      {"a sysex length of five bytes",
       Concat(Header(0, 1, 96), Track(Concat({0, 0xF0, 0x80, 0x80, 0x80, 0x80, 0x01}, kEndOfTrack))),
       "system exclusive length is longer than 4 bytes"},
      {"a delta time cut by the end of its track", Concat(Header(0, 1, 96), Track({0x81})), "delta time is cut short"},
      {"an unknown chunk past the end of the file",
       Concat(Header(0, 1, 96), {'X', 'X', 'X', 'X', 0, 0, 0, 9, 1}), "a chunk runs past the end"},
      {"the second of two tracks without an end of track",
       Concat(Concat(Header(1, 2, 96), Track(kEndOfTrack)), Track({0, 0x90, 60, 1})),
       "track 2: it ends without an end-of-track event"},
  };
  for (const Case& c : cases) {
    MidiFileData data;
    std::string error;
    EXPECT_FALSE(ParseMidiBytes(c.bytes, "case.mid", data, error)) << c.name;
    EXPECT_NE(error.find(c.problem), std::string::npos) << c.name << ": " << error;
    EXPECT_EQ(error.rfind("\"case.mid\" ", 0), 0u) << c.name << ": " << error;
    EXPECT_TRUE(data.messages.empty()) << c.name;
  }
}

// 16 384 tracks of one note each, the note of track k at tick (k mod 4):
// the merge orders them by tick and, within a tick, by track.
TEST(ParseMidiBytes, ManyTracksMergeByTickThenTrack) {
  constexpr int kTracks = 16384;
  std::vector<unsigned char> bytes = Header(1, 0, 96);
  bytes[10] = static_cast<unsigned char>(kTracks >> 8);
  bytes[11] = static_cast<unsigned char>(kTracks & 0xFF);
  for (int k = 0; k < kTracks; ++k) {
    const auto note = static_cast<unsigned char>(k % 128);
    const auto velocity = static_cast<unsigned char>(1 + (k / 128) % 127);
    const std::vector<unsigned char> track =
        Track(Concat({static_cast<unsigned char>(k % 4), 0x90, note, velocity}, kEndOfTrack));
    bytes.insert(bytes.end(), track.begin(), track.end());
  }
  MidiFileData data;
  std::string error;
  ASSERT_TRUE(ParseMidiBytes(bytes, "many.mid", data, error)) << error;
  ASSERT_EQ(data.messages.size(), size_t(kTracks));
  size_t i = 0;
  for (int tick = 0; tick < 4; ++tick) {
    for (int k = tick; k < kTracks; k += 4, ++i) {
      ASSERT_EQ(data.messages[i].seconds, tick / 192.0) << "message " << i;
      ASSERT_EQ(data.messages[i].msg.mData1, k % 128) << "message " << i;
      ASSERT_EQ(data.messages[i].msg.mData2, 1 + (k / 128) % 127) << "message " << i;
    }
  }
}

// A file of several megabytes: eight tracks of 100 000 notes each (on and off
// by running status), the conductor track changing the tempo every 960 ticks
// between 120 and 60 BPM. Each message's time follows from the tempo map by
// hand: whole 960-tick spans alternate 5 s and 10 s at 96 ticks per quarter.
TEST(ParseMidiBytes, SeveralMegabyteFileKeepsOrderAndTimes) {
  constexpr int kNotesPerTrack = 100000, kTracks = 8, kStep = 24;  // a note every 24 ticks
  std::vector<std::vector<unsigned char>> tracks;
  std::vector<unsigned char> conductor;
  const int64_t lastTick = int64_t(kNotesPerTrack) * kStep;
  for (int64_t t = 0; t <= lastTick; t += 960) {
    const bool slow = (t / 960) % 2 == 1;
    const std::vector<unsigned char> tempo = slow ? std::vector<unsigned char>{0x0F, 0x42, 0x40}   // 1 000 000 us
                                                  : std::vector<unsigned char>{0x07, 0xA1, 0x20};  // 500 000 us
    conductor = Concat(conductor, {static_cast<unsigned char>(t == 0 ? 0 : 0x87), static_cast<unsigned char>(t == 0 ? 0 : 0x40),
                                   0xFF, 0x51, 3});
    if (t == 0) conductor.erase(conductor.end() - 5);  // a one-byte delta of 0
    conductor = Concat(conductor, tempo);
  }
  tracks.push_back(Concat(conductor, kEndOfTrack));
  for (int k = 0; k < kTracks; ++k) {
    std::vector<unsigned char> events = {static_cast<unsigned char>(k), static_cast<unsigned char>(0x90 | k), 60, 100};
    events.reserve(size_t(kNotesPerTrack) * 6);
    for (int n = 0; n < kNotesPerTrack; ++n) {
      if (n > 0) events.insert(events.end(), {kStep, 60, 100});  // note on by running status
      events.insert(events.end(), {0, 60, 0});                    // velocity 0 at the same tick
    }
    tracks.push_back(Concat(events, kEndOfTrack));
  }
  std::vector<unsigned char> bytes = Header(1, kTracks + 1, 96);
  for (const auto& t : tracks) {
    const std::vector<unsigned char> chunk = Track(t);
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());
  }
  ASSERT_GT(bytes.size(), 4'000'000u);

  MidiFileData data;
  std::string error;
  ASSERT_TRUE(ParseMidiBytes(bytes, "big.mid", data, error)) << error;
  ASSERT_EQ(data.messages.size(), size_t(kTracks) * kNotesPerTrack * 2);
  // Seconds at tick t: whole 960-tick spans alternate 5 s and 10 s.
  auto secondsAt = [](int64_t tick) {
    const int64_t span = tick / 960, rest = tick % 960;
    return double(span / 2) * 15.0 + double(span % 2) * 5.0 + double(rest) * (span % 2 ? 10.0 : 5.0) / 960.0;
  };
  for (size_t i = 0; i < data.messages.size(); ++i) {
    // Ticks of track k are k + 24 n: within a group of 16 messages (8 tracks,
    // on and off) the track is (i / 2) % 8, the note (i / 16).
    const int64_t n = int64_t(i / 16), k = int64_t((i / 2) % 8);
    const int64_t tick = k + n * kStep;
    ASSERT_NEAR(data.messages[i].seconds, secondsAt(tick), 1e-9 * secondsAt(tick) + 1e-12) << "message " << i;
    ASSERT_EQ(data.messages[i].msg.Channel(), k) << "message " << i;
    ASSERT_EQ(data.messages[i].msg.mData2, i % 2 == 0 ? 100 : 0) << "message " << i;
  }
  EXPECT_EQ(data.lastEventSeconds, data.messages.back().seconds);
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
