// Property text: a WMI string turned into narrow bytes without any code page,
// so that the same value gives the same bytes on every system.
#pragma once

namespace machine {

constexpr int kPropertyTextSize = 100;  // 99 bytes of text and the NUL

// One byte for each UTF-16 code unit below 256 (ISO 8859-1), up to the first
// NUL, stopping before the first unit of 256 or more. A longer value is cut to
// its first 99 bytes: the callers compare only a short leading part of it.
void ConvertToPropertyText(const char16_t* value, char (&text)[kPropertyTextSize]);

}  // namespace machine
