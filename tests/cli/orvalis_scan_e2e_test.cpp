// Runs the built orvalis-scan on folders made for each test and checks its exact
// output and exit status. Settings come from a folder of the test's own
// (XDG_CONFIG_DIRS), empty unless the test writes a settings file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/child_process.h"
#include "tests/support/temp_dir.h"

namespace orvalis::testing {
namespace {

// `count` words drawn from a vocabulary of 16 by a fixed recipe, so that texts
// of different seeds share only short runs by chance.
std::string words(unsigned seed, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    seed = seed * 1103515245u + 12345u;
    text += (i == 0 ? "w" : " w") + std::to_string((seed >> 16) % 16);
  }
  return text;
}

std::size_t countOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class OrvalisScan : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_CONFIG_DIRS", config.path().c_str(), 1); }
  ChildResult run(const std::vector<std::string>& args) const {
    return runChild(ORVALIS_SCAN_PATH, args);
  }
  std::string file(const std::string& name) const { return (files.path() / name).string(); }
  // `text` with every "DIR" replaced by the test's folder.
  std::string inFolder(std::string text) const {
    const std::string folder = files.path().string();
    for (auto at = text.find("DIR"); at != std::string::npos;
         at = text.find("DIR", at + folder.size()))
      text.replace(at, 3, folder);
    return text;
  }
  // a.txt and B.txt share nine words; c.TXT shares none.
  void writeSmallScan() const {
    files.write("a.txt", "one two three four five six seven eight nine ten");
    files.write("B.txt", "zero one two three four five six seven eight nine");
    files.write("c.TXT", "the cat sat");
  }

  TempDir files;
  TempDir config;
};

TEST_F(OrvalisScan, OneFileScansItsFolderForItsExtensionAndWritesTheExactDocument) {
  writeSmallScan();
  files.write("notes.md", "one two three four five six seven eight nine");
  files.write("d.txt/inner.txt", "one two three four five six seven eight nine");
  const auto result = run({"--json", file("chosen-but-missing.txt")});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err, "");
  // Files in case-insensitive name order; the score 9 against 0 and 0 gives
  // the threshold 3 + sqrt(18).
  EXPECT_EQ(result.out, inFolder(R"({
  "settings": {"MU": -0.33, "DELTA": -0.5, "NUM_WORDS_PER_GROUPING": 1000},
  "files": [
    {"index": 0, "path": "DIR/a.txt", "displayName": "a.txt"},
    {"index": 1, "path": "DIR/B.txt", "displayName": "B.txt"},
    {"index": 2, "path": "DIR/c.TXT", "displayName": "c.TXT"}
  ],
  "threshold": 7.2426405,
  "results": [
    {"comparison": 0, "indexA": 1, "indexB": 0, "startA": 5, "endA": 49, "startB": 0, "endB": 44, "score": 9, "consensusA": "one two three four five six seven eight nine ", "consensusB": "one two three four five six seven eight nine "}
  ],
  "listed": [0]
}
)"));
  EXPECT_TRUE(std::filesystem::is_empty(config.path()));  // the settings store is only read
}

TEST_F(OrvalisScan, LinesListTheSuspiciousResultsOrSayThatNoneWasFound) {
  writeSmallScan();
  EXPECT_EQ(run({file("a.txt")}).out, "B.txt & a.txt (9.00)\n");
  EXPECT_EQ(run({"--all", file("a.txt")}).out,
            "B.txt & a.txt (9.00)\nc.TXT & a.txt (0.00)\nc.TXT & B.txt (0.00)\n");

  files.write("e1.md", "");
  files.write("e2.md", " \n ");
  EXPECT_EQ(run({file("e1.md")}).out, "No suspicious files found.\n");
  EXPECT_EQ(run({"--json", file("e1.md")}).out, inFolder(R"({
  "settings": {"MU": -0.33, "DELTA": -0.5, "NUM_WORDS_PER_GROUPING": 1000},
  "files": [
    {"index": 0, "path": "DIR/e1.md", "displayName": "e1.md"},
    {"index": 1, "path": "DIR/e2.md", "displayName": "e2.md"}
  ],
  "threshold": null,
  "results": [],
  "listed": []
}
)"));
}

