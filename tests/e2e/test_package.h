// Raw packages for end-to-end tests: a copy of an unpacker executable followed
// by whatever header and payload bytes a test needs, and a trailer that may
// point anywhere. Valid packages come from the package builder
// (BuildValidPackage); this is for the packages it rightly refuses to make.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

struct RawPackage {
  std::string stubPath;  // the executable image to copy (UTF-8 path)
  std::string gap;       // bytes between the image and the header, skipped by the reader
  std::string header;    // header bytes as they stand
  std::string payload;   // payload bytes
  // Written into the trailer; when absent, the header's real offset
  // (image length + gap length).
  bool hasHeaderOffset = false;
  int64_t headerOffset = 0;
  bool withTrailer = true;  // false: the file ends with the payload
};

// The bytes of the package file. Empty when the stub cannot be read.
std::string PackageBytes(const RawPackage& package);

// Writes the package file; false when the stub cannot be read or the file
// cannot be written.
bool WriteRawPackage(const std::string& path, const RawPackage& package);

// The lines of a header, each ended by a line feed: payload file name,
// destination, title, the model patterns and "#", the device patterns and "##".
std::string HeaderLines(const std::string& payloadFileName, const std::string& destination,
                        const std::string& title, const std::vector<std::string>& models = {},
                        const std::vector<std::string>& devices = {});

// The 8 trailer bytes for a header offset.
std::string TrailerBytes(int64_t headerOffset);

}  // namespace e2e
