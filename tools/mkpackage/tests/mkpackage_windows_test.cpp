// The Windows build of the tool under Wine: UTF-8 arguments and paths that the
// ANSI code page cannot spell, replacing files that Windows keeps locked while
// they are open, and what the console program reads of this computer.
#include "platform/windows_api.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>
#include <vector>

#include "command_runner.h"
#include "minimal_pe.h"
#include "mkpackage/mkpackage_cli.h"

namespace {

std::wstring Wide(const std::string& utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], length);
  wide.resize(wide.size() - 1);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &text[0], length, nullptr, nullptr);
  text.resize(text.size() - 1);
  return text;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  FILE* file = _wfopen(Wide(path).c_str(), L"wb");
  ASSERT_NE(file, nullptr) << path;
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

std::string ReadFile(const std::string& path) {
  std::string bytes;
  if (FILE* file = _wfopen(Wide(path).c_str(), L"rb")) {
    char chunk[4096];
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, got);
    fclose(file);
  }
  return bytes;
}

// Every name in the folder.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(Wide(folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(Utf8(name));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

// A folder whose name no ANSI code page holds whole.
class WindowsTool : public testing::Test, public CommandRunner {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ =
        Utf8(temp) + "mkpackage \u30c6\u30b9\u30c8 \u00e9\u0151 " + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(Wide(folder_).c_str(), nullptr));
    WriteFile(Path("unpacker.exe"), mkpackage_test::MinimalPe());
    WriteFile(Path("\u30bb\u30c3\u30c8.exe"), "MZ payload");
  }
  void TearDown() override {
    for (const auto& name : Names(folder_)) DeleteFileW(Wide(Path(name)).c_str());
    RemoveDirectoryW(Wide(folder_).c_str());
  }

  std::string Path(const std::string& name) const { return folder_ + "\\" + name; }

  std::string folder_;
};

TEST_F(WindowsTool, BuildsAndReadsUnderUnicodePaths) {
  ASSERT_EQ(RunCommand({"build", "--stub", Path("unpacker.exe"), "--payload", Path("\u30bb\u30c3\u30c8.exe"),
                        "--dest", "C:\\\u30c9\u30e9\u30a4\u30d0", "--title", "\u30aa\u30fc\u30c7\u30a3\u30aa",
                        "--codepage", "932", "--model", "QR-7.B", "-o",
                        Path("\u30d1\u30c3\u30b1\u30fc\u30b8.exe")}),
            0)
      << err_;
  const std::string package = ReadFile(Path("\u30d1\u30c3\u30b1\u30fc\u30b8.exe"));
  // The texts in code page 932, exactly as the unpacker will read them.
  const std::string header =
      "\x83\x5A\x83\x62\x83\x67.exe\nC:\\\x83\x68\x83\x89\x83\x43\x83\x6F\n"
      "\x83\x49\x81\x5B\x83\x66\x83\x42\x83\x49\nQR-7.B\n#\n##\nMZ payload";
  EXPECT_EQ(package.substr(mkpackage_test::MinimalPe().size(), header.size()), header);

  ASSERT_EQ(RunCommand({"inspect", "--codepage", "932", Path("\u30d1\u30c3\u30b1\u30fc\u30b8.exe"),
                        "--extract-payload", Path("\u51fa\u529b.bin")}),
            0)
      << err_;
  EXPECT_NE(out_.find("title:                 \u30aa\u30fc\u30c7\u30a3\u30aa"), std::string::npos) << out_;
  EXPECT_EQ(ReadFile(Path("\u51fa\u529b.bin")), "MZ payload");
}

TEST_F(WindowsTool, ReplacesThePackageOfTheStubInPlace) {
  const std::vector<std::string> common = {"--payload",    Path("\u30bb\u30c3\u30c8.exe"),
                                           "--name",       "setup.exe",
                                           "--dest",       "C:\\Drivers",
                                           "--all-models", "--title"};
  auto build = [&](const std::string& stub, const std::string& title, const std::string& output,
                   bool replace) {
    std::vector<std::string> arguments = {"build", "--stub", Path(stub)};
    arguments.insert(arguments.end(), common.begin(), common.end());
    arguments.insert(arguments.end(), {title, "-o", Path(output)});
    if (replace) arguments.push_back("--replace-package");
    return RunCommand(arguments);
  };
  ASSERT_EQ(build("unpacker.exe", "First", "package.exe", false), 0) << err_;
  ASSERT_EQ(build("unpacker.exe", "Second", "expected.exe", false), 0) << err_;
  EXPECT_EQ(build("package.exe", "Second", "package.exe", false), 1);
  EXPECT_NE(err_.find("already carries a package"), std::string::npos) << err_;
  ASSERT_EQ(build("package.exe", "Second", "package.exe", true), 0) << err_;
  EXPECT_EQ(ReadFile(Path("package.exe")), ReadFile(Path("expected.exe")));
}

