// The smallest Windows executable the stub check takes: DOS header, PE
// header, optional header and one section, optionally signed (a certificate
// table at the end of the file named by the security directory entry).
#pragma once

#include <stdint.h>

#include <string>

namespace mkpackage_test {

inline void Put32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}
inline void Put16(std::string& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<char>(value);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

// `sectionBytes` of raw section data behind 0x200 bytes of headers; with
// `certificateSize`, a certificate table of that size follows the section.
inline std::string MinimalPe(uint32_t sectionBytes = 0x200, uint32_t certificateSize = 0) {
  constexpr size_t kPeAt = 0x80, kOptionalAt = kPeAt + 24, kOptionalSize = 224;
  constexpr size_t kSectionAt = kOptionalAt + kOptionalSize, kHeaders = 0x200;
  std::string bytes(kHeaders + sectionBytes + certificateSize, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  Put32(bytes, 0x3C, kPeAt);
  bytes.replace(kPeAt, 4, std::string("PE\0\0", 4));
  Put16(bytes, kPeAt + 4, 0x14C);  // i386
  Put16(bytes, kPeAt + 6, 1);      // one section
  Put16(bytes, kPeAt + 20, kOptionalSize);
  Put16(bytes, kOptionalAt, 0x10B);          // PE32
  Put32(bytes, kOptionalAt + 60, kHeaders);  // SizeOfHeaders
  Put32(bytes, kOptionalAt + 92, 16);        // data directories
  if (certificateSize > 0) {
    Put32(bytes, kOptionalAt + 96 + 4 * 8, static_cast<uint32_t>(kHeaders + sectionBytes));
    Put32(bytes, kOptionalAt + 96 + 4 * 8 + 4, certificateSize);
    for (size_t i = kHeaders + sectionBytes; i < bytes.size(); ++i) bytes[i] = 'C';
  }
  bytes.replace(kSectionAt, 5, ".text");
  Put32(bytes, kSectionAt + 16, sectionBytes);  // SizeOfRawData
  Put32(bytes, kSectionAt + 20, kHeaders);      // PointerToRawData
  for (size_t i = kHeaders; i < kHeaders + sectionBytes; ++i) bytes[i] = static_cast<char>(i * 7);
  return bytes;
}

}  // namespace mkpackage_test
