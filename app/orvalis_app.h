// The application: names the program, runs the main dialog modally with the
// splash window and the about box wired in, and ends when the dialog closes.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace orvalis {

class SettingsStore;
class UserPrompts;

class COrvalisApp {
 public:
  // Names the program and gives every window the application icon. A
  // QApplication must exist already.
  COrvalisApp();

  // Runs the program for the arguments after its name (see parseCommandLine):
  // --help and --version print to `out`, a wrong argument is reported on `err`;
  // otherwise the main dialog runs modally, with FILE browsed at the end of its
  // initialisation. Returns the exit status once the dialog has closed: 0,
  // whatever the dialog's result; 2 for a wrong argument.
  int InitInstance(const std::vector<std::string>& arguments, UserPrompts& prompts,
                   SettingsStore& settings, std::ostream& out, std::ostream& err);
};

}  // namespace orvalis
