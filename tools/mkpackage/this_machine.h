// What this computer reports to the unpacker's machine check: the WMI maker
// and model and the present PCI devices, read by the unpacker's own reads.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace mkpackage {

struct ThisMachine {
  // In UTF-8; absent when the read fails, which fails the unpacker's check.
  std::optional<std::string> manufacturer;
  std::optional<std::string> model;
  // Absent when the device list cannot be made.
  std::optional<std::vector<std::string>> pciInstanceIds;
  // Devices listed whose instance ID could not be read; the unpacker skips them.
  int unreadablePciDevices = 0;
};

// False with *error where the reads do not exist (every system but Windows).
bool ReadThisMachine(ThisMachine* machine, std::string* error);

}  // namespace mkpackage
