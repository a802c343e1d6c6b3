// "mkpackage match": machines described on the command line against packages
// built here, decided by the unpacker's rules, with the deciding check and
// pattern named in the text and the JSON.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "command_runner.h"
#include "minimal_pe.h"
#include "mkpackage/mkpackage_cli.h"
#include "test_folder.h"

namespace {

using namespace mkpackage_test;

class MatchTest : public TestFolder, public CommandRunner {
 protected:
  void SetUp() override {
    TestFolder::SetUp();
    WriteFile(Path("unpacker.exe"), MinimalPe());
    WriteFile(Path("setup.exe"), "MZ payload");
    Build("models.exe",
          {"--model", "QR-7.B", "--model", "QR-80", "--model", "Caf\u00e9 .", "--model", "Z\u20ac"});
    Build("devices.exe",
          {"--model", "QR-7.B", "--device", "PCI\\VEN_10EC", "--device", "PCI\\VEN_8086&DEV_A0"});
    Build("all.exe", {"--all-models"});
  }

  void Build(const std::string& package, std::vector<std::string> patterns) {
    std::vector<std::string> arguments = {"build",           "--stub", Path("unpacker.exe"), "--payload",
                                          Path("setup.exe"), "--dest", "C:\\Drivers",        "--title",
                                          "Audio",           "-o",     Path(package)};
    arguments.insert(arguments.end(), patterns.begin(), patterns.end());
    ASSERT_EQ(RunCommand(arguments), 0) << err_;
  }

  int Match(const std::string& package, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"match", Path(package)});
    return RunCommand(arguments);
  }
};

struct MachineCase {
  const char* name;
  const char* package;
  std::vector<std::string> machine;
  int exitCode;
  const char* decidedBy;
  std::string reason;  // the whole text line
  nlohmann::json modelPattern, pciDevice, devicePattern;
};

void PrintTo(const MachineCase& machineCase, std::ostream* out) { *out << machineCase.name; }

const std::vector<std::string> kMaker = {"--manufacturer", "Ostravinel Corporation"};

std::vector<std::string> With(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), kMaker.begin(), kMaker.end());
  return arguments;
}

