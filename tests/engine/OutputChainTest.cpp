// The output chain after the voices: output level, Bank Mix, the Color
// weights and the Split-mode Span shift, the echo times and the ping-pong
// echo, Width, Age hiss, the output stage and its ceiling. Most checks run two
// engines with the same circuit seed in lockstep, differing in one setting
// that does not reach the voices, and read the chain back through the plain
// output stage (see MakePlainChain).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "EngineTestUtil.h"

using namespace vrelbazzit;
using namespace vbtest;

namespace {

constexpr uint64_t kSeed = 0x5EED5EED5EED5EEDull;

// An engine at 48 kHz with a fixed circuit seed and the plain chain, then
// `setup` applied before the sample rate is set.
void Prepare(SynthCore& e, const std::function<void(SynthCore&)>& setup) {
  e.SetCircuitSeed(kSeed);
  MakePlainChain(e);
  setup(e);
  e.SetSampleRate(48000);
}

// Weight of a band for a focus frequency: 0.35 + 0.65 exp(-distance^2 / 1.7), distance in octaves.
double BandWeight(double centre, double focus) {
  const double d = std::log2(centre / focus);
  return 0.35 + 0.65 * std::exp(-d * d / 1.7);
}

double Focus(double color, double shiftOctaves) { return 260.0 * std::pow(9.0, color) * std::exp2(shiftOctaves); }

// The bank signal of the plain chain with "Bank Mix" 100 %: mono = tanh(0.65 x bank).
double BankFromOutput(double out) { return std::atanh(MonoFromOutput(out)) / 0.65; }

void SoloBand(SynthCore& e, int band) {
  for (int b = 0; b < 8; ++b) e.SetParameter(kBand250 + b, b == band ? 1.0 : 0.0);
  e.SetParameter(kBankMix, 1.0);
}

}  // namespace

TEST(EngineOutput, AmpLevelScalesTheVoiceSum) {
  // dry = voice sum x "Amp Level" / 0.7: half the level, half the dry signal.
  SynthCore a, b;
  Prepare(a, [](SynthCore& e) { e.SetParameter(kAmpLevel, 0.2); });
  Prepare(b, [](SynthCore& e) { e.SetParameter(kAmpLevel, 0.1); });
  a.NoteOn(60, 1.0);
  b.NoteOn(60, 1.0);
  int compared = 0;
  for (int n = 0; n < 4800; ++n) {
    const double da = std::atanh(MonoFromOutput(a.Tick().first));
    const double db = std::atanh(MonoFromOutput(b.Tick().first));
    if (std::fabs(da) > 1e-4) {
      ASSERT_NEAR(db / da, 0.5, 1e-9) << "sample " << n;
      ++compared;
    }
  }
  EXPECT_GT(compared, 1000);  // the note was audible most of the time
}

TEST(EngineOutput, BankMixZeroHidesTheBankAndFullMixHearsOnlyTheBank) {
  // Bank Mix 0: the band levels change nothing.
  SynthCore a, b;
  Prepare(a, [](SynthCore& e) { for (int i = 0; i < 8; ++i) e.SetParameter(kBand250 + i, 0.0); });
  Prepare(b, [](SynthCore& e) { for (int i = 0; i < 8; ++i) e.SetParameter(kBand250 + i, 1.0); });
  a.NoteOn(60, 1.0);
  b.NoteOn(60, 1.0);
  for (int n = 0; n < 4800; ++n) ASSERT_EQ(a.Tick(), b.Tick()) << "sample " << n;

  // Bank Mix 100 % with every band at 0: nothing is heard, however loud the voice.
  SynthCore c;
  Prepare(c, [](SynthCore& e) {
    e.SetParameter(kBankMix, 1.0);
    e.SetParameter(kAmpLevel, 1.0);
    for (int i = 0; i < 8; ++i) e.SetParameter(kBand250 + i, 0.0);
  });
  c.NoteOn(60, 1.0);
  for (int n = 0; n < 4800; ++n) {
    const auto [l, r] = c.Tick();
    ASSERT_EQ(l, 0.0) << "sample " << n;
    ASSERT_EQ(r, 0.0) << "sample " << n;
  }
}

