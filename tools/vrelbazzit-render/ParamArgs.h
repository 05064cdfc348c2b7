// The renderer's --param arguments: "NAME=VALUE" or "INDEX=VALUE" with a
// plain value in the parameter's own unit, or for enum and switch parameters
// one of their display texts; and its --automate arguments, "NAME=TIME:VALUE,
// TIME:VALUE,..." with times in seconds and values as --param takes them.
#pragma once

#include <string>
#include <vector>

namespace vbrender {

// What argument checking needs to know about one parameter.
struct ParamInfo {
  std::string name;
  double min = 0.0;
  double max = 1.0;
  bool stepped = false;             // int, enum and switch parameters take whole numbers
  std::vector<std::string> texts;   // display texts of values min, min + 1, ... (enum, switch)
};

struct ParamAssignment {
  int index = 0;
  double value = 0.0;  // plain value
};

// Parses one argument against the parameter list. The name must match a
// declared name exactly; a key of digits only that is no name is an index.
// Display texts match regardless of case. On failure returns false and sets
// error to one line naming the problem.
bool ParseParamArg(const std::string& arg, const std::vector<ParamInfo>& params, ParamAssignment& out,
                   std::string& error);

// All arguments in order; stops at the first bad one.
bool ParseParamArgs(const std::vector<std::string>& args, const std::vector<ParamInfo>& params,
                    std::vector<ParamAssignment>& out, std::string& error);

struct AutomationPoint {
  double seconds = 0.0;  // finite, not negative
  double value = 0.0;    // plain value
};

// One parameter's automation: its points in the order given, their times
// never decreasing.
struct AutomationLane {
  int index = 0;
  std::vector<AutomationPoint> points;
};

// Parses one --automate argument; the parameter is named as for --param. On
// failure returns false and sets error to one line naming the problem.
bool ParseAutomationArg(const std::string& arg, const std::vector<ParamInfo>& params, AutomationLane& out,
                        std::string& error);

// All --automate arguments in order; a parameter automated twice is refused.
bool ParseAutomationArgs(const std::vector<std::string>& args, const std::vector<ParamInfo>& params,
                         std::vector<AutomationLane>& out, std::string& error);

}  // namespace vbrender
