// The licence and destination dialogs as the user meets them, in the language
// Windows shows; and the destination examination with the shell's own path
// functions against the portable rules the unit tests check.
#include <memory>
#include <string>
#include <vector>

#include "res/resource_ids.h"
#include "ui/destination_examination.h"
#include "ui/licence_text.h"
#include "ui/shell_path_operations_win32.h"
#include "unpacker_test_fixture.h"

namespace e2e {
namespace {

constexpr DWORD kTimeoutMs = 15000;
const std::string kTitle = "Dialogs E2E Package";

// ANSI code page text, as the unpacker handles it, to UTF-8 as the driver reads it.
std::string FromAnsi(const std::string& ansi) {
  const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), length);
  return Narrow(wide);
}

std::string ToAnsi(const std::string& utf8) {
  const std::wstring wide = Widen(utf8);
  const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string ansi(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), length, nullptr,
                      nullptr);
  return ansi;
}

// Message 15 as it must read with `typed` filled in.
std::string ReplacePrompt(const std::string& typed) {
  std::string text = ExpectedMessage(IDS_REPLACE_PROMPT);
  text.replace(text.find("%s"), 2, typed);
  return text;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

int DefaultButton(HWND dialog) {
  const LRESULT answer = SendMessageW(dialog, DM_GETDEFID, 0, 0);
  return HIWORD(answer) == DC_HASDEFID ? LOWORD(answer) : 0;
}

bool IsDefaultPushButton(HWND dialog, int id) {
  return (GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

// A box without icon still holds the icon's static control, holding no icon.
bool ShowsNoIcon(HWND box) {
  const HWND icon = GetDlgItem(box, 0x440);
  return icon == nullptr || !IsWindowVisible(icon) || SendMessageW(icon, STM_GETICON, 0, 0) == 0;
}

bool IsLicenceDialog(const WindowInfo& window) {
  return window.className == "#32770" && window.FindControl(IDC_LICENCE_TEXT) != nullptr;
}
bool IsDestinationDialog(const WindowInfo& window) {
  return window.className == "#32770" && window.FindControl(IDC_DESTINATION_PATH) != nullptr;
}

class Dialogs : public UnpackerTest {
 protected:
  // The default destination, inside the test's folder, which does not exist.
  std::string DefaultDestination() const { return folder() / "Default"; }

  PackageFields Fields(const std::string& payload = SamplePayload(),
                       const std::string& defaultDestination = "") {
    PackageFields fields;
    fields.destination = defaultDestination.empty() ? DefaultDestination() : defaultDestination;
    fields.title = kTitle;
    fields.payload = payload;
    return fields;
  }

  void StartPackage(ProcessUnderTest& process, const std::string& payload = SamplePayload(),
                    const std::string& defaultDestination = "") {
    Start(process, WriteValidPackage("package.exe", Fields(payload, defaultDestination)));
  }

  WindowInfo NextWindow(ProcessUnderTest& process) {
    WindowInfo window;
    EXPECT_TRUE(process.WaitForWindow(&window, kTimeoutMs)) << "no window appeared";
    return window;
  }

  void Press(ProcessUnderTest& process, const WindowInfo& window, int button) {
    ASSERT_TRUE(PressButton(window.handle, button));
    ASSERT_TRUE(process.WaitForWindowGone(window.handle, kTimeoutMs)) << "stayed: " << window.Describe();
  }

  // Starts the package and answers the licence with Yes; gives the destination dialog.
  WindowInfo ReachDestination(ProcessUnderTest& process) {
    StartPackage(process);
    const WindowInfo licence = NextWindow(process);
    EXPECT_TRUE(IsLicenceDialog(licence)) << licence.Describe();
    Press(process, licence, IDYES);
    return NextWindow(process);
  }

  // The destination dialog showing `text` wholly selected in the focused box.
  void ExpectDestinationShowing(const WindowInfo& window, const std::string& text) {
    SCOPED_TRACE(window.Describe());
    ASSERT_TRUE(IsDestinationDialog(window));
    EXPECT_EQ(window.caption, kTitle);
    EXPECT_EQ(ReadControlText(window.handle, IDC_DESTINATION_PATH), text);
    const HWND box = GetDlgItem(window.handle, IDC_DESTINATION_PATH);
    EXPECT_EQ(FocusOf(window.handle), box);
    const LRESULT selection = SendMessageW(box, EM_GETSEL, 0, 0);
    EXPECT_EQ(LOWORD(selection), 0);
    EXPECT_EQ(HIWORD(selection), SendMessageW(box, WM_GETTEXTLENGTH, 0, 0));
  }

  // Types `text` and confirms it with OK; gives the window that follows.
  WindowInfo Confirm(ProcessUnderTest& process, const WindowInfo& destination, const std::string& text) {
    EXPECT_TRUE(TypeText(destination.handle, IDC_DESTINATION_PATH, text));
    Press(process, destination, IDOK);
    return NextWindow(process);
  }

  void ExpectReplacePrompt(const WindowInfo& box, const std::string& typed) {
    SCOPED_TRACE(box.Describe());
    EXPECT_EQ(box.kind, WindowKind::MessageBox);
    EXPECT_EQ(box.text, ReplacePrompt(typed));
    EXPECT_EQ(box.caption, kTitle);
    EXPECT_STREQ(ToString(box.icon), ToString(BoxIcon::Warning));
    EXPECT_EQ(box.ButtonIds(), (std::vector<int>{IDYES, IDNO}));
    EXPECT_TRUE(IsDefaultPushButton(box.handle, IDNO));
    EXPECT_EQ(FocusOf(box.handle), GetDlgItem(box.handle, IDNO));
  }

  void ExpectInvalidFolderBox(const WindowInfo& box) {
    SCOPED_TRACE(box.Describe());
    EXPECT_EQ(box.kind, WindowKind::MessageBox);
    EXPECT_EQ(box.text, ExpectedMessage(IDS_INVALID_FOLDER));
    EXPECT_EQ(box.caption, kTitle);
    EXPECT_TRUE(ShowsNoIcon(box.handle));
    EXPECT_EQ(box.ButtonIds(), std::vector<int>{IDOK});
  }

  // Message 16 under the title, then exit code 0 with nothing written.
  void ExpectClosingAndNothingWritten(ProcessUnderTest& process) {
    ExpectOnlyBoxThenExit(process, {ExpectedMessage(IDS_CLOSING), kTitle, BoxIcon::Information});
    EXPECT_EQ(FolderEntries(tempFolder()), std::vector<std::string>{});
    EXPECT_EQ(FolderEntries(folder().path()), (std::vector<std::string>{"package.exe", "temp"}));
  }

  // After an accepted destination the run goes on to the payload; the
  // stand-in payload cannot be started, which delivery reports with message 7.
  void ExpectAcceptedThenStandInPayloadRefused(ProcessUnderTest& process) {
    ExpectOnlyBoxThenExit(process,
                          {ExpectedMessage(IDS_CANNOT_EXECUTE), ExpectedAppCaption(), BoxIcon::Warning});
  }
};

TEST_F(Dialogs, LicenceShowsTheTitleAndTheLicenceTextOfTheUiLanguageWithNoFocusedAndDefault) {
  ProcessUnderTest process;
  StartPackage(process);
  const WindowInfo licence = NextWindow(process);
  SCOPED_TRACE(licence.Describe());
  ASSERT_TRUE(IsLicenceDialog(licence));
  EXPECT_EQ(licence.caption, kTitle);

  const std::string shown = ReadControlText(licence.handle, IDC_LICENCE_TEXT);
  auto expected = std::make_unique<char[]>(ui::kLicenceTextSize);
  ui::BuildLicenceText(IsJapaneseUi() ? 'j' : 'm',
                       *reinterpret_cast<char(*)[ui::kLicenceTextSize]>(expected.get()));
  EXPECT_EQ(shown, FromAnsi(expected.get()));
  const std::string opening =
      IsJapaneseUi() ? u8"\r\n       お客様へ" : "PLEASE READ THIS NOTICE CAREFULLY BEFORE YOU USE THIS";
  EXPECT_EQ(shown.substr(0, opening.size()), opening);

  EXPECT_EQ(DefaultButton(licence.handle), IDNO);
  EXPECT_TRUE(IsDefaultPushButton(licence.handle, IDNO));
  EXPECT_EQ(FocusOf(licence.handle), GetDlgItem(licence.handle, IDNO));
  const LONG boxStyle = GetWindowLongW(GetDlgItem(licence.handle, IDC_LICENCE_TEXT), GWL_STYLE);
  EXPECT_EQ(boxStyle & (ES_MULTILINE | WS_VSCROLL), ES_MULTILINE | WS_VSCROLL);
  EXPECT_EQ(boxStyle & (ES_READONLY | WS_HSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN), 0);

  Press(process, licence, IDNO);
  ExpectClosingAndNothingWritten(process);
}

// Every way of declining the licence or cancelling the destination dialog
// ends with message 16 and writes nothing.
struct DeclineCase {
  const char* name;
  bool atDestination;
  bool (*act)(HWND dialog);
};

bool PressNo(HWND dialog) { return PressButton(dialog, IDNO); }
bool PressCancel(HWND dialog) { return PressButton(dialog, IDCANCEL); }
bool EnterInLicenceText(HWND dialog) {
  return PostMessageW(GetDlgItem(dialog, IDC_LICENCE_TEXT), WM_KEYDOWN, VK_RETURN, 0x001C0001) != FALSE;
}

class Declines : public Dialogs, public testing::WithParamInterface<DeclineCase> {};

TEST_P(Declines, EndWithMessage16AndNothingWritten) {
  ProcessUnderTest process;
  WindowInfo dialog;
  if (GetParam().atDestination) {
    dialog = ReachDestination(process);
    ASSERT_TRUE(IsDestinationDialog(dialog)) << dialog.Describe();
  } else {
    StartPackage(process);
    dialog = NextWindow(process);
    ASSERT_TRUE(IsLicenceDialog(dialog)) << dialog.Describe();
  }
  ASSERT_TRUE(GetParam().act(dialog.handle));
  ASSERT_TRUE(process.WaitForWindowGone(dialog.handle, kTimeoutMs)) << "the dialog stayed";
  ExpectClosingAndNothingWritten(process);
}

INSTANTIATE_TEST_SUITE_P(Answers, Declines,
                         testing::Values(DeclineCase{"LicenceNo", false, PressNo},
                                         DeclineCase{"LicenceEnterAtOnce", false, SendEnter},
                                         DeclineCase{"LicenceEnterInTextBox", false, EnterInLicenceText},
                                         DeclineCase{"LicenceEscape", false, SendEscape},
                                         DeclineCase{"LicenceCloseBox", false, SendClose},
                                         DeclineCase{"DestinationCancel", true, PressCancel},
                                         DeclineCase{"DestinationEscape", true, SendEscape},
                                         DeclineCase{"DestinationCloseBox", true, SendClose}),
                         [](const testing::TestParamInfo<DeclineCase>& info) { return info.param.name; });

TEST_F(Dialogs, InvalidTextsGiveMessage13AndReopenWithTheRejectedText) {
  ProcessUnderTest process;
  WindowInfo destination = ReachDestination(process);
  ExpectDestinationShowing(destination, DefaultDestination());

  std::vector<std::string> invalid = {"", "Drivers", "\\\\server\\share\\Drivers", "C:/Drivers/E2E"};
  // Katakana po is 0x83 0x7C in code page 932: its second byte is the code of
  // the vertical bar.
  if (GetACP() == 932) invalid.push_back(u8"C:\\Drivers\\ポ");
  for (const std::string& text : invalid) {
    SCOPED_TRACE("typed \"" + text + "\"");
    const WindowInfo box = Confirm(process, destination, text);
    ExpectInvalidFolderBox(box);
    Press(process, box, IDOK);
    destination = NextWindow(process);
    ExpectDestinationShowing(destination, text);
    if (HasFatalFailure()) return;
  }
  Press(process, destination, IDCANCEL);
  ExpectClosingAndNothingWritten(process);
}

TEST_F(Dialogs, ExistingFolderAsksWithTheTextAsTypedNoReopensAndYesAccepts) {
  const std::string existing = folder() / "Existing";
  ASSERT_TRUE(MakeFolder(existing));
  const std::string typed = existing + "\\";  // looked up without, shown with the backslash
  ProcessUnderTest process;
  WindowInfo destination = ReachDestination(process);

  WindowInfo prompt = Confirm(process, destination, typed);
  ExpectReplacePrompt(prompt, typed);
  Press(process, prompt, IDNO);
  destination = NextWindow(process);
  ExpectDestinationShowing(destination, typed);

  Press(process, destination, IDOK);
  prompt = NextWindow(process);
  ExpectReplacePrompt(prompt, typed);
  Press(process, prompt, IDYES);
  ExpectAcceptedThenStandInPayloadRefused(process);
}

TEST_F(Dialogs, ExistingFileAsksToo) {
  const std::string file = folder() / "setup.log";
  ASSERT_TRUE(WriteWholeFile(file, "log"));
  ProcessUnderTest process;
  WindowInfo destination = ReachDestination(process);
  const WindowInfo prompt = Confirm(process, destination, file);
  ExpectReplacePrompt(prompt, file);
  Press(process, prompt, IDNO);
  destination = NextWindow(process);
  ExpectDestinationShowing(destination, file);
  Press(process, destination, IDCANCEL);
  ExpectOnlyBoxThenExit(process, {ExpectedMessage(IDS_CLOSING), kTitle, BoxIcon::Information});
}

// The file search never finds a root, so a drive root needs no question.
TEST_F(Dialogs, DriveRootIsAcceptedWithoutQuestion) {
  ProcessUnderTest process;
  const WindowInfo destination = ReachDestination(process);
  ASSERT_TRUE(TypeText(destination.handle, IDC_DESTINATION_PATH, "C:\\"));
  Press(process, destination, IDOK);
  ExpectAcceptedThenStandInPayloadRefused(process);
}

TEST_F(Dialogs, FullRunWithAChangedDestinationDeliversThePayloadsFiles) {
  std::string payload;
  ASSERT_TRUE(ReadWholeFile(ProgramPath("sample_payload.exe"), &payload));
  const std::string chosen = folder() / "Chosen";
  ProcessUnderTest process;
  StartPackage(process, payload);
  const WindowInfo licence = NextWindow(process);
  ASSERT_TRUE(IsLicenceDialog(licence)) << licence.Describe();
  Press(process, licence, IDYES);
  const WindowInfo destination = NextWindow(process);
  ExpectDestinationShowing(destination, DefaultDestination());
  ASSERT_TRUE(TypeText(destination.handle, IDC_DESTINATION_PATH, chosen));
  Press(process, destination, IDOK);
  ExpectOnlyBoxThenExit(process, {ExpectedMessage(IDS_COMPLETED), kTitle, BoxIcon::Information}, 1);
  EXPECT_EQ(FolderEntries(chosen), (std::vector<std::string>{"docs", "readme.txt", "release-notes.txt"}));
  EXPECT_FALSE(FileExists(folder() / "Default"));
}

// The typing limit of 128 characters holds only for typing: a longer default
// is shown whole and, confirmed as it stands, delivered to as it stands.
TEST_F(Dialogs, LongerDefaultIsShownAndAcceptedWhole) {
  std::string payload;
  ASSERT_TRUE(ReadWholeFile(ProgramPath("sample_payload.exe"), &payload));
  const std::string longFolder = folder() / std::string(200 - folder().path().size(), 'L');
  ASSERT_GT(longFolder.size(), 128u);
  ProcessUnderTest process;
  StartPackage(process, payload, longFolder);
  const WindowInfo licence = NextWindow(process);
  ASSERT_TRUE(IsLicenceDialog(licence)) << licence.Describe();
  Press(process, licence, IDYES);
  const WindowInfo destination = NextWindow(process);
  ExpectDestinationShowing(destination, longFolder);
  Press(process, destination, IDOK);
  ExpectOnlyBoxThenExit(process, {ExpectedMessage(IDS_COMPLETED), kTitle, BoxIcon::Information}, 1);
  EXPECT_EQ(FolderEntries(longFolder), (std::vector<std::string>{"docs", "readme.txt", "release-notes.txt"}));
}

TEST_F(Dialogs, TypingStopsAt128Characters) {
  ProcessUnderTest process;
  const WindowInfo destination = ReachDestination(process);
  ASSERT_TRUE(IsDestinationDialog(destination)) << destination.Describe();
  const HWND box = GetDlgItem(destination.handle, IDC_DESTINATION_PATH);
  ASSERT_TRUE(TypeText(destination.handle, IDC_DESTINATION_PATH, "C:\\"));
  SendMessageW(box, EM_SETSEL, 3, 3);
  for (int i = 0; i < 200; ++i) SendMessageW(box, WM_CHAR, 'a', 1);
  EXPECT_EQ(SendMessageW(box, WM_GETTEXTLENGTH, 0, 0), 128);
  EXPECT_EQ(ReadControlText(destination.handle, IDC_DESTINATION_PATH), "C:\\" + std::string(125, 'a'));
  Press(process, destination, IDCANCEL);
  ExpectClosingAndNothingWritten(process);
}

// A dialog that cannot be created ends its stage like a No or a Cancel: the
// destination loop must not show it again and again.
struct UncreatableCase {
  const char* name;
  const char* faults;  // UNPACKER_FAULTS for unpacker_faults.exe
  bool answerLicence;
};

class UncreatableDialog : public Dialogs, public testing::WithParamInterface<UncreatableCase> {};

TEST_P(UncreatableDialog, EndsWithMessage16) {
  PackageFields fields = Fields();
  fields.stub = "unpacker_faults.exe";
  ProcessUnderTest process;
  Start(process, WriteValidPackage("package.exe", fields), {{"UNPACKER_FAULTS", GetParam().faults}});
  if (GetParam().answerLicence) {
    const WindowInfo licence = NextWindow(process);
    ASSERT_TRUE(IsLicenceDialog(licence)) << licence.Describe();
    Press(process, licence, IDYES);
  }
  ExpectClosingAndNothingWritten(process);
}

INSTANTIATE_TEST_SUITE_P(Faults, UncreatableDialog,
                         testing::Values(UncreatableCase{"Licence", "DialogBoxParamA:1", false},
                                         UncreatableCase{"Destination", "DialogBoxParamA:2+", true}),
                         [](const testing::TestParamInfo<UncreatableCase>& info) { return info.param.name; });

// The examination with the shell's path functions and with the portable
// rules gives the same verdicts, on the disk and in the code page the tests
// run in.
struct ExaminationCase {
  std::string text;  // ANSI code page
  ui::DestinationVerdict verdict;
};

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

class PortableRulesOnDisk final : public ui::PortablePathRules {
 public:
  PortableRulesOnDisk() : PortablePathRules(IsLeadByte) {}
  int Exists(const char* name) const override { return ui::ShellPathOperations().Exists(name); }
};

TEST_F(Dialogs, ShellPathFunctionsAndPortableRulesGiveTheSameVerdicts) {
  const std::string base = ToAnsi(folder().path());
  ASSERT_TRUE(MakeFolder(folder() / "Existing"));
  ASSERT_TRUE(WriteWholeFile(folder() / "setup.log", "log"));
  constexpr auto kAccepted = ui::kDestinationAccepted;
  constexpr auto kInvalid = ui::kDestinationInvalid;
  constexpr auto kExists = ui::kDestinationExists;
  std::vector<ExaminationCase> cases = {
      {"", kInvalid},
      {"Drivers", kInvalid},
      {"setup.log", kInvalid},
      {"\\\\server\\share\\Drivers", kInvalid},
      {"\\\\server\\share", kInvalid},
      {"C:/Drivers/E2E", kInvalid},
      {"C:\\Dri|vers", kInvalid},
      {"C:\\Drivers>", kInvalid},
      {"C:\\<Drivers", kInvalid},
      {"C:\\Drivers?", kInvalid},
      {"C:\\Drivers\\*", kInvalid},
      {"C:", kInvalid},
      {"C:Drivers", kInvalid},
      {"\\Drivers", kInvalid},
      {"1:\\Drivers", kInvalid},
      {" C:\\Drivers", kInvalid},
      {"C:\\Drivers:Audio", kInvalid},
      {"C:\\a\"b", kAccepted},
      {"C:\\", kAccepted},
      {"z:\\new folder", kAccepted},
      {"C:\\\\", kAccepted},
      {base + "\\New", kAccepted},
      {base + "\\Existing", kExists},
      {base + "\\Existing\\", kExists},
      {base + "\\setup.log", kExists},
      {"C:\\" + std::string(256, 'a'), kAccepted},
  };
  if (GetACP() == 932) {
    // Katakana po (0x83 0x7C) carries the vertical bar's code; katakana so
    // (0x83 0x5C) the backslash's, which neither rule takes for a delimiter.
    ASSERT_TRUE(CreateDirectoryA((base + "\\\x83\x5c").c_str(), nullptr));
    cases.push_back({"C:\\\x83\x7c", kInvalid});
    cases.push_back({base + "\\\x83\x5c", kExists});
    cases.push_back({base + "\\\x83\x5c\\", kExists});
    cases.push_back({"\x83\x5c\x83\x5c", kInvalid});
  }

  const ui::ShellPathOperations shell;
  const PortableRulesOnDisk portable;
  for (const ExaminationCase& c : cases) {
    SCOPED_TRACE("text \"" + FromAnsi(c.text) + "\"");
    EXPECT_EQ(ui::ExamineDestination(c.text.c_str(), shell), c.verdict);
    EXPECT_EQ(ui::ExamineDestination(c.text.c_str(), portable), c.verdict);
  }
}

}  // namespace
}  // namespace e2e
