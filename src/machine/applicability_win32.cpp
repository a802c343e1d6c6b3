// The applicability decision on this computer, over the run's package header.
#include "machine/applicability_win32.h"

#include "app/process_values_win32.h"
#include "machine/applicability.h"
#include "machine/machine_reads_win32.h"

namespace machine {

int IsMachineApplicable() {
  Win32MachineReads reads;
  return IsMachineApplicable(&app::g_checksEnabled, app::g_packageHeader, reads);
}

}  // namespace machine
