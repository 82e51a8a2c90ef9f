#include "engine/scan.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/memory.h"
#include "engine/text.h"
#include "tests/support/scan_fixture.h"

namespace orvalis {
namespace {

using testing::numberedWords;

// "f<n>.txt", built by appending: g++ 12 at -O3 reports a false overlap
// (-Wrestrict) for `"f" + std::to_string(n)` in some callers.
std::string numberedName(std::size_t n) {
  return std::string("f").append(std::to_string(n)).append(".txt");
}

// Records everything the worker reports; tests read it after the worker has
// ended. Messages are written as S<pairs> (started), R<comparisons> (range),
// P<done> (position) and G<done>/<total> (file pairs done).
struct RecordingTarget : ScanTarget {
  void post(std::uint32_t id, std::int64_t wParam, std::int64_t lParam) override {
    if (!messages.empty()) messages += ' ';
    const char* const kinds[] = {"S", "R", "P", "G"};
    const std::uint32_t ids[] = {WM_SCAN_STARTED, WM_SCAN_SET_RANGE, WM_SCAN_SET_POS,
                                 WM_SCAN_PROGRESS};
    for (int i = 0; i < 4; ++i) {
      if (id == ids[i]) messages += kinds[i];
    }
    if (id == WM_SCAN_PROGRESS) messages += std::to_string(wParam) + "/";
    messages += std::to_string(lParam);
    if (id == WM_SCAN_SET_POS && lParam > 0) ++comparisonsReported;
    if (onComparison && id == WM_SCAN_SET_POS && lParam > 0) onComparison(comparisonsReported);
  }
  void filesUnreadable(const std::vector<UnreadableFile>& files) override {
    unreadable.push_back(files);
  }
  void scanFailed(const std::string& message) override { notices.push_back(message); }
  void showNotice(const std::string& text) override { notices.push_back(text); }
  void workerEnded() override {
    ++endings;
    messagesAtEnd = messages;
  }

  std::function<void(int)> onComparison;  // runs on the worker thread
  int comparisonsReported = 0;
  std::string messages;
  std::vector<std::string> notices;
  std::vector<std::vector<UnreadableFile>> unreadable;
  int endings = 0;
  std::string messagesAtEnd;  // what had been posted when the worker said it ended
};

class ScanTest : public ::testing::Test, protected testing::ScanFixture {
 protected:
  // "A-B" for each result: the file indexes of its two groups.
  std::string filePairsOfResults() const {
    std::string pairs;
    for (const auto& [number, r] : engine.pairResults) {
      if (!pairs.empty()) pairs += ' ';
      pairs.append(std::to_string(r.groupA->file->index))
          .append("-")
          .append(std::to_string(r.groupB->file->index));
    }
    return pairs;
  }

  std::vector<std::filesystem::path> numberedFiles(int files, const std::string& text) {
    std::vector<std::filesystem::path> written;
    for (int i = 0; i < files; ++i) written.push_back(dir.write(numberedName(i), text));
    return written;
  }

