// Code page conversion on the packager's Linux machine, through iconv.
#include <errno.h>
#include <iconv.h>
#include <stdio.h>

#include <string>

#include "codepage.h"

namespace mkpackage {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `input`; false at the first sequence that does not convert,
  // with *consumed telling how far it got.
  bool Convert(const std::string& input, std::string* output, size_t* consumed = nullptr) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    output->clear();
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    bool complete = true;
    while (inLeft > 0) {
      char chunk[256];
      char* out = chunk;
      size_t outLeft = sizeof chunk;
      const size_t result = iconv(handle_, &in, &inLeft, &out, &outLeft);
      output->append(chunk, static_cast<size_t>(out - chunk));
      if (result == static_cast<size_t>(-1) && errno != E2BIG) {
        complete = false;
        break;
      }
    }
    if (complete) {
      char chunk[16];
      char* out = chunk;
      size_t outLeft = sizeof chunk;
      iconv(handle_, nullptr, nullptr, &out, &outLeft);
      output->append(chunk, static_cast<size_t>(out - chunk));
    }
    if (consumed) *consumed = input.size() - inLeft;
    return complete;
  }

 private:
  iconv_t handle_;
};

const char* IconvName(int codePage) { return codePage == kJapaneseCodePage ? "CP932" : "CP1252"; }

std::string CodePointName(const std::string& utf32) {
  const auto* b = reinterpret_cast<const unsigned char*>(utf32.data());
  const unsigned long value = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<unsigned long>(b[3]) << 24);
  char name[16];
  snprintf(name, sizeof name, "U+%04lX", value);
  return name;
}

}  // namespace

bool Utf8ToCodePage(const std::string& utf8, int codePage, std::string* bytes, std::string* error) {
  Converter toUnicode("UTF-32LE", "UTF-8");
  Converter encode(IconvName(codePage), "UTF-32LE");
  Converter decode("UTF-32LE", IconvName(codePage));
  if (!IsSupportedCodePage(codePage) || !toUnicode.valid() || !encode.valid() || !decode.valid()) {
    *error = "code page " + std::to_string(codePage) + " is not available";
    return false;
  }
  std::string codePoints;
  if (!toUnicode.Convert(utf8, &codePoints)) {
    *error = "is not valid UTF-8 text";
    return false;
  }
  bytes->clear();
  for (size_t at = 0; at < codePoints.size(); at += 4) {
    const std::string one = codePoints.substr(at, 4);
    std::string encoded, back;
    // Encoding and decoding again must give the same character: that is what
    // keeps best-fit substitutes out.
    if (!encode.Convert(one, &encoded) || !decode.Convert(encoded, &back) || back != one) {
      std::string character;
      Converter("UTF-8", "UTF-32LE").Convert(one, &character);
      *error = "holds the character \"" + character + "\" (" + CodePointName(one) + "), which code page " +
               std::to_string(codePage) + " cannot store";
      return false;
    }
    *bytes += encoded;
  }
  return true;
}

std::string CodePageToUtf8(const std::string& bytes, int codePage) {
  Converter decode("UTF-8", IconvName(codePage));
  std::string text, piece;
  std::string rest = bytes;
  for (;;) {
    size_t consumed = 0;
    const bool complete = decode.Convert(rest, &piece, &consumed);
    text += piece;
    if (complete) return text;
    text += "\xEF\xBF\xBD";
    rest.erase(0, consumed + 1);
  }
}

}  // namespace mkpackage
