#include "cli/options.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace orvalis::cli {
namespace {

// The parsed command line as text: the error, or what differs from the defaults.
std::string parsed(const std::vector<std::string>& args) {
  const ParseResult result = parseArguments(args);
  if (!result.ok()) return "error: " + result.error;
  const ScanOptions& o = result.options;
  std::ostringstream text;
  if (o.action != Action::kScan) text << (o.action == Action::kHelp ? "help " : "version ");
  for (const auto& file : o.files) text << '[' << file.string() << "] ";
  if (o.mismatchScore) text << "mu=" << *o.mismatchScore << ' ';
  if (o.gapScore) text << "delta=" << *o.gapScore << ' ';
  if (o.groupSize) text << "group=" << *o.groupSize << ' ';
  if (o.jobs) text << "jobs=" << *o.jobs << ' ';
  if (o.htmlFile) text << "html=" << o.htmlFile->string() << ' ';
  text << (o.showAll ? "all " : "") << (o.json ? "json " : "") << (o.quiet ? "quiet" : "");
  return text.str();
}

TEST(Options, CommandLinesAreAcceptedOrRefusedWithTheirReason) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"b.txt", "--json", "a.txt", "--all", "--quiet", "c.txt"},
       "[b.txt] [a.txt] [c.txt] all json quiet"},
      // Values follow as the next argument, even when negative, or after "=".
      {{"--mu", "-0.4", "--delta=-1e-1", "--group-size", "20", "--jobs=3", "--html", "o.html", "x"},
       "[x] mu=-0.4 delta=-0.1 group=20 jobs=3 html=o.html "},
      {{"--mu", "+2", "--mu", ".5", "--group-size=2", "--jobs", "1", "f"},
       "[f] mu=0.5 group=2 jobs=1 "},
      {{"--group-size", "2147483647", "--jobs", "1024", "f"}, "[f] group=2147483647 jobs=1024 "},
      {{"--", "--json", "-"}, "[--json] [-] "},
      {{"-h", "--bogus"}, "help "},
      {{"--version", "--bogus"}, "version "},
      {{}, "error: no file given"},
      {{"--json"}, "error: no file given"},
      {{"--bogus", "--help"}, "error: unknown option '--bogus'"},
      {{"-x", "f"}, "error: unknown option '-x'"},
      {{"f", "--mu"}, "error: option --mu needs a value"},
      {{"--json=yes", "f"}, "error: option --json takes no value"},
      {{"--html=", "f"}, "error: option --html needs a file name"},
      {{"--delta", "1e39", "f"}, "error: option --delta needs a finite number, not '1e39'"},
      {{"--group-size", "1", "f"},
       "error: option --group-size needs a whole number of 2 or more, not '1'"},
      {{"--jobs", "0", "f"}, "error: option --jobs needs a whole number from 1 to 1024, not '0'"},
      {{"--jobs", "1025", "f"},
       "error: option --jobs needs a whole number from 1 to 1024, not '1025'"},
  };
  for (const auto& [args, expected] : cases) {
    EXPECT_EQ(parsed(args), expected);
  }
}

TEST(Options, NumbersMustBeTheWholeValue) {
  for (const char* bad :
       {"", "abc", "1.5x", " 1", "1 ", "--1", "+-1", "++1", "inf", "nan", "-inf", "1e39", "0x10"}) {
    EXPECT_FALSE(parseFiniteFloat(bad)) << bad;
  }
  for (const char* bad : {"", "x", "20.0", "1e3", "+-3", "2147483648"}) {
    EXPECT_FALSE(parseInteger(bad)) << bad;
  }
  EXPECT_EQ(parseInteger("+7"), 7);
  // Through double, as the settings store converts, so both give the same float.
  EXPECT_EQ(parseFiniteFloat("-0.33"), static_cast<float>(-0.33));
}

}  // namespace
}  // namespace orvalis::cli
