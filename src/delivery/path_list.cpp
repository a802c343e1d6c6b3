#include "delivery/path_list.h"

#include <string.h>

namespace delivery {

int BuildPathList(const char* folder, const char* suffix, char* list, size_t listSize) {
  memset(list, 0, listSize);
  const size_t folderLength = strlen(folder);
  const size_t suffixLength = strlen(suffix);
  if (folderLength + suffixLength + 2 > listSize) return 0;
  memcpy(list, folder, folderLength);
  memcpy(list + folderLength, suffix, suffixLength);
  return 1;
}

}  // namespace delivery
