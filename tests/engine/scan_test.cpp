#include "engine/scan.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/encoding.h"
#include "engine/text.h"
#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

struct Message {
  std::uint32_t id;
  std::int64_t wParam;
  std::int64_t lParam;
  bool operator==(const Message&) const = default;
};

void PrintTo(const Message& m, std::ostream* os) {
  *os << "{0x" << std::hex << m.id << std::dec << ", " << m.wParam << ", " << m.lParam << "}";
}

Message started(std::int64_t pairs) {
  return {WM_SCAN_STARTED, 0, pairs};
}
Message range(std::int64_t comparisons) {
  return {WM_SCAN_SET_RANGE, 0, comparisons};
}
Message pos(std::int64_t done) {
  return {WM_SCAN_SET_POS, 0, done};
}
Message progress(std::int64_t done, std::int64_t total) {
  return {WM_SCAN_PROGRESS, done, total};
}

// Records everything the worker reports. `onPost` runs on the worker thread
// after each message is recorded.
class RecordingTarget : public ScanTarget {
 public:
  void post(std::uint32_t id, std::int64_t wParam, std::int64_t lParam) override {
    {
      std::lock_guard lock(mutex_);
      messages_.push_back({id, wParam, lParam});
    }
    if (onPost) onPost(Message{id, wParam, lParam});
  }
  void filesUnreadable(const std::vector<UnreadableFile>& files) override {
    std::lock_guard lock(mutex_);
    unreadable_.push_back(files);
  }
  void scanFailed(const std::string& message) override {
    std::lock_guard lock(mutex_);
    failures_.push_back(message);
  }
  void showNotice(const std::string& text) override {
    std::lock_guard lock(mutex_);
    notices_.push_back(text);
  }

  std::vector<Message> messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::vector<std::string> notices() const {
    std::lock_guard lock(mutex_);
    return notices_;
  }
  std::vector<std::vector<UnreadableFile>> unreadable() const {
    std::lock_guard lock(mutex_);
    return unreadable_;
  }
  std::vector<std::string> failures() const {
    std::lock_guard lock(mutex_);
    return failures_;
  }

  std::function<void(const Message&)> onPost;

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
  std::vector<std::string> notices_;
  std::vector<std::vector<UnreadableFile>> unreadable_;
  std::vector<std::string> failures_;
};

std::string numberedWords(int count, const std::string& prefix = "w") {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += (i ? " " : "") + prefix + std::to_string(i);
  return text;
}

class ScanTest : public ::testing::Test {
 protected:
  ScanTest() { engine.comparisonPause = std::chrono::milliseconds(0); }

  // Runs a whole scan on the worker thread and waits for its end.
  void scan(std::vector<std::filesystem::path> paths) {
    engine.running = true;
    ASSERT_TRUE(engine.startScan(&target, std::move(paths)));
    engine.waitForWorker();
  }

  std::vector<std::pair<int, int>> filePairsOfResults() const {
    std::vector<std::pair<int, int>> pairs;
    for (const auto& [number, result] : engine.pairResults) {
      pairs.emplace_back(result.groupA->file->index, result.groupB->file->index);
    }
    return pairs;
  }

  testing::TempDir dir;
  RecordingTarget target;
  CompareEngine engine;
};

TEST_F(ScanTest, NoFileOrOneFileStartsFinishesAndComparesNothing) {
  for (const auto& paths : {std::vector<std::filesystem::path>{},
                            std::vector<std::filesystem::path>{dir.write("a.txt", "a b")}}) {
    RecordingTarget fresh;
    engine.running = true;
    ASSERT_TRUE(engine.startScan(&fresh, paths));
    engine.waitForWorker();
    EXPECT_EQ(fresh.messages(), (std::vector<Message>{started(0), pos(0)}));
    EXPECT_EQ(fresh.notices(), (std::vector<std::string>{"Finished!"}));
    EXPECT_FALSE(engine.running);
    EXPECT_TRUE(engine.pairResults.empty());
    EXPECT_EQ(engine.fileTable.size(), paths.size());
  }
}

