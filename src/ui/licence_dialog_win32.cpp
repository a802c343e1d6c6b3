#include "ui/licence_dialog_win32.h"

#include "app/process_values_win32.h"
#include "res/resource_ids.h"
#include "ui/licence_text.h"

namespace ui {
namespace {

constexpr int kLanguageLetterSize = 260;

void ShowLicence(HWND dialog) {
  SetWindowTextA(dialog, app::g_packageHeader.title);

  // A missing string 11 leaves the buffer as it was: it must read as empty,
  // which selects the English text.
  char languageLetter[kLanguageLetterSize];
  languageLetter[0] = '\0';
  LoadStringA(app::g_instance, IDS_LANGUAGE_LETTER, languageLetter, kLanguageLetterSize);

  char licenceText[kLicenceTextSize];
  BuildLicenceText(languageLetter[0], licenceText);
  SetDlgItemTextA(dialog, IDC_LICENCE_TEXT, licenceText);
}

void Answer(HWND dialog, int accepted) {
  app::g_licenceAccepted = accepted;
  EndDialog(dialog, 0);
}

}  // namespace

INT_PTR CALLBACK LicenceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    ShowLicence(dialog);
    return TRUE;  // the system puts the focus on the first tab stop, No
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDYES:
      Answer(dialog, 1);
      return TRUE;
    case IDNO:
    case IDCANCEL:
      Answer(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace ui
