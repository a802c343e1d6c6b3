#include "machine/applicability.h"

#include <gtest/gtest.h>
#include <string.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using machine::DeviceRead;

constexpr char kIntelHostBridge[] = "PCI\\VEN_8086&DEV_1237&SUBSYS_00000000&REV_02\\3&267A616A&0&00";
constexpr char kVideo[] = "PCI\\VEN_1234&DEV_1111&SUBSYS_00000000&REV_02\\3&267A616A&0&10";

// The machine as the reads report it; a missing value is a failed read. Every
// read is noted, so a test sees which platform reads a decision made.
class FakeMachine final : public machine::MachineReads {
 public:
  std::optional<std::string> manufacturer = "Ostravinel Corporation";
  std::optional<std::string> model = "QR-79B";
  bool deviceListFails = false;
  std::vector<std::optional<std::string>> devices;  // nullopt: ID unreadable

  int ReadManufacturer(char (&text)[machine::kPropertyTextSize]) override {
    Note("manufacturer");
    return Answer(manufacturer, text);
  }
  int ReadModel(char (&text)[machine::kPropertyTextSize]) override {
    Note("model");
    return Answer(model, text);
  }
  int OpenPciDevices() override {
    Note("devices");
    EXPECT_FALSE(open_) << "device list made twice";
    open_ = !deviceListFails;
    return open_;
  }
  DeviceRead ReadPciDevice(int index, char (&instanceId)[machine::kInstanceIdSize]) override {
    EXPECT_TRUE(open_);
    EXPECT_EQ(index, devicesRead) << "devices must be read in rising order";
    ++devicesRead;
    if (index >= static_cast<int>(devices.size())) return DeviceRead::Ended;
    if (!devices[index]) return DeviceRead::Skipped;
    snprintf(instanceId, sizeof instanceId, "%s", devices[index]->c_str());
    return DeviceRead::Read;
  }
  void ClosePciDevices() override {
    EXPECT_TRUE(open_) << "closing a device list that was not made";
    open_ = false;
    ++closes;
  }

  bool open() const { return open_; }

  std::string reads;
  int devicesRead = 0;
  int closes = 0;

 private:
  void Note(const char* what) { reads += (reads.empty() ? "" : ", ") + std::string(what); }
  static int Answer(const std::optional<std::string>& value, char (&text)[machine::kPropertyTextSize]) {
    if (!value) return 0;
    snprintf(text, sizeof text, "%s", value->c_str());
    return 1;
  }

  bool open_ = false;
};

package::PackageHeader MakeHeader(const std::vector<std::string>& modelLines,
                                  const std::vector<std::string>& deviceLines) {
  package::PackageHeader header;
  memset(&header, 0, sizeof header);
  for (size_t i = 0; i < modelLines.size(); ++i)
    snprintf(header.modelPatterns[i], package::kModelSlotSize, "%s", modelLines[i].c_str());
  for (size_t i = 0; i < deviceLines.size(); ++i)
    snprintf(header.devicePatterns[i], package::kDeviceSlotSize, "%s", deviceLines[i].c_str());
  return header;
}

struct MatchCase {
  const char* pattern;
  std::string model;
  int match;
};

void PrintTo(const MatchCase& c, std::ostream* os) { *os << "'" << c.pattern << "' on '" << c.model << "'"; }

class ModelPattern : public testing::TestWithParam<MatchCase> {};

TEST_P(ModelPattern, FullStopMatchesOneCharacterNeverTheEnd) {
  EXPECT_EQ(machine::MatchModelPattern(GetParam().pattern, GetParam().model.c_str()), GetParam().match);
}

const std::string kNinetyNineDots(99, '.');
const std::string kHundredDots(100, '.');

INSTANTIATE_TEST_SUITE_P(Patterns, ModelPattern,
                         testing::Values(MatchCase{"QR-7.B", "QR-79B", 1}, MatchCase{"QR-7.B", "QR-79BK", 1},
                                         MatchCase{"QR-7.B", "QR-79C", 0}, MatchCase{"QR-7.B", "qr-79b", 0},
                                         MatchCase{"QR-7.B", "QR-7", 0}, MatchCase{"QR-7.", "QR-7", 0},
                                         MatchCase{"QR-7.", "QR-7.", 1}, MatchCase{".", "", 0},
                                         MatchCase{"...", "a b", 1}, MatchCase{"A.C", "ABD", 0},
                                         MatchCase{"QR-79B", "QR-79B", 1}, MatchCase{"QR-79B", " QR-79B", 0},
                                         // A working copy of 100 bytes holds 99 characters of the model.
                                         MatchCase{kNinetyNineDots.c_str(), std::string(99, 'M'), 1},
                                         MatchCase{kHundredDots.c_str(), std::string(150, 'M'), 0}));

