#include "app/run_sequence.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using delivery::DeliveryOutcome;

// Records each stage as a word; `failing` names the one stage that fails.
class ScriptedStages final : public app::RunStages {
 public:
  explicit ScriptedStages(std::string failing, bool mutexTimesOut = false)
      : failing_(std::move(failing)), mutexTimesOut_(mutexTimesOut) {}

  void InitCommonControls() override { Note("controls"); }
  app::MutexWait AcquireSingleInstanceMutex() override {
    Note("mutex");
    return mutexTimesOut_ ? app::MutexWait::TimedOut : app::MutexWait::Proceed;
  }
  void ReleaseSingleInstanceMutex() override { Note("release"); }
  int OpenOwnFile() override { return Step("open"); }
  void ClosePackageFile() override { Note("close"); }
  int ReadTrailer(int64_t* headerOffset, int64_t* packageEnd) override {
    *headerOffset = 4242;
    *packageEnd = 9000;
    return Step("trailer");
  }
  int FindTempFolder() override { return Step("temp"); }
  int ReadHeader(int64_t headerOffset) override {
    EXPECT_EQ(headerOffset, 4242);
    return Step("header");
  }
  int IsMachineApplicable() override { return Step("machine"); }
  int AskLicence() override { return Step("licence"); }
  int ChooseDestination() override { return Step("destination"); }
  DeliveryOutcome DeliverPayload(int64_t packageEnd) override {
    EXPECT_EQ(packageEnd, 9000) << "delivery must stop where the trailer reading found the package's end";
    return Step("deliver") ? DeliveryOutcome::Completed : DeliveryOutcome::Stopped;
  }
  void ShowMessage(int messageId, messages::Caption caption, unsigned style) override {
    Note("message " + std::to_string(messageId) + (caption == messages::Caption::App ? " app " : " title ") +
         std::to_string(style));
  }

  const std::string& trace() const { return trace_; }

 private:
  void Note(const std::string& word) { trace_ += (trace_.empty() ? "" : ", ") + word; }
  int Step(const std::string& word) {
    Note(word);
    return word == failing_ ? 0 : 1;
  }

  std::string failing_;
  bool mutexTimesOut_;
  std::string trace_;
};

struct RunCase {
  const char* failing;
  const char* trace;
  int exitCode;
};

class RunEndings : public testing::TestWithParam<RunCase> {};

TEST_P(RunEndings, EachStopShowsOneMessageAndCleansUp) {
  ScriptedStages stages(GetParam().failing);
  int checksEnabled = 1;
  EXPECT_EQ(app::RunUnpacking(stages, "", &checksEnabled), GetParam().exitCode);
  EXPECT_EQ(stages.trace(), GetParam().trace);
}

#define FRONT "controls, mutex, open"
INSTANTIATE_TEST_SUITE_P(
    Stages, RunEndings,
    testing::Values(
        RunCase{"open", FRONT ", message 2 app 64, release", 0},
        RunCase{"trailer", FRONT ", trailer, message 2 app 48, close, release", 0},
        RunCase{"temp", FRONT ", trailer, temp, message 8 app 48, close, release", 0},
        RunCase{"header", FRONT ", trailer, temp, header, message 4 app 48, close, release", 0},
        RunCase{"machine", FRONT ", trailer, temp, header, machine, message 3 title 48, close, release", 0},
        RunCase{"licence",
                FRONT ", trailer, temp, header, machine, licence, message 16 title 64, close, release", 0},
        RunCase{"destination",
                FRONT
                ", trailer, temp, header, machine, licence, destination, message 16 title 64, close, release",
                0},
        RunCase{"deliver", FRONT ", trailer, temp, header, machine, licence, destination, deliver, release",
                0},
        RunCase{"nothing", FRONT ", trailer, temp, header, machine, licence, destination, deliver, release",
                1}));
#undef FRONT

TEST(RunSequence, SecondCopyEndsSilentlyWithoutTouchingAnything) {
  ScriptedStages stages("", /*mutexTimesOut=*/true);
  int checksEnabled = 1;
  EXPECT_EQ(app::RunUnpacking(stages, "-a ZORV_NOCHECK", &checksEnabled), 0);
  EXPECT_EQ(stages.trace(), "controls, mutex");
  EXPECT_EQ(checksEnabled, 1) << "the switch is read only after the mutex was taken";
}

TEST(RunSequence, SwitchIsReadBeforeTheOwnFileIsOpened) {
  ScriptedStages stages("open");
  int checksEnabled = 1;
  app::RunUnpacking(stages, "x -a ZORV_NOCHECK", &checksEnabled);
  EXPECT_EQ(checksEnabled, 0);
}

}  // namespace