TEST_F(OrvalisScan, ExitStatusTellsSuccessTooFewFilesAndABadCommandLine) {
  const auto expect = [&](const std::vector<std::string>& args, int status,
                          const std::string& errStart) {
    const auto result = run(args);
    EXPECT_EQ(result.exitStatus, status) << args.front();
    EXPECT_EQ(result.err.substr(0, errStart.size()), errStart);
    EXPECT_EQ(result.out.empty(), status != 0) << result.out;
  };
  files.write("only.md", "text");
  expect({file("x.txt")}, 1, "No files found.\n");
  files.write("one.txt", "text");
  expect({file("x.txt")}, 1,
         "Only one file found. Two or more files are needed for comparisons to be made.\n");
  files.write("two.txt", "text");
  expect({file("x.txt")}, 0, "");
  expect({"--bogus", file("x.txt")}, 2,
         "orvalis-scan: unknown option '--bogus'\nusage: orvalis-scan [");
}

TEST_F(OrvalisScan, UnreadableFileIsNamedAndTheOthersAreScannedInTheOrderGiven) {
  writeSmallScan();
  std::filesystem::create_directory(files.path() / "folder.txt");
  const auto result = run({file("B.txt"), file("folder.txt"), file("a.txt")});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err, inFolder("error: cannot read DIR/folder.txt: is a folder\n"));
  EXPECT_EQ(result.out, "a.txt & B.txt (9.00)\n");  // a.txt has the higher index
}

TEST_F(OrvalisScan, JobCountDoesNotChangeTheOutput) {
  // Passages shared among files of about 100 words, cut into groups of 19.
  const std::string shared = words(11, 45);
  files.write("f1.txt", words(12, 30) + " " + shared + " " + words(13, 25));
  files.write("f2.txt", shared + " " + words(14, 60));
  files.write("f3.txt",
              words(15, 50) + " " + shared.substr(0, shared.size() / 2) + " " + words(16, 30));
  files.write("f4.txt", words(17, 100));
  const auto scan = [&](const char* jobs) {
    return run({"--jobs", jobs, "--json", "--all", "--group-size", "20", file("f1.txt")});
  };
  const auto one = scan("1");
  const auto four = scan("4");
  EXPECT_EQ(one.exitStatus, 0);
  EXPECT_EQ(one.out, four.out);
  // Several groups per file; the document keeps every result, not only the 200 listed.
  EXPECT_GT(countOf(one.out, "{\"comparison\": "), 200u);
}

TEST_F(OrvalisScan, StoredSettingsAreUsedAndTheCommandLineOverridesThem) {
  writeSmallScan();
  const auto settings = [&](const char* stored, std::vector<std::string> args) {
    config.write("Tovimar/Orvalis.conf", stored);
    args.insert(args.end(), {"--json", file("a.txt")});
    const auto result = run(args);
    const auto start = result.out.find("\"settings\": ");
    return result.err + result.out.substr(start, result.out.find('\n', start) - start);
  };
  const char* stored = "MU=-1\nDELTA=-2.25\nNUM_WORDS_PER_GROUPING=50\n";
  EXPECT_EQ(settings(stored, {}),
            R"("settings": {"MU": -1, "DELTA": -2.25, "NUM_WORDS_PER_GROUPING": 50},)");
  EXPECT_EQ(settings(stored, {"--mu", "-0.75", "--group-size=30"}),
            R"("settings": {"MU": -0.75, "DELTA": -2.25, "NUM_WORDS_PER_GROUPING": 30},)");
  EXPECT_EQ(settings("MU=-1\nNUM_WORDS_PER_GROUPING=1\n", {}),
            "warning: Error! Cannot find settings.\n"
            "warning: Error! NUM_WORDS_PER_GROUPING must be 2 or more. Using 1000.\n"
            R"("settings": {"MU": -1, "DELTA": -0.5, "NUM_WORDS_PER_GROUPING": 1000},)");
}

TEST_F(OrvalisScan, HtmlReportIsWrittenOrItsFailureReported) {
  writeSmallScan();
  auto result = run({"--html", file("report.html"), file("a.txt")});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, "B.txt & a.txt (9.00)\n");
  std::stringstream page;
  page << std::ifstream(file("report.html")).rdbuf();
  EXPECT_EQ(countOf(page.str(), "<mark>one two three four five six seven eight nine</mark>"), 2u);

  result = run({"--html=" + file("none/report.html"), file("a.txt")});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.err,
            inFolder("error: cannot write DIR/none/report.html: No such file or directory\n"));
}

TEST_F(OrvalisScan, SampleEssaysShowTheirSharedPassages) {
  const auto result = run({std::string(ORVALIS_SAMPLES_PATH) + "/any.txt"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out.rfind("homework-for.txt & homework-against.txt (", 0), 0u) << result.out;
  EXPECT_EQ(result.out.find("lighthouse"), std::string::npos) << result.out;
}

}  // namespace
}  // namespace orvalis::testing
