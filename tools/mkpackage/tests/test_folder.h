// A fresh folder per test, removed afterwards, and whole-file helpers.
#pragma once

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace mkpackage_test {

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

class TestFolder : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/mkpackage-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    for (const auto& name : Names()) unlink(Path(name).c_str());
    rmdir(folder_.c_str());
  }

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }

  // Every file in the folder: what a failed build must not have added to.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    if (DIR* dir = opendir(folder_.c_str())) {
      while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.insert(name);
      }
      closedir(dir);
    }
    return names;
  }

  std::string folder_;
};

}  // namespace mkpackage_test
