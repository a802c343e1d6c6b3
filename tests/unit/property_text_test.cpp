#include "machine/property_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ConversionCase {
  const char* name;
  std::u16string value;
  std::string text;
};

class PropertyText : public testing::TestWithParam<ConversionCase> {};

TEST_P(PropertyText, KeepsUnitsBelow256AsBytesUpToTheFirstWiderOne) {
  char text[machine::kPropertyTextSize];
  memset(text, 'x', sizeof text);
  machine::ConvertToPropertyText(GetParam().value.c_str(), text);
  EXPECT_EQ(std::string(text), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, PropertyText,
    testing::Values(ConversionCase{"Empty", u"", ""},
                    ConversionCase{"Ascii", u"The Wine Project", "The Wine Project"},
                    // No code page takes part: U+00E9 is the byte 0xE9 everywhere.
                    ConversionCase{"Latin1", u"Caf\u00e9 \u00ff", "Caf\xe9 \xff"},
                    ConversionCase{"StopsAtFirstUnitOf256", u"AB\u0100C", "AB"},
                    ConversionCase{"StopsAtWideFirstUnit", u"\u30c6\u30b9\u30c8", ""},
                    ConversionCase{"EndsAtNul", std::u16string(u"AB\0CD", 5), "AB"},
                    ConversionCase{"NinetyNineFit", std::u16string(99, u'M'), std::string(99, 'M')},
                    ConversionCase{"LongerIsCut", std::u16string(250, u'L'), std::string(99, 'L')}),
    [](const testing::TestParamInfo<ConversionCase>& info) { return info.param.name; });

TEST(PropertyText, NeverWritesPastTheBuffer) {
  struct {
    char text[machine::kPropertyTextSize];
    char guard[8];
  } buffer;
  memset(&buffer, 'x', sizeof buffer);
  const std::u16string value(300, u'\u00e9');
  machine::ConvertToPropertyText(value.c_str(), buffer.text);
  EXPECT_EQ(buffer.text[99], '\0');
  EXPECT_EQ(static_cast<unsigned char>(buffer.text[98]), 0xE9);
  EXPECT_EQ(std::string(buffer.guard, sizeof buffer.guard), std::string(8, 'x'));
}

}  // namespace
