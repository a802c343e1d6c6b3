// The package appended behind the unpacker's executable image:
//
//   [image][header lines][payload bytes][headerOffset: 8 bytes, little-endian]
//
// Header lines, each ended by one line feed, stored as ANSI code page text:
//   payload file name, default destination folder, title,
//   model patterns then a line starting with '#',
//   device patterns then a line that is exactly "##".
//
// This header is the one definition of that layout; the unpacker's reader and
// the package builder both take their sizes from here.
#pragma once

#include <stdint.h>

namespace package {

constexpr int kTextSize = 260;  // header texts and paths: 259 bytes and a NUL
constexpr int kLineBufferSize = 260;
constexpr int kMaxLineBytes = 258;  // before the line feed
constexpr int kModelSlotCount = 101;
constexpr int kModelSlotSize = 20;
constexpr int kDeviceSlotCount = 11;
constexpr int kDeviceSlotSize = 256;
constexpr int kTrailerSize = 8;
constexpr char kModelTerminatorByte = '#';
constexpr char kDeviceTerminator[] = "##";

struct PackageHeader {
  char payloadFileName[kTextSize];
  char destinationFolder[kTextSize];
  char title[kTextSize];
  char modelPatterns[kModelSlotCount][kModelSlotSize];
  char devicePatterns[kDeviceSlotCount][kDeviceSlotSize];
};

struct PackageTrailer {
  int64_t headerOffset;
};

inline int64_t DecodeTrailer(const unsigned char (&bytes)[kTrailerSize]) {
  uint64_t value = 0;
  for (int i = kTrailerSize - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return static_cast<int64_t>(value);
}

inline void EncodeTrailer(int64_t headerOffset, unsigned char (&bytes)[kTrailerSize]) {
  uint64_t value = static_cast<uint64_t>(headerOffset);
  for (int i = 0; i < kTrailerSize; ++i, value >>= 8) bytes[i] = static_cast<unsigned char>(value);
}

}  // namespace package
