// Whether a package applies to a machine described by its maker, model and PCI
// devices, decided by the unpacker's own rules, and which check decided it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "package/package_layout.h"

namespace mkpackage {

// A machine as the packager describes it, in UTF-8. An absent manufacturer or
// model is a WMI read that fails; absent instance IDs a device list that
// cannot be made.
struct MachineDescription {
  std::optional<std::string> manufacturer;
  std::optional<std::string> model;
  std::optional<std::vector<std::string>> pciInstanceIds = std::vector<std::string>();
};

enum class DecidingCheck { AllModels, Switch, Manufacturer, Model, PciDevices };

struct MatchOutcome {
  bool applicable = false;
  DecidingCheck decidedBy = DecidingCheck::AllModels;
  // Manufacturer and model as the unpacker reads them, shown in UTF-8; absent
  // when not given.
  std::optional<std::string> manufacturerAsRead;
  std::optional<std::string> modelAsRead;
  // False when the described machine cannot list its PCI devices.
  bool pciDevicesListed = true;
  // The model pattern that matched and, when devices decided for the package,
  // the device and the device pattern it begins with; in UTF-8.
  std::optional<std::string> modelPattern;
  std::optional<std::string> pciDevice;
  std::optional<std::string> devicePattern;
};

// UTF-8 text as the unpacker reads it from WMI: UTF-16, then property text
// (Latin-1 bytes up to the first character above U+00FF, at most 99 bytes).
// False with *error for text that is not valid UTF-8.
bool Utf8ToPropertyText(const std::string& utf8, std::string* text, std::string* error);

// Property text shown in UTF-8: each byte is the character of that number.
std::string PropertyTextToUtf8(const std::string& text);

// Runs the unpacker's decision over the described machine, with the checks
// turned off as by the switch when `checksEnabled` is false. PCI instance IDs
// are taken in the package's code page, as SetupAPI gives them in the
// machine's. False with *error when a given text cannot be converted.
bool MatchMachine(const package::PackageHeader& header, const MachineDescription& described,
                  bool checksEnabled, int codePage, MatchOutcome* outcome, std::string* error);

// "applicable: ..." or "not applicable: ...", naming the deciding check first.
std::string DescribeOutcome(const MatchOutcome& outcome);

const char* DecidingCheckName(DecidingCheck check);

}  // namespace mkpackage
