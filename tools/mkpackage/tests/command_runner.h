// Runs the mkpackage command line in the test's own process and keeps what it
// printed, for fixtures that check a command's exit code and output.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "mkpackage/mkpackage_cli.h"

class CommandRunner {
 protected:
  int RunCommand(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "mkpackage");
    std::vector<const char*> argv;
    for (const auto& argument : arguments) argv.push_back(argument.c_str());
    std::ostringstream out, err;
    const int code = mkpackage::RunMkpackage(static_cast<int>(argv.size()), argv.data(), out, err);
    out_ = out.str();
    err_ = err.str();
    return code;
  }

  std::string out_, err_;
};
