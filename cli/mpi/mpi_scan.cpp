#include "cli/mpi/mpi_scan.h"

#include <mpi.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "analysis/listing_cap.h"
#include "analysis/shared_text_statistics.h"
#include "engine/align.h"
#include "engine/encoding.h"
#include "engine/text.h"

namespace orvalis::cli::mpi {
namespace {

// Message tags. Rank 0 sends a worker the job (or the end), then a range after
// each of the worker's messages; an empty range ends the worker's work. A
// worker sends the records of each range it finished, and kRangesInHand empty
// ranges first, to ask for its first ranges: it always holds the next range
// while it computes one, so that it never waits for rank 0 to answer.
constexpr int kTagJob = 1;
constexpr int kTagStop = 2;
constexpr int kTagRange = 3;
constexpr int kTagRecords = 4;
constexpr int kRangesInHand = 2;

// Waits for a message by polling with growing pauses rather than in a blocking
// receive, which Open MPI spins in: rank 0 mostly waits and must leave its
// core to a worker. The longest pause keeps the wake-ups of a long wait few;
// no worker waits for rank 0 to wake, since each holds its next range and
// sends its records without waiting for them to be received.
MPI_Status waitForMessage(int source, int tag) {
  auto pause = std::chrono::microseconds(20);
  for (;;) {
    int arrived = 0;
    MPI_Status status;
    MPI_Iprobe(source, tag, MPI_COMM_WORLD, &arrived, &status);
    if (arrived != 0) return status;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(8000));
  }
}

std::string receiveBytes(const MPI_Status& status) {
  int size = 0;
  MPI_Get_count(&status, MPI_BYTE, &size);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  MPI_Recv(bytes.data(), size, MPI_BYTE, status.MPI_SOURCE, status.MPI_TAG, MPI_COMM_WORLD,
           MPI_STATUS_IGNORE);
  return bytes;
}

void sendBytes(int destination, int tag, const std::string& bytes) {
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
    throw std::length_error("a message of more than 2 GiB");
  }
  MPI_Send(bytes.data(), static_cast<int>(bytes.size()), MPI_BYTE, destination, tag,
           MPI_COMM_WORLD);
}

void sendRange(int destination, const PairRange& range) {
  const std::int64_t bounds[2] = {range.first, range.end};
  MPI_Send(bounds, 2, MPI_INT64_T, destination, kTagRange, MPI_COMM_WORLD);
}

// The pair's results on the worker, or an incomplete record when the worker
// has no such pair or runs out of memory.
PairRecords computePair(CompareEngine& engine, const std::vector<WorkPair>& plan,
                        std::int64_t number, bool scoresOnly) {
  PairRecords records;
  if (number < 0 || number >= static_cast<std::int64_t>(plan.size())) return records;
  const WorkPair& pair = plan[static_cast<std::size_t>(number)];
  if (!pair.fileA->digest || !pair.fileB->digest) return records;
  records.digestA = *pair.fileA->digest;
  records.digestB = *pair.fileB->digest;
  try {
    const std::size_t count = pair.fileA->groups.size() * pair.fileB->groups.size();
    if (scoresOnly) {
      records.scores.reserve(count);
    } else {
      records.results.reserve(count);
    }
    for (const auto& [numberA, groupA] : pair.fileA->groups) {
      for (const auto& [numberB, groupB] : pair.fileB->groups) {
        PairResult result;
        result.groupA = groupA.get();
        result.groupB = groupB.get();
        alignGroups(engine, result, groupA->startOffset, groupB->startOffset);
        result.groupA = nullptr;
        result.groupB = nullptr;
        if (scoresOnly) {
          records.scores.push_back(result.score);
        } else {
          records.results.push_back(std::move(result));
        }
      }
    }
    records.complete = true;
  } catch (const std::bad_alloc&) {
    records.results = {};
    records.scores = {};
  }
  return records;
}

}  // namespace

