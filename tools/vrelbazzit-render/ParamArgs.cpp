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

}  // namespace

bool ParseParamArg(const std::string& arg, const std::vector<ParamInfo>& params, ParamAssignment& out,
                   std::string& error) {
  const size_t eq = arg.find('=');
  if (eq == std::string::npos) {
    error = "--param \"" + arg + "\": expected NAME=VALUE or INDEX=VALUE";
    return false;
  }
  const std::string key = Trim(arg.substr(0, eq));
  const std::string valueText = Trim(arg.substr(eq + 1));

  int index = -1;
  for (size_t i = 0; i < params.size(); ++i) {
    if (params[i].name == key) {
      index = static_cast<int>(i);
      break;
    }
  }
  if (index < 0 && AllDigits(key)) {
    int n = -1;
    const auto [ptr, ec] = std::from_chars(key.data(), key.data() + key.size(), n);
    if (ec != std::errc() || ptr != key.data() + key.size() || n >= static_cast<int>(params.size())) {
      error = "unknown parameter index " + key + " (0.." + std::to_string(int(params.size()) - 1) + ")";
      return false;
    }
    index = n;
  }
  if (index < 0) {
    error = "unknown parameter \"" + key + "\"";
    return false;
  }

  const ParamInfo& p = params[static_cast<size_t>(index)];
  const std::string what = "parameter \"" + p.name + "\"";
  for (size_t i = 0; i < p.texts.size(); ++i) {
    if (EqualsNoCase(valueText, p.texts[i])) {
      out = {index, p.min + static_cast<double>(i)};
      return true;
    }
  }

  double value = 0.0;
  bool nonFinite = false;
  if (!ParseNumber(valueText, value, nonFinite)) {
    if (nonFinite) {
      error = what + ": \"" + valueText + "\" is not a finite number";
    } else if (!p.texts.empty()) {
      error = what + ": \"" + valueText + "\" is not one of " + TextList(p) + " nor a number " +
              Number(p.min) + ".." + Number(p.max);
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
  out = {index, value};
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
