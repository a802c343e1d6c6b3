// Builds a package from a large payload and compares the wall time with a
// plain "cat stub payload > out" of the same files, measured in the same run.
// Usage: mkpackage_bench [folder] [payload MiB, default 1024]
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "../tests/minimal_pe.h"
#include "mkpackage/package_builder.h"

namespace {

double Seconds(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && written;
}

bool WritePayload(const std::string& path, long mebibytes) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  std::vector<unsigned char> chunk(1 << 20);
  uint32_t state = 12345;
  bool written = true;
  for (long i = 0; i < mebibytes && written; ++i) {
    for (auto& byte : chunk) byte = static_cast<unsigned char>((state = state * 1103515245u + 12345u) >> 24);
    written = fwrite(chunk.data(), 1, chunk.size(), file) == chunk.size();
  }
  return fclose(file) == 0 && written;
}

long long FileSize(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 ? static_cast<long long>(status.st_size) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "/tmp";
  const long mebibytes = argc > 2 ? atol(argv[2]) : 1024;
  const std::string stub = folder + "/bench-stub.exe", payload = folder + "/bench-payload.bin";
  const std::string catOut = folder + "/bench-cat.out", built = folder + "/bench-package.exe";
  if (!WriteFile(stub, mkpackage_test::MinimalPe(32 * 1024)) || !WritePayload(payload, mebibytes)) {
    fprintf(stderr, "cannot write the input files in %s\n", folder.c_str());
    return 1;
  }
  mkpackage::PackageDefinition definition;
  definition.payloadFileName = "setup.exe";
  definition.destinationFolder = "C:\\Drivers\\Audio";
  definition.title = "Benchmark package";
  definition.modelPatterns = {"QR-7.B", "QR-80"};
  const std::string catCommand = "cat '" + stub + "' '" + payload + "' > '" + catOut + "'";

  // Alternating runs, best of five each: both see the same warm page cache,
  // and each starts with the previous run's writes flushed.
  double bestCat = 1e9, bestBuild = 1e9;
  for (int round = 0; round < 5; ++round) {
    sync();
    auto start = std::chrono::steady_clock::now();
    if (system(catCommand.c_str()) != 0) {
      fprintf(stderr, "cat failed\n");
      return 1;
    }
    bestCat = std::min(bestCat, Seconds(start));
    unlink(catOut.c_str());

    sync();
    start = std::chrono::steady_clock::now();
    std::string error;
    if (!mkpackage::BuildPackage(definition, stub, payload, built, &error)) {
      fprintf(stderr, "build failed: %s\n", error.c_str());
      return 1;
    }
    bestBuild = std::min(bestBuild, Seconds(start));
    const long long expected = FileSize(stub) + FileSize(payload) + 8;
    if (FileSize(built) <= expected) {
      fprintf(stderr, "the package has %lld bytes, expected more than %lld\n", FileSize(built), expected);
      return 1;
    }
    unlink(built.c_str());
  }
  unlink(stub.c_str());
  unlink(payload.c_str());

  const double mib = static_cast<double>(mebibytes);
  printf("payload:          %ld MiB\n", mebibytes);
  printf("cat stub payload: %.3f s (%.0f MiB/s)\n", bestCat, mib / bestCat);
  printf("mkpackage build:  %.3f s (%.0f MiB/s)\n", bestBuild, mib / bestBuild);
  printf("ratio build/cat:  %.2f (goal at most 1.2)\n", bestBuild / bestCat);
  return 0;
}
