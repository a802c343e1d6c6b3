#include "app/check_switch.h"

#include <gtest/gtest.h>

namespace {

struct ArgumentCase {
  const char* commandLine;
  const char* argumentText;
};

class ArgumentTextOf : public testing::TestWithParam<ArgumentCase> {};

TEST_P(ArgumentTextOf, SkipsProgramNameAndFollowingBlanks) {
  EXPECT_STREQ(app::ArgumentText(GetParam().commandLine), GetParam().argumentText);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, ArgumentTextOf,
                         testing::Values(ArgumentCase{"unpacker.exe", ""},
                                         ArgumentCase{"unpacker.exe -a ZORV_NOCHECK", "-a ZORV_NOCHECK"},
                                         ArgumentCase{"\"C:\\My Files\\unpacker.exe\" -x", "-x"},
                                         ArgumentCase{"\"C:\\My Files\\unpacker.exe\"-x", "-x"},
                                         ArgumentCase{"\"C:\\unterminated name -x", ""},
                                         ArgumentCase{"\"\" x", "x"},
                                         // A quote inside an unquoted name does not open a quoted part.
                                         ArgumentCase{"C:\\a\"b c\"d", "c\"d"},
                                         // Everything from 0x01 to 0x20 after the name is skipped.
                                         ArgumentCase{"u.exe \t\x01\x1f  x  y ", "x  y "},
                                         ArgumentCase{"u.exe\tx", "x"}, ArgumentCase{"", ""},
                                         ArgumentCase{"   x", "x"}));

struct SwitchCase {
  const char* argumentText;
  int checksEnabled;
};

class CheckSwitch : public testing::TestWithParam<SwitchCase> {};

TEST_P(CheckSwitch, TurnsChecksOffOnlyForTheExactSwitch) {
  for (int before : {0, 1}) {
    int checksEnabled = before;
    app::ParseCheckSwitch(GetParam().argumentText, &checksEnabled);
    EXPECT_EQ(checksEnabled, GetParam().checksEnabled) << "'" << GetParam().argumentText << "'";
  }
}

INSTANTIATE_TEST_SUITE_P(ArgumentTexts, CheckSwitch,
                         testing::Values(SwitchCase{"", 1}, SwitchCase{"-a ZORV_NOCHECK", 0},
                                         SwitchCase{"/q -a ZORV_NOCHECK /x", 0},
                                         SwitchCase{"x-a ZORV_NOCHECKy", 0}, SwitchCase{"-A ZORV_NOCHECK", 1},
                                         SwitchCase{"-a zorv_nocheck", 1}, SwitchCase{"-aZORV_NOCHECK", 1},
                                         SwitchCase{"-a  ZORV_NOCHECK", 1}, SwitchCase{"-a ZORV_NOCHEC", 1},
                                         SwitchCase{"-a\tZORV_NOCHECK", 1}));

}  // namespace
