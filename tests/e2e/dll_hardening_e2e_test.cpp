// A DLL planted beside a program, with Wine told to prefer a native DLL of that
// name over its own: the probe without the DLL search restriction loads it (so
// planting works here), the probe with the unpacker's restriction does not,
// and the unpacker never loads it during a run. comctl32 is the DLL that the
// unpacker loads itself; uxtheme is one that comctl32 loads in turn.
//
// Wine takes a changed WINEDLLOVERRIDES in a child's environment block no
// further than the child's Windows environment; its loader reads the value it
// was started with. The preference is therefore set where Wine reads it per
// program: HKCU\Software\Wine\AppDefaults\<program>\DllOverrides.
#include <ostream>
#include <string>
#include <vector>

#include "unpacker_test_fixture.h"

namespace e2e {
namespace {

constexpr DWORD kTimeoutMs = 15000;
constexpr wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\";

struct PlantedName {
  const char* name;  // without ".dll"
};

void PrintTo(const PlantedName& planted, std::ostream* os) { *os << planted.name; }

class DllPlanting : public UnpackerTest, public ::testing::WithParamInterface<PlantedName> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyOneFile(ProgramPath("planted\\comctl32.dll"), folder() / DllName()));
  }

  void TearDown() override {
    for (const std::wstring& program : preferNative_)
      RegDeleteTreeW(HKEY_CURRENT_USER, (kAppDefaults + program).c_str());
  }

  std::string DllName() const { return std::string(GetParam().name) + ".dll"; }

  // Starts `program`, a file in the test's folder, with a native DLL of the
  // planted name preferred over Wine's own.
  void StartPlanted(ProcessUnderTest& process, const std::string& program) {
    const std::wstring name = Widen(program.substr(program.find_last_of('\\') + 1));
    const std::wstring key = kAppDefaults + name + L"\\DllOverrides";
    const wchar_t order[] = L"native,builtin";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), Widen(GetParam().name).c_str(), REG_SZ, order,
                              sizeof order),
              ERROR_SUCCESS);
    preferNative_.push_back(name);
    Start(process, program);
  }

  bool PlantedDllWasLoaded() const { return FileExists(folder() / (DllName() + ".loaded")); }

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

TEST_P(DllPlanting, ProbeWithoutRestrictionLoadsThePlantedDll) {
  EXPECT_EQ(RunProbe("dll_probe.exe"), 0u);
  EXPECT_TRUE(PlantedDllWasLoaded());
}

TEST_P(DllPlanting, ProbeWithTheUnpackersRestrictionLoadsOnlySystemDlls) {
  EXPECT_EQ(RunProbe("dll_probe_restricted.exe"), 0u) << "comctl32 could not be loaded at all";
  EXPECT_FALSE(PlantedDllWasLoaded());
}

TEST_P(DllPlanting, UnpackerNeverLoadsThePlantedDll) {
  const std::string package = WriteValidPackage("planted_unpacker.exe");
  ProcessUnderTest unpacker;
  StartPlanted(unpacker, package);
  std::vector<WindowInfo> seen;
  const ExitReport report = CancelUntilExit(unpacker, &seen);
  ASSERT_TRUE(report.exited);
  EXPECT_FALSE(seen.empty()) << "the run ended before it showed anything";
  EXPECT_FALSE(PlantedDllWasLoaded());
}

INSTANTIATE_TEST_SUITE_P(Names, DllPlanting,
                         ::testing::Values(PlantedName{"comctl32"}, PlantedName{"uxtheme"}),
                         [](const ::testing::TestParamInfo<PlantedName>& info) { return info.param.name; });

}  // namespace
}  // namespace e2e
