// orvalis-scan: finds copied text among files from the command line.
#include <iostream>
#include <string>
#include <vector>

#include "cli/heap_pages.h"
#include "cli/scan_command.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "cli/console_output.h"
#else
#include <unistd.h>
#endif

#ifdef _WIN32

// Windows passes the arguments as UTF-16, so that names outside the system's
// code page arrive whole; they go on as UTF-8, and a console shows the output
// through its own conversion.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(orvalis::cli::utf8FromWide(argv[i]));
  orvalis::cli::ConsoleOutputBuffer outBuffer(GetStdHandle(STD_OUTPUT_HANDLE));
  orvalis::cli::ConsoleOutputBuffer errBuffer(GetStdHandle(STD_ERROR_HANDLE));
  std::ostream out(&outBuffer);
  std::ostream err(&errBuffer);
  err.setf(std::ios::unitbuf);  // warnings and errors at once, as std::cerr does
  const int status = orvalis::cli::runScanCommand(args, out, err, errBuffer.isConsole(), {},
                                                  orvalis::cli::RunRecords::kLeftToProcessEnd);
  out.flush();
  return status;
}

#else

int main(int argc, char** argv) {
  orvalis::cli::useLargePagesForHeap();
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return orvalis::cli::runScanCommand(args, std::cout, std::cerr, isatty(STDERR_FILENO) != 0, {},
                                      orvalis::cli::RunRecords::kLeftToProcessEnd);
}

#endif
