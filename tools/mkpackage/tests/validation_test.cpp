#include "mkpackage/validation.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using mkpackage::EncodeHeader;
using mkpackage::PackageSpec;

PackageSpec TypicalSpec() {
  PackageSpec spec;
  spec.payloadFileName = "setup.exe";
  spec.destinationFolder = "C:\\Drivers\\Audio";
  spec.title = "Audio Driver";
  spec.modelPatterns = {"QR-7.B", "QR-80"};
  spec.devicePatterns = {"PCI\\VEN_10EC&DEV_8168"};
  return spec;
}

std::string Encoded(const PackageSpec& spec) {
  std::string header, error;
  EXPECT_TRUE(EncodeHeader(spec, &header, &error)) << error;
  return header;
}

TEST(EncodeHeader, WritesTheLinesInOrderWithBothTerminators) {
  EXPECT_EQ(Encoded(TypicalSpec()),
            "setup.exe\nC:\\Drivers\\Audio\nAudio Driver\nQR-7.B\nQR-80\n#\nPCI\\VEN_10EC&DEV_8168\n##\n");

  PackageSpec everyMachine = TypicalSpec();
  everyMachine.modelPatterns.clear();
  everyMachine.devicePatterns.clear();
  everyMachine.allModels = true;
  EXPECT_EQ(Encoded(everyMachine), "setup.exe\nC:\\Drivers\\Audio\nAudio Driver\n#\n##\n");

  PackageSpec japanese = TypicalSpec();
  japanese.codePage = 932;
  japanese.title = "\u30aa\u30fc\u30c7\u30a3\u30aa";      // odio
  japanese.destinationFolder = "C:\\\u30bd\u30d5\u30c8";  // 0x5C second bytes are fine here
  EXPECT_EQ(Encoded(japanese).substr(0, 31),
            "setup.exe\nC:\\\x83\x5C\x83\x74\x83\x67\n\x83\x49\x81\x5B\x83\x66\x83\x42\x83\x49\n");
}

TEST(EncodeHeader, AcceptsEveryLimitExactly) {
  PackageSpec spec = TypicalSpec();
  spec.title = std::string(258, 't');
  spec.destinationFolder = "C:\\" + std::string(255, 'd');
  spec.modelPatterns.assign(100, std::string(19, 'm'));
  spec.devicePatterns.assign(10, std::string(255, 'd'));
  const std::string header = Encoded(spec);
  EXPECT_EQ(header.size(), 10 + 259 + 259 + 100 * 20 + 2 + 10 * 256 + 3);

  spec = TypicalSpec();
  spec.destinationFolder = "c:\\";  // a bare root, lower-case drive
  Encoded(spec);
  spec.destinationFolder = "C:\\\"quoted\"";  // the dialog does not refuse '"'
  Encoded(spec);
}

struct Rule {
  const char* name;
  std::function<void(PackageSpec&)> change;
  const char* message;
};

void PrintTo(const Rule& rule, std::ostream* out) { *out << rule.name; }

class RefusesSpec : public testing::TestWithParam<Rule> {};

TEST_P(RefusesSpec, WithItsReason) {
  PackageSpec spec = TypicalSpec();
  GetParam().change(spec);
  std::string header = "untouched", error;
  EXPECT_FALSE(EncodeHeader(spec, &header, &error));
  EXPECT_EQ(header, "untouched");
  EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
}

