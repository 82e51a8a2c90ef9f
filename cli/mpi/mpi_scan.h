// The ranks of orvalis-scan-mpi. Every rank reads the files itself from shared
// storage; rank 0 runs orvalis-scan's own run and takes each file pair's
// results from the workers, which it hands ranges of pairs to.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/mpi/scan_records.h"
#include "cli/scan_command.h"
#include "engine/comparison_cache.h"

namespace orvalis::cli::mpi {

// What rank 0 does with a journal.
struct JournalRequest {
  std::filesystem::path file;
  bool resume = false;  // read the finished ranges first and add to them
};

// What the run lists, which decides whether rank 0 can keep scores alone.
struct ListingNeeds {
  // Every result in full: the HTML report (its map and its counts take every
  // result), and --all with --json or --max-evalue.
  bool everything = false;
  std::optional<double> maxEvalue;  // the listing by E-value, else by threshold
  bool showAll = false;
  bool pairs = false;  // the file pairs table, with its own E-value cut
};
ListingNeeds listingNeeds(const ScanOptions& options);

// Counted by rank 0 for the benchmark.
struct CoordinatorStats {
  std::uint64_t records = 0;            // comparison results received from workers
  std::uint64_t bytes = 0;              // encoded bytes received from workers
  std::uint64_t resumedRecords = 0;     // taken from the journal instead
  std::uint64_t pairsComputedHere = 0;  // by rank 0's scan, not given by a worker
  std::uint64_t kept = 0;               // whole results rank 0 kept when it kept scores alone
  bool scoresAlone = false;             // whether it did
};

// Rank 0's side: the scan's source of file pair results. The scan asks for the
// pairs in order; each request waits, handing out further ranges meanwhile,
// until a worker has sent that pair's results. A pair the workers could not
// give (or gave for other file contents) is computed by the scan itself.
class Coordinator final : public ComparisonCache {
 public:
  Coordinator(int ranks, std::optional<JournalRequest> journal, ListingNeeds needs = {});

  // The start hook of the run: sends the job to every worker, opens the journal.
  ScanStartHookResult start(CompareEngine& engine, ComparisonCache* cache,
                            const std::vector<std::filesystem::path>& files,
                            const std::vector<std::filesystem::path>& earlierFiles);

  bool find(const ComparisonKey& key, std::size_t count, std::vector<PairResult>& results) override;
  void store(const ComparisonKey& key, const std::vector<PairResult>& results) override;
  void scanEnded() override;

  // After the run, started or not: lets every worker end.
  void finish();

  const CoordinatorStats& stats() const { return stats_; }
  // Why the journal stopped being written during the run; empty when it was not.
  const std::string& journalFailure() const { return journalFailure_; }

 private:
  void beginHandOut();
  // After the scan of a run that keeps scores alone: every score from the
  // workers, then the figures and the results the listing takes.
  KeptApartResults collect(CompareEngine& engine);
  // Appends the scores of pair number `pair` from the results cache or the
  // workers; false when neither has them.
  bool takeScores(std::int64_t pair, const ComparisonKey& key, std::size_t count,
                  std::vector<float>& scores);
  // Pair number `pair`'s results from the results cache or the workers.
  bool take(std::int64_t pair, const ComparisonKey& key, std::size_t count,
            std::vector<PairResult>& results);
  // Receives one message of a worker, keeps and journals its records and
  // answers with the worker's next range.
  void serviceOne();

  int ranks_;
  std::optional<JournalRequest> journalRequest_;
  ListingNeeds needs_;
  bool keepApart_ = false;
  CompareEngine* engine_ = nullptr;
  ComparisonCache* inner_ = nullptr;
  std::unique_ptr<Journal> journal_;
  std::string journalFailure_;
  std::vector<RangeRecords> resumed_;
  bool jobSent_ = false;
  bool planned_ = false;
  std::vector<PairRange> ranges_;
  std::size_t nextRange_ = 0;
  std::map<std::int64_t, PairRecords> arrived_;
  std::int64_t nextPair_ =
      0;                  // the pair the scan asks for next; records of earlier ones are dropped
  int openRequests_ = 0;  // requests of the workers that rank 0 has not answered
  CoordinatorStats stats_;
};

// A worker rank's whole life: waits for the job (or the end), loads the files,
// computes the ranges it is given and sends their records back.
void runWorker();

}  // namespace orvalis::cli::mpi
