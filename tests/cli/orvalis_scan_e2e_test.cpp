// Runs the built orvalis-scan on folders made for each test and checks what it
// prints and its exit status. Every run reads its settings from a folder of the
// test's own (XDG_CONFIG_DIRS), empty unless the test writes a settings file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/child_process.h"
#include "tests/cli/json_value.h"
#include "tests/support/temp_dir.h"

namespace orvalis::testing {
namespace {

namespace fs = std::filesystem;

// Text of `count` words drawn from a small vocabulary by a fixed recipe, so
// that different seeds give texts that share only short runs by chance.
std::string words(unsigned seed, int count) {
  static const char* const kVocabulary[] = {
      "river", "stone",  "lamp",   "garden",  "window", "letter", "music",  "bridge", "cloud",
      "paper", "train",  "apple",  "winter",  "street", "forest", "candle", "market", "coast",
      "honey", "field",  "tower",  "silver",  "harbor", "meadow", "engine", "velvet", "orbit",
      "maple", "copper", "ladder", "thunder", "pocket", "signal", "island", "marble", "shadow"};
  constexpr unsigned kSize = sizeof kVocabulary / sizeof kVocabulary[0];
  std::string text;
  unsigned state = seed * 2654435761u + 12345u;
  for (int i = 0; i < count; ++i) {
    state = state * 1103515245u + 12345u;
    if (i > 0) text += (i % 12 == 0) ? "\n" : " ";
    text += kVocabulary[(state >> 16) % kSize];
  }
  return text;
}

// The score as the results window prints it: two decimals of the float.
std::string twoDecimals(const JsonValue& score) {
  const auto value = static_cast<float>(score.number());
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(value));
  return text;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    result.push_back(line);
  return result;
}

class OrvalisScan : public ::testing::Test {
 protected:
  ChildResult run(std::vector<std::string> args, std::optional<fs::path> workingFolder = {}) {
    ChildOptions options;
    options.environment["XDG_CONFIG_DIRS"] = config.path().string();
    options.workingFolder = std::move(workingFolder);
    return runChild(ORVALIS_SCAN_PATH, args, options);
  }

  std::string file(const char* name) const { return (files.path() / name).string(); }

  void writeSettings(std::string_view text) const {
    config.write(fs::path("Tovimar") / "Orvalis.conf", text);
  }

  // Three texts: b holds a passage of a with a few words changed; c is unrelated.
  void writeRelatedTexts() const {
    const std::string passage = words(1, 60);
    files.write("a.txt", words(2, 30) + "\n" + passage + "\n" + words(3, 20) + "\n");
    std::string edited = passage;
    edited.insert(edited.find(' ', edited.size() / 2), " quietly");
    files.write("b.txt", words(4, 25) + "\n" + edited + " once more\n" + words(5, 10) + "\n");
    files.write("c.txt", "An unrelated note about the weather, short and plain.\n");
  }

  TempDir files;
  TempDir config;
};

TEST_F(OrvalisScan, OneFileScansItsFolderForItsExtensionInNameOrder) {
  files.write("B.txt", "beta text here");
  files.write("a.txt", "alpha text here");
  files.write("c.TXT", "gamma text here");
  files.write("notes.md", "not compared");
  files.write("inner.txt/deeper.txt", "a folder named like a match, and a file inside it");
  const auto result = run({"--json", file("chosen-but-missing.txt")});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const JsonValue json = parseJson(result.out);
  const JsonArray& found = json["files"].array();
  ASSERT_EQ(found.size(), 3u) << result.out;
  const char* const expected[] = {"a.txt", "B.txt", "c.TXT"};
  for (std::size_t i = 0; i < found.size(); ++i) {
    EXPECT_EQ(found[i]["index"].number(), static_cast<double>(i));
    EXPECT_EQ(found[i]["displayName"].string(), expected[i]);
    EXPECT_EQ(found[i]["path"].string(), file(expected[i]));
  }
}

TEST_F(OrvalisScan, RelativeFileNameScansTheWorkingFolder) {
  files.write("one.txt", "alpha beta gamma");
  files.write("two.txt", "alpha beta gamma");
  const auto result = run({"--json", "whatever.txt"}, files.path());
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const JsonValue json = parseJson(result.out);
  const JsonArray& found = json["files"].array();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0]["displayName"].string(), "one.txt");
  EXPECT_EQ(found[1]["displayName"].string(), "two.txt");
}

TEST_F(OrvalisScan, TwoOrMoreFilesAreScannedExactlyInTheOrderGiven) {
  writeRelatedTexts();
  files.write("d.md", words(1, 60));
  const auto result = run({"--json", file("c.txt"), file("d.md"), file("a.txt")});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const JsonValue json = parseJson(result.out);
  const JsonArray& found = json["files"].array();
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0]["path"].string(), file("c.txt"));
  EXPECT_EQ(found[1]["path"].string(), file("d.md"));
  EXPECT_EQ(found[2]["path"].string(), file("a.txt"));
}

