// The few file operations the builder needs, with UTF-8 paths on every system.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>

#include "package/package_reader.h"

namespace mkpackage {

FILE* OpenForReading(const std::string& path);

// A new, empty file in the folder of `path`, so that MoveIntoPlace can move it
// into place without copying; *temporaryPath receives its name.
FILE* CreateTemporaryBeside(const std::string& path, std::string* temporaryPath);

// Moves `from` to `to`, replacing a file that stands there.
bool MoveIntoPlace(const std::string& from, const std::string& to);

void RemoveFile(const std::string& path);

bool SeekTo(FILE* file, int64_t position);

// -1 when the length cannot be found.
int64_t FileLength(FILE* file);

// The system's text for the last failed call of this interface.
std::string LastSystemError();

// Closes the file on destruction.
class FileCloser {
 public:
  explicit FileCloser(FILE* file) : file_(file) {}
  ~FileCloser() { Close(); }
  void Close() {
    if (file_) fclose(file_);
    file_ = nullptr;
  }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  FILE* file_;
};

// A file read the way the unpacker reads its own: the same reader runs on it.
class FileSource final : public package::PackageSource {
 public:
  explicit FileSource(FILE* file) : file_(file) {}
  int64_t Length() override { return FileLength(file_); }
  void Seek(int64_t position) override {
    if (position >= 0) SeekTo(file_, position);
  }
  uint32_t Read(void* buffer, uint32_t count) override {
    return static_cast<uint32_t>(fread(buffer, 1, count, file_));
  }

 private:
  FILE* file_;
};

}  // namespace mkpackage
