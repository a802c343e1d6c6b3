#include "file_copy.h"

#include <vector>

#include "files.h"

namespace mkpackage {

constexpr size_t kCopyBufferSize = 1 << 20;

bool CopyBytes(FILE* from, FILE* to, int64_t count, std::string* error) {
  std::vector<char> buffer(kCopyBufferSize);
  while (count != 0) {
    const bool bounded = count > 0 && count < static_cast<int64_t>(buffer.size());
    const size_t want = bounded ? static_cast<size_t>(count) : buffer.size();
    const size_t got = fread(buffer.data(), 1, want, from);
    if (got == 0) {
      if (ferror(from)) {
        *error = "cannot be read: " + LastSystemError();
        return false;
      }
      if (count > 0) {
        *error = "ended early";
        return false;
      }
      return true;
    }
    if (fwrite(buffer.data(), 1, got, to) != got) {
      *error = "could not be copied: " + LastSystemError();
      return false;
    }
    if (count > 0) count -= static_cast<int64_t>(got);
  }
  return true;
}

bool WriteFileWhole(const std::string& path, const std::function<bool(FILE*, std::string*)>& write,
                    std::string* error) {
  std::string temporaryPath;
  FILE* out = CreateTemporaryBeside(path, &temporaryPath);
  if (!out) {
    *error = "cannot create a file beside " + path + ": " + LastSystemError();
    return false;
  }
  const bool written = write(out, error);
  // fclose flushes: its failure is a failed write too.
  const bool closed = fclose(out) == 0;
  if (written && !closed) *error = "cannot write " + path + ": " + LastSystemError();
  if (written && closed) {
    if (MoveIntoPlace(temporaryPath, path)) return true;
    *error = "cannot move the new file to " + path + ": " + LastSystemError();
  }
  RemoveFile(temporaryPath);
  return false;
}

}  // namespace mkpackage
