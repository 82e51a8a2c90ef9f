// Stopping a scan at every kind of moment, many times over: while files load,
// between comparisons, and while the worker waits for its notice to be
// dismissed, by a cancel or by the engine going away. Run under ThreadSanitizer
// and AddressSanitizer, these find races, deadlocks and leaks.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/scan.h"
#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

// Reports as a window does: the notice stays open until the user answers it,
// or until the window closes and no longer waits for notices.
class WindowLikeTarget final : public ScanTarget {
 public:
  void post(std::uint32_t, std::int64_t, std::int64_t) override {}
  void filesUnreadable(const std::vector<UnreadableFile>&) override {}
  void scanFailed(const std::string&) override {}
  void showNotice(const std::string&) override {
    std::unique_lock lock(mutex_);
    noticeShown_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return answered_; });
  }
  void workerEnded() override {
    std::lock_guard lock(mutex_);
    ++endings_;
    changed_.notify_all();
  }

  // The user answers the notice, now or as soon as it shows.
  void answer() {
    std::lock_guard lock(mutex_);
    answered_ = true;
    changed_.notify_all();
  }
  // Waits until the notice shows or the worker ends.
  void waitForNoticeOrEnd() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return noticeShown_ || endings_ > 0; });
  }
  // Whether the notice showed, and how often the worker said it ended.
  std::pair<bool, int> seen() {
    std::lock_guard lock(mutex_);
    return {noticeShown_, endings_};
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool noticeShown_ = false;
  bool answered_ = false;
  int endings_ = 0;
};

TEST(ScanStress, CancelOrCloseAtAnyMomentEndsTheWorkerOnceAndKeepsTheResultsConsistent) {
  const testing::TempDir dir;
  std::vector<std::filesystem::path> paths;
  for (int f = 0; f < 4; ++f) {
    std::string text;
    // Appended piece by piece: g++ 12 at -O3 reports a false overlap (-Wrestrict)
    // for `"w" + std::to_string(...)`.
    for (int w = 0; w < 24; ++w) {
      text.append("w").append(std::to_string((w * (f + 3)) % 11)).append(" ");
    }
    paths.push_back(dir.write(std::string("f").append(std::to_string(f)).append(".txt"), text));
  }
  // Groups of 7 words: 4 groups per file, 16 comparisons per file pair, 96 in all.
  constexpr std::size_t kComparisons = 96;
  std::minstd_rand random(20261207);
  enum Stop { kCancel, kClose, kAnswerThenWait };
  // How many cancels landed before the first comparison, among them, and after the last.
  int early = 0, amid = 0, late = 0;

  for (int round = 0; round < 1000; ++round) {
    WindowLikeTarget target;
    auto engine = std::make_unique<CompareEngine>();
    engine->comparisonPause = std::chrono::milliseconds(0);
    engine->groupSize = 8;
    engine->comparisonThreads = 1 + round % 2;
    engine->running = true;
    ASSERT_TRUE(engine->startScan(&target, paths));
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));

    const auto stop = static_cast<Stop>(round % 3);
    if (stop == kAnswerThenWait) {
      target.waitForNoticeOrEnd();
      target.answer();
      engine->waitForWorker();
      EXPECT_FALSE(engine->running);
    } else {
      // A cancel or a close stops the worker and answers a notice that is open.
      engine->running = false;
      target.answer();
      if (stop == kClose) {
        engine.reset();
      } else {
        engine->waitForWorker();
      }
    }
    const auto [noticeShown, endings] = target.seen();
    ASSERT_EQ(endings, 1) << "round " << round;
    if (!engine) continue;

    // Results are numbered without gaps, complete exactly when the notice showed.
    const auto& results = engine->pairResults;
    ASSERT_LE(results.size(), kComparisons);
    if (!results.empty()) {
      ASSERT_EQ(results.rbegin()->first + 1u, results.size());
    }
    if (noticeShown || stop == kAnswerThenWait) {
      ASSERT_EQ(results.size(), kComparisons) << "round " << round;
    }
    if (stop == kCancel) {
      ++(results.empty() ? early : results.size() < kComparisons ? amid : late);
    }
  }
  std::printf("cancels: %d before comparing, %d while comparing, %d after\n", early, amid, late);
}

}  // namespace
}  // namespace orvalis
