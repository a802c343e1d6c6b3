#include "test_package.h"

#include "e2e_support_win32.h"
#include "package/package_layout.h"

namespace e2e {

std::string TrailerBytes(int64_t headerOffset) {
  unsigned char bytes[package::kTrailerSize];
  package::EncodeTrailer(headerOffset, bytes);
  return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

std::string PackageBytes(const RawPackage& package) {
  std::string bytes;
  if (!ReadWholeFile(package.stubPath, &bytes) || bytes.empty()) return {};
  const int64_t realOffset = static_cast<int64_t>(bytes.size() + package.gap.size());
  bytes += package.gap + package.header + package.payload;
  if (package.withTrailer) bytes += TrailerBytes(package.hasHeaderOffset ? package.headerOffset : realOffset);
  return bytes;
}

bool WriteRawPackage(const std::string& path, const RawPackage& package) {
  const std::string bytes = PackageBytes(package);
  return !bytes.empty() && WriteWholeFile(path, bytes);
}

std::string HeaderLines(const std::string& payloadFileName, const std::string& destination,
                        const std::string& title, const std::vector<std::string>& models,
                        const std::vector<std::string>& devices) {
  std::string header = payloadFileName + "\n" + destination + "\n" + title + "\n";
  for (const std::string& model : models) header += model + "\n";
  header += std::string(1, package::kModelTerminatorByte) + "\n";
  for (const std::string& device : devices) header += device + "\n";
  return header + package::kDeviceTerminator + "\n";
}

}  // namespace e2e
