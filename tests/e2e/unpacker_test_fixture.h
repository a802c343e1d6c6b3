// What the unpacker's end-to-end tests share: the message catalogue as the
// user must see it, valid packages made by the package builder, and a fixture
// that gives each test an empty folder and an empty temporary folder of its own.
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

// A stand-in payload; nothing runs it unless a test gets that far.
std::string SamplePayload();

// What a packager gives the package builder. The defaults make a package for
// every machine, its texts in the ANSI code page of the machine the tests run
// on, as a packager targeting that machine would choose.
struct PackageFields {
  std::string stub = "unpacker.exe";  // a program of the Windows build
  std::string payloadFileName = "setup.exe";
  std::string destination = "C:\\Drivers\\E2E";  // UTF-8, like the other texts
  std::string title = "E2E Test Package";
  std::vector<std::string> models;  // none: the package applies to every machine
  std::vector<std::string> devices;
  std::string payload = SamplePayload();
  int codePage = static_cast<int>(GetACP());
};

// Builds the package at `path` with the package builder; false with *error
// when the builder refuses the fields or a file cannot be written.
bool BuildValidPackage(const std::string& path, const PackageFields& fields, std::string* error);

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
  // Builds the package `name` into the test's folder and returns its path.
  std::string WriteValidPackage(const std::string& name, const PackageFields& fields = PackageFields());

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
