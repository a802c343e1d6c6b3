#include "ui/licence_text.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ToCodePage932(const std::string& utf8) {
  iconv_t converter = iconv_open("CP932", "UTF-8");
  EXPECT_NE(converter, reinterpret_cast<iconv_t>(-1));
  std::string in = utf8;
  std::string out(in.size() * 2, '\0');
  char* from = in.data();
  char* to = out.data();
  size_t fromLeft = in.size(), toLeft = out.size();
  EXPECT_NE(iconv(converter, &from, &fromLeft, &to, &toLeft), static_cast<size_t>(-1));
  iconv_close(converter);
  out.resize(out.size() - toLeft);
  return out;
}

const std::string kEnglish = ReadFile(UNPACKER_LICENCE_DIR "/en-US.txt");
const std::string kJapanese = ToCodePage932(ReadFile(UNPACKER_LICENCE_DIR "/ja-JP.txt"));

// The joined text, and a check that nothing past its NUL was written.
std::string Build(char letter) {
  auto buffer = std::make_unique<char[]>(ui::kLicenceTextSize);
  std::memset(buffer.get(), 0x5A, ui::kLicenceTextSize);
  ui::BuildLicenceText(letter, *reinterpret_cast<char(*)[ui::kLicenceTextSize]>(buffer.get()));
  const size_t length = strnlen(buffer.get(), ui::kLicenceTextSize);
  EXPECT_LT(length, static_cast<size_t>(ui::kLicenceTextSize)) << "no NUL";
  EXPECT_TRUE(std::all_of(buffer.get() + length + 1, buffer.get() + ui::kLicenceTextSize,
                          [](char c) { return c == 0x5A; }));
  return std::string(buffer.get(), length);
}

struct LetterCase {
  char letter;
  bool japanese;
};

class LicenceLanguage : public testing::TestWithParam<LetterCase> {};

// The pieces joined in order give the text from res/licence exactly, in the
// language the letter names.
TEST_P(LicenceLanguage, JoinsThePiecesOfTheNamedLanguage) {
  EXPECT_EQ(Build(GetParam().letter), GetParam().japanese ? kJapanese : kEnglish);
}

INSTANTIATE_TEST_SUITE_P(Letters, LicenceLanguage,
                         testing::Values(LetterCase{'j', true}, LetterCase{'J', true}, LetterCase{'m', false},
                                         LetterCase{'\0', false}, LetterCase{'k', false},
                                         LetterCase{'\x83', false}),
                         [](const testing::TestParamInfo<LetterCase>& info) {
                           return "letter_" + std::to_string(static_cast<unsigned char>(info.param.letter));
                         });

size_t CountPairs(const std::string& text) {
  size_t pairs = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++pairs;
  return pairs;
}

// What the text box relies on: CR LF breaks only, the closing empty line, and
// in Japanese lines short enough for the box, in whole double-byte characters.
TEST(LicenceText, EnglishIsAsciiParagraphsWithCrLfBreaks) {
  const std::string text = Build('m');
  EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c > 0 && c < 0x7F; }));
  EXPECT_EQ(CountPairs(text), 36u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 36);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 36);
  EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
  EXPECT_NE(text.find("\r\n" + std::string(50, '-') + "\r\n"), std::string::npos);
}

TEST(LicenceText, JapaneseIsWrappedCodePage932) {
  const std::string text = Build('j');
  EXPECT_EQ(CountPairs(text), 54u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 54);
  EXPECT_EQ(text.substr(0, 2), "\r\n");
  EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
  size_t lineStart = 0;
  for (size_t at = 0; at < text.size(); ++at) {
    const unsigned char byte = static_cast<unsigned char>(text[at]);
    if ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) {
      ASSERT_LT(at + 1, text.size());
      const unsigned char trail = static_cast<unsigned char>(text[at + 1]);
      EXPECT_TRUE(trail >= 0x40 && trail <= 0xFC && trail != 0x7F) << "at byte " << at;
      ++at;
    } else if (byte == '\r') {
      EXPECT_LE(at - lineStart, 69u) << "line at byte " << lineStart;
      lineStart = at + 2;
    }
  }
}

}  // namespace
