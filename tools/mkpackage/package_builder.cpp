#include "package_builder.h"

#include "file_copy.h"
#include "files.h"
#include "package/package_layout.h"
#include "stub_image.h"
#include "validation.h"

namespace mkpackage {
namespace {

bool WriteBytes(FILE* to, const void* bytes, size_t count, std::string* error) {
  if (fwrite(bytes, 1, count, to) == count) return true;
  *error = "the package cannot be written: " + LastSystemError();
  return false;
}

bool WritePackage(FILE* stub, int64_t stubLength, const std::string& header, FILE* payload, FILE* out,
                  std::string* error) {
  std::string copyError;
  if (!SeekTo(stub, 0)) copyError = "cannot be read: " + LastSystemError();
  if (!copyError.empty() || !CopyBytes(stub, out, stubLength, &copyError)) {
    *error = "the stub " + copyError;
    return false;
  }
  if (!WriteBytes(out, header.data(), header.size(), error)) return false;
  if (!CopyBytes(payload, out, -1, &copyError)) {
    *error = "the payload " + copyError;
    return false;
  }
  unsigned char trailer[package::kTrailerSize];
  package::EncodeTrailer(stubLength, trailer);
  return WriteBytes(out, trailer, sizeof trailer, error);
}

}  // namespace

bool BuildPackage(const PackageSpec& spec, const std::string& stubPath, const std::string& payloadPath,
                  const std::string& outputPath, std::string* error, const BuildOptions& options) {
  std::string header;
  if (!EncodeHeader(spec, &header, error)) return false;

  FILE* stub = OpenForReading(stubPath);
  if (!stub) {
    *error = "cannot open the stub " + stubPath + ": " + LastSystemError();
    return false;
  }
  FileCloser stubCloser(stub);
  FileSource stubSource(stub);
  int64_t stubLength = 0;
  if (!StubLengthToCopy(stubSource, options.replacePackage, &stubLength, error)) {
    *error = "the stub " + stubPath + " " + *error;
    return false;
  }

  FILE* payload = OpenForReading(payloadPath);
  if (!payload) {
    *error = "cannot open the payload " + payloadPath + ": " + LastSystemError();
    return false;
  }
  FileCloser payloadCloser(payload);
  if (FileLength(payload) <= 0) {
    *error = "the payload " + payloadPath + " is empty";
    return false;
  }

  return WriteFileWhole(
      outputPath,
      [&](FILE* out, std::string* writeError) {
        return WritePackage(stub, stubLength, header, payload, out, writeError);
      },
      error);
}

}  // namespace mkpackage
