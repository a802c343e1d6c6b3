#include "package/package_reader.h"

#include <string.h>

#include "package/package_extent.h"

namespace package {
namespace {

template <int N>
int ReadLineInto(PackageSource& source, char (&target)[N]) {
  char line[kLineBufferSize];
  if (!ReadHeaderLine(source, line)) return 0;
  const size_t length = strlen(line);
  if (length >= static_cast<size_t>(N)) return 0;
  memcpy(target, line, length + 1);
  return 1;
}

}  // namespace

int ReadPackageTrailer(PackageSource& source, int64_t* headerOffset, int64_t* packageEnd) {
  const int64_t end = PackageEnd(source);
  if (packageEnd != nullptr) *packageEnd = end;
  source.Seek(end - kTrailerSize);
  unsigned char bytes[kTrailerSize];
  if (source.Read(bytes, kTrailerSize) != kTrailerSize) return 0;
  *headerOffset = DecodeTrailer(bytes);
  return 1;
}

int ReadHeaderLine(PackageSource& source, char (&line)[kLineBufferSize]) {
  int count = 0;
  for (;;) {
    const uint32_t delivered = source.Read(&line[count], 1);
    ++count;
    if (count == kLineBufferSize) return 0;
    if (delivered == 0) return 0;
    if (line[count - 1] == '\n') {
      line[count - 1] = '\0';
      return 1;
    }
  }
}

int ReadPackageHeader(PackageSource& source, int64_t headerOffset, PackageHeader* header) {
  source.Seek(headerOffset);
  if (!ReadLineInto(source, header->payloadFileName)) return 0;
  if (!ReadLineInto(source, header->destinationFolder)) return 0;
  if (!ReadLineInto(source, header->title)) return 0;

  for (int slot = 0;; ++slot) {
    if (slot == kModelSlotCount) return 0;
    if (!ReadLineInto(source, header->modelPatterns[slot])) return 0;
    if (header->modelPatterns[slot][0] == kModelTerminatorByte) break;
  }
  for (int slot = 0;; ++slot) {
    if (slot == kDeviceSlotCount) return 0;
    if (!ReadLineInto(source, header->devicePatterns[slot])) return 0;
    if (strcmp(header->devicePatterns[slot], kDeviceTerminator) == 0) return 1;
  }
}

}  // namespace package
