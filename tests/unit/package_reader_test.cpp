#include "package/package_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "memory_source.h"

namespace {

using package::PackageHeader;

const std::string kImage = "MZ-image-bytes";
const std::string kPayload = "payload\n\x00\x01##\n";

std::string Trailer(int64_t offset) {
  unsigned char bytes[package::kTrailerSize];
  package::EncodeTrailer(offset, bytes);
  return std::string(reinterpret_cast<char*>(bytes), sizeof bytes);
}

// image + header + payload + trailer pointing at the header.
std::string Package(const std::string& header, const std::string& payload = kPayload) {
  return kImage + header + payload + Trailer(static_cast<int64_t>(kImage.size()));
}

std::string Lines(int count, const std::string& line) {
  std::string text;
  for (int i = 0; i < count; ++i) text += line + "\n";
  return text;
}

const std::string kFront = "setup.exe\nC:\\Drivers\\Audio\nAudio Driver\n";

struct Outcome {
  int read;
  std::unique_ptr<PackageHeader> header;
  int64_t position;
};

Outcome ReadWhole(const std::string& bytes) {
  MemorySource source(bytes);
  auto header = std::make_unique<PackageHeader>();
  std::memset(header.get(), 0, sizeof *header);
  int64_t offset = 0;
  int read = package::ReadPackageTrailer(source, &offset);
  if (read) read = package::ReadPackageHeader(source, offset, header.get());
  return {read, std::move(header), source.position()};
}

TEST(PackageTrailer, DecodesLittleEndianSignedOffset) {
  for (int64_t offset : {int64_t{0}, int64_t{14}, int64_t{0x0102030405060708}, int64_t{-1}}) {
    MemorySource source("xyz" + Trailer(offset));
    int64_t decoded = 12345;
    ASSERT_TRUE(package::ReadPackageTrailer(source, &decoded));
    EXPECT_EQ(decoded, offset);
  }
  MemorySource source("\x08\x07\x06\x05\x04\x03\x02\x01");
  int64_t decoded = 0;
  ASSERT_TRUE(package::ReadPackageTrailer(source, &decoded));
  EXPECT_EQ(decoded, 0x0102030405060708);
}

TEST(PackageTrailer, FailsOnFewerThanEightBytes) {
  for (const char* bytes : {"", "1234567"}) {
    MemorySource source(bytes);
    int64_t decoded = 99;
    EXPECT_FALSE(package::ReadPackageTrailer(source, &decoded));
    EXPECT_EQ(decoded, 99);
  }
}

TEST(PackageHeader, TypicalHeaderFillsEveryFieldAndStopsOnPayload) {
  const std::string header = kFront + "QR-7.B\nQR-80\n#\n##\n";
  const Outcome outcome = ReadWhole(Package(header));
  ASSERT_TRUE(outcome.read);
  EXPECT_STREQ(outcome.header->payloadFileName, "setup.exe");
  EXPECT_STREQ(outcome.header->destinationFolder, "C:\\Drivers\\Audio");
  EXPECT_STREQ(outcome.header->title, "Audio Driver");
  EXPECT_STREQ(outcome.header->modelPatterns[0], "QR-7.B");
  EXPECT_STREQ(outcome.header->modelPatterns[1], "QR-80");
  EXPECT_STREQ(outcome.header->modelPatterns[2], "#");
  EXPECT_STREQ(outcome.header->modelPatterns[3], "");
  EXPECT_STREQ(outcome.header->devicePatterns[0], "##");
  EXPECT_EQ(outcome.position, static_cast<int64_t>(kImage.size() + header.size()));
}

TEST(PackageHeader, ReadsOneByteAtATimeAndNeverAhead) {
  const std::string header = kFront + "#\n##\n";
  MemorySource source(Package(header));
  PackageHeader parsed{};
  ASSERT_TRUE(package::ReadPackageHeader(source, static_cast<int64_t>(kImage.size()), &parsed));
  EXPECT_EQ(source.reads(), static_cast<int>(header.size()));
  char next = 0;
  ASSERT_EQ(source.Read(&next, 1), 1u);
  EXPECT_EQ(next, kPayload[0]);
}

struct HeaderCase {
  const char* name;
  std::string header;
  bool accepted;
};

std::string PrintCaseName(const testing::TestParamInfo<HeaderCase>& info) { return info.param.name; }

class HeaderShapes : public testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderShapes, AcceptedOrRefused) {
  const HeaderCase& c = GetParam();
  EXPECT_EQ(ReadWhole(Package(c.header, "")).read != 0, c.accepted);
}

const std::string k258(258, 'x');
const std::string k259(259, 'x');

