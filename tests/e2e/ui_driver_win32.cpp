#include "ui_driver_win32.h"

#include <algorithm>
#include <cstdio>
#include <cwctype>

#include "e2e_support_win32.h"

namespace e2e {
namespace {

constexpr int kMessageBoxTextId = 0xFFFF;
constexpr int kMessageBoxIconId = 0x440;
constexpr UINT kSendTimeoutMs = 2000;
constexpr DWORD kPollMs = 20;
constexpr DWORD kPaintWaitMs = 5000;  // generous: the machine may be busy

double Seconds(const LARGE_INTEGER& from) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// WM_GETTEXT crosses process boundaries (GetWindowText does not for controls
// of another process); the time limit keeps a hung program from hanging us.
std::string WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length))
    return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
    return {};
  text.resize(std::min<size_t>(copied, length));
  return Narrow(text);
}

std::string ClassName(HWND window) {
  wchar_t name[256];
  const int length = GetClassNameW(window, name, 256);
  return Narrow(std::wstring(name, static_cast<size_t>(std::max(length, 0))));
}

int ControlId(HWND control) { return GetDlgCtrlID(control) & 0xFFFF; }

// The pixels `paint` leaves in a fresh 32-bit bitmap of the given size,
// top row first.
template <typename Paint>
std::vector<DWORD> PaintedPixels(int width, int height, Paint paint) {
  std::vector<DWORD> pixels;
  if (width <= 0 || height <= 0) return pixels;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    const HGDIOBJ old = SelectObject(memory, bitmap);
    paint(screen, memory, static_cast<DWORD*>(bits));
    GdiFlush();
    const DWORD* start = static_cast<const DWORD*>(bits);
    pixels.assign(start, start + width * height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// Pixels of a screen rectangle, as the user sees them, 32 bits each.
std::vector<DWORD> CaptureScreen(const RECT& rect) {
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  return PaintedPixels(width, height, [&](HDC screen, HDC memory, DWORD*) {
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  });
}

// A standard icon as this process draws it on the given background, at the
// size of the icon control.
std::vector<DWORD> DrawStandardIcon(LPCWSTR icon, int width, int height, DWORD background) {
  return PaintedPixels(width, height, [&](HDC, HDC memory, DWORD* bits) {
    std::fill_n(bits, width * height, background);
    DrawIconEx(memory, 0, 0, LoadIconW(nullptr, icon), 0, 0, 0, nullptr, DI_NORMAL);
  });
}

double ShareOfDifferentPixels(const std::vector<DWORD>& a, const std::vector<DWORD>& b) {
  if (a.size() != b.size() || a.empty()) return 1.0;
  size_t different = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    for (int shift = 0; shift < 24; shift += 8) {
      const int x = static_cast<int>((a[i] >> shift) & 0xFF), y = static_cast<int>((b[i] >> shift) & 0xFF);
      if (std::abs(x - y) > 24) {
        ++different;
        break;
      }
    }
  }
  return static_cast<double>(different) / static_cast<double>(a.size());
}

// Icon handles are private to each process under Wine, so the icon is told by
// what the box draws: compared with the standard icons drawn here. Whether
// there is an icon at all the control itself says (STM_GETICON gives null).
BoxIcon RecogniseIcon(HWND box) {
  const HWND icon = GetDlgItem(box, kMessageBoxIconId);
  if (icon == nullptr || !IsWindowVisible(icon)) return BoxIcon::None;
  DWORD_PTR handle = 0;
  if (!SendMessageTimeoutW(icon, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &handle) || handle == 0)
    return BoxIcon::None;
  RECT rect;
  GetWindowRect(icon, &rect);
  const std::vector<DWORD> shown = CaptureScreen(rect);
  if (shown.empty()) return BoxIcon::Unknown;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  struct Standard {
    BoxIcon icon;
    WORD id;
  };
  const Standard kStandard[] = {{BoxIcon::Warning, 32515},
                                {BoxIcon::Information, 32516},
                                {BoxIcon::Error, 32513},
                                {BoxIcon::Question, 32514}};
  BoxIcon best = BoxIcon::Unknown;
  double bestShare = 0.05;  // at most 5 % of the pixels may differ
  for (const Standard& standard : kStandard) {
    const double share = ShareOfDifferentPixels(
        shown, DrawStandardIcon(MAKEINTRESOURCEW(standard.id), width, height, shown[0]));
    if (share <= bestShare) {
      best = standard.icon;
      bestShare = share;
    }
  }
  return best;
}

std::vector<wchar_t> EnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& changes) {
  std::vector<std::wstring> entries;
  const LPWCH current = GetEnvironmentStringsW();
  for (const wchar_t* entry = current; *entry != L'\0'; entry += wcslen(entry) + 1)
    entries.emplace_back(entry);
  FreeEnvironmentStringsW(current);

  auto sameName = [](const std::wstring& entry, const std::wstring& name) {
    if (entry.size() <= name.size() || entry[name.size()] != L'=') return false;
    for (size_t i = 0; i < name.size(); ++i)
      if (std::towupper(entry[i]) != std::towupper(name[i])) return false;
    return true;
  };
  for (const auto& change : changes) {
    const std::wstring name = Widen(change.first);
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const std::wstring& entry) { return sameName(entry, name); }),
                  entries.end());
    entries.push_back(name + L"=" + Widen(change.second));
  }
  std::vector<wchar_t> block;
  for (const std::wstring& entry : entries) {
    block.insert(block.end(), entry.begin(), entry.end());
    block.push_back(L'\0');
  }
  block.push_back(L'\0');
  return block;
}

