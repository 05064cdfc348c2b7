// A private X server for tests that need a screen: starts Xvfb on a free
// display number, points DISPLAY at it, and stops it again. Tests therefore
// run the same on a desktop, over ssh and in CI.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace vbtest {

class XvfbDisplay {
public:
  // width x height x 24 bits. Check Ok(); Error() says why not.
  explicit XvfbDisplay(int width = 1600, int height = 1200) {
    // Xvfb chooses a free display number itself and writes it to the pipe
    // once it accepts connections (-displayfd), so parallel tests never race.
    int fds[2];
    if (pipe(fds) != 0) {
      mError = "no pipe for Xvfb";
      return;
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const std::string fd = std::to_string(fds[1]);
    const pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      // The server must not outlive a test that dies (a sanitizer stop), and
      // must not hold the test's output open: the test runner waits for it.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      const int devnull = open("/dev/null", O_RDWR);
      if (devnull >= 0) {
        dup2(devnull, STDIN_FILENO);
        dup2(devnull, STDOUT_FILENO);
        dup2(devnull, STDERR_FILENO);
      }
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
             "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
      close(fds[0]);
      mError = "could not start Xvfb";
      return;
    }
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
      int status = 0;
      waitpid(pid, &status, 0);
      mError = WIFEXITED(status) && WEXITSTATUS(status) == 127 ? "Xvfb is not installed (package xvfb)"
                                                              : "Xvfb did not start";
      return;
    }
    mPid = pid;
    mDisplay = ":" + number;
    const char* old = std::getenv("DISPLAY");
    mOldDisplay = old ? old : "";
    mHadDisplay = old != nullptr;
    setenv("DISPLAY", mDisplay.c_str(), 1);
  }

  ~XvfbDisplay() {
    if (mPid <= 0) return;
    kill(mPid, SIGTERM);
    waitpid(mPid, nullptr, 0);
    if (mHadDisplay)
      setenv("DISPLAY", mOldDisplay.c_str(), 1);
    else
      unsetenv("DISPLAY");
  }

  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  bool Ok() const { return mPid > 0; }
  const std::string& Error() const { return mError; }
  const std::string& Name() const { return mDisplay; }

private:
  pid_t mPid = -1;
  std::string mDisplay, mError, mOldDisplay;
  bool mHadDisplay = false;
};

}  // namespace vbtest