INSTANTIATE_TEST_SUITE_P(
    Lines, HeaderShapes,
    testing::Values(
        HeaderCase{"Smallest", "a\nb\nc\n#\n##\n", true}, HeaderCase{"EmptyTexts", "\n\n\n#\n##\n", true},
        HeaderCase{"TitleOf258Bytes", "a\nb\n" + k258 + "\n#\n##\n", true},
        HeaderCase{"TitleOf259Bytes", "a\nb\n" + k259 + "\n#\n##\n", false},
        HeaderCase{"PayloadNameOf259Bytes", k259 + "\nb\nc\n#\n##\n", false},
        HeaderCase{"Models100", kFront + Lines(100, "M") + "#\n##\n", true},
        HeaderCase{"Models101", kFront + Lines(101, "M") + "#\n##\n", false},
        HeaderCase{"TerminatorInLastModelSlot", kFront + Lines(100, "") + "#\n##\n", true},
        HeaderCase{"Devices10", kFront + "#\n" + Lines(10, "PCI\\VEN_8086") + "##\n", true},
        HeaderCase{"Devices11", kFront + "#\n" + Lines(11, "PCI\\VEN_8086") + "##\n", false},
        HeaderCase{"ModelOf19Bytes", kFront + std::string(19, 'm') + "\n#\n##\n", true},
        HeaderCase{"ModelOf20BytesDoesNotFitItsSlot", kFront + std::string(20, 'm') + "\n#\n##\n", false},
        HeaderCase{"ModelOf258Bytes", kFront + k258 + "\n#\n##\n", false},
        HeaderCase{"DeviceOf255Bytes", kFront + "#\n" + std::string(255, 'd') + "\n##\n", true},
        HeaderCase{"DeviceOf256BytesDoesNotFitItsSlot", kFront + "#\n" + std::string(256, 'd') + "\n##\n",
                   false},
        HeaderCase{"DeviceTerminatorWithCarriageReturn", kFront + "#\n##\r\n", false},
        HeaderCase{"DeviceTerminatorWithCarriageReturnThenProper", kFront + "#\n##\r\n##\n", true},
        HeaderCase{"ModelTerminatorWithText", kFront + "#end of models\n##\n", true},
        HeaderCase{"DoubleHashEndsModelSectionOnly", kFront + "##\n##\n", true},
        HeaderCase{"DoubleHashEndsModelSectionThenNothing", kFront + "##\n", false},
        HeaderCase{"EndsBeforeDeviceTerminator", kFront + "#\n#", false},
        HeaderCase{"EndsInsideTitle", "a\nb\nc", false},
        HeaderCase{"NulInsideLineKeepsTextBeforeIt", std::string("a\0zzz\nb\nc\n#\n##\n", 16), true}),
    PrintCaseName);

TEST(PackageHeader, CarriageReturnStaysPartOfPatterns) {
  const Outcome outcome = ReadWhole(Package(kFront + "QR-79B\r\n#\nPCI\r\n##\n"));
  ASSERT_TRUE(outcome.read);
  EXPECT_STREQ(outcome.header->modelPatterns[0], "QR-79B\r");
  EXPECT_STREQ(outcome.header->devicePatterns[0], "PCI\r");
}

TEST(PackageHeader, EmptyLinesAreStoredAsEmptySlots) {
  const Outcome outcome = ReadWhole(Package(kFront + "\nQR\n#\n\n##\n"));
  ASSERT_TRUE(outcome.read);
  EXPECT_STREQ(outcome.header->modelPatterns[0], "");
  EXPECT_STREQ(outcome.header->modelPatterns[1], "QR");
  EXPECT_STREQ(outcome.header->devicePatterns[0], "");
  EXPECT_STREQ(outcome.header->devicePatterns[1], "##");
}

TEST(PackageHeader, OffsetsOutsideTheFileFindNoHeader) {
  const std::string header = kFront + "#\n##\n";
  const std::string body = kImage + header;
  for (int64_t offset : {int64_t{-1}, int64_t{-100000}, static_cast<int64_t>(body.size() + 8),
                         static_cast<int64_t>(body.size() + 1000), INT64_MAX, INT64_MIN}) {
    // A refused (negative) position leaves the reader at the end, where the
    // trailer was read: nothing more arrives.
    EXPECT_FALSE(ReadWhole(body + Trailer(offset)).read) << offset;
  }
}

TEST(HeaderLine, NeverWritesPastItsBuffer) {
  MemorySource source(std::string(400, 'x'));
  char line[package::kLineBufferSize + 8];
  std::memset(line, 0x5A, sizeof line);
  auto& exact = *reinterpret_cast<char(*)[package::kLineBufferSize]>(line);
  EXPECT_FALSE(package::ReadHeaderLine(source, exact));
  for (size_t i = package::kLineBufferSize; i < sizeof line; ++i) EXPECT_EQ(line[i], 0x5A);
  EXPECT_EQ(source.position(), package::kLineBufferSize);
}

}  // namespace
