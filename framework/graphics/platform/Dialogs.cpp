#include "Dialogs.h"

#ifdef _WIN32
#include "framework/plug/WinApi.h"
// After <windows.h>, which leaves the common dialogs out when kept lean.
#include <commdlg.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#endif

namespace fw::platform {

#ifdef _WIN32

namespace {

std::wstring Wide(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Utf8(const wchar_t* w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string s(static_cast<size_t>(n - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
  return s;
}

}  // namespace

std::optional<std::string> PromptForFile(const FileDialogRequest& request, std::string* /*problem*/) {
  // Filter: "Name (*.ext)\0*.ext\0All files\0*.*\0\0".
  std::wstring filter;
  if (!request.extension.empty()) {
    const std::wstring pattern = L"*." + Wide(request.extension);
    filter += Wide(request.filterName.empty() ? request.extension : request.filterName) + L" (" + pattern + L")";
    filter.push_back(L'\0');
    filter += pattern;
    filter.push_back(L'\0');
  }
  filter += L"All files";
  filter.push_back(L'\0');
  filter += L"*.*";
  filter.push_back(L'\0');
  filter.push_back(L'\0');

  std::wstring buffer(32768, L'\0');
  const std::wstring proposed = Wide(request.proposedName);
  proposed.copy(buffer.data(), std::min(proposed.size(), buffer.size() - 1));
  const std::wstring folder = Wide(request.folder);
  const std::wstring title = Wide(request.title);
  const std::wstring defExt = Wide(request.extension);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = GetActiveWindow();
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.lpstrDefExt = defExt.empty() ? nullptr : defExt.c_str();
  BOOL ok = FALSE;
  if (request.mode == FileDialogMode::kSave) {
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    ok = GetSaveFileNameW(&ofn);
  } else {
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    ok = GetOpenFileNameW(&ofn);
  }
  if (!ok) return std::nullopt;
  return Utf8(buffer.c_str());
}

MessageAnswer ShowMessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                             std::string* /*problem*/) {
  UINT type = MB_OK;
  switch (buttons) {
    case MessageButtons::kOk: type = MB_OK; break;
    case MessageButtons::kOkCancel: type = MB_OKCANCEL; break;
    case MessageButtons::kYesNo: type = MB_YESNO; break;
    case MessageButtons::kYesNoCancel: type = MB_YESNOCANCEL; break;
  }
  switch (MessageBoxW(GetActiveWindow(), Wide(text).c_str(), Wide(caption).c_str(), type | MB_TASKMODAL)) {
    case IDOK: return MessageAnswer::kOk;
    case IDCANCEL: return MessageAnswer::kCancel;
    case IDYES: return MessageAnswer::kYes;
    case IDNO: return MessageAnswer::kNo;
    default: return MessageAnswer::kNone;
  }
}

#else  // Linux and other X11 desktops

namespace {

constexpr const char* kHelpers[] = {"zenity", "kdialog"};
constexpr const char* kInstallHint = "no dialog helper found: install zenity (or kdialog)";

bool OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = dirs.find(':', start);
    const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return false;
}

const char* FindHelper() {
  for (const char* h : kHelpers)
    if (OnPath(h)) return h;
  return nullptr;
}

struct RunResult {
  bool started = false;
  int exitCode = -1;
  std::string out;
};

// Runs the helper and waits for it: the dialog is modal.
RunResult Run(const std::vector<std::string>& args) {
  RunResult r;
  int fds[2];
  if (pipe(fds) != 0) return r;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    const int devnull = open("/dev/null", O_WRONLY);
    if (devnull >= 0) dup2(devnull, STDERR_FILENO);
    close(fds[0]);
    close(fds[1]);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return r;
  }
  char buf[4096];
  for (;;) {
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n > 0) {
      r.out.append(buf, static_cast<size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  r.started = !(WIFEXITED(status) && WEXITSTATUS(status) == 127);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string StartPath(const FileDialogRequest& request) {
  std::string p = request.folder;
  if (!p.empty() && p.back() != '/') p += '/';
  return p + request.proposedName;
}

}  // namespace

std::vector<std::string> FileDialogArguments(const std::string& helper, const FileDialogRequest& request) {
  const std::string name = request.filterName.empty() ? request.extension : request.filterName;
  std::vector<std::string> a = {helper};
  if (helper == "zenity") {
    a.push_back("--file-selection");
    if (request.mode == FileDialogMode::kSave) {
      a.push_back("--save");
      a.push_back("--confirm-overwrite");
    }
    if (!request.title.empty()) a.push_back("--title=" + request.title);
    const std::string start = StartPath(request);
    if (!start.empty()) a.push_back("--filename=" + start);
    if (!request.extension.empty()) a.push_back("--file-filter=" + name + " | *." + request.extension);
    a.push_back("--file-filter=All files | *");
  } else {
    a.push_back(request.mode == FileDialogMode::kSave ? "--getsavefilename" : "--getopenfilename");
    a.push_back(StartPath(request).empty() ? "." : StartPath(request));
    a.push_back(request.extension.empty() ? "*" : "*." + request.extension + "|" + name);
    if (!request.title.empty()) {
      a.push_back("--title");
      a.push_back(request.title);
    }
  }
  return a;
}

std::vector<std::string> MessageBoxArguments(const std::string& helper, const std::string& text,
                                             const std::string& caption, MessageButtons buttons) {
  std::vector<std::string> a = {helper};
  if (helper == "zenity") {
    switch (buttons) {
      case MessageButtons::kOk: a.push_back("--info"); break;
      case MessageButtons::kOkCancel:
        a.insert(a.end(), {"--question", "--ok-label=OK", "--cancel-label=Cancel"});
        break;
      case MessageButtons::kYesNo: a.push_back("--question"); break;
      case MessageButtons::kYesNoCancel: a.insert(a.end(), {"--question", "--extra-button=Cancel"}); break;
    }
    // The text is shown as it is, not read as markup.
    a.insert(a.end(), {"--no-markup", "--title=" + caption, "--text=" + text});
  } else {
    switch (buttons) {
      case MessageButtons::kOk: a.push_back("--msgbox"); break;
      case MessageButtons::kOkCancel: a.push_back("--warningcontinuecancel"); break;
      case MessageButtons::kYesNo: a.push_back("--yesno"); break;
      case MessageButtons::kYesNoCancel: a.push_back("--yesnocancel"); break;
    }
    a.insert(a.end(), {text, "--title", caption});
  }
  return a;
}

std::optional<std::string> PromptForFile(const FileDialogRequest& request, std::string* problem) {
  const char* helper = FindHelper();
  if (!helper) {
    if (problem) *problem = kInstallHint;
    return std::nullopt;
  }
  RunResult r = Run(FileDialogArguments(helper, request));
  if (!r.started) {
    if (problem) *problem = std::string(helper) + " could not be started";
    return std::nullopt;
  }
  if (r.exitCode != 0) return std::nullopt;  // cancelled
  while (!r.out.empty() && (r.out.back() == '\n' || r.out.back() == '\r')) r.out.pop_back();
  if (r.out.empty()) return std::nullopt;
  return r.out;
}

MessageAnswer ShowMessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                             std::string* problem) {
  const char* helper = FindHelper();
  if (!helper) {
    if (problem) *problem = kInstallHint;
    return MessageAnswer::kNone;
  }
  const RunResult r = Run(MessageBoxArguments(helper, text, caption, buttons));
  if (!r.started) {
    if (problem) *problem = std::string(helper) + " could not be started";
    return MessageAnswer::kNone;
  }
  const bool zenity = std::string(helper) == "zenity";
  switch (buttons) {
    case MessageButtons::kOk: return MessageAnswer::kOk;
    case MessageButtons::kOkCancel: return r.exitCode == 0 ? MessageAnswer::kOk : MessageAnswer::kCancel;
    case MessageButtons::kYesNo: return r.exitCode == 0 ? MessageAnswer::kYes : MessageAnswer::kNo;
    case MessageButtons::kYesNoCancel:
      if (r.exitCode == 0) return MessageAnswer::kYes;
      if (zenity) return r.out.rfind("Cancel", 0) == 0 || r.exitCode != 1 ? MessageAnswer::kCancel : MessageAnswer::kNo;
      return r.exitCode == 1 ? MessageAnswer::kNo : MessageAnswer::kCancel;
  }
  return MessageAnswer::kNone;
}

#endif

}  // namespace fw::platform
