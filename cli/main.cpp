// orvalis-scan: finds copied text among files from the command line.
#include <iostream>
#include <string>
#include <vector>

#include "cli/scan_command.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

bool stderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return orvalis::cli::runScanCommand(args, std::cout, std::cerr, stderrIsTerminal());
}
