#include "mkpackage_cli.h"

#include <string.h>
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "build_settings.h"
#include "codepage.h"
#include "files.h"
#include "machine_match.h"
#include "package_builder.h"
#include "package_inspection.h"
#include "this_machine.h"
#include "validation.h"

namespace mkpackage {
namespace {

constexpr int kFailure = 1;

int Fail(std::ostream& err, const std::string& message) {
  err << "mkpackage: error: " << message << "\n";
  return kFailure;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void AddCodePageOption(CLI::App* command, int* codePage, const char* what) {
  command->add_option("--codepage", *codePage, what)
      ->check(CLI::IsMember({kWesternCodePage, kJapaneseCodePage}));
}

// build

struct BuildCommand {
  std::string from;
  std::string stub, payload, output, name, destination, title;
  std::vector<std::string> models, devices;
  bool allModels = false;
  bool replacePackage = false;
  int codePage = kWesternCodePage;
  CLI::App* app = nullptr;
};

void AddBuildCommand(CLI::App& app, BuildCommand* command) {
  CLI::App* build = command->app = app.add_subcommand(
      "build", "Build a package: the unpacker, the header, the payload and the trailer in one file.");
  build
      ->add_option("--from", command->from,
                   "Description file (INI) with the settings below; flags override it")
      ->type_name("FILE");
  build->add_option("--stub", command->stub, "The unpacker executable the package is appended to")
      ->type_name("FILE");
  build->add_option("--payload", command->payload, "The payload executable")->type_name("FILE");
  build->add_option("-o,--output", command->output, "The package to write")->type_name("FILE");
  build->add_option("--name", command->name,
                    "Payload file name in the package (default: the payload's name)");
  build->add_option("--dest", command->destination, "Default destination folder, like C:\\Drivers\\Audio");
  build->add_option("--title", command->title, "Title: caption of the dialogs and messages");
  build->add_option("--model", command->models, "Model pattern ('.' matches any one character); repeatable")
      ->type_name("PATTERN")
      ->allow_extra_args(false);
  build->add_option("--device", command->devices, "PCI device instance ID prefix; repeatable")
      ->type_name("PATTERN")
      ->allow_extra_args(false);
  build->add_flag("--all-models", command->allModels, "Apply to every machine: no model or device check");
  AddCodePageOption(build, &command->codePage, "ANSI code page the texts are stored in (default 1252)");
  build->add_flag("--replace-package", command->replacePackage,
                  "Accept a stub that carries a package and replace that package");
}

BuildSettings GivenFlags(const BuildCommand& command) {
  BuildSettings flags;
  auto given = [&](const char* option) { return command.app->get_option(option)->count() > 0; };
  if (given("--stub")) flags.stub = command.stub;
  if (given("--payload")) flags.payload = command.payload;
  if (given("--output")) flags.output = command.output;
  if (given("--name")) flags.name = command.name;
  if (given("--dest")) flags.destination = command.destination;
  if (given("--title")) flags.title = command.title;
  if (given("--model")) flags.models = command.models;
  if (given("--all-models")) flags.allModels = command.allModels;
  if (given("--device")) flags.devices = command.devices;
  if (given("--codepage")) flags.codePage = command.codePage;
  return flags;
}

int RunBuild(const BuildCommand& command, std::ostream& out, std::ostream& err) {
  BuildSettings settings;
  std::string error;
  if (!command.from.empty() && !ReadDescriptionFile(command.from, &settings, &error)) return Fail(err, error);
  settings.OverrideWith(GivenFlags(command));

  static const struct {
    std::optional<std::string> BuildSettings::*field;
    const char* name;
  } kRequired[] = {{&BuildSettings::stub, "stub"},
                   {&BuildSettings::payload, "payload"},
                   {&BuildSettings::output, "output"},
                   {&BuildSettings::destination, "dest"},
                   {&BuildSettings::title, "title"}};
  for (const auto& required : kRequired) {
    if (!(settings.*required.field)) {
      return Fail(err, std::string("no ") + required.name + " given (--" + required.name + " or \"" +
                           required.name + " =\" in the description file)");
    }
  }

  PackageDefinition definition;
  definition.payloadFileName = settings.name.value_or(BaseName(*settings.payload));
  definition.destinationFolder = *settings.destination;
  definition.title = *settings.title;
  definition.modelPatterns = settings.models.value_or(std::vector<std::string>());
  definition.devicePatterns = settings.devices.value_or(std::vector<std::string>());
  definition.allModels = settings.allModels.value_or(false);
  definition.codePage = settings.codePage.value_or(kWesternCodePage);
  BuildOptions options;
  options.replacePackage = command.replacePackage;
  std::string notice;
  if (!BuildPackage(definition, *settings.stub, *settings.payload, *settings.output, &error, options,
                    &notice)) {
    return Fail(err, error);
  }
  if (!notice.empty()) err << "mkpackage: notice: " << notice << "\n";
  out << "mkpackage: wrote " << *settings.output << "\n";
  return 0;
}

// inspect and verify

struct ReadCommand {
  std::string package;
  std::string extractTo;
  bool json = false;
  int codePage = kWesternCodePage;
};

std::vector<std::string> Patterns(const char* slots, int slotCount, int slotSize,
                                  bool (*isEnd)(const char*)) {
  std::vector<std::string> patterns;
  for (int slot = 0; slot < slotCount && !isEnd(slots + slot * slotSize); ++slot)
    patterns.push_back(slots + slot * slotSize);
  return patterns;
}

bool IsModelTerminator(const char* slot) { return slot[0] == package::kModelTerminatorByte; }
bool IsDeviceTerminator(const char* slot) { return strcmp(slot, package::kDeviceTerminator) == 0; }

std::vector<std::string> ModelPatterns(const package::PackageHeader& header) {
  return Patterns(header.modelPatterns[0], package::kModelSlotCount, package::kModelSlotSize,
                  IsModelTerminator);
}
std::vector<std::string> DevicePatterns(const package::PackageHeader& header) {
  return Patterns(header.devicePatterns[0], package::kDeviceSlotCount, package::kDeviceSlotSize,
                  IsDeviceTerminator);
}

// Opens and reads the package; on success the file stays open in *file.
bool OpenPackage(const std::string& path, FILE** file, PackageReport* report, std::ostream& err) {
  *file = OpenForReading(path);
  if (!*file) {
    Fail(err, "cannot open " + path + ": " + LastSystemError());
    return false;
  }
  FileSource source(*file);
  std::string error;
  if (ReadPackage(source, report, &error)) return true;
  Fail(err, path + ": the unpacker would refuse this package: " + error);
  return false;
}

void PrintJson(const std::string& path, const PackageReport& report, int codePage, std::ostream& out) {
  auto text = [codePage](const std::string& bytes) { return CodePageToUtf8(bytes, codePage); };
  nlohmann::json models = nlohmann::json::array(), devices = nlohmann::json::array();
  for (const auto& pattern : ModelPatterns(*report.header)) models.push_back(text(pattern));
  for (const auto& pattern : DevicePatterns(*report.header)) devices.push_back(text(pattern));
  const nlohmann::json document = {
      {"file", path},
      {"fileSize", report.fileSize},
      {"signed", report.isSigned},
      {"certificateSize", report.certificateSize},
      {"packageEnd", report.packageEnd},
      {"headerOffset", report.headerOffset},
      {"codePage", codePage},
      {"payloadFileName", text(report.header->payloadFileName)},
      {"destinationFolder", text(report.header->destinationFolder)},
      {"title", text(report.header->title)},
      {"modelPatterns", models},
      {"devicePatterns", devices},
      {"appliesToAllModels", report.AppliesToAllModels()},
      {"payloadOffset", report.payloadOffset},
      {"payloadSize", report.payloadSize},
  };
  out << document.dump(2) << "\n";
}

void PrintText(const std::string& path, const PackageReport& report, int codePage, std::ostream& out) {
  auto text = [codePage](const std::string& bytes) { return CodePageToUtf8(bytes, codePage); };
  auto list = [&](const char* heading, const std::vector<std::string>& patterns) {
    out << heading << " (" << patterns.size() << "):" << (patterns.empty() ? " none" : "") << "\n";
    for (const auto& pattern : patterns) out << "  " << text(pattern) << "\n";
  };
  out << "file:                  " << path << " (" << report.fileSize << " bytes)\n";
  if (report.isSigned) {
    out << "signed:                yes, certificate table of " << report.certificateSize << " bytes at byte "
        << report.packageEnd << "\n";
  } else {
    out << "signed:                no\n";
  }
  out << "package ends at byte:  " << report.packageEnd << "\n"
      << "header offset:         " << report.headerOffset << "\n"
      << "payload file name:     " << text(report.header->payloadFileName) << "\n"
      << "destination folder:    " << text(report.header->destinationFolder) << "\n"
      << "title:                 " << text(report.header->title) << "\n"
      << "applies to all models: " << (report.AppliesToAllModels() ? "yes" : "no") << "\n";
  list("model patterns", ModelPatterns(*report.header));
  list("device patterns", DevicePatterns(*report.header));
  out << "payload:               offset " << report.payloadOffset << ", " << report.payloadSize << " bytes\n";
}

void AddReadCommand(CLI::App* command, ReadCommand* options) {
  command->add_option("package", options->package, "The package file")->type_name("FILE")->required();
  AddCodePageOption(command, &options->codePage, "ANSI code page the package's texts are in (default 1252)");
}

int RunInspect(const ReadCommand& command, std::ostream& out, std::ostream& err) {
  FILE* file = nullptr;
  PackageReport report;
  const bool read = OpenPackage(command.package, &file, &report, err);
  FileCloser closer(file);
  if (!read) return kFailure;
  if (command.json) {
    PrintJson(command.package, report, command.codePage, out);
  } else {
    PrintText(command.package, report, command.codePage, out);
  }
  std::string error;
  if (!command.extractTo.empty() && !ExtractPayload(file, report, command.extractTo, &error)) {
    return Fail(err, error);
  }
  return 0;
}

// The reader accepted the header; what it tolerates but the unpacker's later
// stages would stumble over is worth a warning.
void WarnAboutHeader(const PackageReport& report, int codePage, std::ostream& err) {
  const package::PackageHeader& header = *report.header;
  const std::string nameProblem = PayloadFileNameProblem(CodePageToUtf8(header.payloadFileName, codePage));
  if (!nameProblem.empty()) err << "mkpackage: warning: payload file name " << nameProblem << "\n";
  const std::string destinationProblem = DestinationProblem(header.destinationFolder, codePage);
  if (!destinationProblem.empty())
    err << "mkpackage: warning: destination folder " << destinationProblem << "\n";
  // The machine check ends each list at its first empty slot.
  auto warnAboutEmpty = [&err](const char* kind, const std::vector<std::string>& patterns) {
    for (size_t i = 0; i < patterns.size(); ++i) {
      if (!patterns[i].empty()) continue;
      err << "mkpackage: warning: " << kind << " pattern " << i + 1 << " is empty: "
          << (i == 0 ? "the package applies to no machine"
                     : "the machine check ignores it and every pattern after it")
          << "\n";
      return;
    }
  };
  warnAboutEmpty("model", ModelPatterns(header));
  warnAboutEmpty("device", DevicePatterns(header));
}

int RunVerify(const ReadCommand& command, std::ostream& out, std::ostream& err) {
  FILE* file = nullptr;
  PackageReport report;
  const bool read = OpenPackage(command.package, &file, &report, err);
  FileCloser closer(file);
  if (!read) return kFailure;
  WarnAboutHeader(report, command.codePage, err);
  out << command.package << ": the unpacker accepts this package (payload "
      << CodePageToUtf8(report.header->payloadFileName, command.codePage) << ", " << report.payloadSize
      << " bytes)\n";
  return 0;
}

// match and machine

// match answers 0 and 1; anything that keeps it from answering is another code.
constexpr int kMatchError = 2;

struct MatchCommand {
  std::string package;
  std::string manufacturer, model;
  std::vector<std::string> pciInstanceIds;
  std::string machineFile;
  bool noCheck = false;
  bool json = false;
  int codePage = kWesternCodePage;
  CLI::Option* manufacturerOption = nullptr;
  CLI::Option* modelOption = nullptr;
};

CLI::App* AddMatchCommand(CLI::App& app, MatchCommand* command) {
  CLI::App* match = app.add_subcommand(
      "match", "Exit 0 when the package would apply to the machine described, 1 when not, and say why.");
  match->add_option("package", command->package, "The package file")->type_name("FILE")->required();
  command->manufacturerOption =
      match
          ->add_option("--manufacturer", command->manufacturer,
                       "WMI Manufacturer of Win32_ComputerSystem (omitted: the read fails)")
          ->type_name("TEXT");
  command->modelOption = match
                             ->add_option("--model", command->model,
                                          "WMI Model of Win32_ComputerSystem (omitted: the read fails)")
                             ->type_name("TEXT");
  CLI::Option* pci =
      match->add_option("--pci", command->pciInstanceIds, "Instance ID of a present PCI device; repeatable")
          ->type_name("INSTANCE-ID")
          ->allow_extra_args(false);
  match
      ->add_option("--machine", command->machineFile,
                   "The machine as \"mkpackage machine --json\" printed it, instead of the three above")
      ->type_name("FILE")
      ->excludes(command->manufacturerOption)
      ->excludes(command->modelOption)
      ->excludes(pci);
  match->add_flag("--no-check", command->noCheck, "Run as with the switch \"-a ZORV_NOCHECK\"");
  AddCodePageOption(match, &command->codePage,
                    "ANSI code page of the package and the machine (default 1252)");
  match->add_flag("--json", command->json, "Print JSON for scripts");
  return match;
}

nlohmann::json OrNull(const std::optional<std::string>& text) {
  return text ? nlohmann::json(*text) : nlohmann::json(nullptr);
}

// Reads what "machine --json" prints: a null (or missing) value is a read that
// failed on that machine.
bool ReadMachineFile(const std::string& path, MachineDescription* described, std::string* error) {
  FILE* file = OpenForReading(path);
  if (!file) {
    *error = "cannot open " + path + ": " + LastSystemError();
    return false;
  }
  std::string text;
  char chunk[4096];
  for (size_t got; (got = fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
  fclose(file);
  const auto document = nlohmann::json::parse(text, nullptr, false);
  auto field = [&document](const char* name) {
    return document.is_object() && document.contains(name) ? document[name] : nlohmann::json(nullptr);
  };
  auto isTextOrNull = [](const nlohmann::json& value) { return value.is_null() || value.is_string(); };
  const auto manufacturer = field("manufacturer"), model = field("model"), ids = field("pciInstanceIds");
  bool valid = document.is_object() && isTextOrNull(manufacturer) && isTextOrNull(model) &&
               (ids.is_null() || ids.is_array());
  for (size_t i = 0; valid && ids.is_array() && i < ids.size(); ++i) valid = ids[i].is_string();
  if (!valid) {
    *error = path + " is not a machine as \"mkpackage machine --json\" prints it";
    return false;
  }
  if (manufacturer.is_string()) described->manufacturer = manufacturer.get<std::string>();
  if (model.is_string()) described->model = model.get<std::string>();
  described->pciInstanceIds.reset();
  if (ids.is_array()) described->pciInstanceIds = ids.get<std::vector<std::string>>();
  return true;
}

int RunMatch(const MatchCommand& command, std::ostream& out, std::ostream& err) {
  FILE* file = nullptr;
  PackageReport report;
  const bool read = OpenPackage(command.package, &file, &report, err);
  FileCloser closer(file);
  if (!read) return kMatchError;

  MachineDescription described;
  std::string error;
  if (!command.machineFile.empty()) {
    if (!ReadMachineFile(command.machineFile, &described, &error)) {
      Fail(err, error);
      return kMatchError;
    }
  } else {
    if (command.manufacturerOption->count() > 0) described.manufacturer = command.manufacturer;
    if (command.modelOption->count() > 0) described.model = command.model;
    described.pciInstanceIds = command.pciInstanceIds;
  }
  MatchOutcome outcome;
  if (!MatchMachine(*report.header, described, !command.noCheck, command.codePage, &outcome, &error)) {
    Fail(err, error);
    return kMatchError;
  }
  // What WMI cannot carry to the unpacker is worth saying: the patterns meet
  // the shorter text.
  auto noteIfCut = [&err](const char* what, const std::optional<std::string>& given,
                          const std::optional<std::string>& asRead) {
    if (!given || *given == *asRead) return;
    err << "mkpackage: notice: the unpacker reads the " << what << " as \"" << *asRead
        << "\": its WMI text ends before the first character above U+00FF and after 99 bytes\n";
  };
  noteIfCut("manufacturer", described.manufacturer, outcome.manufacturerAsRead);
  noteIfCut("model", described.model, outcome.modelAsRead);

  if (command.json) {
    const nlohmann::json document = {
        {"package", command.package},
        {"applicable", outcome.applicable},
        {"decidedBy", DecidingCheckName(outcome.decidedBy)},
        {"reason", DescribeOutcome(outcome)},
        {"manufacturer", OrNull(outcome.manufacturerAsRead)},
        {"model", OrNull(outcome.modelAsRead)},
        {"modelPattern", OrNull(outcome.modelPattern)},
        {"pciDevice", OrNull(outcome.pciDevice)},
        {"devicePattern", OrNull(outcome.devicePattern)},
    };
    out << document.dump(2) << "\n";
  } else {
    out << DescribeOutcome(outcome) << "\n";
  }
  return outcome.applicable ? 0 : 1;
}

int RunMachine(bool json, std::ostream& out, std::ostream& err) {
  ThisMachine found;
  std::string error;
  if (!ReadThisMachine(&found, &error)) return Fail(err, error);
  if (json) {
    nlohmann::json devices = nullptr;
    if (found.pciInstanceIds) devices = *found.pciInstanceIds;
    const nlohmann::json document = {
        {"manufacturer", OrNull(found.manufacturer)},
        {"model", OrNull(found.model)},
        {"pciInstanceIds", devices},
        {"unreadablePciDevices", found.unreadablePciDevices},
    };
    out << document.dump(2) << "\n";
    return 0;
  }
  const char* const kUnread = "cannot be read (the unpacker's check fails)";
  out << "manufacturer: " << found.manufacturer.value_or(kUnread) << "\n"
      << "model:        " << found.model.value_or(kUnread) << "\n";
  if (!found.pciInstanceIds) {
    out << "PCI devices:  the list cannot be made (the unpacker's device check fails)\n";
    return 0;
  }
  out << "PCI devices (" << found.pciInstanceIds->size()
      << "):" << (found.pciInstanceIds->empty() ? " none" : "") << "\n";
  for (const auto& id : *found.pciInstanceIds) out << "  " << id << "\n";
  if (found.unreadablePciDevices > 0)
    out << "  and " << found.unreadablePciDevices << " whose instance ID cannot be read (skipped)\n";
  return 0;
}

}  // namespace

int RunMkpackage(int argc, const char* const argv[], std::ostream& out, std::ostream& err) {
  CLI::App app("Builds, inspects and verifies self-extracting packages, and tries their machine check.",
               "mkpackage");
  app.require_subcommand(1);

  BuildCommand build;
  AddBuildCommand(app, &build);

  ReadCommand inspect;
  CLI::App* inspectCommand = app.add_subcommand("inspect", "Show a package's header, patterns and payload.");
  AddReadCommand(inspectCommand, &inspect);
  inspectCommand->add_flag("--json", inspect.json, "Print JSON for scripts");
  inspectCommand->add_option("--extract-payload", inspect.extractTo, "Write the payload bytes to this file")
      ->type_name("FILE");

  ReadCommand verify;
  CLI::App* verifyCommand =
      app.add_subcommand("verify", "Exit 0 when the unpacker would accept the package, else say why.");
  AddReadCommand(verifyCommand, &verify);

  MatchCommand match;
  CLI::App* matchCommand = AddMatchCommand(app, &match);

  bool machineJson = false;
  CLI::App* machineCommand =
      app.add_subcommand("machine", "Show what this computer reports to the machine check (Windows only).");
  machineCommand->add_flag("--json", machineJson, "Print JSON for scripts");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err);
  }
  if (build.app->parsed()) return RunBuild(build, out, err);
  if (inspectCommand->parsed()) return RunInspect(inspect, out, err);
  if (matchCommand->parsed()) return RunMatch(match, out, err);
  if (machineCommand->parsed()) return RunMachine(machineJson, out, err);
  return RunVerify(verify, out, err);
}

}  // namespace mkpackage
