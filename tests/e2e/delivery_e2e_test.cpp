// Payload delivery as the user meets it: a whole run through the licence and
// destination dialogs, then the payload written, run and its results moved,
// each ending in its one box. The payload is recording_payload.exe, which
// leaves invocation.txt (its command line and current directory) beside the
// files it carries.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "res/resource_ids.h"
#include "unpacker_test_fixture.h"

namespace e2e {
namespace {

constexpr DWORD kTimeoutMs = 15000;
constexpr char kPayloadName[] = "payload.exe";
constexpr char kTitle[] = "Delivery Test Package";

// What the recording payload carries (tests/e2e/recording_payload_files).
const std::vector<std::pair<std::string, std::string>> kCarriedFiles = {
    {"readme.txt", "Top-level file, new contents.\r\n"},
    {"sub\\inner.txt", "In a subfolder.\r\n"},
    {"sub\\deeper\\leaf.txt", "Two levels down.\r\n"},
};

std::string RecordingPayload() {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(ProgramPath("recording_payload.exe"), &bytes));
  return bytes;
}

// The recording payload with bytes behind its image, which Windows never
// loads: still a payload that runs, and long enough (over a thousand chunks)
// for a copy to fail in its middle.
std::string LongRecordingPayload() {
  std::string bytes = RecordingPayload();
  for (size_t i = 0; i < (1u << 20); ++i) bytes.push_back(static_cast<char>(i * 131 + (i >> 12)));
  return bytes;
}

std::string Filled(const std::string& text, const std::string& fill) {
  std::string filled = text;
  const size_t at = filled.find("%s");
  if (at != std::string::npos) filled.replace(at, 2, fill);
  return filled;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// A work folder is named like a unique temporary file of prefix "unpack":
// "unp", up to four hex digits, ".tmp".
bool IsWorkFolderName(const std::string& name) {
  if (name.size() < 9 || name.size() > 11 || !StartsWith(name, "unp")) return false;
  if (name.compare(name.size() - 4, 4, ".tmp") != 0) return false;
  for (size_t i = 3; i < name.size() - 4; ++i)
    if (!isxdigit(static_cast<unsigned char>(name[i]))) return false;
  return true;
}

class Delivery : public UnpackerTest {
 protected:
  std::string WriteDeliveryPackage(const std::string& payload, const std::string& stub = "unpacker.exe",
                                   const std::string& payloadName = kPayloadName) {
    PackageFields fields;
    fields.stub = stub;
    fields.payloadFileName = payloadName;
    fields.title = kTitle;
    fields.payload = payload;
    return WriteValidPackage("package.exe", fields);
  }

  // A folder under the test's folder whose path, with the backslash that
  // GetTempPathA adds, is `length` characters long.
  std::string FolderOfPathLength(size_t length) {
    std::string path = folder().path();
    EXPECT_LT(path.size() + 2, length) << "the test's folder is already too long";
    while (path.size() + 1 < length)
      path += "\\" + std::string(std::min<size_t>(100, length - path.size() - 2), 'x');
    EXPECT_TRUE(MakeFolder(path)) << path;
    return path;
  }

  // Runs use `temp` as their temporary folder instead of tempFolder().
  void UseTemporaryFolder(const std::string& temp) { temp_ = temp; }
  const std::string& temp() const { return temp_.empty() ? tempFolder() : temp_; }
  std::string PayloadPath() const { return JoinPath(temp(), kPayloadName); }

  // Accepts the licence and confirms `destination` in the destination dialog;
  // a destination that exists brings message 15 first, answered Yes.
  void AcceptAndChoose(ProcessUnderTest& unpacker, const std::string& destination) {
    const bool exists = FileExists(destination);
    WindowInfo licence;
    ASSERT_TRUE(unpacker.WaitForWindow(&licence, kTimeoutMs)) << "no licence dialog";
    ASSERT_NE(licence.FindControl(IDC_LICENCE_TEXT), nullptr) << licence.Describe();
    ASSERT_TRUE(PressButton(licence.handle, IDYES));
    ASSERT_TRUE(unpacker.WaitForWindowGone(licence.handle, kTimeoutMs));

    WindowInfo chooser;
    ASSERT_TRUE(unpacker.WaitForWindow(&chooser, kTimeoutMs)) << "no destination dialog";
    ASSERT_NE(chooser.FindControl(IDC_DESTINATION_PATH), nullptr) << chooser.Describe();
    ASSERT_TRUE(TypeText(chooser.handle, IDC_DESTINATION_PATH, destination));
    ASSERT_TRUE(PressButton(chooser.handle, IDOK));
    if (exists) {
      WindowInfo question;
      ASSERT_TRUE(unpacker.WaitForWindow(&question, kTimeoutMs)) << "no question about " << destination;
      ASSERT_EQ(question.kind, WindowKind::MessageBox) << question.Describe();
      ASSERT_TRUE(PressButton(question.handle, IDYES));
      ASSERT_TRUE(unpacker.WaitForWindowGone(question.handle, kTimeoutMs));
    }
    ASSERT_TRUE(unpacker.WaitForWindowGone(chooser.handle, kTimeoutMs));
  }

  // One whole run: the dialogs answered for `destination`, then the one box
  // that ends delivery, then the exit.
  void RunToFinalBox(const std::string& package, const std::string& destination, const ExpectedBox& box,
                     DWORD exitCode, std::vector<std::pair<std::string, std::string>> faults = {}) {
    ProcessUnderTest unpacker;
    if (temp_.empty()) {
      Start(unpacker, package, std::move(faults));
    } else {
      faults.emplace_back("TMP", temp_);
      faults.emplace_back("TEMP", temp_);
      std::string error;
      ASSERT_TRUE(unpacker.Start({package, "", folder().path(), faults}, &error)) << error;
    }
    AcceptAndChoose(unpacker, destination);
    if (HasFatalFailure()) return;
    ExpectOnlyBoxThenExit(unpacker, box, exitCode);
  }

  static ExpectedBox Warning(int messageId) {
    return {ExpectedMessage(messageId), ExpectedAppCaption(), BoxIcon::Warning};
  }

  // After a stop that keeps them: the payload file, and the work folder
  // still holding everything the payload left.
  void ExpectPayloadFileAndFullWorkFolder() {
    const std::vector<std::string> entries = FolderEntries(temp());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], kPayloadName);
    EXPECT_TRUE(IsWorkFolderName(entries[1])) << entries[1];
    EXPECT_EQ(FolderEntries(JoinPath(temp(), entries[1])),
              (std::vector<std::string>{"invocation.txt", "readme.txt", "sub"}));
  }

