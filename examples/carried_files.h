// The files a payload carries, generated at build time from a folder.
#pragma once

struct CarriedFile {
  const char* path;  // relative, with backslashes: "docs\\guide.txt"
  const unsigned char* bytes;
  unsigned size;
};

extern const CarriedFile kCarriedFiles[];
extern const unsigned kCarriedFileCount;

// Writes every carried file, and the folders on its path, into the current
// directory, replacing files of the same names. Returns 0 when any of them
// could not be written.
int WriteCarriedFiles();
