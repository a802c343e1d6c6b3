// Where the package ends in the unpacker's file. Signing an executable appends
// its certificate table behind everything, the package's trailer included, and
// records it in the image's security directory entry; the package then ends
// where that table begins.
#pragma once

#include <stdint.h>

#include "package/package_reader.h"

namespace package {

struct CertificateTable {
  int64_t offset;
  int64_t size;
  // Where the 8-byte security directory entry naming the table stands.
  int64_t entryOffset;
};

// Finds the certificate table named by the image's security directory entry.
// Non-zero only for a well-formed entry of a PE32 or PE32+ image: a table of
// non-zero size that begins behind the image's headers (the section table and
// the declared size of headers, whichever ends later) and ends exactly at the
// end of the file.
int FindCertificateTable(PackageSource& source, CertificateTable* table);

// The offset just past the package's trailer: where the certificate table
// begins in a signed file, the end of the file otherwise (a malformed entry
// included).
int64_t PackageEnd(PackageSource& source);

}  // namespace package