TEST_F(WindowsTool, FailedBuildLeavesNothingBehind) {
  const auto before = Names(folder_);
  EXPECT_EQ(RunCommand({"build", "--stub", Path("unpacker.exe"), "--payload", Path("\u30bb\u30c3\u30c8.exe"),
                        "--name", "setup.exe", "--dest", "C:\\Drivers", "--title", "\u30dd", "--all-models",
                        "-o", Path("package.exe")}),
            1);
  EXPECT_NE(err_.find("(U+30DD), which code page 1252 cannot store"), std::string::npos) << err_;
  EXPECT_EQ(Names(folder_), before);
}

// Runs the console program beside this test and returns what it printed.
std::string RunConsoleProgram(const std::string& arguments, const std::string& outputPath, DWORD* exitCode) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring program = self;
  program = program.substr(0, program.find_last_of(L'\\') + 1) + L"mkpackage.exe";
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE output = CreateFileW(Wide(outputPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (output == INVALID_HANDLE_VALUE) return "";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = output;
  PROCESS_INFORMATION process = {};
  std::wstring commandLine = L"\"" + program + L"\" " + Wide(arguments);
  *exitCode = 255;
  if (CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &process)) {
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(output);
  return ReadFile(outputPath);
}

// The real console program reads Wine's WMI and PCI devices as the unpacker
// does, and match, fed with what it printed, decides as the unpacker would on
// this computer.
TEST_F(WindowsTool, MachinePrintsWhatMatchTakes) {
  DWORD exitCode = 0;
  const std::string printed = RunConsoleProgram("machine --json", Path("machine.json"), &exitCode);
  ASSERT_EQ(exitCode, 0u) << printed;
  const auto machine = nlohmann::json::parse(printed);
  EXPECT_EQ(machine["manufacturer"], "The Wine Project");
  EXPECT_EQ(machine["model"], "Wine");
  ASSERT_TRUE(machine["pciInstanceIds"].is_array()) << printed;
  ASSERT_FALSE(machine["pciInstanceIds"].empty()) << printed;
  const std::string firstId = machine["pciInstanceIds"][0];
  EXPECT_EQ(firstId.rfind("PCI\\VEN_", 0), 0u) << firstId;

  std::string text = RunConsoleProgram("machine", Path("machine.txt"), &exitCode);
  // The console program writes text mode: CR LF line ends.
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(text.rfind("manufacturer: The Wine Project\nmodel:        Wine\nPCI devices (", 0), 0u) << text;
  EXPECT_NE(text.find("  " + firstId + "\n"), std::string::npos) << text;

  // An Ostravinel package for a device this computer has.
  const std::string vendor = firstId.substr(0, firstId.find('&'));
  ASSERT_EQ(RunCommand({"build", "--stub", Path("unpacker.exe"), "--payload", Path("\u30bb\u30c3\u30c8.exe"),
                        "--name", "setup.exe", "--dest", "C:\\Drivers", "--title", "Audio", "--model",
                        "QR-7.B", "--device", vendor, "-o", Path("package.exe")}),
            0)
      << err_;
  std::vector<std::string> devices;
  for (const auto& id : machine["pciInstanceIds"]) {
    devices.push_back("--pci");
    devices.push_back(id);
  }
  auto match = [&](const std::string& manufacturer, const std::string& model) {
    std::vector<std::string> arguments = {"match",      Path("package.exe"), "--manufacturer",
                                          manufacturer, "--model",           model};
    arguments.insert(arguments.end(), devices.begin(), devices.end());
    return RunCommand(arguments);
  };
  const std::string notApplicable =
      "not applicable: manufacturer: \"The Wine Project\" does not begin with \"Ostravinel\"\n";
  EXPECT_EQ(match(machine["manufacturer"], machine["model"]), 1) << err_;
  EXPECT_EQ(out_, notApplicable);
  EXPECT_EQ(RunCommand({"match", Path("package.exe"), "--machine", Path("machine.json")}), 1) << err_;
  EXPECT_EQ(out_, notApplicable);
  // The same devices on an Ostravinel QR-79B.
  EXPECT_EQ(match("Ostravinel", "QR-79B"), 0) << err_;
  EXPECT_EQ(out_.rfind("applicable: pci-devices: \"" + firstId + "\" begins with the device pattern \"" +
                           vendor + "\"",
                       0),
            0u)
      << out_;
}

}  // namespace
