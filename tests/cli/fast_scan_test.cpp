#include "analysis/fast_scan.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/significance.h"
#include "cli/options.h"
#include "cli/scan_command.h"
#include "engine/scan.h"
#include "tests/support/scan_fixture.h"
#include "tests/support/scratch_settings.h"
#include "tests/support/temp_dir.h"

namespace orvalis::cli {
namespace {

// A folder of texts of words drawn from a skewed vocabulary, with passages of
// one file copied into others, 20 % of each copy's words edited: replaced,
// dropped or preceded by an extra word.
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
    return "w" + std::to_string(rank);
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
    paths.push_back(dir.write("f" + std::to_string(100 + f) + ".txt", bytes));
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
