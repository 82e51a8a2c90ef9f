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
  if (o.maxEvalue) text << "max-evalue=" << *o.maxEvalue << ' ';
  if (o.pairs) text << "pairs ";
  if (o.maxMemory) text << "max-memory=" << *o.maxMemory << ' ';
  text << (o.showAll ? "all " : "") << (o.json ? "json " : "") << (o.quiet ? "quiet" : "");
  return text.str();
}

TEST(Options, CommandLinesAreAcceptedOrRefusedWithTheirReason) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"b.txt", "--json", "a.txt", "--all", "--quiet", "-", "--", "--all"},
       "[b.txt] [a.txt] [-] [--all] all json quiet"},
      // Values follow as the next argument, even when negative, or after "=".
      {{"--mu", "-0.4", "--delta=+.5", "--group-size", "2", "--jobs=1024", "--html", "o.html", "x"},
       "[x] mu=-0.4 delta=0.5 group=2 jobs=1024 html=o.html "},
      {{"-h", "--bogus"}, "help "},
      {{"--version", "--bogus"}, "version "},
      {{"--json"}, "error: no file given"},
      {{"--bogus", "--help"}, "error: unknown option '--bogus'"},
      {{"f", "--mu"}, "error: option --mu needs a value"},
      {{"--json=yes", "f"}, "error: option --json takes no value"},
      {{"--html=", "f"}, "error: option --html needs a file name"},
      {{"--delta", "1e39", "f"}, "error: option --delta needs a finite number, not '1e39'"},
      {{"--group-size", "1", "f"},
       "error: option --group-size needs a whole number of 2 or more, not '1'"},
      {{"--jobs", "1025", "f"},
       "error: option --jobs needs a whole number from 1 to 1024, not '1025'"},
      {{"--max-evalue", "0.01", "--pairs", "f"}, "[f] max-evalue=0.01 pairs "},
      {{"--max-evalue", "0", "f"}, "[f] max-evalue=0 "},
      {{"--max-evalue", "-0.5", "f"},
       "error: option --max-evalue needs a number of 0 or more, not '-0.5'"},
      {{"--max-evalue", "1e400", "f"},
       "error: option --max-evalue needs a number of 0 or more, not '1e400'"},
      {{"--max-memory", "1.5G", "f"}, "[f] max-memory=1610612736 "},
      {{"--max-memory", "0", "f"},
       "error: option --max-memory needs a size such as 512M or 2G, not '0'"},
  };
  for (const auto& [args, expected] : cases) EXPECT_EQ(parsed(args), expected);
}

TEST(Options, NumbersMustBeTheWholeValue) {
  for (auto bad : {"1.5x", "+-1", "++1", "nan", "-inf"}) EXPECT_FALSE(parseFiniteFloat(bad)) << bad;
  for (auto bad : {"20.0", "+-3"}) EXPECT_FALSE(parseInteger(bad)) << bad;
}

}  // namespace
}  // namespace orvalis::cli
