#pragma once

#include "package/package_layout.h"
#include "platform/windows_api.h"

namespace ui {

// 1 when a folder was accepted (its text then stands in destinationFolder),
// 0 when the user cancelled (destinationFolder unchanged).
int ChooseDestination(char (&destinationFolder)[package::kTextSize]);

// Procedure of dialog template 103; lParam of WM_INITDIALOG is the address of
// the 260-byte working text, which OK fills from the box and Cancel empties.
INT_PTR CALLBACK DestinationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace ui
