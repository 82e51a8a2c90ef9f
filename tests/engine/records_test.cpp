#include "engine/records.h"

#include <gtest/gtest.h>

#include <limits>
#include <new>

#include "engine/scan.h"
#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

TEST(Engine, NewEngineHoldsTheDefaultSettingsAndNoScan) {
  CompareEngine engine;
  EXPECT_EQ(engine.mismatchScore, -0.33f);
  EXPECT_EQ(engine.gapScore, -0.5f);
  EXPECT_EQ(engine.groupSize, 1000);
  EXPECT_EQ(engine.comparisonPause, std::chrono::milliseconds(1));
  EXPECT_EQ(engine.comparisonThreads, 1);
  EXPECT_FALSE(engine.running);
  EXPECT_TRUE(engine.fileTable.empty());
  EXPECT_TRUE(engine.pairResults.empty());
  EXPECT_FALSE(engine.workerThread.joinable());
  EXPECT_EQ(engine.workspace.capacity(), 0u);
}

TEST(Engine, StartScanNumbersFilesAndNamesThemByTheirLastComponent) {
  testing::TempDir dir;
  CompareEngine engine;
  engine.comparisonPause = std::chrono::milliseconds(0);
  engine.running = true;
  ASSERT_TRUE(
      engine.startScan(nullptr, {dir.path() / "one" / "essay.final.txt",
                                 dir.path() / "two" / "essay.final.txt", dir.path() / "README"}));
  engine.waitForWorker();
  ASSERT_EQ(engine.fileTable.size(), 3u);
  for (const auto& [key, entry] : engine.fileTable)
    EXPECT_EQ(entry->index, key);
  EXPECT_EQ(engine.fileTable.at(0)->displayName, "essay.final.txt");
  EXPECT_EQ(engine.fileTable.at(1)->displayName, "essay.final.txt");
  EXPECT_EQ(engine.fileTable.at(1)->path, dir.path() / "two" / "essay.final.txt");
  EXPECT_EQ(engine.fileTable.at(2)->displayName, "README");
}

TEST(Engine, ClearScanReleasesFilesAndResultsButKeepsSettings) {
  testing::TempDir dir;
  CompareEngine engine;
  engine.comparisonPause = std::chrono::milliseconds(0);
  engine.gapScore = -1.0f;
  engine.running = true;
  ASSERT_TRUE(engine.startScan(nullptr, {dir.write("a.txt", "x y z"), dir.write("b.txt", "x y")}));
  engine.waitForWorker();
  ASSERT_EQ(engine.pairResults.size(), 1u);
  engine.clearScan();
  EXPECT_TRUE(engine.fileTable.empty());
  EXPECT_TRUE(engine.pairResults.empty());
  EXPECT_EQ(engine.gapScore, -1.0f);
}

TEST(Engine, WorkspaceRefusesSizesItCannotHold) {
  AlignWorkspace workspace;
  EXPECT_THROW(workspace.reserve(std::numeric_limits<std::size_t>::max() / 2), std::bad_alloc);
  EXPECT_EQ(workspace.capacity(), 0u);
  workspace.reserve(10);
  EXPECT_EQ(workspace.capacity(), 10u);
  workspace.release();
  EXPECT_EQ(workspace.capacity(), 0u);
}

}  // namespace
}  // namespace orvalis
