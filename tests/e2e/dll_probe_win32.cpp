// Loads comctl32 by its bare name, the way a careless program would, and exits
// with 0 when a comctl32 was loaded. Built twice: as it stands, and with the
// unpacker's DLL search restriction linked in.
#include "platform/windows_api.h"

int main() { return LoadLibraryA("comctl32.dll") != nullptr ? 0 : 1; }
