// The Windows console program: arguments come from the system as UTF-16 and
// are handed on as UTF-8, the console shows UTF-8.
#include "platform/windows_api.h"

#include <shellapi.h>

#include <iostream>
#include <string>
#include <vector>

#include "mkpackage_cli.h"

namespace {

std::string Utf8(const wchar_t* wide) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(length > 0 ? length : 1), '\0');
  if (length > 0) WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], length, nullptr, nullptr);
  text.resize(text.size() - 1);
  return text;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** wideArgv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!wideArgv) return 1;
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(Utf8(wideArgv[i]));
  LocalFree(wideArgv);
  std::vector<const char*> argv;
  for (const auto& argument : arguments) argv.push_back(argument.c_str());
  SetConsoleOutputCP(CP_UTF8);
  return mkpackage::RunMkpackage(argc, argv.data(), std::cout, std::cerr);
}
