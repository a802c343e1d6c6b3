// The entry function: the run sequence's stages made of Windows calls.
#include "platform/windows_api.h"

#include <commctrl.h>

#include "app/check_switch.h"
#include "app/process_values_win32.h"
#include "app/run_sequence.h"
#include "delivery/deliver_payload_win32.h"
#include "machine/applicability_win32.h"
#include "messages/show_message_win32.h"
#include "package/package_file_win32.h"
#include "platform/win32_calls.h"
#include "res/resource_ids.h"
#include "ui/destination_dialog_win32.h"
#include "ui/licence_dialog_win32.h"

namespace app {
namespace {

constexpr char kMutexName[] = "Quillmark UnPacker Exclusive Mutex";
constexpr DWORD kMutexWaitMs = 1000;
constexpr int kPathSize = 260;

// comctl32 is not among the DLLs Windows always takes from the system
// directory, so it stays out of the import table and is loaded by full path.
void InitCommonControlsFromSystemDirectory() {
  char path[kPathSize];
  const UINT length = GetSystemDirectoryA(path, kPathSize);
  constexpr char kName[] = "\\comctl32.dll";
  if (length == 0 || length + sizeof kName > sizeof path) return;
  lstrcpyA(path + length, kName);
  const HMODULE comctl = LoadLibraryA(path);
  if (comctl == nullptr) return;
  using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const auto init =
      reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
  if (init == nullptr) return;
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_WIN95_CLASSES};
  init(&classes);
}

class Win32Run final : public RunStages {
 public:
  void InitCommonControls() override { InitCommonControlsFromSystemDirectory(); }

  MutexWait AcquireSingleInstanceMutex() override {
    mutex_ = CreateMutexA(nullptr, FALSE, kMutexName);
    if (WaitForSingleObject(mutex_, kMutexWaitMs) == WAIT_TIMEOUT) {
      CloseHandle(mutex_);
      return MutexWait::TimedOut;
    }
    return MutexWait::Proceed;
  }

  void ReleaseSingleInstanceMutex() override {
    if (mutex_ == nullptr) return;
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
    mutex_ = nullptr;
  }

  int OpenOwnFile() override {
    GetModuleFileNameA(nullptr, ownPath_, kPathSize);
    packageFile_ = platform::g_calls.CreateFileA(ownPath_, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return packageFile_ != INVALID_HANDLE_VALUE;
  }

  void ClosePackageFile() override {
    if (packageFile_ == INVALID_HANDLE_VALUE) return;
    CloseHandle(packageFile_);
    packageFile_ = INVALID_HANDLE_VALUE;
  }

  int ReadTrailer(int64_t* headerOffset, int64_t* packageEnd) override {
    package::Win32PackageFile file(packageFile_);
    return package::ReadPackageTrailer(file, headerOffset, packageEnd);
  }

  int FindTempFolder() override { return platform::g_calls.GetTempPathA(kPathSize, tempFolder_) != 0; }

  int ReadHeader(int64_t headerOffset) override {
    package::Win32PackageFile file(packageFile_);
    return package::ReadPackageHeader(file, headerOffset, &g_packageHeader);
  }

  int IsMachineApplicable() override { return machine::IsMachineApplicable(); }

  int AskLicence() override {
    platform::g_calls.DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_LICENCE), nullptr,
                                      ui::LicenceDialogProc, 0);
    return g_licenceAccepted;
  }

  int ChooseDestination() override { return ui::ChooseDestination(g_packageHeader.destinationFolder); }

  delivery::DeliveryOutcome DeliverPayload(int64_t packageEnd) override {
    const HANDLE file = packageFile_;
    packageFile_ = INVALID_HANDLE_VALUE;  // delivery closes it
    return delivery::DeliverPayload(file, packageEnd, tempFolder_, g_packageHeader.payloadFileName,
                                    g_packageHeader.destinationFolder);
  }

  void ShowMessage(int messageId, messages::Caption caption, unsigned style) override {
    messages::ShowMessage(messageId, caption, style);
  }

 private:
  HANDLE mutex_ = nullptr;
  HANDLE packageFile_ = INVALID_HANDLE_VALUE;
  char ownPath_[kPathSize] = {};
  char tempFolder_[kPathSize] = {};
};

}  // namespace
}  // namespace app

// The C runtime's own split of the command line treats quotes inside an
// unquoted program name differently; the unpacker applies its documented rule
// to the whole command line instead of taking the runtime's argument text.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  app::g_instance = instance;
  app::Win32Run run;
  return app::RunUnpacking(run, app::ArgumentText(GetCommandLineA()), &app::g_checksEnabled);
}
