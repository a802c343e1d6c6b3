# Writes a C++ source that carries every file under FILES_DIR, with its path
# relative to that folder, for a payload to write out when it runs.
#   cmake -DFILES_DIR=<folder> -DOUTPUT=<file.cpp> -P embed_files.cmake
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${FILES_DIR} ${FILES_DIR}/*)
list(SORT files)
if(NOT files)
  message(FATAL_ERROR "no files to carry in ${FILES_DIR}")
endif()

set(arrays "")
set(entries "")
set(index 0)
foreach(relative IN LISTS files)
  if(NOT relative MATCHES "^[A-Za-z0-9 ._/-]+$")
    message(FATAL_ERROR "carried file names use letters, digits, blanks and . _ - only: ${relative}")
  endif()
  file(READ ${FILES_DIR}/${relative} hex HEX)
  file(SIZE ${FILES_DIR}/${relative} size)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(([^,]*,){16})" "\\1\n    " bytes "${bytes}")
  string(REPLACE "/" "\\\\" windowsPath "${relative}")
  # The extra 0 keeps an empty file's array from being empty.
  string(APPEND arrays "const unsigned char kBytes${index}[] = {\n    ${bytes}0};\n")
  string(APPEND entries "    {\"${windowsPath}\", kBytes${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()

file(WRITE ${OUTPUT}.tmp "// Generated from ${FILES_DIR}; do not edit.
#include \"carried_files.h\"

namespace {

${arrays}
}  // namespace

const CarriedFile kCarriedFiles[] = {
${entries}};
const unsigned kCarriedFileCount = ${index};
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