const MachineCase kMachines[] = {
    {"ModelWithWildcard", "models.exe", With({"--model", "QR-79B"}), 0, "model",
     "applicable: model: \"QR-79B\" matches the model pattern \"QR-7.B\"; the package names no devices",
     "QR-7.B", nullptr, nullptr},
    {"LongerModel", "models.exe", With({"--model", "QR-79BK"}), 0, "model",
     "applicable: model: \"QR-79BK\" matches the model pattern \"QR-7.B\"; the package names no devices",
     "QR-7.B", nullptr, nullptr},
    {"SecondPattern", "models.exe", With({"--model", "QR-80"}), 0, "model",
     "applicable: model: \"QR-80\" matches the model pattern \"QR-80\"; the package names no devices",
     "QR-80", nullptr, nullptr},
    {"OtherLastLetter", "models.exe", With({"--model", "QR-79C"}), 1, "model",
     "not applicable: model: \"QR-79C\" matches no model pattern", nullptr, nullptr, nullptr},
    {"LowerCaseModel", "models.exe", With({"--model", "qr-79b"}), 1, "model",
     "not applicable: model: \"qr-79b\" matches no model pattern", nullptr, nullptr, nullptr},
    {"ShorterThanPattern", "models.exe", With({"--model", "QR-7"}), 1, "model",
     "not applicable: model: \"QR-7\" matches no model pattern", nullptr, nullptr, nullptr},
    {"NoModelGiven", "models.exe", kMaker, 1, "model",
     "not applicable: model: none given (a failed WMI read)", nullptr, nullptr, nullptr},
    // U+00E9 reaches the unpacker as the byte 0xE9, which is also code page
    // 1252's; U+20AC (0x80 there) ends the WMI text before it.
    {"LatinLetterAsOneByte", "models.exe", With({"--model", "Caf\u00e9 9"}), 0, "model",
     "applicable: model: \"Caf\u00e9 9\" matches the model pattern \"Caf\u00e9 .\"; the package names no "
     "devices",
     "Caf\u00e9 .", nullptr, nullptr},
    {"EuroSignEndsTheText", "models.exe", With({"--model", "Z\u20ac"}), 1, "model",
     "not applicable: model: \"Z\" matches no model pattern", nullptr, nullptr, nullptr},
    {"OtherMaker",
     "models.exe",
     {"--manufacturer", "The Wine Project", "--model", "QR-79B"},
     1,
     "manufacturer",
     "not applicable: manufacturer: \"The Wine Project\" does not begin with \"Ostravinel\"",
     nullptr,
     nullptr,
     nullptr},
    {"MakerInLowerCase",
     "models.exe",
     {"--manufacturer", "ostravinel", "--model", "QR-79B"},
     1,
     "manufacturer",
     "not applicable: manufacturer: \"ostravinel\" does not begin with \"Ostravinel\"",
     nullptr,
     nullptr,
     nullptr},
    {"NoMakerGiven",
     "models.exe",
     {"--model", "QR-79B"},
     1,
     "manufacturer",
     "not applicable: manufacturer: none given (a failed WMI read)",
     nullptr,
     nullptr,
     nullptr},
    {"SwitchTurnsChecksOff",
     "models.exe",
     {"--manufacturer", "The Wine Project", "--no-check"},
     0,
     "switch",
     "applicable: switch: \"-a ZORV_NOCHECK\" turns the checks off",
     nullptr,
     nullptr,
     nullptr},
    {"AllModels",
     "all.exe",
     {"--manufacturer", "The Wine Project"},
     0,
     "all-models",
     "applicable: all-models: the package names no models, so no check runs",
     nullptr,
     nullptr,
     nullptr},
    {"AllModelsBeforeSwitch",
     "all.exe",
     {"--no-check"},
     0,
     "all-models",
     "applicable: all-models: the package names no models, so no check runs",
     nullptr,
     nullptr,
     nullptr},
    {"SecondDeviceSecondPattern", "devices.exe",
     With({"--model", "QR-79B", "--pci", "PCI\\VEN_1002&DEV_0001", "--pci",
           "PCI\\VEN_8086&DEV_A012&SUBSYS_1"}),
     0, "pci-devices",
     "applicable: pci-devices: \"PCI\\VEN_8086&DEV_A012&SUBSYS_1\" begins with the device pattern "
     "\"PCI\\VEN_8086&DEV_A0\" (model \"QR-79B\" matches the model pattern \"QR-7.B\")",
     "QR-7.B", "PCI\\VEN_8086&DEV_A012&SUBSYS_1", "PCI\\VEN_8086&DEV_A0"},
    {"DeviceInLowerCase", "devices.exe", With({"--model", "QR-79B", "--pci", "pci\\ven_10ec&dev_8168"}), 1,
     "pci-devices",
     "not applicable: pci-devices: no device given begins with a device pattern (model \"QR-79B\" matches "
     "the "
     "model pattern \"QR-7.B\")",
     "QR-7.B", nullptr, nullptr},
    {"NoDeviceGiven", "devices.exe", With({"--model", "QR-79B"}), 1, "pci-devices",
     "not applicable: pci-devices: no device given begins with a device pattern (model \"QR-79B\" matches "
     "the "
     "model pattern \"QR-7.B\")",
     "QR-7.B", nullptr, nullptr},
    {"ModelDecidesBeforeDevices", "devices.exe",
     With({"--model", "QR-79C", "--pci", "PCI\\VEN_10EC&DEV_8168"}), 1, "model",
     "not applicable: model: \"QR-79C\" matches no model pattern", nullptr, nullptr, nullptr},
};

class MatchMachines : public MatchTest, public testing::WithParamInterface<MachineCase> {};

TEST_P(MatchMachines, DecideAndNameTheDecidingCheck) {
  const MachineCase& machine = GetParam();
  EXPECT_EQ(Match(machine.package, machine.machine), machine.exitCode) << err_;
  EXPECT_EQ(out_, machine.reason + "\n");

  std::vector<std::string> json = machine.machine;
  json.push_back("--json");
  EXPECT_EQ(Match(machine.package, json), machine.exitCode) << err_;
  const auto document = nlohmann::json::parse(out_);
  EXPECT_EQ(document["applicable"], machine.exitCode == 0);
  EXPECT_EQ(document["decidedBy"], machine.decidedBy);
  EXPECT_EQ(document["reason"], machine.reason);
  EXPECT_EQ(document["modelPattern"], machine.modelPattern);
  EXPECT_EQ(document["pciDevice"], machine.pciDevice);
  EXPECT_EQ(document["devicePattern"], machine.devicePattern);
}

INSTANTIATE_TEST_SUITE_P(Table, MatchMachines, testing::ValuesIn(kMachines),
                         [](const testing::TestParamInfo<MachineCase>& info) { return info.param.name; });

