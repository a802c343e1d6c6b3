// The applicability decision as the user meets it under Wine, whose WMI names
// "The Wine Project" as the maker: a package that names models stops with
// message 3 unless the switch turns the checks off; a package that names none
// goes on.
#include <string>
#include <vector>

#include "unpacker_test_fixture.h"

namespace e2e {
namespace {

constexpr DWORD kTimeoutMs = 15000;
constexpr char kTitle[] = "Applicability Test Package";
constexpr int kLicenceTextId = 1000;  // the licence dialog's text box

class Applicability : public UnpackerTest {
 protected:
  std::string WritePackageFor(const std::vector<std::string>& models,
                              const std::vector<std::string>& devices = {}) {
    PackageFields fields;
    fields.title = kTitle;
    fields.models = models;
    fields.devices = devices;
    return WriteValidPackage("package.exe", fields);
  }

  void ExpectMessage3(const std::string& package, const std::string& arguments) {
    ProcessUnderTest unpacker;
    Start(unpacker, package, {}, arguments);
    ExpectOnlyBoxThenExit(unpacker, {ExpectedMessage(3), kTitle, BoxIcon::Warning});
    EXPECT_EQ(FolderEntries(tempFolder()), std::vector<std::string>{});
  }

  // Past the decision the licence stage comes: its dialog under the title
  // (declined here, which ends with message 16), or, in a build that cannot
  // show the dialog, message 16 straight away. Either way no message 3 came.
  void ExpectLicenceStage(const std::string& package, const std::string& arguments) {
    ProcessUnderTest unpacker;
    Start(unpacker, package, {}, arguments);
    WindowInfo window;
    ASSERT_TRUE(unpacker.WaitForWindow(&window, kTimeoutMs)) << "no window after the decision";
    const ExpectedBox notAccepted = {ExpectedMessage(16), kTitle, BoxIcon::Information};
    if (window.FindControl(kLicenceTextId) != nullptr) {
      EXPECT_EQ(window.caption, kTitle) << window.Describe();
      ASSERT_TRUE(PressButton(window.handle, IDNO));
      ExpectOnlyBoxThenExit(unpacker, notAccepted);
      return;
    }
    ExpectBox(window, notAccepted);
    ASSERT_TRUE(PressButton(window.handle, IDOK));
    const ExitReport report = unpacker.WaitForExit(kTimeoutMs);
    ASSERT_TRUE(report.exited);
    EXPECT_EQ(report.exitCode, 0u);
  }
};

const std::vector<std::string> kModels = {"QR-7.B", "Wine"};

// The maker is checked before the model, so a pattern that matches Wine's
// model does not make the package apply.
TEST_F(Applicability, OtherMakerStopsWithMessage3UnderTheTitle) {
  ExpectMessage3(WritePackageFor(kModels), "");
}

TEST_F(Applicability, PackageNamingDevicesStopsAtTheMakerToo) {
  ExpectMessage3(WritePackageFor(kModels, {"PCI\\VEN_8086"}), "");
}

// An empty first model line names a model no machine has. The builder
// refuses to write one, so the package is assembled by hand.
TEST_F(Applicability, EmptyFirstModelLineStopsWithMessage3) {
  RawPackage raw;
  raw.stubPath = ProgramPath("unpacker.exe");
  raw.header = HeaderLines("setup.exe", "C:\\Drivers\\E2E", kTitle, {"", "Wine"});
  raw.payload = SamplePayload();
  ExpectMessage3(WritePackage("package.exe", raw), "");
}

TEST_F(Applicability, NoModelsGoesOnWithoutTheSwitch) { ExpectLicenceStage(WritePackageFor({}), ""); }

class SwitchOff : public Applicability, public ::testing::WithParamInterface<const char*> {};

TEST_P(SwitchOff, GoesOnToTheLicence) { ExpectLicenceStage(WritePackageFor(kModels), GetParam()); }

INSTANTIATE_TEST_SUITE_P(Arguments, SwitchOff,
                         ::testing::Values("-a ZORV_NOCHECK", "/x -a ZORV_NOCHECK /y", "x-a ZORV_NOCHECKy",
                                           "\"-a ZORV_NOCHECK\""));

class SwitchLookalike : public Applicability, public ::testing::WithParamInterface<const char*> {};

TEST_P(SwitchLookalike, LeavesTheChecksOn) { ExpectMessage3(WritePackageFor(kModels), GetParam()); }

INSTANTIATE_TEST_SUITE_P(Arguments, SwitchLookalike,
                         ::testing::Values("-A ZORV_NOCHECK", "-a zorv_nocheck", "-aZORV_NOCHECK",
                                           "-a  ZORV_NOCHECK", "-a ZORV_NOCHEC"));

}  // namespace
}  // namespace e2e