TEST(EngineOutput, ColorSetsTheBandWeights) {
  // With one band soloed, the bank is that band's band-pass x weight; the same
  // voice through two Color settings gives banks in the ratio of the weights.
  const struct {
    int band;
    double colorA, colorB;
  } cases[] = {{0, 0.0, 1.0}, {7, 0.0, 1.0}, {4, 0.5, 0.9}, {2, 0.2, 0.55}, {7, 1.0, 0.6}};
  const double centres[8] = {250, 350, 500, 700, 1000, 1400, 2000, 2800};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "band " << centres[c.band] << " Color " << c.colorA << " / " << c.colorB);
    SynthCore a, b;
    Prepare(a, [&](SynthCore& e) { SoloBand(e, c.band); e.SetParameter(kColor, c.colorA); });
    Prepare(b, [&](SynthCore& e) { SoloBand(e, c.band); e.SetParameter(kColor, c.colorB); });
    a.NoteOn(57, 1.0);
    b.NoteOn(57, 1.0);
    const double ratio = BandWeight(centres[c.band], Focus(c.colorA, 0)) / BandWeight(centres[c.band], Focus(c.colorB, 0));
    int compared = 0;
    for (int n = 0; n < 9600; ++n) {
      const double ba = BankFromOutput(a.Tick().first);
      const double bb = BankFromOutput(b.Tick().first);
      if (std::fabs(bb) > 1e-5) {
        ASSERT_NEAR(ba / bb, ratio, 1e-8) << "sample " << n;
        ++compared;
      }
    }
    EXPECT_GT(compared, 1000);
  }
}

TEST(EngineOutput, SpanShiftsTheBankFocusOnlyInSplitWhileVoiceZeroIsActive) {
  // shift = clamp((note2 - note1) / 24, 0, 1) x "Span" x 0.85 octave, followed
  // from 0 with a 5 ms one-pole (and back to 0 on the release). "Ring" at 100 %
  // keeps the voice signal independent of Span (r = 1 either way), so the two
  // engines differ only in the bank focus.
  const struct {
    const char* name;
    double mode, span;
    int low, high;
    bool releaseFirst;
    double shift;
  } cases[] = {
      {"Split, two octaves", 0.0, 1.0, 48, 72, false, 0.85},
      {"Split, one octave", 0.0, 1.0, 48, 60, false, 0.425},
      {"Split, three octaves (clamped)", 0.0, 1.0, 48, 84, false, 0.85},
      {"Split, half Span", 0.0, 0.5, 48, 72, false, 0.425},
      {"Split, released", 0.0, 1.0, 48, 72, true, 0.0},
      {"Mono", 0.5, 1.0, 48, 72, false, 0.0},
      {"Poly", 1.0, 1.0, 48, 72, false, 0.0},
  };
  const int band = 5;  // 1.4 kHz
  const double color = 0.3;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SynthCore a, b;
    auto setup = [&](double span) {
      return [&, span](SynthCore& e) {
        SoloBand(e, band);
        e.SetParameter(kColor, color);
        e.SetParameter(kRing, 1.0);
        e.SetParameter(kSpan, span);
        e.SetParameter(kVoiceMode, c.mode);
      };
    };
    Prepare(a, setup(c.span));
    Prepare(b, setup(0.0));
    for (SynthCore* e : {&a, &b}) {
      e->NoteOn(c.low, 1.0);
      e->NoteOn(c.high, 1.0);
    }
    const double coef = OnePole(0.005, 48000.0);
    double shift = 0.0;
    if (c.releaseFirst) {  // sound first, then compare during the release
      for (int n = 0; n < 2400; ++n) {
        a.Tick();
        b.Tick();
        shift += coef * (0.85 - shift);
      }
      ASSERT_NEAR(a.spanShift, shift, 1e-12);
      for (SynthCore* e : {&a, &b}) {
        e->NoteOff(c.low);
        e->NoteOff(c.high);
      }
    }
    int compared = 0;
    for (int n = 0; n < 4800; ++n) {
      shift += coef * (c.shift - shift);
      const double ratio = BandWeight(1400, Focus(color, shift)) / BandWeight(1400, Focus(color, 0));
      const double ba = BankFromOutput(a.Tick().first);
      const double bb = BankFromOutput(b.Tick().first);
      if (std::fabs(bb) > 1e-5) {
        ASSERT_NEAR(ba / bb, ratio, 1e-8) << "sample " << n;
        ++compared;
      }
    }
    EXPECT_GT(compared, 100);
    EXPECT_NEAR(a.spanShift, c.shift, 1e-8);
  }
}

