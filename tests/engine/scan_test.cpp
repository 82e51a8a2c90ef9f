#include "engine/scan.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/memory.h"
#include "engine/text.h"
#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

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
    switch (id) {
      case WM_SCAN_STARTED:
        messages += "S" + std::to_string(lParam);
        break;
      case WM_SCAN_SET_RANGE:
        messages += "R" + std::to_string(lParam);
        break;
      case WM_SCAN_SET_POS:
        messages += "P" + std::to_string(lParam);
        break;
      case WM_SCAN_PROGRESS:
        messages += "G" + std::to_string(wParam) + "/" + std::to_string(lParam);
        break;
      default:
        messages += "?";
    }
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

std::string numberedWords(int count, const std::string& prefix = "w") {
  std::string text;
  for (int i = 0; i < count; ++i) text += (i ? " " : "") + prefix + std::to_string(i);
  return text;
}

class ScanTest : public ::testing::Test {
 protected:
  ScanTest() { engine.comparisonPause = std::chrono::milliseconds(0); }

  // Runs a whole scan on the worker thread and waits for its end.
  void scan(std::vector<std::filesystem::path> paths, RecordingTarget* to = nullptr) {
    engine.running = true;
    ASSERT_TRUE(engine.startScan(to ? to : &target, std::move(paths)));
    engine.waitForWorker();
  }

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

  testing::TempDir dir;
  RecordingTarget target;
  CompareEngine engine;
};

TEST_F(ScanTest, ComparesEveryGroupPairOfEveryFilePairInOrder) {
  struct Case {
    std::vector<std::string> texts;
    std::string messages;
    std::string filePairs;  // of the results, in key order
  };
  const std::vector<Case> cases = {
      {{}, "S0 P0", ""},
      {{"a b"}, "S0 P0", ""},
      {{"one two", "two three", "three four"},
       "S3 R1 P0 P1 G1/3 R1 P0 P1 G2/3 R1 P0 P1 G3/3 P0",
       "1-0 2-0 2-1"},
      {{"one two", " \n ", "two three"},  // a file without words
       "S3 R0 P0 G1/3 R1 P0 P1 G2/3 R0 P0 G3/3 P0",
       "2-0"},
      {{numberedWords(5), numberedWords(2000)}, "S1 R3 P0 P1 P2 P3 G1/1 P0", "1-0 1-0 1-0"}};
  for (const Case& c : cases) {
    std::vector<std::filesystem::path> paths;
    for (const auto& text : c.texts) {
      paths.push_back(dir.write(numberedName(paths.size()), text));
    }
    RecordingTarget recorder;
    scan(paths, &recorder);
    EXPECT_EQ(recorder.messages, c.messages);
    EXPECT_EQ(filePairsOfResults(), c.filePairs);
    EXPECT_EQ(recorder.notices, std::vector<std::string>{"Finished!"});
    EXPECT_FALSE(engine.running);
    EXPECT_EQ(engine.fileTable.size(), paths.size());
    EXPECT_EQ(engine.workspace.capacity(), 0u);  // released at the end
  }
  // The 2000-word file's three groups each met the short file's one group.
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(engine.pairResults.at(k).groupA, engine.fileTable.at(1)->groups.at(k).get());
  }
}

TEST_F(ScanTest, UnreadableFilesAreNamedAndCompareAsFilesWithoutWords) {
  const auto folder = dir.path() / "two" / "essay.final.txt";
  std::filesystem::create_directories(folder);
  scan({dir.write("one/essay.final.txt", "one two"), folder, dir.write("README", "two three")});
  EXPECT_EQ(target.messages, "S3 R0 P0 G1/3 R1 P0 P1 G2/3 R0 P0 G3/3 P0");
  ASSERT_EQ(target.unreadable.size(), 1u);
  ASSERT_EQ(target.unreadable[0].size(), 1u);
  EXPECT_EQ(target.unreadable[0][0].index, 1);
  EXPECT_EQ(target.unreadable[0][0].path, folder);
  EXPECT_EQ(target.notices, std::vector<std::string>{"Finished!"});
  EXPECT_EQ(target.endings, 1);
  EXPECT_EQ(target.messagesAtEnd, target.messages);
  // Each file is named by its path's last component.
  EXPECT_EQ(engine.fileTable.at(0)->displayName, "essay.final.txt");
  EXPECT_EQ(engine.fileTable.at(1)->displayName, "essay.final.txt");
  EXPECT_EQ(engine.fileTable.at(2)->displayName, "README");
}