ListingNeeds listingNeeds(const ScanOptions& options) {
  ListingNeeds needs;
  needs.everything =
      options.htmlFile.has_value() || (options.showAll && (options.json || options.maxEvalue));
  needs.maxEvalue = options.maxEvalue;
  needs.showAll = options.showAll;
  needs.pairs = options.pairs;
  return needs;
}

Coordinator::Coordinator(int ranks, std::optional<JournalRequest> journal, ListingNeeds needs)
    : ranks_(ranks), journalRequest_(std::move(journal)), needs_(needs) {}

ScanStartHookResult Coordinator::start(CompareEngine& engine, ComparisonCache* cache,
                                       const std::vector<std::filesystem::path>& files,
                                       const std::vector<std::filesystem::path>& earlierFiles) {
  ScanJob job;
  job.mismatchScore = engine.mismatchScore;
  job.gapScore = engine.gapScore;
  job.groupSize = engine.groupSize;
  job.files = files;
  job.earlierFiles = earlierFiles;
  // Words set aside change the comparisons in ways the workers do not repeat:
  // then rank 0 computes every pair itself, as the results cache does.
  keepApart_ = !needs_.everything && !engine.beforeComparing && !engine.comparisonChooser;
  job.scoresOnly = keepApart_;
  if (journalRequest_) {
    std::string error;
    const Sha256Digest fingerprint = scanFingerprint(job);
    journal_ = journalRequest_->resume
                   ? Journal::resume(journalRequest_->file, fingerprint, resumed_, error)
                   : Journal::create(journalRequest_->file, fingerprint, error);
    if (!journal_) {
      return {nullptr, "cannot use the journal " + lineText(journalRequest_->file) + ": " + error};
    }
  }
  const std::string bytes = encodeJob(job);
  for (int worker = 1; worker < ranks_; ++worker) sendBytes(worker, kTagJob, bytes);
  jobSent_ = true;
  openRequests_ = (ranks_ - 1) * kRangesInHand;
  engine_ = &engine;
  inner_ = cache;
  if (!keepApart_) return {this, {}};
  // The scan loads the files and leaves every comparison to collect.
  engine.comparisonChooser = [](const CompareEngine&, const MemoryBudget&) {
    return ChosenComparisons{};
  };
  return {this, {}, [this](CompareEngine& scanned) { return collect(scanned); }};
}

bool Coordinator::takeScores(std::int64_t pair, const ComparisonKey& key, std::size_t count,
                             std::vector<float>& scores) {
  std::vector<PairResult> found;
  if (inner_ != nullptr && inner_->find(key, count, found)) {
    arrived_.erase(pair);
    for (const PairResult& result : found) scores.push_back(result.score);
    return true;
  }
  while (!arrived_.contains(pair) && openRequests_ > 0) serviceOne();
  auto node = arrived_.extract(pair);
  if (node.empty()) return false;
  const PairRecords& records = node.mapped();
  if (!records.complete || records.digestA != key.first || records.digestB != key.second) {
    return false;
  }
  if (records.scores.size() == count) {
    scores.insert(scores.end(), records.scores.begin(), records.scores.end());
  } else if (records.results.size() == count) {
    for (const PairResult& result : records.results) scores.push_back(result.score);
  } else {
    return false;
  }
  return true;
}