const Rule kRules[] = {
    {"CarriageReturn", [](PackageSpec& s) { s.title = "Audio\r"; }, "title holds a carriage return"},
    {"LineFeed", [](PackageSpec& s) { s.destinationFolder = "C:\\a\nb"; },
     "destination folder holds a line feed"},
    {"Nul", [](PackageSpec& s) { s.payloadFileName = std::string("set\0up.exe", 10); },
     "payload file name holds a NUL byte"},
    {"DeviceLineFeed", [](PackageSpec& s) { s.devicePatterns = {"PCI\n"}; },
     "device pattern 1 holds a line feed"},
    {"LongTitle", [](PackageSpec& s) { s.title = std::string(259, 't'); },
     "title is 259 bytes long in code page 1252; at most 258 fit"},
    // 130 characters, 260 bytes once stored.
    {"LongTitleInBytes",
     [](PackageSpec& s) {
       s.codePage = 932;
       s.title.clear();
       for (int i = 0; i < 130; ++i) s.title += "\u30dd";
     },
     "title is 260 bytes long in code page 932"},
    {"LongName", [](PackageSpec& s) { s.payloadFileName = std::string(255, 'n') + ".exe"; },
     "payload file name is 259 bytes long"},
    {"Unstorable", [](PackageSpec& s) { s.title = "\u30dd"; },
     "title holds the character \"\u30dd\" (U+30DD)"},
    {"TooManyModels", [](PackageSpec& s) { s.modelPatterns.assign(101, "M"); },
     "101 model patterns given; at most 100 fit"},
    {"LongModel",
     [](PackageSpec& s) {
       s.modelPatterns = {"QR", std::string(20, 'm')};
     },
     "model pattern 2 is 20 bytes long in code page 1252; at most 19 fit"},
    {"EmptyModel",
     [](PackageSpec& s) {
       s.modelPatterns = {"QR", ""};
     },
     "model pattern 2 is empty"},
    {"HashModel", [](PackageSpec& s) { s.modelPatterns = {"#QR"}; }, "model pattern 1 begins with '#'"},
    {"TooManyDevices", [](PackageSpec& s) { s.devicePatterns.assign(11, "PCI"); },
     "11 device patterns given; at most 10 fit"},
    {"LongDevice", [](PackageSpec& s) { s.devicePatterns = {std::string(256, 'd')}; },
     "device pattern 1 is 256 bytes long"},
    {"EmptyDevice", [](PackageSpec& s) { s.devicePatterns = {""}; }, "device pattern 1 is empty"},
    {"TerminatorDevice",
     [](PackageSpec& s) {
       s.devicePatterns = {"PCI", "##"};
     },
     "device pattern 2 is \"##\""},
    {"NoModels", [](PackageSpec& s) { s.modelPatterns.clear(); }, "no model pattern given"},
    {"ModelsAndAll", [](PackageSpec& s) { s.allModels = true; }, "exclude each other"},
    {"DevicesForAll",
     [](PackageSpec& s) {
       s.modelPatterns.clear();
       s.allModels = true;
     },
     "device patterns have no effect in a package for all models"},
    {"NameWithBackslash", [](PackageSpec& s) { s.payloadFileName = "bin\\setup.exe"; },
     "must be a bare file name"},
    {"NameWithSlash", [](PackageSpec& s) { s.payloadFileName = "bin/setup.exe"; },
     "must be a bare file name"},
    {"NameWithColon", [](PackageSpec& s) { s.payloadFileName = "C:setup.exe"; }, "must be a bare file name"},
    {"EmptyName", [](PackageSpec& s) { s.payloadFileName = ""; }, "payload file name is empty"},
    {"DotDotName", [](PackageSpec& s) { s.payloadFileName = ".."; }, "names a folder"},
    {"WildcardName", [](PackageSpec& s) { s.payloadFileName = "set?.exe"; }, "Windows does not allow"},
    {"RelativeDestination", [](PackageSpec& s) { s.destinationFolder = "Drivers"; },
     "destination folder must begin with a drive letter"},
    {"EmptyDestination", [](PackageSpec& s) { s.destinationFolder = ""; }, "must begin with a drive letter"},
    {"NetworkDestination", [](PackageSpec& s) { s.destinationFolder = "\\\\server\\share"; },
     "must begin with a drive letter"},
    {"DriveRelativeDestination", [](PackageSpec& s) { s.destinationFolder = "C:Drivers"; },
     "must begin with a drive letter"},
    {"SlashDestination", [](PackageSpec& s) { s.destinationFolder = "C:/Drivers"; },
     "holds the byte 0x2F ('/')"},
    {"DigitDrive", [](PackageSpec& s) { s.destinationFolder = "1:\\Drivers"; },
     "must begin with a drive letter"},
    {"ForbiddenCharacter", [](PackageSpec& s) { s.destinationFolder = "C:\\Drivers\\a*b"; },
     "holds the byte 0x2A ('*') in code page 1252"},
    {"SlashInside", [](PackageSpec& s) { s.destinationFolder = "C:\\Drivers/Audio"; }, "holds the byte 0x2F"},
    {"KatakanaPo",
     [](PackageSpec& s) {
       s.codePage = 932;
       s.destinationFolder = "C:\\\u30dd";
     },
     "holds the byte 0x7C ('|') in code page 932"},
    {"UnsupportedCodePage", [](PackageSpec& s) { s.codePage = 437; }, "code page 437 is not supported"},
};

INSTANTIATE_TEST_SUITE_P(Table, RefusesSpec, testing::ValuesIn(kRules),
                         [](const testing::TestParamInfo<Rule>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
