#include "cli/options.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace orvalis::cli {
namespace {

ParseResult parse(std::vector<std::string> args) {
  return parseArguments(args);
}

TEST(Options, FilesAndFlagsMayBeMixedAndKeepTheirOrder) {
  const auto result = parse({"b.txt", "--json", "a.txt", "--all", "--quiet", "c.txt"});
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(result.options.action, Action::kScan);
  EXPECT_EQ(result.options.files, (std::vector<std::filesystem::path>{"b.txt", "a.txt", "c.txt"}));
  EXPECT_TRUE(result.options.json);
  EXPECT_TRUE(result.options.showAll);
  EXPECT_TRUE(result.options.quiet);
  EXPECT_FALSE(result.options.htmlFile);
  EXPECT_FALSE(result.options.jobs);
  EXPECT_FALSE(result.options.mismatchScore);
  EXPECT_FALSE(result.options.gapScore);
  EXPECT_FALSE(result.options.groupSize);
}

TEST(Options, ValuesTakeTheNextArgumentEvenWhenNegativeOrAfterEquals) {
  const auto result = parse({"--mu", "-0.4", "--delta=-1e-1", "--group-size", "20", "--jobs=3",
                             "--html", "out.html", "x.txt"});
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(result.options.mismatchScore, -0.4f);
  EXPECT_EQ(result.options.gapScore, -0.1f);
  EXPECT_EQ(result.options.groupSize, 20);
  EXPECT_EQ(result.options.jobs, 3);
  EXPECT_EQ(result.options.htmlFile, std::filesystem::path("out.html"));
  EXPECT_EQ(result.options.files, (std::vector<std::filesystem::path>{"x.txt"}));
}

TEST(Options, ScoresConvertAsTheStoredSettingsDo) {
  // The settings store converts text through double; so must the options, or
  // "--mu -0.33" would differ from a stored "-0.33" in the last bit.
  EXPECT_EQ(parseFiniteFloat("-0.33"), static_cast<float>(-0.33));
  EXPECT_EQ(parseFiniteFloat("+2"), 2.0f);
  EXPECT_EQ(parseFiniteFloat("1e3"), 1000.0f);
  EXPECT_EQ(parseFiniteFloat(".5"), 0.5f);
}

TEST(Options, ScoresMustBeWholeFiniteNumbers) {
  for (const char* bad : {"", "abc", "1.5x", " 1", "1 ", "--1", "+-1", "++1", "inf", "-inf", "nan",
                          "1e39", "0x10", ","}) {
    EXPECT_FALSE(parseFiniteFloat(bad)) << bad;
    EXPECT_FALSE(parse({"--mu", bad, "f.txt"}).ok()) << bad;
    EXPECT_FALSE(parse({"--delta=" + std::string(bad), "f.txt"}).ok()) << bad;
  }
}

TEST(Options, GroupSizeMustBeAnIntegerOfTwoOrMore) {
  EXPECT_EQ(parse({"--group-size", "2", "f"}).options.groupSize, 2);
  EXPECT_EQ(parse({"--group-size", "2147483647", "f"}).options.groupSize,
            std::numeric_limits<std::int32_t>::max());
  for (const char* bad : {"1", "0", "-5", "20.0", "2.5", "1e3", "x", "", "2147483648"}) {
    const auto result = parse({"--group-size", bad, "f"});
    EXPECT_FALSE(result.ok()) << bad;
  }
}

TEST(Options, JobsMustBeAPositiveIntegerWithinTheLimit) {
  EXPECT_EQ(parse({"--jobs", "1", "f"}).options.jobs, 1);
  EXPECT_EQ(parse({"--jobs", std::to_string(kMaxJobs), "f"}).options.jobs, kMaxJobs);
  for (const char* bad : {"0", "-1", "1.0", "many", "1025"}) {
    EXPECT_FALSE(parse({"--jobs", bad, "f"}).ok()) << bad;
  }
}

TEST(Options, UsageErrorsNameTheProblem) {
  EXPECT_EQ(parse({}).error, "no file given");
  EXPECT_EQ(parse({"--json"}).error, "no file given");
  EXPECT_EQ(parse({"--frobnicate", "f"}).error, "unknown option '--frobnicate'");
  EXPECT_EQ(parse({"-x", "f"}).error, "unknown option '-x'");
  EXPECT_EQ(parse({"f", "--mu"}).error, "option --mu needs a value");
  EXPECT_EQ(parse({"--json=yes", "f"}).error, "option --json takes no value");
  EXPECT_EQ(parse({"--html=", "f"}).error, "option --html needs a file name");
  EXPECT_NE(parse({"--mu", "x", "f"}).error.find("'x'"), std::string::npos);
}

TEST(Options, DoubleDashMakesEveryLaterArgumentAFile) {
  const auto result = parse({"--", "--json", "-"});
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_FALSE(result.options.json);
  EXPECT_EQ(result.options.files, (std::vector<std::filesystem::path>{"--json", "-"}));
}

TEST(Options, HelpAndVersionNeedNoFileAndStopParsing) {
  EXPECT_EQ(parse({"--help"}).options.action, Action::kHelp);
  EXPECT_EQ(parse({"-h", "--bogus"}).options.action, Action::kHelp);
  EXPECT_TRUE(parse({"--version", "--bogus"}).ok());
  EXPECT_EQ(parse({"--version"}).options.action, Action::kVersion);
  // An error before --help is still an error.
  EXPECT_FALSE(parse({"--bogus", "--help"}).ok());
}

TEST(Options, LaterValuesReplaceEarlierOnes) {
  const auto result = parse({"--mu", "-1", "--mu", "-2", "f"});
  EXPECT_EQ(result.options.mismatchScore, -2.0f);
}

TEST(Options, HelpDocumentsEveryOptionAndExitStatus) {
  const std::string help = helpText();
  for (const char* option : {"--all", "--json", "--html FILE", "--mu X", "--delta X",
                             "--group-size N", "--jobs N", "--quiet", "--help", "--version"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
  for (const char* status : {"\n  0  ", "\n  1  ", "\n  2  "}) {
    EXPECT_NE(help.find(status), std::string::npos) << status;
  }
}

}  // namespace
}  // namespace orvalis::cli
