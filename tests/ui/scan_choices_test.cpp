// The estimate behind the main dialog's offer of faster scans.
#include "ui/main/scan_choices.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "engine/records.h"

namespace orvalis {
namespace {

using std::chrono::milliseconds;

// 200 files of 2,000 words make 19,900 file pairs of 3 × 3 groups: 179,100
// comparisons, each followed by the 1 ms pause in the usual scan.
TEST(ScanChoices, EstimatesFromTheComparisonsAndCellsOfEveryFilePair) {
  const std::vector<std::uint64_t> big(200, 2000);
  const ScanTimeEstimate estimate = estimateScanTime(big, kDefaultGroupSize, 2, milliseconds(1));
  const double cells = 19900.0 * 2000 * 2000;
  EXPECT_NEAR(estimate.paused, 179.1 + cells * 0.15e-9, 0.5);
  EXPECT_NEAR(estimate.allProcessors, cells * 0.15e-9 / 2, 0.05);
  EXPECT_GT(estimate.paused, kOfferFasterScansAfter);
  EXPECT_LT(estimate.fast, estimate.allProcessors / 5);

  // A small folder is not worth the offer; its fast scan aligns everything.
  const std::vector<std::uint64_t> small(20, 500);
  const ScanTimeEstimate quick = estimateScanTime(small, kDefaultGroupSize, 2, milliseconds(1));
  EXPECT_LT(quick.paused, kOfferFasterScansAfter);
  EXPECT_GE(quick.fast, quick.allProcessors);
  EXPECT_EQ(estimateScanTime({}, kDefaultGroupSize, 2, milliseconds(1)).paused, 0);
}

TEST(ScanChoices, WordsFromSizesAndDurationsInWords) {
  EXPECT_EQ(estimatedWords("essay.txt", 600), 100u);
  EXPECT_EQ(estimatedWords("essay.DOCX", 600), 30u);
  EXPECT_EQ(estimatedWords("scan.pdf", 600), 30u);

  const struct {
    double seconds;
    const char* text;
  } rows[] = {{0.4, "under a second"},    {1, "about 1 second"},      {89.4, "about 89 seconds"},
              {90, "about 2 minutes"},    {5399, "about 90 minutes"}, {5400, "about 2 hours"},
              {40 * 3600, "about 2 days"}};
  for (const auto& row : rows) EXPECT_EQ(durationText(row.seconds), row.text) << row.seconds;
  EXPECT_EQ(usualScanText(190), "A usual scan of these files takes about 3 minutes.");
  EXPECT_EQ(allProcessorsCaption(12), "Use every processor, without pauses (about 12 seconds)");
  EXPECT_EQ(fastScanCaption(0.2),
            "Fast scan: align only passages that share words (under a second)");
}

}  // namespace
}  // namespace orvalis
