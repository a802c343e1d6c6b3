// Stand-ins for the stages that are not built yet. Each keeps the contract the
// run sequence relies on, answers as stated, and goes away when the real stage
// arrives in its own folder.
#include "ui/destination_dialog_win32.h"
#include "ui/licence_dialog_win32.h"

namespace ui {

// There is no template 102 yet, so the dialog cannot be shown, the licence
// stays unaccepted and the run ends with message 16.
INT_PTR CALLBACK LicenceDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// Unreachable until the licence can be accepted; answers "cancelled".
int ChooseDestination(char (&)[package::kTextSize]) { return 0; }

}  // namespace ui