KeptApartResults Coordinator::collect(CompareEngine& engine) {
  if (!planned_) beginHandOut();
  const std::vector<WorkPair> plan = planWorkPairs(engine);
  // Rank 0 keeps one score per comparison, in comparison order.
  std::vector<float> scores;
  scores.reserve(static_cast<std::size_t>(std::max<std::int64_t>(engine.comparisonsTotal, 0)));
  for (std::size_t number = 0; number < plan.size(); ++number) {
    const WorkPair& pair = plan[number];
    const std::size_t count = pair.fileA->groups.size() * pair.fileB->groups.size();
    ComparisonKey key;
    if (pair.fileA->digest && pair.fileB->digest) {
      key.first = *pair.fileA->digest;
      key.second = *pair.fileB->digest;
    }
    key.mismatchScore = engine.mismatchScore;
    key.gapScore = engine.gapScore;
    key.groupSize = effectiveGroupSize(engine.groupSize);
    const auto at = static_cast<std::int64_t>(number);
    const bool known =
        pair.fileA->digest && pair.fileB->digest && takeScores(at, key, count, scores);
    nextPair_ = at + 1;
    if (known) continue;
    ++stats_.pairsComputedHere;
    for (const auto& [numberA, groupA] : pair.fileA->groups) {
      for (const auto& [numberB, groupB] : pair.fileB->groups) {
        PairResult result;
        result.groupA = groupA.get();
        result.groupB = groupB.get();
        scores.push_back(alignGroups(engine, result, groupA->startOffset, groupB->startOffset));
      }
    }
  }
  if (inner_ != nullptr) inner_->scanEnded();
  if (scores.size() != static_cast<std::size_t>(engine.comparisonsTotal)) {
    throw std::runtime_error("the comparisons of rank 0 and of the workers differ");
  }

  // Every comparison with its groups, in comparison order.
  const auto eachComparison = [&](const auto& visit) {
    std::int32_t key = 0;
    for (const WorkPair& pair : plan) {
      for (const auto& [numberA, groupA] : pair.fileA->groups) {
        for (const auto& [numberB, groupB] : pair.fileB->groups) {
          visit(ScoredComparison{key, scores[static_cast<std::size_t>(key)], groupA.get(),
                                 groupB.get()});
          ++key;
        }
      }
    }
  };
  KeptApartResults figures;
  figures.results = scores.size();
  figures.threshold = computeScoreThreshold(scores);
  figures.model =
      significanceOfScan(engine, eachComparison, scores.size(), engine.comparisonThreads);

  // The results the listing, the pairs and the E-value listing can take, and
  // each file pair's strongest result.
  const bool smallScan = scores.size() < 4;  // its listing looks at offsets: every result
  const double pairCut = needs_.maxEvalue.value_or(kPairMaxEvalue);
  std::vector<ScoredComparison> wanted;
  std::size_t listedByThreshold = 0;
  struct Best {
    double logE = 0.0;
    std::int32_t key = 0;
  };
  std::map<std::pair<std::int32_t, std::int32_t>, Best> best;
  eachComparison([&](const ScoredComparison& one) {
    bool want = smallScan;
    if (!needs_.maxEvalue && (needs_.showAll || figures.threshold < one.score)) {
      ++figures.aboveThreshold;
      if (listedByThreshold < static_cast<std::size_t>(kMaxListedResults)) {
        ++listedByThreshold;
        want = true;
      }
    }
    if (needs_.maxEvalue || needs_.pairs) {
      const double logE =
          logEvalue(figures.model, one.score, static_cast<std::int64_t>(one.groupA->words.size()),
                    static_cast<std::int64_t>(one.groupB->words.size()));
      const double evalue = std::exp(logE);
      if (needs_.maxEvalue && evalue <= *needs_.maxEvalue) want = true;
      if (needs_.pairs) {
        if (evalue <= pairCut) want = true;
        const auto [found, added] = best.try_emplace(
            std::pair(one.groupA->file->index, one.groupB->file->index), Best{logE, one.key});
        if (!added && logE < found->second.logE) found->second = {logE, one.key};
      }
    }
    if (want) wanted.push_back(one);
  });
  scores = {};
  for (const ScoredComparison& one : wanted) {
    PairResult& result = engine.pairResults[one.key];
    result.groupA = one.groupA;
    result.groupB = one.groupB;
    alignGroups(engine, result, one.groupA->startOffset, one.groupB->startOffset);
  }
  stats_.scoresAlone = true;
  stats_.kept = engine.pairResults.size();
  if (smallScan) {
    figures.aboveThreshold = countListable(engine.pairResults, figures.threshold, needs_.showAll);
  }
  figures.completePairs = [best = std::move(best)](FilePairTable& table) {
    for (const auto& [files, strongest] : best) {
      if (const auto at = table.find(files.first, files.second)) {
        table.pairs[*at].bestEvalue = std::exp(strongest.logE);
        table.pairs[*at].bestComparison = strongest.key;
      }
    }
  };
  return figures;
}

