// What the unpacker's end-to-end tests share: the message catalogue as the
// user must see it, a valid raw package, and a fixture that gives each test an
// empty folder and an empty temporary folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "e2e_support_win32.h"
#include "test_package.h"
#include "ui_driver_win32.h"

namespace e2e {

// The catalogue text of message `id` (1 to 16) in the language Windows shows
// (Japanese under a Japanese user interface, English otherwise), UTF-8.
std::string ExpectedMessage(int id);
std::string ExpectedAppCaption();  // message 1, the caption of most boxes

// "setup.exe", "C:\Drivers\E2E", the title, no model, no device: applies to every machine.
std::string ValidHeader(const std::string& title = "E2E Test Package");
// A stand-in payload; nothing runs it unless a test gets that far.
std::string SamplePayload();

struct ExpectedBox {
  std::string text;
  std::string caption;
  BoxIcon icon;
};

class UnpackerTest : public ::testing::Test {
 protected:
  UnpackerTest();

  // The test's own empty folder, and the temporary folder (TMP and TEMP) that
  // every program started by Start sees; both are removed after the test.
  const ScratchFolder& folder() const { return folder_; }
  const std::string& tempFolder() const { return tempFolder_; }

  // Writes `package` as `name` into the test's folder and returns its path.
  std::string WritePackage(const std::string& name, const RawPackage& package);
  // A valid package built on unpacker.exe (or another stub, e.g. unpacker_faults.exe).
  std::string WriteValidPackage(const std::string& name, const std::string& stub = "unpacker.exe");

  // Starts `program` with the test's temporary folder and `environment`.
  void Start(ProcessUnderTest& process, const std::string& program,
             std::vector<std::pair<std::string, std::string>> environment = {},
             const std::string& arguments = "");

  // Expects the next window to be exactly this box with the one OK button,
  // presses OK, and expects the program to end with `exitCode` and no further
  // window.
  void ExpectOnlyBoxThenExit(ProcessUnderTest& process, const ExpectedBox& box, DWORD exitCode = 0);

  // Answers every new window with AnswerWithCancel until the program ends;
  // returns the windows seen and the exit report.
  ExitReport CancelUntilExit(ProcessUnderTest& process, std::vector<WindowInfo>* seen);

 private:
  ScratchFolder folder_;
  std::string tempFolder_;
};

// Checks one box: kind, text, caption, icon and the single OK button.
void ExpectBox(const WindowInfo& window, const ExpectedBox& box);

// Presses the window's Cancel, No or OK button, the first of them it has, or
// sends Esc when it has none.
void AnswerWithCancel(const WindowInfo& window);

}  // namespace e2e