struct ManufacturerCase {
  std::optional<std::string> manufacturer;
  int passes;
};

class Manufacturer : public testing::TestWithParam<ManufacturerCase> {};

TEST_P(Manufacturer, MustBeginWithThePrefixExactly) {
  FakeMachine machine;
  machine.manufacturer = GetParam().manufacturer;
  EXPECT_EQ(machine::CheckManufacturer(machine), GetParam().passes);
  EXPECT_EQ(machine.reads, "manufacturer");
}

INSTANTIATE_TEST_SUITE_P(Values, Manufacturer,
                         testing::Values(ManufacturerCase{"Ostravinel", 1},
                                         ManufacturerCase{"Ostravinel Corp.", 1},
                                         ManufacturerCase{"OstravinelX", 1}, ManufacturerCase{"Ostravine", 0},
                                         ManufacturerCase{"", 0}, ManufacturerCase{" Ostravinel", 0},
                                         ManufacturerCase{"ostravinel", 0}, ManufacturerCase{"OSTRAVINEL", 0},
                                         ManufacturerCase{"The Wine Project", 0},
                                         ManufacturerCase{std::nullopt, 0}));

// One whole decision: the inputs, the answer, the platform reads it took and
// the checks-enabled flag afterwards.
struct DecisionCase {
  const char* name;
  int checksEnabled;
  std::vector<std::string> modelLines;
  std::vector<std::string> deviceLines;
  std::optional<std::string> manufacturer;
  std::optional<std::string> model;
  std::vector<std::optional<std::string>> devices;
  bool deviceListFails;
  int applicable;
  const char* reads;
  int checksEnabledAfter;
};

const std::vector<std::string> kModels = {"QR-80.", "QR-7.B", "#"};
const std::vector<std::string> kNoDevices = {"##"};
const std::vector<std::string> kHostBridge = {"PCI\\VEN_8086&DEV_1237", "##"};
const std::optional<std::string> kMaker = "Ostravinel Corporation";

class Decision : public testing::TestWithParam<DecisionCase> {};

TEST_P(Decision, ReadsOnlyWhatDecides) {
  const DecisionCase& c = GetParam();
  FakeMachine machine;
  machine.manufacturer = c.manufacturer;
  machine.model = c.model;
  machine.devices = c.devices;
  machine.deviceListFails = c.deviceListFails;
  const package::PackageHeader header = MakeHeader(c.modelLines, c.deviceLines);
  int checksEnabled = c.checksEnabled;

  EXPECT_EQ(machine::IsMachineApplicable(&checksEnabled, header, machine), c.applicable);
  EXPECT_EQ(machine.reads, c.reads);
  EXPECT_EQ(checksEnabled, c.checksEnabledAfter);
  EXPECT_FALSE(machine.open()) << "device list left open";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Decision,
    testing::Values(
        DecisionCase{"SwitchGiven", 0, kModels, kHostBridge, std::nullopt, std::nullopt, {}, true, 1, "", 0},
        DecisionCase{"NoModels", 1, {"#"}, kHostBridge, std::nullopt, std::nullopt, {}, true, 1, "", 0},
        DecisionCase{
            "NoModelsWithSwitch", 0, {"#end"}, kNoDevices, std::nullopt, std::nullopt, {}, true, 1, "", 0},
        DecisionCase{"ManufacturerUnreadable",
                     1,
                     kModels,
                     kHostBridge,
                     std::nullopt,
                     "QR-79B",
                     {},
                     false,
                     0,
                     "manufacturer",
                     1},
        DecisionCase{"OtherMaker",
                     1,
                     kModels,
                     kHostBridge,
                     "The Wine Project",
                     "QR-79B",
                     {},
                     false,
                     0,
                     "manufacturer",
                     1},
        DecisionCase{"ModelUnreadable",
                     1,
                     kModels,
                     kNoDevices,
                     kMaker,
                     std::nullopt,
                     {},
                     false,
                     0,
                     "manufacturer, model",
                     1},
        DecisionCase{"ModelMatchesSecondPattern",
                     1,
                     kModels,
                     kNoDevices,
                     kMaker,
                     "QR-79BK",
                     {},
                     false,
                     1,
                     "manufacturer, model",
                     1},
        DecisionCase{"ModelMatchesNone",
                     1,
                     kModels,
                     kNoDevices,
                     kMaker,
                     "QR-79C",
                     {},
                     false,
                     0,
                     "manufacturer, model",
                     1},
        DecisionCase{"EmptyFirstModelLine",
                     1,
                     {"", "QR-79B", "#"},
                     kNoDevices,
                     kMaker,
                     "QR-79B",
                     {},
                     false,
                     0,
                     "manufacturer, model",
                     1},
        DecisionCase{"EmptyLineEndsModels",
                     1,
                     {"QR-80.", "", "QR-79B", "#"},
                     kNoDevices,
                     kMaker,
                     "QR-79B",
                     {},
                     false,
                     0,
                     "manufacturer, model",
                     1},
        DecisionCase{"DevicePresent",
                     1,
                     kModels,
                     kHostBridge,
                     kMaker,
                     "QR-79B",
                     {kVideo, kIntelHostBridge},
                     false,
                     1,
                     "manufacturer, model, devices",
                     1},
        DecisionCase{"DeviceAbsent",
                     1,
                     kModels,
                     kHostBridge,
                     kMaker,
                     "QR-79B",
                     {kVideo},
                     false,
                     0,
                     "manufacturer, model, devices",
                     1},
        DecisionCase{"DeviceListFails",
                     1,
                     kModels,
                     kHostBridge,
                     kMaker,
                     "QR-79B",
                     {kIntelHostBridge},
                     true,
                     0,
                     "manufacturer, model, devices",
                     1},
        DecisionCase{"EmptyFirstDeviceLine",
                     1,
                     kModels,
                     {"", "PCI\\VEN_8086", "##"},
                     kMaker,
                     "QR-79B",
                     {kIntelHostBridge},
                     false,
                     0,
                     "manufacturer, model, devices",
                     1},
        DecisionCase{"DeviceCaseDiffers",
                     1,
                     kModels,
                     {"PCI\\VEN_8086&dev_1237", "##"},
                     kMaker,
                     "QR-79B",
                     {kIntelHostBridge},
                     false,
                     0,
                     "manufacturer, model, devices",
                     1},
        DecisionCase{"UnreadableDeviceSkipped",
                     1,
                     kModels,
                     kHostBridge,
                     kMaker,
                     "QR-79B",
                     {std::nullopt, kIntelHostBridge},
                     false,
                     1,
                     "manufacturer, model, devices",
                     1}),
    [](const testing::TestParamInfo<DecisionCase>& info) { return info.param.name; });

