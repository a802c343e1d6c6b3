// uidriver: runs a GUI program and answers its windows from rules given on the
// command line, reporting every window (UTF-8, one line each) and the exit code.
//
//   uidriver.exe [options] -- program [arguments...]
//     --on WHEN=ACTIONS  WHEN: messagebox, dialog, dialog#ID (a dialog holding
//                        control ID) or any; the first rule that fits a window
//                        is used. ACTIONS, joined by '+': press:ID,
//                        type:ID:TEXT, enter, escape, close, wait:MS.
//     --shots FOLDER     saves each window as FOLDER\NN-KIND.bmp
//     --env NAME=VALUE   sets a variable for the program (repeatable)
//     --cwd FOLDER       the program's working folder
//     --timeout SECONDS  limit for each window and for the exit (default 30)
//
// Exit code: the program's, or 200 (usage), 201 (cannot start), 202 (a window
// no rule fits), 203 (time ran out), 204 (an action failed).
#include <string>
#include <vector>

#include "e2e_support_win32.h"
// After <windows.h>, which the line above brings in.
#include <shellapi.h>
#include "ui_driver_win32.h"

namespace {

constexpr DWORD kSettleMs = 200;
constexpr int kUsage = 200, kCannotStart = 201, kNoRule = 202, kTimedOut = 203, kActionFailed = 204;

struct Rule {
  std::string when;
  std::string actions;
};

void Print(const std::string& line) {
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool Fits(const std::string& when, const e2e::WindowInfo& window) {
  if (when == "any") return true;
  if (when == "messagebox") return window.kind == e2e::WindowKind::MessageBox;
  if (when == "dialog") return window.kind == e2e::WindowKind::Dialog;
  if (when.rfind("dialog#", 0) == 0)
    return window.kind == e2e::WindowKind::Dialog && window.FindControl(std::stoi(when.substr(7))) != nullptr;
  return false;
}

bool Act(const std::string& action, HWND window) {
  if (action.rfind("press:", 0) == 0) return e2e::PressButton(window, std::stoi(action.substr(6)));
  if (action.rfind("type:", 0) == 0) {
    const size_t colon = action.find(':', 5);
    if (colon == std::string::npos) return false;
    return e2e::TypeText(window, std::stoi(action.substr(5, colon - 5)), action.substr(colon + 1));
  }
  if (action == "enter") return e2e::SendEnter(window);
  if (action == "escape") return e2e::SendEscape(window);
  if (action == "close") return e2e::SendClose(window);
  if (action.rfind("wait:", 0) == 0) {
    Sleep(static_cast<DWORD>(std::stoul(action.substr(5))));
    return true;
  }
  return false;
}

std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  for (char c : argument) quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
  return quoted + "\"";
}

int Drive(const std::vector<std::string>& args) {
  std::vector<Rule> rules;
  std::string shots;
  DWORD timeoutMs = 30000;
  e2e::LaunchOptions launch;
  size_t i = 0;
  for (; i < args.size() && args[i] != "--"; ++i) {
    const std::string& option = args[i];
    if (i + 1 >= args.size()) return kUsage;
    const std::string& value = args[++i];
    const size_t equals = value.find('=');
    if (option == "--on" && equals != std::string::npos) {
      rules.push_back({value.substr(0, equals), value.substr(equals + 1)});
    } else if (option == "--env" && equals != std::string::npos) {
      launch.environment.emplace_back(value.substr(0, equals), value.substr(equals + 1));
    } else if (option == "--shots") {
      shots = value;
    } else if (option == "--cwd") {
      launch.workingDirectory = value;
    } else if (option == "--timeout") {
      timeoutMs = static_cast<DWORD>(std::stoul(value) * 1000);
    } else {
      return kUsage;
    }
  }
  if (i + 1 >= args.size()) return kUsage;
  launch.program = args[i + 1];
  for (size_t a = i + 2; a < args.size(); ++a)
    launch.arguments += (launch.arguments.empty() ? "" : " ") + QuoteArgument(args[a]);
  if (!shots.empty()) e2e::MakeFolder(shots);

  e2e::ProcessUnderTest program;
  std::string error;
  if (!program.Start(launch, &error)) {
    Print("error: " + error);
    return kCannotStart;
  }
  for (int number = 1;; ++number) {
    e2e::WindowInfo window;
    if (!program.WaitForWindow(&window, timeoutMs)) break;
    Print("window " + std::to_string(number) + ": " + window.Describe());
    if (!shots.empty()) {
      Sleep(kSettleMs);  // lets a dialog's controls finish painting
      char name[32];
      wsprintfA(name, "%02d-%s.bmp", number, e2e::ToString(window.kind));
      const std::string path = e2e::JoinPath(shots, name);
      Print(std::string("  screenshot: ") + (e2e::SaveScreenshot(window.handle, path) ? path : "failed"));
    }
    const Rule* rule = nullptr;
    for (const Rule& candidate : rules)
      if (Fits(candidate.when, window)) {
        rule = &candidate;
        break;
      }
    if (rule == nullptr) {
      Print("error: no rule fits this window");
      return kNoRule;
    }
    Print("  actions: " + rule->actions);
    for (size_t start = 0; start <= rule->actions.size();) {
      size_t end = rule->actions.find('+', start);
      if (end == std::string::npos) end = rule->actions.size();
      if (!Act(rule->actions.substr(start, end - start), window.handle)) {
        Print("error: action failed: " + rule->actions.substr(start, end - start));
        return kActionFailed;
      }
      start = end + 1;
    }
    if (!program.WaitForWindowGone(window.handle, timeoutMs)) {
      Print("error: the window stayed");
      return kTimedOut;
    }
  }
  const e2e::ExitReport report = program.WaitForExit(timeoutMs);
  if (!report.exited) {
    Print("error: the program did not end");
    return kTimedOut;
  }
  char line[64];
  wsprintfA(line, "exit code %lu after %d ms", report.exitCode, static_cast<int>(report.seconds * 1000));
  Print(line);
  return static_cast<int>(report.exitCode);
}

}  // namespace

int main() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(e2e::Narrow(wide[i]));
  LocalFree(wide);
  const int code = Drive(args);
  if (code == kUsage)
    Print("usage: uidriver.exe [--on WHEN=ACTIONS]... [--shots DIR] [--env N=V]... -- program [args]");
  return code;
}
