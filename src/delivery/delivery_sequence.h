// Payload delivery apart from the platform: each step is a call on
// DeliverySteps, and the decisions (which step follows, which message ends the
// delivery, what is cleaned up and in which order) live here.
#pragma once

#include <stdint.h>

#include "delivery/delivery_outcome.h"
#include "messages/message_styles.h"

namespace delivery {

// The copy goes through one buffer of this size, chunk by chunk.
constexpr uint32_t kCopyChunkSize = 1000;

enum class Fill { None, PayloadPath };

class DeliverySteps {
 public:
  // Combines the temporary folder and the payload file name; 0 when the
  // combination does not fit a path.
  virtual int BuildPayloadPath() = 0;
  // Non-zero when a file or folder of the payload path's name exists.
  virtual int PayloadPathExists() = 0;
  // Creates the payload file; 0 when it cannot be made new.
  virtual int CreatePayloadFile() = 0;
  // The bytes from the package file's position to the package's end (before a
  // certificate table that signing appended). Returns 0 when the position
  // cannot be told.
  virtual int CountPackageBytesLeft(int64_t* count) = 0;
  // Reads the next chunk of the package into `buffer`; `*count` is 0 at the
  // end of the file. Returns 0 on a read error.
  virtual int ReadPackageChunk(void* buffer, uint32_t size, uint32_t* count) = 0;
  // Returns 0 unless all `count` bytes were written to the payload file.
  virtual int WritePayloadChunk(const void* buffer, uint32_t count) = 0;
  // Ends the payload file 8 bytes before its end, where the trailer began.
  virtual int CutTrailer() = 0;
  virtual void ClosePayloadFile() = 0;
  virtual void ClosePackageFile() = 0;
  virtual void DeletePayloadFile() = 0;
  // Makes a fresh work folder of a unique temporary name. Returns 0 when no
  // name can be had, when the name leaves no room in the move's source list,
  // or when the folder could not be created by this run.
  virtual int MakeWorkFolder() = 0;
  virtual void RemoveWorkFolder() = 0;
  // Starts the payload in the work folder; 0 when it cannot be started.
  virtual int StartPayload() = 0;
  virtual void WaitForPayload() = 0;
  // Creates the destination folder and any missing parents. Non-zero when the
  // destination is a folder afterwards.
  virtual int PrepareDestinationFolder() = 0;
  // Moves every entry of the work folder into the destination; 0 on failure.
  virtual int MoveResults() = 0;
  virtual int WorkFolderHoldsEntries() = 0;
  virtual void ShowMessage(int messageId, messages::Caption caption, unsigned style, Fill fill) = 0;

 protected:
  ~DeliverySteps() = default;
};

enum class CopyResult { Copied, ReadFailed, WriteFailed };

// Copies `bytesLeft` bytes of the package from its current position into the
// payload file through one buffer of kCopyChunkSize bytes; a file that ends
// sooner ends the copy there.
CopyResult CopyPayload(DeliverySteps& steps, int64_t bytesLeft);

// Delivers the payload: writes it, runs it in a work folder, moves its results
// into the destination, cleans up and shows the one final message. Closes the
// package file on every path.
DeliveryOutcome RunDelivery(DeliverySteps& steps);

}  // namespace delivery
