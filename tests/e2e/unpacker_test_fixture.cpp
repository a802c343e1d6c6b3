#include "unpacker_test_fixture.h"

#include <algorithm>

#include "mkpackage/package_builder.h"

namespace e2e {
namespace {

struct CatalogueText {
  int id;
  const char* english;
  const char* japanese;
};

// Written out here, not taken from the resources, so that a wrong resource
// text fails the tests.
const CatalogueText kCatalogue[] = {
    {1, "Unpacking of Files ", u8"ファイルの展開"},
    {2, "Cannot open the file.", u8"ファイルが読めません。"},
    {3, "This machine does NOT support.", u8"この機種にはインストールできません。"},
    {4, "Cannot open the file.", u8"ファイルが壊れています。"},
    {5, "Temporary file already exists.\nUnpacking of files will close.\n\nTemporary file:%s",
     u8"作業用一時ファイルと同名のファイルが見つかりました。\nファイルの展開を中止します。\n\n作業用一時ファ"
     u8"イル名：%s"},
    {6, "Cannot write the file.", u8"ファイルを書き込めません。"},
    {7, "Cannot execute.", u8"解凍プログラムを実行できません。"},
    {8, "Cannot find the temporary folder.", u8"作業用フォルダが見つかりません。"},
    {9, "Cannot write.", u8"書き込みに失敗しました。"},
    {10, "Unpacking of files completed.", u8"ファイルの展開が完了しました。"},
    {11, "m", "j"},
    {13, "The folder name is invalid.", u8"無効なフォルダ名です。"},
    {15, "%s already exists.\nDo you want to replace it?", u8"%s は既に存在します。\n上書きしますか？"},
    {16, "Unpacking of files will close.", u8"ファイルの展開を中止します。"},
};

constexpr DWORD kWindowTimeoutMs = 15000;

std::string CurrentTestName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name)
    if (c == '/') c = '-';
  return name;
}

}  // namespace

std::string ExpectedMessage(int id) {
  for (const CatalogueText& text : kCatalogue)
    if (text.id == id) return IsJapaneseUi() ? text.japanese : text.english;
  ADD_FAILURE() << "no message " << id << " in the catalogue";
  return {};
}

std::string ExpectedAppCaption() { return ExpectedMessage(1); }

std::string SamplePayload() { return "MZ stand-in payload\n##\n"; }

bool BuildValidPackage(const std::string& path, const PackageFields& fields, std::string* error) {
  // The builder takes the payload from a file; this one goes once the package stands.
  const std::string payloadPath = path + ".payload";
  if (!WriteWholeFile(payloadPath, fields.payload)) {
    *error = "cannot write " + payloadPath;
    return false;
  }
  mkpackage::PackageDefinition definition;
  definition.payloadFileName = fields.payloadFileName;
  definition.destinationFolder = fields.destination;
  definition.title = fields.title;
  definition.modelPatterns = fields.models;
  definition.devicePatterns = fields.devices;
  definition.allModels = fields.models.empty();
  definition.codePage = fields.codePage;
  const bool built = mkpackage::BuildPackage(definition, ProgramPath(fields.stub), payloadPath, path, error);
  DeleteFileW(Widen(payloadPath).c_str());
  return built;
}

void ExpectBox(const WindowInfo& window, const ExpectedBox& box) {
  SCOPED_TRACE(window.Describe());
  EXPECT_EQ(window.kind, WindowKind::MessageBox);
  EXPECT_EQ(window.text, box.text);
  EXPECT_EQ(window.caption, box.caption);
  EXPECT_STREQ(ToString(window.icon), ToString(box.icon));
  EXPECT_EQ(window.ButtonIds(), std::vector<int>{IDOK});
}

UnpackerTest::UnpackerTest() : folder_(CurrentTestName()), tempFolder_(folder_ / "temp") {
  MakeFolder(tempFolder_);
}

std::string UnpackerTest::WritePackage(const std::string& name, const RawPackage& package) {
  const std::string path = folder_ / name;
  EXPECT_TRUE(WriteRawPackage(path, package)) << path;
  return path;
}

std::string UnpackerTest::WriteValidPackage(const std::string& name, const PackageFields& fields) {
  const std::string path = folder_ / name;
  std::string error;
  EXPECT_TRUE(BuildValidPackage(path, fields, &error)) << path << ": " << error;
  return path;
}

void UnpackerTest::Start(ProcessUnderTest& process, const std::string& program,
                         std::vector<std::pair<std::string, std::string>> environment,
                         const std::string& arguments) {
  environment.emplace_back("TMP", tempFolder_);
  environment.emplace_back("TEMP", tempFolder_);
  std::string error;
  ASSERT_TRUE(process.Start({program, arguments, folder_.path(), environment}, &error)) << error;
}

void UnpackerTest::ExpectOnlyBoxThenExit(ProcessUnderTest& process, const ExpectedBox& box, DWORD exitCode) {
  WindowInfo window;
  ASSERT_TRUE(process.WaitForWindow(&window, kWindowTimeoutMs)) << "no window appeared";
  ExpectBox(window, box);
  ASSERT_TRUE(PressButton(window.handle, IDOK));
  ASSERT_TRUE(process.WaitForWindowGone(window.handle, kWindowTimeoutMs)) << "the box stayed";
  const ExitReport report = process.WaitForExit(kWindowTimeoutMs);
  ASSERT_TRUE(report.exited) << "the program did not end";
  EXPECT_EQ(report.exitCode, exitCode);
  for (const WindowInfo& extra : report.windowsShown)
    ADD_FAILURE() << "unexpected window: " << extra.Describe();
}

void AnswerWithCancel(const WindowInfo& window) {
  const std::vector<int> buttons = window.ButtonIds();
  auto has = [&](int id) { return std::find(buttons.begin(), buttons.end(), id) != buttons.end(); };
  if (has(IDCANCEL))
    PressButton(window.handle, IDCANCEL);
  else if (has(IDNO))
    PressButton(window.handle, IDNO);
  else if (has(IDOK))
    PressButton(window.handle, IDOK);
  else
    SendEscape(window.handle);
}

ExitReport UnpackerTest::CancelUntilExit(ProcessUnderTest& process, std::vector<WindowInfo>* seen) {
  WindowInfo window;
  while (process.WaitForWindow(&window, kWindowTimeoutMs)) {
    seen->push_back(window);
    AnswerWithCancel(window);
    if (!process.WaitForWindowGone(window.handle, kWindowTimeoutMs)) {
      ADD_FAILURE() << "window stayed: " << window.Describe();
      break;
    }
  }
  return process.WaitForExit(kWindowTimeoutMs);
}

}  // namespace e2e
