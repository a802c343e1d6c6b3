# Turns the two licence texts into the C++ pieces that BuildLicenceText joins:
#   cmake -DENGLISH=<en-US.txt> -DJAPANESE=<ja-JP.txt> -DICONV=<iconv> -DOUTPUT=<.cpp> -P licence_pieces.cmake
# The English text is ASCII; the Japanese one is kept in UTF-8 and converted to
# code page 932 here, so nobody edits escaped bytes. The texts are checked on the
# way: CR LF line breaks only, Japanese lines of at most 69 bytes, and both must
# fit the 10,000-byte licence text buffer with their NUL.

set(buffer_size 10000)
set(japanese_line_limit 69)

# Reads `file` as a hex string (two digits per byte) and checks its line breaks:
# every CR and every LF must belong to one CR LF pair. Also gives the byte
# count, the number of pairs and the longest line in bytes.
function(read_checked_text file hex_var)
  file(READ "${file}" hex HEX)
  string(REGEX MATCHALL "(..)" each_byte "${hex}")
  set(previous "")
  set(index 0)
  set(pairs 0)
  set(line_bytes 0)
  set(longest_line 0)
  foreach(byte IN LISTS each_byte)
    if(previous STREQUAL "0d" AND NOT byte STREQUAL "0a")
      message(FATAL_ERROR "${file}: a CR not followed by LF at byte ${index}")
    endif()
    if(byte STREQUAL "0a")
      if(NOT previous STREQUAL "0d")
        message(FATAL_ERROR "${file}: a LF without CR at byte ${index}")
      endif()
      math(EXPR pairs "${pairs} + 1")
      set(line_bytes 0)
    elseif(NOT byte STREQUAL "0d")
      math(EXPR line_bytes "${line_bytes} + 1")
      if(line_bytes GREATER longest_line)
        set(longest_line ${line_bytes})
      endif()
    endif()
    set(previous "${byte}")
    math(EXPR index "${index} + 1")
  endforeach()
  if(previous STREQUAL "0d")
    message(FATAL_ERROR "${file}: ends in a lone CR")
  endif()
  if(index GREATER_EQUAL buffer_size)
    message(FATAL_ERROR "${file}: ${index} bytes and a NUL do not fit the ${buffer_size}-byte buffer")
  endif()
  set(${hex_var} "${hex}" PARENT_SCOPE)
  set(${hex_var}_bytes ${index} PARENT_SCOPE)
  set(${hex_var}_pairs ${pairs} PARENT_SCOPE)
  set(${hex_var}_longest_line ${longest_line} PARENT_SCOPE)
  set(${hex_var}_bytes_list "${each_byte}" PARENT_SCOPE)
endfunction()

# Writes `piece_count` adjacent pieces of the text as string literals, one
# source line per text line.
function(pieces_of hex bytes piece_count out_var)
  set(pieces "")
  set(start 0)
  foreach(piece RANGE 1 ${piece_count})
    math(EXPR end "${bytes} * ${piece} / ${piece_count}")
    math(EXPR hex_start "${start} * 2")
    math(EXPR hex_length "(${end} - ${start}) * 2")
    string(SUBSTRING "${hex}" ${hex_start} ${hex_length} part)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" part "${part}")
    string(REPLACE "\\x0d\\x0a" "\\x0d\\x0a\"\n    \"" part "${part}")
    string(APPEND pieces "    // piece ${piece}\n    \"${part}\",\n")
    set(start ${end})
  endforeach()
  set(${out_var} "${pieces}" PARENT_SCOPE)
endfunction()

foreach(variable ENGLISH JAPANESE ICONV OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "licence_pieces.cmake needs -D${variable}=...")
  endif()
endforeach()

read_checked_text("${ENGLISH}" english)
foreach(byte IN LISTS english_bytes_list)
  if(byte MATCHES "^[89a-f]")
    message(FATAL_ERROR "${ENGLISH}: the English licence text must be ASCII")
  endif()
endforeach()

set(japanese_932 "${OUTPUT}.ja-JP.932")
execute_process(COMMAND "${ICONV}" -f UTF-8 -t CP932 "${JAPANESE}"
                OUTPUT_FILE "${japanese_932}" RESULT_VARIABLE converted)
if(NOT converted EQUAL 0)
  message(FATAL_ERROR "${JAPANESE}: cannot be converted to code page 932")
endif()
read_checked_text("${japanese_932}" japanese)
if(japanese_longest_line GREATER japanese_line_limit)
  message(FATAL_ERROR "${JAPANESE}: a line of ${japanese_longest_line} bytes; "
                      "at most ${japanese_line_limit} fit the box")
endif()

pieces_of("${english}" ${english_bytes} 9 english_pieces)
pieces_of("${japanese}" ${japanese_bytes} 5 japanese_pieces)

file(WRITE "${OUTPUT}.new"
  "// Generated from res/licence/*.txt by cmake/licence_pieces.cmake: edit the texts, not this file.\n"
  "// English: ${english_bytes} bytes, ${english_pairs} CR LF; Japanese (code page 932): "
  "${japanese_bytes} bytes, ${japanese_pairs} CR LF.\n"
  "#include \"ui/licence_pieces.h\"\n\n"
  "namespace ui {\n\n"
  "const char* const kEnglishLicencePieces[kEnglishLicencePieceCount] = {\n${english_pieces}};\n\n"
  "const char* const kJapaneseLicencePieces[kJapaneseLicencePieceCount] = {\n${japanese_pieces}};\n\n"
  "}  // namespace ui\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new" "${japanese_932}")
message(STATUS "licence texts: English ${english_bytes} bytes, ${english_pairs} CR LF; "
               "Japanese ${japanese_bytes} bytes, ${japanese_pairs} CR LF, "
               "longest line ${japanese_longest_line} bytes")
