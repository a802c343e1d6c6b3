// What the 1000-byte copy of payload delivery costs. Delivers a large payload
// (256 MiB unless a size in MiB is given) through the unpacker's own delivery
// code and prints, for each round, the time of the copy stage beside a plain
// copy (CopyFileA) of the same package file made in the same run, and their
// ratio. A figure-printing program, not a test:
//
//   wine build/windows/delivery_benchmark.exe [MiB]
//
// The payload is recording_payload.exe (from beside this program) padded to
// the size, so the delivery runs to its end: the payload runs, its files are
// moved, and message 10 is the outcome, checked before any figure is printed.
// Messages are recorded instead of shown.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>

#include "delivery/deliver_payload_win32.h"
#include "e2e_support_win32.h"
#include "messages/show_message_win32.h"
#include "platform/win32_calls.h"
#include "res/resource_ids.h"

namespace {

constexpr int kRounds = 5;
constexpr char kPayloadName[] = "payload.exe";

int g_lastMessage;
LARGE_INTEGER g_copyStageEnd;
decltype(platform::g_calls.GetTempFileNameA) g_realGetTempFileNameA;

// Naming the work folder is the first thing delivery does after the copy.
UINT WINAPI StampCopyEnd(LPCSTR folder, LPCSTR prefix, UINT unique, LPSTR name) {
  QueryPerformanceCounter(&g_copyStageEnd);
  return g_realGetTempFileNameA(folder, prefix, unique, name);
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double TimePlainCopy(const std::string& from, const std::string& to) {
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  const BOOL copied = CopyFileA(from.c_str(), to.c_str(), FALSE);
  QueryPerformanceCounter(&end);
  if (!copied) {
    fprintf(stderr, "plain copy failed (%lu)\n", GetLastError());
    exit(1);
  }
  DeleteFileA(to.c_str());
  return Seconds(start, end);
}

// Returns the copy stage's time; ends the program if the delivery does not
// complete.
double TimeDelivery(const std::string& package, const std::string& temp, const std::string& destination) {
  const HANDLE file = CreateFileA(package.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "cannot open %s\n", package.c_str());
    exit(1);
  }
  LARGE_INTEGER length;
  GetFileSizeEx(file, &length);
  g_lastMessage = 0;
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  const delivery::DeliveryOutcome outcome =
      delivery::DeliverPayload(file, length.QuadPart, temp.c_str(), kPayloadName, destination.c_str());
  if (outcome != delivery::DeliveryOutcome::Completed || g_lastMessage != IDS_COMPLETED ||
      !e2e::FileExists(e2e::JoinPath(destination, "invocation.txt"))) {
    fprintf(stderr, "the delivery did not complete (message %d)\n", g_lastMessage);
    exit(1);
  }
  e2e::RemoveTree(destination);
  return Seconds(start, g_copyStageEnd);
}

}  // namespace

namespace messages {

int ShowMessage(int messageId, Caption, unsigned, const char*) {
  g_lastMessage = messageId;
  return IDOK;
}

}  // namespace messages

int main(int argc, char** argv) {
  const long mebibytes = argc > 1 ? atol(argv[1]) : 256;
  std::string payload;
  if (mebibytes <= 0 || !e2e::ReadWholeFile(e2e::ProgramPath("recording_payload.exe"), &payload)) {
    fprintf(stderr, "usage: delivery_benchmark.exe [MiB], with recording_payload.exe beside it\n");
    return 2;
  }
  const size_t size = static_cast<size_t>(mebibytes) << 20;
  for (size_t i = payload.size(); i < size; ++i) payload.push_back(static_cast<char>(i * 131 + (i >> 12)));

  char tempPath[MAX_PATH];
  GetTempPathA(MAX_PATH, tempPath);
  const std::string work =
      e2e::JoinPath(tempPath, "delivery-benchmark-" + std::to_string(GetCurrentProcessId()));
  const std::string temp = e2e::JoinPath(work, "temp") + "\\";
  const std::string package = e2e::JoinPath(work, "package.bin");
  e2e::MakeFolder(temp);
  // The package as delivery sees it: the payload from the file's start, then
  // the 8-byte trailer.
  if (!e2e::WriteWholeFile(package, payload + std::string(8, '\0'))) {
    fprintf(stderr, "cannot write %s\n", package.c_str());
    return 1;
  }

  g_realGetTempFileNameA = platform::g_calls.GetTempFileNameA;
  platform::g_calls.GetTempFileNameA = StampCopyEnd;

  printf("payload %ld MiB, copy through 1000-byte chunks vs CopyFileA of the package file\n", mebibytes);
  double copyStage[kRounds], plain[kRounds];
  for (int round = 0; round < kRounds; ++round) {
    plain[round] = TimePlainCopy(package, e2e::JoinPath(work, "plain-copy.bin"));
    copyStage[round] = TimeDelivery(package, temp, e2e::JoinPath(work, "destination"));
    printf("round %d: copy stage %.3f s, plain copy %.3f s, ratio %.1f\n", round + 1, copyStage[round],
           plain[round], copyStage[round] / plain[round]);
  }
  std::sort(copyStage, copyStage + kRounds);
  std::sort(plain, plain + kRounds);
  printf("best:   copy stage %.3f s (%.0f MiB/s), plain copy %.3f s, ratio %.1f\n", copyStage[0],
         static_cast<double>(mebibytes) / copyStage[0], plain[0], copyStage[0] / plain[0]);
  printf("median: copy stage %.3f s, plain copy %.3f s, ratio %.1f\n", copyStage[kRounds / 2],
         plain[kRounds / 2], copyStage[kRounds / 2] / plain[kRounds / 2]);
  e2e::RemoveTree(work);
  return 0;
}
