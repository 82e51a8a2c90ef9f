#include "engine/scan.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <limits>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "engine/align.h"
#include "engine/comparison_cache.h"
#include "engine/memory.h"
#include "engine/text.h"
#include "engine/text_source.h"

namespace orvalis {
namespace {

// Stands in for a missing target, so the worker never tests for one.
class NullTarget final : public ScanTarget {
 public:
  void post(std::uint32_t, std::int64_t, std::int64_t) override {}
  void filesUnreadable(const std::vector<UnreadableFile>&) override {}
  void scanFailed(const std::string&) override {}
  void showNotice(const std::string&) override {}
};

// Comparisons are numbered with 32-bit ints, in the results and the messages.
constexpr auto kMaxComparisons =
    static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());

// One comparison: two groups and where each begins in its file's text.
struct ComparisonTask {
  const WordGroup* groupA = nullptr;
  const WordGroup* groupB = nullptr;
  std::int32_t baseA = 0;
  std::int32_t baseB = 0;
};
static_assert(sizeof(ComparisonTask) <= 2 * sizeof(void*) + 2 * sizeof(std::int32_t),
              "the memory estimate of a scan counts this much per comparison");

// One file pair that a scan compares: its comparisons are either computed,
// tasks[firstTask] on, or found in the results cache.
struct PlannedPair {
  const FileEntry* fileA = nullptr;
  const FileEntry* fileB = nullptr;
  std::int64_t size = 0;      // comparisons: 0 when either file has no words
  std::int64_t computed = 0;  // of these, the ones the scan hands out
  std::size_t firstTask = 0;
  bool fromCache = false;  // every result was found in the results cache
};

// Every comparison of a scan in the order of their numbers: file pairs (1, 0),
// (2, 0), (2, 1), (3, 0), ... that the engine compares; within a pair every
// group of the first file, in order, against every group of the second. Tasks
// hold only the comparisons to compute.
//
// Planning also lays out the engine's results: a place for every planned
// comparison in the order of the numbers, holding the result found in the
// results cache or, until the scan computes it, an empty one. A rescan so
// writes each result once, where it stays.
struct ScanPlan {
  std::vector<ComparisonTask> tasks;
  // Each task's comparison number when only chosen comparisons are computed;
  // empty when every one is, and task i is comparison i.
  std::vector<std::int32_t> numbers;
  std::vector<PlannedPair> pairs;
  std::size_t longestGroup = 0;
};

// What the comparisons of the loaded files will need.
ComparisonCounts countComparisons(const CompareEngine& engine) {
  ComparisonCounts counts;
  counts.threads = std::max(1, engine.comparisonThreads);
  for (auto a = engine.fileTable.begin(); a != engine.fileTable.end(); ++a) {
    const FileEntry& entry = *a->second;
    for (auto b = engine.fileTable.begin(); b != a; ++b) {
      if (!engine.comparesPair(entry, *b->second)) continue;
      counts.comparisons += entry.groups.size() * b->second->groups.size();
      ++counts.filePairs;
    }
    counts.groups += entry.groups.size();
    for (const auto& [number, group] : entry.groups) {
      counts.words += group->words.size();
      counts.longestGroup = std::max<std::uint64_t>(counts.longestGroup, group->words.size());
    }
  }
  return counts;
}

ComparisonKey comparisonKey(const CompareEngine& engine, const FileEntry& a, const FileEntry& b) {
  ComparisonKey key;
  key.first = *a.digest;
  key.second = *b.digest;
  key.mismatchScore = engine.mismatchScore;
  key.gapScore = engine.gapScore;
  key.groupSize = effectiveGroupSize(engine.groupSize);
  return key;
}

// Whether the pair's results may be looked up in and kept in the engine's
// cache: both files' contents are known, and neither has words set aside,
// which the key does not describe.
bool cacheable(const CompareEngine& engine, const PlannedPair& pair) {
  return engine.resultCache != nullptr && pair.size > 0 && pair.fileA->digest &&
         pair.fileB->digest && pair.fileA->setAside.empty() && pair.fileB->setAside.empty();
}

// Looks the pair, whose first comparison is number `firstNumber`, up in the
// engine's cache; on success its results are added to `results` with their
// groups filled in. `found` is room for the look-up, kept from pair to pair.
void findInCache(const CompareEngine& engine, PlannedPair& pair, std::int64_t firstNumber,
                 std::vector<PairResult>& found, ResultTable& results) {
  if (!cacheable(engine, pair)) return;
  const ComparisonKey key = comparisonKey(engine, *pair.fileA, *pair.fileB);
  if (!engine.resultCache->find(key, static_cast<std::size_t>(pair.size), found) ||
      found.size() != static_cast<std::size_t>(pair.size)) {
    return;
  }
  auto result = found.begin();
  auto number = static_cast<std::int32_t>(firstNumber);
  for (const auto& [numberA, groupA] : pair.fileA->groups) {
    for (const auto& [numberB, groupB] : pair.fileB->groups) {
      result->groupA = groupA.get();
      result->groupB = groupB.get();
      results.emplace(number++, std::move(*result++));
    }
  }
  pair.fromCache = true;
}

// One vocabulary for the whole scan, so that each cell of every comparison
// compares two word ids.
// Words set aside as template text each get an id of their own, so that they
// match nothing.
void giveScanWordIds(CompareEngine& engine, const ComparisonCounts& counts) {
  std::vector<WordGroup*> groups;
  groups.reserve(static_cast<std::size_t>(counts.groups));
  for (const auto& [index, entry] : engine.fileTable) {
    for (const auto& [number, group] : entry->groups) groups.push_back(group.get());
  }
  std::uint32_t nextId = giveWordIds(groups);
  for (const auto& [index, entry] : engine.fileTable) nextId = setAsideWordIds(*entry, nextId);
}

// The plan of the chosen comparisons alone, each with the number it has among
// all comparisons. Only file pairs with a chosen comparison are planned.
ScanPlan planChosen(const CompareEngine& engine, std::vector<GroupPairIndex> chosen,
                    ResultTable& results) {
  std::sort(chosen.begin(), chosen.end());
  chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
  ScanPlan plan;
  plan.longestGroup = static_cast<std::size_t>(countComparisons(engine).longestGroup);
  auto next = chosen.begin();
  std::int64_t firstNumber = 0;
  for (auto a = engine.fileTable.begin(); a != engine.fileTable.end() && next != chosen.end();
       ++a) {
    for (auto b = engine.fileTable.begin(); b != a; ++b) {
      if (!engine.comparesPair(*a->second, *b->second)) continue;
      const auto& groupsA = a->second->groups;
      const auto& groupsB = b->second->groups;
      const auto size = static_cast<std::int64_t>(groupsA.size() * groupsB.size());
      const auto belowPair = [&](const GroupPairIndex& key) {
        return std::pair(key.fileA, key.fileB) < std::pair(a->first, b->first);
      };
      while (next != chosen.end() && belowPair(*next)) ++next;
      PlannedPair* pair = nullptr;
      for (; next != chosen.end() && next->fileA == a->first && next->fileB == b->first; ++next) {
        const auto groupA = groupsA.find(next->groupA);
        const auto groupB = groupsB.find(next->groupB);
        if (groupA == groupsA.end() || groupB == groupsB.end()) continue;
        if (pair == nullptr) {
          pair = &plan.pairs.emplace_back();
          pair->fileA = a->second.get();
          pair->fileB = b->second.get();
          pair->size = size;
          pair->firstTask = plan.tasks.size();
        }
        plan.tasks.push_back({groupA->second.get(), groupB->second.get(),
                              groupA->second->startOffset, groupB->second->startOffset});
        plan.numbers.push_back(static_cast<std::int32_t>(
            firstNumber + next->groupA * static_cast<std::int64_t>(groupsB.size()) + next->groupB));
        results.emplace(plan.numbers.back(), PairResult{});
        ++pair->computed;
      }
      firstNumber += size;
    }
  }
  return plan;
}

ScanPlan planScan(const CompareEngine& engine, const ComparisonCounts& counts,
                  ResultTable& results) {
  ScanPlan plan;
  plan.tasks.reserve(static_cast<std::size_t>(counts.comparisons));
  results.reserve(static_cast<std::size_t>(counts.comparisons));
  plan.pairs.reserve(static_cast<std::size_t>(counts.filePairs));
  for (const auto& [index, entry] : engine.fileTable) {
    for (const auto& [number, group] : entry->groups) {
      plan.longestGroup = std::max(plan.longestGroup, group->words.size());
    }
  }
  std::int64_t firstNumber = 0;
  std::vector<PairResult> found;
  for (auto a = engine.fileTable.begin(); a != engine.fileTable.end(); ++a) {
    for (auto b = engine.fileTable.begin(); b != a; ++b) {
      if (!engine.comparesPair(*a->second, *b->second)) continue;
      const auto& groupsA = a->second->groups;
      const auto& groupsB = b->second->groups;
      PlannedPair& pair = plan.pairs.emplace_back();
      pair.fileA = a->second.get();
      pair.fileB = b->second.get();
      pair.size = static_cast<std::int64_t>(groupsA.size() * groupsB.size());
      pair.computed = pair.size;
      pair.firstTask = plan.tasks.size();
      if (!engine.comparisonChooser) findInCache(engine, pair, firstNumber, found, results);
      if (pair.fromCache) {
        firstNumber += pair.size;
        continue;
      }
      for (const auto& [numberA, groupA] : groupsA) {
        for (const auto& [numberB, groupB] : groupsB) {
          plan.tasks.push_back(
              {groupA.get(), groupB.get(), groupA->startOffset, groupB->startOffset});
          results.emplace(static_cast<std::int32_t>(firstNumber++), PairResult{});
        }
      }
    }
  }
  return plan;
}

// Computes the comparisons of a plan on several threads, each with its own work
// space, and hands the results out in the order of their numbers. A thread
// takes up a run of consecutive comparisons at a time, enough cells to be
// worth a hand-over, so that short comparisons do not cost a wake-up each.
// Threads run at most a few runs ahead of the one taken last, which bounds the
// results held here.
class ComparisonPool {
 public:
  ComparisonPool(const std::vector<ComparisonTask>& tasks, const CompareEngine& engine,
                 std::size_t longestGroup, int threadCount)
      : tasks_(tasks),
        scores_{engine.mismatchScore, engine.gapScore},
        pause_(engine.comparisonPause),
        window_(static_cast<std::size_t>(threadCount) * 4) {
    workspaces_.resize(static_cast<std::size_t>(threadCount));
    for (auto& workspace : workspaces_) workspace.reserve(longestGroup);
    for (auto& workspace : workspaces_) {
      try {
        threads_.emplace_back([this, &workspace] { run(workspace); });
      } catch (const std::system_error&) {
        break;  // go on with the threads that did start
      }
    }
  }

