#include "engine/scan.h"

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "engine/memory.h"
#include "engine/seed_index.h"
#include "engine/text.h"
#include "engine/text_source.h"
#include "tests/support/scan_fixture.h"

namespace orvalis {
namespace {

using testing::numberedWords;

// "f<n>.txt", built by appending: g++ 12 at -O3 reports a false overlap
// (-Wrestrict) for `"f" + std::to_string(n)` in some callers.
std::string numberedName(std::size_t n) {
  return std::string("f").append(std::to_string(n)).append(".txt");
}

// Records what the worker reports, read after its end: S<pairs> (started),
// R<comparisons> (range), P<done> (position), G<done>/<total> (file pairs).
struct RecordingTarget : ScanTarget {
  void post(std::uint32_t id, std::int64_t wParam, std::int64_t lParam) override {
    if (!messages.empty()) messages += ' ';
    messages += id == WM_SCAN_STARTED     ? "S"
                : id == WM_SCAN_SET_RANGE ? "R"
                : id == WM_SCAN_SET_POS   ? "P"
                : id == WM_SCAN_PROGRESS  ? "G"
                                          : "";
    if (id == WM_SCAN_PROGRESS) messages += std::to_string(wParam) + "/";
    messages += std::to_string(lParam);
    if (id == WM_SCAN_SET_POS && lParam > 0) ++comparisonsReported;
    if (id == WM_SCAN_STARTED) announced = lParam;
    if (id == WM_SCAN_PROGRESS) ++done;
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
  std::int64_t announced = -1, done = 0;  // file pairs
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
  std::vector<std::filesystem::path> files;
  for (std::size_t i = 0; i < 4; ++i)
    files.push_back(dir.write(numberedName(i), numberedWords(30)));
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

// A text source reads *.doc files on the scan's threads, and again for views;
// "bad.doc" cannot be read.
TEST_F(ScanTest, DocumentsAreComparedByTheTextTheirSourceGives) {
  struct : TextSource {
    std::optional<SourceText> read(const std::filesystem::path& path) const override {
      if (path.extension() != ".doc") return std::nullopt;
      SourceText text;
      text.format = "doc";
      text.text = "one two\nthree four five";
      if (path.stem() == "bad") text.error = "it is damaged";
      return text;
    }
  } source;
  engine.textSource = &source;
  engine.comparisonThreads = 3;
  scanFiles({{"plain.txt", "one two three four five\r\n"}, {"a.doc", "PK"}, {"bad.doc", "x"}});
  EXPECT_EQ(engine.pairResults.at(0).score, 5.0f);  // a.doc against plain.txt
  EXPECT_EQ(engine.fileTable.at(1)->format, "doc");
  std::string text;
  EXPECT_FALSE(readEntryText(*engine.fileTable.at(1), text));
  EXPECT_EQ(text, "one two\nthree four five");
  EXPECT_EQ(readEntryText(*engine.fileTable.at(2), text).message, "it is damaged");
  EXPECT_TRUE(engine.fileTable.at(2)->groups.empty());
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

constexpr std::uint64_t kKiB = 1024;
constexpr std::uint64_t kMiB = 1024 * kKiB;
constexpr std::uint64_t kGiB = 1024 * kMiB;

TEST(MemorySize, TextHasOneDecimalBelowTenOfItsLargestUnitAndParsingTakesUnitsOf1024) {
  const std::vector<std::pair<std::uint64_t, std::string>> texts = {
      {0, "0 bytes"},
      {1, "1 byte"},
      {1023, "1023 bytes"},
      {1536, "1.5 KiB"},
      {10 * kKiB - 1, "10 KiB"},
      {12 * kMiB + 512 * kKiB, "13 MiB"},
      {std::numeric_limits<std::uint64_t>::max(), "16 EiB"}};
  for (const auto& [bytes, text] : texts) EXPECT_EQ(memorySizeText(bytes), text) << bytes;
  const std::vector<std::pair<std::string, std::uint64_t>> good = {
      {"100000", 100000}, {"512MB", 512 * kMiB}, {"2gib", 2 * kGiB}};
  for (const auto& [text, bytes] : good) EXPECT_EQ(parseMemorySize(text), bytes) << text;
  for (const std::string text : {"", "0", "0.0001", "-1G", "1 G", "1GG", "nan", "99999999T"}) {
    EXPECT_EQ(parseMemorySize(text), std::nullopt) << text;
  }
}

TEST(MemoryBudget, TheSmallerLimitBindsAndTheShortfallSaysWhichItIs) {
  MemoryBudget own(kGiB, 4 * kGiB);
  EXPECT_TRUE(own.ownLimitBinds());
  EXPECT_EQ(std::pair(own.fits(kGiB), own.fits(kGiB + 1)), std::pair(true, false));
  own.take(kGiB / 2);
  EXPECT_EQ(own.left(), kGiB / 2);
  // The total that would be needed, against the limit as a whole.
  EXPECT_EQ(own.shortfallText(kGiB), "about 1.5 GiB in all, and the memory limit is 1 GiB");
  own.take(kGiB);
  EXPECT_EQ(own.left(), 0u);
  const MemoryBudget system(8 * kGiB, 3 * kGiB);
  EXPECT_FALSE(system.ownLimitBinds());
  EXPECT_EQ(system.shortfallText(5 * kGiB), "about 5 GiB in all, and 3 GiB is available");
  // No limit of its own and none known of the system: everything fits.
  EXPECT_TRUE(MemoryBudget(0, std::nullopt).fits(std::numeric_limits<std::uint64_t>::max()));
  EXPECT_EQ(desktopScanMemoryLimit(std::nullopt), 0u);
  EXPECT_EQ(desktopScanMemoryLimit(8 * kGiB), 6 * kGiB);
}

TEST(SystemMemory, MeminfoAndControlGroupFilesAreRead) {
  const std::string meminfo =
      "MemTotal:       24683748 kB\nMemFree:        1000 kB\nMemAvailable:   24156756 kB\n";
  EXPECT_EQ(meminfoAvailable(meminfo), 24156756 * kKiB);
  EXPECT_EQ(meminfoTotal(meminfo), 24683748 * kKiB);
  EXPECT_EQ(meminfoAvailable("MemTotal: 5 kB\n"), std::nullopt);
  // Version 2: "max" is no limit; the inactive file cache counts as free.
  EXPECT_EQ(cgroupMemoryLeft("max\n", "1000\n", ""), std::nullopt);
  EXPECT_EQ(cgroupMemoryLeft("8192\n", "5000\n", "anon 3000\ninactive_file 1000\n"), 4192u);
  // Version 1 names the hierarchy's counts "total_"; its "no limit" is near 2^63.
  EXPECT_EQ(cgroupMemoryLeft("8192\n", "5000\n", "inactive_file 10\ntotal_inactive_file 2000\n"),
            5192u);
  EXPECT_EQ(cgroupMemoryLeft("9223372036854771712\n", "5000\n", ""), std::nullopt);
  // Over the limit: nothing left, not a wrapped-around number.
  EXPECT_EQ(cgroupMemoryLeft("4096\n", "5000\n", ""), 0u);
  // The control group folders run from the process's group to the top.
  const auto paths = [](const std::string& procSelfCgroup) {
    std::string found;
    for (const auto& folder : memoryCgroupFolders(procSelfCgroup)) {
      found += (folder.version2 ? "2 " : "1 ") + folder.path + "\n";
    }
    return found;
  };
  EXPECT_EQ(paths("0::/user.slice/app.scope\n"),
            "2 /sys/fs/cgroup/user.slice/app.scope\n2 /sys/fs/cgroup/user.slice\n"
            "2 /sys/fs/cgroup\n");
  EXPECT_EQ(paths("5:cpu,cpuacct:/a\n4:memory:/job/7\n0::/\n"),
            "1 /sys/fs/cgroup/memory/job/7\n1 /sys/fs/cgroup/memory/job\n"
            "1 /sys/fs/cgroup/memory\n2 /sys/fs/cgroup\n");
#if defined(__linux__) || defined(_WIN32)
  // And this machine tells what it has and gives.
  EXPECT_GT(installedMemory().value_or(0), 64 * kMiB);
  EXPECT_GT(availableMemory().value_or(0), 0u);
#endif
}

TEST(ScanMemoryEstimate, WordsCountWithTheirRecordsAndLongWordsWithTheirText) {
  // One long word keeps its text beside its record.
  EXPECT_GE(wordMemoryOf(std::string(1000, 'x'), 1000).kept, 1000 + sizeof(WordEntry));
  // Splitting holds the text beside the words.
  EXPECT_GE(wordMemoryOf(std::string(10000, ' ') + "word", 1000).peak, 10000u);
  std::string letters;
  for (int i = 0; i < 5000; ++i) letters += "a ";
  const WordMemory many = wordMemoryOf(letters, 1000);
  EXPECT_EQ(many.words, 5000u);
  EXPECT_GE(many.peak, letters.size() + many.words * sizeof(WordEntry));
}

// Earlier work: `count` files of 4 to 15 words from a vocabulary of 8, so that
// pairs match in stretches of every length.
std::vector<std::filesystem::path> writeFiles(const testing::TempDir& dir, const char* prefix,
                                              int count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::filesystem::path> paths;
  for (int i = 0; i < count; ++i) {
    const auto words = static_cast<int>(4 + random() % 12);
    paths.push_back(dir.write(prefix + std::to_string(1000 + i) + ".txt",
                              testing::randomWords(random, words, 8)));
  }
  return paths;
}

// Every result in comparison order, with its files' indices and score bits.
std::vector<std::string> scan(CompareEngine& engine, std::vector<std::filesystem::path> paths,
                              std::vector<std::filesystem::path> earlier,
                              RecordingTarget& counter) {
  testing::runScan(engine, std::move(paths), &counter, std::move(earlier));
  std::vector<std::string> results;
  for (const auto& [number, r] : engine.pairResults) {
    EXPECT_EQ(number, static_cast<std::int32_t>(results.size()));  // numbered without gaps
    results.push_back(
        std::to_string(r.groupA->file->index) + "/" + std::to_string(r.groupB->file->index) + " " +
        std::to_string(r.startA) + "-" + std::to_string(r.endA) + " " + std::to_string(r.startB) +
        "-" + std::to_string(r.endB) + " " + std::to_string(std::bit_cast<std::uint32_t>(r.score)) +
        r.consensusA + "|" + r.consensusB);
  }
  return results;
}

TEST(EarlierWork, ComparesEveryPairWithANewFileAndGivesTheFullScansResultsForThem) {
  const testing::TempDir dir;
  const auto fresh = writeFiles(dir, "new", 30, 1);
  const auto earlier = writeFiles(dir, "old", 200, 2);

  // The same 230 files in the same order as one scan, kept to the pairs with a
  // new file (indices 0 to 29).
  CompareEngine whole;
  whole.comparisonThreads = 2;
  std::vector<std::filesystem::path> all = fresh;
  all.insert(all.end(), earlier.begin(), earlier.end());
  RecordingTarget fullCounter;
  const auto full = scan(whole, all, {}, fullCounter);
  EXPECT_EQ(fullCounter.announced, 230 * 229 / 2);
  std::vector<std::string> kept;
  for (const auto& [number, result] : whole.pairResults) {
    if (result.groupA->file->index < 30 || result.groupB->file->index < 30) {
      kept.push_back(full[static_cast<std::size_t>(number)]);
    }
  }

  for (const int threads : {1, 2}) {
    CompareEngine engine;
    engine.comparisonThreads = threads;
    RecordingTarget counter;
    const auto part = scan(engine, fresh, earlier, counter);
    EXPECT_EQ(counter.announced, 30 * 229 - 30 * 29 / 2);
    EXPECT_EQ(counter.done, 30 * 229 - 30 * 29 / 2);
    EXPECT_EQ(engine.filePairsCompared, 30 * 229 - 30 * 29 / 2);
    EXPECT_TRUE(engine.fileTable.at(30)->earlier && !engine.fileTable.at(29)->earlier);
    EXPECT_TRUE(part == kept) << threads << " threads";
  }
}

// Stress: a scan stopped at every kind of moment, by a cancel or by the engine
// going away, under the sanitizers.

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

// Which group pairs a fast scan keeps: those whose seeds score enough.
using Ids = std::vector<std::uint32_t>;

// A hand-made scan of loaded files: each file a list of groups of word ids.
class Folder {
 public:
  std::int32_t add(const std::vector<Ids>& groups) {
    auto entry = std::make_unique<FileEntry>();
    entry->index = static_cast<std::int32_t>(engine.fileTable.size());
    for (std::size_t g = 0; g < groups.size(); ++g) {
      auto group = std::make_unique<WordGroup>();
      group->file = entry.get();
      group->wordIds = groups[g];
      group->words.resize(groups[g].size());
      entry->groups.emplace(static_cast<std::int32_t>(g), std::move(group));
    }
    const std::int32_t index = entry->index;
    engine.fileTable.emplace(index, std::move(entry));
    return index;
  }
  // Two threads: the cases are small enough to take both.
  std::vector<GroupPairIndex> kept() const { return seededGroupPairs(engine, 2); }
  CompareEngine engine;
};

// `count` words that no other call gives.
Ids filler(std::size_t count) {
  static std::uint32_t next = 1000000;
  Ids words;
  for (std::size_t i = 0; i < count; ++i) words.push_back(next++);
  return words;
}

Ids join(std::initializer_list<Ids> parts) {
  Ids words;
  for (const Ids& part : parts) words.insert(words.end(), part.begin(), part.end());
  return words;
}

TEST(SeedIndex, KeepsAGroupPairWhenItsExtendedSeedsScoreEnough) {
  const Ids seven = {1, 2, 3, 4, 5, 6, 7};
  // Two files share `a` (in the first, between filler) and `b` in the second;
  // whether their group pair is kept.
  const std::vector<std::tuple<const char*, Ids, Ids, bool>> cases = {
      {"seven words in a row", seven, seven, true},
      {"six words in a row", {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}, false},
      // 4 + 4 words across one changed word: 8 - 0.33, one ungapped stretch.
      {"one word changed", {1, 2, 3, 4, 50, 6, 7, 8, 9}, {1, 2, 3, 4, 5, 6, 7, 8, 9}, true},
      // 5 and 5 words, the second shifted by extra words: only chained.
      {"four words inserted, still chained",
       {1, 2, 3, 4, 5, 60, 61, 62, 63, 6, 7, 8, 9, 10},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
       true},
      {"five words inserted: too far off the diagonal",
       {1, 2, 3, 4, 5, 60, 61, 62, 63, 64, 6, 7, 8, 9, 10},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
       false},
      // The stretch between an extra word and a dropped one goes on along a
      // shifted diagonal; an extension that ran past it would hide it.
      {"a word inserted, then one dropped",
       {39, 209, 239, 26, 222, 122, 230, 97, 8, 45, 167, 1, 0, 145, 93, 332, 48, 61, 202, 52, 18},
       {39, 209, 85, 239, 26, 122, 230, 8, 45, 167, 1, 0, 93, 332, 48, 61, 101, 202, 52, 18},
       true},
      {"eight other words between", join({{1, 2, 3, 4, 5}, filler(8), {6, 7, 8, 9, 10}}),
       join({{1, 2, 3, 4, 5}, filler(8), {6, 7, 8, 9, 10}}), true},
      // Twelve words apart: beyond the chain's reach.
      {"twelve other words between", join({{1, 2, 3, 4, 5}, filler(12), {6, 7, 8, 9, 10}}),
       join({{1, 2, 3, 4, 5}, filler(12), {6, 7, 8, 9, 10}}), false},
  };
  for (const auto& [name, a, b, kept] : cases) {
    Folder folder;
    folder.add({join({filler(40), a, filler(40)})});
    folder.add({join({filler(30), b, filler(50)})});
    const auto found = folder.kept();
    EXPECT_EQ(found.size(), kept ? 1u : 0u) << name;
    if (kept && found.size() == 1) {
      EXPECT_EQ(found[0], (GroupPairIndex{1, 0, 0, 0})) << name;
    }
  }
}

TEST(SeedIndex, DropsSeedsThatTooManyFilesHold) {
  const Ids passage = {1, 2, 3, 4, 5, 6, 7, 8};
  for (const int holders : {2, 20, 21, 40}) {
    Folder folder;
    for (int f = 0; f < holders; ++f) folder.add({join({filler(20), passage, filler(20)})});
    const std::size_t pairs = static_cast<std::size_t>(holders * (holders - 1) / 2);
    EXPECT_EQ(folder.kept().size(), holders <= 20 ? pairs : 0u) << holders << " files";
  }
}

TEST(SeedIndex, KeepsACommonSeedWhereFewFilesRepeatIt) {
  // 30 files hold "7 7 7" once; some also repeat 7 over a run of 12 words.
  for (const int repeating : {2, 20, 21}) {
    Folder folder;
    for (int f = 0; f < 30; ++f) {
      const Ids run = f < repeating ? Ids(12, 7) : Ids{};
      folder.add({join({filler(20), {7, 7, 7}, filler(20), run, filler(20)})});
    }
    const std::size_t pairs = repeating <= 20 ? repeating * (repeating - 1) / 2 : 0;
    EXPECT_EQ(folder.kept().size(), pairs) << repeating << " files repeat the seed";
  }
}

TEST(SeedIndex, ADegenerateFileIsComparedButDoesNotSwampTheOthers) {
  Folder folder;
  const Ids passage = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  folder.add({join({Ids(500, 7), passage, Ids(490, 7)})});  // "the the the ..."
  folder.add({join({filler(100), passage, filler(100)})});
  for (int f = 0; f < 25; ++f) folder.add({join({filler(50), {7, 7, 7}, filler(50)})});
  folder.add({Ids(300, 7)});  // another file of one word
  const auto kept = folder.kept();
  const std::vector<GroupPairIndex> expected = {{1, 0, 0, 0}, {27, 0, 0, 0}};
  EXPECT_EQ(kept, expected);
}

TEST(SeedIndex, AMatchAtAGroupsEdgeKeepsTheNeighbouringGroupPair) {
  // Five shared words end the first group of file 0 and five more begin its
  // second: neither part alone scores enough.
  const Ids first = {1, 2, 3, 4, 5};
  const Ids second = {6, 7, 8, 9, 10};
  // Words after the first five in group 0, before the second five in group 1.
  const std::vector<std::tuple<std::size_t, std::size_t, std::vector<GroupPairIndex>>> cases = {
      {0, 0, {{1, 0, 0, 0}, {1, 0, 1, 0}}},
      {2, 2, {{1, 0, 0, 0}, {1, 0, 1, 0}}},
      {3, 0, {{1, 0, 0, 0}}},
      {0, 3, {{1, 0, 1, 0}}},
      {3, 3, {}},
  };
  for (const auto& [after, before, expected] : cases) {
    Folder folder;
    folder.add({join({filler(60), first, second, filler(60)})});
    folder.add(
        {join({filler(60), first, filler(after)}), join({filler(before), second, filler(60)})});
    EXPECT_EQ(folder.kept(), expected) << after << " words after, " << before << " before";
  }
}

}  // namespace
}  // namespace orvalis
