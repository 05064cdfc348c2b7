// The tail the plug-in reports to hosts: how long it can keep sounding after
// its last note. Expected values are worked out by hand from the envelope's
// one-pole release and the echo's wet level, feedback and times:
//   floor          = 10^(-96/20) = 1.5849e-5, ln(1 / floor) = 11.052408
//   release part   = release x 11.052408 s
//   echo repeats n = the k with 0.34 x Space x 0.3^(k-1) >= floor
//   echo part      = ceil(n/2) x (longer time + 4 ms x Age) + floor(n/2) x (shorter time + 4 ms x Age)
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "PatchTestSupport.h"
#include "PluginHarness.h"
#include "plugin/Tail.h"

namespace vrelbazzit::test {
namespace {

constexpr double kLnFloor = 11.052408446371;  // ln(10^(96/20))

TEST(Tail, ReleasePartIsTheOnePoleFallToMinus96Db) {
  struct Case {
    double release;
    double seconds;
  };
  for (const Case& c : {Case{2.0, 2.0 * kLnFloor}, Case{0.28, 0.28 * kLnFloor}, Case{4.0, 4.0 * kLnFloor},
                        Case{0.0, 0.001 * kLnFloor} /* the engine's shortest envelope time */}) {
    TailSettings s;
    s.releaseSeconds = c.release;
    EXPECT_NEAR(ReleaseTailSeconds(s), c.seconds, 1e-9) << "release " << c.release;
  }
}

TEST(Tail, EchoPartCountsTheRepeatsAboveMinus96Db) {
  struct Case {
    const char* what;
    double space, spaceSync, age, tempo;
    double seconds;
  };
  const Case cases[] = {
      // 0.34 x 0.3^8 = 2.23e-5 is heard, 0.34 x 0.3^9 = 6.7e-6 is not: 9 repeats,
      // 5 right passes of 0.43 s and 4 left ones of 0.29 s.
      {"Space 100 %, free", 1.0, 0.0, 0.0, 120.0, 5 * 0.43 + 4 * 0.29},
      // 0.0408 x 0.3^6 = 2.97e-5 is heard, x 0.3 = 8.9e-6 not: 7 repeats, wobble 0.48 ms each.
      {"the defaults: Space 12 %, Age 12 %", 0.12, 0.0, 0.12, 120.0, 4 * 0.43048 + 3 * 0.29048},
      // "1/4" at 120 BPM: 0.5 s left, 0.75 s right.
      {"Space 100 %, 1/4 at 120 BPM", 1.0, 0.8, 0.0, 120.0, 5 * 0.75 + 4 * 0.5},
      {"Space 100 %, 1/4 at 60 BPM", 1.0, 0.8, 0.0, 60.0, 5 * 1.5 + 4 * 1.0},
      // "1/2" at 30 BPM: 4 s and 6 s, each pass up to 4 ms longer at Age 100 %.
      {"Space 100 %, 1/2 at 30 BPM, Age 100 %", 1.0, 1.0, 1.0, 30.0, 5 * 6.004 + 4 * 4.004},
      // Only the first repeat is heard: 0.34 x 1e-4 = 3.4e-5, then 1.0e-5.
      {"Space 0.01 %", 1e-4, 0.0, 0.0, 120.0, 0.43},
      // 0.34 x 4e-5 = 1.36e-5 is below the floor already.
      {"Space 0.004 %", 4e-5, 0.0, 0.0, 120.0, 0.0},
      {"Space 0", 0.0, 0.0, 1.0, 120.0, 0.0},
  };
  for (const Case& c : cases) {
    TailSettings s;
    s.space = c.space;
    s.spaceSync = c.spaceSync;
    s.age = c.age;
    s.tempo = c.tempo;
    EXPECT_NEAR(EchoTailSeconds(s), c.seconds, 1e-9) << c.what;
  }
}

TEST(Tail, SamplesAtTheRateRoundedUp) {
  TailSettings s;
  s.releaseSeconds = 2.0;
  s.space = 1.0;
  s.age = 0.0;
  // (2 x 11.052408 + 3.31) s x 48000 = 1219911.2
  EXPECT_EQ(TailSamples(s, 48000.0), 1219912u);
  EXPECT_EQ(TailSamples(s, 96000.0), 2439823u);  // 2439822.4
  s.space = 0.0;
  s.releaseSeconds = 0.001;
  EXPECT_EQ(TailSamples(s, 48000.0), 531u);  // 530.5
}

// The host's side of the plug-in: counts the tail notifications.
struct TailRecorder : HostRecorder {
  int tailChanges = 0;
  void InformHostOfTailChange() override { ++tailChanges; }
};

TEST(Tail, ThePlugInReportsItsCurrentSettings) {
  PluginHarness h;
  // Defaults: Release 280 ms, Space 12 %, Age 12 %, free echo:
  // (0.28 x 11.052408 + 2.59336) s x 48000 = 273025.6
  EXPECT_EQ(h.Plug().GetTailSize(), 273026u) << "a new instance";

  h.Start(48000.0);
  EXPECT_EQ(h.Plug().GetTailSize(), 273026u);

  // Host automation inside a process call: Release 2000 ms, Space 100 %, Age 0.
  fw::OfflineBlock b;
  b.params = {{kRelease, 2000.0, false}, {kSpace, 100.0, false}, {kAge, 0.0, false}};
  h.Block(b, 64);
  EXPECT_EQ(h.Plug().GetTailSize(), 1219912u);

  // A synced echo follows the host tempo: "1/4" at 60 BPM.
  b = {};
  b.params = {{kSpaceSync, 4.0, false}};
  b.tempo = 60.0;
  h.Block(b, 64);
  EXPECT_EQ(h.Plug().GetTailSize(), 1613032u);  // (22.104817 + 11.5) s x 48000 = 1613031.2
  b = {};
  b.tempo = 120.0;
  h.Block(b, 64);
  EXPECT_EQ(h.Plug().GetTailSize(), 1337032u);  // (22.104817 + 5.75) s x 48000 = 1337031.2

  // A new sample rate.
  h.Start(96000.0);
  EXPECT_EQ(h.Plug().GetTailSize(), 2674063u);  // 2674062.4

  // "Space" 0: the release alone.
  b = {};
  b.params = {{kSpace, 0.0, false}};
  h.Block(b, 64);
  EXPECT_EQ(h.Plug().GetTailSize(), 2122063u);  // 22.104817 s x 96000 = 2122062.4
}

// The host hears of a new tail from the idle tick (main thread), once the
// value has held for kTailSettleTicks ticks: a knob being turned does not
// make the host restart processing at every step.
TEST(Tail, TheHostIsToldOnceANewTailHasSettled) {
  PluginHarness h;
  TailRecorder host;
  h.Plug().SetHostSink(&host);
  h.Start(48000.0);
  const auto idle = [&h](int ticks) {
    for (int i = 0; i < ticks; ++i) h.Host().Idle();
  };
  idle(3 * VrelBazzit::kTailSettleTicks);
  EXPECT_EQ(host.tailChanges, 0) << "nothing changed";

  // The editor turns "Release" one step per tick; the audio thread takes each step.
  const uint32_t before = h.Plug().GetTailSize();
  for (int step = 1; step <= 30; ++step) {
    h.Plug().SendParameterValueFromUI(kRelease, 0.2 + 0.01 * step);
    h.Block({}, 16);
    idle(1);
  }
  EXPECT_NE(h.Plug().GetTailSize(), before);
  EXPECT_EQ(host.tailChanges, 0) << "not while the knob moves";
  idle(VrelBazzit::kTailSettleTicks - 1);
  EXPECT_EQ(host.tailChanges, 0) << "not before the value has settled";
  idle(1);
  EXPECT_EQ(host.tailChanges, 1) << "once it has";
  idle(3 * VrelBazzit::kTailSettleTicks);
  EXPECT_EQ(host.tailChanges, 1) << "and only once";

  // Back to the first value: the host is told again.
  h.Plug().SendParameterValueFromUI(kRelease, h.Plug().GetParam(kRelease)->ToNormalized(280.0));
  h.Block({}, 16);
  idle(VrelBazzit::kTailSettleTicks + 1);
  EXPECT_EQ(h.Plug().GetTailSize(), before);
  EXPECT_EQ(host.tailChanges, 2);

  // A parameter the tail does not depend on changes nothing.
  h.Plug().SendParameterValueFromUI(kCutoff, 0.1);
  h.Block({}, 16);
  idle(3 * VrelBazzit::kTailSettleTicks);
  EXPECT_EQ(host.tailChanges, 2);

  // A new sample rate changes the tail, but hosts read it after setting up
  // processing: no notification.
  h.Start(96000.0);
  idle(3 * VrelBazzit::kTailSettleTicks);
  EXPECT_EQ(host.tailChanges, 2);
  h.Plug().SetHostSink(nullptr);
}

}  // namespace
}  // namespace vrelbazzit::test
