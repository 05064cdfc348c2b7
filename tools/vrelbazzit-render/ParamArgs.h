// The renderer's --param arguments: "NAME=VALUE" or "INDEX=VALUE" with a
// plain value in the parameter's own unit, or for enum and switch parameters
// one of their display texts.
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

}  // namespace vbrender
