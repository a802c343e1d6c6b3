// The WMI property reader's walk, run under Wine: the one session of the
// process reads through fake WMI objects handed out by the call table's
// CoCreateInstance, so the production code path is the one under test; the
// last tests read Wine's own WMI.
#include "machine/wmi_session_win32.h"

#include <gtest/gtest.h>
#include <string.h>

#include <optional>
#include <string>
#include <vector>

#include "fake_wmi_win32.h"

namespace {

using fake_wmi::FakeInstance;
using fake_wmi::kClass;
using fake_wmi::Text;
using machine::g_wmiSession;
using machine::kPropertyTextSize;

class WmiWalk : public fake_wmi::FakeWmiTest {
 protected:
  // Reads into a buffer whose bytes all start as 'x', so an untouched buffer shows.
  int Read(const wchar_t* property, std::string* text) {
    memset(buffer_, 'x', sizeof buffer_);
    const int result = g_wmiSession.ReadWmiProperty(kClass, property, buffer_);
    *text = result ? std::string(buffer_) : std::string(buffer_, sizeof buffer_);
    return result;
  }

 private:
  char buffer_[kPropertyTextSize];
};

const std::string kUntouched(kPropertyTextSize, 'x');

struct WalkCase {
  const char* name;
  std::vector<FakeInstance> instances;
  const wchar_t* property;
  int result;
  std::optional<std::string> text;  // nullopt: the buffer must be untouched
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

class WalkCases : public WmiWalk, public testing::WithParamInterface<WalkCase> {};

TEST_P(WalkCases, LastInstanceDecides) {
  wmi.instances = GetParam().instances;
  std::string text;
  EXPECT_EQ(Read(GetParam().property, &text), GetParam().result);
  if (GetParam().text) {
    EXPECT_EQ(text, *GetParam().text);
  }
}

const FakeInstance kWine = {L"Win32_ComputerSystem.Name=\"WINE\"", {Text(L"Model", L"Wine")}};
const FakeInstance kNoModel = {L"Win32_ComputerSystem.Name=\"B\"", {Text(L"Name", L"B")}};

FakeInstance WithModel(const std::wstring& path, const std::wstring& model) {
  return {path, {Text(L"Name", L"n"), Text(L"Model", model)}};
}

INSTANTIATE_TEST_SUITE_P(
    Instances, WalkCases,
    testing::Values(
        WalkCase{"NoInstance", {}, L"Model", 0, kUntouched},
        WalkCase{"OnlyInstanceLate", {{kWine.path, kWine.properties, true}}, L"Model", 0, kUntouched},
        // A late second instance ends the walk with what the first gave.
        WalkCase{
            "SecondInstanceLate", {kWine, {L"B", {Text(L"Model", L"Other")}, true}}, L"Model", 1, "Wine"},
        WalkCase{"PropertyOnlyInFirst", {kWine, kNoModel}, L"Model", 0, std::nullopt},
        WalkCase{"PropertyOnlyInSecond", {kNoModel, kWine}, L"Model", 1, "Wine"},
        WalkCase{
            "BothHaveIt", {WithModel(L"A", L"First"), WithModel(L"B", L"Second")}, L"Model", 1, "Second"},
        WalkCase{"SecondPathUnreadable",
                 {kWine, {L"B", {Text(L"Model", L"Other")}, false, true}},
                 L"Model",
                 1,
                 "Wine"},
        WalkCase{"LetterCase", {kWine}, L"model", 0, kUntouched},
        WalkCase{"SystemProperty", {kWine}, L"__RELPATH", 0, kUntouched},
        WalkCase{"EmptyString", {WithModel(L"A", L"")}, L"Model", 1, ""},
        WalkCase{"LatinSmallEWithAcute", {WithModel(L"A", L"Caf\u00e9")}, L"Model", 1, "Caf\xe9"},
        WalkCase{"WideUnitInTheMiddle", {WithModel(L"A", L"AB\u0100C")}, L"Model", 1, "AB"},
        WalkCase{"NinetyNineCharacters",
                 {WithModel(L"A", std::wstring(99, L'M'))},
                 L"Model",
                 1,
                 std::string(99, 'M')},
        WalkCase{"LongerValueIsCut",
                 {WithModel(L"A", std::wstring(300, L'L'))},
                 L"Model",
                 1,
                 std::string(99, 'L')},
        WalkCase{"NotAString", {{L"A", {{L"Model", VT_I4, L""}}}}, L"Model", 0, kUntouched},
        WalkCase{"NullValue", {{L"A", {{L"Model", VT_NULL, L""}}}}, L"Model", 0, kUntouched},
        WalkCase{"ValueUnreadable", {{L"A", {{L"Model", VT_BSTR, L"Wine", true}}}}, L"Model", 0, kUntouched},
        // A name with a NUL inside is not the property, even though it starts like it.
        WalkCase{"NameWithNulInside",
                 {{L"A", {Text(std::wstring(L"Model\0X", 7), L"Wine")}}},
                 L"Model",
                 0,
                 kUntouched}),
    [](const testing::TestParamInfo<WalkCase>& info) { return info.param.name; });

TEST_F(WmiWalk, MakesTheDocumentedCalls) {
  wmi.instances = {kNoModel, kWine};
  std::string text;
  ASSERT_EQ(Read(L"Model", &text), 1);
  EXPECT_EQ(wmi.log.namespacePath, L"\\\\.\\root\\cimv2");
  EXPECT_EQ(wmi.log.className, kClass);
  EXPECT_EQ(wmi.log.fetchedPaths, (std::vector<std::wstring>{kNoModel.path, kWine.path}));
}

TEST_F(WmiWalk, EveryReadConnectsAnewAndLetsGo) {
  wmi.instances = {kWine};
  std::string text;
  ASSERT_EQ(Read(L"Model", &text), 1);
  ExpectNothingHeld();
  ASSERT_EQ(Read(L"Model", &text), 1);
  ExpectNothingHeld();
  EXPECT_EQ(wmi.log.locatorsCreated, 2);
  EXPECT_EQ(wmi.log.connections, 2);
  EXPECT_EQ(wmi.log.enumerations, 2);
}

TEST_F(WmiWalk, FailuresAfterASuccessfulReadReleaseOnlyWhatTheyGot) {
  wmi.instances = {kWine};
  std::string text;
  ASSERT_EQ(Read(L"Model", &text), 1);

  wmi.connectionFails = true;
  EXPECT_EQ(Read(L"Model", &text), 0);
  EXPECT_EQ(text, kUntouched);
  ExpectNothingHeld();

  wmi.connectionFails = false;
  wmi.locatorFails = true;
  EXPECT_EQ(Read(L"Model", &text), 0);
  ExpectNothingHeld();

  wmi.locatorFails = false;
  wmi.enumerationFails = true;
  EXPECT_EQ(Read(L"Model", &text), 0);
  EXPECT_EQ(wmi.log.connections, 3);
}

TEST_F(WmiWalk, FailingNextKeepsTheResultSoFar) {
  wmi.instances = {kWine};
  wmi.nextFailsAtEnd = true;
  std::string text;
  EXPECT_EQ(Read(L"Model", &text), 1);
  EXPECT_EQ(text, "Wine");
}

TEST_F(WmiWalk, SessionStartedWhenComWasAlreadyStartedReadsNothing) {
  // The process's one session started COM on this thread, so this one's
  // CoInitializeEx answers S_FALSE.
  machine::WmiSession late;
  char buffer[kPropertyTextSize];
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(late.ReadWmiProperty(kClass, L"Model", buffer), 0);
  EXPECT_EQ(std::string(buffer, sizeof buffer), kUntouched);
  EXPECT_EQ(wmi.log.locatorsCreated, 0);
}

TEST(WineWmi, ReportsWineAsMakerAndModel) {
  char manufacturer[kPropertyTextSize];
  char model[kPropertyTextSize];
  ASSERT_EQ(g_wmiSession.ReadWmiProperty(kClass, L"Manufacturer", manufacturer), 1);
  ASSERT_EQ(g_wmiSession.ReadWmiProperty(kClass, L"Model", model), 1);
  EXPECT_STREQ(manufacturer, "The Wine Project");
  EXPECT_STREQ(model, "Wine");
}

TEST(WineWmi, UnknownClassOrPropertyGivesNothing) {
  char text[kPropertyTextSize];
  EXPECT_EQ(g_wmiSession.ReadWmiProperty(L"Win32_NoSuchClass", L"Model", text), 0);
  EXPECT_EQ(g_wmiSession.ReadWmiProperty(kClass, L"model", text), 0);
}

}  // namespace