  ~ComparisonPool() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    for (auto& thread : threads_) thread.join();
  }

  bool running() const { return !threads_.empty(); }

  // The result of comparison `number`, which must be the next in order. Throws
  // what a thread threw while computing.
  PairResult take(std::size_t number) {
    if (number >= current_.first + current_.results.size()) {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return failure_ || finished_.contains(number); });
      if (failure_) std::rethrow_exception(failure_);
      current_ = std::move(finished_.extract(number).mapped());
      --runsAhead_;
      lock.unlock();
      changed_.notify_all();
    }
    return std::move(current_.results[number - current_.first]);
  }

 private:
  // The results of comparisons first, first + 1, ...
  struct Run {
    std::size_t first = 0;
    std::vector<PairResult> results;
  };

  // A run ends after this many cells, counting each comparison's own set-up
  // as some cells more, or after this many comparisons.
  static constexpr std::uint64_t kRunCells = std::uint64_t{1} << 23;
  static constexpr std::uint64_t kSetUpCells = 4096;
  static constexpr std::size_t kLongestRun = 16;

  std::size_t runEnd(std::size_t first) const {
    std::size_t end = first;
    std::uint64_t cells = 0;
    while (end < tasks_.size() && end - first < kLongestRun && cells < kRunCells) {
      const ComparisonTask& task = tasks_[end++];
      cells += task.groupA->words.size() * task.groupB->words.size() + kSetUpCells;
    }
    return end;
  }

  void run(AlignWorkspace& workspace) {
    for (;;) {
      Run done;
      std::size_t end = 0;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || runsAhead_ < window_; });
        if (stopping_ || next_ >= tasks_.size()) return;
        done.first = next_;
        end = runEnd(next_);
        next_ = end;
        ++runsAhead_;
      }
      try {
        done.results.reserve(end - done.first);
        for (std::size_t number = done.first; number < end; ++number) {
          if (stopping_.load(std::memory_order_relaxed)) return;
          const ComparisonTask& task = tasks_[number];
          PairResult& result = done.results.emplace_back();
          result.groupA = task.groupA;
          result.groupB = task.groupB;
          alignGroups(scores_, workspace, result, task.baseA, task.baseB);
          if (pause_.count() > 0) std::this_thread::sleep_for(pause_);
        }
        std::lock_guard lock(mutex_);
        finished_.emplace(done.first, std::move(done));
      } catch (...) {
        std::lock_guard lock(mutex_);
        if (!failure_) failure_ = std::current_exception();
      }
      changed_.notify_all();
    }
  }

  const std::vector<ComparisonTask>& tasks_;
  const AlignScores scores_;
  const std::chrono::milliseconds pause_;
  const std::size_t window_;  // in runs
  std::vector<AlignWorkspace> workspaces_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::size_t, Run> finished_;  // keyed by the first comparison of each run
  std::size_t next_ = 0;                 // the next comparison a thread takes up
  std::size_t runsAhead_ = 0;            // runs taken up but not yet handed out
  // Set under the mutex; also read without it between the comparisons of a run.
  std::atomic<bool> stopping_ = false;
  std::exception_ptr failure_;
  Run current_;  // the run being handed out; the scan thread's alone
};

