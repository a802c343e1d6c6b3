// The facts of the Windows executable format that both finding the package's
// end (unpacker) and examining a stub (package builder) rely on.
#pragma once

#include <stdint.h>

namespace package {
namespace pe {

constexpr uint32_t kDosHeaderSize = 64;
constexpr uint32_t kNewHeaderOffsetField = 0x3C;  // within the DOS header
constexpr uint32_t kFileHeaderSize = 20;          // behind the "PE\0\0" signature
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;

}  // namespace pe
}  // namespace package
