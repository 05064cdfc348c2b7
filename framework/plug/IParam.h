// A plug-in parameter: its declaration (name, range, step, unit, group, shape)
// and its current plain value, with the conversions to and from the host's
// normalised 0..1 value and to display text.
#pragma once

#include <atomic>
#include <initializer_list>
#include <string>
#include <vector>

namespace fw {

class IParam {
public:
  enum EParamType { kTypeNone, kTypeBool, kTypeInt, kTypeEnum, kTypeDouble };
  enum EFlags { kFlagsNone = 0 };

  // Normalised-to-plain mapping. Linear: plain = min + n (max - min).
  // Power curve with exponent e: plain = min + n^e (max - min).
  struct Shape {
    enum Kind { kLinear, kPowCurve } kind = kLinear;
    double exponent = 1.0;
  };
  static Shape ShapeLinear() { return {}; }
  static Shape ShapePowCurve(double exponent) { return {Shape::kPowCurve, exponent}; }

  IParam() = default;
  IParam(const IParam&) = delete;
  IParam& operator=(const IParam&) = delete;

  void InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                  const char* label = "", int flags = 0, const char* group = "",
                  const Shape& shape = ShapeLinear());
  void InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label = "",
               int flags = 0, const char* group = "");
  void InitBool(const char* name, bool defaultVal, const char* label = "", int flags = 0,
                const char* group = "", const char* offText = "off", const char* onText = "on");
  void InitEnum(const char* name, int defaultVal, std::initializer_list<const char*> texts,
                int flags = 0, const char* group = "");
  // The same with the texts given as an array of nTexts entries.
  void InitEnum(const char* name, int defaultVal, int nTexts, const char* const* texts, int flags = 0,
                const char* group = "") {
    Init(kTypeEnum, name, defaultVal, 0.0, nTexts > 0 ? nTexts - 1 : 0, 1.0, "", flags, group, ShapeLinear());
    mDisplayTexts.assign(texts, texts + (nTexts > 0 ? nTexts : 0));
  }

  // Current plain value. Safe to read from any thread.
  double Value() const { return mValue.load(std::memory_order_relaxed); }
  bool Bool() const { return Value() >= 0.5; }
  int Int() const { return static_cast<int>(Value()); }

  // Sets the plain value: clamped to min..max, rounded half away from zero for
  // the stepped kinds (int, bool, enum). NaN is ignored (the value stays).
  void Set(double plain);
  void SetNormalized(double normalized);  // NaN ignored, clamped to 0..1
  void SetToDefault() { Set(mDefault); }

  double GetNormalized() const { return ToNormalized(Value()); }
  double ToNormalized(double plain) const;    // result in 0..1
  double FromNormalized(double normalized) const;  // clamped and stepped like Set
  double Constrain(double plain) const;       // clamp + rounding of Set, NaN -> current value

  // Display text of a plain value: enum/bool texts, else the number and the unit label.
  std::string GetDisplay(double plain, bool withLabel = true) const;
  std::string GetDisplay(bool withLabel = true) const { return GetDisplay(Value(), withLabel); }
  // Parses display text back to a plain value; false when the text is not a value.
  bool StringToValue(const std::string& text, double& plainOut) const;

  const char* GetName() const { return mName.c_str(); }
  const char* GetLabel() const { return mLabel.c_str(); }
  const char* GetGroup() const { return mGroup.c_str(); }
  EParamType Type() const { return mType; }
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }
  double GetRange() const { return mMax - mMin; }
  double GetStep() const { return mStep; }
  double GetDefault(bool normalized = false) const { return normalized ? ToNormalized(mDefault) : mDefault; }
  int GetFlags() const { return mFlags; }
  const Shape& GetShape() const { return mShape; }
  bool IsStepped() const { return mType == kTypeBool || mType == kTypeInt || mType == kTypeEnum; }
  // Steps the host sees: 0 for continuous parameters, max - min for stepped ones.
  int GetStepCount() const;
  int NDisplayTexts() const { return static_cast<int>(mDisplayTexts.size()); }
  const char* GetDisplayText(int index) const;  // "" out of range

private:
  void Init(EParamType type, const char* name, double defaultVal, double minVal, double maxVal,
            double step, const char* label, int flags, const char* group, const Shape& shape);

  EParamType mType = kTypeNone;
  std::string mName, mLabel, mGroup;
  double mMin = 0.0, mMax = 1.0, mStep = 1.0, mDefault = 0.0;
  int mFlags = 0;
  Shape mShape;
  std::vector<std::string> mDisplayTexts;
  std::atomic<double> mValue{0.0};
};

// Rounds half away from zero (std::round does exactly that).
double RoundHalfAway(double x);

}  // namespace fw