// The texts that the engine's text source gives, one per file of the file
// table in its order (nothing for a file read as plain text), read on up to
// `threads` threads. Posts WM_SCAN_READING after each document with the
// number of files looked at so far and of all files; stops early,
// leaving the rest unread, when `running` is cleared.
std::vector<std::optional<SourceText>> readDocuments(CompareEngine& engine, ScanTarget& target,
                                                     int threads) {
  std::vector<const FileEntry*> entries;
  for (const auto& [index, entry] : engine.fileTable) entries.push_back(entry.get());
  std::vector<std::optional<SourceText>> texts(entries.size());
  std::atomic<std::size_t> next = 0;
  std::mutex postMutex;
  std::int64_t filesDone = 0;
  const auto fileCount = static_cast<std::int64_t>(entries.size());
  const auto work = [&] {
    for (std::size_t i; engine.running && (i = next++) < entries.size();) {
      std::optional<SourceText> text;
      try {
        text = engine.textSource->read(entries[i]->path);
      } catch (const std::bad_alloc&) {
        text.emplace();
        text->error = "not enough memory to read it";
      } catch (const std::exception& failure) {
        // A helper thread must not end the process; the file is unreadable.
        text.emplace();
        text->error = failure.what();
      }
      const bool isDocument = text.has_value();
      texts[i] = std::move(text);
      std::lock_guard lock(postMutex);
      ++filesDone;
      if (isDocument) target.post(WM_SCAN_READING, filesDone, fileCount);
    }
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < threads && static_cast<std::size_t>(t) < entries.size(); ++t) {
    try {
      helpers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // go on with the threads that did start
    }
  }
  work();
  for (auto& helper : helpers) helper.join();
  return texts;
}

