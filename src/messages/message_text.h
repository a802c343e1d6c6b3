// Filling the one "%s" of a catalogue message (messages 5 and 15).
#pragma once

namespace messages {

constexpr int kFilledTextSize = 260;

// True for the first byte of a double-byte character in the code page the
// texts are in; the Windows build asks IsDBCSLeadByte.
using LeadByteTest = bool (*)(unsigned char byte);

// Writes `loaded` with its first "%s" replaced by `fill` into `out` (at most 259
// bytes and a NUL). When the whole would not fit, the fill is shortened and ends
// in "...", so the rest of the message (the question of message 15 among it)
// always stays readable; it is cut only between characters, never inside a
// double-byte one.
void FormatMessageText(const char* loaded, const char* fill, LeadByteTest isLeadByte,
                       char (&out)[kFilledTextSize]);

}  // namespace messages