TEST_F(ScanTest, ThreeFilesComparePairsInOrderWithTheHigherIndexFirst) {
  scan({dir.write("a.txt", "one two"), dir.write("b.txt", "two three"),
        dir.write("c.txt", "three four")});
  EXPECT_EQ(filePairsOfResults(), (std::vector<std::pair<int, int>>{{1, 0}, {2, 0}, {2, 1}}));
  EXPECT_EQ(target.messages(),
            (std::vector<Message>{started(3), range(1), pos(0), pos(1), progress(1, 3), range(1),
                                  pos(0), pos(1), progress(2, 3), range(1), pos(0), pos(1),
                                  progress(3, 3), pos(0)}));
  EXPECT_EQ(target.notices(), (std::vector<std::string>{"Finished!"}));
  EXPECT_TRUE(target.unreadable().empty());
  EXPECT_FALSE(engine.running);
  EXPECT_EQ(engine.workspace.capacity(), 0u);  // released at the end
}

TEST_F(ScanTest, EveryGroupOfOneFileMeetsEveryGroupOfTheOther) {
  scan({dir.write("long.txt", numberedWords(2000)), dir.write("short.txt", numberedWords(5))});
  EXPECT_EQ(target.messages(), (std::vector<Message>{started(1), range(3), pos(0), pos(1), pos(2),
                                                     pos(3), progress(1, 1), pos(0)}));
  ASSERT_EQ(engine.pairResults.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    const PairResult& r = engine.pairResults.at(k);
    EXPECT_EQ(r.groupA, engine.fileTable.at(1)->groups.at(0).get());
    EXPECT_EQ(r.groupB, engine.fileTable.at(0)->groups.at(k).get());
  }
}

TEST_F(ScanTest, FileWithoutWordsTakesPartInNoComparisonButItsPairsCount) {
  scan({dir.write("a.txt", "one two"), dir.write("empty.txt", " \n "),
        dir.write("c.txt", "two three")});
  EXPECT_EQ(target.messages(), (std::vector<Message>{started(3), range(0), pos(0), progress(1, 3),
                                                     range(1), pos(0), pos(1), progress(2, 3),
                                                     range(0), pos(0), progress(3, 3), pos(0)}));
  EXPECT_EQ(filePairsOfResults(), (std::vector<std::pair<int, int>>{{2, 0}}));
}

TEST_F(ScanTest, UnreadableFilesAreNamedAndTheScanGoesOn) {
  const auto folder = dir.path() / "folder.txt";
  std::filesystem::create_directory(folder);
  const auto missing = dir.path() / "missing.txt";
  scan({dir.write("a.txt", "one two"), folder, missing, dir.write("d.txt", "one two")});
  const auto reports = target.unreadable();
  ASSERT_EQ(reports.size(), 1u);
  ASSERT_EQ(reports[0].size(), 2u);
  EXPECT_EQ(reports[0][0].index, 1);
  EXPECT_EQ(reports[0][0].path, folder);
  EXPECT_EQ(reports[0][1].index, 2);
  EXPECT_EQ(reports[0][1].path, missing);
  EXPECT_FALSE(reports[0][1].reason.empty());
  EXPECT_EQ(filePairsOfResults(), (std::vector<std::pair<int, int>>{{3, 0}}));
  EXPECT_EQ(target.messages().back(), pos(0));
  EXPECT_EQ(target.notices(), (std::vector<std::string>{"Finished!"}));
}

// The words that a result's stretch selects in the file's text are exactly the
// words of its consensus string.
void expectSpanSelectsConsensusWords(const std::string& text, std::int32_t start, std::int32_t end,
                                     const std::string& consensus) {
  ASSERT_LE(0, start);
  ASSERT_LE(start, end);
  ASSERT_LE(static_cast<std::size_t>(end), text.size());
  std::vector<std::string> selected;
  for (const auto& word : splitWords(text.substr(start, end - start)))
    selected.push_back(word.text);
  std::vector<std::string> aligned;
  std::istringstream items(consensus);
  for (std::string item; items >> item;) {
    if (item != "*") aligned.push_back(item);
  }
  if (aligned.empty()) {
    EXPECT_EQ(selected.size(), 1u);  // nothing matched: the first word of the group
  } else {
    EXPECT_EQ(selected, aligned);
    EXPECT_NE(text[start], ' ');
    EXPECT_NE(text[end - 1], ' ');
  }
}

