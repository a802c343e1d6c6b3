// A comctl32.dll planted beside a program, with Wine told to prefer a native
// comctl32 over its own: the probe without the DLL search restriction loads
// it (so planting works here), the probe with the unpacker's restriction does
// not, and the unpacker never loads it during a run.
//
// Wine takes a changed WINEDLLOVERRIDES in a child's environment block no
// further than the child's Windows environment; its loader reads the value it
// was started with. The preference is therefore set where Wine reads it per
// program: HKCU\Software\Wine\AppDefaults\<program>\DllOverrides.
#include <string>
#include <vector>

#include "unpacker_test_fixture.h"

namespace e2e {
namespace {

constexpr DWORD kTimeoutMs = 15000;

constexpr wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\";

class DllPlanting : public UnpackerTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyOneFile(ProgramPath("planted\\comctl32.dll"), folder() / "comctl32.dll"));
  }

  void TearDown() override {
    for (const std::wstring& name : preferNative_)
      RegDeleteTreeW(HKEY_CURRENT_USER, (kAppDefaults + name).c_str());
  }

  // Starts `program`, a file in the test's folder, with a native comctl32
  // preferred over Wine's own.
  void StartPlanted(ProcessUnderTest& process, const std::string& program) {
    const std::wstring name = Widen(program.substr(program.find_last_of('\\') + 1));
    const std::wstring key = kAppDefaults + name + L"\\DllOverrides";
    const wchar_t order[] = L"native,builtin";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"comctl32", REG_SZ, order, sizeof order),
              ERROR_SUCCESS);
    preferNative_.push_back(name);
    Start(process, program);
  }

  bool PlantedDllWasLoaded() const { return FileExists(folder() / "comctl32.dll.loaded"); }

  DWORD RunProbe(const std::string& probe) {
    const std::string program = folder() / probe;
    EXPECT_TRUE(CopyOneFile(ProgramPath(probe), program));
    ProcessUnderTest process;
    StartPlanted(process, program);
    const ExitReport report = process.WaitForExit(kTimeoutMs);
    EXPECT_TRUE(report.exited);
    return report.exitCode;
  }

 private:
  std::vector<std::wstring> preferNative_;
};

TEST_F(DllPlanting, ProbeWithoutRestrictionLoadsThePlantedDll) {
  EXPECT_EQ(RunProbe("dll_probe.exe"), 0u);
  EXPECT_TRUE(PlantedDllWasLoaded());
}

TEST_F(DllPlanting, ProbeWithTheUnpackersRestrictionLoadsTheSystemDll) {
  EXPECT_EQ(RunProbe("dll_probe_restricted.exe"), 0u) << "comctl32 could not be loaded at all";
  EXPECT_FALSE(PlantedDllWasLoaded());
}

TEST_F(DllPlanting, UnpackerNeverLoadsThePlantedDll) {
  const std::string package = WriteValidPackage("planted_unpacker.exe");
  ProcessUnderTest unpacker;
  StartPlanted(unpacker, package);
  std::vector<WindowInfo> seen;
  const ExitReport report = CancelUntilExit(unpacker, &seen);
  ASSERT_TRUE(report.exited);
  EXPECT_FALSE(seen.empty()) << "the run ended before it showed anything";
  EXPECT_FALSE(PlantedDllWasLoaded());
}

}  // namespace
}  // namespace e2e