  RecordingTarget target;
};

TEST_F(ScanTest, ComparesEveryGroupPairOfEveryFilePairInOrder) {
  struct Case {
    std::vector<std::string> texts;
    std::string messages;
    std::string filePairs;  // of the results, in key order
  };
  const std::vector<Case> cases = {
      {{"a b"}, "S0 P0", ""},
      {{"one two", "two three", "three four"},
       "S3 R1 P0 P1 G1/3 R1 P0 P1 G2/3 R1 P0 P1 G3/3 P0",
       "1-0 2-0 2-1"},
      {{"one two", " \n ", "two three"},  // a file without words
       "S3 R0 P0 G1/3 R1 P0 P1 G2/3 R0 P0 G3/3 P0",
       "2-0"},
      {{numberedWords(5), numberedWords(2000)}, "S1 R3 P0 P1 P2 P3 G1/1 P0", "1-0 1-0 1-0"}};
  for (const Case& c : cases) {
    std::vector<std::filesystem::path> files;
    for (const auto& text : c.texts) files.push_back(dir.write(numberedName(files.size()), text));
    RecordingTarget recorder;
    scan(files, &recorder);
    EXPECT_EQ(recorder.messages, c.messages);
    EXPECT_EQ(filePairsOfResults(), c.filePairs);
    EXPECT_EQ(recorder.notices, std::vector<std::string>{"Finished!"});
    EXPECT_EQ(std::tuple(engine.running.load(), engine.fileTable.size(), recorder.endings),
              std::tuple(false, files.size(), 1));
    EXPECT_EQ(recorder.messagesAtEnd, recorder.messages);
    EXPECT_EQ(engine.workspace.capacity(), 0u);  // released at the end
  }
  // The 2000-word file's three groups each met the short file's one group.
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(engine.pairResults.at(k).groupA, engine.fileTable.at(1)->groups.at(k).get());
  }
  // A file that cannot be read is named, and compared as a file without words;
  // each file is named by its path's last component.
  const auto folder = dir.path() / "two" / "essay.final.txt";
  std::filesystem::create_directories(folder);
  scan({dir.write("one/essay.final.txt", "one two"), folder, dir.write("README", "two three")},
       &target);
  EXPECT_EQ(target.messages, cases[2].messages);
  ASSERT_EQ(target.unreadable.size(), 1u);
  ASSERT_EQ(target.unreadable[0].size(), 1u);
  EXPECT_EQ(std::pair(target.unreadable[0][0].index, target.unreadable[0][0].path),
            std::pair(1, folder));
  EXPECT_EQ(engine.fileTable.at(1)->displayName, "essay.final.txt");
  EXPECT_EQ(engine.fileTable.at(2)->displayName, "README");
}

TEST_F(ScanTest, CancelAfterAComparisonKeepsExactlyTheResultsSoFar) {
  const auto files = numberedFiles(4, numberedWords(30));
  engine.groupSize = 11;  // three groups a file: nine comparisons a file pair
  for (const int cancelAfter : {1, 10}) {
    SCOPED_TRACE("cancel after " + std::to_string(cancelAfter));
    RecordingTarget cancelling;
    cancelling.onComparison = [&](int done) {
      if (done == cancelAfter) engine.running = false;
    };
    scan(files, &cancelling);
    EXPECT_EQ(engine.pairResults.size(), static_cast<std::size_t>(cancelAfter));
    EXPECT_EQ(engine.pairResults.rbegin()->first, cancelAfter - 1);
    const std::string lastPosition =
        std::string("P").append(std::to_string((cancelAfter - 1) % 9 + 1));
    EXPECT_TRUE(cancelling.messages.ends_with(" " + lastPosition)) << cancelling.messages;
    EXPECT_TRUE(cancelling.notices.empty());
    EXPECT_EQ(std::pair(engine.running.load(), cancelling.endings), std::pair(false, 1));
    for (const auto& [index, entry] : engine.fileTable) EXPECT_EQ(entry->groups.size(), 3u);
  }
  // A cancel while the files load lets them load but posts nothing.
  engine.pairResults.clear();
  for (const auto& [index, entry] : engine.fileTable) entry->groups.clear();
  engine.notifyWindow = &target;
  engine.running = false;
  EXPECT_EQ(scanWorker(engine), 0);
  EXPECT_EQ(target.messages, "");
  EXPECT_TRUE(target.notices.empty());
  EXPECT_TRUE(engine.pairResults.empty());
  for (const auto& [index, entry] : engine.fileTable) EXPECT_EQ(entry->groups.size(), 3u);
  engine.running = true;
  engine.clearScan();
  EXPECT_EQ(scanWorker(engine), 1);  // a complete scan ends with 1
}

TEST_F(ScanTest, SecondScanDiscardsTheFirstEvenWhenCancelledAtOnce) {
  scanFiles({{"a.txt", "one two"}, {"b.txt", "one two"}});
  ASSERT_EQ(engine.pairResults.size(), 1u);
  RecordingTarget second;
  second.onComparison = [&](int) { engine.running = false; };
  scanFiles({{"c.txt", "x"}, {"d.txt", "y"}, {"e.txt", "z"}}, &second);
  EXPECT_EQ(engine.fileTable.size(), 3u);
  EXPECT_EQ(engine.fileTable.at(0)->displayName, "c.txt");
  ASSERT_EQ(engine.pairResults.size(), 1u);  // the comparison under way is finished
  EXPECT_EQ(engine.pairResults.at(0).groupA->file->displayName, "d.txt");
}

// A file whose text, or whose words, would not fit is named with the reason and
// counts as a file without words; the others are compared.
TEST_F(ScanTest, FilesThatWouldNotFitInMemoryAreSkippedAndTheScanGoesOn) {
  engine.memoryLimit = 64 << 10;
  std::string letters;  // 30 KB, but 15,000 words
  for (int i = 0; i < 15000; ++i) letters += "a ";
  scanFiles({{"a.txt", "one two three"},
             {"large.txt", std::string(100000, 'x')},
             {"wordy.txt", letters},
             {"b.txt", "one two three"}},
            &target);
  ASSERT_EQ(target.unreadable.size(), 1u);
  ASSERT_EQ(target.unreadable[0].size(), 2u);
  EXPECT_EQ(target.unreadable[0][0].path, paths[1]);
  EXPECT_EQ(target.unreadable[0][1].path, paths[2]);
  for (const UnreadableFile& file : target.unreadable[0]) {
    EXPECT_TRUE(file.reason.starts_with("not enough memory to read it")) << file.reason;
    EXPECT_TRUE(engine.fileTable.at(file.index)->groups.empty());
  }
  EXPECT_EQ(target.notices, std::vector<std::string>{"Finished!"});
  EXPECT_EQ(filePairsOfResults(), "3-0");
}

TEST(ScanMemory, ComparisonsAreRefusedBeyondTheMemoryTheyNeedAndBeyond32BitNumbers) {
  ComparisonCounts counts{.comparisons = 1000000,
                          .filePairs = 45,
                          .groups = 100,
                          .words = 100000,
                          .longestGroup = 999,
                          .threads = 2};
  const std::uint64_t needed = comparisonMemory(counts);
  EXPECT_GT(needed, counts.comparisons * sizeof(PairResult));  // a result each at least
  EXPECT_EQ(comparisonRefusal(counts, MemoryBudget(needed, std::nullopt)), "");
  EXPECT_NE(comparisonRefusal(counts, MemoryBudget(needed - 1, std::nullopt)), "");
  counts.threads = 8;  // each thread brings a work space of its own
  EXPECT_GT(comparisonMemory(counts), needed);
  counts.comparisons = 2147483647;
  counts.words = 0;
  EXPECT_EQ(comparisonRefusal(counts, MemoryBudget(0, std::nullopt)), "");
  ++counts.comparisons;
  EXPECT_EQ(comparisonRefusal(counts, MemoryBudget(0, std::nullopt)), kTooManyComparisonsMessage);
}

}  // namespace
}  // namespace orvalis
