#include "framework/plug/IParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace fw {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// One parameter of each kind, declared as a plug-in would.
struct Params {
  IParam attack;  // power curve, exponent 3
  IParam range;   // int -2..2
  IParam mix;     // linear double, step 0.1
  IParam fine;    // linear double -1..1, step 0.01
  IParam offset;  // linear double -10..10, step 1
  IParam sync;    // bool
  IParam wave;    // enum of three

  Params() {
    attack.InitDouble("Attack", 12, 1, 2000, 1, "ms", 0, "Envelope", IParam::ShapePowCurve(3));
    range.InitInt("Osc 1 Range", 0, -2, 2, " oct");
    mix.InitDouble("Mix", 50, 0, 100, 0.1, "%");
    fine.InitDouble("Fine", 0, -1, 1, 0.01, " cents");
    offset.InitDouble("Offset", 0, -10, 10, 1);
    sync.InitBool("Sync", false, "", 0, "Osc", "free", "synced");
    wave.InitEnum("Wave", 1, {"Saw", "Square", "Triangle"});
  }

  IParam& Get(const std::string& name) {
    for (IParam* p : {&attack, &range, &mix, &fine, &offset, &sync, &wave})
      if (name == p->GetName()) return *p;
    ADD_FAILURE() << "no parameter " << name;
    return attack;
  }
};

TEST(RoundHalfAway, RoundsHalvesAwayFromZero) {
  struct Case { double in, out; } cases[] = {
      {0.5, 1}, {1.5, 2}, {2.5, 3}, {-0.5, -1}, {-1.5, -2}, {-2.5, -3},
      {0.49, 0}, {-0.49, 0}, {0.51, 1}, {-0.51, -1}, {3.0, 3},
  };
  for (const auto& c : cases) EXPECT_EQ(RoundHalfAway(c.in), c.out) << "input " << c.in;
}

TEST(IParam, DeclarationsAreStoredAndValueStartsAtDefault) {
  Params p;
  struct Case {
    const char* name;
    IParam::EParamType type;
    double min, max, def;
    int stepCount;
    const char* label;
  } cases[] = {
      {"Attack", IParam::kTypeDouble, 1, 2000, 12, 0, "ms"},
      {"Osc 1 Range", IParam::kTypeInt, -2, 2, 0, 4, " oct"},
      {"Mix", IParam::kTypeDouble, 0, 100, 50, 0, "%"},
      {"Sync", IParam::kTypeBool, 0, 1, 0, 1, ""},
      {"Wave", IParam::kTypeEnum, 0, 2, 1, 2, ""},
  };
  for (const auto& c : cases) {
    const IParam& prm = p.Get(c.name);
    EXPECT_EQ(prm.Type(), c.type) << c.name;
    EXPECT_EQ(prm.GetMin(), c.min) << c.name;
    EXPECT_EQ(prm.GetMax(), c.max) << c.name;
    EXPECT_EQ(prm.GetDefault(), c.def) << c.name;
    EXPECT_EQ(prm.Value(), c.def) << c.name;
    EXPECT_EQ(prm.GetStepCount(), c.stepCount) << c.name;
    EXPECT_STREQ(prm.GetLabel(), c.label) << c.name;
  }
  EXPECT_STREQ(p.attack.GetGroup(), "Envelope");
  EXPECT_EQ(p.attack.GetShape().kind, IParam::Shape::kPowCurve);
  EXPECT_EQ(p.attack.GetShape().exponent, 3.0);
  EXPECT_STREQ(p.sync.GetGroup(), "Osc");
  EXPECT_EQ(p.wave.NDisplayTexts(), 3);
  EXPECT_STREQ(p.wave.GetDisplayText(2), "Triangle");
  EXPECT_STREQ(p.wave.GetDisplayText(3), "");
  EXPECT_STREQ(p.wave.GetDisplayText(-1), "");
  EXPECT_STREQ(p.sync.GetDisplayText(0), "free");
  EXPECT_STREQ(p.sync.GetDisplayText(1), "synced");
}

