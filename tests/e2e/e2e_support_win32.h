// Small helpers for end-to-end tests running under Wine: UTF-8 paths, files,
// folders and the user interface language. Every path is UTF-8 and reaches
// Windows through the wide functions, so folders outside the ANSI code page
// work.
#pragma once

#include <string>
#include <vector>

#include "platform/windows_api.h"

namespace e2e {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

// The folder holding the running test program, where the build puts
// unpacker.exe, unpacker_faults.exe and the helpers; `ProgramPath` joins a name.
std::string ProgramFolder();
std::string ProgramPath(const std::string& name);

std::string JoinPath(const std::string& folder, const std::string& name);

bool ReadWholeFile(const std::string& path, std::string* bytes);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool CopyOneFile(const std::string& from, const std::string& to);
bool FileExists(const std::string& path);
bool MakeFolder(const std::string& path);  // parents included
void RemoveTree(const std::string& path);
// Names of the entries of a folder (without "." and ".."), sorted.
std::vector<std::string> FolderEntries(const std::string& path);

// True when Windows shows the Japanese resources (user interface language 0x411).
bool IsJapaneseUi();

// A fresh empty folder for one test, removed again with its contents.
class ScratchFolder {
 public:
  // Under the test program's temporary folder; `name` should say which test.
  explicit ScratchFolder(const std::string& name);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return JoinPath(path_, name); }

 private:
  std::string path_;
};

}  // namespace e2e
