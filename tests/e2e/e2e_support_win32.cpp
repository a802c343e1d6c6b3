#include "e2e_support_win32.h"

#include <algorithm>

namespace e2e {

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], size);
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], size, nullptr,
                      nullptr);
  return utf8;
}

std::string ProgramFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return Narrow(folder.substr(0, folder.find_last_of(L"\\/")));
}

std::string ProgramPath(const std::string& name) { return JoinPath(ProgramFolder(), name); }

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  const HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes->clear();
  char chunk[65536];
  DWORD read = 0;
  bool ok = true;
  while ((ok = ReadFile(file, chunk, sizeof chunk, &read, nullptr) != FALSE) && read > 0)
    bytes->append(chunk, read);
  CloseHandle(file);
  return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE &&
      written == bytes.size();
  CloseHandle(file);
  return ok;
}

bool CopyOneFile(const std::string& from, const std::string& to) {
  return CopyFileW(Widen(from).c_str(), Widen(to).c_str(), FALSE) != FALSE;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeFolder(const std::string& path) {
  const std::wstring wide = Widen(path);
  for (size_t at = wide.find(L'\\', 3); at != std::wstring::npos; at = wide.find(L'\\', at + 1))
    CreateDirectoryW(wide.substr(0, at).c_str(), nullptr);
  return CreateDirectoryW(wide.c_str(), nullptr) != FALSE || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::vector<std::string> FolderEntries(const std::string& path) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(Widen(JoinPath(path, "*")).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(Narrow(name));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTree(const std::string& path) {
  for (const std::string& name : FolderEntries(path)) {
    const std::string child = JoinPath(path, name);
    const DWORD attributes = GetFileAttributesW(Widen(child).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      RemoveTree(child);
    } else {
      SetFileAttributesW(Widen(child).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(Widen(child).c_str());
    }
  }
  RemoveDirectoryW(Widen(path).c_str());
}

bool IsJapaneseUi() { return GetUserDefaultUILanguage() == 0x411; }

ScratchFolder::ScratchFolder(const std::string& name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  path_ = JoinPath(JoinPath(Narrow(temp), "unpacker-e2e-" + std::to_string(GetCurrentProcessId())), name);
  RemoveTree(path_);
  MakeFolder(path_);
}

ScratchFolder::~ScratchFolder() {
  RemoveTree(path_);
  // The run's common parent goes with its last test folder.
  RemoveDirectoryW(Widen(path_.substr(0, path_.find_last_of('\\'))).c_str());
}

}  // namespace e2e
