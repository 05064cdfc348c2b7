#include "ParamArgs.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace vbrender {
namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::string Number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// A whole-string decimal number; false for anything else, including "nan" and "inf".
bool ParseNumber(const std::string& text, double& out, bool& nonFinite) {
  nonFinite = false;
  if (text.empty()) return false;
  const char* first = text.data();
  const char* last = first + text.size();
  if (*first == '+') ++first;  // from_chars takes no plus sign
  double v = 0.0;
  const auto [ptr, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || ptr != last) return false;
  if (!std::isfinite(v)) {
    nonFinite = true;
    return false;
  }
  out = v;
  return true;
}

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string TextList(const ParamInfo& p) {
  std::string list;
  for (size_t i = 0; i < p.texts.size(); ++i) list += (i ? ", " : "") + p.texts[i];
  return list;
}

// The parameter a key names: a declared name exactly, or else a key of digits
// only as an index. -1 with error set when there is none.
int FindParam(const std::string& key, const std::vector<ParamInfo>& params, std::string& error) {
  for (size_t i = 0; i < params.size(); ++i) {
    if (params[i].name == key) return static_cast<int>(i);
  }
  if (AllDigits(key)) {
    int n = -1;
    const auto [ptr, ec] = std::from_chars(key.data(), key.data() + key.size(), n);
    if (ec != std::errc() || ptr != key.data() + key.size() || n >= static_cast<int>(params.size())) {
      error = "unknown parameter index " + key + " (0.." + std::to_string(int(params.size()) - 1) + ")";
      return -1;
    }
    return n;
  }
  error = "unknown parameter \"" + key + "\"";
  return -1;
}

// A plain value or display text for parameter p; error names the parameter.
bool ParseValue(const ParamInfo& p, const std::string& valueText, double& out, std::string& error) {
  const std::string what = "parameter \"" + p.name + "\"";
  for (size_t i = 0; i < p.texts.size(); ++i) {
    if (EqualsNoCase(valueText, p.texts[i])) {
      out = p.min + static_cast<double>(i);
      return true;
    }
  }
  double value = 0.0;
  bool nonFinite = false;
  if (!ParseNumber(valueText, value, nonFinite)) {
    if (nonFinite) {
      error = what + ": \"" + valueText + "\" is not a finite number";
    } else if (!p.texts.empty()) {
      error = what + ": \"" + valueText + "\" is not one of " + TextList(p) + " nor a number " + Number(p.min) +
              ".." + Number(p.max);
    } else {
      error = what + ": \"" + valueText + "\" is not a number";
    }
    return false;
  }
  if (value < p.min || value > p.max) {
    error = what + ": " + valueText + " is out of range " + Number(p.min) + ".." + Number(p.max);
    return false;
  }
  if (p.stepped && value != std::floor(value)) {
    error = what + ": " + valueText + " is not a whole number";
    return false;
  }
  out = value;
  return true;
}

}  // namespace

bool ParseParamArg(const std::string& arg, const std::vector<ParamInfo>& params, ParamAssignment& out,
                   std::string& error) {
  const size_t eq = arg.find('=');
  if (eq == std::string::npos) {
    error = "--param \"" + arg + "\": expected NAME=VALUE or INDEX=VALUE";
    return false;
  }
  const int index = FindParam(Trim(arg.substr(0, eq)), params, error);
  if (index < 0) return false;
  double value = 0.0;
  if (!ParseValue(params[static_cast<size_t>(index)], Trim(arg.substr(eq + 1)), value, error)) return false;
  out = {index, value};
  return true;
}

bool ParseAutomationArg(const std::string& arg, const std::vector<ParamInfo>& params, AutomationLane& out,
                        std::string& error) {
  const std::string prefix = "--automate \"" + arg + "\": ";
  const size_t eq = arg.find('=');
  if (eq == std::string::npos || Trim(arg.substr(eq + 1)).empty()) {
    error = prefix + "expected NAME=TIME:VALUE,TIME:VALUE,...";
    return false;
  }
  AutomationLane lane;
  lane.index = FindParam(Trim(arg.substr(0, eq)), params, error);
  if (lane.index < 0) {
    error = prefix + error;
    return false;
  }
  const ParamInfo& p = params[static_cast<size_t>(lane.index)];
  const std::string list = arg.substr(eq + 1);
  size_t start = 0;
  for (;;) {
    const size_t comma = list.find(',', start);
    const std::string pointText = Trim(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    const size_t colon = pointText.find(':');
    if (colon == std::string::npos) {
      error = prefix + "\"" + pointText + "\" is not TIME:VALUE";
      return false;
    }
    const std::string timeText = Trim(pointText.substr(0, colon));
    AutomationPoint point;
    bool nonFinite = false;
    if (!ParseNumber(timeText, point.seconds, nonFinite) || point.seconds < 0.0) {
      error = prefix + "the time \"" + timeText + "\" is not a number of seconds, 0 or more";
      return false;
    }
    if (!lane.points.empty() && point.seconds < lane.points.back().seconds) {
      error = prefix + "the time " + timeText + " comes before the point ahead of it; times must not decrease";
      return false;
    }
    if (!ParseValue(p, Trim(pointText.substr(colon + 1)), point.value, error)) {
      error = prefix + error;
      return false;
    }
    lane.points.push_back(point);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  out = std::move(lane);
  return true;
}

bool ParseAutomationArgs(const std::vector<std::string>& args, const std::vector<ParamInfo>& params,
                         std::vector<AutomationLane>& out, std::string& error) {
  out.clear();
  for (const std::string& arg : args) {
    AutomationLane lane;
    if (!ParseAutomationArg(arg, params, lane, error)) return false;
    for (const AutomationLane& other : out) {
      if (other.index == lane.index) {
        error = "--automate: parameter \"" + params[static_cast<size_t>(lane.index)].name +
                "\" is automated twice; give all its points in one --automate";
        return false;
      }
    }
    out.push_back(std::move(lane));
  }
  return true;
}

bool ParseParamArgs(const std::vector<std::string>& args, const std::vector<ParamInfo>& params,
                    std::vector<ParamAssignment>& out, std::string& error) {
  out.clear();
  for (const std::string& arg : args) {
    ParamAssignment a;
    if (!ParseParamArg(arg, params, a, error)) return false;
    out.push_back(a);
  }
  return true;
}

}  // namespace vbrender