std::vector<UnreadableFile> loadFiles(CompareEngine& engine, ScanTarget& target,
                                      MemoryBudget& budget) {
  const std::int32_t groupSize = effectiveGroupSize(engine.groupSize);
  std::vector<std::optional<SourceText>> documents;
  if (engine.textSource != nullptr) {
    const int threads =
        engine.documentThreads > 0 ? engine.documentThreads : engine.comparisonThreads;
    documents = readDocuments(engine, target, std::max(1, threads));
    if (!engine.running) return {};  // cancelled: the scan is dropped anyway
  }
  std::vector<UnreadableFile> unreadable;
  std::size_t position = 0;
  for (auto& [index, entry] : engine.fileTable) {
    entry->textSource = engine.textSource;
    std::optional<SourceText>* document =
        position < documents.size() ? &documents[position] : nullptr;
    ++position;
    std::string reason;
    try {
      if (document != nullptr && document->has_value()) {
        reason = loadFileEntry(*entry, std::move(**document), groupSize, &budget).message;
        document->reset();
      } else {
        reason = loadFileEntry(*entry, groupSize, &budget, engine.resultCache != nullptr).message;
      }
    } catch (const std::bad_alloc&) {
      entry->groups.clear();
      reason = "not enough memory to read it";
    }
    if (!reason.empty()) unreadable.push_back({index, entry->path, std::move(reason)});
  }
  return unreadable;
}