TEST(PciDevices, FirstMatchingDeviceEndsTheWalkAndTheListIsClosedOnce) {
  FakeMachine machine;
  machine.devices = {kVideo, kIntelHostBridge, kIntelHostBridge};
  const package::PackageHeader header = MakeHeader({}, {"PCI\\VEN_1AF4", "PCI\\VEN_8086&DEV_1237", "##"});
  EXPECT_EQ(machine::CheckPciDevices(header.devicePatterns, machine), 1);
  EXPECT_EQ(machine.devicesRead, 2);
  EXPECT_EQ(machine.closes, 1);

  FakeMachine empty;
  EXPECT_EQ(machine::CheckPciDevices(header.devicePatterns, empty), 0);
  EXPECT_EQ(empty.devicesRead, 1);
  EXPECT_EQ(empty.closes, 1);
}

TEST(PciDevices, PatternIsAPrefixOfTheWholeId) {
  FakeMachine machine;
  machine.devices = {"PCI\\VEN_8086"};
  const package::PackageHeader longer = MakeHeader({}, {"PCI\\VEN_8086&DEV_1237", "##"});
  EXPECT_EQ(machine::CheckPciDevices(longer.devicePatterns, machine), 0);

  FakeMachine again;
  again.devices = {"PCI\\VEN_8086"};
  const package::PackageHeader exact = MakeHeader({}, {"PCI\\VEN_8086", "##"});
  EXPECT_EQ(machine::CheckPciDevices(exact.devicePatterns, again), 1);
}

TEST(PciDevices, AllElevenSlotsWithoutTerminatorAreTried) {
  std::vector<std::string> lines(package::kDeviceSlotCount, "PCI\\VEN_0000");
  lines.back() = "PCI\\VEN_8086";
  FakeMachine machine;
  machine.devices = {kIntelHostBridge};
  EXPECT_EQ(machine::CheckPciDevices(MakeHeader({}, lines).devicePatterns, machine), 1);
}

TEST(Models, AllSlotsFilledStopsAtTheLastSlot) {
  std::vector<std::string> lines(package::kModelSlotCount, "XX-1");
  FakeMachine machine;
  int checksEnabled = 1;
  EXPECT_EQ(machine::IsMachineApplicable(&checksEnabled, MakeHeader(lines, kNoDevices), machine), 0);
  lines.back() = "QR-7.B";
  EXPECT_EQ(machine::IsMachineApplicable(&checksEnabled, MakeHeader(lines, kNoDevices), machine), 1);
}

}  // namespace
