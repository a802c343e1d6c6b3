// The file operations on the packager's Linux machine.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files.h"

namespace mkpackage {

FILE* OpenForReading(const std::string& path) { return fopen(path.c_str(), "rb"); }

FILE* CreateTemporaryBeside(const std::string& path, std::string* temporaryPath) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate =
        path + ".partial-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    // The mode is narrowed by the umask, as for any file the packager creates.
    const int descriptor = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      *temporaryPath = candidate;
      return fdopen(descriptor, "wb");
    }
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

bool MoveIntoPlace(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0;
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

bool SeekTo(FILE* file, int64_t position) {
  return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
}

int64_t FileLength(FILE* file) {
  struct stat status;
  if (fstat(fileno(file), &status) != 0) return -1;
  return static_cast<int64_t>(status.st_size);
}

std::string LastSystemError() { return strerror(errno); }

}  // namespace mkpackage
