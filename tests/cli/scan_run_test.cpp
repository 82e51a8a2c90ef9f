// orvalis-scan's run: the note and the JSON count of a listing that is capped,
// and templates set aside.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/capped_listing.h"
#include "cli/options.h"
#include "cli/scan_command.h"
#include "tests/support/scratch_settings.h"
#include "tests/support/temp_dir.h"

namespace orvalis::cli {
namespace {

TEST(CappedListing, NotesWhatTheLinesLeaveOutAndHowToSeeIt) {
  struct Case {
    const char* name;
    ScanOptions options;
    std::size_t listed;  // results in the run's listing
    std::size_t total;   // results the listing takes before the cap
    std::string note;
  };
  ScanOptions all, evalue, allByEvalue, evaluePairs, evalueJson;
  all.showAll = true;
  evalue.maxEvalue = evaluePairs.maxEvalue = evalueJson.maxEvalue = 0.001;
  allByEvalue.maxEvalue = 0.01;
  allByEvalue.showAll = true;
  evaluePairs.pairs = true;
  evalueJson.json = true;
  const Case cases[] = {
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
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResultMap results;
    const std::size_t stored = c.options.maxEvalue ? c.listed : c.total;
    for (std::size_t i = 0; i < stored; ++i) {
      results.emplace(static_cast<std::int32_t>(i),
                      PairResult{&group, &group, 0, 0, 0, 0, 1.0f, {}, {}});
    }
    std::vector<ListedResult> listed(c.listed);
    const ListingCount count = runListingCount(c.options, results, -1.0f, listed);
    EXPECT_EQ(cappedListingNote(c.options, count), c.note);
  }
}

// 22 files of which every two share a few words: 231 file pairs, one result
// each, all listed: the lines note the cap on standard error, the document
// counts what it lists in full.
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

// Three essays that share the question, which is also a template file of the
// scanned folder and of a folder of templates: it is never compared, and its
// text matches nothing, whichever option sets it aside.
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
  struct Case {
    std::vector<std::string> options;
    bool questionScanned;    // the folder's question.txt, when it is not a template
    std::string fileIndex2;  // the words set aside in the third file, as the JSON says
  };
  const Case cases[] = {
      {{"--template", inFolder},
       false,
       "{\"index\": 2, \"templateWords\": 23, \"commonWords\": 0}"},
      {{"--max-files", "2", "--template", starter},
       true,
       "{\"index\": 2, \"templateWords\": 23, \"commonWords\": 0}"},
      {{"--max-files=2"}, true, "{\"index\": 2, \"templateWords\": 0, \"commonWords\": 23}"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {(dir.path() / "a.txt").string(), "--json", "--all"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ParseResult parsed = parseArguments(args);
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    testing::ScratchSettings settings;
    std::ostringstream out, err;
    ASSERT_EQ(runScan(parsed.options, settings.store(), out, err, false), kExitSuccess);
    const std::string json = out.str();
    EXPECT_EQ(json.find("\"displayName\": \"question.txt\"") != std::string::npos,
              c.questionScanned)
        << json;
    EXPECT_NE(json.find(c.questionScanned ? "\"comparisons\": 6," : "\"comparisons\": 3,"),
              std::string::npos);
    EXPECT_EQ(json.find("Question one"), std::string::npos) << json;
    EXPECT_NE(json.find(c.fileIndex2), std::string::npos) << json;
  }
}

}  // namespace
}  // namespace orvalis::cli
