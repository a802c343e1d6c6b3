#include "ui/destination_examination.h"

#include <string.h>

namespace ui {
namespace {

// Searched byte by byte, not character by character: in a double-byte code
// page a character whose second byte carries one of these codes (code page
// 932's katakana po is 0x83 0x7C) makes the text invalid as well.
constexpr char kForbiddenCharacters[] = "|><?*/";

void CopyText(char (&copy)[kDestinationTextSize], const char* text) {
  int length = 0;
  while (text[length] != '\0' && length < kDestinationTextSize - 1) {
    copy[length] = text[length];
    ++length;
  }
  copy[length] = '\0';
}

}  // namespace

DestinationVerdict ExamineDestination(const char* text, const PathOperations& path) {
  if (path.IsFileSpec(text) != 0) return kDestinationInvalid;
  if (text[strcspn(text, kForbiddenCharacters)] != '\0') return kDestinationInvalid;

  char copy[kDestinationTextSize];
  CopyText(copy, text);
  if (path.StripToRoot(copy) != 1) return kDestinationInvalid;
  // A network path has a root too; only a drive letter and a colon will do.
  if (path.GetDriveNumber(text) < 0) return kDestinationInvalid;

  // The search looks for the name without a trailing backslash, so that
  // "D:\Out\" finds the folder D:\Out; a root keeps its backslash and is never
  // found.
  CopyText(copy, text);
  path.RemoveBackslash(copy);
  return path.Exists(copy) != 0 ? kDestinationExists : kDestinationAccepted;
}

// The path rules below walk the text character by character, as the shell
// does in the ANSI code page: a trail byte that carries the code of a
// backslash or colon is part of its character, not a delimiter.

const char* PortablePathRules::NextCharacter(const char* at) const {
  if (*at == '\0') return at;
  if (isLeadByte_(static_cast<unsigned char>(at[0])) && at[1] != '\0') return at + 2;
  return at + 1;
}

int PortablePathRules::IsFileSpec(const char* text) const {
  for (const char* at = text; *at != '\0'; at = NextCharacter(at)) {
    if (*at == '\\' || *at == ':') return 0;
  }
  return 1;
}

// "\", "X:\", and "\\server" or "\\server\share" with nothing after the share.
bool PortablePathRules::IsRoot(const char* text) const {
  if (text[0] == '\\') {
    if (text[1] == '\0') return true;
    if (text[1] != '\\') return false;
    bool seenBackslash = false;
    for (const char* at = text + 2; *at != '\0'; at = NextCharacter(at)) {
      if (*at != '\\') continue;
      if (seenBackslash) return false;
      seenBackslash = true;
    }
    return true;
  }
  return text[0] != '\0' && text[1] == ':' && text[2] == '\\' && text[3] == '\0';
}

int PortablePathRules::StripToRoot(char* text) const {
  // Takes off the last component, as the shell does, until a root remains;
  // a text from which nothing more can be taken has no root.
  while (!IsRoot(text)) {
    char* at = text;
    char* cut = text;
    if (*at == '\\') cut = ++at;
    if (*at == '\\') cut = ++at;
    while (*at != '\0') {
      if (*at == '\\') {
        cut = at;
      } else if (*at == ':') {
        cut = ++at;
        if (*at == '\\') ++cut;
      }
      at = const_cast<char*>(NextCharacter(at));
    }
    if (*cut == '\0') return 0;
    *cut = '\0';
  }
  return 1;
}

int PortablePathRules::GetDriveNumber(const char* text) const {
  const unsigned char first = static_cast<unsigned char>(text[0]);
  if (first == '\0' || isLeadByte_(first) || text[1] != ':') return -1;
  const unsigned char lower = first >= 'A' && first <= 'Z' ? first + ('a' - 'A') : first;
  return lower >= 'a' && lower <= 'z' ? lower - 'a' : -1;
}

void PortablePathRules::RemoveBackslash(char* text) const {
  char* last = text;
  for (char* at = text; *at != '\0'; at = const_cast<char*>(NextCharacter(at))) last = at;
  if (!IsRoot(text) && *last == '\\') *last = '\0';
}

}  // namespace ui
