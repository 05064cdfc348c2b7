#include "framework/plug/IPeakSender.h"
#include "framework/plug/SpscQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace fw {
namespace {

static_assert(sizeof(ISenderData<2, float>) == 20, "the editor receives entries of 3 ints and 2 floats");

using Sender = IPeakSender<2, 64>;
using Entry = Sender::Data;

// Feeds nFrames of a signal alternating between +level and -level on each
// channel (so a mean of the signed values would read 0), in blocks of
// blockSize frames.
void Feed(Sender& sender, int nFrames, double left, double right, int blockSize = 64, int ctrlTag = 7) {
  std::vector<double> l(static_cast<size_t>(blockSize)), r(static_cast<size_t>(blockSize));
  for (int s = 0; s < blockSize; ++s) {
    const double sign = (s % 2 == 0) ? 1.0 : -1.0;
    l[static_cast<size_t>(s)] = sign * left;
    r[static_cast<size_t>(s)] = sign * right;
  }
  double* chans[2] = {l.data(), r.data()};
  for (int done = 0; done < nFrames;) {
    const int n = std::min(blockSize, nFrames - done);
    sender.ProcessBlock(chans, n, ctrlTag);
    done += n;
  }
}

std::vector<Entry> Drain(Sender& sender) {
  std::vector<Entry> out;
  sender.TransmitData([&](const Entry& e) { out.push_back(e); });
  return out;
}

TEST(IPeakSender, WindowIsFiveMillisecondsInWholeSamples) {
  Sender sender;
  EXPECT_EQ(sender.WindowSize(), 240) << "48 kHz after construction";
  sender.Reset(44100.0);
  EXPECT_EQ(sender.WindowSize(), 220) << "44.1 kHz: 220.5 samples, fraction dropped";
  sender.Reset(96000.0);
  EXPECT_EQ(sender.WindowSize(), 480) << "96 kHz";
  sender.Reset(100.0);
  EXPECT_EQ(sender.WindowSize(), 1) << "never below one sample";
}

TEST(IPeakSender, EntryIsTheMeanAbsoluteLevelOfEachChannel) {
  Sender sender;
  Feed(sender, 240, 0.5, 0.25);
  const auto entries = Drain(sender);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].ctrlTag, 7);
  EXPECT_EQ(entries[0].nChans, 2);
  EXPECT_EQ(entries[0].chanOffset, 0);
  EXPECT_FLOAT_EQ(entries[0].vals[0], 0.5f);
  EXPECT_FLOAT_EQ(entries[0].vals[1], 0.25f);
}

TEST(IPeakSender, WindowsCarryAcrossBlocksOfAnySize) {
  struct Case { int blockSize; int frames; size_t entries; } cases[] = {
      {7, 239, 0}, {7, 240, 1}, {7, 481, 2}, {240, 720, 3}, {1000, 1000, 4}, {1, 480, 2},
  };
  for (const auto& c : cases) {
    Sender sender;
    Feed(sender, c.frames, 0.5, 0.5, c.blockSize);
    const auto entries = Drain(sender);
    EXPECT_EQ(entries.size(), c.entries) << c.frames << " frames in blocks of " << c.blockSize;
    for (const auto& e : entries) EXPECT_FLOAT_EQ(e.vals[0], 0.5f) << "block size " << c.blockSize;
  }
}

TEST(IPeakSender, SilenceAfterTheFirstWindowQueuesNothing) {
  Sender sender;
  Feed(sender, 240, 0.0, 0.0);
  auto entries = Drain(sender);
  ASSERT_EQ(entries.size(), 1u) << "the first window after construction is always sent";
  EXPECT_EQ(entries[0].vals[0], 0.0f);
  EXPECT_EQ(entries[0].vals[1], 0.0f);

  Feed(sender, 240 * 5, 0.0, 0.0);
  EXPECT_TRUE(Drain(sender).empty()) << "silent windows after a silent one";
}

TEST(IPeakSender, LoudWindowThenSilenceQueuesOneMoreSoTheMeterFalls) {
  Sender sender;
  Feed(sender, 480, 0.0, 0.0);
  Drain(sender);

  Feed(sender, 240, 0.75, 0.125);
  Feed(sender, 240 * 3, 0.0, 0.0);
  const auto entries = Drain(sender);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_FLOAT_EQ(entries[0].vals[0], 0.75f);
  EXPECT_FLOAT_EQ(entries[0].vals[1], 0.125f);
  EXPECT_EQ(entries[1].vals[0], 0.0f);
  EXPECT_EQ(entries[1].vals[1], 0.0f);
}

