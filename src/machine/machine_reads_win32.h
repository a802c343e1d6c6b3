// This computer as the applicability rules read it: WMI for the maker and
// model, SetupAPI for the present PCI devices. The unpacker decides with it,
// and mkpackage shows with it what a computer reports.
#pragma once

#include "platform/windows_api.h"

#include <setupapi.h>

#include "machine/applicability.h"
#include "machine/wmi_session_win32.h"

namespace machine {

class Win32MachineReads final : public MachineReads {
 public:
  int ReadManufacturer(char (&text)[kPropertyTextSize]) override {
    return g_wmiSession.ReadWmiProperty(kComputerSystemClass, L"Manufacturer", text);
  }

  int ReadModel(char (&text)[kPropertyTextSize]) override {
    return g_wmiSession.ReadWmiProperty(kComputerSystemClass, L"Model", text);
  }

  int OpenPciDevices() override {
    devices_ = SetupDiGetClassDevsA(nullptr, "PCI", nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (devices_ == INVALID_HANDLE_VALUE) return 0;
    device_.cbSize = sizeof device_;
    return 1;
  }

  DeviceRead ReadPciDevice(int index, char (&instanceId)[kInstanceIdSize]) override {
    if (!SetupDiEnumDeviceInfo(devices_, static_cast<DWORD>(index), &device_)) return DeviceRead::Ended;
    DWORD requiredSize = 0;
    if (!SetupDiGetDeviceInstanceIdA(devices_, &device_, instanceId, kInstanceIdSize, &requiredSize))
      return DeviceRead::Skipped;
    return DeviceRead::Read;
  }

  void ClosePciDevices() override { SetupDiDestroyDeviceInfoList(devices_); }

 private:
  static constexpr wchar_t kComputerSystemClass[] = L"Win32_ComputerSystem";

  HDEVINFO devices_ = INVALID_HANDLE_VALUE;
  SP_DEVINFO_DATA device_ = {};
};

}  // namespace machine
