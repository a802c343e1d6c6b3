// The unpacker's run from start to its first stop, as the user sees it: the
// single-instance guard, the own file, the trailer, the temporary folder and
// the header, each ending in its one box (or in none) and exit code 0.
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "unpacker_test_fixture.h"

namespace e2e {
namespace {

constexpr DWORD kTimeoutMs = 15000;

class RunSpine : public UnpackerTest {
 protected:
  // Nothing may be written before a destination is chosen: neither into the
  // temporary folder nor beside the package.
  void ExpectNothingWritten(const std::string& packageName) {
    EXPECT_EQ(FolderEntries(tempFolder()), std::vector<std::string>{});
    EXPECT_EQ(FolderEntries(folder().path()), (std::vector<std::string>{packageName, "temp"}));
  }
};

// The first copy holds the mutex while it shows a box (a broken package) or the
// licence dialog (a valid one).
struct FirstCopyCase {
  const char* name;
  bool validPackage;
};

void PrintTo(const FirstCopyCase& c, std::ostream* os) { *os << c.name; }

class SecondCopy : public RunSpine, public ::testing::WithParamInterface<FirstCopyCase> {};

TEST_P(SecondCopy, EndsSilentlyAfterOneSecondAndLeavesTheFirstAlone) {
  RawPackage raw;
  raw.stubPath = ProgramPath("unpacker.exe");
  raw.header = GetParam().validPackage ? ValidHeader() : "setup.exe\n";
  raw.payload = SamplePayload();
  const std::string package = WritePackage("package.exe", raw);
  ProcessUnderTest first;
  Start(first, package);
  WindowInfo firstWindow;
  ASSERT_TRUE(first.WaitForWindow(&firstWindow, kTimeoutMs));

  ProcessUnderTest second;
  Start(second, package);
  const ExitReport report = second.WaitForExit(kTimeoutMs);
  ASSERT_TRUE(report.exited);
  std::printf("second copy ended after %.2f s\n", report.seconds);
  RecordProperty("second_copy_ms", static_cast<int>(report.seconds * 1000));
  EXPECT_EQ(report.exitCode, 0u);
  EXPECT_GE(report.seconds, 0.95) << "ended before the 1000 ms wait for the mutex was over";
  EXPECT_LE(report.seconds, 4.0) << "waited far longer than the 1000 ms";
  for (const WindowInfo& window : report.windowsShown)
    ADD_FAILURE() << "second copy showed " << window.Describe();

  // The first copy goes on untouched.
  EXPECT_TRUE(IsWindowVisible(firstWindow.handle));
  const WindowInfo now = DescribeWindow(firstWindow.handle);
  EXPECT_EQ(now.caption, firstWindow.caption);
  EXPECT_EQ(now.text, firstWindow.text);
  AnswerWithCancel(firstWindow);
  ASSERT_TRUE(first.WaitForWindowGone(firstWindow.handle, kTimeoutMs));
  std::vector<WindowInfo> seen;
  const ExitReport firstReport = CancelUntilExit(first, &seen);
  ASSERT_TRUE(firstReport.exited);
  EXPECT_EQ(firstReport.exitCode, 0u);
  ExpectNothingWritten("package.exe");
}

const FirstCopyCase kFirstCopyCases[] = {{"WhileTheFirstShowsABox", false},
                                         {"WhileTheFirstShowsTheLicence", true}};

INSTANTIATE_TEST_SUITE_P(Runs, SecondCopy, ::testing::ValuesIn(kFirstCopyCases),
                         [](const ::testing::TestParamInfo<FirstCopyCase>& info) { return info.param.name; });

// A copy that ended while it owned the mutex leaves it abandoned; the next
// copy's wait ends with WAIT_ABANDONED and its run goes on.
TEST_F(RunSpine, CopyAfterOneThatDiedOwningTheMutexRunsNormally) {
  const std::string package = WriteValidPackage("package.exe");
  {
    ProcessUnderTest first;
    Start(first, package);
    WindowInfo window;
    ASSERT_TRUE(first.WaitForWindow(&window, kTimeoutMs));
    first.Terminate();
  }
  ProcessUnderTest next;
  Start(next, package);
  std::vector<WindowInfo> seen;
  const ExitReport report = CancelUntilExit(next, &seen);
  ASSERT_FALSE(seen.empty()) << "the next copy ended silently";
  EXPECT_EQ(seen.front().caption, "E2E Test Package") << seen.front().Describe();
  ASSERT_TRUE(report.exited);
  EXPECT_EQ(report.exitCode, 0u);
}

// A folder name outside the ANSI code page reaches GetModuleFileNameA as '?',
// so the unpacker cannot open its own file.
TEST_F(RunSpine, OwnFileThatCannotBeOpenedGivesMessage2WithInformationIcon) {
  const std::string packageFolder = folder() / u8"패키지";
  ASSERT_TRUE(MakeFolder(packageFolder));
  const std::string package = JoinPath(packageFolder, "package.exe");
  RawPackage raw;
  raw.stubPath = ProgramPath("unpacker.exe");
  raw.header = ValidHeader();
  raw.payload = SamplePayload();
  ASSERT_TRUE(WriteRawPackage(package, raw));
  const std::wstring widePath = Widen(package);
  BOOL lossy = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, widePath.c_str(), -1, nullptr, 0, nullptr, &lossy);
  ASSERT_TRUE(lossy) << "the folder name fits the ANSI code page; the test would prove nothing";

