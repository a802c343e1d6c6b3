// Code page conversion in the Windows build of the tool, through the system's
// own tables: exactly what the unpacker will see on the target machine.
#include <string>

#include "codepage.h"
#include "platform/windows_api.h"

namespace mkpackage {
namespace {

std::wstring Widen(const std::string& text, UINT codePage, DWORD flags, bool* valid) {
  *valid = true;
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
  if (length <= 0) {
    *valid = false;
    return std::wstring();
  }
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, flags, text.data(), size, &wide[0], length);
  return wide;
}

// False when a character had no exact counterpart and the default was used.
bool Narrow(const std::wstring& wide, UINT codePage, std::string* bytes) {
  bytes->clear();
  if (wide.empty()) return true;
  const int size = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0,
                                         nullptr, &usedDefault);
  if (length <= 0 || usedDefault) return false;
  bytes->resize(static_cast<size_t>(length));
  WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), size, &(*bytes)[0], length, nullptr,
                      &usedDefault);
  return !usedDefault;
}

std::string WideToUtf8(const std::wstring& wide) {
  std::string text;
  if (wide.empty()) return text;
  const int size = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return text;
  text.resize(static_cast<size_t>(length));
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, &text[0], length, nullptr, nullptr);
  return text;
}

}  // namespace

bool Utf8ToCodePage(const std::string& utf8, int codePage, std::string* bytes, std::string* error) {
  if (!IsSupportedCodePage(codePage)) {
    *error = "code page " + std::to_string(codePage) + " is not available";
    return false;
  }
  bool valid = false;
  const std::wstring wide = Widen(utf8, CP_UTF8, MB_ERR_INVALID_CHARS, &valid);
  if (!valid) {
    *error = "is not valid UTF-8 text";
    return false;
  }
  if (Narrow(wide, static_cast<UINT>(codePage), bytes)) return true;
  // Find the character to name it, a surrogate pair counting as one.
  for (size_t at = 0; at < wide.size();) {
    const bool pair = IS_HIGH_SURROGATE(wide[at]) && at + 1 < wide.size() && IS_LOW_SURROGATE(wide[at + 1]);
    const std::wstring one = wide.substr(at, pair ? 2 : 1);
    std::string ignored;
    if (!Narrow(one, static_cast<UINT>(codePage), &ignored)) {
      const unsigned long value = pair ? 0x10000ul + ((one[0] - 0xD800ul) << 10) + (one[1] - 0xDC00ul)
                                       : static_cast<unsigned long>(one[0]);
      const std::string character = WideToUtf8(one);
      char name[16];
      snprintf(name, sizeof name, "U+%04lX", value);
      *error = "holds the character \"" + character + "\" (" + name + "), which code page " +
               std::to_string(codePage) + " cannot store";
      return false;
    }
    at += one.size();
  }
  *error = "cannot be stored in code page " + std::to_string(codePage);
  return false;
}

std::string CodePageToUtf8(const std::string& bytes, int codePage) {
  bool valid = false;
  // Without MB_ERR_INVALID_CHARS the system puts U+FFFD or its default in
  // place of bytes without a character.
  return WideToUtf8(Widen(bytes, static_cast<UINT>(codePage), 0, &valid));
}

}  // namespace mkpackage
