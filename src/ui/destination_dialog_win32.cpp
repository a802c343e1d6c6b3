#include "ui/destination_dialog_win32.h"

#include "app/process_values_win32.h"
#include "messages/show_message_win32.h"
#include "platform/win32_calls.h"
#include "res/resource_ids.h"
#include "ui/destination_examination.h"
#include "ui/shell_path_operations_win32.h"

namespace ui {
namespace {

constexpr int kTypingLimit = 128;

static_assert(kDestinationTextSize == package::kTextSize, "the working text is a copy of destinationFolder");

// The working text of the one destination dialog there is at a time.
char* g_workingText = nullptr;

void CopyText(char (&to)[kDestinationTextSize], const char* from) {
  lstrcpynA(to, from, kDestinationTextSize);
}

BOOL ShowWorkingText(HWND dialog, LPARAM workingText) {
  g_workingText = reinterpret_cast<char*>(workingText);
  SetWindowTextA(dialog, app::g_packageHeader.title);
  SetDlgItemTextA(dialog, IDC_DESTINATION_PATH, g_workingText);
  const HWND box = GetDlgItem(dialog, IDC_DESTINATION_PATH);
  if (box == nullptr) return TRUE;
  SetFocus(box);
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
  SendMessageA(box, EM_SETSEL, 0, -1);
  SendMessageA(box, EM_LIMITTEXT, kTypingLimit, 0);
  return FALSE;  // the focus is placed already
}

}  // namespace

INT_PTR CALLBACK DestinationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return ShowWorkingText(dialog, lParam);
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
      GetDlgItemTextA(dialog, IDC_DESTINATION_PATH, g_workingText, kDestinationTextSize);
      EndDialog(dialog, IDOK);
      return TRUE;
    case IDCANCEL:
      g_workingText[0] = '\0';
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

int ChooseDestination(char (&destinationFolder)[package::kTextSize]) {
  char workingText[kDestinationTextSize];
  CopyText(workingText, destinationFolder);
  const ShellPathOperations shell;
  for (;;) {
    const INT_PTR result =
        platform::g_calls.DialogBoxParamA(app::g_instance, MAKEINTRESOURCEA(IDD_DESTINATION), nullptr,
                                          DestinationDialogProc, reinterpret_cast<LPARAM>(workingText));
    if (result == IDCANCEL) return 0;
    // A dialog that cannot be created (-1, or 0 for a bad owner) would fail the
    // same way each time round: it ends the choice like Cancel instead of
    // spinning.
    if (result == -1 || result == 0) return 0;
    if (result != IDOK) continue;

    const DestinationVerdict verdict = ExamineDestination(workingText, shell);
    if (verdict == kDestinationInvalid) {
      messages::ShowMessage(IDS_INVALID_FOLDER, messages::Caption::Title, messages::kNoIcon);
      continue;
    }
    if (verdict == kDestinationExists &&
        messages::ShowMessage(IDS_REPLACE_PROMPT, messages::Caption::Title, messages::kReplaceQuestion,
                              workingText) != messages::kAnswerYes) {
      continue;
    }
    CopyText(destinationFolder, workingText);
    return 1;
  }
}

}  // namespace ui