struct WindowSearch {
  DWORD processId;
  const std::vector<HWND>* reported;
  HWND found;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  if (std::find(search->reported->begin(), search->reported->end(), window) != search->reported->end())
    return TRUE;
  search->found = window;
  return FALSE;
}

// One line: line breaks shown as \n, long texts cut at a character boundary.
std::string Quoted(const std::string& text) {
  constexpr size_t kMostBytes = 120;
  std::string quoted = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    if (i >= kMostBytes && (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      quoted += "...";
      break;
    }
    if (text[i] == '\n')
      quoted += "\\n";
    else if (text[i] == '\r')
      quoted += "\\r";
    else
      quoted += text[i];
  }
  return quoted + "\"";
}

}  // namespace

const char* ToString(WindowKind kind) {
  switch (kind) {
    case WindowKind::MessageBox:
      return "messagebox";
    case WindowKind::Dialog:
      return "dialog";
    case WindowKind::Other:
      break;
  }
  return "other";
}

const char* ToString(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::None:
      return "none";
    case BoxIcon::Warning:
      return "warning";
    case BoxIcon::Information:
      return "information";
    case BoxIcon::Error:
      return "error";
    case BoxIcon::Question:
      return "question";
    case BoxIcon::Unknown:
      break;
  }
  return "unknown";
}

const Control* WindowInfo::FindControl(int id) const {
  for (const Control& control : controls)
    if (control.id == id) return &control;
  return nullptr;
}

std::vector<int> WindowInfo::ButtonIds() const {
  std::vector<int> ids;
  for (const Control& control : controls)
    if (control.className == "Button" && control.visible) ids.push_back(control.id);
  return ids;
}

std::string WindowInfo::Describe() const {
  std::string line = std::string(ToString(kind)) + " caption=" + Quoted(caption);
  if (kind == WindowKind::MessageBox)
    line += " icon=" + std::string(ToString(icon)) + " text=" + Quoted(text);
  line += " controls=[";
  for (const Control& control : controls) {
    if (&control != &controls.front()) line += ", ";
    line += std::to_string(control.id) + ":" + control.className;
    if (!control.text.empty()) line += " " + Quoted(control.text);
  }
  return line + "]";
}

WindowInfo DescribeWindow(HWND window) {
  WindowInfo info;
  info.handle = window;
  info.className = ClassName(window);
  info.caption = WindowText(window);
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    info.controls.push_back({ControlId(child), ClassName(child), WindowText(child),
                             IsWindowVisible(child) != FALSE, IsWindowEnabled(child) != FALSE});
  }
  if (info.className == "#32770") {
    // A message box holds only statics and buttons, one of them the text of
    // id 0xFFFF; dialogs may use that id for their labels too, but have more.
    int texts = 0;
    bool onlyStaticsAndButtons = true;
    for (const Control& control : info.controls) {
      if (control.id == kMessageBoxTextId && control.className == "Static") ++texts;
      if (control.className != "Static" && control.className != "Button") onlyStaticsAndButtons = false;
    }
    if (texts == 1 && onlyStaticsAndButtons) {
      info.kind = WindowKind::MessageBox;
      info.text = info.FindControl(kMessageBoxTextId)->text;
      info.icon = RecogniseIcon(window);
    } else {
      info.kind = WindowKind::Dialog;
    }
  }
  return info;
}

ProcessUnderTest::~ProcessUnderTest() {
  Terminate();
  if (process_ != nullptr) CloseHandle(process_);
}

