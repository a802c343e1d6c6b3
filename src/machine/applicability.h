// Whether the package applies to this computer: the maker's prefix, the model
// patterns and the present PCI devices, checked in a fixed order that reads the
// machine no more than the answer needs.
#pragma once

#include "machine/property_text.h"
#include "package/package_layout.h"

namespace machine {

constexpr char kManufacturerPrefix[] = "Ostravinel";
constexpr char kModelWildcard = '.';
constexpr int kInstanceIdSize = 1023;

using ModelPatterns = char[package::kModelSlotCount][package::kModelSlotSize];
using DevicePatterns = char[package::kDeviceSlotCount][package::kDeviceSlotSize];

enum class DeviceRead { Ended, Skipped, Read };

// The platform reads the rules are made of. Each read may fail; a failure to
// learn something about the machine fails the check it belongs to.
class MachineReads {
 public:
  virtual int ReadManufacturer(char (&text)[kPropertyTextSize]) = 0;
  virtual int ReadModel(char (&text)[kPropertyTextSize]) = 0;
  // Makes the list of present PCI devices; 0 when it cannot be made. After a
  // non-zero result ClosePciDevices is called exactly once.
  virtual int OpenPciDevices() = 0;
  // The instance ID of the device at `index`: Ended when there is no such
  // device (or enumeration failed), Skipped when its ID cannot be read.
  virtual DeviceRead ReadPciDevice(int index, char (&instanceId)[kInstanceIdSize]) = 0;
  virtual void ClosePciDevices() = 0;

 protected:
  ~MachineReads() = default;
};

// Non-zero when the model value is at least as long as the pattern and every
// pattern byte is a full stop or the model's byte at that position.
int MatchModelPattern(const char* pattern, const char* model);

int CheckManufacturer(MachineReads& reads);
int CheckModel(const ModelPatterns& modelPatterns, MachineReads& reads);
int CheckPciDevices(const DevicePatterns& devicePatterns, MachineReads& reads);

// The decision. A package whose first model line is the terminator names no
// models: the checks are turned off for the rest of the run (*checksEnabled
// cleared) and it applies.
int IsMachineApplicable(int* checksEnabled, const package::PackageHeader& header, MachineReads& reads);

}  // namespace machine