TEST(EngineOutput, EchoTimesFollowSyncAndTempoWith40Milliseconds) {
  // Free: 0.29 s / 0.43 s. Synced: beats x 60 / tempo on the left, 1.5 x that on
  // the right. The times move with c = 1 - exp(-1 / (0.04 S)).
  const struct {
    const char* name;
    double sync, tempo, left;
  } cases[] = {
      {"free", 0.0, 120, 0.29},     {"1/16 at 120", 0.2, 120, 0.125}, {"1/8 at 120", 0.4, 120, 0.25},
      {"dotted 1/8 at 120", 0.6, 120, 0.375}, {"1/4 at 120", 0.8, 120, 0.5}, {"1/2 at 30", 1.0, 30, 4.0},
      {"1/2 at 300", 1.0, 300, 0.4}, {"1/4 at 30", 0.8, 30, 2.0},
  };
  const double rate = 48000, tau = 0.04 * rate;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const double right = c.sync == 0.0 ? 0.43 : 1.5 * c.left;
    SynthCore e;
    e.SetParameter(kSpaceSync, c.sync);
    e.tempo = c.tempo;
    e.SetSampleRate(rate);
    for (int n = 1; n <= 2 * static_cast<int>(tau); ++n) {
      e.Tick();
      ASSERT_NEAR(e.spaceTimes[0], c.left + (0.29 - c.left) * std::exp(-n / tau), 1e-12) << "sample " << n;
      ASSERT_NEAR(e.spaceTimes[1], right + (0.43 - right) * std::exp(-n / tau), 1e-12) << "sample " << n;
    }
    for (int n = 0; n < 2 * rate; ++n) e.Tick();
    EXPECT_NEAR(e.spaceTimes[0], c.left, 1e-12);
    EXPECT_NEAR(e.spaceTimes[1], right, 1e-12);
    // 6 s, the longest, still fits the 7 s lines.
    EXPECT_LT(right * rate, static_cast<double>(e.spaceLeft.size()));
  }
}

TEST(EngineOutput, PingPongEchoWithAgeZero) {
  // Space Sync 1/4 at 120 BPM, settled: echo left 24000 samples, right 36000;
  // "Age" 0: no wobble, so reads land on whole samples. Engine a has "Space"
  // 100 %, engine b none; Width 0, so left = right = mono. Then
  //   wL(t) = mono(t) + 0.3 eR(t), wR(t) = mono(t) + 0.3 eL(t),
  //   eL(t) = wL(t - 24000), eR(t) = wR(t - 36000),
  // and a's output carries mono + 0.34 x eL on the left, mono + 0.34 x eR on the right.
  const double rate = 48000;
  const int dl = 24000, dr = 36000;
  SynthCore a, b;
  auto setup = [](double space) {
    return [space](SynthCore& e) {
      e.SetParameter(kSpace, space);
      e.SetParameter(kSpaceSync, 0.8);
      e.SetParameter(kAmpLevel, 0.1);
      e.SetParameter(kRelease, 0.01);
    };
  };
  Prepare(a, setup(1.0));
  Prepare(b, setup(0.0));
  for (int n = 0; n < 2 * rate; ++n) {
    a.Tick();
    b.Tick();
  }
  const int total = static_cast<int>(2.5 * rate);
  std::vector<double> mono(static_cast<size_t>(total)), wl(mono.size()), wr(mono.size());
  double worst = 0.0;
  for (int t = 0; t < total; ++t) {
    if (t == 0) {
      a.NoteOn(60, 1.0);
      b.NoteOn(60, 1.0);
    }
    if (t == 480) {
      a.NoteOff(60);
      b.NoteOff(60);
    }
    const auto [al, ar] = a.Tick();
    const auto [bl, br] = b.Tick();
    ASSERT_EQ(bl, br);
    const size_t i = static_cast<size_t>(t);
    mono[i] = MonoFromOutput(bl);
    const double el = t >= dl ? wl[i - dl] : 0.0;
    const double er = t >= dr ? wr[i - dr] : 0.0;
    wl[i] = mono[i] + 0.3 * er;
    wr[i] = mono[i] + 0.3 * el;
    const double gotLeft = (MonoFromOutput(al) - mono[i]) / 0.34;
    const double gotRight = (MonoFromOutput(ar) - mono[i]) / 0.34;
    ASSERT_NEAR(gotLeft, el, 1e-9) << "sample " << t;
    ASSERT_NEAR(gotRight, er, 1e-9) << "sample " << t;
    worst = std::max(worst, std::fabs(el));
  }
  EXPECT_GT(worst, 1e-3);  // the echo of the note did arrive
}

TEST(EngineOutput, WidthZeroGivesTheSameSignalOnBothSides) {
  for (double width : {0.0, 1.0}) {
    SCOPED_TRACE(testing::Message() << "width " << width);
    SynthCore e;
    Prepare(e, [width](SynthCore& x) {
      x.SetParameter(kWidth, width);
      x.SetParameter(kAge, 0.7);  // hiss is the same on both sides
    });
    e.NoteOn(60, 1.0);
    bool differ = false;
    for (int n = 0; n < 4800; ++n) {
      const auto [l, r] = e.Tick();
      if (width == 0.0) {
        ASSERT_EQ(l, r) << "sample " << n;
      }
      differ = differ || l != r;
    }
    EXPECT_EQ(differ, width != 0.0);
  }
}