bool ProcessUnderTest::Start(const LaunchOptions& options, std::string* error) {
  std::wstring commandLine = L"\"" + Widen(options.program) + L"\"";
  if (!options.arguments.empty()) commandLine += L" " + Widen(options.arguments);
  std::vector<wchar_t> environment = EnvironmentBlock(options.environment);
  const std::wstring folder = Widen(options.workingDirectory);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  QueryPerformanceCounter(&started_);
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      environment.data(), folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    *error = "cannot start " + options.program + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
  return true;
}

double ProcessUnderTest::SecondsSinceStart() const { return Seconds(started_); }

bool ProcessUnderTest::FindNewWindow(WindowInfo* window) {
  WindowSearch search = {processId_, &reported_, nullptr};
  EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) return false;
  reported_.push_back(search.found);
  // A box may be visible a moment before it is painted: wait for its icon.
  LARGE_INTEGER since;
  QueryPerformanceCounter(&since);
  do {
    *window = DescribeWindow(search.found);
    if (window->kind != WindowKind::MessageBox || window->icon != BoxIcon::Unknown || !IsWindow(search.found))
      break;
    Sleep(kPollMs);
  } while (Seconds(since) * 1000 < kPaintWaitMs);
  return true;
}

bool ProcessUnderTest::WaitForWindow(WindowInfo* window, DWORD timeoutMs) {
  LARGE_INTEGER since;
  QueryPerformanceCounter(&since);
  while (true) {
    if (FindNewWindow(window)) return true;
    if (process_ == nullptr || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) return false;
    if (Seconds(since) * 1000 >= timeoutMs) return false;
    Sleep(kPollMs);
  }
}

bool ProcessUnderTest::WaitForWindowGone(HWND window, DWORD timeoutMs) {
  LARGE_INTEGER since;
  QueryPerformanceCounter(&since);
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (Seconds(since) * 1000 >= timeoutMs) return false;
    Sleep(kPollMs);
  }
  return true;
}

ExitReport ProcessUnderTest::WaitForExit(DWORD timeoutMs) {
  ExitReport report;
  if (process_ == nullptr) return report;
  LARGE_INTEGER since;
  QueryPerformanceCounter(&since);
  while (true) {
    WindowInfo window;
    while (FindNewWindow(&window)) report.windowsShown.push_back(window);
    if (WaitForSingleObject(process_, kPollMs) == WAIT_OBJECT_0) break;
    if (Seconds(since) * 1000 >= timeoutMs) return report;
  }
  report.exited = true;
  report.seconds = SecondsSinceStart();
  GetExitCodeProcess(process_, &report.exitCode);
  return report;
}

void ProcessUnderTest::Terminate() {
  if (process_ == nullptr || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) return;
  TerminateProcess(process_, 0xDEAD);
  WaitForSingleObject(process_, 5000);
}

bool PressButton(HWND window, int controlId) {
  const HWND button = GetDlgItem(window, controlId);
  return PostMessageW(window, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                      reinterpret_cast<LPARAM>(button)) != FALSE;
}

bool TypeText(HWND window, int editId, const std::string& utf8) {
  const HWND edit = GetDlgItem(window, editId);
  if (edit == nullptr) return false;
  const std::wstring text = Widen(utf8);
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &result) != 0 &&
         result == TRUE;
}

// The dialog's own message loop hands keys to IsDialogMessage, which turns Esc
// into IDCANCEL and Enter into the default button.
bool SendEnter(HWND window) { return PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0x001C0001) != FALSE; }
bool SendEscape(HWND window) { return PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0x00010001) != FALSE; }
bool SendClose(HWND window) { return PostMessageW(window, WM_CLOSE, 0, 0) != FALSE; }

std::string ReadControlText(HWND window, int controlId) {
  const HWND control = GetDlgItem(window, controlId);
  return control == nullptr ? std::string() : WindowText(control);
}

bool SaveScreenshot(HWND window, const std::string& bmpPath) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  const std::vector<DWORD> pixels = CaptureScreen(rect);
  if (pixels.empty()) return false;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  const int rowSize = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {sizeof info, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(rowSize * height);
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
  for (int y = height - 1; y >= 0; --y) {  // bottom-up rows
    std::string row(static_cast<size_t>(rowSize), '\0');
    for (int x = 0; x < width; ++x) {
      const DWORD pixel = pixels[static_cast<size_t>(y * width + x)];
      row[static_cast<size_t>(x * 3)] = static_cast<char>(pixel & 0xFF);
      row[static_cast<size_t>(x * 3 + 1)] = static_cast<char>((pixel >> 8) & 0xFF);
      row[static_cast<size_t>(x * 3 + 2)] = static_cast<char>((pixel >> 16) & 0xFF);
    }
    bytes += row;
  }
  return WriteWholeFile(bmpPath, bytes);
}

}  // namespace e2e
