#include "app/run_sequence.h"

#include "app/check_switch.h"
#include "res/resource_ids.h"

namespace app {
namespace {

using messages::Caption;

int StopWithMessage(RunStages& stages, int messageId, Caption caption, unsigned style) {
  stages.ShowMessage(messageId, caption, style);
  stages.ClosePackageFile();
  stages.ReleaseSingleInstanceMutex();
  return 0;
}

}  // namespace

int RunUnpacking(RunStages& stages, const char* argumentText, int* checksEnabled) {
  stages.InitCommonControls();
  if (stages.AcquireSingleInstanceMutex() == MutexWait::TimedOut) return 0;

  ParseCheckSwitch(argumentText, checksEnabled);

  if (!stages.OpenOwnFile()) {
    stages.ShowMessage(IDS_CANNOT_OPEN, Caption::App, messages::kInformation);
    stages.ReleaseSingleInstanceMutex();
    return 0;
  }
  int64_t headerOffset = 0;
  int64_t packageEnd = 0;
  if (!stages.ReadTrailer(&headerOffset, &packageEnd))
    return StopWithMessage(stages, IDS_CANNOT_OPEN, Caption::App, messages::kWarning);
  if (!stages.FindTempFolder())
    return StopWithMessage(stages, IDS_NO_TEMP_FOLDER, Caption::App, messages::kWarning);
  if (!stages.ReadHeader(headerOffset))
    return StopWithMessage(stages, IDS_PACKAGE_BROKEN, Caption::App, messages::kWarning);
  if (!stages.IsMachineApplicable())
    return StopWithMessage(stages, IDS_NOT_SUPPORTED, Caption::Title, messages::kWarning);
  if (!stages.AskLicence())
    return StopWithMessage(stages, IDS_CLOSING, Caption::Title, messages::kInformation);
  if (!stages.ChooseDestination())
    return StopWithMessage(stages, IDS_CLOSING, Caption::Title, messages::kInformation);

  const delivery::DeliveryOutcome outcome = stages.DeliverPayload(packageEnd);
  stages.ReleaseSingleInstanceMutex();
  return outcome == delivery::DeliveryOutcome::Completed ? 1 : 0;
}

}  // namespace app