void Coordinator::beginHandOut() {
  planned_ = true;
  const std::vector<WorkPair> plan = planWorkPairs(*engine_);
  std::vector<bool> done(plan.size(), false);
  for (RangeRecords& block : resumed_) {
    if (block.range.end > static_cast<std::int64_t>(plan.size())) continue;
    for (std::int64_t pair = block.range.first; pair < block.range.end; ++pair) {
      PairRecords& records = block.pairs[static_cast<std::size_t>(pair - block.range.first)];
      if (!records.complete) continue;
      stats_.resumedRecords += records.results.size() + records.scores.size();
      done[static_cast<std::size_t>(pair)] = true;
      arrived_[pair] = std::move(records);
    }
  }
  resumed_.clear();
  // Enough ranges for every worker to take several, so that the last ones end
  // close together, but each worth a message and a journal block.
  std::uint64_t cells = 0;
  for (std::size_t pair = 0; pair < plan.size(); ++pair) {
    if (!done[pair]) cells += plan[pair].cells;
  }
  const std::uint64_t target =
      std::clamp<std::uint64_t>(cells / (static_cast<std::uint64_t>(ranks_ - 1) * 16),
                                std::uint64_t{1} << 22, std::uint64_t{1} << 30);
  ranges_ = splitRanges(plan, done, target);
}

void Coordinator::serviceOne() {
  const MPI_Status status = waitForMessage(MPI_ANY_SOURCE, kTagRecords);
  const std::string bytes = receiveBytes(status);
  auto records = decodeRange(bytes);
  if (!records) throw std::runtime_error("a worker sent damaged results");
  if (records->range.end > records->range.first) {
    if (journal_ && !journal_->append(bytes)) {
      // The run goes on; only a resume would lose the ranges from here on.
      journalFailure_ = "cannot write the journal " + lineText(journalRequest_->file) + ": " +
                        std::generic_category().message(errno);
      journal_.reset();
    }
    stats_.bytes += bytes.size();
    for (std::int64_t pair = records->range.first; pair < records->range.end; ++pair) {
      PairRecords& one = records->pairs[static_cast<std::size_t>(pair - records->range.first)];
      stats_.records += one.results.size() + one.scores.size();
      if (pair >= nextPair_) arrived_[pair] = std::move(one);
    }
  }
  if (nextRange_ < ranges_.size()) {
    sendRange(status.MPI_SOURCE, ranges_[nextRange_++]);
  } else {
    sendRange(status.MPI_SOURCE, {});
    --openRequests_;
  }
}

bool Coordinator::find(const ComparisonKey& key, std::size_t count,
                       std::vector<PairResult>& results) {
  if (!planned_) beginHandOut();
  // Records of this pair arriving while it waits are kept; earlier ones are
  // no longer asked for.
  const std::int64_t pair = nextPair_;
  const bool found = take(pair, key, count, results);
  nextPair_ = pair + 1;
  if (!found) ++stats_.pairsComputedHere;
  return found;
}

bool Coordinator::take(std::int64_t pair, const ComparisonKey& key, std::size_t count,
                       std::vector<PairResult>& results) {
  if (inner_ != nullptr && inner_->find(key, count, results)) {
    arrived_.erase(pair);
    return true;
  }
  results.clear();
  while (!arrived_.contains(pair) && openRequests_ > 0) serviceOne();
  auto node = arrived_.extract(pair);
  if (node.empty()) return false;
  PairRecords& records = node.mapped();
  if (!records.complete || records.digestA != key.first || records.digestB != key.second ||
      records.results.size() != count) {
    return false;
  }
  results = std::move(records.results);
  if (inner_ != nullptr) inner_->store(key, results);
  return true;
}

