#pragma once

namespace machine {

// Non-zero when the package applies to this computer. Reads the checks-enabled
// flag and the package's pattern tables; may clear the flag.
int IsMachineApplicable();

}  // namespace machine
