#include "mkpackage/package_builder.h"

#include <signal.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "memory_source.h"
#include "minimal_pe.h"
#include "mkpackage/stub_image.h"
#include "package/package_reader.h"
#include "test_folder.h"
#include "typical_definition.h"

namespace {

using mkpackage::BuildOptions;
using mkpackage::BuildPackage;
using mkpackage::PackageDefinition;
using namespace mkpackage_test;

// Every byte value, lines that look like header lines, and more than one copy
// buffer's worth.
std::string AwkwardPayload() {
  std::string payload = "MZ\n##\n#\r\n";
  for (int i = 0; i < 256; ++i) payload += static_cast<char>(i);
  payload.resize((1 << 20) + 17, '\x5A');
  payload += "\n##\n";
  return payload;
}

struct ReadBack {
  int accepted = 0;
  int64_t headerOffset = -1;
  std::unique_ptr<package::PackageHeader> header = std::make_unique<package::PackageHeader>();
  std::string payload;
};

// The unpacker's reader on the package's bytes.
ReadBack ReadWithUnpackerReader(const std::string& bytes) {
  ReadBack back;
  std::memset(back.header.get(), 0, sizeof *back.header);
  MemorySource source(bytes);
  int64_t packageEnd = 0;
  back.accepted = package::ReadPackageTrailer(source, &back.headerOffset, &packageEnd) &&
                  package::ReadPackageHeader(source, back.headerOffset, back.header.get());
  if (back.accepted) {
    const size_t start = static_cast<size_t>(source.position());
    back.payload = bytes.substr(start, static_cast<size_t>(packageEnd) - package::kTrailerSize - start);
  }
  return back;
}

// The builder's layout: the stub, up to 7 zero bytes, the header at
// `headerOffset`, and a length that is a multiple of 8, so that signing pads
// nothing before its certificate table.
void ExpectAlignedBehind(const std::string& stub, const std::string& package, int64_t headerOffset) {
  const auto stubSize = static_cast<int64_t>(stub.size());
  EXPECT_EQ(package.size() % 8, 0u);
  EXPECT_TRUE(package.compare(0, stub.size(), stub) == 0) << "the stub is not copied unchanged";
  ASSERT_GE(headerOffset, stubSize);
  ASSERT_LT(headerOffset - stubSize, 8);
  EXPECT_EQ(package.substr(stub.size(), static_cast<size_t>(headerOffset - stubSize)),
            std::string(static_cast<size_t>(headerOffset - stubSize), '\0'));
}

class BuildPackageTest : public TestFolder {
 protected:
  void SetUp() override {
    TestFolder::SetUp();
    stub_ = MinimalPe();
    payload_ = AwkwardPayload();
    WriteFile(Path("unpacker.exe"), stub_);
    WriteFile(Path("setup.exe"), payload_);
  }

  bool Build(const PackageDefinition& definition, const std::string& stub = "unpacker.exe",
             const std::string& output = "package.exe", bool replacePackage = false) {
    BuildOptions options;
    options.replacePackage = replacePackage;
    error_.clear();
    return BuildPackage(definition, Path(stub), Path("setup.exe"), Path(output), &error_, options);
  }

