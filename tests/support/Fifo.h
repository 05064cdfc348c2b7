// Special files (a FIFO, a socket) for tests of code that must never block on
// one, and a guard that runs such code with a deadline: when the deadline
// passes, a FIFO is opened for writing, which releases a reader stuck in
// open(), so the test fails instead of hanging.
#pragma once

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <string>

namespace vbtest {

// Creates a FIFO at path; false when the file system refuses.
inline bool MakeFifo(const std::string& path) { return mkfifo(path.c_str(), 0600) == 0; }

// Creates a Unix domain socket file at path (bound, then closed: the file
// stays); false when the path is too long or the system refuses.
inline bool MakeSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  const bool ok = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  close(fd);
  return ok;
}

// Runs work on another thread; true when it finished within the deadline.
// Late work is released through the FIFO and awaited, so nothing outlives
// the call.
inline bool FinishesWithoutBlocking(const std::string& fifoPath, const std::function<void()>& work,
                                    std::chrono::seconds deadline = std::chrono::seconds(10)) {
  std::future<void> done = std::async(std::launch::async, work);
  if (done.wait_for(deadline) == std::future_status::ready) {
    done.get();
    return true;
  }
  while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
    const int fd = open(fifoPath.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) close(fd);
  }
  done.get();
  return false;
}

}  // namespace vbtest