TEST(EngineOutput, SilenceCarriesOnlyTheAgeHiss) {
  // No note: the output is tanh(drive x hiss / 0.98) x 0.98 x gain with
  // hiss = (2u - 1) x Age^2 x 0.0006, u the second noise draw of the sample
  // when an age draw is due (the first sample), drive = 2.8 / (1 + 1.3 fuzzAmount).
  const struct {
    double age, fuzz, gain;
  } cases[] = {{1.0, 0.0, 1.0}, {0.5, 0.0, 1.0}, {1.0, 1.0, 1.0}, {1.0, 0.5, 2.0}, {0.3, 0.8, 0.5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "age " << c.age << " fuzz " << c.fuzz << " gain " << c.gain);
    SynthCore e;
    Prepare(e, [&](SynthCore& x) {
      x.SetParameter(kAge, c.age);
      x.SetParameter(kFuzz, c.fuzz);
      x.SetParameter(kMasterGain, c.gain);
      x.SetParameter(kSpace, 1.0);
      x.SetParameter(kWidth, 1.0);
    });
    uint64_t s = e.noiseState;
    auto draw = [&s] {
      s ^= s >> 12;
      s ^= s << 25;
      s ^= s >> 27;
      return static_cast<double>((s * 0x2545F4914F6CDD1Dull) >> 11) * std::ldexp(1.0, -53);
    };
    draw();  // the age draw
    const double hiss = (2 * draw() - 1) * c.age * c.age * 0.0006;
    const double drive = 2.8 / (1 + 1.3 * c.fuzz);
    const auto [l, r] = e.Tick();
    EXPECT_NEAR(l, std::tanh(drive * hiss / 0.98) * 0.98 * c.gain, 1e-15);  // engine tanh: ~1e-16 absolute
    EXPECT_EQ(l, r);
  }
  // Age 0: exactly silent.
  SynthCore quiet;
  Prepare(quiet, [](SynthCore& x) {
    x.SetParameter(kSpace, 1.0);
    x.SetParameter(kWidth, 1.0);
  });
  for (int n = 0; n < 48000; ++n) {
    const auto [l, r] = quiet.Tick();
    ASSERT_EQ(l, 0.0) << "sample " << n;
    ASSERT_EQ(r, 0.0) << "sample " << n;
  }
}

TEST(EngineOutput, MasterGainZeroIsSilent) {
  SynthCore e;
  e.SetParameter(kMasterGain, 0.0);
  e.SetParameter(kAmpLevel, 1.0);
  e.SetSampleRate(48000);
  e.NoteOn(60, 1.0);
  e.NoteOn(67, 1.0);
  for (int n = 0; n < 9600; ++n) {
    const auto [l, r] = e.Tick();
    ASSERT_EQ(l, 0.0) << "sample " << n;
    ASSERT_EQ(r, 0.0) << "sample " << n;
  }
}

TEST(EngineOutput, OutputNeverExceedsTheCeiling) {
  // |out| <= 0.98 x outputGain on every sample, in every mode, at extreme settings
  // and while the gain itself moves.
  for (double mode : {0.0, 0.5, 1.0}) {
    SCOPED_TRACE(testing::Message() << "mode value " << mode);
    SynthCore e;
    e.SetParameter(kVoiceMode, mode);
    for (int p : {kAmpLevel, kBody, kSpace, kRing, kResonance, kFat, kWidth, kVrelBite, kAge, kMotion,
                  kFilterEnvAmount, kCutoff, kSpan})
      e.SetParameter(p, 1.0);
    e.SetParameter(kFuzz, 0.5);
    e.SetParameter(kMasterGain, 2.0);
    e.SetSampleRate(44100);
    e.modWheel = 1.0;
    for (int n : {36, 48, 55, 60, 72}) e.NoteOn(n, 1.0);
    double loudest = 0.0;
    for (int n = 0; n < 44100; ++n) {
      if (n == 20000) e.SetParameter(kMasterGain, 0.3);
      if (n == 30000) e.SetParameter(kMasterGain, 1.7);
      const auto [l, r] = e.Tick();
      ASSERT_FALSE(std::isnan(l) || std::isnan(r)) << "sample " << n;
      ASSERT_LE(std::fabs(l), 0.98 * e.outputGain) << "sample " << n;
      ASSERT_LE(std::fabs(r), 0.98 * e.outputGain) << "sample " << n;
      loudest = std::max(loudest, std::fabs(l) / e.outputGain);
    }
    EXPECT_GT(loudest, 0.7);  // the settings really drive the output stage into its curve
  }
}