// The words that a result's stretch selects in a file's text are exactly the
// words of its consensus string.
void expectSpanSelectsConsensusWords(const std::string& text, std::int32_t start, std::int32_t end,
                                     const std::string& consensus) {
  ASSERT_TRUE(0 <= start && start <= end && static_cast<std::size_t>(end) <= text.size());
  std::vector<std::string> selected;
  for (const auto& word : splitWords(text.substr(start, end - start)))
    selected.push_back(word.text);
  std::vector<std::string> aligned;
  std::istringstream items(consensus);
  for (std::string item; items >> item;) {
    if (item != "*") aligned.push_back(item);
  }
  if (aligned.empty()) {
    EXPECT_EQ(selected.size(), 1u);  // nothing matched: the group's first word
  } else {
    EXPECT_EQ(selected, aligned);
    EXPECT_NE(text[start], ' ');
  }
}

TEST_F(ScanTest, OffsetsSelectTheMatchedWordsWhateverTheSeparators) {
  // Blank lines first, runs of separators everywhere, CR LF line breaks: group
  // starts differ from the sums of earlier group lengths.
  std::string a = "\r\n\r\n   ";
  std::string b = "intro words here\n\n\n";
  for (int i = 0; i < 60; ++i) {
    const std::string word = std::string("w").append(std::to_string(i % 23));
    a += word + (i % 7 == 6 ? " \r\n\r\n  " : "  ");
    b += word + (i % 5 == 4 ? "\n \n" : " ");
  }
  engine.groupSize = 9;
  scan({dir.write("a.txt", a), dir.write("b.txt", b)});
  ASSERT_GT(engine.pairResults.size(), 20u);
  for (const auto& [number, r] : engine.pairResults) {
    SCOPED_TRACE("comparison " + std::to_string(number));
    expectSpanSelectsConsensusWords(applyTextMode(b), r.startA, r.endA, r.consensusA);
    expectSpanSelectsConsensusWords(applyTextMode(a), r.startB, r.endB, r.consensusB);
  }
}

TEST_F(ScanTest, CancelAfterAComparisonKeepsExactlyTheResultsSoFar) {
  std::vector<std::filesystem::path> paths;
  for (int i = 0; i < 4; ++i) {
    paths.push_back(dir.write(numberedName(i), numberedWords(30)));
  }
  engine.groupSize = 11;  // three groups a file: nine comparisons a file pair
  for (const int cancelAfter : {1, 9, 10, 40}) {
    SCOPED_TRACE("cancel after " + std::to_string(cancelAfter));
    RecordingTarget cancelling;
    cancelling.onComparison = [&](int done) {
      if (done == cancelAfter) engine.running = false;
    };
    scan(paths, &cancelling);
    EXPECT_EQ(engine.pairResults.size(), static_cast<std::size_t>(cancelAfter));
    EXPECT_EQ(engine.pairResults.rbegin()->first, cancelAfter - 1);
    const std::string lastPosition =
        std::string("P").append(std::to_string((cancelAfter - 1) % 9 + 1));
    EXPECT_TRUE(cancelling.messages.ends_with(" " + lastPosition)) << cancelling.messages;
    EXPECT_TRUE(cancelling.notices.empty());
    EXPECT_FALSE(engine.running);
    for (const auto& [index, entry] : engine.fileTable) EXPECT_EQ(entry->groups.size(), 3u);
  }
}

TEST_F(ScanTest, CancelWhileLoadingLoadsEverythingAndPostsNothing) {
  engine.notifyWindow = &target;
  for (int i = 0; i < 3; ++i) {
    auto entry = std::make_unique<FileEntry>();
    entry->path = dir.write(numberedName(i), numberedWords(5));
    entry->index = i;
    engine.fileTable.emplace(i, std::move(entry));
  }
  engine.running = false;
  EXPECT_EQ(scanWorker(engine), 0);
  EXPECT_EQ(target.messages, "");
  EXPECT_TRUE(target.notices.empty());
  EXPECT_TRUE(engine.pairResults.empty());
  for (const auto& [index, entry] : engine.fileTable) EXPECT_EQ(entry->groups.size(), 1u);

  engine.running = true;
  engine.clearScan();
  EXPECT_EQ(scanWorker(engine), 1);  // a complete scan ends with 1
}

