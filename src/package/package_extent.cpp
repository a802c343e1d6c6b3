#include "package/package_extent.h"

#include "package/pe_format.h"

namespace package {
namespace {

using namespace pe;

uint32_t Little(const unsigned char* bytes, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

int ReadAt(PackageSource& source, int64_t position, void* buffer, uint32_t count) {
  source.Seek(position);
  return source.Read(buffer, count) == count;
}

constexpr uint32_t kSignatureAndFileHeaderSize = 4 + kFileHeaderSize;
constexpr uint32_t kSectionCountField = 4 + 2;
constexpr uint32_t kOptionalHeaderSizeField = 4 + 16;
constexpr uint32_t kSizeOfHeadersField = 60;  // within the optional header
constexpr uint32_t kDirectoryCountFieldPe32 = 92;
constexpr uint32_t kDirectoryCountFieldPe32Plus = 108;
constexpr uint32_t kSecurityDirectoryIndex = 4;
constexpr uint32_t kDirectoryEntrySize = 8;
// Up to the security entry of a PE32+ optional header, the longer of the two.
constexpr uint32_t kOptionalBytesNeeded =
    kDirectoryCountFieldPe32Plus + 4 + (kSecurityDirectoryIndex + 1) * kDirectoryEntrySize;

}  // namespace

int FindCertificateTable(PackageSource& source, CertificateTable* table) {
  unsigned char dos[kDosHeaderSize];
  if (!ReadAt(source, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return 0;

  const int64_t peOffset = Little(dos + kNewHeaderOffsetField, 4);
  unsigned char fileHeader[kSignatureAndFileHeaderSize];
  if (!ReadAt(source, peOffset, fileHeader, sizeof fileHeader)) return 0;
  if (Little(fileHeader, 4) != 0x00004550) return 0;  // "PE\0\0"
  const uint32_t optionalSize = Little(fileHeader + kOptionalHeaderSizeField, 2);
  const int64_t optionalOffset = peOffset + kSignatureAndFileHeaderSize;

  unsigned char optional[kOptionalBytesNeeded];
  const uint32_t wanted = optionalSize < sizeof optional ? optionalSize : sizeof optional;
  if (wanted < 2 || !ReadAt(source, optionalOffset, optional, wanted)) return 0;
  const uint16_t magic = static_cast<uint16_t>(Little(optional, 2));
  const uint32_t countField = magic == kMagicPe32       ? kDirectoryCountFieldPe32
                              : magic == kMagicPe32Plus ? kDirectoryCountFieldPe32Plus
                                                        : 0;
  const uint32_t entry = countField + 4 + kSecurityDirectoryIndex * kDirectoryEntrySize;
  if (countField == 0 || wanted < entry + kDirectoryEntrySize) return 0;
  if (Little(optional + countField, 4) <= kSecurityDirectoryIndex) return 0;

  // The security entry is the one directory that holds a file offset, not an
  // address in the loaded image. A table reaching into the headers would make
  // them part of the signature's own data: no signing tool writes that.
  const int64_t offset = Little(optional + entry, 4);
  const int64_t size = Little(optional + entry + 4, 4);
  const int64_t sectionTableEnd = optionalOffset + optionalSize +
                                  int64_t{Little(fileHeader + kSectionCountField, 2)} * kSectionHeaderSize;
  const int64_t declaredHeadersEnd = Little(optional + kSizeOfHeadersField, 4);
  const int64_t headersEnd = sectionTableEnd > declaredHeadersEnd ? sectionTableEnd : declaredHeadersEnd;
  if (size == 0 || offset < headersEnd || offset + size != source.Length()) return 0;
  table->offset = offset;
  table->size = size;
  table->entryOffset = optionalOffset + entry;
  return 1;
}

int64_t PackageEnd(PackageSource& source) {
  CertificateTable table;
  return FindCertificateTable(source, &table) ? table.offset : source.Length();
}

}  // namespace package
