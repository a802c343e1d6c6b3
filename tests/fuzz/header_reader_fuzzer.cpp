// Any byte sequence as the unpacker's own file: the reader must never crash,
// overrun, hang, or report success with a slot that is not NUL-terminated, and
// on success it must stand on the first payload byte.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <cstdlib>
#include <string>

#include "../unit/memory_source.h"
#include "package/package_reader.h"

namespace {

template <int N>
void RequireTerminated(const char (&text)[N]) {
  if (memchr(text, '\0', N) == nullptr) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemorySource source(std::string(reinterpret_cast<const char*>(data), size));
  int64_t headerOffset = 0;
  int64_t packageEnd = 0;
  if (!package::ReadPackageTrailer(source, &headerOffset, &packageEnd)) return 0;
  if (packageEnd < 0 || packageEnd > source.Length()) abort();

  package::PackageHeader header;
  memset(&header, 0, sizeof header);
  if (!package::ReadPackageHeader(source, headerOffset, &header)) return 0;

  RequireTerminated(header.payloadFileName);
  RequireTerminated(header.destinationFolder);
  RequireTerminated(header.title);
  for (const auto& slot : header.modelPatterns) RequireTerminated(slot);
  for (const auto& slot : header.devicePatterns) RequireTerminated(slot);
  if (source.position() <= headerOffset || source.position() > source.Length()) abort();
  return 0;
}