TEST_F(MatchTest, TellsWhatTheUnpackerReadsOfTextWmiCannotCarry) {
  // A character above U+00FF ends the text the patterns meet.
  EXPECT_EQ(Match("models.exe", With({"--model", "QR-79B\u2122 Pro", "--json"})), 0) << err_;
  EXPECT_EQ(nlohmann::json::parse(out_)["model"], "QR-79B");
  EXPECT_EQ(err_,
            "mkpackage: notice: the unpacker reads the model as \"QR-79B\": its WMI text ends before "
            "the first character above U+00FF and after 99 bytes\n");
  // So does the 100-byte buffer, after 99 bytes.
  EXPECT_EQ(Match("models.exe", {"--manufacturer", "Ostravinel" + std::string(100, 'x'), "--model", "QR-80"}),
            0);
  EXPECT_NE(err_.find("reads the manufacturer as \"Ostravinel" + std::string(89, 'x') + "\""),
            std::string::npos)
      << err_;
}

TEST_F(MatchTest, ErrorsAreNeitherAnswer) {
  EXPECT_EQ(Match("models.exe", With({"--model", "QR-79B\xff"})), 2);
  EXPECT_NE(err_.find("model \"QR-79B\xff\" is not valid UTF-8 text"), std::string::npos) << err_;
  EXPECT_EQ(Match("devices.exe", With({"--model", "QR-79B", "--pci", "PCI\\VEN_\u30dd"})), 2);
  EXPECT_NE(err_.find("which code page 1252 cannot store"), std::string::npos) << err_;
  EXPECT_EQ(Match("missing.exe", kMaker), 2);
  EXPECT_NE(err_.find("cannot open"), std::string::npos) << err_;
  WriteFile(Path("broken.exe"), "1234567");
  EXPECT_EQ(Match("broken.exe", kMaker), 2);
  EXPECT_NE(err_.find("the unpacker would refuse this package"), std::string::npos) << err_;
  EXPECT_EQ(out_, "");
}

// What "machine --json" prints, a null being a read that failed there.
TEST_F(MatchTest, TakesTheMachineFromAFile) {
  WriteFile(Path("listed.json"),
            R"({"manufacturer": "Ostravinel Corporation", "model": "QR-79B", "unreadablePciDevices": 1,
                "pciInstanceIds": ["PCI\\VEN_1002&DEV_0001", "PCI\\VEN_10EC&DEV_8168&SUBSYS_1"]})");
  EXPECT_EQ(Match("devices.exe", {"--machine", Path("listed.json"), "--json"}), 0) << err_;
  EXPECT_EQ(nlohmann::json::parse(out_)["pciDevice"], "PCI\\VEN_10EC&DEV_8168&SUBSYS_1");

  WriteFile(Path("unlisted.json"),
            R"({"manufacturer": "Ostravinel Corporation", "model": "QR-79B", "pciInstanceIds": null})");
  EXPECT_EQ(Match("devices.exe", {"--machine", Path("unlisted.json")}), 1) << err_;
  EXPECT_EQ(out_,
            "not applicable: pci-devices: the device list cannot be made (model \"QR-79B\" matches the model "
            "pattern \"QR-7.B\")\n");

  WriteFile(Path("unread.json"), R"({"manufacturer": null, "model": "QR-79B", "pciInstanceIds": []})");
  EXPECT_EQ(Match("devices.exe", {"--machine", Path("unread.json")}), 1) << err_;
  EXPECT_EQ(out_, "not applicable: manufacturer: none given (a failed WMI read)\n");

  WriteFile(Path("odd.json"), R"({"manufacturer": "Ostravinel", "model": "QR-79B", "pciInstanceIds": [7]})");
  EXPECT_EQ(Match("devices.exe", {"--machine", Path("odd.json")}), 2);
  EXPECT_NE(err_.find("is not a machine as \"mkpackage machine --json\" prints it"), std::string::npos)
      << err_;
  // The file stands for the whole machine.
  const int mixed = Match("devices.exe", {"--machine", Path("listed.json"), "--model", "QR-79B"});
  EXPECT_NE(mixed, 0);
  EXPECT_NE(mixed, 1);
}

TEST_F(MatchTest, MachineNeedsWindows) {
  EXPECT_EQ(RunCommand({"machine"}), 1);
  EXPECT_NE(err_.find("\"machine\" needs Windows"), std::string::npos) << err_;
}

}  // namespace