 private:
  std::string temp_;
};

struct CompletedCase {
  const char* name;
  bool destinationExists;
};

class DeliveryCompletes : public Delivery, public ::testing::WithParamInterface<CompletedCase> {};

// The payload runs with " -s" in a fresh work folder; everything it leaves,
// subfolders included, ends up in the destination, which is made with its
// missing parents or, where it exists, has same-named files replaced and the
// rest kept. Neither the payload file nor the work folder stays behind.
TEST_P(DeliveryCompletes, MovesEverythingAndCleansUp) {
  const std::string package = WriteDeliveryPackage(RecordingPayload());
  const std::string destination = folder() / "missing\\parents\\destination";
  if (GetParam().destinationExists) {
    ASSERT_TRUE(MakeFolder(destination));
    ASSERT_TRUE(WriteWholeFile(JoinPath(destination, "readme.txt"), "old contents"));
    ASSERT_TRUE(WriteWholeFile(JoinPath(destination, "unrelated.txt"), "kept"));
  }

  RunToFinalBox(package, destination, {ExpectedMessage(10), kTitle, BoxIcon::Information}, 1);

  for (const auto& [path, contents] : kCarriedFiles) {
    std::string found;
    EXPECT_TRUE(ReadWholeFile(JoinPath(destination, path), &found)) << path;
    EXPECT_EQ(found, contents) << path;
  }
  std::string unrelated;
  EXPECT_EQ(ReadWholeFile(JoinPath(destination, "unrelated.txt"), &unrelated), GetParam().destinationExists);
  EXPECT_EQ(FolderEntries(tempFolder()), std::vector<std::string>{});

  std::string record;
  ASSERT_TRUE(ReadWholeFile(JoinPath(destination, "invocation.txt"), &record));
  const std::vector<std::string> lines = Lines(record);
  ASSERT_EQ(lines.size(), 2u) << record;
  EXPECT_EQ(lines[0], "[ -s]") << "the payload's whole command line";
  const std::string workFolder = lines[1];
  ASSERT_TRUE(StartsWith(workFolder, tempFolder() + "\\")) << workFolder;
  EXPECT_TRUE(IsWorkFolderName(workFolder.substr(tempFolder().size() + 1))) << workFolder;
}

