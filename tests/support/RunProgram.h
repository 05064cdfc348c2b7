// Runs one of our command-line programs as a user would, through the shell,
// and collects its exit code, standard output and standard error.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace vbtest {

// Single quotes for the shell, with embedded quotes escaped.
inline std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct RunResult {
  int exitCode = -1;
  std::string out, err;
};

// Runs commandLine (already quoted) with no input; its output goes through the
// files scratchBase + ".stdout" and ".stderr", removed afterwards.
inline RunResult RunCommand(const std::string& commandLine, const std::string& scratchBase) {
  const std::string outPath = scratchBase + ".stdout", errPath = scratchBase + ".stderr";
  const std::string command =
      commandLine + " >" + ShellQuote(outPath) + " 2>" + ShellQuote(errPath) + " </dev/null";
  RunResult r;
  const int status = std::system(command.c_str());
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  auto slurp = [](const std::string& path) {
    std::ifstream f(path);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  };
  r.out = slurp(outPath);
  r.err = slurp(errPath);
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  return r;
}

}  // namespace vbtest
