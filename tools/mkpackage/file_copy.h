// Streaming copies and files that appear whole or not at all.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <functional>
#include <string>

namespace mkpackage {

// Copies `count` bytes from the current positions, or everything up to the
// end of `from` when `count` is negative, through a buffer large enough that
// copying gigabytes runs at the disk's pace.
bool CopyBytes(FILE* from, FILE* to, int64_t count, std::string* error);

// Lets `write` fill a new file beside `path` and renames it to `path` once it
// is complete and closed. On any failure the new file is removed, whatever
// stood at `path` stays as it was, and *error says what went wrong.
bool WriteFileWhole(const std::string& path, const std::function<bool(FILE*, std::string*)>& write,
                    std::string* error);

}  // namespace mkpackage