TEST_F(OrvalisScan, LinesAreTheListedResultsAsTheResultsWindowWritesThem) {
  writeRelatedTexts();
  const auto text = run({file("a.txt")});
  const auto json = run({"--json", file("a.txt")});
  ASSERT_EQ(text.exitStatus, 0) << text.err;
  ASSERT_EQ(json.exitStatus, 0) << json.err;
  const JsonValue document = parseJson(json.out);
  const JsonArray& results = document["results"].array();
  ASSERT_FALSE(results.empty());

  std::vector<std::string> expected;
  const JsonArray& found = document["files"].array();
  for (const JsonValue& result : results) {
    const auto a = static_cast<std::size_t>(result["indexA"].number());
    const auto b = static_cast<std::size_t>(result["indexB"].number());
    expected.push_back(found[a]["displayName"].string() + " & " + found[b]["displayName"].string() +
                       " (" + twoDecimals(result["score"]) + ")");
  }
  EXPECT_EQ(lines(text.out), expected);
  // The copied passage is found: b.txt (index 1) against a.txt (index 0).
  EXPECT_EQ(expected.front().rfind("b.txt & a.txt (", 0), 0u) << text.out;
}

TEST_F(OrvalisScan, JsonHasEveryFieldWithItsTypeInAFixedOrder) {
  writeRelatedTexts();
  const auto result = run({"--json", file("a.txt")});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const JsonValue json = parseJson(result.out);
  EXPECT_EQ(json.keys(),
            (std::vector<std::string>{"settings", "files", "threshold", "results", "listed"}));

  const JsonValue& settings = json["settings"];
  EXPECT_EQ(settings.keys(), (std::vector<std::string>{"MU", "DELTA", "NUM_WORDS_PER_GROUPING"}));
  EXPECT_EQ(settings["MU"].numberText, "-0.33");
  EXPECT_EQ(settings["DELTA"].numberText, "-0.5");
  EXPECT_EQ(settings["NUM_WORDS_PER_GROUPING"].numberText, "1000");

  for (const JsonValue& entry : json["files"].array()) {
    EXPECT_EQ(entry.keys(), (std::vector<std::string>{"index", "path", "displayName"}));
    EXPECT_TRUE(entry["index"].isInteger());
    EXPECT_TRUE(entry["path"].isString());
    EXPECT_TRUE(entry["displayName"].isString());
  }
  EXPECT_TRUE(json["threshold"].isNumber());

  std::vector<double> comparisons;
  for (const JsonValue& entry : json["results"].array()) {
    EXPECT_EQ(entry.keys(),
              (std::vector<std::string>{"comparison", "indexA", "indexB", "startA", "endA",
                                        "startB", "endB", "score", "consensusA", "consensusB"}));
    for (const char* key : {"comparison", "indexA", "indexB", "startA", "endA", "startB", "endB"}) {
      EXPECT_TRUE(entry[key].isInteger()) << key;
    }
    EXPECT_GT(entry["indexA"].number(), entry["indexB"].number());
    EXPECT_LE(entry["startA"].number(), entry["endA"].number());
    EXPECT_TRUE(entry["score"].isNumber());
    EXPECT_GT(entry["score"].number(), json["threshold"].number());
    EXPECT_TRUE(entry["consensusA"].isString());
    EXPECT_TRUE(entry["consensusB"].isString());
    comparisons.push_back(entry["comparison"].number());
  }
  std::vector<double> listed;
  for (const JsonValue& entry : json["listed"].array()) {
    EXPECT_TRUE(entry.isInteger());
    listed.push_back(entry.number());
  }
  EXPECT_EQ(listed, comparisons);
}

TEST_F(OrvalisScan, ScanWithoutResultsListsNothingAndHasNoThreshold) {
  files.write("empty1.txt", "");
  files.write("empty2.txt", " \n ");
  const auto text = run({file("empty1.txt")});
  EXPECT_EQ(text.exitStatus, 0) << text.err;
  EXPECT_EQ(text.out, "No suspicious files found.\n");
  const auto all = run({"--all", file("empty1.txt")});
  EXPECT_EQ(all.out, "No suspicious files found.\n");

  const auto json = run({"--json", file("empty1.txt")});
  ASSERT_EQ(json.exitStatus, 0) << json.err;
  const JsonValue document = parseJson(json.out);
  EXPECT_TRUE(document["threshold"].isNull());
  EXPECT_TRUE(document["results"].array().empty());
  EXPECT_TRUE(document["listed"].array().empty());
}

