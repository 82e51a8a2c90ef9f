// orvalis-scan's command line and its run: the note and the JSON count of a
// listing that is capped, templates set aside, the fast scan.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "analysis/fast_scan.h"
#include "analysis/significance.h"
#include "cli/capped_listing.h"
#include "cli/options.h"
#include "cli/scan_command.h"
#include "engine/scan.h"
#include "tests/support/scan_fixture.h"
#include "tests/support/scratch_settings.h"
#include "tests/support/temp_dir.h"

namespace orvalis::cli {
namespace {

TEST(CappedListing, NotesWhatTheLinesLeaveOutAndHowToSeeIt) {
  ScanOptions all, evalue, allByEvalue, evaluePairs, evalueJson;
  all.showAll = true;
  evalue.maxEvalue = evaluePairs.maxEvalue = evalueJson.maxEvalue = 0.001;
  allByEvalue.maxEvalue = 0.01;
  allByEvalue.showAll = true;
  evaluePairs.pairs = true;
  evalueJson.json = true;
  // The options, the results in the run's listing and those it takes before
  // the cap, the note.
  const std::tuple<const char*, ScanOptions, std::size_t, std::size_t, std::string> cases[] = {
      {"threshold, at the cap", {}, 200, 200, ""},
      {"threshold, over the cap",
       {},
       200,
       701,
       "note: 200 of 701 results above the threshold shown, in scan order; --max-evalue 0.01 "
       "lists the strongest first, --json --all every result"},
      {"all", all, 200, 9870,
       "note: 200 of 9870 results shown, in scan order; --json gives every result"},
      // A listing by E-value is whole; only its lines stop at the cap.
      {"E-value, at the cap", evalue, 200, 200, ""},
      {"E-value, over the cap", evalue, 350, 350,
       "note: 200 of 350 results of E-value 0.001 or less shown, strongest first; --pairs gives "
       "one line for each pair of files, --json every result"},
      {"all by E-value", allByEvalue, 9870, 9870,
       "note: 200 of 9870 results shown, strongest first; --json gives every result"},
      {"E-value pairs take every result", evaluePairs, 350, 350, ""},
      {"E-value JSON takes every result", evalueJson, 350, 350, ""},
  };
  // Results that all pass the threshold -1 where the listing is by threshold.
  FileEntry file;
  const WordGroup group{.file = &file, .words = {}};
  for (const auto& [name, options, shown, total, note] : cases) {
    SCOPED_TRACE(name);
    ResultTable results;
    const std::size_t stored = options.maxEvalue ? shown : total;
    for (std::size_t i = 0; i < stored; ++i) {
      results.emplace(static_cast<std::int32_t>(i),
                      PairResult{&group, &group, 0, 0, 0, 0, 1.0f, {}, {}});
    }
    std::vector<ListedResult> listed(shown);
    const ListingCount count = runListingCount(options, results, -1.0f, listed);
    EXPECT_EQ(cappedListingNote(options, count), note);
  }
}

// 22 files, every two sharing a few words: 231 results, all listed; the lines
// note the cap on standard error, the document counts what it lists in full.
TEST(CappedRun, SaysOnStandardErrorAndInTheDocumentWhatTheCapLeftOut) {
  testing::TempDir dir;
  testing::ScratchSettings settings;
  ASSERT_TRUE(settings.usable()) << settings.unusableReason();
  for (int i = 0; i < 22; ++i) {
    const std::string n = std::to_string(i);
    dir.write(std::string("f").append(std::to_string(100 + i)).append(".txt"),
              std::string("own").append(n).append(" shared words here tail").append(n));
  }
  for (const bool json : {false, true}) {
    ScanOptions options;
    options.files = {dir.path() / "f100.txt"};
    options.showAll = true;
    options.json = json;
    std::ostringstream out, err;
    EXPECT_EQ(runScan(options, settings.store(), out, err, false), kExitSuccess);
    EXPECT_EQ(err.str().find("note: 200 of 231 results shown, in scan order; --json gives every "
                             "result\n") != std::string::npos,
              !json)
        << err.str();
    EXPECT_EQ(out.str().ends_with("\n  \"listedBeforeCap\": 231\n}\n"), json);
  }
}

// Three essays share the question, a template in the folder and in a folder of
// templates: never compared, its text matches nothing, whatever sets it aside.
TEST(TemplateScan, ATemplateIsNeverComparedAndItsTextIsSetAsideAndReported) {
  testing::TempDir dir;
  const std::string question =
      "Question one: explain in your own words why the sky looks blue on a clear day and red at "
      "sunset, with one example";  // 23 words
  dir.write("a.txt", question + " light scatters on small molecules far more when it is blue");
  dir.write("b.txt", question + " the colour depends on the path through the air at dusk");
  dir.write("c.txt", question + " I do not know the answer to this question at all");
  const std::string inFolder = dir.write("question.txt", question).string();
  dir.write("starter/question.txt", question);
  dir.write("starter/notes.md", "not a template: another extension");
  const std::string starter = (dir.path() / "starter").string();
  // The options; whether the folder's question.txt is scanned, not a template;
  // the words of the third file set aside as template and as common text.
  const std::tuple<std::vector<std::string>, bool, int, int> cases[] = {
      {{"--template", inFolder}, false, 23, 0},
      {{"--max-files", "2", "--template", starter}, true, 23, 0},
      {{"--max-files=2"}, true, 0, 23},
  };
  for (const auto& [options, questionScanned, templateWords, commonWords] : cases) {
    std::vector<std::string> args = {(dir.path() / "a.txt").string(), "--json", "--all"};
    args.insert(args.end(), options.begin(), options.end());
    const ParseResult parsed = parseArguments(args);
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    testing::ScratchSettings settings;
    std::ostringstream out, err;
    ASSERT_EQ(runScan(parsed.options, settings.store(), out, err, false), kExitSuccess);
    const std::string json = out.str();
    EXPECT_EQ(json.find("\"displayName\": \"question.txt\"") != std::string::npos, questionScanned)
        << json;
    EXPECT_NE(json.find(questionScanned ? "\"comparisons\": 6," : "\"comparisons\": 3,"),
              std::string::npos);
    EXPECT_EQ(json.find("Question one"), std::string::npos) << json;
    EXPECT_NE(json.find("{\"index\": 2, \"templateWords\": " + std::to_string(templateWords) +
                        ", \"commonWords\": " + std::to_string(commonWords) + "}"),
              std::string::npos)
        << json;
  }
}

// The command line.
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

// The fast scan against the full one, on texts of a skewed vocabulary with
// passages copied between files, 20 % of the words of each copy edited.
std::vector<std::filesystem::path> plantedFolder(const testing::TempDir& dir, int files, int words,
                                                 int passages) {
  std::uint64_t state = 7;  // a linear congruential generator, the same everywhere
  const auto below = [&](std::size_t n) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::size_t>((state >> 33) % n);
  };
  const auto word = [&] {
    // Small numbers far more often than large ones, as in real text.
    const std::size_t rank = below(24) * below(24) + below(3);
    std::string text = "w";
    return text += std::to_string(rank);
  };
  std::vector<std::vector<std::string>> texts(static_cast<std::size_t>(files));
  // Files of different lengths, so that file pairs make different numbers of
  // comparisons.
  for (std::size_t f = 0; f < texts.size(); ++f) {
    for (std::size_t i = 0; i < static_cast<std::size_t>(words) + f % 5 * 70; ++i) {
      texts[f].push_back(word());
    }
  }
  for (int p = 0; p < passages; ++p) {
    const std::size_t length = 20 + below(60);
    const std::size_t source = below(texts.size());
    const std::size_t start = below(texts[source].size() - length);
    std::size_t target = below(texts.size());
    if (target == source) target = (target + 1) % texts.size();
    std::vector<std::string> copy;
    for (std::size_t i = start; i < start + length; ++i) {
      const std::string& original = texts[source][i];
      const std::size_t edit = below(15);                          // 3 in 15: 20 %
      if (edit == 0) copy.push_back(word());                       // replaced
      if (edit == 1) copy.insert(copy.end(), {word(), original});  // an extra word first
      if (edit >= 3) copy.push_back(original);                     // kept; 2: dropped
    }
    auto& text = texts[target];
    const std::size_t at = below(text.size() - copy.size());
    std::copy(copy.begin(), copy.end(), text.begin() + static_cast<std::ptrdiff_t>(at));
  }
  std::vector<std::filesystem::path> paths;
  for (std::size_t f = 0; f < texts.size(); ++f) {
    std::string bytes;
    for (const std::string& w : texts[f]) bytes += w + ' ';
    std::string name = "f";
    name += std::to_string(100 + f);
    paths.push_back(dir.write(name + ".txt", bytes));
  }
  return paths;
}

void scan(CompareEngine& engine, const std::vector<std::filesystem::path>& paths, int threads) {
  engine.comparisonThreads = threads;
  engine.groupSize = 60;
  testing::runScan(engine, paths);
}

// A result with its groups told by file and position, so that the results of
// two scans compare.
std::string describe(const PairResult& r) {
  std::ostringstream text;
  text << r.groupA->file->index << '@' << r.groupA->startOffset << ' ' << r.groupB->file->index
       << '@' << r.groupB->startOffset << ' ' << r.startA << '-' << r.endA << ' ' << r.startB << '-'
       << r.endB << ' ' << std::bit_cast<std::uint32_t>(r.score) << r.consensusA << '|'
       << r.consensusB;
  return text.str();
}

TEST(FastScan, FindsEverySignificantResultOfTheFullScanAndComputesItTheSameWay) {
  testing::TempDir dir;
  const auto paths = plantedFolder(dir, 40, 600, 40);
  CompareEngine full;
  scan(full, paths, 2);
  ASSERT_EQ(full.pairResults.size(), static_cast<std::size_t>(full.comparisonsTotal));
  const SignificanceModel model = significanceOf(full.pairResults);
  ASSERT_FALSE(model.usesFixedValues());

  for (const int threads : {1, 2}) {
    CompareEngine engine;
    FastScan fast;
    chooseFastComparisons(engine, fast);
    scan(engine, paths, threads);
    EXPECT_EQ(engine.comparisonsTotal, full.comparisonsTotal);
    EXPECT_LT(fast.seeded * 20, full.comparisonsTotal) << "keeps few comparisons";
    int significant = 0;
    int found = 0;
    for (const auto& [number, result] : full.pairResults) {
      if (evalueOf(model, result) > 0.01) continue;
      ++significant;
      if (engine.pairResults.contains(number)) ++found;
    }
    EXPECT_GT(significant, 20);
    EXPECT_EQ(found, significant) << threads << " threads";
    for (const auto& [number, result] : engine.pairResults) {
      ASSERT_EQ(describe(result), describe(full.pairResults.at(number))) << "comparison " << number;
    }
  }
}

// orvalis-scan's output for `extra` options on `files`.
std::string output(const std::vector<std::filesystem::path>& files,
                   const std::vector<std::string>& extra) {
  std::vector<std::string> args = extra;
  args.insert(args.end(), {"--quiet", "--no-cache", "--jobs", "2", "--group-size", "60"});
  for (const auto& file : files) args.push_back(file.string());
  const testing::ScratchSettings settings;
  std::ostringstream out, err;
  runScanCommand(args, out, err, false);
  return out.str();
}

TEST(FastScan, ListsExactlyWhatTheFullScanListsWhenItsSampleIsEveryComparison) {
  testing::TempDir dir;
  const auto paths = plantedFolder(dir, 10, 400, 10);
  for (const std::vector<std::string>& listing :
       {std::vector<std::string>{"--max-evalue", "0.01"},
        std::vector<std::string>{"--max-evalue", "1", "--pairs"},
        std::vector<std::string>{"--max-evalue", "0.01", "--json"}}) {
    std::vector<std::string> fast = listing;
    fast.push_back("--fast");
    const std::string expected = output(paths, listing);
    EXPECT_EQ(expected.find("No suspicious"), std::string::npos) << listing.back();
    EXPECT_EQ(output(paths, fast), expected) << listing.back();
  }
}

TEST(FastScan, RefusesTheListingsThatNeedEveryComparison) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--fast", "a"},
        {"--fast", "--pairs", "a"},
        {"--fast", "--max-evalue", "1", "--all", "a"},
        {"--fast", "--exhaustive", "--max-evalue", "1", "a"}}) {
    EXPECT_NE(parseArguments(args).error.find("--fast"), std::string::npos) << args[1];
  }
  EXPECT_TRUE(parseArguments(std::vector<std::string>{"--fast", "--max-evalue", "1", "a"}).ok());
}

}  // namespace
}  // namespace orvalis::cli
