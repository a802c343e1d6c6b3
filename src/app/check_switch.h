// The command line: the program's own name is skipped, and the one switch that
// exists turns the machine checks off.
#pragma once

namespace app {

constexpr char kNoCheckSwitch[] = "-a ZORV_NOCHECK";

// The command line less the program's own name and the blanks after it. A name
// that begins with a double quote ends at the closing quote; any other name ends
// at the first character of code 0x20 or below. Every following character from
// 0x01 to 0x20 is skipped.
const char* ArgumentText(const char* commandLine);

// Sets *checksEnabled to 1, then to 0 when the argument text contains the
// switch anywhere (exact, case-sensitive).
void ParseCheckSwitch(const char* argumentText, int* checksEnabled);

}  // namespace app