TEST(IParam, SetToDefaultRestoresTheDeclaredDefault) {
  Params p;
  p.attack.Set(1500);
  p.wave.Set(2);
  p.attack.SetToDefault();
  p.wave.SetToDefault();
  EXPECT_EQ(p.attack.Value(), 12.0);
  EXPECT_EQ(p.wave.Value(), 1.0);
}

TEST(IParam, FromNormalizedFollowsShapeClampsAndRoundsSteppedKinds) {
  Params p;
  struct Case { const char* param; double n, plain; } cases[] = {
      // pow 3: 1 + n^3 * 1999, never rounded to the step of 1
      {"Attack", 0.5, 250.875},
      {"Attack", 0.0, 1.0},
      {"Attack", 1.0, 2000.0},
      {"Attack", 0.2, 1.0 + 0.008 * 1999},
      {"Attack", -0.3, 1.0},
      {"Attack", 1.7, 2000.0},
      {"Attack", -kInf, 1.0},
      {"Attack", kInf, 2000.0},
      // linear, not rounded to the 0.1 step
      {"Mix", 0.12345, 12.345},
      {"Mix", 0.25, 25.0},
      // int -2..2: -2 + 4n, rounded half away from zero
      {"Osc 1 Range", 0.5, 0.0},
      {"Osc 1 Range", 0.25, -1.0},
      {"Osc 1 Range", 0.375, -1.0},  // -0.5
      {"Osc 1 Range", 0.625, 1.0},   // 0.5
      {"Osc 1 Range", 0.875, 2.0},   // 1.5
      {"Osc 1 Range", 0.1, -2.0},    // -1.6
      {"Osc 1 Range", 0.55, 0.0},    // 0.2
      // enum 0..2: 2n
      {"Wave", 0.74, 1.0},
      {"Wave", 0.76, 2.0},
      {"Wave", 0.25, 1.0},  // 0.5
      // bool: n
      {"Sync", 0.49, 0.0},
      {"Sync", 0.5, 1.0},
  };
  for (const auto& c : cases) {
    IParam& prm = p.Get(c.param);
    EXPECT_NEAR(prm.FromNormalized(c.n), c.plain, 1e-9) << c.param << " n=" << c.n;
    prm.SetNormalized(c.n);
    EXPECT_NEAR(prm.Value(), c.plain, 1e-9) << c.param << " SetNormalized(" << c.n << ")";
  }
}

TEST(IParam, SetNormalizedHalfOnPowCurveAttackIsExact) {
  Params p;
  p.attack.SetNormalized(0.5);
  EXPECT_EQ(p.attack.Value(), 250.875);
}

TEST(IParam, NaNNormalizedKeepsTheCurrentValue) {
  Params p;
  p.attack.Set(300);
  EXPECT_EQ(p.attack.FromNormalized(kNaN), 300.0);
  p.attack.SetNormalized(kNaN);
  EXPECT_EQ(p.attack.Value(), 300.0);
}

