// Modal file and message dialogs of the desktop. Windows: the common dialogs.
// Linux: the desktop's dialog helper found at run time (zenity, else kdialog),
// run as a child process and waited for, never an asynchronous browser. Every
// call returns after the dialog has closed. Paths and texts are UTF-8.
//
// Threads: the main thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace fw::platform {

enum class FileDialogMode { kOpen, kSave };

struct FileDialogRequest {
  FileDialogMode mode = FileDialogMode::kOpen;
  std::string title;
  std::string folder;        // where the dialog starts; "" for the helper's choice
  std::string proposedName;  // the file name offered (saving) or selected (opening)
  std::string extension;     // filter without the dot ("vbpatch"); "" for all files
  std::string filterName;    // what such files are called ("Vrel Bazzit patch")
};

// The chosen file's full path; nothing when cancelled or when no dialog can be
// shown (then *problem, when given, says in one line what to install).
std::optional<std::string> PromptForFile(const FileDialogRequest& request, std::string* problem = nullptr);

enum class MessageButtons { kOk, kOkCancel, kYesNo, kYesNoCancel };
enum class MessageAnswer { kNone, kOk, kCancel, kYes, kNo };

// kNone when no dialog could be shown (then *problem says why).
MessageAnswer ShowMessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                             std::string* problem = nullptr);

#ifndef _WIN32
// The argument lists given to the Linux helpers (tests check them): helper is
// "zenity" or "kdialog".
std::vector<std::string> FileDialogArguments(const std::string& helper, const FileDialogRequest& request);
std::vector<std::string> MessageBoxArguments(const std::string& helper, const std::string& text,
                                             const std::string& caption, MessageButtons buttons);
#endif

}  // namespace fw::platform
