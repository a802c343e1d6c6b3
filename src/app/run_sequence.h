// The fixed order of one unpacking run, apart from the platform: each stage is a
// call on RunStages, and the decisions (what comes next, which message ends the
// run, which exit code it returns) live here.
#pragma once

#include <stdint.h>

#include "delivery/delivery_outcome.h"
#include "messages/message_styles.h"

namespace app {

enum class MutexWait { TimedOut, Proceed };

class RunStages {
 public:
  virtual void InitCommonControls() = 0;
  // Creates the single-instance mutex and waits up to 1000 ms for it. TimedOut
  // after the handle was closed again; Proceed when owned, abandoned, or when
  // the wait failed (no handle: the run goes on unguarded).
  virtual MutexWait AcquireSingleInstanceMutex() = 0;
  // Releases and closes the mutex if a handle exists.
  virtual void ReleaseSingleInstanceMutex() = 0;
  virtual int OpenOwnFile() = 0;
  virtual void ClosePackageFile() = 0;
  // Also tells where the package ends: before a certificate table that
  // signing appended, else at the end of the file.
  virtual int ReadTrailer(int64_t* headerOffset, int64_t* packageEnd) = 0;
  virtual int FindTempFolder() = 0;
  virtual int ReadHeader(int64_t headerOffset) = 0;
  virtual int IsMachineApplicable() = 0;
  // Shows the licence dialog; answers the licence-accepted flag afterwards.
  virtual int AskLicence() = 0;
  virtual int ChooseDestination() = 0;
  // Takes over the package file and closes it; shows its own final message.
  virtual delivery::DeliveryOutcome DeliverPayload(int64_t packageEnd) = 0;
  virtual void ShowMessage(int messageId, messages::Caption caption, unsigned style) = 0;

 protected:
  ~RunStages() = default;
};

// Runs the stages in their fixed order and returns the exit code: 1 after a
// completed delivery, 0 on every other ending.
int RunUnpacking(RunStages& stages, const char* argumentText, int* checksEnabled);

}  // namespace app