void Coordinator::store(const ComparisonKey& key, const std::vector<PairResult>& results) {
  if (inner_ != nullptr) inner_->store(key, results);
}

void Coordinator::scanEnded() {
  // A run that keeps scores alone still uses the cache after the scan.
  if (inner_ != nullptr && !keepApart_) inner_->scanEnded();
}

void Coordinator::finish() {
  if (!jobSent_) {
    for (int worker = 1; worker < ranks_; ++worker) sendBytes(worker, kTagStop, {});
    return;
  }
  // What remains is not asked for any more; ranges under way still reach the
  // journal.
  nextRange_ = ranges_.size();
  nextPair_ = INT64_MAX;
  arrived_.clear();
  while (openRequests_ > 0) serviceOne();
}

void runWorker() {
  const MPI_Status first = waitForMessage(0, MPI_ANY_TAG);
  const std::string bytes = receiveBytes(first);
  if (first.MPI_TAG != kTagJob) return;
  const auto job = decodeJob(bytes);
  if (!job) throw std::runtime_error("rank 0 sent a damaged job");

  // The same file table and settings as rank 0's scan.
  CompareEngine engine;
  engine.mismatchScore = job->mismatchScore;
  engine.gapScore = job->gapScore;
  engine.groupSize = job->groupSize;
  engine.comparisonPause = std::chrono::milliseconds(0);
  std::vector<std::filesystem::path> paths = job->files;
  paths.insert(paths.end(), job->earlierFiles.begin(), job->earlierFiles.end());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    auto entry = std::make_unique<FileEntry>();
    entry->path = paths[i];
    entry->displayName = entry->path.filename();
    entry->index = static_cast<std::int32_t>(i);
    entry->earlier = i >= job->files.size();
    engine.fileTable.emplace(entry->index, std::move(entry));
  }
  const std::int32_t groupSize = effectiveGroupSize(engine.groupSize);
  std::vector<WordGroup*> groups;
  for (auto& [index, entry] : engine.fileTable) {
    try {
      loadFileEntry(*entry, groupSize, nullptr, true);
    } catch (const std::bad_alloc&) {
      entry->groups.clear();
    }
    for (auto& [number, group] : entry->groups) groups.push_back(group.get());
  }
  giveWordIds(groups);
  const std::vector<WorkPair> plan = planWorkPairs(engine);

  // Records go out while the next range is computed; their bytes stay until
  // the send is complete.
  std::string inFlight;
  MPI_Request sending = MPI_REQUEST_NULL;
  const auto send = [&](std::string records) {
    MPI_Wait(&sending, MPI_STATUS_IGNORE);
    if (records.size() > static_cast<std::size_t>(INT_MAX)) {
      throw std::length_error("a message of more than 2 GiB");
    }
    inFlight = std::move(records);
    MPI_Isend(inFlight.data(), static_cast<int>(inFlight.size()), MPI_BYTE, 0, kTagRecords,
              MPI_COMM_WORLD, &sending);
  };
  const auto receiveRange = [] {
    std::int64_t bounds[2] = {0, 0};
    MPI_Status status = waitForMessage(0, kTagRange);
    MPI_Recv(bounds, 2, MPI_INT64_T, 0, kTagRange, MPI_COMM_WORLD, &status);
    return PairRange{bounds[0], bounds[1]};
  };
  for (int request = 0; request < kRangesInHand; ++request) send(encodeRange({}));
  int open = kRangesInHand;  // requests not answered yet
  for (;;) {
    const PairRange range = receiveRange();
    --open;
    if (range.end <= range.first) {
      // Every later answer is the end too.
      for (; open > 0; --open) receiveRange();
      MPI_Wait(&sending, MPI_STATUS_IGNORE);
      return;
    }
    RangeRecords done;
    done.range = range;
    for (std::int64_t pair = range.first; pair < range.end; ++pair) {
      done.pairs.push_back(computePair(engine, plan, pair, job->scoresOnly));
    }
    send(encodeRange(done));
    ++open;
  }
}

}  // namespace orvalis::cli::mpi
