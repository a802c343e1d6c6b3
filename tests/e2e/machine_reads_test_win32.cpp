// The applicability decision through the Windows layer, under Wine: the maker
// and model come from fake WMI objects, the PCI devices from Wine's own
// SetupAPI, the patterns from the process-wide package header. Each locator
// the reader creates is one WMI read, so the fake's count shows which reads a
// decision made.
#include "machine/applicability_win32.h"

#include <gtest/gtest.h>
#include <string.h>

#include <setupapi.h>

#include <string>
#include <vector>

#include "app/process_values_win32.h"
#include "fake_wmi_win32.h"

namespace {

using fake_wmi::Text;

// The instance ID of the first present PCI device, read here without the
// reader's code; empty when the system lists none.
std::string FirstPciDeviceId() {
  const HDEVINFO devices = SetupDiGetClassDevsA(nullptr, "PCI", nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
  if (devices == INVALID_HANDLE_VALUE) return "";
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof device;
  char id[1023] = "";
  if (!SetupDiEnumDeviceInfo(devices, 0, &device) ||
      !SetupDiGetDeviceInstanceIdA(devices, &device, id, sizeof id, nullptr))
    id[0] = '\0';
  SetupDiDestroyDeviceInfoList(devices);
  return id;
}

template <int Count, int Size>
void SetLines(char (&slots)[Count][Size], const std::vector<std::string>& lines) {
  memset(slots, 0, sizeof slots);
  for (size_t i = 0; i < lines.size(); ++i) snprintf(slots[i], Size, "%s", lines[i].c_str());
}

// A computer that WMI reports as an Ostravinel QR-79B, and a package for that
// model that names no devices.
class MachineOnWindows : public fake_wmi::FakeWmiTest {
 protected:
  void SetUp() override {
    FakeWmiTest::SetUp();
    SetMaker(L"Ostravinel Corporation");
    memset(&app::g_packageHeader, 0, sizeof app::g_packageHeader);
    SetLines(app::g_packageHeader.modelPatterns, {"QR-7.B", "#"});
    SetLines(app::g_packageHeader.devicePatterns, {"##"});
    app::g_checksEnabled = 1;
  }

  void SetMaker(const std::wstring& manufacturer) {
    wmi.instances = {{L"Win32_ComputerSystem.Name=\"PC\"",
                      {Text(L"Manufacturer", manufacturer), Text(L"Model", L"QR-79B")}}};
  }

  int wmiReads() const { return wmi.log.locatorsCreated; }
};

TEST_F(MachineOnWindows, MakerAndModelDecideWhenNoDevicesAreNamed) {
  EXPECT_EQ(machine::IsMachineApplicable(), 1);
  EXPECT_EQ(wmiReads(), 2);
  EXPECT_EQ(app::g_checksEnabled, 1);
}

TEST_F(MachineOnWindows, OtherMakerIsNotAskedForItsModel) {
  SetMaker(L"The Wine Project");
  EXPECT_EQ(machine::IsMachineApplicable(), 0);
  EXPECT_EQ(wmiReads(), 1);
}

TEST_F(MachineOnWindows, SwitchReadsNothing) {
  SetMaker(L"The Wine Project");
  app::g_checksEnabled = 0;
  EXPECT_EQ(machine::IsMachineApplicable(), 1);
  EXPECT_EQ(wmiReads(), 0);
}

TEST_F(MachineOnWindows, PackageWithoutModelsReadsNothingAndTurnsTheChecksOff) {
  SetMaker(L"The Wine Project");
  SetLines(app::g_packageHeader.modelPatterns, {"#"});
  EXPECT_EQ(machine::IsMachineApplicable(), 1);
  EXPECT_EQ(wmiReads(), 0);
  EXPECT_EQ(app::g_checksEnabled, 0);
}

// Device patterns made from the ID of a device that Wine lists.
struct DeviceCase {
  const char* name;
  std::vector<std::string> (*patterns)(const std::string& presentId);
  int applicable;
};

std::string VendorPart(const std::string& id) { return id.substr(0, id.find('&')); }

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

const DeviceCase kDeviceCases[] = {
    {"VendorOfAPresentDevice",
     [](const std::string& id) {
       return std::vector<std::string>{VendorPart(id), "##"};
     },
     1},
    {"WholeIdOfAPresentDevice",
     [](const std::string& id) {
       return std::vector<std::string>{id, "##"};
     },
     1},
    {"SecondPatternMatches",
     [](const std::string& id) {
       return std::vector<std::string>{"PCI\\VEN_NONE", VendorPart(id), "##"};
     },
     1},
    {"NoDeviceOfThatVendor",
     [](const std::string&) {
       return std::vector<std::string>{"PCI\\VEN_NONE", "##"};
     },
     0},
    {"LetterCaseDiffers",
     [](const std::string& id) {
       return std::vector<std::string>{Lowered(VendorPart(id)), "##"};
     },
     0},
    {"LongerThanTheId",
     [](const std::string& id) {
       return std::vector<std::string>{id + "0", "##"};
     },
     0},
    {"EmptyFirstDeviceLine",
     [](const std::string& id) {
       return std::vector<std::string>{"", VendorPart(id), "##"};
     },
     0},
};

class PciDevices : public MachineOnWindows, public testing::WithParamInterface<DeviceCase> {};

TEST_P(PciDevices, PresentDeviceMustBeginWithAPattern) {
  const std::string presentId = FirstPciDeviceId();
  if (presentId.empty()) GTEST_SKIP() << "this system lists no PCI device";
  ASSERT_NE(Lowered(VendorPart(presentId)), VendorPart(presentId)) << presentId;
  SetLines(app::g_packageHeader.devicePatterns, GetParam().patterns(presentId));
  EXPECT_EQ(machine::IsMachineApplicable(), GetParam().applicable) << "present: " << presentId;
  EXPECT_EQ(wmiReads(), 2);
}

INSTANTIATE_TEST_SUITE_P(Patterns, PciDevices, testing::ValuesIn(kDeviceCases),
                         [](const testing::TestParamInfo<DeviceCase>& info) { return info.param.name; });

}  // namespace
