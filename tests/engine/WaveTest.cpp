// SynthCore::Wave: the seven shapes with their band-limiting, dropped
// partials and the Wave Fine blend.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "ReferenceEngine.h"
#include "engine/SynthCore.h"

using vrelbazzit::SynthCore;

namespace {

using vbtest::ref::Wave;  // the shapes written out from their definitions, with std::sin

const char* const kShapeNames[] = {"Blend", "Saw", "Pulse", "Triangle", "Sine", "Fold", "Hollow"};

}  // namespace

TEST(EngineWave, WorkedExamples) {
  const double pi2 = std::numbers::pi * std::numbers::pi;
  const struct {
    const char* what;
    double t, dt, pulse, width;
    int shape;
    bool fine;
    double expected;
  } cases[] = {
      // saw -0.5, square +1: 0.6 x -0.5 + 0.4 x 1
      {"blend at a quarter turn", 0.25, 0.01, 0.4, 0.5, 0, false, 0.1},
      // sine shape: 0.5 sin(pi / 2); pulse 0 ignores the fine flag
      {"sine, fine with pulse 0", 0.25, 0.01, 0.0, 0.5, 4, true, 0.5},
      // 0.5 + 0.25 x 1 x (square (+1) - 0.5)
      {"sine, fine with pulse 1", 0.25, 0.01, 1.0, 0.5, 4, true, 0.625},
      // 2 x 0 - 1 - blep(0) = -1 - (-1) = 0
      {"saw at phase 0", 0.0, 0.01, 0.0, 0.5, 1, false, 0.0},
      {"blend (pure saw) at phase 0", 0.0, 0.01, 0.0, 0.5, 0, false, 0.0},
      // dt 0.2: 3 x 0.2 reaches 0.48, only s1 = sin(pi / 2) = 1 remains
      {"triangle at dt 0.2", 0.25, 0.2, 0.3, 0.5, 3, false, 0.5 * 8 / pi2},
      {"fold at dt 0.2", 0.25, 0.2, 0.3, 0.5, 5, false, 0.5 / 1.3},
      {"hollow at dt 0.2", 0.25, 0.2, 0.3, 0.5, 6, false, 0.5 * 0.72},
      // dt 0.1: s1, s3 kept (0.3 < 0.48), s5 dropped (0.5): at t = 0.25 s3 = sin(3 pi / 2) = -1
      {"triangle at dt 0.1", 0.25, 0.1, 0.3, 0.5, 3, false, 0.5 * 8 / pi2 * (1 + 1.0 / 9)},
      {"fold at dt 0.1", 0.25, 0.1, 0.3, 0.5, 5, false, 0.5 * (1 + 0.44) / 1.3},
      // pulse shape: 0.36 x square; width 0.5 at t = 0.75 reads -1
      {"pulse low half", 0.75, 0.01, 0.0, 0.5, 2, false, -0.36},
      {"pulse high half", 0.25, 0.01, 0.0, 0.5, 2, false, 0.36},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(SynthCore::Wave(c.t, c.dt, c.pulse, c.width, c.shape, c.fine), c.expected, 1e-14) << c.what;
}

TEST(EngineWave, EveryShapeFollowsItsFormulaOverAGrid) {
  // Phases near the steps (0, the pulse width, 1) and inside the correction
  // windows; increments from very low notes up to the 0.45 limit, across the
  // partial cut-offs.
  const double phases[] = {0.0,  1e-4,  0.003, 0.0099, 0.01,  0.2,   0.25,  0.33, 0.4999,
                           0.5,  0.5001, 0.6,  0.849,  0.85,  0.851, 0.99,  0.995, 0.9999};
  const double increments[] = {0.0005, 0.01, 0.05, 0.1, 0.17, 0.2, 0.3, 0.45};
  const double pulses[] = {0.0, 0.4, 1.0};
  const double widths[] = {0.15, 0.5, 0.85};
  for (int shape = 0; shape <= 6; ++shape)
    for (bool fine : {false, true})
      for (double pulse : pulses)
        for (double width : widths)
          for (double dt : increments)
            for (double t : phases) {
              const double got = SynthCore::Wave(t, dt, pulse, width, shape, fine);
              const double want = Wave(t, dt, pulse, width, shape, fine);
              ASSERT_NEAR(got, want, 1e-14)
                  << kShapeNames[shape] << " fine " << fine << " pulse " << pulse << " width " << width << " dt "
                  << dt << " t " << t;
            }
}

TEST(EngineWave, FineBlendMixesAQuarterOfThePulseAmountOfBlend) {
  // For a shape other than Blend, fine adds 0.25 x pulse x (blend - r).
  const double t = 0.3, dt = 0.01, width = 0.5;
  for (int shape = 1; shape <= 6; ++shape) {
    for (double pulse : {0.2, 0.7}) {
      SCOPED_TRACE(testing::Message() << kShapeNames[shape] << " pulse " << pulse);
      const double r = SynthCore::Wave(t, dt, pulse, width, shape, false);
      const double blend = SynthCore::Wave(t, dt, pulse, width, 0, false);
      EXPECT_NEAR(SynthCore::Wave(t, dt, pulse, width, shape, true), r + 0.25 * pulse * (blend - r), 1e-15);
    }
  }
  // Blend itself ignores the flag.
  EXPECT_EQ(SynthCore::Wave(t, dt, 0.7, width, 0, true), SynthCore::Wave(t, dt, 0.7, width, 0, false));
}
