// Reads the trailer and the header of the package from any byte source: the
// unpacker's own file on Windows, a file on the packager's machine, or memory.
#pragma once

#include <stdint.h>

#include "package/package_layout.h"

namespace package {

// The three file operations the reader needs. Failures are folded into the
// answers on purpose: a length that cannot be queried, a refused position and a
// failed read all show up as reads that deliver fewer bytes than asked for.
class PackageSource {
 public:
  virtual int64_t Length() = 0;
  // Absolute position; a negative one is refused and leaves the position as it was.
  virtual void Seek(int64_t position) = 0;
  // Bytes delivered, 0 at the end or after an error.
  virtual uint32_t Read(void* buffer, uint32_t count) = 0;

 protected:
  ~PackageSource() = default;
};

// Non-zero with *headerOffset set when the 8 bytes before the package's end
// (PackageEnd in package_extent.h: the end of the file unless a certificate
// table follows the package) could be read. That end goes to *packageEnd when
// it is asked for: the payload runs up to its trailer.
int ReadPackageTrailer(PackageSource& source, int64_t* headerOffset, int64_t* packageEnd = nullptr);

// Reads one line, byte by byte and never ahead, into `line` with its line feed
// replaced by NUL. Fails at the end of the data and on a line of more than 258
// bytes; never writes past the buffer.
int ReadHeaderLine(PackageSource& source, char (&line)[kLineBufferSize]);

// Fills `header` from the header at `headerOffset`. On success the source stands
// on the first payload byte. A model or device line too long for its slot fails
// the header like any other malformed line: a cut pattern would match machines
// the packager never named.
int ReadPackageHeader(PackageSource& source, int64_t headerOffset, PackageHeader* header);

}  // namespace package