INSTANTIATE_TEST_SUITE_P(Destinations, DeliveryCompletes,
                         ::testing::Values(CompletedCase{"IntoMissingFolder", false},
                                           CompletedCase{"IntoExistingFolder", true}),
                         [](const ::testing::TestParamInfo<CompletedCase>& info) { return info.param.name; });

class DeliveryFindsPayloadName : public Delivery, public ::testing::WithParamInterface<bool> {};

// Anything of the payload's name in the temporary folder, file or folder,
// stops the run before anything is written, naming the full path.
TEST_P(DeliveryFindsPayloadName, StopsWithMessage5NamingThePath) {
  const bool isFolder = GetParam();
  if (isFolder)
    ASSERT_TRUE(MakeFolder(PayloadPath()));
  else
    ASSERT_TRUE(WriteWholeFile(PayloadPath(), "left from an earlier run"));
  const std::string package = WriteDeliveryPackage(RecordingPayload());
  const std::string destination = folder() / "destination";

  RunToFinalBox(package, destination,
                {Filled(ExpectedMessage(5), PayloadPath()), ExpectedAppCaption(), BoxIcon::Warning}, 0);

  EXPECT_EQ(FolderEntries(tempFolder()), std::vector<std::string>{kPayloadName});
  std::string contents;
  if (!isFolder) {
    EXPECT_TRUE(ReadWholeFile(PayloadPath(), &contents));
    EXPECT_EQ(contents, "left from an earlier run");
  }
  EXPECT_FALSE(FileExists(destination));
}

INSTANTIATE_TEST_SUITE_P(Kinds, DeliveryFindsPayloadName, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Folder" : "File");
                         });

// A file that appears between the search for the payload's name and the
// payload file's creation (the search is made to find nothing) is never
// opened: message 6, the file untouched and not run.
TEST_F(Delivery, FilePlantedAfterTheSearchIsNeverWrittenOrRun) {
  ASSERT_TRUE(WriteWholeFile(PayloadPath(), "planted"));
  const std::string package = WriteDeliveryPackage(RecordingPayload(), "unpacker_faults.exe");
  const std::string destination = folder() / "destination";

  RunToFinalBox(package, destination, Warning(6), 0, {{"UNPACKER_FAULTS", "FindFirstFileA:1"}});

  std::string contents;
  EXPECT_TRUE(ReadWholeFile(PayloadPath(), &contents));
  EXPECT_EQ(contents, "planted");
  EXPECT_EQ(FolderEntries(tempFolder()), std::vector<std::string>{kPayloadName});
  EXPECT_FALSE(FileExists(destination));
}