TEST(IParam, ToNormalizedInvertsTheShapeAndClamps) {
  Params p;
  struct Case { const char* param; double plain, n; } cases[] = {
      {"Attack", 250.875, 0.5},
      {"Attack", 1.0, 0.0},
      {"Attack", 2000.0, 1.0},
      {"Attack", 1.0 + 0.008 * 1999, 0.2},
      {"Attack", 0.0, 0.0},      // below min
      {"Attack", 5000.0, 1.0},   // above max
      {"Mix", 25.0, 0.25},
      {"Osc 1 Range", -1.0, 0.25},
      {"Osc 1 Range", 2.0, 1.0},
      {"Wave", 1.0, 0.5},
      {"Sync", 1.0, 1.0},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(p.Get(c.param).ToNormalized(c.plain), c.n, 1e-12) << c.param << " plain=" << c.plain;

  p.attack.Set(250.875);
  EXPECT_NEAR(p.attack.GetNormalized(), 0.5, 1e-12);
  EXPECT_NEAR(p.attack.GetDefault(true), std::cbrt(11.0 / 1999.0), 1e-12);
}

TEST(IParam, NormalizedRoundTripOfContinuousParameters) {
  Params p;
  for (IParam* prm : {&p.attack, &p.mix, &p.fine}) {
    for (double n : {0.0, 0.01, 0.2, 0.333, 0.5, 0.77, 0.999, 1.0})
      EXPECT_NEAR(prm->ToNormalized(prm->FromNormalized(n)), n, 1e-12) << prm->GetName() << " n=" << n;
  }
}

TEST(IParam, SetClampsRoundsSteppedKindsAndIgnoresNaN) {
  Params p;
  struct Case { const char* param; double start, in, out; } cases[] = {
      {"Osc 1 Range", 0, -0.5, -1},
      {"Osc 1 Range", 0, 0.5, 1},
      {"Osc 1 Range", 0, 1.5, 2},
      {"Osc 1 Range", 0, -1.5, -2},
      {"Osc 1 Range", 0, 0.49, 0},
      {"Osc 1 Range", 0, -0.49, 0},
      {"Osc 1 Range", 0, 7, 2},
      {"Osc 1 Range", 0, -7, -2},
      {"Osc 1 Range", 0, kInf, 2},
      {"Osc 1 Range", 0, -kInf, -2},
      {"Osc 1 Range", 1, kNaN, 1},
      {"Wave", 0, 1.5, 2},
      {"Wave", 0, 9, 2},
      {"Wave", 2, -3, 0},
      {"Sync", 0, 0.5, 1},
      {"Sync", 1, 0.3, 0},
      {"Attack", 12, 12.345, 12.345},  // doubles keep their fraction
      {"Attack", 12, 0.5, 1},
      {"Attack", 12, 2500, 2000},
      {"Attack", 12, kInf, 2000},
      {"Attack", 12, -kInf, 1},
      {"Attack", 100, kNaN, 100},
      {"Mix", 50, 12.34, 12.34},
      {"Fine", 0, -0.005, -0.005},
  };
  for (const auto& c : cases) {
    IParam& prm = p.Get(c.param);
    prm.Set(c.start);
    prm.Set(c.in);
    EXPECT_EQ(prm.Value(), c.out) << c.param << " Set(" << c.in << ") from " << c.start;
    prm.Set(c.start);
    EXPECT_EQ(prm.Constrain(c.in), c.out) << c.param << " Constrain(" << c.in << ") with value " << c.start;
  }
}

TEST(IParam, IntAndBoolAccessors) {
  Params p;
  p.range.Set(-1.6);
  EXPECT_EQ(p.range.Int(), -2);
  p.sync.Set(0.7);
  EXPECT_TRUE(p.sync.Bool());
  p.sync.Set(0.2);
  EXPECT_FALSE(p.sync.Bool());
}

TEST(IParam, DefaultOutsideTheRangeIsClamped) {
  IParam prm;
  prm.InitInt("Voices", 40, 1, 16);
  EXPECT_EQ(prm.GetDefault(), 16.0);
  EXPECT_EQ(prm.Value(), 16.0);
}

TEST(IParam, DisplayText) {
  Params p;
  struct Case { const char* param; double plain; bool withLabel; const char* text; } cases[] = {
      {"Attack", 250.875, true, "251ms"},  // step 1: no decimals, label appended as declared
      {"Attack", 250.875, false, "251"},
      {"Attack", 250.5, true, "251ms"},    // half away from zero, as for stepped values
      {"Attack", 12, true, "12ms"},
      {"Mix", 12, true, "12.0%"},          // step 0.1: one decimal
      {"Mix", 12.34, true, "12.3%"},
      {"Mix", 99.96, false, "100.0"},
      {"Fine", 0.5, true, "0.50 cents"},   // step 0.01: two decimals
      {"Fine", -0.25, true, "-0.25 cents"},
      {"Offset", -0.4, true, "0"},         // no "-0"
      {"Offset", -3, true, "-3"},
      {"Osc 1 Range", -1, true, "-1 oct"},
      {"Osc 1 Range", 1.4, true, "1 oct"},
      {"Osc 1 Range", 1.5, true, "2 oct"},
      {"Osc 1 Range", -2, false, "-2"},
      {"Osc 1 Range", 9, true, "2 oct"},   // clamped like Set
      {"Wave", 0, true, "Saw"},
      {"Wave", 1.4, true, "Square"},
      {"Wave", 1.5, true, "Triangle"},
      {"Sync", 0, true, "free"},
      {"Sync", 1, false, "synced"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(p.Get(c.param).GetDisplay(c.plain, c.withLabel), c.text)
        << c.param << " plain=" << c.plain << " withLabel=" << c.withLabel;

  p.wave.Set(2);
  EXPECT_EQ(p.wave.GetDisplay(), "Triangle");
  p.range.Set(-2);
  EXPECT_EQ(p.range.GetDisplay(false), "-2");
}

TEST(IParam, StringToValue) {
  Params p;
  struct Case { const char* param; const char* text; bool ok; double plain; } cases[] = {
      {"Attack", "250", true, 250},
      {"Attack", "250ms", true, 250},
      {"Attack", "  250 ms ", true, 250},
      {"Attack", "250.875", true, 250.875},
      {"Attack", "+40", true, 40},
      {"Attack", "1e3", true, 1000},
      {"Attack", "5000", true, 2000},      // clamped
      {"Attack", "250 oct", false, 0},     // someone else's unit
      {"Attack", "250ms ms", false, 0},
      {"Attack", "abc", false, 0},
      {"Attack", "", false, 0},
      {"Attack", "   ", false, 0},
      {"Attack", "ms", false, 0},
      {"Attack", "nan", false, 0},
      {"Attack", "inf", false, 0},
      {"Attack", "-inf", false, 0},
      {"Attack", "1e999", false, 0},
      {"Attack", "+-5", false, 0},
      {"Attack", "1 2", false, 0},
      {"Mix", "12.5%", true, 12.5},
      {"Mix", "12.5 %", true, 12.5},
      {"Mix", "12.5%%", false, 0},
      {"Fine", "-0.3 cents", true, -0.3},
      {"Osc 1 Range", "-1 oct", true, -1},
      {"Osc 1 Range", "+1", true, 1},
      {"Osc 1 Range", "1.6", true, 2},     // rounded like Set
      {"Osc 1 Range", "-0.5", true, -1},
      {"Wave", "Square", true, 1},
      {"Wave", "Triangle", true, 2},
      {"Wave", " Saw ", true, 0},
      {"Wave", "square", false, 0},        // texts match exactly
      {"Wave", "Squ", false, 0},
      {"Wave", "2", true, 2},              // a number is accepted too
      {"Sync", "synced", true, 1},
      {"Sync", "free", true, 0},
      {"Sync", "on", false, 0},
  };
  for (const auto& c : cases) {
    double v = -12345.0;
    const bool ok = p.Get(c.param).StringToValue(c.text, v);
    EXPECT_EQ(ok, c.ok) << c.param << " \"" << c.text << "\"";
    if (c.ok && ok) {
      EXPECT_NEAR(v, c.plain, 1e-12) << c.param << " \"" << c.text << "\"";
    }
    if (!c.ok) {
      EXPECT_EQ(v, -12345.0) << c.param << " \"" << c.text << "\" wrote a value";
    }
  }
}

TEST(IParam, DisplayTextParsesBackToTheDisplayedValue) {
  Params p;
  for (IParam* prm : {&p.attack, &p.range, &p.mix, &p.fine, &p.sync, &p.wave}) {
    for (double n : {0.0, 0.3, 0.5, 0.9, 1.0}) {
      const double plain = prm->FromNormalized(n);
      const std::string text = prm->GetDisplay(plain);
      double back = 0.0;
      ASSERT_TRUE(prm->StringToValue(text, back)) << prm->GetName() << " \"" << text << "\"";
      EXPECT_EQ(prm->GetDisplay(back), text) << prm->GetName() << " n=" << n;
    }
  }
}

TEST(IParam, EmptyEnumHasOneValueAndNoSteps) {
  IParam prm;
  prm.InitEnum("Nothing", 3, {});
  EXPECT_EQ(prm.GetMax(), 0.0);
  EXPECT_EQ(prm.Value(), 0.0);
  EXPECT_EQ(prm.GetStepCount(), 0);
  EXPECT_EQ(prm.ToNormalized(0.0), 0.0);
  EXPECT_EQ(prm.GetDisplay(), "0");
}

}  // namespace
}  // namespace fw