TEST_F(OrvalisScan, AllListsAtMost200LinesWhileJsonKeepsEveryResult) {
  // Group size 2 puts each word in a group of its own: 15 × 15 = 225 results.
  files.write("a.txt", words(7, 15));
  files.write("b.txt", words(8, 15));
  const auto text = run({"--all", "--group-size", "2", file("a.txt")});
  ASSERT_EQ(text.exitStatus, 0) << text.err;
  EXPECT_EQ(lines(text.out).size(), 200u);

  const auto json = run({"--all", "--json", "--group-size=2", file("a.txt")});
  ASSERT_EQ(json.exitStatus, 0) << json.err;
  const JsonValue document = parseJson(json.out);
  const JsonArray& results = document["results"].array();
  ASSERT_EQ(results.size(), 225u);
  for (std::size_t i = 0; i < results.size(); ++i) {
    EXPECT_EQ(results[i]["comparison"].number(), static_cast<double>(i));
  }
  const JsonArray& listed = document["listed"].array();
  ASSERT_EQ(listed.size(), 200u);
  EXPECT_EQ(listed.back().number(), 199.0);
}

TEST_F(OrvalisScan, TooFewFilesPrintTheDialogsMessagesAndExitWithOne) {
  files.write("only.md", "text");
  auto result = run({file("x.txt")});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "No files found.\n");

  files.write("one.txt", "text");
  result = run({"--json", file("x.txt")});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "Only one file found. Two or more files are needed for comparisons to be made.\n");
}

TEST_F(OrvalisScan, FolderThatCannotBeListedIsAnError) {
  const auto folder = files.path() / "missing";
  const auto result = run({(folder / "x.txt").string()});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "error: cannot list " + folder.string() + ": No such file or directory\n");
}

TEST_F(OrvalisScan, BadCommandLinesExitWithTwoAndAShortUsage) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"--bogus", file("a.txt")},
      {"--group-size", "1", file("a.txt")},
      {"--group-size", "2.5", file("a.txt")},
      {"--mu", "nan", file("a.txt")},
      {"--delta", "-0.5x", file("a.txt")},
      {"--jobs", "0", file("a.txt")},
      {file("a.txt"), "--html"},
  };
  for (const auto& args : bad) {
    const auto result = run(args);
    EXPECT_EQ(result.exitStatus, 2) << (args.empty() ? "" : args.front());
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind("orvalis-scan: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("usage: orvalis-scan"), std::string::npos) << result.err;
  }
}

TEST_F(OrvalisScan, HelpAndVersionPrintToStandardOutput) {
  const auto help = run({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_NE(help.out.find("Exit status"), std::string::npos);
  const auto version = run({"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.out, "orvalis-scan 1.1\n");
}

TEST_F(OrvalisScan, UnreadableFileIsNamedAndTheScanGoesOn) {
  writeRelatedTexts();
  const auto folder = files.path() / "a-folder";
  fs::create_directory(folder);
  const auto result = run({file("a.txt"), folder.string(), file("b.txt")});
  EXPECT_EQ(result.exitStatus, 0);
  const auto errors = lines(result.err);
  ASSERT_EQ(errors.size(), 1u) << result.err;
  const std::string prefix = "error: cannot read " + folder.string() + ": ";
  EXPECT_EQ(errors[0].rfind(prefix, 0), 0u) << result.err;
  EXPECT_GT(errors[0].size(), prefix.size());
  // The two readable files are still compared: b.txt has index 2 now.
  ASSERT_FALSE(result.out.empty());
  EXPECT_EQ(result.out.rfind("b.txt & a.txt (", 0), 0u) << result.out;
}

TEST_F(OrvalisScan, FileWithoutReadPermissionIsNamedAndTheScanGoesOn) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  writeRelatedTexts();
  const auto locked = files.write("locked.txt", "secret words");
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  const auto result = run({file("a.txt")});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err, "error: cannot read " + locked.string() + ": Permission denied\n");
  EXPECT_NE(result.out.find("b.txt & a.txt ("), std::string::npos) << result.out;
}

TEST_F(OrvalisScan, JobCountDoesNotChangeTheOutput) {
  // Five files of about 100 words, several sharing passages; group size 20
  // gives each file several groups.
  const std::string shared = words(11, 45);
  files.write("f1.txt", words(12, 30) + " " + shared + " " + words(13, 25));
  files.write("f2.txt", shared + " " + words(14, 60));
  files.write("f3.txt",
              words(15, 50) + " " + shared.substr(0, shared.size() / 2) + " " + words(16, 30));
  files.write("f4.txt", words(17, 100));
  files.write("f5.txt", words(18, 70) + " " + shared.substr(shared.size() / 3));
  const std::vector<std::string> common = {"--json", "--all", "--group-size", "20", file("f1.txt")};
  auto one = common;
  one.insert(one.begin(), {"--jobs", "1"});
  auto four = common;
  four.insert(four.begin(), {"--jobs", "4"});
  const auto first = run(one);
  const auto second = run(four);
  ASSERT_EQ(first.exitStatus, 0) << first.err;
  ASSERT_EQ(second.exitStatus, 0) << second.err;
  EXPECT_EQ(first.out, second.out);
  // Every file has several groups, so there are many more results than pairs.
  EXPECT_GT(parseJson(first.out)["results"].array().size(), 100u);
  EXPECT_FALSE(parseJson(first.out)["listed"].array().empty());
}

TEST_F(OrvalisScan, WithoutASettingsStoreTheDefaultsAreUsedAndNothingIsCreated) {
  writeRelatedTexts();
  const auto result = run({"--json", file("a.txt")});
  ASSERT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err, "");
  const JsonValue settings = parseJson(result.out)["settings"];
  EXPECT_EQ(settings["MU"].numberText, "-0.33");
  EXPECT_EQ(settings["DELTA"].numberText, "-0.5");
  EXPECT_EQ(settings["NUM_WORDS_PER_GROUPING"].numberText, "1000");
  EXPECT_TRUE(fs::is_empty(config.path()));
}

TEST_F(OrvalisScan, StoredSettingsAreUsedAndEachCanBeOverridden) {
  writeRelatedTexts();
  writeSettings("MU=-1\nDELTA=-2.25\nNUM_WORDS_PER_GROUPING=50\n");
  auto result = run({"--json", file("a.txt")});
  ASSERT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err, "");
  const JsonValue stored = parseJson(result.out)["settings"];
  EXPECT_EQ(stored["MU"].numberText, "-1");
  EXPECT_EQ(stored["DELTA"].numberText, "-2.25");
  EXPECT_EQ(stored["NUM_WORDS_PER_GROUPING"].numberText, "50");

  result = run({"--json", "--mu", "-0.75", "--group-size", "30", file("a.txt")});
  ASSERT_EQ(result.exitStatus, 0);
  const JsonValue overridden = parseJson(result.out)["settings"];
  EXPECT_EQ(overridden["MU"].numberText, "-0.75");
  EXPECT_EQ(overridden["DELTA"].numberText, "-2.25");
  EXPECT_EQ(overridden["NUM_WORDS_PER_GROUPING"].numberText, "30");
}

