// The renderer's file checks: inputs only when regular files (never blocking
// on a FIFO), outputs only onto a regular file or a new name, and no output
// onto one of the files the render reads or writes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "tools/vrelbazzit-render/FileChecks.h"

namespace vbrender {
namespace {

using test::TempDir;

// A folder with one of each kind of entry.
struct Entries {
  TempDir dir;
  Entries() {
    test::WriteBytes(dir / "file", {'x'});
    std::filesystem::create_directory(dir / "folder");
    mkfifo((dir / "fifo").c_str(), 0600);
    std::filesystem::create_symlink(dir / "file", dir / "link-to-file");
    std::filesystem::create_symlink(dir / "fifo", dir / "link-to-fifo");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    std::filesystem::create_hard_link(dir / "file", dir / "hard-link");
  }
};

TEST(OpenRegularFile, OpensOnlyRegularFilesAndNeverWaits) {
  Entries e;
  ASSERT_TRUE(e.dir.Ok());
  struct Case {
    std::string path;
    const char* problem;  // nullptr: opens
  };
  const std::vector<Case> cases = {
      {e.dir / "file", nullptr},
      {e.dir / "link-to-file", nullptr},
      {e.dir / "missing", "cannot open"},
      {e.dir / "dangling", "cannot open"},
      {e.dir / "folder", "is a folder, not a regular file"},
      {e.dir / "fifo", "is a FIFO, not a regular file"},  // a blocking open would hang here
      {e.dir / "link-to-fifo", "is a FIFO"},
      {"/dev/null", "is a device"},
  };
  for (const Case& c : cases) {
    std::string error;
    const int fd = OpenRegularFile(c.path, error);
    if (c.problem == nullptr) {
      EXPECT_GE(fd, 0) << c.path << ": " << error;
      char byte = 0;
      EXPECT_EQ(read(fd, &byte, 1), 1) << c.path;
      EXPECT_EQ(byte, 'x') << c.path;
      close(fd);
    } else {
      EXPECT_EQ(fd, -1) << c.path;
      EXPECT_NE(error.find(c.problem), std::string::npos) << c.path << ": " << error;
      EXPECT_NE(error.find("\"" + c.path + "\""), std::string::npos) << c.path << ": " << error;
    }
  }
}

TEST(CheckReplaceable, OnlyARegularFileOrANewName) {
  Entries e;
  ASSERT_TRUE(e.dir.Ok());
  struct Case {
    std::string path;
    const char* problem;  // nullptr: may be replaced
  };
  const std::vector<Case> cases = {
      {e.dir / "file", nullptr},
      {e.dir / "hard-link", nullptr},
      {e.dir / "new-name.wav", nullptr},
      {e.dir / "folder", "is a folder"},
      {e.dir / "fifo", "is a FIFO"},
      {e.dir / "link-to-file", "is a symbolic link"},
      {e.dir / "dangling", "is a symbolic link"},
      {"/dev/null", "is a device"},
      {e.dir / "file/below-a-file.wav", "Not a directory"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(CheckReplaceable(c.path, error), c.problem == nullptr) << c.path << ": " << error;
    if (c.problem != nullptr) {
      EXPECT_NE(error.find(c.problem), std::string::npos) << c.path << ": " << error;
      EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
  }
}

TEST(SameFile, ByDeviceAndInodeOrByPlaceForNewNames) {
  Entries e;
  ASSERT_TRUE(e.dir.Ok());
  test::WriteBytes(e.dir / "other", {'x'});
  struct Case {
    std::string a, b;
    bool same;
  };
  const std::vector<Case> cases = {
      {e.dir / "file", e.dir / "file", true},
      {e.dir / "file", e.dir / "hard-link", true},
      {e.dir / "file", e.dir / "link-to-file", true},
      {e.dir / "file", e.dir / "folder/../file", true},
      {e.dir / "file", e.dir / "other", false},
      {e.dir / "file", e.dir / "new.wav", false},
      {e.dir / "new.wav", e.dir / "./new.wav", true},
      {e.dir / "new.wav", e.dir / "folder/../new.wav", true},
      {e.dir / "new.wav", e.dir / "new2.wav", false},
  };
  for (const Case& c : cases) EXPECT_EQ(SameFile(c.a, c.b), c.same) << c.a << " vs " << c.b;
}

TEST(CheckRenderPaths, RefusesOutputsOntoTheirOwnInputs) {
  Entries e;
  ASSERT_TRUE(e.dir.Ok());
  test::WriteBytes(e.dir / "in.mid", {'M'});
  test::WriteBytes(e.dir / "p.vbpatch", {'V'});
  std::filesystem::create_hard_link(e.dir / "in.mid", e.dir / "in-again.mid");
  struct Case {
    const char* name;
    std::string output;
    std::optional<std::string> patch, savePatch;
    std::string problem;  // empty: accepted
  };
  const std::vector<Case> cases = {
      {"plain", e.dir / "out.wav", std::nullopt, std::nullopt, ""},
      {"all different", e.dir / "out.wav", e.dir / "p.vbpatch", e.dir / "saved.vbpatch", ""},
      {"patch saved back onto itself", e.dir / "out.wav", e.dir / "p.vbpatch", e.dir / "p.vbpatch", ""},
      {"output is the input", e.dir / "in.mid", std::nullopt, std::nullopt, "is the same file as INPUT"},
      {"output is a hard link of the input", e.dir / "in-again.mid", std::nullopt, std::nullopt,
       "is the same file as INPUT"},
      {"output is the patch", e.dir / "p.vbpatch", e.dir / "p.vbpatch", std::nullopt, "is the same file as --patch"},
      {"output is the saved patch", e.dir / "new.wav", std::nullopt, e.dir / "./new.wav",
       "is the same file as --save-patch"},
      {"saved patch is the input", e.dir / "out.wav", std::nullopt, e.dir / "in.mid",
       "--save-patch \"" + (e.dir / "in.mid") + "\" is the same file as INPUT"},
      {"output is a FIFO", e.dir / "fifo", std::nullopt, std::nullopt, "is a FIFO"},
      {"saved patch is a symbolic link", e.dir / "out.wav", std::nullopt, e.dir / "link-to-file",
       "--save-patch: cannot write \"" + (e.dir / "link-to-file") + "\" is a symbolic link"},
  };
  for (const Case& c : cases) {
    RenderOptions o;
    o.input = e.dir / "in.mid";
    o.output = c.output;
    o.patch = c.patch;
    o.savePatch = c.savePatch;
    std::string error;
    EXPECT_EQ(CheckRenderPaths(o, error), c.problem.empty()) << c.name << ": " << error;
    if (!c.problem.empty()) {
      EXPECT_NE(error.find(c.problem), std::string::npos) << c.name << ": " << error;
    }
  }
}

}  // namespace
}  // namespace vbrender
