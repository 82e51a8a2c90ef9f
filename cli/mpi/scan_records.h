// What the ranks of a distributed scan share without MPI: the list of file
// pairs whose comparisons are handed out, the ranges they are handed out in,
// the records of a range's results as bytes, the description of a scan that
// every rank repeats, and the journal of finished ranges.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/records.h"
#include "engine/sha256.h"

namespace orvalis::cli::mpi {

// One file pair with comparisons, in the order the scan numbers them; pairs
// in which either file has no words make none and are left out.
struct WorkPair {
  const FileEntry* fileA = nullptr;  // the higher index
  const FileEntry* fileB = nullptr;
  std::uint64_t cells = 0;  // alignment cells, with each comparison's set-up
};
std::vector<WorkPair> planWorkPairs(const CompareEngine& engine);

// Pair ranges [first, end) covering every pair not yet `done`, in order, each
// ending once it holds `targetCells` cells or meets a done pair.
struct PairRange {
  std::int64_t first = 0;
  std::int64_t end = 0;
  bool operator==(const PairRange&) const = default;
};
std::vector<PairRange> splitRanges(const std::vector<WorkPair>& pairs,
                                   const std::vector<bool>& done, std::uint64_t targetCells);

// The results of one pair as a worker computed them; not complete when the
// worker could not compute them (then the coordinator computes them itself).
// Either whole results or, where the coordinator keeps scores only, the
// scores alone, one per comparison.
struct PairRecords {
  Sha256Digest digestA{};
  Sha256Digest digestB{};
  bool complete = false;
  std::vector<PairResult> results;  // group pointers null
  std::vector<float> scores;        // used when results is empty
};

// The results of the pairs [first, end), one PairRecords each.
struct RangeRecords {
  PairRange range;
  std::vector<PairRecords> pairs;
};
std::string encodeRange(const RangeRecords& records);
// Nothing when the bytes are not a whole, consistent range.
std::optional<RangeRecords> decodeRange(std::string_view bytes);

// What a worker needs to repeat the coordinator's loading and planning.
struct ScanJob {
  float mismatchScore = 0.0f;
  float gapScore = 0.0f;
  std::int32_t groupSize = 0;
  std::vector<std::filesystem::path> files;
  std::vector<std::filesystem::path> earlierFiles;
  bool scoresOnly = false;  // the workers send each comparison's score alone
};
std::string encodeJob(const ScanJob& job);
std::optional<ScanJob> decodeJob(std::string_view bytes);

// Identifies a scan for its journal: settings, file names, sizes and times of
// change. Contents are checked pair by pair through the records' digests.
Sha256Digest scanFingerprint(const ScanJob& job);

// A file of finished ranges: a header with the scan's fingerprint, then one
// block per range (its length, its records, a check sum). A block cut short by
// a killed run is dropped when the journal is resumed.
class Journal {
 public:
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // Starts an empty journal at `file`, replacing what is there.
  static std::unique_ptr<Journal> create(const std::filesystem::path& file,
                                         const Sha256Digest& fingerprint, std::string& error);
  // Reads the finished ranges of the journal at `file` and opens it to add
  // more; a missing file starts an empty journal. Fails for a journal of
  // another scan, leaving the file as it is.
  static std::unique_ptr<Journal> resume(const std::filesystem::path& file,
                                         const Sha256Digest& fingerprint,
                                         std::vector<RangeRecords>& finished, std::string& error);

  // Adds one range's encoded records and pushes them to the system; false
  // when they could not be written.
  bool append(std::string_view encodedRange);

 private:
  explicit Journal(std::FILE* file) : file_(file) {}
  std::FILE* file_;
};

}  // namespace orvalis::cli::mpi
