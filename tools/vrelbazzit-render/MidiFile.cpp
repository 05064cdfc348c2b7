// The file is parsed by libsmf in a forked child process. libsmf reports bad
// input through glib's log (caught here and sent back) but some truncated
// tracks trip an assert() inside it, which would abort the whole program; in a
// child that only ends the child, and the parent reports a malformed file.
#include "MidiFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <smf.h>

namespace vbrender {
namespace {

// Records the child sends: a tag byte, a 32-bit length, the payload.
constexpr char kTagWarning = 'W';   // text
constexpr char kTagCritical = 'C';  // text
constexpr char kTagMessage = 'M';   // double seconds + status + data1 + data2
constexpr char kTagLoadFailed = 'F';
constexpr char kTagDone = 'K';

constexpr size_t kMessageRecordSize = sizeof(double) + 3;

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// ---- Child side ---------------------------------------------------------------

bool WriteAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void WriteRecord(int fd, char tag, const void* payload, uint32_t size) {
  unsigned char head[5] = {static_cast<unsigned char>(tag), 0, 0, 0, 0};
  std::memcpy(head + 1, &size, sizeof size);
  if (!WriteAll(fd, head, sizeof head) || (size > 0 && !WriteAll(fd, payload, size))) _exit(3);
}

void ForwardLog(const gchar* /*domain*/, GLogLevelFlags level, const gchar* message, gpointer fdPtr) {
  const int fd = *static_cast<int*>(fdPtr);
  const char tag = (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL)) ? kTagCritical
                   : (level & G_LOG_LEVEL_WARNING)                      ? kTagWarning
                                                                         : 0;
  if (tag == 0 || message == nullptr) return;
  WriteRecord(fd, tag, message, static_cast<uint32_t>(std::strlen(message)));
}

[[noreturn]] void RunParserChild(const std::vector<unsigned char>& bytes, int fd) {
  // What the parser has to say comes through the log handler; an assert()
  // message would only add a stray line to the program's error output.
  const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (devNull >= 0) dup2(devNull, STDERR_FILENO);
  static int logFd;
  logFd = fd;
  g_log_set_default_handler(ForwardLog, &logFd);
  g_log_set_handler("libsmf",
                    static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
                    ForwardLog, &logFd);

  smf_t* smf = smf_load_from_memory(bytes.data(), static_cast<int>(bytes.size()));
  if (smf == nullptr) {
    WriteRecord(fd, kTagLoadFailed, nullptr, 0);
    _exit(0);
  }
  smf_event_t* event = nullptr;
  while ((event = smf_get_next_event(smf)) != nullptr) {
    if (event->midi_buffer == nullptr || event->midi_buffer_length < 1) continue;
    const unsigned status = event->midi_buffer[0];
    if (status < 0x80 || status > 0xEF) continue;  // meta, sysex, system messages
    const unsigned hi = status >> 4;
    const int length = (hi == 0xC || hi == 0xD) ? 2 : 3;
    if (event->midi_buffer_length < length) {
      const char* text = "a channel message is cut short";
      WriteRecord(fd, kTagCritical, text, static_cast<uint32_t>(std::strlen(text)));
      continue;
    }
    unsigned char record[kMessageRecordSize];
    const double seconds = event->time_seconds;
    std::memcpy(record, &seconds, sizeof seconds);
    record[sizeof(double)] = static_cast<unsigned char>(status);
    record[sizeof(double) + 1] = static_cast<unsigned char>(event->midi_buffer[1] & 0x7F);
    record[sizeof(double) + 2] =
        static_cast<unsigned char>(length == 3 ? (event->midi_buffer[2] & 0x7F) : 0);
    WriteRecord(fd, kTagMessage, record, static_cast<uint32_t>(sizeof record));
  }
  smf_delete(smf);
  WriteRecord(fd, kTagDone, nullptr, 0);
  _exit(0);
}

// ---- Parent side ------------------------------------------------------------------

// libsmf's texts start with "SMF error: " or similar and may end in a period.
std::string CleanLogText(std::string text) {
  for (const char* prefix : {"SMF error: ", "SMF warning: "}) {
    if (text.rfind(prefix, 0) == 0) text.erase(0, std::strlen(prefix));
  }
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
  return text;
}

bool CheckHeader(const std::vector<unsigned char>& bytes, const std::string& name, std::string& error) {
  if (bytes.empty()) {
    error = Quoted(name) + " is empty";
    return false;
  }
  if (bytes.size() < 4 || std::memcmp(bytes.data(), "MThd", 4) != 0) {
    error = Quoted(name) + " is not a Standard MIDI File (no MThd header)";
    return false;
  }
  if (bytes.size() < 14) {
    error = Quoted(name) + " is malformed: the file header is cut short";
    return false;
  }
  const unsigned division = (unsigned(bytes[12]) << 8) | bytes[13];
  if (division & 0x8000) {
    error = Quoted(name) + " uses SMPTE time code timing, which is not supported";
    return false;
  }
  if (division == 0) {
    error = Quoted(name) + " is malformed: zero ticks per quarter note";
    return false;
  }
  return true;
}

}  // namespace

