#include "machine/applicability.h"

#include <string.h>

namespace machine {
namespace {

constexpr size_t kPrefixLength = sizeof kManufacturerPrefix - 1;

int EndsModelList(const char* slot) { return slot[0] == '\0' || slot[0] == package::kModelTerminatorByte; }

int EndsDeviceList(const char* slot) {
  return slot[0] == '\0' || strcmp(slot, package::kDeviceTerminator) == 0;
}

int BeginsWith(const char* text, const char* prefix) { return strncmp(text, prefix, strlen(prefix)) == 0; }

}  // namespace

int MatchModelPattern(const char* pattern, const char* model) {
  // The model value is matched as a 100-byte working copy holds it: at most 99
  // bytes, so a full stop reaches positions 0 to 99 and never the end.
  for (int i = 0; pattern[i] != '\0'; ++i) {
    if (i >= kPropertyTextSize - 1 || model[i] == '\0') return 0;
    if (pattern[i] != kModelWildcard && pattern[i] != model[i]) return 0;
  }
  return 1;
}

int CheckManufacturer(MachineReads& reads) {
  char manufacturer[kPropertyTextSize];
  if (!reads.ReadManufacturer(manufacturer)) return 0;
  return strncmp(manufacturer, kManufacturerPrefix, kPrefixLength) == 0;
}

int CheckModel(const ModelPatterns& modelPatterns, MachineReads& reads) {
  char model[kPropertyTextSize];
  if (!reads.ReadModel(model)) return 0;
  for (const char* pattern : modelPatterns) {
    if (EndsModelList(pattern)) return 0;
    if (MatchModelPattern(pattern, model)) return 1;
  }
  return 0;
}

int CheckPciDevices(const DevicePatterns& devicePatterns, MachineReads& reads) {
  if (!reads.OpenPciDevices()) return 0;
  int found = 0;
  char instanceId[kInstanceIdSize];
  for (int index = 0; !found; ++index) {
    const DeviceRead read = reads.ReadPciDevice(index, instanceId);
    if (read == DeviceRead::Ended) break;
    if (read == DeviceRead::Skipped) continue;
    for (const char* pattern : devicePatterns) {
      if (EndsDeviceList(pattern)) break;
      if (BeginsWith(instanceId, pattern)) {
        found = 1;
        break;
      }
    }
  }
  reads.ClosePciDevices();
  return found;
}

int IsMachineApplicable(int* checksEnabled, const package::PackageHeader& header, MachineReads& reads) {
  if (header.modelPatterns[0][0] == package::kModelTerminatorByte) {
    *checksEnabled = 0;
    return 1;
  }
  if (!*checksEnabled) return 1;
  if (!CheckManufacturer(reads)) return 0;
  if (!CheckModel(header.modelPatterns, reads)) return 0;
  if (strcmp(header.devicePatterns[0], package::kDeviceTerminator) == 0) return 1;
  return CheckPciDevices(header.devicePatterns, reads);
}

}  // namespace machine
