#include "mkpackage/mkpackage_cli.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "command_runner.h"
#include "minimal_pe.h"
#include "package/package_layout.h"
#include "test_folder.h"

namespace {

using namespace mkpackage_test;

std::string Trailer(int64_t offset) {
  unsigned char bytes[package::kTrailerSize];
  package::EncodeTrailer(offset, bytes);
  return std::string(reinterpret_cast<char*>(bytes), sizeof bytes);
}

const std::string kImage = "MZ-not-checked-by-the-reader";

// A package put together byte by byte, without the builder.
std::string HandMadePackage(const std::string& header, const std::string& payload) {
  return kImage + header + payload + Trailer(static_cast<int64_t>(kImage.size()));
}

class MkpackageTest : public TestFolder, public CommandRunner {
 protected:
};

TEST_F(MkpackageTest, InspectJsonShowsAHandMadePackage) {
  const std::string payload = std::string("MZ\0\n##\n", 7) + "rest";
  const std::string header =
      "setup.exe\nC:\\Drivers\\\x83\x7C\n\x83\x49 Audio\nQR-7.B\nQR-80\n#end\nPCI\\VEN_10EC\n##\n";
  WriteFile(Path("package.exe"), HandMadePackage(header, payload));
  ASSERT_EQ(RunCommand({"inspect", "--json", "--codepage", "932", Path("package.exe"), "--extract-payload",
                        Path("payload.bin")}),
            0)
      << err_;
  const auto json = nlohmann::json::parse(out_);
  EXPECT_EQ(json["payloadFileName"], "setup.exe");
  EXPECT_EQ(json["destinationFolder"], "C:\\Drivers\\\u30dd");
  EXPECT_EQ(json["title"], "\u30aa Audio");
  EXPECT_EQ(json["modelPatterns"], nlohmann::json({"QR-7.B", "QR-80"}));
  EXPECT_EQ(json["devicePatterns"], nlohmann::json({"PCI\\VEN_10EC"}));
  EXPECT_EQ(json["appliesToAllModels"], false);
  EXPECT_EQ(json["headerOffset"], kImage.size());
  EXPECT_EQ(json["payloadOffset"], kImage.size() + header.size());
  EXPECT_EQ(json["payloadSize"], payload.size());
  EXPECT_EQ(json["fileSize"], kImage.size() + header.size() + payload.size() + 8);
  EXPECT_EQ(ReadFile(Path("payload.bin")), payload);
}

TEST_F(MkpackageTest, InspectTextNamesAPackageForAllModels) {
  WriteFile(Path("package.exe"), HandMadePackage("a.exe\nC:\\\nTitle\n#\n##\n", "MZ"));
  ASSERT_EQ(RunCommand({"inspect", Path("package.exe")}), 0) << err_;
  EXPECT_NE(out_.find("applies to all models: yes"), std::string::npos) << out_;
  EXPECT_NE(out_.find("model patterns (0): none"), std::string::npos) << out_;
  const std::string payloadLine =
      "payload:               offset " + std::to_string(kImage.size() + 21) + ", 2 bytes";
  EXPECT_NE(out_.find(payloadLine), std::string::npos) << out_;
}

struct Broken {
  const char* name;
  std::string bytes;
  const char* reason;
};

void PrintTo(const Broken& broken, std::ostream* out) { *out << broken.name; }

class VerifyRefuses : public MkpackageTest, public testing::WithParamInterface<Broken> {};

TEST_P(VerifyRefuses, WithAClearReason) {
  WriteFile(Path("package.exe"), GetParam().bytes);
  EXPECT_NE(RunCommand({"verify", Path("package.exe")}), 0);
  EXPECT_NE(err_.find("the unpacker would refuse this package: " + std::string(GetParam().reason)),
            std::string::npos)
      << err_;
  // inspect refuses it for the same reason.
  EXPECT_NE(RunCommand({"inspect", "--json", Path("package.exe")}), 0);
  EXPECT_NE(err_.find(GetParam().reason), std::string::npos) << err_;
}

std::string Lines(int count, const std::string& line) {
  std::string text;
  for (int i = 0; i < count; ++i) text += line + "\n";
  return text;
}

const std::string kFront = "setup.exe\nC:\\Drivers\nTitle\n";

INSTANTIATE_TEST_SUITE_P(
    Table, VerifyRefuses,
    testing::Values(
        Broken{"ShorterThanTrailer", "1234567", "the file is shorter than the 8-byte trailer"},
        Broken{"OffsetBeyondEnd", kImage + kFront + "#\n##\nMZ" + Trailer(5000),
               "the trailer's header offset 5000 lies outside the package"},
        Broken{"NegativeOffset", kImage + kFront + "#\n##\nMZ" + Trailer(-2),
               "the trailer's header offset -2 lies outside"},
        Broken{"LongTitle", HandMadePackage("setup.exe\nC:\\x\n" + std::string(300, 't') + "\n#\n##\n", "MZ"),
               "header line 3 (title) is longer than 258 bytes"},
        Broken{"NoDeviceTerminator",
               kImage + kFront + "#\nPCI" + Trailer(static_cast<int64_t>(kImage.size())),
               "header line 5 (device section) meets the end of the file before its line feed"},
        Broken{"LongModel", HandMadePackage(kFront + std::string(20, 'm') + "\n#\n##\n", "MZ"),
               "header line 4 (model section) is 20 bytes long; at most 19 fit"},
        Broken{"NoModelTerminator", HandMadePackage(kFront + Lines(101, "QR") + "#\n##\n", "MZ"),
               "the model section has 101 lines and no model terminator"},
        Broken{"NoDeviceEnd", HandMadePackage(kFront + "#\n" + Lines(11, "PCI") + "##\n", "MZ"),
               "the device section has 11 lines and no \"##\" terminator"},
        Broken{"CarriageReturnTerminator", HandMadePackage(kFront + "#\n##\r\n", "MZ"),
               "header line 6 (device section) meets the end of the file"},
        Broken{"NoPayload", HandMadePackage(kFront + "#\n##\n", ""), "the package holds no payload bytes"}),
    [](const testing::TestParamInfo<Broken>& info) { return std::string(info.param.name); });

TEST_F(MkpackageTest, VerifyAcceptsWhatTheReaderAcceptsAndWarnsAboutTheRest) {
  WriteFile(Path("good.exe"), HandMadePackage(kFront + "QR\n#\n##\n", "MZ"));
  EXPECT_EQ(RunCommand({"verify", Path("good.exe")}), 0) << err_;
  EXPECT_EQ(err_, "");
  EXPECT_NE(out_.find("the unpacker accepts this package (payload setup.exe, 2 bytes)"), std::string::npos);

  WriteFile(Path("odd.exe"), HandMadePackage("..\\setup.exe\nDrivers\nTitle\nQR\n\nZX\n#\n\n##\n", "MZ"));
  EXPECT_EQ(RunCommand({"verify", Path("odd.exe")}), 0) << err_;
  EXPECT_NE(err_.find("warning: payload file name must be a bare file name"), std::string::npos) << err_;
  EXPECT_NE(err_.find("warning: destination folder must begin with a drive letter"), std::string::npos)
      << err_;
  EXPECT_NE(err_.find("warning: model pattern 2 is empty"), std::string::npos) << err_;
  EXPECT_NE(err_.find("warning: device pattern 1 is empty: the package applies to no machine"),
            std::string::npos)
      << err_;
}

class BuildCommandTest : public MkpackageTest {
 protected:
  void SetUp() override {
    MkpackageTest::SetUp();
    WriteFile(Path("unpacker.exe"), MinimalPe());
    WriteFile(Path("setup.exe"), "MZ payload");
  }

