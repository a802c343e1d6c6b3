// The file operations in the Windows build of the tool. Paths arrive as UTF-8
// and go to the system as UTF-16, so that no name depends on the ANSI code page.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <sys/stat.h>

#include "files.h"
#include "platform/windows_api.h"

namespace mkpackage {
namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &wide[0], length);
  return wide;
}

}  // namespace

FILE* OpenForReading(const std::string& path) { return _wfopen(Wide(path).c_str(), L"rb"); }

FILE* CreateTemporaryBeside(const std::string& path, std::string* temporaryPath) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate =
        path + ".partial-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
    const int descriptor =
        _wopen(Wide(candidate).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
               _S_IREAD | _S_IWRITE);
    if (descriptor >= 0) {
      *temporaryPath = candidate;
      return _fdopen(descriptor, "wb");
    }
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

bool MoveIntoPlace(const std::string& from, const std::string& to) {
  if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  errno = EACCES;
  return false;
}

void RemoveFile(const std::string& path) { _wremove(Wide(path).c_str()); }

bool SeekTo(FILE* file, int64_t position) { return _fseeki64(file, position, SEEK_SET) == 0; }

int64_t FileLength(FILE* file) {
  struct _stati64 status;
  if (_fstati64(_fileno(file), &status) != 0) return -1;
  return static_cast<int64_t>(status.st_size);
}

std::string LastSystemError() { return strerror(errno); }

}  // namespace mkpackage
