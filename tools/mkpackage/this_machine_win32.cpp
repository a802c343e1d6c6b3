#include "this_machine.h"

#include "codepage.h"
#include "machine/machine_reads_win32.h"
#include "machine_match.h"

namespace mkpackage {

bool ReadThisMachine(ThisMachine* found, std::string*) {
  machine::Win32MachineReads reads;
  char text[machine::kPropertyTextSize];
  if (reads.ReadManufacturer(text)) found->manufacturer = PropertyTextToUtf8(text);
  if (reads.ReadModel(text)) found->model = PropertyTextToUtf8(text);
  if (!reads.OpenPciDevices()) return true;
  found->pciInstanceIds.emplace();
  char instanceId[machine::kInstanceIdSize];
  for (int index = 0;; ++index) {
    const machine::DeviceRead read = reads.ReadPciDevice(index, instanceId);
    if (read == machine::DeviceRead::Ended) break;
    if (read == machine::DeviceRead::Skipped) {
      ++found->unreadablePciDevices;
      continue;
    }
    // SetupAPI's narrow IDs are in this system's ANSI code page.
    found->pciInstanceIds->push_back(CodePageToUtf8(instanceId, CP_ACP));
  }
  reads.ClosePciDevices();
  return true;
}

}  // namespace mkpackage