// The filled-in text of message 5 would pass its 259 bytes: the path is
// shortened and ends in "...", never written past the buffer.
TEST_F(Delivery, Message5ShortensAPathTooLongForItsText) {
  UseTemporaryFolder(FolderOfPathLength(246));
  ASSERT_TRUE(WriteWholeFile(PayloadPath(), "left from an earlier run"));
  const std::string package = WriteDeliveryPackage(RecordingPayload());
  const std::string text = ExpectedMessage(5);
  const std::string head = text.substr(0, text.find("%s"));
  const std::wstring wideHead = Widen(head);
  const size_t headBytes = static_cast<size_t>(WideCharToMultiByte(
      CP_ACP, 0, wideHead.c_str(), static_cast<int>(wideHead.size()), nullptr, 0, nullptr, nullptr));
  const std::string shown = head + PayloadPath().substr(0, 259 - headBytes - 3) + "...";
  ASSERT_GT(PayloadPath().size(), 259 - headBytes) << "the path fits; the test would prove nothing";

  RunToFinalBox(package, folder() / "destination", {shown, ExpectedAppCaption(), BoxIcon::Warning}, 0);

  EXPECT_EQ(FolderEntries(temp()), std::vector<std::string>{kPayloadName});
}

struct LongTemporaryFolder {
  const char* name;
  size_t length;  // as GetTempPathA gives it, with the trailing backslash
  const char* payloadName;
  int messageId;
};

class DeliveryInLongTemporaryFolder : public Delivery,
                                      public ::testing::WithParamInterface<LongTemporaryFolder> {};

// A temporary folder that leaves no room in 260 bytes for the payload path,
// for a unique name, or for the move's list of "<work folder>\*.*" and its
// two NULs: each stops with its message before the payload runs and leaves
// the folder as it was.
TEST_P(DeliveryInLongTemporaryFolder, StopsBeforeThePayloadRuns) {
  const LongTemporaryFolder& c = GetParam();
  UseTemporaryFolder(FolderOfPathLength(c.length));
  const std::string package = WriteDeliveryPackage(RecordingPayload(), "unpacker.exe", c.payloadName);
  const std::string destination = folder() / "destination";

  RunToFinalBox(package, destination, Warning(c.messageId), 0);

  EXPECT_EQ(FolderEntries(temp()), std::vector<std::string>{});
  EXPECT_FALSE(FileExists(destination));
}

INSTANTIATE_TEST_SUITE_P(Lengths, DeliveryInLongTemporaryFolder,
                         ::testing::Values(
                             // "unpXXXX.tmp" makes a work folder of 257 characters: no room for "\*.*".
                             LongTemporaryFolder{"WorkFolderLeavesNoRoomForTheMove", 246, "p.exe", 7},
                             // Past what the unique naming takes (MAX_PATH - 14).
                             LongTemporaryFolder{"NoRoomForAUniqueName", 250, "p.exe", 7},
                             LongTemporaryFolder{"NoRoomForThePayloadPath", 250, "payload.exe", 6}),
                         [](const ::testing::TestParamInfo<LongTemporaryFolder>& info) {
                           return info.param.name;
                         });

TEST_F(Delivery, PayloadThatCannotStartGivesMessage7AndLeavesNothing) {
  const std::string package = WriteDeliveryPackage("This is text, not a program.\r\n");
  const std::string destination = folder() / "destination";

  RunToFinalBox(package, destination, Warning(7), 0);

  EXPECT_EQ(FolderEntries(tempFolder()), std::vector<std::string>{});
  EXPECT_FALSE(FileExists(destination));
}

struct MoveFailure {
  const char* name;
  const char* destination;
  bool destinationIsFile;
};

class DeliveryMoveFails : public Delivery, public ::testing::WithParamInterface<MoveFailure> {};

