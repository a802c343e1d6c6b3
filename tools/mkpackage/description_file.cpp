// The description file: a small INI file in UTF-8, one setting per line.
//
//   ; Audio driver for the QR series
//   [package]
//   stub        = ../build/windows/unpacker.exe
//   payload     = payload/setup.exe
//   output      = out/audio-package.exe
//   name        = setup.exe
//   dest        = C:\Drivers\Audio
//   title       = Audio Driver 1.2
//   codepage    = 1252
//   model       = QR-7.B
//   model       = QR-80
//   device      = PCI\VEN_10EC&DEV_8168
//   all-models  = no
//
// Keys are those of the command line's options. "model" and "device" may
// repeat; every other key is given once. Lines whose first visible character
// is ';' or '#' are comments; there are no comments behind a value, so a title
// may hold ';' or '#'. Spaces around a value are dropped unless the value is
// wrapped in double quotes, which are then removed. Backslashes are literal.
// The [package] section line is optional; no other section exists.
//
// No packaged INI reader fits: the system's INI library exists only as a
// native shared library (nothing the Windows build can link) and, like the
// command-line library's config reader, cuts values at ';' or splits them at
// spaces, which would silently change titles and patterns.
#include "build_settings.h"
#include "files.h"

namespace mkpackage {
namespace {

constexpr char kBlanks[] = " \t\r";

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool IsAbsolutePath(const std::string& path) {
  return (!path.empty() && (path[0] == '/' || path[0] == '\\')) || (path.size() >= 2 && path[1] == ':');
}

bool ParseYesNo(const std::string& value, bool* result) {
  static const char* const kYes[] = {"yes", "true", "1"};
  static const char* const kNo[] = {"no", "false", "0"};
  for (const char* yes : kYes) {
    if (value == yes) return *result = true;
  }
  for (const char* no : kNo) {
    if (value == no) return !(*result = false);
  }
  return false;
}

bool ParseCodePage(const std::string& value, int* result) {
  for (int codePage : {1252, 932}) {
    if (value == std::to_string(codePage)) {
      *result = codePage;
      return true;
    }
  }
  return false;
}

}  // namespace

void BuildSettings::OverrideWith(const BuildSettings& overrides) {
  auto take = [](auto& mine, const auto& theirs) {
    if (theirs) mine = theirs;
  };
  take(stub, overrides.stub);
  take(payload, overrides.payload);
  take(output, overrides.output);
  take(name, overrides.name);
  take(destination, overrides.destination);
  take(title, overrides.title);
  take(devices, overrides.devices);
  take(codePage, overrides.codePage);
  if (overrides.models || overrides.allModels) {
    models = overrides.models;
    allModels = overrides.allModels;
  }
}

bool ParseDescription(const std::string& text, const std::string& folder, BuildSettings* settings,
                      std::string* error) {
  BuildSettings parsed;
  size_t lineStart = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  for (int lineNumber = 1; lineStart < text.size(); ++lineNumber) {
    size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    const std::string line = Trim(text.substr(lineStart, lineEnd - lineStart));
    lineStart = lineEnd + 1;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (line.empty() || line[0] == ';' || line[0] == '#' || line == "[package]") continue;
    if (line[0] == '[') {
      *error = where + "unknown section " + line + "; only [package] exists";
      return false;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) {
      *error = where + "expected key = value";
      return false;
    }
    const std::string key = Trim(line.substr(0, equals));
    std::string value = Trim(line.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);

    std::optional<std::string>* field = key == "stub"      ? &parsed.stub
                                        : key == "payload" ? &parsed.payload
                                        : key == "output"  ? &parsed.output
                                        : key == "name"    ? &parsed.name
                                        : key == "dest"    ? &parsed.destination
                                        : key == "title"   ? &parsed.title
                                                           : nullptr;
    const bool isPath = key == "stub" || key == "payload" || key == "output";
    if (field) {
      if (*field) {
        *error = where + "\"" + key + "\" is given twice";
        return false;
      }
      *field = isPath && !IsAbsolutePath(value) ? folder + value : value;
    } else if (key == "model" || key == "device") {
      auto& list = key == "model" ? parsed.models : parsed.devices;
      if (!list) list.emplace();
      list->push_back(value);
    } else if (key == "all-models") {
      bool allModels = false;
      if (parsed.allModels || !ParseYesNo(value, &allModels)) {
        *error = where + "\"all-models\" takes yes or no, once";
        return false;
      }
      parsed.allModels = allModels;
    } else if (key == "codepage") {
      int codePage = 0;
      if (parsed.codePage || !ParseCodePage(value, &codePage)) {
        *error = where + "\"codepage\" takes 1252 or 932, once";
        return false;
      }
      parsed.codePage = codePage;
    } else {
      *error = where + "unknown key \"" + key + "\"";
      return false;
    }
  }
  *settings = parsed;
  return true;
}

bool ReadDescriptionFile(const std::string& path, BuildSettings* settings, std::string* error) {
  FILE* file = OpenForReading(path);
  if (!file) {
    *error = "cannot open the description file " + path + ": " + LastSystemError();
    return false;
  }
  FileCloser closer(file);
  std::string text;
  char chunk[4096];
  for (size_t got; (got = fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
  if (ferror(file)) {
    *error = "cannot read the description file " + path + ": " + LastSystemError();
    return false;
  }
  const size_t slash = path.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  if (ParseDescription(text, folder, settings, error)) return true;
  *error = path + ", " + *error;
  return false;
}

}  // namespace mkpackage
