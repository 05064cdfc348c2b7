// The Linux dialogs run the desktop's helper and wait for it. Stand-in
// helpers (shell scripts named zenity and kdialog on a PATH of the test's own)
// record their arguments and answer as a user would, so the arguments, the
// reading of the answer and the lack of any helper are checked without a desktop.
#include "framework/graphics/platform/Dialogs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/TempDir.h"

namespace fw::platform {
namespace {

class DialogsTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.Ok());
    const char* path = std::getenv("PATH");
    oldPath = path ? path : "";
    setenv("PATH", dir.Path().c_str(), 1);  // only the stand-ins
  }
  void TearDown() override { setenv("PATH", oldPath.c_str(), 1); }

  // A stand-in helper: writes each argument on a line of args.txt, prints
  // `output` and exits with `code`.
  void Helper(const std::string& name, const std::string& output, int code) {
    const std::string file = dir.Path() + "/" + name;
    std::ofstream f(file);
    f << "#!/bin/sh\n"
      << "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << dir.Path() << "/args.txt'\n"
      << "printf '%s' '" << output << "'\n"
      << "exit " << code << "\n";
    f.close();
    chmod(file.c_str(), 0755);
  }
  std::string Args() {
    std::ifstream f(dir.Path() + "/args.txt");
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }

  vbtest::TempDir dir;
  std::string oldPath;
};

TEST_F(DialogsTest, OpenWithZenityReturnsTheChosenPath) {
  Helper("zenity", "/home/u/Patches/Bass \xc3\xa4.vbpatch\n", 0);
  FileDialogRequest r;
  r.title = "Load patch";
  r.folder = "/home/u/Patches";
  r.extension = "vbpatch";
  r.filterName = "Vrel Bazzit patch";
  std::string problem;
  const auto chosen = PromptForFile(r, &problem);
  ASSERT_TRUE(chosen.has_value()) << problem;
  EXPECT_EQ(*chosen, "/home/u/Patches/Bass \xc3\xa4.vbpatch") << "the line end is not part of the path";
  EXPECT_EQ(Args(),
            "--file-selection\n--title=Load patch\n--filename=/home/u/Patches/\n"
            "--file-filter=Vrel Bazzit patch | *.vbpatch\n--file-filter=All files | *\n");
}

TEST_F(DialogsTest, SaveProposesNameAndFolderAndAsksBeforeReplacing) {
  Helper("zenity", "/tmp/x.vbpatch\n", 0);
  FileDialogRequest r;
  r.mode = FileDialogMode::kSave;
  r.folder = "/tmp";
  r.proposedName = "Glass Keys.vbpatch";
  r.extension = "vbpatch";
  ASSERT_TRUE(PromptForFile(r).has_value());
  EXPECT_EQ(Args(),
            "--file-selection\n--save\n--confirm-overwrite\n--filename=/tmp/Glass Keys.vbpatch\n"
            "--file-filter=vbpatch | *.vbpatch\n--file-filter=All files | *\n");
}

TEST_F(DialogsTest, CancelledOrEmptyAnswersChooseNothing) {
  struct Case {
    const char* what;
    const char* output;
    int code;
  } cases[] = {{"cancel button", "", 1}, {"dialog closed", "", 5}, {"empty answer", "\n", 0}};
  for (const Case& c : cases) {
    Helper("zenity", c.output, c.code);
    std::string problem;
    EXPECT_FALSE(PromptForFile(FileDialogRequest{}, &problem).has_value()) << c.what;
    EXPECT_EQ(problem, "") << c.what << ": a cancel is no problem";
  }
}

TEST_F(DialogsTest, KdialogWhenZenityIsMissing) {
  Helper("kdialog", "/data/p.vbpatch\n", 0);
  FileDialogRequest r;
  r.mode = FileDialogMode::kSave;
  r.folder = "/data";
  r.proposedName = "p.vbpatch";
  r.extension = "vbpatch";
  r.filterName = "Vrel Bazzit patch";
  const auto chosen = PromptForFile(r);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, "/data/p.vbpatch");
  EXPECT_EQ(Args(), "--getsavefilename\n/data/p.vbpatch\n*.vbpatch|Vrel Bazzit patch\n");
}

TEST_F(DialogsTest, WithoutAnyHelperTheDialogSaysWhatToInstall) {
  std::string problem;
  EXPECT_FALSE(PromptForFile(FileDialogRequest{}, &problem).has_value());
  EXPECT_EQ(problem, "no dialog helper found: install zenity (or kdialog)");
  problem.clear();
  EXPECT_EQ(ShowMessageBox("Hello", "Vrel Bazzit", MessageButtons::kOk, &problem), MessageAnswer::kNone);
  EXPECT_EQ(problem, "no dialog helper found: install zenity (or kdialog)");
}

TEST_F(DialogsTest, MessageBoxAnswers) {
  struct Case {
    const char* helper;
    MessageButtons buttons;
    const char* output;
    int code;
    MessageAnswer answer;
  } cases[] = {
      {"zenity", MessageButtons::kOk, "", 0, MessageAnswer::kOk},
      {"zenity", MessageButtons::kOk, "", 1, MessageAnswer::kOk},  // closed: an OK box has one answer
      {"zenity", MessageButtons::kOkCancel, "", 1, MessageAnswer::kCancel},
      {"zenity", MessageButtons::kYesNo, "", 0, MessageAnswer::kYes},
      {"zenity", MessageButtons::kYesNo, "", 1, MessageAnswer::kNo},
      {"zenity", MessageButtons::kYesNoCancel, "Cancel\n", 1, MessageAnswer::kCancel},
      {"zenity", MessageButtons::kYesNoCancel, "", 1, MessageAnswer::kNo},
      {"kdialog", MessageButtons::kYesNoCancel, "", 2, MessageAnswer::kCancel},
      {"kdialog", MessageButtons::kOkCancel, "", 0, MessageAnswer::kOk},
  };
  for (const Case& c : cases) {
    std::remove((dir.Path() + "/zenity").c_str());
    std::remove((dir.Path() + "/kdialog").c_str());
    Helper(c.helper, c.output, c.code);
    EXPECT_EQ(ShowMessageBox("Text", "Caption", c.buttons), c.answer)
        << c.helper << " buttons " << static_cast<int>(c.buttons) << " exit " << c.code;
  }
}

TEST_F(DialogsTest, MessageTextIsShownAsItIs) {
  Helper("zenity", "", 0);
  ShowMessageBox("Level < 0 & \"loud\"", "Vrel Bazzit", MessageButtons::kOk);
  EXPECT_EQ(Args(), "--info\n--no-markup\n--title=Vrel Bazzit\n--text=Level < 0 & \"loud\"\n");
}

}  // namespace
}  // namespace fw::platform
