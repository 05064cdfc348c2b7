#include "FileChecks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vbrender {
namespace {

// What a non-regular file is, for messages.
const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISLNK(mode)) return "a symbolic link";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

std::string NotAFile(const std::string& path, mode_t mode) {
  return Quoted(path) + " is " + KindOf(mode) + ", not a regular file";
}

}  // namespace

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

int OpenRegularFile(const std::string& path, std::string& error) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open " + Quoted(path) + ": " + std::strerror(errno);
    return -1;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    error = "cannot open " + Quoted(path) + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    error = NotAFile(path, st.st_mode);
    close(fd);
    return -1;
  }
  // Reads of a regular file never wait; the flag is dropped all the same so
  // the descriptor behaves as an ordinary one.
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) (void)fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

bool CheckReplaceable(const std::string& path, std::string& error) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return true;  // a new name; its folder is checked when the file is created
    error = "cannot write " + Quoted(path) + ": " + std::strerror(errno);
    return false;
  }
  if (S_ISREG(st.st_mode)) return true;
  error = "cannot write " + NotAFile(path, st.st_mode) + "; only a regular file is replaced";
  return false;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  const bool aExists = stat(a.c_str(), &sa) == 0, bExists = stat(b.c_str(), &sb) == 0;
  if (aExists || bExists) return aExists && bExists && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  // Two new names: the same place once "." and ".." and links of the
  // existing folders are resolved.
  std::error_code ec1, ec2;
  const std::filesystem::path ca = std::filesystem::weakly_canonical(std::filesystem::absolute(a, ec1), ec1);
  const std::filesystem::path cb = std::filesystem::weakly_canonical(std::filesystem::absolute(b, ec2), ec2);
  return !ec1 && !ec2 && ca == cb;
}

bool CheckRenderPaths(const RenderOptions& o, std::string& error) {
  if (!CheckReplaceable(o.output, error)) return false;
  if (o.savePatch && !CheckReplaceable(*o.savePatch, error)) {
    error = "--save-patch: " + error;
    return false;
  }
  const auto clash = [&](const std::string& what, const std::string& other) {
    error = "OUTPUT " + Quoted(o.output) + " is the same file as " + what + " " + Quoted(other);
    return false;
  };
  if (SameFile(o.output, o.input)) return clash("INPUT", o.input);
  if (o.patch && SameFile(o.output, *o.patch)) return clash("--patch", *o.patch);
  if (o.savePatch && SameFile(o.output, *o.savePatch)) return clash("--save-patch", *o.savePatch);
  if (o.savePatch && SameFile(*o.savePatch, o.input)) {
    error = "--save-patch " + Quoted(*o.savePatch) + " is the same file as INPUT " + Quoted(o.input);
    return false;
  }
  return true;
}

}  // namespace vbrender
