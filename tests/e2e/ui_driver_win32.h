// Drives a GUI program from outside, as a user would: starts it, reports each
// top-level window it shows (kind, caption, texts, icon, controls), acts on it
// (press a button, type into an edit control, Esc, Enter, close), and reports
// the exit code. Every wait has a time limit, and a program still running when
// its ProcessUnderTest is destroyed is terminated, so a hung program fails the
// test instead of hanging it.
//
// Texts are read as UTF-16 and handed over as UTF-8.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/windows_api.h"

namespace e2e {

enum class WindowKind { MessageBox, Dialog, Other };
// Unknown: an icon that is none of the standard ones (or not painted in time).
enum class BoxIcon { None, Warning, Information, Error, Question, Unknown };

const char* ToString(WindowKind kind);
const char* ToString(BoxIcon icon);

struct Control {
  int id;
  std::string className;  // "Button", "Static", "Edit", ...
  std::string text;
  bool visible;
  bool enabled;
};

struct WindowInfo {
  HWND handle = nullptr;
  WindowKind kind = WindowKind::Other;
  std::string className;
  std::string caption;
  std::string text;               // message boxes: the message (the Static of id 0xFFFF)
  BoxIcon icon = BoxIcon::None;   // message boxes only
  std::vector<Control> controls;  // direct children, in z-order

  const Control* FindControl(int id) const;
  std::vector<int> ButtonIds() const;
  std::string Describe() const;  // one readable line for logs and failures
};

struct LaunchOptions {
  std::string program;           // UTF-8 path
  std::string arguments;         // appended after the quoted program path
  std::string workingDirectory;  // empty: the driver's own
  // Added to (or replacing) the driver's environment, e.g. {"UNPACKER_FAULTS", "ReadFile:1"}.
  std::vector<std::pair<std::string, std::string>> environment;
};

struct ExitReport {
  bool exited = false;  // false: still running when the time ran out
  DWORD exitCode = 0;
  double seconds = 0;                    // from start to exit
  std::vector<WindowInfo> windowsShown;  // windows that appeared while waiting
};

class ProcessUnderTest {
 public:
  ProcessUnderTest() = default;
  ~ProcessUnderTest();  // terminates the program if it still runs
  ProcessUnderTest(const ProcessUnderTest&) = delete;
  ProcessUnderTest& operator=(const ProcessUnderTest&) = delete;

  // Starts the program; on failure `error` says why.
  bool Start(const LaunchOptions& options, std::string* error);

  // Waits for a visible top-level window of the program that was not reported
  // before and describes it. False when the time ran out or the program ended.
  bool WaitForWindow(WindowInfo* window, DWORD timeoutMs = 10000);

  // Waits until the window is destroyed.
  bool WaitForWindowGone(HWND window, DWORD timeoutMs = 10000);

  // Waits for the end of the program; windows that appear meanwhile are
  // described in the report and left alone.
  ExitReport WaitForExit(DWORD timeoutMs = 10000);

  void Terminate();
  DWORD processId() const { return processId_; }
  double SecondsSinceStart() const;

 private:
  bool FindNewWindow(WindowInfo* window);

  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  LARGE_INTEGER started_ = {};
  std::vector<HWND> reported_;
};

// Describes one window as the driver reports it (its process need not be ours).
WindowInfo DescribeWindow(HWND window);

// Actions. Each returns false when the window or control is gone.
bool PressButton(HWND window, int controlId);  // WM_COMMAND with BN_CLICKED, as a click sends
bool TypeText(HWND window, int editId, const std::string& utf8);  // replaces the edit's text
bool SendEnter(HWND window);                                      // as the keyboard: the default button
bool SendEscape(HWND window);                                     // as the keyboard: IDCANCEL
bool SendClose(HWND window);                                      // WM_CLOSE, as the title bar's close box
std::string ReadControlText(HWND window, int controlId);

// Saves what the window shows now as a 24-bit BMP.
bool SaveScreenshot(HWND window, const std::string& bmpPath);

}  // namespace e2e