bool ParseMidiBytes(const std::vector<unsigned char>& bytes, const std::string& name,
                    MidiFileData& out, std::string& error) {
  out = MidiFileData{};
  if (!CheckHeader(bytes, name, error)) return false;
  if (static_cast<long long>(bytes.size()) > kMaxMidiFileBytes) {
    error = Quoted(name) + " is too large for a MIDI file";
    return false;
  }

  int fds[2];
  if (pipe(fds) != 0) {
    error = "cannot start the MIDI parser: " + std::string(std::strerror(errno));
    return false;
  }
  const pid_t pid = fork();
  if (pid < 0) {
    error = "cannot start the MIDI parser: " + std::string(std::strerror(errno));
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    close(fds[0]);
    RunParserChild(bytes, fds[1]);
  }
  close(fds[1]);

  std::vector<unsigned char> stream;
  unsigned char chunk[65536];
  for (;;) {
    const ssize_t n = read(fds[0], chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    stream.insert(stream.end(), chunk, chunk + n);
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }

  std::vector<std::string> criticals;
  bool loadFailed = false, done = false;
  size_t pos = 0;
  while (pos + 5 <= stream.size()) {
    const char tag = static_cast<char>(stream[pos]);
    uint32_t size = 0;
    std::memcpy(&size, &stream[pos + 1], sizeof size);
    pos += 5;
    if (size > stream.size() - pos) break;
    const unsigned char* payload = stream.data() + pos;
    pos += size;
    switch (tag) {
      case kTagWarning:
        out.warnings.push_back(CleanLogText(std::string(payload, payload + size)));
        break;
      case kTagCritical:
        criticals.push_back(CleanLogText(std::string(payload, payload + size)));
        break;
      case kTagMessage:
        if (size == kMessageRecordSize) {
          TimedMidiMsg m;
          std::memcpy(&m.seconds, payload, sizeof(double));
          m.msg = fw::IMidiMsg(0, payload[sizeof(double)], payload[sizeof(double) + 1],
                               payload[sizeof(double) + 2]);
          out.messages.push_back(m);
        }
        break;
      case kTagLoadFailed: loadFailed = true; break;
      case kTagDone: done = true; break;
      default: break;
    }
  }

  const bool exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!criticals.empty() || loadFailed || !done || !exitedCleanly) {
    std::string why;
    if (!criticals.empty()) {
      why = criticals.front();
    } else if (loadFailed) {
      why = "the MIDI parser could not read it";
    } else {
      why = "the MIDI parser failed on it (a track cut short?)";
    }
    error = Quoted(name) + " is malformed: " + why;
    out = MidiFileData{};
    return false;
  }
  if (!out.messages.empty()) out.lastEventSeconds = out.messages.back().seconds;
  return true;
}

bool ReadMidiFile(const std::string& path, MidiFileData& out, std::string& error) {
  out = MidiFileData{};
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open " + Quoted(path) + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    error = Quoted(path) + " is not a regular file";
    return false;
  }
  if (st.st_size > kMaxMidiFileBytes) {
    close(fd);
    error = Quoted(path) + " is too large for a MIDI file";
    return false;
  }
  std::vector<unsigned char> bytes(static_cast<size_t>(st.st_size));
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = "cannot read " + Quoted(path) + ": " + std::strerror(errno);
      close(fd);
      return false;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  bytes.resize(got);
  return ParseMidiBytes(bytes, path, out, error);
}

}  // namespace vbrender