TEST_F(ScanTest, OffsetsSelectTheMatchedWordsWhateverTheSeparators) {
  // Blank lines first, runs of separators everywhere, CR LF line breaks: the
  // second file's groups must not start where a sum of group lengths would say.
  std::string a = "\r\n\r\n   ";
  std::string b = "intro words here\n\n\n";
  for (int i = 0; i < 60; ++i) {
    const std::string word = "w" + std::to_string(i % 23);
    a += word + (i % 7 == 6 ? " \r\n\r\n  " : "  ");
    b += word + (i % 5 == 4 ? "\n \n" : " ");
  }
  engine.groupSize = 9;
  scan({dir.write("a.txt", a), dir.write("b.txt", b)});
  ASSERT_GT(engine.pairResults.size(), 20u);
  const std::string textA = applyTextMode(a);
  const std::string textB = applyTextMode(b);
  for (const auto& [number, r] : engine.pairResults) {
    SCOPED_TRACE("comparison " + std::to_string(number));
    // The file with the higher index is the first of every result.
    expectSpanSelectsConsensusWords(textB, r.startA, r.endA, r.consensusA);
    expectSpanSelectsConsensusWords(textA, r.startB, r.endB, r.consensusB);
  }
}

TEST_F(ScanTest, CancelAfterAComparisonKeepsExactlyTheResultsSoFar) {
  std::vector<std::filesystem::path> paths;
  for (int i = 0; i < 4; ++i) {
    paths.push_back(dir.write("f" + std::to_string(i) + ".txt", numberedWords(30)));
  }
  engine.groupSize = 11;  // three groups a file: nine comparisons a file pair
  for (const int cancelAfter : {1, 9, 10, 40}) {
    RecordingTarget cancelling;
    int comparisons = 0;
    cancelling.onPost = [&](const Message& m) {
      if (m.id == WM_SCAN_SET_POS && m.lParam > 0 && ++comparisons == cancelAfter) {
        engine.running = false;
      }
    };
    engine.running = true;
    ASSERT_TRUE(engine.startScan(&cancelling, paths));
    engine.waitForWorker();
    const auto messages = cancelling.messages();
    SCOPED_TRACE("cancel after " + std::to_string(cancelAfter));
    EXPECT_EQ(engine.pairResults.size(), static_cast<std::size_t>(cancelAfter));
    EXPECT_EQ(engine.pairResults.rbegin()->first, cancelAfter - 1);
    EXPECT_EQ(messages.back(), pos((cancelAfter - 1) % 9 + 1));
    EXPECT_TRUE(cancelling.notices().empty());
    EXPECT_FALSE(engine.running);
    for (const auto& [index, entry] : engine.fileTable)
      EXPECT_EQ(entry->groups.size(), 3u);
  }
}

TEST_F(ScanTest, CancelWhileLoadingLoadsEverythingAndPostsNothing) {
  engine.notifyWindow = &target;
  for (int i = 0; i < 3; ++i) {
    auto entry = std::make_unique<FileEntry>();
    entry->path = dir.write("f" + std::to_string(i) + ".txt", numberedWords(5));
    entry->index = i;
    engine.fileTable.emplace(i, std::move(entry));
  }
  engine.running = false;
  EXPECT_EQ(scanWorker(engine), 0);
  EXPECT_TRUE(target.messages().empty());
  EXPECT_TRUE(target.notices().empty());
  EXPECT_TRUE(engine.pairResults.empty());
  for (const auto& [index, entry] : engine.fileTable)
    EXPECT_EQ(entry->groups.size(), 1u);
  EXPECT_EQ(engine.workspace.capacity(), 0u);

  engine.running = true;
  engine.clearScan();
  EXPECT_EQ(scanWorker(engine), 1);  // a complete scan ends with 1
}