  nlohmann::json Inspect(const std::string& package) {
    EXPECT_EQ(RunCommand({"inspect", "--json", Path(package)}), 0) << err_;
    return nlohmann::json::parse(out_);
  }
};

TEST_F(BuildCommandTest, BuildsFromFlags) {
  ASSERT_EQ(RunCommand({"build", "--stub", Path("unpacker.exe"), "--payload", Path("setup.exe"), "--dest",
                        "C:\\Drivers\\Audio", "--title", "Caf\u00e9 Driver", "--model", "QR-7.B", "--model",
                        "QR-80", "--device", "PCI\\VEN_10EC", "-o", Path("package.exe")}),
            0)
      << err_;
  const auto json = Inspect("package.exe");
  EXPECT_EQ(json["payloadFileName"], "setup.exe");  // the payload's own name by default
  EXPECT_EQ(json["title"], "Caf\u00e9 Driver");
  EXPECT_EQ(json["modelPatterns"], nlohmann::json({"QR-7.B", "QR-80"}));
  EXPECT_EQ(json["devicePatterns"], nlohmann::json({"PCI\\VEN_10EC"}));
  EXPECT_EQ(json["payloadSize"], 10);
}

// A signed stub builds with a notice and loses its signature; the package
// signed afterwards is reported as signed, and its payload stops before the
// certificate table.
TEST_F(BuildCommandTest, SignedStubAndSignedPackage) {
  WriteFile(Path("signed-unpacker.exe"), MinimalPe(0x200, 0x80));
  ASSERT_EQ(RunCommand({"build", "--stub", Path("signed-unpacker.exe"), "--payload", Path("setup.exe"),
                        "--dest", "C:\\Drivers", "--title", "T", "--all-models", "-o", Path("package.exe")}),
            0)
      << err_;
  EXPECT_NE(err_.find("mkpackage: notice: the stub " + Path("signed-unpacker.exe") + " is signed"),
            std::string::npos)
      << err_;
  auto json = Inspect("package.exe");
  EXPECT_EQ(json["signed"], false);
  EXPECT_EQ(json["packageEnd"], json["fileSize"]);

  std::string signedPackage = ReadFile(Path("package.exe"));
  const size_t unsignedSize = signedPackage.size();
  ASSERT_EQ(unsignedSize % 8, 0u);
  Put32(signedPackage, 0x80 + 24 + 96 + 32, static_cast<uint32_t>(unsignedSize));
  Put32(signedPackage, 0x80 + 24 + 96 + 36, 0x48);
  signedPackage += std::string(0x48, 'C');
  WriteFile(Path("signed.exe"), signedPackage);
  ASSERT_EQ(RunCommand({"inspect", "--json", Path("signed.exe"), "--extract-payload", Path("payload.bin")}),
            0)
      << err_;
  json = nlohmann::json::parse(out_);
  EXPECT_EQ(json["signed"], true);
  EXPECT_EQ(json["certificateSize"], 0x48);
  EXPECT_EQ(json["packageEnd"], unsignedSize);
  EXPECT_EQ(json["payloadSize"], 10);
  EXPECT_EQ(ReadFile(Path("payload.bin")), "MZ payload");
  ASSERT_EQ(RunCommand({"inspect", Path("signed.exe")}), 0) << err_;
  EXPECT_NE(out_.find("signed:                yes, certificate table of 72 bytes at byte " +
                      std::to_string(unsignedSize)),
            std::string::npos)
      << out_;
}

TEST_F(BuildCommandTest, DescriptionFileWithFlagsOverridingIt) {
  WriteFile(Path("package.ini"),
            "\xEF\xBB\xBF; Audio driver\r\n"
            "[package]\r\n"
            "stub    = unpacker.exe\r\n"
            "payload = setup.exe\r\n"
            "output  = package.exe\r\n"
            "name    = install.exe\r\n"
            "dest    = C:\\Drivers\\Audio\r\n"
            "title   = \"  Audio; Driver # 2  \"\r\n"
            "codepage = 932\r\n"
            "model   = QR-7.B\r\n"
            "model   = QR-80\r\n"
            "device  = PCI\\VEN_10EC&DEV_8168\r\n");
  // Relative paths in the file start at the file's folder, not here.
  ASSERT_EQ(RunCommand({"build", "--from", Path("package.ini")}), 0) << err_;
  auto json = Inspect("package.exe");
  EXPECT_EQ(json["payloadFileName"], "install.exe");
  EXPECT_EQ(json["title"], "  Audio; Driver # 2  ");
  EXPECT_EQ(json["modelPatterns"], nlohmann::json({"QR-7.B", "QR-80"}));
  EXPECT_EQ(json["devicePatterns"], nlohmann::json({"PCI\\VEN_10EC&DEV_8168"}));

  // A flag replaces the file's value; --all-models replaces its model list.
  ASSERT_EQ(RunCommand({"build", "--from", Path("package.ini"), "--title", "\u30aa", "--all-models",
                        "--device", "ignored", "-o", Path("other.exe")}),
            1);
  EXPECT_NE(err_.find("device patterns have no effect"), std::string::npos) << err_;
  EXPECT_FALSE(Exists(Path("other.exe")));
  WriteFile(Path("package.ini"),
            "stub = unpacker.exe\npayload = setup.exe\ndest = C:\\x\ntitle = T\nmodel = A\n");
  ASSERT_EQ(RunCommand({"build", "--from", Path("package.ini"), "--title", "\u30aa", "--codepage", "932",
                        "--all-models", "-o", Path("other.exe")}),
            0)
      << err_;
  EXPECT_EQ(RunCommand({"inspect", "--json", "--codepage", "932", Path("other.exe")}), 0) << err_;
  json = nlohmann::json::parse(out_);
  EXPECT_EQ(json["title"], "\u30aa");
  EXPECT_EQ(json["appliesToAllModels"], true);
}

struct BadDescription {
  const char* name;
  const char* text;
  const char* message;
};

void PrintTo(const BadDescription& bad, std::ostream* out) { *out << bad.name; }

class RefusesDescription : public BuildCommandTest, public testing::WithParamInterface<BadDescription> {};

TEST_P(RefusesDescription, NamingTheLine) {
  WriteFile(Path("package.ini"), GetParam().text);
  const auto before = Names();
  EXPECT_EQ(RunCommand({"build", "--from", Path("package.ini"), "-o", Path("package.exe")}), 1);
  EXPECT_NE(err_.find(GetParam().message), std::string::npos) << err_;
  EXPECT_EQ(Names(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusesDescription,
    testing::Values(
        BadDescription{"UnknownKey", "title = T\nmodle = QR\n", "line 2: unknown key \"modle\""},
        BadDescription{"OtherSection", "[models]\nmodel = QR\n", "line 1: unknown section [models]"},
        BadDescription{"NoEquals", "\n\ntitle T\n", "line 3: expected key = value"},
        BadDescription{"TwiceGiven", "title = A\ntitle = B\n", "line 2: \"title\" is given twice"},
        BadDescription{"BadCodePage", "codepage = 437\n", "line 1: \"codepage\" takes 1252 or 932"},
        BadDescription{"BadYesNo", "all-models = maybe\n", "line 1: \"all-models\" takes yes or no"},
        BadDescription{"MissingDestination",
                       "stub = unpacker.exe\npayload = setup.exe\ntitle = T\nmodel = QR\n",
                       "no dest given (--dest or \"dest =\" in the description file)"}),
    [](const testing::TestParamInfo<BadDescription>& info) { return std::string(info.param.name); });

TEST_F(BuildCommandTest, RefusesAnUnknownCodePageOption) {
  EXPECT_NE(RunCommand({"build", "--codepage", "437", "--stub", Path("unpacker.exe")}), 0);
  EXPECT_NE(err_.find("--codepage"), std::string::npos) << err_;
  EXPECT_NE(RunCommand({}), 0);  // a subcommand is required
}

}  // namespace