enum class CompareOutcome { kComplete, kCancelled };

// Runs every comparison of the plan in order, storing each result in its place
// and posting progress, until done or `running` is found false after a
// comparison. Results of the cache are handed out as if computed; the results
// of each pair computed in full go to the cache. `filled` counts the places
// reached, whose results are final.
CompareOutcome compareAll(CompareEngine& engine, ScanTarget& target, ScanPlan& plan,
                          std::size_t& filled) {
  const auto filePairs = static_cast<std::int64_t>(plan.pairs.size());

  std::unique_ptr<ComparisonPool> pool;
  if (engine.comparisonThreads > 1 && plan.tasks.size() > 1) {
    pool = std::make_unique<ComparisonPool>(plan.tasks, engine, plan.longestGroup,
                                            engine.comparisonThreads);
    if (!pool->running()) pool.reset();
  }

  target.post(WM_SCAN_STARTED, 0, filePairs);
  std::int64_t filePairsDone = 0;
  std::vector<PairResult> toStore;
  for (PlannedPair& pair : plan.pairs) {
    target.post(WM_SCAN_SET_RANGE, 0, pair.computed);
    target.post(WM_SCAN_SET_POS, 0, 0);
    const bool storing = !pair.fromCache && pair.computed == pair.size && plan.numbers.empty() &&
                         cacheable(engine, pair);
    toStore.clear();
    for (std::int64_t done = 1; done <= pair.computed; ++done) {
      if (!pair.fromCache) {
        PairResult result;
        const std::size_t number = pair.firstTask + static_cast<std::size_t>(done - 1);
        if (pool) {
          result = pool->take(number);
        } else {
          const ComparisonTask& task = plan.tasks[number];
          result.groupA = task.groupA;
          result.groupB = task.groupB;
          alignGroups(engine, result, task.baseA, task.baseB);
        }
        if (storing) toStore.push_back(result);
        (engine.pairResults.begin() + static_cast<std::ptrdiff_t>(filled))->second =
            std::move(result);
      }
      ++filled;
      target.post(WM_SCAN_SET_POS, 0, done);
      if (!engine.running) return CompareOutcome::kCancelled;
    }
    if (storing)
      engine.resultCache->store(comparisonKey(engine, *pair.fileA, *pair.fileB), toStore);
    if (pair.fromCache) ++engine.filePairsFromCache;
    ++filePairsDone;
    target.post(WM_SCAN_PROGRESS, filePairsDone, filePairs);
  }
  return CompareOutcome::kComplete;
}

}  // namespace

std::string comparisonRefusal(const ComparisonCounts& counts, const MemoryBudget& budget) {
  if (counts.comparisons > kMaxComparisons) {
    return kTooManyComparisonsMessage;
  }
  const std::uint64_t needed = comparisonMemory(counts);
  if (budget.fits(needed)) return {};
  return std::string(kNotEnoughMemoryMessage)
      .append(" it needs ")
      .append(budget.shortfallText(needed))
      .append(".");
}

bool CompareEngine::comparesPair(const FileEntry& a, const FileEntry& b) const {
  if (a.earlier && b.earlier) return false;
  return !pairFilter || pairFilter(a, b);
}

