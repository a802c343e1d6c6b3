#include "package_builder.h"

#include "file_copy.h"
#include "files.h"
#include "package/package_layout.h"
#include "stub_image.h"
#include "validation.h"

namespace mkpackage {
namespace {

constexpr int64_t kSigningAlignment = 8;

bool WriteBytes(FILE* to, const void* bytes, size_t count, std::string* error) {
  if (fwrite(bytes, 1, count, to) == count) return true;
  *error = "the package cannot be written: " + LastSystemError();
  return false;
}

// Zero bytes between the image and the header that make the package's length
// a multiple of 8: signing then appends its certificate table right behind the
// trailer, where the unpacker looks for it, instead of padding first.
int64_t AlignmentGap(int64_t stubLength, size_t headerSize, int64_t payloadSize) {
  const int64_t unaligned =
      stubLength + static_cast<int64_t>(headerSize) + payloadSize + package::kTrailerSize;
  return (kSigningAlignment - unaligned % kSigningAlignment) % kSigningAlignment;
}

bool WritePackage(FILE* stub, const StubCopy& stubCopy, const std::string& header, FILE* payload,
                  int64_t payloadSize, FILE* out, std::string* error) {
  const int64_t stubLength = stubCopy.length;
  std::string copyError;
  if (!SeekTo(stub, 0)) copyError = "cannot be read: " + LastSystemError();
  if (!copyError.empty() || !CopyBytes(stub, out, stubLength, &copyError)) {
    *error = "the stub " + copyError;
    return false;
  }
  const int64_t headerOffset = stubLength + AlignmentGap(stubLength, header.size(), payloadSize);
  const std::string gap(static_cast<size_t>(headerOffset - stubLength), '\0');
  if (!WriteBytes(out, gap.data(), gap.size(), error)) return false;
  if (!WriteBytes(out, header.data(), header.size(), error)) return false;
  if (!CopyBytes(payload, out, -1, &copyError)) {
    *error = "the payload " + copyError;
    return false;
  }
  unsigned char trailer[package::kTrailerSize];
  package::EncodeTrailer(headerOffset, trailer);
  if (!WriteBytes(out, trailer, sizeof trailer, error)) return false;
  if (stubCopy.certificateEntryToClear < 0) return true;
  const unsigned char noCertificate[8] = {};
  if (SeekTo(out, stubCopy.certificateEntryToClear))
    return WriteBytes(out, noCertificate, sizeof noCertificate, error);
  *error = "the package cannot be written: " + LastSystemError();
  return false;
}

}  // namespace

bool BuildPackage(const PackageDefinition& definition, const std::string& stubPath,
                  const std::string& payloadPath, const std::string& outputPath, std::string* error,
                  const BuildOptions& options, std::string* notice) {
  std::string header;
  if (!EncodeHeader(definition, &header, error)) return false;

  FILE* stub = OpenForReading(stubPath);
  if (!stub) {
    *error = "cannot open the stub " + stubPath + ": " + LastSystemError();
    return false;
  }
  FileCloser stubCloser(stub);
  FileSource stubSource(stub);
  StubCopy stubCopy;
  if (!PlanStubCopy(stubSource, options.replacePackage, &stubCopy, error)) {
    *error = "the stub " + stubPath + " " + *error;
    return false;
  }
  if (stubCopy.certificateSizeDropped > 0 && notice != nullptr) {
    *notice = "the stub " + stubPath + " is signed; its signature (" +
              std::to_string(stubCopy.certificateSizeDropped) +
              "-byte certificate table) is left out, since appending the package would break it: sign the "
              "package instead";
  }

  FILE* payload = OpenForReading(payloadPath);
  if (!payload) {
    *error = "cannot open the payload " + payloadPath + ": " + LastSystemError();
    return false;
  }
  FileCloser payloadCloser(payload);
  const int64_t payloadSize = FileLength(payload);
  if (payloadSize <= 0) {
    *error = "the payload " + payloadPath + " is empty";
    return false;
  }

  return WriteFileWhole(
      outputPath,
      [&](FILE* out, std::string* writeError) {
        const bool written = WritePackage(stub, stubCopy, header, payload, payloadSize, out, writeError);
        // Windows will not replace a file that is still open, and the output
        // may well be the stub itself.
        stubCloser.Close();
        payloadCloser.Close();
        return written;
      },
      error);
}

}  // namespace mkpackage
