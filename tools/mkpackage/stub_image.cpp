#include "stub_image.h"

#include <algorithm>
#include <memory>

#include "package/package_extent.h"
#include "package/package_layout.h"
#include "package/pe_format.h"

namespace mkpackage {
namespace {

constexpr uint32_t kCoffSymbolSize = 18;
constexpr int kMaxSigningPadding = 7;

using package::pe::kDosHeaderSize;
using package::pe::kSectionHeaderSize;

uint32_t Little32(const unsigned char* bytes) {
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}
uint16_t Little16(const unsigned char* bytes) { return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)); }

bool ReadAt(package::PackageSource& source, int64_t position, void* buffer, uint32_t count) {
  source.Seek(position);
  return source.Read(buffer, count) == count;
}

// The first `length` bytes of a source: the package before a certificate table.
class BoundedSource final : public package::PackageSource {
 public:
  BoundedSource(package::PackageSource& inner, int64_t length) : inner_(inner), length_(length) {}
  int64_t Length() override { return length_; }
  void Seek(int64_t position) override {
    inner_.Seek(position);
    if (position >= 0) position_ = position;
  }
  uint32_t Read(void* buffer, uint32_t count) override {
    const int64_t left = position_ < length_ ? length_ - position_ : 0;
    const uint32_t delivered = inner_.Read(buffer, left < count ? static_cast<uint32_t>(left) : count);
    position_ += delivered;
    return delivered;
  }

 private:
  package::PackageSource& inner_;
  int64_t length_;
  int64_t position_ = 0;
};

bool ZeroBytes(package::PackageSource& source, int64_t from, int64_t to) {
  for (int64_t at = from; at < to; ++at) {
    unsigned char byte = 1;
    if (!ReadAt(source, at, &byte, 1) || byte != 0) return false;
  }
  return true;
}

bool ReadCarriedPackage(package::PackageSource& source, int64_t imageEnd, int64_t* headerOffset) {
  auto header = std::make_unique<package::PackageHeader>();
  return package::ReadPackageTrailer(source, headerOffset) && *headerOffset >= imageEnd &&
         package::ReadPackageHeader(source, *headerOffset, header.get());
}

}  // namespace

bool FindStubImage(package::PackageSource& source, StubImage* image, std::string* error) {
  unsigned char dos[kDosHeaderSize];
  if (!ReadAt(source, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') {
    *error = "is not a Windows executable (no MZ header)";
    return false;
  }
  const int64_t peOffset = Little32(dos + package::pe::kNewHeaderOffsetField);
  unsigned char pe[4 + package::pe::kFileHeaderSize];
  if (!ReadAt(source, peOffset, pe, sizeof pe) || pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) {
    *error = "is not a Windows executable (no PE header)";
    return false;
  }
  const unsigned char* coff = pe + 4;
  const uint16_t sectionCount = Little16(coff + 2);
  const uint32_t symbolTable = Little32(coff + 8);
  const uint32_t symbolCount = Little32(coff + 12);
  const uint16_t optionalSize = Little16(coff + 16);
  const int64_t optionalOffset = peOffset + static_cast<int64_t>(sizeof pe);

  unsigned char optional[240] = {};
  const uint32_t optionalRead = std::min<uint32_t>(optionalSize, sizeof optional);
  if (optionalSize < 64 || !ReadAt(source, optionalOffset, optional, optionalRead)) {
    *error = "is not a Windows executable (optional header missing)";
    return false;
  }
  const uint16_t magic = Little16(optional);
  if (magic != package::pe::kMagicPe32 && magic != package::pe::kMagicPe32Plus) {
    *error = "is not a Windows executable (unknown optional header)";
    return false;
  }
  int64_t end = Little32(optional + 60);  // SizeOfHeaders

  const int64_t sectionsAt = optionalOffset + optionalSize;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    unsigned char section[kSectionHeaderSize];
    if (!ReadAt(source, sectionsAt + int64_t{i} * kSectionHeaderSize, section, sizeof section)) {
      *error = "is not a complete Windows executable (section table cut off)";
      return false;
    }
    const uint32_t rawSize = Little32(section + 16);
    if (rawSize > 0) end = std::max<int64_t>(end, int64_t{Little32(section + 20)} + rawSize);
  }

  if (symbolTable != 0) {
    // The string table follows the symbols and starts with its own length.
    const int64_t stringsAt = int64_t{symbolTable} + int64_t{symbolCount} * kCoffSymbolSize;
    unsigned char stringsSize[4];
    const int64_t stringsEnd =
        ReadAt(source, stringsAt, stringsSize, 4) ? stringsAt + Little32(stringsSize) : 0;
    end = std::max(end, std::max(stringsAt, stringsEnd));
  }
  image->imageEnd = end;
  return true;
}

bool PlanStubCopy(package::PackageSource& stub, bool replacePackage, StubCopy* copy, std::string* error) {
  StubImage image;
  if (!FindStubImage(stub, &image, error)) return false;
  const int64_t fileLength = stub.Length();
  const int64_t imageEnd = image.imageEnd;
  if (fileLength < imageEnd) {
    *error = "is cut off: its image ends at byte " + std::to_string(imageEnd) + " but the file has " +
             std::to_string(fileLength) + " bytes";
    return false;
  }
  // The unpacker's own rule decides where a signature begins; whatever stands
  // before it is image or package.
  package::CertificateTable certificate;
  const bool isSigned = package::FindCertificateTable(stub, &certificate) && certificate.offset >= imageEnd;
  const int64_t packageEnd = isSigned ? certificate.offset : fileLength;
  const StubCopy signatureDropped = {0, isSigned ? certificate.entryOffset : -1,
                                     isSigned ? certificate.size : 0};

  // Signing aligns the certificate table to 8 bytes with up to 7 zero bytes.
  if (packageEnd == imageEnd ||
      (isSigned && packageEnd - imageEnd <= kMaxSigningPadding && ZeroBytes(stub, imageEnd, packageEnd))) {
    *copy = signatureDropped;
    copy->length = imageEnd;
    return true;
  }
  // Bytes behind the image: only a package that the unpacker's own reader
  // accepts, with its header behind the image, counts as a carried package.
  // A package signed before the builder aligned packages ends a few zero
  // bytes before the table.
  int64_t headerOffset = 0;
  bool carriesPackage = false;
  for (int padding = 0;; ++padding) {
    BoundedSource bounded(stub, packageEnd - padding);
    carriesPackage = ReadCarriedPackage(bounded, imageEnd, &headerOffset);
    if (carriesPackage || !isSigned || padding == kMaxSigningPadding ||
        !ZeroBytes(stub, packageEnd - padding - 1, packageEnd - padding)) {
      break;
    }
  }
  if (!carriesPackage) {
    *error = "has " + std::to_string(packageEnd - imageEnd) +
             " bytes behind its executable image that are not a package; use the bare unpacker";
    return false;
  }
  if (!replacePackage) {
    *error = "already carries a package (header at byte " + std::to_string(headerOffset) +
             "); give --replace-package to replace it";
    return false;
  }
  // The zero bytes that aligned the old package go with it, and so does a
  // signature that ended it.
  int64_t length = headerOffset;
  while (length > imageEnd && headerOffset - length < kMaxSigningPadding &&
         ZeroBytes(stub, length - 1, length))
    --length;
  *copy = signatureDropped;
  copy->length = length;
  return true;
}

}  // namespace mkpackage