TEST_F(ScanTest, SecondScanDiscardsTheFirstEvenWhenCancelledAtOnce) {
  scan({dir.write("a.txt", "one two"), dir.write("b.txt", "one two")});
  ASSERT_EQ(engine.pairResults.size(), 1u);
  RecordingTarget second;
  second.onComparison = [&](int) { engine.running = false; };
  scan({dir.write("c.txt", "x"), dir.write("d.txt", "y"), dir.write("e.txt", "z")}, &second);
  EXPECT_EQ(engine.fileTable.size(), 3u);
  EXPECT_EQ(engine.fileTable.at(0)->displayName, "c.txt");
  ASSERT_EQ(engine.pairResults.size(), 1u);  // the comparison under way is finished
  EXPECT_EQ(engine.pairResults.at(0).groupA->file->displayName, "d.txt");
  // A cancelled worker says it ended too, after its last message.
  EXPECT_EQ(second.endings, 1);
  EXPECT_EQ(second.messagesAtEnd, second.messages);
}

// Several threads compute the same comparisons: results and messages are the
// same as with one.
TEST_F(ScanTest, ParallelComparisonsGiveIdenticalResultsAndMessages) {
  std::vector<std::filesystem::path> paths;
  std::mt19937 random(7);
  for (int i = 0; i < 5; ++i) {
    std::string text;
    for (int w = 0; w < 80 + i * 13; ++w)
      text.append("v").append(std::to_string(random() % 9)).append(" ");
    paths.push_back(dir.write(numberedName(i), text));
  }
  paths.push_back(dir.write("empty.txt", ""));
  const auto run = [&](int threads) {
    engine.groupSize = 25;
    engine.comparisonThreads = threads;
    RecordingTarget recorder;
    scan(paths, &recorder);
    std::ostringstream trace;
    trace << recorder.messages << '\n';
    for (const auto& [number, r] : engine.pairResults) {
      trace << number << ' ' << r.groupA->file->index << ' ' << r.groupB->file->index << ' '
            << r.startA << ' ' << r.endA << ' ' << r.startB << ' ' << r.endB << ' ' << r.score
            << ' ' << r.consensusA << '|' << r.consensusB << '\n';
    }
    return trace.str();
  };
  const std::string single = run(1);
  ASSERT_GT(engine.pairResults.size(), 40u);
  for (const int threads : {2, 4, 7}) EXPECT_EQ(run(threads), single) << threads << " threads";
}

// Scans cancelled at random moments from outside, on one or several threads:
// every result kept was reported, and each reported comparison was kept.
TEST_F(ScanTest, CancelAtRandomMomentsLeavesAConsistentScan) {
  std::vector<std::filesystem::path> paths;
  for (int i = 0; i < 6; ++i) {
    paths.push_back(dir.write(numberedName(i), numberedWords(60, "x")));
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
    EXPECT_EQ(engine.pairResults.size(), static_cast<std::size_t>(recorder.comparisonsReported));
    if (!engine.pairResults.empty()) {
      EXPECT_EQ(engine.pairResults.rbegin()->first + 1,
                static_cast<std::int32_t>(engine.pairResults.size()));
    }
  }
}