TEST_F(OrvalisScan, IncompleteOrUnusableStoredSettingsWarnAndTheScanGoesOn) {
  writeRelatedTexts();
  writeSettings("MU=-1\nNUM_WORDS_PER_GROUPING=1\n");
  const auto result = run({"--json", file("a.txt")});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err,
            "warning: Error! Cannot find settings.\n"
            "warning: Error! NUM_WORDS_PER_GROUPING must be 2 or more. Using 1000.\n");
  const JsonValue settings = parseJson(result.out)["settings"];
  EXPECT_EQ(settings["MU"].numberText, "-1");
  EXPECT_EQ(settings["DELTA"].numberText, "-0.5");
  EXPECT_EQ(settings["NUM_WORDS_PER_GROUPING"].numberText, "1000");
}

TEST_F(OrvalisScan, HtmlReportIsWrittenAlongsideTheOtherOutput) {
  writeRelatedTexts();
  const auto page = files.path() / "report.html";
  const auto result = run({"--json", "--html", page.string(), file("a.txt")});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_NO_THROW(parseJson(result.out));
  ASSERT_TRUE(fs::exists(page));
  EXPECT_GT(fs::file_size(page), 0u);
}

TEST_F(OrvalisScan, HtmlFileThatCannotBeWrittenIsAnError) {
  writeRelatedTexts();
  const auto page = files.path() / "no-folder" / "report.html";
  const auto result = run({"--html=" + page.string(), file("a.txt")});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.err, "error: cannot write " + page.string() + ": No such file or directory\n");
}

TEST_F(OrvalisScan, SampleEssaysShowTheirSharedPassages) {
  const fs::path samples = ORVALIS_SAMPLES_PATH;
  const auto result = run({"--json", (samples / "any.txt").string()});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const JsonValue json = parseJson(result.out);
  const JsonArray& found = json["files"].array();
  ASSERT_GE(found.size(), 5u);
  ASSERT_LE(found.size(), 7u);
  std::set<std::string> listedNames;
  for (const JsonValue& entry : json["results"].array()) {
    listedNames.insert(
        found[static_cast<std::size_t>(entry["indexA"].number())]["displayName"].string());
    listedNames.insert(
        found[static_cast<std::size_t>(entry["indexB"].number())]["displayName"].string());
  }
  EXPECT_TRUE(listedNames.contains("homework-for.txt")) << result.out;
  EXPECT_TRUE(listedNames.contains("homework-against.txt")) << result.out;
  EXPECT_FALSE(listedNames.contains("lighthouse.txt")) << result.out;
}

}  // namespace
}  // namespace orvalis::testing
