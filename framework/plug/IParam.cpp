#include "IParam.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <utility>

namespace fw {

double RoundHalfAway(double x) { return std::round(x); }

namespace {

// Whitespace as the C locale knows it, without depending on the current locale.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

// Decimals needed to show a value on the given step: the fewest (up to 6) for
// which the step is a whole number of units of the last digit. 1 -> 0, 0.1 -> 1,
// 0.25 -> 2. Continuous parameters without a step get 2.
int DecimalsForStep(double step) {
  if (!(step > 0.0) || !std::isfinite(step)) return 2;
  double scaled = step;
  for (int d = 0; d <= 6; ++d) {
    if (std::fabs(scaled - std::round(scaled)) <= 1e-9 * std::max(1.0, std::fabs(scaled))) return d;
    scaled *= 10.0;
  }
  return 6;
}

}  // namespace

void IParam::Init(EParamType type, const char* name, double defaultVal, double minVal, double maxVal,
                  double step, const char* label, int flags, const char* group, const Shape& shape) {
  if (minVal > maxVal) std::swap(minVal, maxVal);
  mType = type;
  mName = name ? name : "";
  mLabel = label ? label : "";
  mGroup = group ? group : "";
  mMin = minVal;
  mMax = maxVal;
  mStep = step;
  mFlags = flags;
  mShape = shape;
  mDisplayTexts.clear();
  // Constrain falls back to the current value for NaN; start from the minimum
  // so a NaN default leaves a valid value.
  mValue.store(mMin, std::memory_order_relaxed);
  mDefault = Constrain(defaultVal);
  mValue.store(mDefault, std::memory_order_relaxed);
}

void IParam::InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                        const char* label, int flags, const char* group, const Shape& shape) {
  Init(kTypeDouble, name, defaultVal, minVal, maxVal, step, label, flags, group, shape);
}

void IParam::InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label,
                     int flags, const char* group) {
  Init(kTypeInt, name, defaultVal, minVal, maxVal, 1.0, label, flags, group, ShapeLinear());
}

void IParam::InitBool(const char* name, bool defaultVal, const char* label, int flags, const char* group,
                      const char* offText, const char* onText) {
  Init(kTypeBool, name, defaultVal ? 1.0 : 0.0, 0.0, 1.0, 1.0, label, flags, group, ShapeLinear());
  mDisplayTexts = {offText ? offText : "", onText ? onText : ""};
}

void IParam::InitEnum(const char* name, int defaultVal, std::initializer_list<const char*> texts,
                      int flags, const char* group) {
  const double maxVal = texts.size() > 0 ? static_cast<double>(texts.size() - 1) : 0.0;
  Init(kTypeEnum, name, defaultVal, 0.0, maxVal, 1.0, "", flags, group, ShapeLinear());
  for (const char* t : texts) mDisplayTexts.emplace_back(t ? t : "");
}

double IParam::Constrain(double plain) const {
  if (std::isnan(plain)) return Value();
  double v = std::clamp(plain, mMin, mMax);
  if (IsStepped()) v = std::clamp(RoundHalfAway(v), mMin, mMax);
  return v;
}

void IParam::Set(double plain) {
  if (std::isnan(plain)) return;
  mValue.store(Constrain(plain), std::memory_order_relaxed);
}

void IParam::SetNormalized(double normalized) {
  if (std::isnan(normalized)) return;
  mValue.store(FromNormalized(normalized), std::memory_order_relaxed);
}

double IParam::ToNormalized(double plain) const {
  if (std::isnan(plain)) plain = Value();
  const double range = mMax - mMin;
  if (!(range > 0.0)) return 0.0;
  const double n = (std::clamp(plain, mMin, mMax) - mMin) / range;
  if (mShape.kind == Shape::kPowCurve && mShape.exponent > 0.0 && mShape.exponent != 1.0)
    return std::clamp(std::pow(n, 1.0 / mShape.exponent), 0.0, 1.0);
  return std::clamp(n, 0.0, 1.0);
}

double IParam::FromNormalized(double normalized) const {
  if (std::isnan(normalized)) return Value();
  double n = std::clamp(normalized, 0.0, 1.0);
  if (mShape.kind == Shape::kPowCurve && mShape.exponent > 0.0 && mShape.exponent != 1.0)
    n = std::pow(n, mShape.exponent);
  return Constrain(mMin + n * (mMax - mMin));
}

int IParam::GetStepCount() const {
  return IsStepped() ? static_cast<int>(RoundHalfAway(mMax - mMin)) : 0;
}

const char* IParam::GetDisplayText(int index) const {
  return (index >= 0 && index < NDisplayTexts()) ? mDisplayTexts[static_cast<size_t>(index)].c_str() : "";
}

std::string IParam::GetDisplay(double plain, bool withLabel) const {
  if (IsStepped()) {
    const int i = static_cast<int>(Constrain(plain));
    if (mType == kTypeEnum || mType == kTypeBool) {
      if (i >= 0 && i < NDisplayTexts()) return mDisplayTexts[static_cast<size_t>(i)];
    }
    std::string s = std::to_string(i);
    if (withLabel) s += mLabel;
    return s;
  }

  // Rounded half away from zero first, so the text agrees with the stepped
  // kinds' rounding (printf alone rounds exact halves to even), and a value
  // that rounds to zero shows no minus sign.
  const int decimals = DecimalsForStep(mStep);
  double shown = plain;
  if (std::isfinite(plain)) {
    const double scale = std::pow(10.0, decimals);
    shown = RoundHalfAway(plain * scale) / scale;
    if (shown == 0.0) shown = 0.0;
  }
  char buf[64];
  std::snprintf(buf, sizeof(buf), "%.*f", decimals, shown);
  std::string s = buf;
  if (withLabel) s += mLabel;
  return s;
}

bool IParam::StringToValue(const std::string& text, double& plainOut) const {
  const std::string_view trimmed = Trim(text);

  if (mType == kTypeEnum || mType == kTypeBool) {
    for (size_t i = 0; i < mDisplayTexts.size(); ++i) {
      if (mDisplayTexts[i] == text || (!trimmed.empty() && mDisplayTexts[i] == trimmed)) {
        plainOut = static_cast<double>(i);
        return true;
      }
    }
  }

  // A number (an optional '+' accepted), then optionally the unit label.
  std::string_view s = trimmed;
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
    if (!s.empty() && s.front() == '-') return false;  // "+-1"
  }
  double v = 0.0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || !std::isfinite(v)) return false;
  const std::string_view rest = Trim(s.substr(static_cast<size_t>(end - s.data())));
  if (!rest.empty() && rest != Trim(mLabel)) return false;
  plainOut = Constrain(v);
  return true;
}

}  // namespace fw
