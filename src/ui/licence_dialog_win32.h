#pragma once

#include "platform/windows_api.h"

namespace ui {

// Procedure of dialog template 102; leaves the answer in g_licenceAccepted.
INT_PTR CALLBACK LicenceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace ui