TEST_F(ScanTest, SecondScanDiscardsTheFirstEvenWhenCancelledAtOnce) {
  scan({dir.write("a.txt", "one two"), dir.write("b.txt", "one two")});
  ASSERT_EQ(engine.pairResults.size(), 1u);

  RecordingTarget second;
  second.onPost = [&](const Message&) { engine.running = false; };
  engine.running = true;
  ASSERT_TRUE(engine.startScan(
      &second, {dir.write("c.txt", "x"), dir.write("d.txt", "y"), dir.write("e.txt", "z")}));
  engine.waitForWorker();
  EXPECT_EQ(engine.fileTable.size(), 3u);
  EXPECT_EQ(engine.fileTable.at(0)->displayName, "c.txt");
  EXPECT_EQ(engine.pairResults.size(), 1u);  // the comparison under way is finished
  EXPECT_EQ(engine.pairResults.at(0).groupA->file->displayName, "d.txt");
}

// Several threads compute the same comparisons: results and messages are the
// same as with one.
TEST_F(ScanTest, ParallelComparisonsGiveIdenticalResultsAndMessages) {
  std::vector<std::filesystem::path> paths;
  std::mt19937 random(7);
  for (int i = 0; i < 5; ++i) {
    std::string text;
    for (int w = 0; w < 80 + i * 13; ++w)
      text += "v" + std::to_string(random() % 9) + " ";
    paths.push_back(dir.write("f" + std::to_string(i) + ".txt", text));
  }
  paths.push_back(dir.write("empty.txt", ""));
  engine.groupSize = 25;

  const auto run = [&](int threads) {
    CompareEngine parallel;
    parallel.comparisonPause = std::chrono::milliseconds(0);
    parallel.groupSize = engine.groupSize;
    parallel.comparisonThreads = threads;
    RecordingTarget recorder;
    parallel.running = true;
    EXPECT_TRUE(parallel.startScan(&recorder, paths));
    parallel.waitForWorker();
    std::vector<std::string> results;
    for (const auto& [number, r] : parallel.pairResults) {
      std::ostringstream line;
      line << number << ' ' << r.groupA->file->index << ' ' << r.groupB->file->index << ' '
           << r.startA << ' ' << r.endA << ' ' << r.startB << ' ' << r.endB << ' ' << r.score << ' '
           << r.consensusA << '|' << r.consensusB;
      results.push_back(line.str());
    }
    return std::make_pair(results, recorder.messages());
  };
  const auto single = run(1);
  ASSERT_GT(single.first.size(), 40u);
  for (const int threads : {2, 4, 7}) {
    const auto several = run(threads);
    EXPECT_EQ(several.first, single.first) << threads << " threads";
    EXPECT_EQ(several.second, single.second) << threads << " threads";
  }
}

// Scans cancelled at random moments from outside, on one or several threads:
// every result kept was reported, and each reported comparison was kept.
TEST_F(ScanTest, CancelAtRandomMomentsLeavesAConsistentScan) {
  std::vector<std::filesystem::path> paths;
  for (int i = 0; i < 6; ++i) {
    paths.push_back(dir.write("f" + std::to_string(i) + ".txt", numberedWords(60, "x")));
  }
  engine.groupSize = 16;
  std::mt19937 random(42);
  for (int round = 0; round < 40; ++round) {
    RecordingTarget recorder;
    engine.comparisonThreads = 1 + round % 3;
    engine.running = true;
    ASSERT_TRUE(engine.startScan(&recorder, paths));
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    engine.running = false;
    engine.waitForWorker();
    std::size_t reported = 0;
    for (const auto& m : recorder.messages())
      reported += (m.id == WM_SCAN_SET_POS && m.lParam > 0);
    EXPECT_EQ(engine.pairResults.size(), reported);
    if (!engine.pairResults.empty()) {
      EXPECT_EQ(engine.pairResults.rbegin()->first + 1,
                static_cast<std::int32_t>(engine.pairResults.size()));
    }
  }
}

}  // namespace
}  // namespace orvalis
