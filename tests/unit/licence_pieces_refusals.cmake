# Runs cmake/licence_pieces.cmake on licence texts it must refuse, and on one it
# must take, and checks what it says:
#   cmake -DGENERATOR=<licence_pieces.cmake> -DICONV=<iconv> -DWORK=<folder> -P licence_pieces_refusals.cmake

string(ASCII 13 CR)
string(ASCII 10 LF)
set(good_english "Licence.${CR}${LF}${CR}${LF}")
set(good_japanese "${CR}${LF}ライセンス${CR}${LF}${CR}${LF}")
string(REPEAT "あ" 35 too_long_line)  # 70 bytes in code page 932
string(ASCII 195 169 e_acute_utf8)     # not ASCII

# name | English text | Japanese text (UTF-8) | what the generator must say
set(cases
  "lone LF|Licence.${LF}|${good_japanese}|a LF without CR"
  "lone CR|Licence.${CR}x${CR}${LF}|${good_japanese}|a CR not followed by LF"
  "Japanese lone LF|${good_english}|${LF}ライセンス${CR}${LF}|a LF without CR"
  "not ASCII|Caf${e_acute_utf8}${CR}${LF}|${good_japanese}|must be ASCII"
  "Japanese line too long|${good_english}|${too_long_line}${CR}${LF}|a line of 70 bytes"
  "not code page 932|${good_english}|한국어${CR}${LF}|cannot be converted to code page 932")

file(MAKE_DIRECTORY "${WORK}")
set(failures "")
foreach(entry IN LISTS cases)
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 0 name)
  list(GET fields 1 english)
  list(GET fields 2 japanese)
  list(GET fields 3 expected)
  file(WRITE "${WORK}/en-US.txt" "${english}")
  file(WRITE "${WORK}/ja-JP.txt" "${japanese}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DENGLISH=${WORK}/en-US.txt -DJAPANESE=${WORK}/ja-JP.txt -DICONV=${ICONV}
            -DOUTPUT=${WORK}/pieces.cpp -P ${GENERATOR}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  # CMake wraps its error messages.
  string(REGEX REPLACE "[ \n]+" " " output "${output}")
  if(result EQUAL 0 OR NOT output MATCHES "${expected}")
    string(APPEND failures "${name}: expected a refusal saying '${expected}', got (${result}) ${output}\n")
  endif()
endforeach()

# A text that keeps the rules becomes nine and five pieces holding its bytes.
file(WRITE "${WORK}/en-US.txt" "${good_english}")
file(WRITE "${WORK}/ja-JP.txt" "${good_japanese}")
file(REMOVE "${WORK}/pieces.cpp")
execute_process(
  COMMAND ${CMAKE_COMMAND} -DENGLISH=${WORK}/en-US.txt -DJAPANESE=${WORK}/ja-JP.txt -DICONV=${ICONV}
          -DOUTPUT=${WORK}/pieces.cpp -P ${GENERATOR}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  string(APPEND failures "good texts: refused: ${output}\n")
else()
  file(READ "${WORK}/pieces.cpp" pieces)
  string(REGEX MATCHALL "// piece [0-9]" markers "${pieces}")
  list(LENGTH markers piece_count)
  if(NOT piece_count EQUAL 14)
    string(APPEND failures "good texts: ${piece_count} pieces instead of 9 and 5\n")
  endif()
  # The Japanese pieces joined are the text in code page 932.
  string(REGEX REPLACE ".*kJapaneseLicencePieces" "" japanese_pieces "${pieces}")
  string(REGEX MATCHALL "x[0-9a-f][0-9a-f]" japanese_bytes "${japanese_pieces}")
  string(JOIN "" japanese_bytes ${japanese_bytes})
  set(expected_bytes "x0dx0ax83x89x83x43x83x5ax83x93x83x58x0dx0ax0dx0a")
  string(REGEX REPLACE "[ \n]+" " " output "${output}")
  if(NOT output MATCHES "English 12 bytes, 2 CR LF; Japanese 16 bytes, 3 CR LF"
     OR NOT japanese_bytes STREQUAL expected_bytes)
    string(APPEND failures "good texts: unexpected sizes or bytes: ${output} ${japanese_bytes}\n")
  endif()
endif()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
