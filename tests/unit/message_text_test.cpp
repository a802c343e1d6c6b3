#include "messages/message_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

bool NoLeadBytes(unsigned char) { return false; }
// Shift-JIS lead bytes, as code page 932 has them.
bool ShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

std::string Format(const std::string& loaded, const std::string& fill,
                   messages::LeadByteTest lead = NoLeadBytes) {
  char out[messages::kFilledTextSize + 4];
  std::memset(out, 0x5A, sizeof out);
  auto& exact = *reinterpret_cast<char(*)[messages::kFilledTextSize]>(out);
  messages::FormatMessageText(loaded.c_str(), fill.c_str(), lead, exact);
  for (size_t i = messages::kFilledTextSize; i < sizeof out; ++i) EXPECT_EQ(out[i], 0x5A) << "overrun";
  return out;
}

const std::string kMessage5 =
    "Temporary file already exists.\nUnpacking of files will close.\n\nTemporary file:%s";
const std::string kMessage15 = "%s already exists.\nDo you want to replace it?";

TEST(FormatMessageText, FillsThePlaceholder) {
  EXPECT_EQ(
      Format(kMessage5, "C:\\Temp\\setup.exe"),
      "Temporary file already exists.\nUnpacking of files will close.\n\nTemporary file:C:\\Temp\\setup.exe");
  EXPECT_EQ(Format(kMessage15, "D:\\Out\\"), "D:\\Out\\ already exists.\nDo you want to replace it?");
  EXPECT_EQ(Format("no placeholder", "x"), "no placeholder");
  EXPECT_EQ(Format("%s", ""), "");
}

TEST(FormatMessageText, TextOfExactly259BytesIsKeptWhole) {
  const std::string tail(" already exists.\nDo you want to replace it?");
  const std::string fill(259 - tail.size(), 'p');
  EXPECT_EQ(Format(kMessage15, fill), fill + tail);
}

TEST(FormatMessageText, OverlongFillIsShortenedAndTheRestOfTheMessageKept) {
  const std::string fill(300, 'p');
  const std::string shown = Format(kMessage15, fill);
  EXPECT_EQ(shown.size(), 259u);
  EXPECT_EQ(shown, std::string(259 - 43 - 3, 'p') + "..." + " already exists.\nDo you want to replace it?");
}

TEST(FormatMessageText, NeverCutsInsideADoubleByteCharacter) {
  // Each "\x83\x7c" is one character; the budget is odd so a byte-wise cut
  // would split one.
  std::string fill;
  for (int i = 0; i < 200; ++i) fill += "\x83\x7c";
  const std::string loaded = "%sX";  // leaves 258 bytes for fill and ellipsis, 255 for the fill
  const std::string shown = Format(loaded, fill, ShiftJisLead);
  ASSERT_EQ(shown.substr(shown.size() - 4), "...X");
  const std::string kept = shown.substr(0, shown.size() - 4);
  EXPECT_EQ(kept.size() % 2, 0u);
  EXPECT_EQ(kept, fill.substr(0, 254));
}

TEST(FormatMessageText, LeadByteAtTheVeryEndCountsAsOneByte) {
  EXPECT_EQ(Format("%s!", "ab\x83"), "ab\x83!");
}

}  // namespace
