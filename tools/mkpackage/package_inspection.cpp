#include "package_inspection.h"

#include <string.h>

#include "file_copy.h"
#include "files.h"
#include "package/package_extent.h"

namespace mkpackage {
namespace {

// Knows where the reader left the source: the first payload byte.
class PositionTracker final : public package::PackageSource {
 public:
  explicit PositionTracker(package::PackageSource& inner) : inner_(inner) {}
  int64_t Length() override { return inner_.Length(); }
  void Seek(int64_t position) override {
    inner_.Seek(position);
    if (position >= 0) position_ = position;
  }
  uint32_t Read(void* buffer, uint32_t count) override {
    const uint32_t delivered = inner_.Read(buffer, count);
    position_ += delivered;
    return delivered;
  }
  int64_t position() const { return position_; }

 private:
  package::PackageSource& inner_;
  int64_t position_ = 0;
};

// The line starting at `position`, without its line feed; false when no line
// feed comes within the reader's 260 bytes.
bool PeekLine(package::PackageSource& source, int64_t position, std::string* line) {
  char bytes[package::kLineBufferSize];
  source.Seek(position);
  const uint32_t got = source.Read(bytes, sizeof bytes);
  const void* feed = memchr(bytes, '\n', got);
  if (!feed) return false;
  line->assign(bytes, static_cast<size_t>(static_cast<const char*>(feed) - bytes));
  return true;
}

std::string TooLong(const std::string& what, size_t length, int limit) {
  return what + " is " + std::to_string(length) + " bytes long; at most " + std::to_string(limit) + " fit";
}

// Walks the header as the reader does, to name the first line it refuses.
std::string DiagnoseHeader(package::PackageSource& source, int64_t headerOffset) {
  static const char* const kTextNames[] = {"payload file name", "destination folder", "title"};
  enum class Section { kTexts, kModels, kDevices } section = Section::kTexts;
  int64_t position = headerOffset;
  int slot = 0;
  for (int lineNumber = 1;; ++lineNumber) {
    const std::string what = "header line " + std::to_string(lineNumber) + " (" +
                             (section == Section::kTexts    ? kTextNames[lineNumber - 1]
                              : section == Section::kModels ? "model section"
                                                            : "device section") +
                             ")";
    std::string line;
    if (!PeekLine(source, position, &line)) {
      // The reader gives up at its 260th byte, before any end of file beyond it.
      return source.Length() - position >= package::kLineBufferSize
                 ? what + " is longer than " + std::to_string(package::kMaxLineBytes) + " bytes"
                 : what + " meets the end of the file before its line feed";
    }
    if (line.size() > static_cast<size_t>(package::kMaxLineBytes)) {
      return TooLong(what, line.size(), package::kMaxLineBytes);
    }
    position += static_cast<int64_t>(line.size()) + 1;
    const bool startsWithHash = !line.empty() && line[0] == package::kModelTerminatorByte;
    line.resize(strlen(line.c_str()));  // a NUL ends the text, as in the slot

    switch (section) {
      case Section::kTexts:
        if (lineNumber == 3) section = Section::kModels;
        break;
      case Section::kModels:
        if (line.size() >= static_cast<size_t>(package::kModelSlotSize)) {
          return TooLong(what, line.size(), package::kModelSlotSize - 1);
        }
        if (startsWithHash) {
          section = Section::kDevices;
          slot = 0;
        } else if (++slot == package::kModelSlotCount) {
          return "the model section has 101 lines and no model terminator (a line starting with '#')";
        }
        break;
      case Section::kDevices:
        if (line.size() >= static_cast<size_t>(package::kDeviceSlotSize)) {
          return TooLong(what, line.size(), package::kDeviceSlotSize - 1);
        }
        if (line == package::kDeviceTerminator) return "the header reader refuses the header";
        if (++slot == package::kDeviceSlotCount)
          return "the device section has 11 lines and no \"##\" terminator";
        break;
    }
  }
}

}  // namespace

bool ReadPackage(package::PackageSource& source, PackageReport* report, std::string* error) {
  report->fileSize = source.Length();
  package::CertificateTable certificate;
  report->isSigned = package::FindCertificateTable(source, &certificate);
  report->certificateSize = report->isSigned ? certificate.size : 0;
  if (!package::ReadPackageTrailer(source, &report->headerOffset, &report->packageEnd)) {
    *error = "the file is shorter than the 8-byte trailer";
    return false;
  }
  report->header = std::make_unique<package::PackageHeader>();
  memset(report->header.get(), 0, sizeof *report->header);
  if (report->headerOffset < 0 || report->headerOffset >= report->packageEnd) {
    *error = "the trailer's header offset " + std::to_string(report->headerOffset) +
             " lies outside the package (" + std::to_string(report->packageEnd) + " bytes)";
    return false;
  }
  PositionTracker tracked(source);
  if (!package::ReadPackageHeader(tracked, report->headerOffset, report->header.get())) {
    *error = DiagnoseHeader(source, report->headerOffset);
    return false;
  }
  report->payloadOffset = tracked.position();
  report->payloadSize = report->packageEnd - package::kTrailerSize - report->payloadOffset;
  if (report->payloadSize <= 0) {
    *error = "the package holds no payload bytes between its header and its trailer";
    return false;
  }
  return true;
}

bool ExtractPayload(FILE* package, const PackageReport& report, const std::string& outputPath,
                    std::string* error) {
  return WriteFileWhole(
      outputPath,
      [&](FILE* out, std::string* copyError) {
        if (SeekTo(package, report.payloadOffset) && CopyBytes(package, out, report.payloadSize, copyError)) {
          return true;
        }
        *copyError = "the payload " + *copyError;
        return false;
      },
      error);
}

}  // namespace mkpackage
