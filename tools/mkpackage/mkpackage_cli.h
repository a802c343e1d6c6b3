// The mkpackage command line: "build", "inspect", "verify", "match" and
// "machine", each a subcommand of its own.
#pragma once

#include <ostream>

namespace mkpackage {

// Runs one command line (argv[0] being the program) with UTF-8 arguments and
// returns the process exit code: 0 on success.
int RunMkpackage(int argc, const char* const argv[], std::ostream& out, std::ostream& err);

}  // namespace mkpackage