// A scan whose comparisons would not fit in its memory ends before it compares
// anything, with a message that says what it needs; given room, it compares.
TEST_F(ScanTest, ComparisonsThatWouldNotFitInMemoryAreRefusedBeforeTheyStart) {
  // Groups of one word: 40,000 comparisons a file pair, some 40 MiB in all.
  engine.groupSize = 2;
  engine.memoryLimit = 4 << 20;
  const std::vector<std::filesystem::path> paths = {dir.write("a.txt", numberedWords(200, "a")),
                                                    dir.write("b.txt", numberedWords(200, "b")),
                                                    dir.write("c.txt", numberedWords(200, "c"))};
  scan(paths);
  EXPECT_EQ(target.messages, "");
  ASSERT_EQ(target.notices.size(), 1u);
  const std::string& notice = target.notices[0];
  EXPECT_TRUE(notice.starts_with("Error! Not enough memory to complete the scan: it needs about "))
      << notice;
  EXPECT_TRUE(notice.ends_with(" MiB in all, and the memory limit is 4 MiB.")) << notice;
  EXPECT_TRUE(target.unreadable.empty());  // the files themselves fitted
  EXPECT_TRUE(engine.pairResults.empty());
  EXPECT_FALSE(engine.running);
  EXPECT_EQ(target.endings, 1);

  engine.memoryLimit = 64 << 20;
  RecordingTarget roomy;
  scan(paths, &roomy);
  EXPECT_EQ(roomy.notices, std::vector<std::string>{"Finished!"});
  EXPECT_EQ(engine.pairResults.size(), 3u * 200 * 200);
}

// A file whose text, or whose words, would not fit is named with the reason and
// counts as a file without words; the others are compared.
TEST_F(ScanTest, FilesThatWouldNotFitInMemoryAreSkippedAndTheScanGoesOn) {
  engine.memoryLimit = 64 << 10;
  std::string letters;  // 30 KB, but 15,000 words
  for (int i = 0; i < 15000; ++i) letters += "a ";
  const auto large = dir.write("large.txt", std::string(100000, 'x'));
  const auto wordy = dir.write("wordy.txt", letters);
  scan({dir.write("a.txt", "one two three"), large, wordy, dir.write("b.txt", "one two three")});
  ASSERT_EQ(target.unreadable.size(), 1u);
  ASSERT_EQ(target.unreadable[0].size(), 2u);
  EXPECT_EQ(target.unreadable[0][0].path, large);
  EXPECT_EQ(target.unreadable[0][1].path, wordy);
  for (const UnreadableFile& file : target.unreadable[0]) {
    EXPECT_TRUE(file.reason.starts_with("not enough memory to read it: the scan would need about "))
        << file.reason;
    EXPECT_TRUE(file.reason.ends_with(", and the memory limit is 64 KiB")) << file.reason;
    EXPECT_TRUE(engine.fileTable.at(file.index)->groups.empty());
  }
  EXPECT_EQ(target.notices, std::vector<std::string>{"Finished!"});
  EXPECT_EQ(filePairsOfResults(), "3-0");
  EXPECT_EQ(engine.pairResults.at(0).score, 3.0f);
}

TEST(ScanMemory, RefusalNamesWhatTheComparisonsNeedAndWhatThereIs) {
  ComparisonCounts counts{.comparisons = 1000000,
                          .filePairs = 45,
                          .groups = 100,
                          .words = 100000,
                          .longestGroup = 999,
                          .threads = 2};
  const std::uint64_t needed = comparisonMemory(counts);
  // Each comparison keeps a result at least.
  EXPECT_GT(needed, counts.comparisons * sizeof(PairResult));
  EXPECT_EQ(comparisonRefusal(counts, MemoryBudget(needed, std::nullopt)), "");
  EXPECT_EQ(comparisonRefusal(counts, MemoryBudget(needed - 1, std::nullopt)),
            "Error! Not enough memory to complete the scan: it needs about " +
                memorySizeText(needed) + " in all, and the memory limit is " +
                memorySizeText(needed - 1) + ".");
  EXPECT_EQ(comparisonRefusal(counts, MemoryBudget(0, 100 << 20)),
            "Error! Not enough memory to complete the scan: it needs about " +
                memorySizeText(needed) + " in all, and 100 MiB is available.");
  // Each thread brings a work space of its own.
  ComparisonCounts more = counts;
  more.threads = 8;
  EXPECT_GT(comparisonMemory(more), needed);

  // Comparison numbers are 32-bit, whatever memory there is.
  counts.comparisons = 2147483647;
  counts.words = 0;
  EXPECT_EQ(comparisonRefusal(counts, MemoryBudget(0, std::nullopt)), "");
  ++counts.comparisons;
  EXPECT_EQ(comparisonRefusal(counts, MemoryBudget(0, std::nullopt)), kTooManyComparisonsMessage);
}

}  // namespace
}  // namespace orvalis
