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

// The fields of a valid package on the unpacker with a fault-injecting call table.
PackageFields OnFaultInjectingStub() {
  PackageFields fields;
  fields.stub = "unpacker_faults.exe";
  return fields;
}

// A hand-assembled package with the header the builder makes by default, for
// tests that change it into one the builder never writes.
RawPackage PackageAroundAValidHeader() {
  RawPackage raw;
  raw.stubPath = ProgramPath("unpacker.exe");
  raw.header = HeaderLines("setup.exe", "C:\\Drivers\\E2E", "E2E Test Package");
  raw.payload = SamplePayload();
  return raw;
}

class RunSpine : public UnpackerTest {
 protected:
  // Nothing may be written before a destination is chosen: neither into the
  // temporary folder nor beside the package.
  void ExpectNothingWritten(const std::string& packageName) {
    EXPECT_EQ(FolderEntries(tempFolder()), std::vector<std::string>{});
    EXPECT_EQ(FolderEntries(folder().path()), (std::vector<std::string>{packageName, "temp"}));
  }

  // The run gets past the header: the first window is captioned with the
  // package's title, and cancelling ends the run with nothing written.
  void ExpectPastTheHeaderUnder(const std::string& package, const std::string& title) {
    ProcessUnderTest unpacker;
    Start(unpacker, package);
    std::vector<WindowInfo> seen;
    const ExitReport report = CancelUntilExit(unpacker, &seen);
    ASSERT_FALSE(seen.empty()) << "no window appeared";
    EXPECT_EQ(seen.front().caption, title) << seen.front().Describe();
    ASSERT_TRUE(report.exited);
    EXPECT_EQ(report.exitCode, 0u);
    ExpectNothingWritten("package.exe");
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
  RawPackage broken = PackageAroundAValidHeader();
  broken.header = "setup.exe\n";  // a header that ends after its first line
  const std::string package =
      GetParam().validPackage ? WriteValidPackage("package.exe") : WritePackage("package.exe", broken);
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
  std::string error;
  ASSERT_TRUE(BuildValidPackage(package, PackageFields(), &error)) << error;
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
  const std::string package = WriteValidPackage("package.exe", OnFaultInjectingStub());
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
  const std::string package = WriteValidPackage("package.exe", OnFaultInjectingStub());
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
  const std::string package = WriteValidPackage("package.exe", OnFaultInjectingStub());
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
  const std::string package = WriteValidPackage("package.exe", OnFaultInjectingStub());
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

std::vector<std::string> Repeated(int count, const std::string& line) {
  return std::vector<std::string>(static_cast<size_t>(count), line);
}

const HeaderCase kBrokenHeaders[] = {
    {"LineOf259Bytes",
     [](RawPackage& p, int64_t) { p.header = HeaderLines(std::string(259, 'p'), "C:\\Drivers", "Title"); }},
    {"HundredAndOneModels",
     [](RawPackage& p, int64_t) {
       p.header = HeaderLines("setup.exe", "C:\\Drivers", "Title", Repeated(101, "Model"));
     }},
    {"ElevenDevices",
     [](RawPackage& p, int64_t) {
       p.header = HeaderLines("setup.exe", "C:\\Drivers", "Title", {}, Repeated(11, "PCI\\VEN_8086"));
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
  RawPackage raw = PackageAroundAValidHeader();
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
  std::string title;
  std::vector<std::string> models;
  std::vector<std::string> devices;
};

const AcceptedCase kAcceptedHeaders[] = {
    {"SmallestHeader", "Title", {}, {}},
    {"TitleOf258Bytes", std::string(258, 'T'), {}, {}},
    {"HundredModels", "Title", Repeated(100, "Model"), {}},
    // Devices count only beside a model; the model stops the run at the
    // applicability check, under the title too.
    {"TenDevices", "Title", {"Model"}, Repeated(10, "PCI\\VEN_8086")},
};

void PrintTo(const AcceptedCase& c, std::ostream* os) { *os << c.name; }

class AcceptedHeader : public RunSpine, public ::testing::WithParamInterface<AcceptedCase> {};

TEST_P(AcceptedHeader, GetsPastTheHeaderUnderItsTitle) {
  PackageFields fields;
  fields.title = GetParam().title;
  fields.models = GetParam().models;
  fields.devices = GetParam().devices;
  ExpectPastTheHeaderUnder(WriteValidPackage("package.exe", fields), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(Packages, AcceptedHeader, ::testing::ValuesIn(kAcceptedHeaders),
                         [](const ::testing::TestParamInfo<AcceptedCase>& info) { return info.param.name; });

// Bytes between the image and the header that are not the builder's zero
// padding, line feeds and a "##" among them, are skipped by the reader.
TEST_F(RunSpine, GapBeforeTheHeaderIsSkipped) {
  RawPackage raw = PackageAroundAValidHeader();
  raw.gap = "bytes the reader skips\n##\n";
  ExpectPastTheHeaderUnder(WritePackage("package.exe", raw), "E2E Test Package");
}

// The title as the packager wrote it, converted to the code page of the
// machine the package is for, is the caption the user reads.
TEST_F(RunSpine, TitleInTheMachinesCodePageReadsAsWritten) {
  PackageFields fields;
  fields.title = IsJapaneseUi() ? u8"テスト用パッケージ（日本語）" : u8"Paquet d’essai – Größe ½";
  ExpectPastTheHeaderUnder(WriteValidPackage("package.exe", fields), fields.title);
}

}  // namespace
}  // namespace e2e