// The payload ran but its results could not reach the destination: message 9,
// the results kept in the work folder, the payload file left where it was
// written, holding exactly the bytes between the header and the trailer, so
// 8 bytes fewer than the package holds from the first payload byte on.
TEST_P(DeliveryMoveFails, KeepsWorkFolderAndPayloadFile) {
  const MoveFailure& failure = GetParam();
  // A file under the test's folder, or a folder on a drive that does not exist.
  const std::string destination =
      failure.destinationIsFile ? folder() / failure.destination : failure.destination;
  if (failure.destinationIsFile) {
    ASSERT_TRUE(WriteWholeFile(destination, "a file, not a folder"));
  } else {
    const std::string root = destination.substr(0, 3);
    ASSERT_EQ(GetDriveTypeA(root.c_str()), static_cast<UINT>(DRIVE_NO_ROOT_DIR)) << root << " exists";
  }
  const std::string payload = RecordingPayload();
  const std::string package = WriteDeliveryPackage(payload);

  RunToFinalBox(package, destination, Warning(9), 0);

  std::string written;
  ASSERT_TRUE(ReadWholeFile(PayloadPath(), &written)) << "the payload file was not kept";
  EXPECT_EQ(written.size(), payload.size());
  EXPECT_TRUE(written == payload) << "the payload file's bytes differ from the package's payload";

  ExpectPayloadFileAndFullWorkFolder();
  if (failure.destinationIsFile) {
    std::string contents;
    EXPECT_TRUE(ReadWholeFile(destination, &contents));
    EXPECT_EQ(contents, "a file, not a folder");
  }
}

INSTANTIATE_TEST_SUITE_P(Destinations, DeliveryMoveFails,
                         ::testing::Values(MoveFailure{"DestinationIsAFile", "destination.txt", true},
                                           MoveFailure{"DestinationOnAMissingDrive", "Q:\\destination",
                                                       false}),
                         [](const ::testing::TestParamInfo<MoveFailure>& info) { return info.param.name; });

// Windows calls made to fail in unpacker_faults.exe.
struct DeliveryFault {
  const char* name;
  const char* faults;  // UNPACKER_FAULTS
  int messageId;
  bool keepsPayloadAndWorkFolder;
};

class DeliveryFaults : public Delivery, public ::testing::WithParamInterface<DeliveryFault> {};

// A copy cut short, a work folder that is not this run's own, or a move that
// reports success yet moved nothing: each must stop with its message and never
// report completion. Without the checks, the first three would run the payload
// (the cut is far behind its image) and all would end in message 10.
TEST_P(DeliveryFaults, StopWithTheirMessageInsteadOfCompleting) {
  const DeliveryFault& fault = GetParam();
  const std::string package = WriteDeliveryPackage(LongRecordingPayload(), "unpacker_faults.exe");
  const std::string destination = folder() / "destination";

  RunToFinalBox(package, destination, Warning(fault.messageId), 0, {{"UNPACKER_FAULTS", fault.faults}});

  EXPECT_EQ(FolderEntries(destination), std::vector<std::string>{}) << "something was delivered";
  if (fault.keepsPayloadAndWorkFolder)
    ExpectPayloadFileAndFullWorkFolder();
  else
    EXPECT_EQ(FolderEntries(tempFolder()), std::vector<std::string>{})
        << "a partial payload or a work folder was left";
}

INSTANTIATE_TEST_SUITE_P(
    Calls, DeliveryFaults,
    ::testing::Values(
        // Call 600 lies in the copy: the header takes fewer, the payload over
        // a thousand.
        DeliveryFault{"WriteFailsWithDiskFull", "WriteFile:600@112", 6, false},
        DeliveryFault{"ReadFailsDuringCopy", "ReadFile:600@23", 2, false},
        DeliveryFault{"WorkFolderNameTakenMeanwhile", "CreateDirectoryA:1@183", 7, false},
        DeliveryFault{"NoUniqueNameToBeHad", "GetTempFileNameA:1@80", 7, false},
        // Reported as done with nothing moved, as a shell may answer for a
        // destination it did not create.
        DeliveryFault{"MoveReportsSuccessButMovesNothing", "SHFileOperationA:1=0", 9, true}),
    [](const ::testing::TestParamInfo<DeliveryFault>& info) { return info.param.name; });

}  // namespace
}  // namespace e2e