  std::string stub_, payload_, error_;
};

TEST_F(BuildPackageTest, RoundTripsThroughTheUnpackerReader) {
  PackageDefinition definition = TypicalDefinition();
  definition.codePage = 932;
  definition.title = "\u30aa\u30fc\u30c7\u30a3\u30aa Driver";
  ASSERT_TRUE(Build(definition)) << error_;
  const std::string bytes = ReadFile(Path("package.exe"));

  const ReadBack back = ReadWithUnpackerReader(bytes);
  ASSERT_TRUE(back.accepted);
  ExpectAlignedBehind(stub_, bytes, back.headerOffset);
  EXPECT_STREQ(back.header->payloadFileName, "setup.exe");
  EXPECT_STREQ(back.header->destinationFolder, "C:\\Drivers\\Audio");
  EXPECT_STREQ(back.header->title, "\x83\x49\x81\x5B\x83\x66\x83\x42\x83\x49 Driver");
  EXPECT_STREQ(back.header->modelPatterns[0], "QR-7.B");
  EXPECT_STREQ(back.header->modelPatterns[1], "QR-80");
  EXPECT_STREQ(back.header->modelPatterns[2], "#");
  EXPECT_STREQ(back.header->devicePatterns[0], "PCI\\VEN_10EC&DEV_8168");
  EXPECT_STREQ(back.header->devicePatterns[1], "##");
  EXPECT_TRUE(back.payload == payload_) << "payload differs";
}

TEST_F(BuildPackageTest, AllModelsPackageStartsWithTheModelTerminator) {
  PackageDefinition definition = TypicalDefinition();
  definition.modelPatterns.clear();
  definition.devicePatterns.clear();
  definition.allModels = true;
  ASSERT_TRUE(Build(definition)) << error_;
  const ReadBack back = ReadWithUnpackerReader(ReadFile(Path("package.exe")));
  ASSERT_TRUE(back.accepted);
  EXPECT_STREQ(back.header->modelPatterns[0], "#");
  EXPECT_STREQ(back.header->devicePatterns[0], "##");
}

TEST_F(BuildPackageTest, RefusesACarriedPackageUnlessReplacingIt) {
  ASSERT_TRUE(Build(TypicalDefinition())) << error_;
  PackageDefinition second = TypicalDefinition();
  second.title = "Second build";
  second.modelPatterns = {"ZX-1"};
  ASSERT_TRUE(Build(second, "unpacker.exe", "expected.exe")) << error_;

  EXPECT_FALSE(Build(second, "package.exe", "again.exe"));
  EXPECT_NE(error_.find("already carries a package (header at byte "), std::string::npos) << error_;
  EXPECT_FALSE(Exists(Path("again.exe")));

  // Replaced, the package is the one built from the bare stub: nothing of the
  // old one remains.
  ASSERT_TRUE(Build(second, "package.exe", "again.exe", true)) << error_;
  EXPECT_TRUE(ReadFile(Path("again.exe")) == ReadFile(Path("expected.exe")));

  // In place: the output may be the stub itself.
  ASSERT_TRUE(Build(second, "package.exe", "package.exe", true)) << error_;
  EXPECT_TRUE(ReadFile(Path("package.exe")) == ReadFile(Path("expected.exe")));
}

// Every payload length gives a package whose length is a multiple of 8, and
// the reader finds the same header and payload behind the gap.
TEST_F(BuildPackageTest, AlignsEveryPackageToEightBytes) {
  for (size_t extra = 0; extra < 8; ++extra) {
    const std::string payload = payload_.substr(0, 4000 + extra);
    WriteFile(Path("setup.exe"), payload);
    ASSERT_TRUE(Build(TypicalDefinition())) << error_;
    const std::string bytes = ReadFile(Path("package.exe"));
    const ReadBack back = ReadWithUnpackerReader(bytes);
    ASSERT_TRUE(back.accepted) << extra;
    ExpectAlignedBehind(stub_, bytes, back.headerOffset);
    EXPECT_STREQ(back.header->title, "Audio Driver");
    EXPECT_TRUE(back.payload == payload) << extra;
  }
}

// Signs a package as a signing tool does: the table behind the (aligned)
// package, named by the security entry.
std::string SignAligned(std::string package) {
  EXPECT_EQ(package.size() % 8, 0u);
  Put32(package, 0x80 + 24 + 96 + 32, static_cast<uint32_t>(package.size()));
  Put32(package, 0x80 + 24 + 96 + 36, 0x40);
  return package + std::string(0x40, 'C');
}

TEST_F(BuildPackageTest, SignedStubsAndSignedPackages) {
  ASSERT_TRUE(Build(TypicalDefinition(), "unpacker.exe", "plain.exe")) << error_;
  const std::string plain = ReadFile(Path("plain.exe"));

  // A signed bare unpacker loses its signature, table and directory entry,
  // with a notice: the package is the one built from the unsigned unpacker.
  WriteFile(Path("signed.exe"), MinimalPe(0x200, 0x80));
  std::string notice;
  ASSERT_TRUE(BuildPackage(TypicalDefinition(), Path("signed.exe"), Path("setup.exe"), Path("package.exe"),
                           &error_, BuildOptions(), &notice))
      << error_;
  EXPECT_TRUE(ReadFile(Path("package.exe")) == plain) << "signature left in the package";
  EXPECT_NE(notice.find("is signed"), std::string::npos) << notice;
  notice.clear();
  ASSERT_TRUE(BuildPackage(TypicalDefinition(), Path("unpacker.exe"), Path("setup.exe"), Path("package.exe"),
                           &error_, BuildOptions(), &notice));
  EXPECT_EQ(notice, "") << "an unsigned stub has no signature to lose";

  // A package signed afterwards reads like the unsigned one.
  const std::string signedPackage = SignAligned(plain);
  const ReadBack signedBack = ReadWithUnpackerReader(signedPackage);
  ASSERT_TRUE(signedBack.accepted);
  EXPECT_TRUE(signedBack.payload == payload_) << "the certificate table reached the payload";

  // As a stub, it carries a package; replaced, the signature goes with the
  // old package, its directory entry and the old alignment included: the
  // result is the package built from the bare stub.
  WriteFile(Path("signed-package.exe"), signedPackage);
  EXPECT_FALSE(Build(TypicalDefinition(), "signed-package.exe", "again.exe"));
  EXPECT_NE(error_.find("already carries a package"), std::string::npos) << error_;
  ASSERT_TRUE(Build(TypicalDefinition(), "signed-package.exe", "again.exe", true)) << error_;
  EXPECT_TRUE(ReadFile(Path("again.exe")) == plain);

  // Signed before the builder aligned packages: the table follows up to 7
  // zero bytes of the signing tool's own padding, and the old package is
  // still recognised and replaced.
  const auto headerOffset = static_cast<size_t>(signedBack.headerOffset);
  ASSERT_GT(headerOffset, stub_.size()) << "the fixture should need alignment";
  std::string unaligned =
      stub_ + plain.substr(headerOffset, plain.size() - package::kTrailerSize - headerOffset);
  unsigned char trailer[package::kTrailerSize];
  package::EncodeTrailer(static_cast<int64_t>(stub_.size()), trailer);
  unaligned.append(reinterpret_cast<const char*>(trailer), sizeof trailer);
  unaligned.resize((unaligned.size() + 7) / 8 * 8, '\0');
  WriteFile(Path("signed-unaligned.exe"), SignAligned(unaligned));
  ASSERT_TRUE(Build(TypicalDefinition(), "signed-unaligned.exe", "again.exe", true)) << error_;
  EXPECT_TRUE(ReadFile(Path("again.exe")) == plain);
}

struct BadStub {
  const char* name;
  std::string bytes;
  const char* message;
};

void PrintTo(const BadStub& stub, std::ostream* out) { *out << stub.name; }

class RefusesStub : public TestFolder, public testing::WithParamInterface<BadStub> {};

TEST_P(RefusesStub, WithoutWritingAnything) {
  WriteFile(Path("stub.exe"), GetParam().bytes);
  WriteFile(Path("setup.exe"), "MZ payload");
  const auto before = Names();
  std::string error;
  for (bool replace : {false, true}) {
    BuildOptions options;
    options.replacePackage = replace;
    EXPECT_FALSE(BuildPackage(TypicalDefinition(), Path("stub.exe"), Path("setup.exe"), Path("package.exe"),
                              &error, options));
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
  }
  EXPECT_EQ(Names(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusesStub,
    testing::Values(
        BadStub{"NotAnExecutable", "#!/bin/sh\necho hello\n", "is not a Windows executable (no MZ header)"},
        BadStub{"NoPeHeader", std::string("MZ") + std::string(100, '\0'), "no PE header"},
        BadStub{"CutOff", MinimalPe(0x400).substr(0, 0x300), "is cut off: its image ends at byte 1536"},
        BadStub{"UnknownOverlay", MinimalPe() + "SOMETHING ELSE",
                "has 14 bytes behind its executable image that are not a package"}),
    [](const testing::TestParamInfo<BadStub>& info) { return std::string(info.param.name); });

TEST_F(BuildPackageTest, FailedBuildsLeaveNoFileBehind) {
  PackageDefinition invalid = TypicalDefinition();
  invalid.title = "bad\r";
  const auto before = Names();
  EXPECT_FALSE(Build(invalid));
  EXPECT_FALSE(BuildPackage(TypicalDefinition(), Path("unpacker.exe"), Path("missing.exe"),
                            Path("package.exe"), &error_));
  EXPECT_NE(error_.find("cannot open the payload"), std::string::npos) << error_;
  WriteFile(Path("empty.exe"), "");
  EXPECT_FALSE(BuildPackage(TypicalDefinition(), Path("unpacker.exe"), Path("empty.exe"), Path("package.exe"),
                            &error_));
  EXPECT_NE(error_.find("is empty"), std::string::npos) << error_;
  unlink(Path("empty.exe").c_str());
  EXPECT_EQ(Names(), before);
}

TEST_F(BuildPackageTest, WriteFailureHalfwayKeepsTheOldPackage) {
  WriteFile(Path("package.exe"), "the previous package");
  const auto before = Names();
  // The file size limit makes the write fail in the middle of the payload.
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 256 * 1024;
  setrlimit(RLIMIT_FSIZE, &small);
  const bool built = Build(TypicalDefinition());
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(built);
  EXPECT_NE(error_.find("the payload could not be copied"), std::string::npos) << error_;
  EXPECT_EQ(Names(), before);
  EXPECT_EQ(ReadFile(Path("package.exe")), "the previous package");
}

TEST(StubImage, FindsTheEndOfARealLayout) {
  // Headers, a section and a COFF symbol table with its string table behind.
  std::string pe = MinimalPe(0x200);
  const uint32_t symbols = static_cast<uint32_t>(pe.size());
  Put32(pe, 0x80 + 12, symbols);
  Put32(pe, 0x80 + 16, 2);
  pe += std::string(2 * 18, 'S');
  std::string strings(4 + 6, 'x');
  Put32(strings, 0, 10);
  pe += strings;
  MemorySource source(pe);
  mkpackage::StubImage image;
  std::string error;
  ASSERT_TRUE(mkpackage::FindStubImage(source, &image, &error)) << error;
  EXPECT_EQ(image.imageEnd, static_cast<int64_t>(pe.size()));
}

}  // namespace
