#include "ui/destination_examination.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

using ui::DestinationVerdict;

bool ShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The shell's path rules in code page 932, over a made-up disk. Like the file
// search, it answers for exact names only: "C:" stands for drive C's current
// folder, which exists, so a root that lost its backslash would be "found".
class FakeDisk final : public ui::PortablePathRules {
 public:
  FakeDisk() : PortablePathRules(ShiftJisLead) {}
  int Exists(const char* name) const override {
    searched.push_back(name);
    return kExisting.count(name) != 0;
  }
  mutable std::vector<std::string> searched;

 private:
  const std::set<std::string> kExisting = {"C:", "C:\\Drivers", "C:\\Drivers\\setup.log",
                                           "D:\\Out\\\x83\x5c"};
};

struct Case {
  const char* name;
  std::string text;
  DestinationVerdict verdict;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name << ": \"" << c.text << "\""; }

class ExamineDestination : public testing::TestWithParam<Case> {};

TEST_P(ExamineDestination, GivesTheVerdict) {
  const FakeDisk disk;
  EXPECT_EQ(ui::ExamineDestination(GetParam().text.c_str(), disk), GetParam().verdict);
}

constexpr auto kAccepted = ui::kDestinationAccepted;
constexpr auto kInvalid = ui::kDestinationInvalid;
constexpr auto kExists = ui::kDestinationExists;

const Case kCases[] = {
    {"Empty", "", kInvalid},
    {"BareWord", "Drivers", kInvalid},
    {"BareNameWithDot", "setup.log", kInvalid},
    {"NetworkPath", "\\\\server\\share\\Drivers", kInvalid},
    {"Slashes", "C:/Drivers/Audio", kInvalid},
    {"VerticalBar", "C:\\Dri|vers", kInvalid},
    {"GreaterThan", "C:\\Drivers>", kInvalid},
    {"LessThan", "C:\\<Drivers", kInvalid},
    {"QuestionMark", "C:\\Drivers?", kInvalid},
    {"Asterisk", "C:\\Drivers\\*", kInvalid},
    // Katakana po: its trail byte 0x7C is the vertical bar's code.
    {"KatakanaPo", "C:\\\x83\x7c\x83\x8a", kInvalid},
    {"DriveOnly", "C:", kInvalid},
    {"DriveRelative", "C:Drivers", kInvalid},
    {"RootedWithoutDrive", "\\Drivers", kInvalid},
    {"DigitForDriveLetter", "1:\\Drivers", kInvalid},
    {"LeadingBlank", " C:\\Drivers", kInvalid},
    {"SecondColonLeavesNoRoot", "C:\\Drivers:Audio", kInvalid},
    {"NewFolder", "C:\\Drivers\\Audio", kAccepted},
    {"LowerCaseDrive", "z:\\new folder", kAccepted},
    {"DoubleQuoteIsLeftToTheLaterSteps", "C:\\a\"b", kAccepted},
    {"DriveRoot", "C:\\", kAccepted},
    {"ExistingFolder", "C:\\Drivers", kExists},
    {"ExistingFolderWithBackslash", "C:\\Drivers\\", kExists},
    {"ExistingFile", "C:\\Drivers\\setup.log", kExists},
    // Katakana so: its trail byte 0x5C is the backslash's code and is not taken
    // off as a trailing backslash, so the folder is found.
    {"KatakanaSoIsNotATrailingBackslash", "D:\\Out\\\x83\x5c", kExists},
    {"LongestText", "C:\\" + std::string(256, 'a'), kAccepted},
};

INSTANTIATE_TEST_SUITE_P(Texts, ExamineDestination, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

TEST(ExamineDestinationSearch, LooksForTheNameWithoutTrailingBackslashOnlyAfterEveryOtherStepPassed) {
  const FakeDisk disk;
  ui::ExamineDestination("C:\\Drivers\\Audio\\", disk);
  ui::ExamineDestination("C:\\", disk);
  ui::ExamineDestination("\\\\server\\share\\x", disk);
  ui::ExamineDestination("C:\\a|b", disk);
  EXPECT_EQ(disk.searched, (std::vector<std::string>{"C:\\Drivers\\Audio", "C:\\"}));
}

// The portable path rules on their own, where they differ from a plain byte
// view: roots of every kind, and double-byte characters.
TEST(PortablePathRules, StripToRootLeavesTheRoot) {
  const FakeDisk rules;
  const struct {
    const char* text;
    int stripped;
    const char* root;
  } cases[] = {
      {"C:\\Drivers\\Audio", 1, "C:\\"},
      {"C:\\", 1, "C:\\"},
      {"\\\\server\\share\\a\\b", 1, "\\\\server\\share"},
      {"\\Drivers", 1, "\\"},
      {"C:Drivers", 0, nullptr},
      {"Drivers\\Audio", 0, nullptr},
      {"", 0, nullptr},
      {"C:\\\x83\x5c\\x", 1, "C:\\"},
  };
  for (const auto& c : cases) {
    char copy[ui::kDestinationTextSize];
    std::strcpy(copy, c.text);
    EXPECT_EQ(rules.StripToRoot(copy), c.stripped) << c.text;
    if (c.root != nullptr) {
      EXPECT_STREQ(copy, c.root) << c.text;
    }
  }
}

TEST(PortablePathRules, DoubleByteTrailBytesAreNoDelimiters) {
  const FakeDisk rules;
  EXPECT_EQ(rules.IsFileSpec("\x83\x5c\x83\x5c"), 1);  // two katakana so
  EXPECT_EQ(rules.IsFileSpec("a\\b"), 0);
  EXPECT_EQ(rules.GetDriveNumber("\x83:"), -1);
  EXPECT_EQ(rules.GetDriveNumber("Z:"), 25);
  char withSo[] = "C:\\\x83\x5c";
  rules.RemoveBackslash(withSo);
  EXPECT_STREQ(withSo, "C:\\\x83\x5c");
  char withBackslash[] = "C:\\\x83\x5c\\";
  rules.RemoveBackslash(withBackslash);
  EXPECT_STREQ(withBackslash, "C:\\\x83\x5c");
}

}  // namespace
