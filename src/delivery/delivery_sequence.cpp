#include "delivery/delivery_sequence.h"

#include "res/resource_ids.h"

namespace delivery {
namespace {

using messages::Caption;

DeliveryOutcome StopBeforeWriting(DeliverySteps& steps, int messageId, Fill fill) {
  steps.ShowMessage(messageId, Caption::App, messages::kWarning, fill);
  steps.ClosePackageFile();
  return DeliveryOutcome::Stopped;
}

// A payload cut short by a failed read or write would be run and reported as
// delivered; it is removed instead and nothing runs.
DeliveryOutcome DiscardIncompletePayload(DeliverySteps& steps, CopyResult result) {
  steps.ShowMessage(result == CopyResult::ReadFailed ? IDS_CANNOT_OPEN : IDS_CANNOT_WRITE_FILE, Caption::App,
                    messages::kWarning, Fill::None);
  steps.DeletePayloadFile();
  return DeliveryOutcome::Stopped;
}

}  // namespace

CopyResult CopyPayload(DeliverySteps& steps, int64_t bytesLeft) {
  unsigned char buffer[kCopyChunkSize];
  for (;;) {
    if (bytesLeft <= 0) return CopyResult::Copied;
    const uint32_t wanted = bytesLeft < kCopyChunkSize ? static_cast<uint32_t>(bytesLeft) : kCopyChunkSize;
    uint32_t count = 0;
    if (!steps.ReadPackageChunk(buffer, wanted, &count)) return CopyResult::ReadFailed;
    if (count == 0) return CopyResult::Copied;
    if (!steps.WritePayloadChunk(buffer, count)) return CopyResult::WriteFailed;
    bytesLeft -= count;
  }
}

DeliveryOutcome RunDelivery(DeliverySteps& steps) {
  // A path that does not fit cannot be written to: the same as a payload file
  // that cannot be created.
  if (!steps.BuildPayloadPath()) return StopBeforeWriting(steps, IDS_CANNOT_WRITE_FILE, Fill::None);
  if (steps.PayloadPathExists()) return StopBeforeWriting(steps, IDS_TEMP_FILE_EXISTS, Fill::PayloadPath);
  if (!steps.CreatePayloadFile()) return StopBeforeWriting(steps, IDS_CANNOT_WRITE_FILE, Fill::None);

  int64_t bytesLeft = 0;
  CopyResult copied =
      steps.CountPackageBytesLeft(&bytesLeft) ? CopyPayload(steps, bytesLeft) : CopyResult::ReadFailed;
  // Cutting the trailer off is the copy's last write; failing it would leave
  // the trailer's bytes in the payload.
  if (copied == CopyResult::Copied && !steps.CutTrailer()) copied = CopyResult::WriteFailed;
  steps.ClosePayloadFile();
  steps.ClosePackageFile();
  if (copied != CopyResult::Copied) return DiscardIncompletePayload(steps, copied);

  // Without a work folder of its own the payload is not run; a folder that
  // someone else made under the unique name is left alone.
  if (!steps.MakeWorkFolder()) {
    steps.ShowMessage(IDS_CANNOT_EXECUTE, Caption::App, messages::kWarning, Fill::None);
    steps.DeletePayloadFile();
    return DeliveryOutcome::Stopped;
  }
  if (!steps.StartPayload()) {
    steps.ShowMessage(IDS_CANNOT_EXECUTE, Caption::App, messages::kWarning, Fill::None);
    steps.DeletePayloadFile();
    steps.RemoveWorkFolder();
    return DeliveryOutcome::Stopped;
  }
  steps.WaitForPayload();

  // Entries can only go into a folder: a destination that is a file is not
  // handed to the move, which on some systems replaces that file entry by
  // entry and reports success. A move reported as done that left entries
  // behind has not delivered them.
  if (steps.PrepareDestinationFolder() && steps.MoveResults() && !steps.WorkFolderHoldsEntries()) {
    steps.RemoveWorkFolder();
    steps.DeletePayloadFile();
    steps.ShowMessage(IDS_COMPLETED, Caption::Title, messages::kInformation, Fill::None);
    return DeliveryOutcome::Completed;
  }
  steps.ShowMessage(IDS_MOVE_FAILED, Caption::App, messages::kWarning, Fill::None);
  steps.RemoveWorkFolder();
  return DeliveryOutcome::Stopped;
}

}  // namespace delivery
