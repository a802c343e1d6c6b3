// The shell's file operations take lists of paths: each path ends with a NUL
// and the list with one more.
#pragma once

#include <stddef.h>

namespace delivery {

constexpr int kSourceListSize = 260;
constexpr char kAllEntries[] = "\\*.*";

// Fills `list` with zeros and writes `folder` followed by `suffix` into it,
// leaving at least two NULs behind the text. Returns 0, with the list left
// empty, when the text does not fit with both NULs.
int BuildPathList(const char* folder, const char* suffix, char* list, size_t listSize);

}  // namespace delivery
