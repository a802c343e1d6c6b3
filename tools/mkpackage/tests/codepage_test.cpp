#include "mkpackage/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using mkpackage::CodePageToUtf8;
using mkpackage::Utf8ToCodePage;

struct Conversion {
  const char* utf8;
  int codePage;
  std::string bytes;
};

class Converts : public testing::TestWithParam<Conversion> {};

TEST_P(Converts, ToCodePageBytesAndBack) {
  const Conversion& c = GetParam();
  std::string bytes, error;
  ASSERT_TRUE(Utf8ToCodePage(c.utf8, c.codePage, &bytes, &error)) << error;
  EXPECT_EQ(bytes, c.bytes);
  EXPECT_EQ(CodePageToUtf8(bytes, c.codePage), c.utf8);
}

INSTANTIATE_TEST_SUITE_P(Table, Converts,
                         testing::Values(Conversion{"QR-7.B", 1252, "QR-7.B"},
                                         Conversion{"Caf\u00e9 \u20ac 5\u00b0", 1252, "Caf\xE9 \x80 5\xB0"},
                                         Conversion{"C:\\Drivers", 932, "C:\\Drivers"},
                                         // Katakana po: its second byte is '|'.
                                         Conversion{"\u30dd", 932, "\x83\x7C"},
                                         // So: its second byte is a backslash.
                                         Conversion{"\u30bd\u30d5\u30c8", 932, "\x83\x5C\x83\x74\x83\x67"},
                                         Conversion{"\uff77\uff6c\uff9d\uff7e\uff99", 932,
                                                    "\xB7\xAC\xDD\xBE\xD9"},
                                         Conversion{"\u5c55\u958b\u5148", 932, "\x93\x57\x8A\x4A\x90\xE6"}));

struct Refusal {
  const char* utf8;
  int codePage;
  const char* message;
};

class Refuses : public testing::TestWithParam<Refusal> {};

TEST_P(Refuses, NamesTheCharacter) {
  const Refusal& r = GetParam();
  std::string bytes = "untouched", error;
  EXPECT_FALSE(Utf8ToCodePage(r.utf8, r.codePage, &bytes, &error));
  EXPECT_NE(error.find(r.message), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Refuses,
    testing::Values(Refusal{"Audio \u30dd", 1252, "\"\u30dd\" (U+30DD), which code page 1252 cannot store"},
                    Refusal{"\xF0\x9F\x98\x80", 932, "(U+1F600), which code page 932"},
                    // Best-fit substitutes: the yen sign would become a
                    // backslash, the wave dash a different character.
                    Refusal{"C:\\\u00a5", 932, "(U+00A5)"}, Refusal{"\u301c", 932, "(U+301C)"},
                    Refusal{"\u20ac", 932, "(U+20AC)"}, Refusal{"\u0100", 1252, "(U+0100)"},
                    Refusal{"bad \xFF byte", 1252, "is not valid UTF-8 text"},
                    Refusal{"cut \xE3\x83", 932, "is not valid UTF-8 text"},
                    Refusal{"text", 437, "code page 437 is not available"}));

TEST(CodePageToUtf8, MarksBytesWithoutCharacter) {
#ifdef _WIN32
  GTEST_SKIP() << "the system's tables give every byte of these code pages a character";
#endif
  EXPECT_EQ(CodePageToUtf8("a\x81z", 1252), "a\uFFFDz");
  EXPECT_EQ(CodePageToUtf8("\x83\x7C\xFF", 932), "\u30dd\uFFFD");
}

}  // namespace
