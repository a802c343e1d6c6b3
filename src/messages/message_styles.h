// Message box styles of the catalogue, as plain numbers so that the portable run
// sequence can name them; they equal the Windows MB_* values.
#pragma once

namespace messages {

enum class Caption { App, Title };

constexpr unsigned kNoIcon = 0x000;           // MB_OK
constexpr unsigned kWarning = 0x030;          // MB_ICONWARNING
constexpr unsigned kInformation = 0x040;      // MB_ICONINFORMATION
constexpr unsigned kReplaceQuestion = 0x134;  // MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2
constexpr int kAnswerYes = 6;                 // IDYES

}  // namespace messages
