#include "cli/json_report.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <sstream>
#include <string>

namespace orvalis::cli {
namespace {

// An engine holding a finished scan made by hand: files with one group each
// and the given results.
class JsonReportTest : public ::testing::Test {
 protected:
  void addFile(std::int32_t index, const std::filesystem::path& path) {
    auto entry = std::make_unique<FileEntry>();
    entry->path = path;
    entry->displayName = path.filename();
    entry->index = index;
    auto group = std::make_unique<WordGroup>();
    group->file = entry.get();
    entry->groups.emplace(0, std::move(group));
    engine.fileTable.emplace(index, std::move(entry));
  }

  const WordGroup* groupOf(std::int32_t index) {
    return engine.fileTable.at(index)->groups.at(0).get();
  }

  void addResult(std::int32_t comparison, std::int32_t a, std::int32_t b, float score) {
    PairResult result;
    result.groupA = groupOf(a);
    result.groupB = groupOf(b);
    result.startA = 1 + comparison;
    result.endA = 20 + comparison;
    result.startB = 3 + comparison;
    result.endB = 30 + comparison;
    result.score = score;
    result.consensusA = "the cat ";
    result.consensusB = "the \"cat\"\t";
    engine.pairResults.emplace(comparison, result);
  }

  ListedResult listed(std::int32_t comparison) {
    return {"line", comparison, &engine.pairResults.at(comparison)};
  }

  std::string report(float threshold, const std::vector<ListedResult>& list, bool all) {
    std::ostringstream out;
    writeJsonReport(out, engine, threshold, list, all);
    return out.str();
  }

  CompareEngine engine;
};

TEST_F(JsonReportTest, WritesEveryFieldInItsFixedOrder) {
  engine.mismatchScore = -0.25f;
  engine.gapScore = -1.5f;
  engine.groupSize = 20;
  addFile(0, "/d/a.txt");
  addFile(1, "/d/B.txt");
  addResult(0, 1, 0, 7.5f);
  const std::string expected =
      "{\n"
      "  \"settings\": {\"MU\": -0.25, \"DELTA\": -1.5, \"NUM_WORDS_PER_GROUPING\": 20},\n"
      "  \"files\": [\n"
      "    {\"index\": 0, \"path\": \"/d/a.txt\", \"displayName\": \"a.txt\"},\n"
      "    {\"index\": 1, \"path\": \"/d/B.txt\", \"displayName\": \"B.txt\"}\n"
      "  ],\n"
      "  \"threshold\": 2.5,\n"
      "  \"results\": [\n"
      "    {\"comparison\": 0, \"indexA\": 1, \"indexB\": 0, \"startA\": 1, \"endA\": 20, "
      "\"startB\": 3, \"endB\": 30, \"score\": 7.5, \"consensusA\": \"the cat \", "
      "\"consensusB\": \"the \\\"cat\\\"\\t\"}\n"
      "  ],\n"
      "  \"listed\": [0]\n"
      "}\n";
  EXPECT_EQ(report(2.5f, {listed(0)}, false), expected);
}

TEST_F(JsonReportTest, ThresholdThatIsNotANumberIsNullAndEmptyArraysStayValid) {
  addFile(0, "/d/a.txt");
  addFile(1, "/d/b.txt");
  const std::string text = report(std::numeric_limits<float>::quiet_NaN(), {}, false);
  EXPECT_NE(text.find("\"threshold\": null,"), std::string::npos) << text;
  EXPECT_NE(text.find("\"results\": [],"), std::string::npos) << text;
  EXPECT_NE(text.find("\"listed\": []\n}"), std::string::npos) << text;
}

TEST_F(JsonReportTest, ResultsAreTheListedOnesUnlessAllAreAsked) {
  addFile(0, "/d/a.txt");
  addFile(1, "/d/b.txt");
  addFile(2, "/d/c.txt");
  addResult(0, 1, 0, 1.0f);
  addResult(1, 2, 0, 5.0f);
  addResult(2, 2, 1, 6.0f);
  const std::vector<ListedResult> list = {listed(1), listed(2)};

  const std::string some = report(4.0f, list, false);
  EXPECT_EQ(some.find("\"comparison\": 0"), std::string::npos);
  EXPECT_NE(some.find("\"comparison\": 1"), std::string::npos);
  EXPECT_NE(some.find("\"comparison\": 2"), std::string::npos);
  EXPECT_NE(some.find("\"listed\": [1, 2]"), std::string::npos);

  const std::string all = report(4.0f, list, true);
  EXPECT_NE(all.find("{\"comparison\": 0, \"indexA\": 1, \"indexB\": 0"), std::string::npos);
  EXPECT_NE(all.find("{\"comparison\": 2, \"indexA\": 2, \"indexB\": 1"), std::string::npos);
  EXPECT_NE(all.find("\"listed\": [1, 2]"), std::string::npos);
}

TEST_F(JsonReportTest, PathsThatAreNotUtf8AreWrittenAsValidUtf8) {
  addFile(0, "/d/caf\xe9.txt");  // a Latin-1 file name
  addFile(1, "/d/na\xc3\xafve.txt");
  const std::string text = report(0.0f, {}, false);
  EXPECT_NE(text.find("\"path\": \"/d/caf\xc3\xa9.txt\", \"displayName\": \"caf\xc3\xa9.txt\""),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\"displayName\": \"na\xc3\xafve.txt\""), std::string::npos) << text;
}

}  // namespace
}  // namespace orvalis::cli
