// Conversion between UTF-8 (what packagers type and tools print) and the ANSI
// code page that a package's texts are stored in.
#pragma once

#include <string>

namespace mkpackage {

constexpr int kWesternCodePage = 1252;
constexpr int kJapaneseCodePage = 932;

bool IsSupportedCodePage(int codePage);

// True for the first byte of a double-byte character in the code page.
using LeadByteTest = bool (*)(unsigned char byte);
LeadByteTest LeadByteTestFor(int codePage);

// Converts exactly: every character must have its own byte sequence in the code
// page. Best-fit substitutes are refused, since one such as the yen sign turning
// into a backslash would change what a path means. On failure *error names the
// character.
bool Utf8ToCodePage(const std::string& utf8, int codePage, std::string* bytes, std::string* error);

// For display: bytes that have no character in the code page become U+FFFD.
std::string CodePageToUtf8(const std::string& bytes, int codePage);

}  // namespace mkpackage