  ProcessUnderTest unpacker;
  Start(unpacker, package);
  ExpectOnlyBoxThenExit(unpacker, {ExpectedMessage(2), ExpectedAppCaption(), BoxIcon::Information});
  EXPECT_EQ(FolderEntries(tempFolder()), std::vector<std::string>{});
  EXPECT_EQ(FolderEntries(packageFolder), std::vector<std::string>{"package.exe"});
}

// Windows calls made to fail in unpacker_faults.exe, which is the unpacker
// with a fault-injecting call table.
struct FaultCase {
  const char* name;
  const char* faults;  // UNPACKER_FAULTS
  int messageId;
};

// Before its trailer the unpacker reads its own image's headers in three
// reads (DOS header, PE file header, optional header) to learn whether a
// certificate table follows the package; the trailer is the 4th read. A wrong
// count here fails these cases: a failed header read only falls back to the
// end of the file, and the run goes on.
const FaultCase kFaultCases[] = {
    {"TrailerReadFails", "ReadFile:4", 2},
    {"TemporaryFolderLookupFails", "GetTempPathA:1", 8},
    {"HeaderReadReportsAnError", "ReadFile:5", 4},
    {"LaterHeaderReadsFail", "ReadFile:20+", 4},
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class RunSpineFaults : public RunSpine, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(RunSpineFaults, StopsWithItsMessageUnderTheAppCaption) {
  const std::string package = WriteValidPackage("package.exe", "unpacker_faults.exe");
  ProcessUnderTest unpacker;
  Start(unpacker, package, {{"UNPACKER_FAULTS", GetParam().faults}});
  ExpectOnlyBoxThenExit(unpacker,
                        {ExpectedMessage(GetParam().messageId), ExpectedAppCaption(), BoxIcon::Warning});
  ExpectNothingWritten("package.exe");
}

INSTANTIATE_TEST_SUITE_P(Calls, RunSpineFaults, ::testing::ValuesIn(kFaultCases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

// Without faults the same program gets past all of these stops, so the cases
// above fail for the reason they name.
TEST_F(RunSpine, FaultInjectingBuildRunsNormallyWithoutFaults) {
  const std::string package = WriteValidPackage("package.exe", "unpacker_faults.exe");
  ProcessUnderTest unpacker;
  Start(unpacker, package);
  std::vector<WindowInfo> seen;
  const ExitReport report = CancelUntilExit(unpacker, &seen);
  ASSERT_FALSE(seen.empty()) << "no window appeared";
  EXPECT_EQ(seen.front().caption, "E2E Test Package") << seen.front().Describe();
  EXPECT_TRUE(report.exited);
}

// An own image whose headers cannot be read is taken as unsigned: the package
// ends at the end of the file, as it always did, and the run goes on.
TEST_F(RunSpine, UnreadableImageHeadersFallBackToTheEndOfTheFile) {
  const std::string package = WriteValidPackage("package.exe", "unpacker_faults.exe");
  for (const char* faults : {"ReadFile:1", "ReadFile:2", "ReadFile:3"}) {
    ProcessUnderTest unpacker;
    Start(unpacker, package, {{"UNPACKER_FAULTS", faults}});
    std::vector<WindowInfo> seen;
    CancelUntilExit(unpacker, &seen);
    ASSERT_FALSE(seen.empty()) << faults << ": no window appeared";
    EXPECT_EQ(seen.front().caption, "E2E Test Package") << faults << ": " << seen.front().Describe();
  }
}

// A rule the fault injection cannot understand must not pass unnoticed.
TEST_F(RunSpine, FaultInjectionRefusesAnUnknownCall) {
  const std::string package = WriteValidPackage("package.exe", "unpacker_faults.exe");
  ProcessUnderTest unpacker;
  Start(unpacker, package, {{"UNPACKER_FAULTS", "NoSuchCall:1"}});
  const ExitReport report = unpacker.WaitForExit(kTimeoutMs);
  ASSERT_TRUE(report.exited);
  EXPECT_EQ(report.exitCode, 86u);
  EXPECT_TRUE(report.windowsShown.empty());
}

// Packages whose header the reader must refuse with message 4.
struct HeaderCase {
  const char* name;
  void (*shape)(RawPackage& package, int64_t imageLength);
};

std::string Repeated(int count, const std::string& line) {
  std::string lines;
  for (int i = 0; i < count; ++i) lines += line + "\n";
  return lines;
}

const HeaderCase kBrokenHeaders[] = {
    {"LineOf259Bytes",
     [](RawPackage& p, int64_t) { p.header = HeaderLines(std::string(259, 'p'), "C:\\Drivers", "Title"); }},
    {"HundredAndOneModels",
     [](RawPackage& p, int64_t) {
       p.header = "setup.exe\nC:\\Drivers\nTitle\n" + Repeated(101, "Model") + "#\n##\n";
     }},
    {"ElevenDevices",
     [](RawPackage& p, int64_t) {
       p.header = "setup.exe\nC:\\Drivers\nTitle\n#\n" + Repeated(11, "PCI\\VEN_8086") + "##\n";
     }},
    // The carriage return stays in the line, so "##\r" is no terminator and
    // the payload bytes are read as device lines until the file ends.
    {"DeviceTerminatorEndedByCarriageReturn",
     [](RawPackage& p, int64_t) {
       p.header = "setup.exe\nC:\\Drivers\nTitle\n#\n##\r\n";
       p.payload = "MZ payload bytes\n";
     }},
    // The last line runs into the trailer; the gap keeps the trailer free of
    // line feeds, so the line meets the end of the file.
    {"EndsBeforeTheDeviceTerminatorsLineFeed",
     [](RawPackage& p, int64_t imageLength) {
       p.header = "setup.exe\nC:\\Drivers\nTitle\n#\n##";
       p.payload.clear();
       auto hasLineFeed = [](int64_t offset) { return TrailerBytes(offset).find('\n') != std::string::npos; };
       while (hasLineFeed(imageLength + static_cast<int64_t>(p.gap.size()))) p.gap += '\0';
     }},
    {"OffsetPastTheEnd",
     [](RawPackage& p, int64_t) {
       p.hasHeaderOffset = true;
       p.headerOffset = int64_t{1} << 32;
     }},
    {"NegativeOffset",
     [](RawPackage& p, int64_t) {
       p.hasHeaderOffset = true;
       p.headerOffset = -1;
     }},
};

void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }

class BrokenHeader : public RunSpine, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(BrokenHeader, StopsWithMessage4) {
  std::string image;
  ASSERT_TRUE(ReadWholeFile(ProgramPath("unpacker.exe"), &image));
  RawPackage raw;
  raw.stubPath = ProgramPath("unpacker.exe");
  raw.header = ValidHeader();
  raw.payload = SamplePayload();
  GetParam().shape(raw, static_cast<int64_t>(image.size()));
  const std::string package = WritePackage("package.exe", raw);

  ProcessUnderTest unpacker;
  Start(unpacker, package);
  ExpectOnlyBoxThenExit(unpacker, {ExpectedMessage(4), ExpectedAppCaption(), BoxIcon::Warning});
  ExpectNothingWritten("package.exe");
}

INSTANTIATE_TEST_SUITE_P(Packages, BrokenHeader, ::testing::ValuesIn(kBrokenHeaders),
                         [](const ::testing::TestParamInfo<HeaderCase>& info) { return info.param.name; });

// Headers at the limits that the reader accepts: the run gets past the header,
// and the first window after it is captioned with the package's title.
struct AcceptedCase {
  const char* name;
  std::string gap;
  std::string header;
  std::string title;
};

const AcceptedCase kAcceptedHeaders[] = {
    {"SmallestHeader", "", "setup.exe\nC:\\Drivers\nTitle\n#\n##\n", "Title"},
    {"TitleOf258Bytes", "", HeaderLines("setup.exe", "C:\\Drivers", std::string(258, 'T')),
     std::string(258, 'T')},
    {"HundredModels", "", "setup.exe\nC:\\Drivers\nTitle\n" + Repeated(100, "Model") + "#\n##\n", "Title"},
    {"TenDevices", "", "setup.exe\nC:\\Drivers\nTitle\n#\n" + Repeated(10, "PCI\\VEN_8086") + "##\n",
     "Title"},
    {"GapBeforeTheHeader", "bytes the reader skips\n##\n", "setup.exe\nC:\\Drivers\nTitle\n#\n##\n", "Title"},
};

void PrintTo(const AcceptedCase& c, std::ostream* os) { *os << c.name; }

class AcceptedHeader : public RunSpine, public ::testing::WithParamInterface<AcceptedCase> {};

TEST_P(AcceptedHeader, GetsPastTheHeaderUnderItsTitle) {
  RawPackage raw;
  raw.stubPath = ProgramPath("unpacker.exe");
  raw.gap = GetParam().gap;
  raw.header = GetParam().header;
  raw.payload = SamplePayload();
  const std::string package = WritePackage("package.exe", raw);

  ProcessUnderTest unpacker;
  Start(unpacker, package);
  std::vector<WindowInfo> seen;
  const ExitReport report = CancelUntilExit(unpacker, &seen);
  ASSERT_FALSE(seen.empty()) << "no window appeared";
  EXPECT_EQ(seen.front().caption, GetParam().title) << seen.front().Describe();
  ASSERT_TRUE(report.exited);
  EXPECT_EQ(report.exitCode, 0u);
  ExpectNothingWritten("package.exe");
}

INSTANTIATE_TEST_SUITE_P(Packages, AcceptedHeader, ::testing::ValuesIn(kAcceptedHeaders),
                         [](const ::testing::TestParamInfo<AcceptedCase>& info) { return info.param.name; });

}  // namespace
}  // namespace e2e
