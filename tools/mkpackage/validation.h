// Turns a PackageDefinition into the header lines the unpacker reads, refusing
// anything the unpacker would misread or refuse itself later.
#pragma once

#include <string>

#include "package_definition.h"

namespace mkpackage {

// The header bytes, each line ended by one line feed, model terminator and "##"
// included; false with *error naming the field and the rule it breaks.
bool EncodeHeader(const PackageDefinition& definition, std::string* header, std::string* error);

// The destination dialog's verdict on a folder text in code page bytes:
// empty when it would be accepted, else the reason it is refused.
std::string DestinationProblem(const std::string& bytes, int codePage);

// Empty when the unpacker can write the payload under this name in the
// temporary folder, else the reason it cannot.
std::string PayloadFileNameProblem(const std::string& name);

}  // namespace mkpackage
