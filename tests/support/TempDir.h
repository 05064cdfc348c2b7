// A fresh directory for one test, removed with everything in it at the end.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace vbtest {

class TempDir {
public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vrelbazzit-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) mPath = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    if (!mPath.empty()) std::filesystem::remove_all(mPath, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool Ok() const { return !mPath.empty(); }
  const std::string& Path() const { return mPath; }
  // The path of an entry inside it ("name" or "folder/name").
  std::string operator/(const std::string& relative) const { return (std::filesystem::path(mPath) / relative).string(); }

  // Names of the entries in the directory, sorted.
  std::vector<std::string> List() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(mPath)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

private:
  std::string mPath;
};

}  // namespace vbtest
