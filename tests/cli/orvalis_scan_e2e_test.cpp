// Runs the built orvalis-scan in a folder of each test's own and checks its exact
// output and exit status; settings come from another (XDG_CONFIG_DIRS).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace orvalis::testing {
namespace {

std::string contents(const std::filesystem::path& file) {
  std::stringstream text;
  text << std::ifstream(file, std::ios::binary).rdbuf();
  return text.str();
}

struct Child {
  int status = -1;  // as the shell reports it: 128 + N when signal N ended the scan
  std::string out, err;
};

class OrvalisScan : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_CONFIG_DIRS", config.path().c_str(), 1); }
  // Runs orvalis-scan in the folder `files` with `args` (none holds a single quote).
  Child run(const std::vector<std::string>& args) const {
    const TempDir outputs;
    const auto out = outputs.path() / "out", err = outputs.path() / "err";
    std::string command = "cd '" + files.path().string() + "' && '" ORVALIS_SCAN_PATH "'";
    for (const auto& arg : args) command += " '" + arg + "'";
    command += " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, contents(out), contents(err)};
  }

  TempDir files;
  TempDir config;
};

TEST_F(OrvalisScan, SmallScanGivesTheExactLinesDocumentAndPage) {
  // a.txt and B.txt share nine words; c.TXT shares none; notes.md and the
  // folder d.txt are not part of a scan of the folder.
  files.write("a.txt", "one two three four five six seven eight nine ten");
  files.write("B.txt", "zero one two three four five six seven eight nine");
  files.write("c.TXT", "the cat sat");
  files.write("notes.md", "one two three four five six seven eight nine");
  files.write("d.txt/inner.txt", "one two three four five six seven eight nine");
  EXPECT_EQ(run({"a.txt"}).out, "B.txt & a.txt (9.00)\n");
  EXPECT_EQ(run({"--all", "a.txt"}).out,
            "B.txt & a.txt (9.00)\nc.TXT & a.txt (0.00)\nc.TXT & B.txt (0.00)\n");
  // Files given by name are scanned in that order, so a.txt has the higher
  // index; one that cannot be read is named and left out.
  auto result = run({"B.txt", "d.txt", "a.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "warning: cannot read d.txt: is a folder\n");
  EXPECT_EQ(result.out, "a.txt & B.txt (9.00)\n");

  result = run({"--json", "--html", "report.html", "chosen-but-missing.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "warning: skipping ./d.txt: is a folder\n");
  // Files in case-insensitive name order; the score 9 against 0 and 0 gives
  // the threshold 3 + sqrt(18); three comparisons take the fixed statistics,
  // and E = 3 · 0.0042 · 10 · 10 · e^(−2.58 · 9).
  EXPECT_EQ(result.out, R"({
  "settings": {"MU": -0.33, "DELTA": -0.5, "NUM_WORDS_PER_GROUPING": 1000},
  "files": [
    {"index": 0, "path": "./a.txt", "displayName": "a.txt"},
    {"index": 1, "path": "./B.txt", "displayName": "B.txt"},
    {"index": 2, "path": "./c.TXT", "displayName": "c.TXT"}
  ],
  "threshold": 7.2426405,
  "significance": {"lambda": 2.58, "K": 0.0042, "comparisons": 3, "fitted": 0, "note": "Too few comparisons to fit the statistics of chance matches: E-values use fixed values measured on English text."},
  "results": [
    {"comparison": 0, "indexA": 1, "indexB": 0, "startA": 5, "endA": 49, "startB": 0, "endB": 44, "score": 9, "evalue": 1.04e-10, "consensusA": "one two three four five six seven eight nine ", "consensusB": "one two three four five six seven eight nine "}
  ],
  "listed": [0]
}
)");
  const std::string page = contents(files.path() / "report.html"),
                    mark = "<mark title=\"Result 1\">one two three";
  EXPECT_NE(page.find(mark, page.find(mark) + 1), std::string::npos);  // in both files
  EXPECT_TRUE(std::filesystem::is_empty(config.path()));  // the settings store is only read
}

TEST_F(OrvalisScan, EvalueListingAndPairsAreStrongestFirstWithTheFixedValuesNoted) {
  // c.txt shares seven words with a.txt and with b.txt, which share nine.
  files.write("a.txt", "one two three four five six seven eight nine ten");
  files.write("b.txt", "zero one two three four five six seven eight nine");
  files.write("c.txt", "one two three four five six seven x y z");
  files.write("d.txt", "the cat sat");
  const std::string note =
      "note: Too few comparisons to fit the statistics of chance matches: E-values use fixed "
      "values measured on English text.\n";
  // The default listing is the threshold's, without E-values or note.
  Child result = run({"a.txt"});
  EXPECT_EQ(result.out, "b.txt & a.txt (9.00)\n");
  EXPECT_EQ(result.err, "");
  // Equal E-values (c.txt's two results) keep the scan's order.
  result = run({"--max-evalue", "0.01", "a.txt"});
  EXPECT_EQ(result.out,
            "b.txt & a.txt (9.00) E=2.08e-10\n"
            "c.txt & a.txt (7.00) E=3.61e-08\nc.txt & b.txt (7.00) E=3.61e-08\n");
  EXPECT_EQ(result.err, note);
  EXPECT_EQ(run({"--max-evalue", "1e-9", "a.txt"}).out, "b.txt & a.txt (9.00) E=2.08e-10\n");
  EXPECT_EQ(run({"--max-evalue", "0", "a.txt"}).out, "No suspicious files found.\n");
  // Pairs of the listed results: those of the default listing, or of the E-values.
  result = run({"--pairs", "a.txt"});
  EXPECT_EQ(result.out, "b.txt & a.txt: best score 9.00, E=2.08e-10, 1 result, 9 words matched\n");
  EXPECT_EQ(result.err, note);
  EXPECT_EQ(run({"--pairs", "--max-evalue", "0.01", "a.txt"}).out,
            "b.txt & a.txt: best score 9.00, E=2.08e-10, 1 result, 9 words matched\n"
            "c.txt & a.txt: best score 7.00, E=3.61e-08, 1 result, 7 words matched\n"
            "c.txt & b.txt: best score 7.00, E=3.61e-08, 1 result, 7 words matched\n");
  const std::string json = run({"--json", "--pairs", "--max-evalue", "0.01", "a.txt"}).out;
  EXPECT_NE(json.find(R"(  "listed": [0, 1, 2],
  "pairs": [
    {"indexA": 1, "indexB": 0, "bestComparison": 0, "bestScore": 9, "bestEvalue": 2.08e-10, "results": 1, "wordsMatched": 9},
    {"indexA": 2, "indexB": 0, "bestComparison": 1, "bestScore": 7, "bestEvalue": 3.61e-08, "results": 1, "wordsMatched": 7},
    {"indexA": 2, "indexB": 1, "bestComparison": 2, "bestScore": 7, "bestEvalue": 3.61e-08, "results": 1, "wordsMatched": 7}
  ]
}
)"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"note\": \"Too few comparisons"), std::string::npos) << json;
}

TEST_F(OrvalisScan, ExitStatusTellsSuccessTooFewFilesAndFailures) {
  // The exit status, the output and the first line of the errors.
  const auto outcome = [&](const std::vector<std::string>& args) {
    const Child r = run(args);
    return std::to_string(r.status) + " " + r.out + "|" + r.err.substr(0, r.err.find('\n') + 1);
  };
  files.write("empty.md", "");
  EXPECT_EQ(outcome({"x.txt"}), "1 |No files found.\n");
  files.write("one.txt", "text");
  EXPECT_EQ(outcome({"x.txt"}),
            "1 |Only one file found. Two or more files are needed for comparisons to be made.\n");
  files.write("two.txt", "text");
  EXPECT_EQ(outcome({"x.txt"}), "0 No suspicious files found.\n|");
  EXPECT_EQ(outcome({"--bogus", "x.txt"}), "2 |orvalis-scan: unknown option '--bogus'\n");
  EXPECT_EQ(outcome({"--html=none/r.html", "x.txt"}),
            "1 No suspicious files found.\n|"
            "error: cannot write none/r.html: No such file or directory\n");
  EXPECT_TRUE(
      run({"--json", "one.txt", "empty.md"})
          .out.ends_with("\"threshold\": null,\n  \"significance\": {\"lambda\": 2.58, \"K\": "
                         "0.0042, \"comparisons\": 0, \"fitted\": 0, \"note\": \"Too few "
                         "comparisons to fit the statistics of chance matches: E-values use fixed "
                         "values measured on English text.\"},\n  \"results\": [],\n  "
                         "\"listed\": []\n}\n"));
}

TEST_F(OrvalisScan, StrangeEntriesAreSkippedWithOneWarningEachAndStrangeNamesKeptExactly) {
  namespace fs = std::filesystem;
  const std::string text = "one two three four five six seven eight nine";
  for (const char* name : {"a.txt", "-dash.txt", "caf\xE9.txt", "new\nline.txt"}) {
    files.write(name, text);
  }
  const fs::path dir = files.path();
  ASSERT_EQ(::mkfifo((dir / "pipe.txt").c_str(), 0600), 0);
  fs::create_directory(dir / "dir.txt");
  fs::create_symlink("/dev/zero", dir / "zero.txt");
  fs::create_symlink(dir / "nowhere", dir / "dangling.txt");
  fs::create_symlink(dir / "loop.txt", dir / "loop.txt");

  // Each warning names the entry once, on one line.
  const Child result = run({"--json", "--", "-dash.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err,
            "warning: skipping ./dangling.txt: No such file or directory\n"
            "warning: skipping ./dir.txt: is a folder\n"
            "warning: skipping ./loop.txt: Too many levels of symbolic links\n"
            "warning: skipping ./pipe.txt: is a FIFO\n"
            "warning: skipping ./zero.txt: is a device\n");
  for (const char* shown : {R"("displayName": "-dash.txt")", R"("displayName": "a.txt")",
                            R"("displayName": "café.txt")", R"("displayName": "new\nline.txt")"}) {
    EXPECT_NE(result.out.find(shown), std::string::npos) << shown << "\n" << result.out;
  }
  // The lines escape what would break them; every file was read, so every pair matched.
  EXPECT_EQ(run({"--all", "--", "-dash.txt"}).out,
            "a.txt & -dash.txt (9.00)\n"
            "caf\xC3\xA9.txt & -dash.txt (9.00)\ncaf\xC3\xA9.txt & a.txt (9.00)\n"
            "new\\nline.txt & -dash.txt (9.00)\nnew\\nline.txt & a.txt (9.00)\n"
            "new\\nline.txt & caf\xC3\xA9.txt (9.00)\n");
}

// `count` words of a vocabulary of 16: texts of different seeds share little.
std::string words(unsigned seed, int count) {
  std::minstd_rand random(seed);
  std::string text;
  while (count-- > 0) text += "w" + std::to_string(random() % 16) + " ";
  return text;
}

TEST_F(OrvalisScan, JobCountDoesNotChangeTheDocument) {
  // Files of about 100 words sharing passages, in groups of 19 words.
  const std::string shared = words(11, 45);
  files.write("f1.txt", words(12, 30) + shared + words(13, 25));
  files.write("f2.txt", shared + words(14, 60));
  files.write("f3.txt", words(15, 50) + shared.substr(0, shared.size() / 2) + words(16, 30));
  files.write("f4.txt", words(17, 100));
  const auto scan = [&](const char* jobs) {
    return run({"--jobs", jobs, "--json", "--all", "--group-size", "20", "f1.txt"});
  };
  const auto one = scan("1");
  EXPECT_EQ(one.status, 0);
  EXPECT_EQ(one.out, scan("4").out);
  // Several groups per file; the document keeps every result, not only the 200 listed.
  EXPECT_NE(one.out.find("{\"comparison\": 200, "), std::string::npos);
}

TEST_F(OrvalisScan, StoredSettingsAreUsedAndTheCommandLineOverridesThem) {
  files.write("a.txt", "a");
  files.write("b.txt", "b");
  const auto settings = [&](const char* stored, std::vector<std::string> args) {
    config.write("Tovimar/Orvalis.conf", stored);
    args.insert(args.end(), {"--json", "a.txt"});
    const auto result = run(args);
    const auto start = result.out.find("\"settings\": ");
    return result.err + result.out.substr(start, result.out.find('\n', start) - start);
  };
  EXPECT_EQ(settings("MU=-1\nDELTA=-2.25\nNUM_WORDS_PER_GROUPING=50\n", {}),
            R"("settings": {"MU": -1, "DELTA": -2.25, "NUM_WORDS_PER_GROUPING": 50},)");
  EXPECT_EQ(settings("MU=-1\nNUM_WORDS_PER_GROUPING=1\n", {"--mu", "-0.75"}),
            "warning: Error! Cannot find settings.\n"
            "warning: Error! NUM_WORDS_PER_GROUPING must be 2 or more. Using 1000.\n"
            R"("settings": {"MU": -0.75, "DELTA": -0.5, "NUM_WORDS_PER_GROUPING": 1000},)");
}

}  // namespace
}  // namespace orvalis::testing
