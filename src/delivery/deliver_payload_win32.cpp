// Payload delivery made of Windows calls; the order and the decisions are in
// delivery_sequence.cpp.
#include "delivery/deliver_payload_win32.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <string.h>

#include "delivery/delivery_sequence.h"
#include "delivery/path_list.h"
#include "messages/show_message_win32.h"
#include "package/package_layout.h"
#include "platform/win32_calls.h"

namespace delivery {
namespace {

constexpr int kPathSize = package::kTextSize;
constexpr char kWorkFolderPrefix[] = "unpack";
constexpr int kUniqueNameRoom = 14;
constexpr DWORD kStartupInfoSize = 68;
static_assert(sizeof(STARTUPINFOA) == kStartupInfoSize, "the payload is started with the 32-bit record");

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

class Win32Delivery final : public DeliverySteps {
 public:
  Win32Delivery(HANDLE packageFile, int64_t packageEnd, const char* tempFolder, const char* payloadFileName,
                const char* destinationFolder)
      : packageFile_(packageFile),
        packageEnd_(packageEnd),
        tempFolder_(tempFolder),
        payloadFileName_(payloadFileName),
        destinationFolder_(destinationFolder) {}

  int BuildPayloadPath() override {
    return PathCombineA(payloadPath_, tempFolder_, payloadFileName_) != nullptr;
  }

  int PayloadPathExists() override {
    WIN32_FIND_DATAA found;
    const HANDLE search = platform::g_calls.FindFirstFileA(payloadPath_, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    FindClose(search);
    return 1;
  }

  int CreatePayloadFile() override {
    // CREATE_NEW, not "open or create": a file planted between the existence
    // check and this call must never be written into and run.
    payloadFile_ = platform::g_calls.CreateFileA(payloadPath_, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    return payloadFile_ != INVALID_HANDLE_VALUE;
  }

  // A signed package is followed by its certificate table, which must not
  // reach the payload.
  int CountPackageBytesLeft(int64_t* count) override {
    LARGE_INTEGER position;
    if (!SetFilePointerEx(packageFile_, LARGE_INTEGER{}, &position, FILE_CURRENT)) return 0;
    *count = packageEnd_ - position.QuadPart;
    return 1;
  }

  int ReadPackageChunk(void* buffer, uint32_t size, uint32_t* count) override {
    DWORD read = 0;
    const BOOL ok = platform::g_calls.ReadFile(packageFile_, buffer, size, &read, nullptr);
    *count = read;
    return ok != FALSE;
  }

  int WritePayloadChunk(const void* buffer, uint32_t count) override {
    DWORD written = 0;
    return platform::g_calls.WriteFile(payloadFile_, buffer, count, &written, nullptr) && written == count;
  }

  int CutTrailer() override {
    LARGE_INTEGER distance;
    distance.QuadPart = -package::kTrailerSize;
    return SetFilePointerEx(payloadFile_, distance, nullptr, FILE_END) && SetEndOfFile(payloadFile_);
  }

  void ClosePayloadFile() override { CloseHandle(payloadFile_); }
  void ClosePackageFile() override { CloseHandle(packageFile_); }
  void DeletePayloadFile() override { DeleteFileA(payloadPath_); }

  int MakeWorkFolder() override {
    // The naming call takes folders of at most MAX_PATH - 14 characters; some
    // implementations answer a longer one with a name that fills the buffer
    // without its terminating NUL.
    if (strlen(tempFolder_) > kPathSize - kUniqueNameRoom) return 0;
    char uniqueName[kPathSize];
    if (platform::g_calls.GetTempFileNameA(tempFolder_, kWorkFolderPrefix, 0, uniqueName) == 0) return 0;
    PathCombineA(workFolder_, tempFolder_, uniqueName);
    const int listed = BuildPathList(workFolder_, kAllEntries, sourceList_, sizeof sourceList_);
    DeleteFileA(workFolder_);
    // Only a folder this call created is one the payload may run in.
    return listed && platform::g_calls.CreateDirectoryA(workFolder_, nullptr);
  }

  void RemoveWorkFolder() override { RemoveDirectoryA(workFolder_); }

  int StartPayload() override {
    char commandLine[] = " -s";
    STARTUPINFOA startup = {};
    startup.cb = kStartupInfoSize;
    return CreateProcessA(payloadPath_, commandLine, nullptr, nullptr, FALSE, 0, nullptr, workFolder_,
                          &startup, &process_) != FALSE;
  }

  void WaitForPayload() override {
    WaitForSingleObject(process_.hProcess, INFINITE);
    Sleep(0);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }

  // The shell's move is meant to create a missing destination, but some
  // implementations answer success and move nothing; made here, the folder is
  // there either way.
  int PrepareDestinationFolder() override {
    SHCreateDirectoryExA(nullptr, destinationFolder_, nullptr);
    const DWORD attributes = GetFileAttributesA(destinationFolder_);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  int MoveResults() override {
    char destinationList[kPathSize + 1];
    BuildPathList(destinationFolder_, "", destinationList, sizeof destinationList);
    SHFILEOPSTRUCTA move = {};
    move.wFunc = FO_MOVE;
    move.pFrom = sourceList_;
    move.pTo = destinationList;
    move.fFlags = FOF_NOCONFIRMMKDIR | FOF_NOCONFIRMATION;
    move.lpszProgressTitle = "";
    return platform::g_calls.SHFileOperationA(&move) == 0;
  }

  int WorkFolderHoldsEntries() override {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(sourceList_, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int holds = 0;
    do {
      if (!IsDotOrDotDot(found.cFileName)) holds = 1;
    } while (!holds && FindNextFileA(search, &found));
    FindClose(search);
    return holds;
  }

  void ShowMessage(int messageId, messages::Caption caption, unsigned style, Fill fill) override {
    messages::ShowMessage(messageId, caption, style, fill == Fill::PayloadPath ? payloadPath_ : nullptr);
  }

 private:
  HANDLE packageFile_;
  int64_t packageEnd_;
  const char* tempFolder_;
  const char* payloadFileName_;
  const char* destinationFolder_;
  // Each is filled by the step that makes it, and read only after that step
  // succeeded.
  HANDLE payloadFile_;
  PROCESS_INFORMATION process_;
  char payloadPath_[kPathSize];
  char workFolder_[kPathSize];
  char sourceList_[kSourceListSize];
};

}  // namespace

DeliveryOutcome DeliverPayload(HANDLE packageFile, int64_t packageEnd, const char* tempFolder,
                               const char* payloadFileName, const char* destinationFolder) {
  Win32Delivery steps(packageFile, packageEnd, tempFolder, payloadFileName, destinationFolder);
  return RunDelivery(steps);
}

}  // namespace delivery