bool CompareEngine::startScan(ScanTarget* target, std::vector<std::filesystem::path> paths,
                              std::vector<std::filesystem::path> earlierPaths) {
  waitForWorker();
  notifyWindow = target;
  clearScan();
  filePairsCompared = 0;
  filePairsFromCache = 0;
  const std::size_t newFiles = paths.size();
  for (auto& path : earlierPaths) paths.push_back(std::move(path));
  for (std::size_t i = 0; i < paths.size(); ++i) {
    auto entry = std::make_unique<FileEntry>();
    entry->path = std::move(paths[i]);
    entry->displayName = entry->path.filename();
    entry->index = static_cast<std::int32_t>(i);
    entry->earlier = i >= newFiles;
    fileTable.emplace(entry->index, std::move(entry));
  }
  try {
    workerThread = std::thread([this] {
      scanWorker(*this);
      if (notifyWindow) notifyWindow->workerEnded();
    });
  } catch (const std::system_error&) {
    running = false;
    return false;
  }
  return true;
}

int scanWorker(CompareEngine& engine) {
  NullTarget nullTarget;
  ScanTarget& target = engine.notifyWindow ? *engine.notifyWindow : nullTarget;

  MemoryBudget budget(engine.memoryLimit, availableMemory());
  const std::vector<UnreadableFile> unreadable = loadFiles(engine, target, budget);
  if (!engine.running) return 0;
  if (!unreadable.empty()) target.filesUnreadable(unreadable);

  // Refused before anything is allocated for the comparisons, rather than
  // found out when the system runs short in the middle.
  // With a chooser, the memory of the chosen comparisons alone is checked once
  // they are known; the chooser checks its own.
  const ComparisonCounts counts = countComparisons(engine);
  engine.comparisonsTotal = static_cast<std::int64_t>(counts.comparisons);
  const bool choosing = static_cast<bool>(engine.comparisonChooser);
  ComparisonCounts needed = counts;
  if (choosing && counts.comparisons <= kMaxComparisons) {
    needed.comparisons = 0;
    needed.filePairs = 0;
  }
  std::string refusal = comparisonRefusal(needed, budget);
  if (!refusal.empty()) {
    engine.running = false;
    target.scanFailed(refusal);
    return 0;
  }

  CompareOutcome outcome;
  std::size_t filled = 0;
  // A scan that ends early keeps the results it reached, and no empty place.
  const auto dropUnfilled = [&engine, &filled] {
    auto& results = engine.pairResults;
    results.erase(results.begin() + static_cast<std::ptrdiff_t>(filled), results.end());
  };
  try {
    if (engine.beforeComparing) {
      engine.beforeComparing(engine);
      if (!engine.running) return 0;
    }
    giveScanWordIds(engine, counts);
    ScanPlan plan;
    if (choosing) {
      ChosenComparisons chosen = engine.comparisonChooser(engine, budget);
      refusal = chosen.refusal;
      needed.comparisons = chosen.pairs.size();
      needed.filePairs = std::min<std::uint64_t>(counts.filePairs, chosen.pairs.size());
      if (refusal.empty()) refusal = comparisonRefusal(needed, budget);
      if (!refusal.empty()) {
        engine.running = false;
        target.scanFailed(refusal);
        return 0;
      }
      plan = planChosen(engine, std::move(chosen.pairs), engine.pairResults);
    } else {
      plan = planScan(engine, counts, engine.pairResults);
    }
    engine.filePairsCompared = static_cast<std::int64_t>(counts.filePairs);
    engine.workspace.reserve(plan.longestGroup);
    outcome = compareAll(engine, target, plan, filled);
  } catch (const std::bad_alloc&) {
    dropUnfilled();
    if (engine.resultCache != nullptr) engine.resultCache->scanEnded();
    engine.workspace.release();
    engine.running = false;
    target.scanFailed(kOutOfMemoryMessage);
    return 0;
  }
  if (engine.resultCache != nullptr) engine.resultCache->scanEnded();
  engine.workspace.release();
  if (outcome == CompareOutcome::kCancelled) {
    dropUnfilled();
    return 0;
  }

  target.post(WM_SCAN_SET_POS, 0, 0);
  target.showNotice(kFinishedNotice);
  engine.running = false;
  return 1;
}

}  // namespace orvalis