TEST(IPeakSender, ThresholdSeparatesQuietFromSilent) {
  // -90 dB is about 3.2e-5.
  struct Case { double level; bool queued; } cases[] = {
      {1e-3, true},   // -60 dB
      {1e-4, true},   // -80 dB
      {1e-6, false},  // -120 dB
  };
  for (const auto& c : cases) {
    Sender sender;
    Feed(sender, 480, 0.0, 0.0);
    Drain(sender);
    Feed(sender, 240, c.level, c.level);
    EXPECT_EQ(Drain(sender).size(), c.queued ? 1u : 0u) << "level " << c.level;
  }
}

TEST(IPeakSender, ResetClearsAPartlyMeasuredWindow) {
  Sender sender;
  Feed(sender, 100, 1.0, 1.0);
  sender.Reset(48000.0);
  Feed(sender, 240, 0.0, 0.0);
  const auto entries = Drain(sender);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].vals[0], 0.0f) << "the 100 loud frames before Reset must not count";
}

TEST(IPeakSender, FullQueueDropsNewEntriesAndDeliversTheRestInOrder) {
  Sender sender;
  // Window k (0-based) at level (k + 1) / 128, never drained while filling.
  for (int k = 0; k < 70; ++k) {
    const double level = (k + 1) / 128.0;
    Feed(sender, 240, level, level);
  }
  const auto entries = Drain(sender);
  ASSERT_EQ(entries.size(), 64u) << "capacity 64: the last 6 windows dropped";
  for (size_t k = 0; k < entries.size(); ++k)
    EXPECT_FLOAT_EQ(entries[k].vals[0], static_cast<float>((k + 1) / 128.0)) << "entry " << k;
  EXPECT_FLOAT_EQ(sender.LastData().vals[0], 64 / 128.0f) << "the last one delivered is kept";

  // Room again: the next window gets through.
  Feed(sender, 240, 0.75, 0.75);
  const auto more = Drain(sender);
  ASSERT_EQ(more.size(), 1u);
  EXPECT_FLOAT_EQ(more[0].vals[0], 0.75f);
  EXPECT_FLOAT_EQ(sender.LastData().vals[0], 0.75f);
}

TEST(IPeakSender, LastDataSurvivesAnEmptyTransmit) {
  Sender sender;
  Feed(sender, 240, 0.5, 0.5);
  Drain(sender);
  EXPECT_TRUE(Drain(sender).empty());
  EXPECT_FLOAT_EQ(sender.LastData().vals[0], 0.5f);
}

TEST(IPeakSender, ReadsTheChannelsAtTheOffsetAndNoMoreThanItHolds) {
  IPeakSender<2, 64> sender;
  std::vector<double> c0(240, 0.875), c1(240, 0.625), c2(240, -0.375), c3(240, 0.125);
  double* chans[4] = {c0.data(), c1.data(), c2.data(), c3.data()};
  sender.ProcessBlock(chans, 240, 3, /*nChans*/ 4, /*chanOffset*/ 2);
  std::vector<Entry> entries;
  sender.TransmitData([&](const Entry& e) { entries.push_back(e); });
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].ctrlTag, 3);
  EXPECT_EQ(entries[0].nChans, 2) << "clamped to the two channels an entry holds";
  EXPECT_EQ(entries[0].chanOffset, 2);
  EXPECT_FLOAT_EQ(entries[0].vals[0], 0.375f);
  EXPECT_FLOAT_EQ(entries[0].vals[1], 0.125f);
}

TEST(SpscQueue, HoldsCapacityItemsInOrderAcrossWrapAround) {
  SpscQueue<int, 3> q;
  int v = 0;
  EXPECT_FALSE(q.Pop(v)) << "empty";
  for (int round = 0; round < 4; ++round) {
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(q.Push(round * 10 + i)) << "round " << round << " item " << i;
    EXPECT_FALSE(q.Push(99)) << "round " << round << ": full at capacity";
    EXPECT_EQ(q.ElementsAvailable(), 3u) << "round " << round;
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(q.Pop(v)) << "round " << round;
      EXPECT_EQ(v, round * 10 + i) << "round " << round;
    }
    EXPECT_EQ(q.ElementsAvailable(), 0u) << "round " << round;
  }
  // Interleaved: the read and write positions no longer meet at the start.
  EXPECT_TRUE(q.Push(1));
  EXPECT_TRUE(q.Push(2));
  ASSERT_TRUE(q.Pop(v));
  EXPECT_EQ(v, 1);
  EXPECT_TRUE(q.Push(3));
  EXPECT_TRUE(q.Push(4));
  EXPECT_FALSE(q.Push(5));
  for (int expect : {2, 3, 4}) {
    ASSERT_TRUE(q.Pop(v));
    EXPECT_EQ(v, expect);
  }
}

}  // namespace
}  // namespace fw
