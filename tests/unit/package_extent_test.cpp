#include "package/package_extent.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "memory_source.h"

namespace {

constexpr uint32_t kPeOffset = 0x80;
constexpr uint32_t kSizeOfHeaders = 0x400;
constexpr uint16_t kSectionCount = 3;

void Put(std::string* bytes, size_t at, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) (*bytes)[at + i] = static_cast<char>(value >> (8 * i));
}

struct Shape {
  bool pe32Plus = false;
  uint32_t directoryCount = 16;
  uint16_t optionalSize = 0;  // 0: the standard size for the magic
  uint32_t sizeOfHeaders = kSizeOfHeaders;
};

size_t OptionalOffset() { return kPeOffset + 24; }
size_t SecurityEntryOffset(const Shape& shape) {
  return OptionalOffset() + (shape.pe32Plus ? 108 : 92) + 4 + 32;
}

// Headers of a PE image padded to the declared size, then some section bytes.
std::string Image(const Shape& shape = Shape()) {
  const uint16_t optionalSize = shape.optionalSize ? shape.optionalSize : (shape.pe32Plus ? 240 : 224);
  std::string bytes(kSizeOfHeaders + 0x600, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  Put(&bytes, 0x3C, kPeOffset, 4);
  bytes.replace(kPeOffset, 4, std::string("PE\0\0", 4));
  Put(&bytes, kPeOffset + 4 + 2, kSectionCount, 2);
  Put(&bytes, kPeOffset + 4 + 16, optionalSize, 2);
  Put(&bytes, OptionalOffset(), shape.pe32Plus ? 0x20B : 0x10B, 2);
  Put(&bytes, OptionalOffset() + 60, shape.sizeOfHeaders, 4);
  Put(&bytes, OptionalOffset() + (shape.pe32Plus ? 108 : 92), shape.directoryCount, 4);
  for (size_t i = kSizeOfHeaders; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 13);
  return bytes;
}

void SetSecurityEntry(std::string* file, const Shape& shape, uint32_t offset, uint32_t size) {
  Put(file, SecurityEntryOffset(shape), offset, 4);
  Put(file, SecurityEntryOffset(shape) + 4, size, 4);
}

std::string Trailer(int64_t offset) {
  unsigned char bytes[package::kTrailerSize];
  package::EncodeTrailer(offset, bytes);
  return std::string(reinterpret_cast<char*>(bytes), sizeof bytes);
}

const std::string kHeader = "setup.exe\nC:\\Drivers\nSigned Driver\nQR-7\n#\n##\n";
const std::string kPayload = "MZ payload bytes\n##\n";
const std::string kCertificateTable(1200, '\x30');

// image, gap, header, payload, trailer.
std::string PackageWithGap(const Shape& shape, size_t gap) {
  const std::string image = Image(shape) + std::string(gap, '\xEE');
  return image + kHeader + kPayload + Trailer(static_cast<int64_t>(image.size()));
}

// As the builder writes it: the gap makes the length a multiple of 8, so that
// signing adds no padding between the trailer and the table.
std::string UnsignedPackage(const Shape& shape = Shape()) {
  const size_t length = PackageWithGap(shape, 0).size();
  return PackageWithGap(shape, (8 - length % 8) % 8);
}

// As a signing tool leaves it: zero padding to 8 bytes, then the table, named
// by the security entry.
std::string Signed(std::string file, const Shape& shape = Shape()) {
  file.append((8 - file.size() % 8) % 8, '\0');
  SetSecurityEntry(&file, shape, static_cast<uint32_t>(file.size()),
                   static_cast<uint32_t>(kCertificateTable.size()));
  return file + kCertificateTable;
}

struct ExtentCase {
  const char* name;
  std::string file;
  bool signedTable;  // false: the end of the file is the package's end
  int64_t tableOffset;
};

void PrintTo(const ExtentCase& c, std::ostream* os) { *os << c.name; }

std::string WithEntry(std::string file, uint32_t offset, uint32_t size) {
  SetSecurityEntry(&file, Shape(), offset, size);
  return file;
}

std::vector<ExtentCase> ExtentCases() {
  const std::string plain = UnsignedPackage();
  const std::string signedFile = Signed(plain);
  const uint32_t tableAt = static_cast<uint32_t>(signedFile.size() - kCertificateTable.size());
  const uint32_t tableSize = static_cast<uint32_t>(kCertificateTable.size());
  Shape plus;
  plus.pe32Plus = true;
  const std::string signedPlus = Signed(UnsignedPackage(plus), plus);
  Shape fourDirectories;
  fourDirectories.directoryCount = 4;
  Shape shortOptional;
  shortOptional.optionalSize = 96 + 4 * 8;  // ends before the security entry
  Shape smallHeaders;                       // declares less than its section table takes
  smallHeaders.sizeOfHeaders = 0x100;
  std::string badSignature = signedFile;
  badSignature[kPeOffset + 1] = 'X';
  std::string notMz = signedFile;
  notMz[0] = 'Z';
  const uint32_t sectionTableEnd = static_cast<uint32_t>(OptionalOffset() + 224 + kSectionCount * 40);
  std::string tableInSectionTable = Image(smallHeaders);
  SetSecurityEntry(&tableInSectionTable, smallHeaders, sectionTableEnd - 8,
                   static_cast<uint32_t>(tableInSectionTable.size()) - (sectionTableEnd - 8));
  std::string tableBehindSectionTable = Image(smallHeaders);
  SetSecurityEntry(&tableBehindSectionTable, smallHeaders, sectionTableEnd,
                   static_cast<uint32_t>(tableBehindSectionTable.size()) - sectionTableEnd);

  return {
      {"Unsigned", plain, false, 0},
      {"Signed", signedFile, true, tableAt},
      {"SignedPe32Plus", signedPlus, true,
       static_cast<int64_t>(signedPlus.size() - kCertificateTable.size())},
      {"EntryReachesPastTheEnd", WithEntry(signedFile, tableAt, tableSize + 1), false, 0},
      {"EntryPointsPastTheEnd", WithEntry(signedFile, tableAt + 4096, tableSize), false, 0},
      {"TableEndsBeforeTheEnd", WithEntry(signedFile, tableAt - 8, tableSize), false, 0},
      {"SizeZero", WithEntry(signedFile, tableAt, 0), false, 0},
      {"TableStartsInsideTheHeaders",
       WithEntry(signedFile, kSizeOfHeaders - 8,
                 static_cast<uint32_t>(signedFile.size()) - (kSizeOfHeaders - 8)),
       false, 0},
      {"TableOverlapsTheSectionTable", tableInSectionTable, false, 0},
      {"TableRightBehindTheSectionTable", tableBehindSectionTable, true, sectionTableEnd},
      {"NoSecurityDirectory", Signed(UnsignedPackage(fourDirectories), fourDirectories), false, 0},
      {"OptionalHeaderEndsBeforeTheEntry", Signed(UnsignedPackage(shortOptional), shortOptional), false, 0},
      {"HeadersCutOff", signedFile.substr(0, OptionalOffset() + 100), false, 0},
      {"NoPeSignature", badSignature, false, 0},
      {"NotMz", notMz, false, 0},
      {"Empty", "", false, 0},
  };
}

class PackageExtent : public testing::TestWithParam<ExtentCase> {};

TEST_P(PackageExtent, EndsBeforeAWellFormedTableOnlyElseAtTheEndOfTheFile) {
  const ExtentCase& c = GetParam();
  MemorySource source(c.file);
  package::CertificateTable table = {-1, -1, -1};
  ASSERT_EQ(package::FindCertificateTable(source, &table) != 0, c.signedTable);
  const int64_t end = package::PackageEnd(source);
  if (c.signedTable) {
    EXPECT_EQ(table.offset, c.tableOffset);
    EXPECT_EQ(table.offset + table.size, static_cast<int64_t>(c.file.size()));
    EXPECT_EQ(end, c.tableOffset);
  } else {
    EXPECT_EQ(end, static_cast<int64_t>(c.file.size()));
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, PackageExtent, testing::ValuesIn(ExtentCases()),
                         [](const testing::TestParamInfo<ExtentCase>& info) {
                           return std::string(info.param.name);
                         });

// The builder clears the entry it finds; it must be where the table is named.
TEST(CertificateTable, EntryOffsetNamesTheSecurityEntry) {
  for (const bool plus : {false, true}) {
    Shape shape;
    shape.pe32Plus = plus;
    const std::string file = Signed(UnsignedPackage(shape), shape);
    MemorySource source(file);
    package::CertificateTable table;
    ASSERT_TRUE(package::FindCertificateTable(source, &table));
    EXPECT_EQ(table.entryOffset, static_cast<int64_t>(SecurityEntryOffset(shape)));
  }
}

struct ReadBack {
  int read = 0;
  int64_t headerOffset = -1;
  int64_t packageEnd = -1;
  package::PackageHeader header;
  int64_t position = -1;
};

ReadBack ReadPackage(const std::string& file) {
  MemorySource source(file);
  ReadBack back;
  std::memset(&back.header, 0, sizeof back.header);
  back.read = package::ReadPackageTrailer(source, &back.headerOffset, &back.packageEnd) &&
              package::ReadPackageHeader(source, back.headerOffset, &back.header);
  back.position = source.position();
  return back;
}

// Signing appends the table behind the trailer of an aligned package: the
// reader finds the same trailer, header and payload start as before signing.
TEST(PackageTrailer, SignedPackageReadsLikeTheUnsignedOne) {
  const std::string plain = UnsignedPackage();
  ASSERT_EQ(plain.size() % 8, 0u);
  const std::string signedFile = Signed(plain);
  ASSERT_EQ(signedFile.size(), plain.size() + kCertificateTable.size()) << "signing had to pad";
  const ReadBack before = ReadPackage(plain);
  const ReadBack after = ReadPackage(signedFile);
  ASSERT_TRUE(before.read);
  ASSERT_TRUE(after.read);
  EXPECT_EQ(before.packageEnd, static_cast<int64_t>(plain.size()));
  EXPECT_EQ(after.packageEnd, static_cast<int64_t>(plain.size()));
  EXPECT_EQ(after.headerOffset, before.headerOffset);
  EXPECT_EQ(after.position, before.position);
  EXPECT_EQ(std::memcmp(&after.header, &before.header, sizeof before.header), 0);
}

// The bytes between the image and the header that align the package are
// skipped: every gap reads like none, up to the payload's first byte.
TEST(PackageTrailer, AlignmentGapLeavesTheReadUnchanged) {
  const ReadBack without = ReadPackage(PackageWithGap(Shape(), 0));
  ASSERT_TRUE(without.read);
  for (size_t gap = 1; gap < 8; ++gap) {
    const ReadBack with = ReadPackage(PackageWithGap(Shape(), gap));
    ASSERT_TRUE(with.read) << gap;
    EXPECT_EQ(with.headerOffset, without.headerOffset + static_cast<int64_t>(gap));
    EXPECT_EQ(with.position, without.position + static_cast<int64_t>(gap));
    EXPECT_EQ(with.packageEnd - with.position, without.packageEnd - without.position) << "payload length";
    EXPECT_EQ(std::memcmp(&with.header, &without.header, sizeof without.header), 0);
  }
}

}  // namespace
