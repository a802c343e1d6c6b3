#include "mkpackage/validation.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "typical_definition.h"

namespace {

using mkpackage::EncodeHeader;
using mkpackage::PackageDefinition;
using mkpackage_test::TypicalDefinition;

std::string Encoded(const PackageDefinition& definition) {
  std::string header, error;
  EXPECT_TRUE(EncodeHeader(definition, &header, &error)) << error;
  return header;
}

TEST(EncodeHeader, WritesTheLinesInOrderWithBothTerminators) {
  EXPECT_EQ(Encoded(TypicalDefinition()),
            "setup.exe\nC:\\Drivers\\Audio\nAudio Driver\nQR-7.B\nQR-80\n#\nPCI\\VEN_10EC&DEV_8168\n##\n");

  PackageDefinition everyMachine = TypicalDefinition();
  everyMachine.modelPatterns.clear();
  everyMachine.devicePatterns.clear();
  everyMachine.allModels = true;
  EXPECT_EQ(Encoded(everyMachine), "setup.exe\nC:\\Drivers\\Audio\nAudio Driver\n#\n##\n");

  PackageDefinition japanese = TypicalDefinition();
  japanese.codePage = 932;
  japanese.title = "\u30aa\u30fc\u30c7\u30a3\u30aa";      // odio
  japanese.destinationFolder = "C:\\\u30bd\u30d5\u30c8";  // 0x5C second bytes are fine here
  EXPECT_EQ(Encoded(japanese).substr(0, 31),
            "setup.exe\nC:\\\x83\x5C\x83\x74\x83\x67\n\x83\x49\x81\x5B\x83\x66\x83\x42\x83\x49\n");
}

TEST(EncodeHeader, AcceptsEveryLimitExactly) {
  PackageDefinition definition = TypicalDefinition();
  definition.title = std::string(258, 't');
  definition.destinationFolder = "C:\\" + std::string(255, 'd');
  definition.modelPatterns.assign(100, std::string(19, 'm'));
  definition.devicePatterns.assign(10, std::string(255, 'd'));
  const std::string header = Encoded(definition);
  EXPECT_EQ(header.size(), 10 + 259 + 259 + 100 * 20 + 2 + 10 * 256 + 3);

  definition = TypicalDefinition();
  definition.destinationFolder = "c:\\";  // a bare root, lower-case drive
  Encoded(definition);
  definition.destinationFolder = "C:\\\"quoted\"";  // the dialog does not refuse '"'
  Encoded(definition);
}

struct Rule {
  const char* name;
  std::function<void(PackageDefinition&)> change;
  const char* message;
};

void PrintTo(const Rule& rule, std::ostream* out) { *out << rule.name; }

class RefusesDefinition : public testing::TestWithParam<Rule> {};

TEST_P(RefusesDefinition, WithItsReason) {
  PackageDefinition definition = TypicalDefinition();
  GetParam().change(definition);
  std::string header = "untouched", error;
  EXPECT_FALSE(EncodeHeader(definition, &header, &error));
  EXPECT_EQ(header, "untouched");
  EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
}

const Rule kRules[] = {
    {"CarriageReturn", [](PackageDefinition& s) { s.title = "Audio\r"; }, "title holds a carriage return"},
    {"LineFeed", [](PackageDefinition& s) { s.destinationFolder = "C:\\a\nb"; },
     "destination folder holds a line feed"},
    {"Nul", [](PackageDefinition& s) { s.payloadFileName = std::string("set\0up.exe", 10); },
     "payload file name holds a NUL byte"},
    {"DeviceLineFeed", [](PackageDefinition& s) { s.devicePatterns = {"PCI\n"}; },
     "device pattern 1 holds a line feed"},
    {"LongTitle", [](PackageDefinition& s) { s.title = std::string(259, 't'); },
     "title is 259 bytes long in code page 1252; at most 258 fit"},
    // 130 characters, 260 bytes once stored.
    {"LongTitleInBytes",
     [](PackageDefinition& s) {
       s.codePage = 932;
       s.title.clear();
       for (int i = 0; i < 130; ++i) s.title += "\u30dd";
     },
     "title is 260 bytes long in code page 932"},
    {"LongName", [](PackageDefinition& s) { s.payloadFileName = std::string(255, 'n') + ".exe"; },
     "payload file name is 259 bytes long"},
    {"Unstorable", [](PackageDefinition& s) { s.title = "\u30dd"; },
     "title holds the character \"\u30dd\" (U+30DD)"},
    {"TooManyModels", [](PackageDefinition& s) { s.modelPatterns.assign(101, "M"); },
     "101 model patterns given; at most 100 fit"},
    {"LongModel",
     [](PackageDefinition& s) {
       s.modelPatterns = {"QR", std::string(20, 'm')};
     },
     "model pattern 2 is 20 bytes long in code page 1252; at most 19 fit"},
    {"EmptyModel",
     [](PackageDefinition& s) {
       s.modelPatterns = {"QR", ""};
     },
     "model pattern 2 is empty"},
    {"HashModel", [](PackageDefinition& s) { s.modelPatterns = {"#QR"}; }, "model pattern 1 begins with '#'"},
    {"TooManyDevices", [](PackageDefinition& s) { s.devicePatterns.assign(11, "PCI"); },
     "11 device patterns given; at most 10 fit"},
    {"LongDevice", [](PackageDefinition& s) { s.devicePatterns = {std::string(256, 'd')}; },
     "device pattern 1 is 256 bytes long"},
    {"EmptyDevice", [](PackageDefinition& s) { s.devicePatterns = {""}; }, "device pattern 1 is empty"},
    {"TerminatorDevice",
     [](PackageDefinition& s) {
       s.devicePatterns = {"PCI", "##"};
     },
     "device pattern 2 is \"##\""},
    {"NoModels", [](PackageDefinition& s) { s.modelPatterns.clear(); }, "no model pattern given"},
    {"ModelsAndAll", [](PackageDefinition& s) { s.allModels = true; }, "exclude each other"},
    {"DevicesForAll",
     [](PackageDefinition& s) {
       s.modelPatterns.clear();
       s.allModels = true;
     },
     "device patterns have no effect in a package for all models"},
    {"NameWithBackslash", [](PackageDefinition& s) { s.payloadFileName = "bin\\setup.exe"; },
     "must be a bare file name"},
    {"NameWithSlash", [](PackageDefinition& s) { s.payloadFileName = "bin/setup.exe"; },
     "must be a bare file name"},
    {"NameWithColon", [](PackageDefinition& s) { s.payloadFileName = "C:setup.exe"; },
     "must be a bare file name"},
    {"EmptyName", [](PackageDefinition& s) { s.payloadFileName = ""; }, "payload file name is empty"},
    {"DotDotName", [](PackageDefinition& s) { s.payloadFileName = ".."; }, "names a folder"},
    {"WildcardName", [](PackageDefinition& s) { s.payloadFileName = "set?.exe"; }, "Windows does not allow"},
    {"RelativeDestination", [](PackageDefinition& s) { s.destinationFolder = "Drivers"; },
     "destination folder must begin with a drive letter"},
    {"EmptyDestination", [](PackageDefinition& s) { s.destinationFolder = ""; },
     "must begin with a drive letter"},
    {"NetworkDestination", [](PackageDefinition& s) { s.destinationFolder = "\\\\server\\share"; },
     "must begin with a drive letter"},
    {"DriveRelativeDestination", [](PackageDefinition& s) { s.destinationFolder = "C:Drivers"; },
     "must begin with a drive letter"},
    {"SlashDestination", [](PackageDefinition& s) { s.destinationFolder = "C:/Drivers"; },
     "holds the byte 0x2F ('/')"},
    {"DigitDrive", [](PackageDefinition& s) { s.destinationFolder = "1:\\Drivers"; },
     "must begin with a drive letter"},
    {"ForbiddenCharacter", [](PackageDefinition& s) { s.destinationFolder = "C:\\Drivers\\a*b"; },
     "holds the byte 0x2A ('*') in code page 1252"},
    {"SlashInside", [](PackageDefinition& s) { s.destinationFolder = "C:\\Drivers/Audio"; },
     "holds the byte 0x2F"},
    {"KatakanaPo",
     [](PackageDefinition& s) {
       s.codePage = 932;
       s.destinationFolder = "C:\\\u30dd";
     },
     "holds the byte 0x7C ('|') in code page 932"},
    {"UnsupportedCodePage", [](PackageDefinition& s) { s.codePage = 437; }, "code page 437 is not supported"},
};

INSTANTIATE_TEST_SUITE_P(Table, RefusesDefinition, testing::ValuesIn(kRules),
                         [](const testing::TestParamInfo<Rule>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
