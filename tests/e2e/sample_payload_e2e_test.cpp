// The sample payload keeps the payload contract: with " -s" it writes the
// files it carries, subfolders included, into its current directory; started
// any other way it writes nothing and only says what it is for.
#include <string>
#include <vector>

#include "unpacker_test_fixture.h"

namespace e2e {
namespace {

constexpr DWORD kTimeoutMs = 15000;

class SamplePayloadRun : public UnpackerTest {
 protected:
  void StartSample(ProcessUnderTest& sample, const std::string& arguments) {
    std::string error;
    ASSERT_TRUE(sample.Start({ProgramPath("sample_payload.exe"), arguments, folder().path(), {}}, &error))
        << error;
  }
};

TEST_F(SamplePayloadRun, WritesItsFilesIntoTheCurrentDirectoryWhenStartedWithS) {
  ProcessUnderTest sample;
  StartSample(sample, "-s");
  const ExitReport report = sample.WaitForExit(kTimeoutMs);
  ASSERT_TRUE(report.exited);
  EXPECT_EQ(report.exitCode, 0u);
  for (const WindowInfo& window : report.windowsShown) ADD_FAILURE() << "showed " << window.Describe();

  EXPECT_EQ(FolderEntries(folder().path()),
            (std::vector<std::string>{"docs", "readme.txt", "release-notes.txt", "temp"}));
  EXPECT_EQ(FolderEntries(folder() / "docs"), std::vector<std::string>{"guide.txt"});
  std::string readme;
  ASSERT_TRUE(ReadWholeFile(folder() / "readme.txt", &readme));
  EXPECT_NE(readme.find("Sample package"), std::string::npos) << readme;
}

TEST_F(SamplePayloadRun, OtherwiseWritesNothingAndSaysWhatItIsFor) {
  ProcessUnderTest sample;
  StartSample(sample, "");
  WindowInfo box;
  ASSERT_TRUE(sample.WaitForWindow(&box, kTimeoutMs)) << "no explanation shown";
  EXPECT_EQ(box.kind, WindowKind::MessageBox) << box.Describe();
  EXPECT_NE(box.text.find("-s"), std::string::npos) << box.text;
  ASSERT_TRUE(PressButton(box.handle, IDOK));
  const ExitReport report = sample.WaitForExit(kTimeoutMs);
  ASSERT_TRUE(report.exited);
  EXPECT_NE(report.exitCode, 0u);
  EXPECT_EQ(FolderEntries(folder().path()), std::vector<std::string>{"temp"});
}

}  // namespace
}  // namespace e2e
