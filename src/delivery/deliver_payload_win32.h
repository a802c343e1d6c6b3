#pragma once

#include <stdint.h>

#include "delivery/delivery_outcome.h"
#include "platform/windows_api.h"

namespace delivery {

// Writes the payload from the package file's current position up to the
// trailer before `packageEnd` into the temporary folder, runs it in a fresh
// work folder and moves its results into the destination. Closes packageFile
// on every path and shows the final message.
DeliveryOutcome DeliverPayload(HANDLE packageFile, int64_t packageEnd, const char* tempFolder,
                               const char* payloadFileName, const char* destinationFolder);

}  // namespace delivery
