// The records of one scan: the engine with its settings, files, word groups,
// words and results.
//
// Ownership is a strict tree: the engine owns its FileEntry records, each entry
// owns its WordGroup objects, each group owns its WordEntry values. PairResult
// values sit in the engine's results and point, without owning, at two groups of
// the same scan, so the file table and the results are always discarded together.
#pragma once

#include <atomic>
#include <chrono>
#include <compare>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/align_workspace.h"
#include "engine/input_file.h"
#include "engine/result_table.h"
#include "engine/sha256.h"

namespace orvalis {

class ComparisonCache;
class MemoryBudget;
class ScanTarget;
class TextSource;
struct FileEntry;

// Built-in settings; a freshly created settings store holds the same values.
inline constexpr float kDefaultMismatchScore = -0.33f;
inline constexpr float kDefaultGapScore = -0.5f;
inline constexpr std::int32_t kDefaultGroupSize = 1000;

// One word: a maximal run of bytes other than blank and line feed.
struct WordEntry {
  std::string text;  // the word's bytes exactly as they stand in the text
  // Offset just past the word's last byte: in the whole text while splitting,
  // relative to the group's first word once grouped.
  std::int32_t endOffset = 0;

  std::int32_t startOffset() const { return endOffset - static_cast<std::int32_t>(text.size()); }
};

// A run of consecutive words of one file that the alignment compares as a unit.
struct WordGroup {
  FileEntry* file = nullptr;     // not owning
  std::vector<WordEntry> words;  // in text order; offsets relative to startOffset
  // Span in the file's text: from the first word's first byte to the last word's
  // end, plus the one separator after it for every group but the file's last.
  std::int32_t length = 0;
  // Offset in the file's text of the group's first byte. Adding it to a word's
  // relative offset gives the word's offset in the file.
  std::int32_t startOffset = 0;
  // Each word's id in the scan's vocabulary: equal ids for equal texts. Empty
  // until a scan gives ids; the alignment then makes its own.
  std::vector<std::uint32_t> wordIds = {};
  // The vocabulary that wordIds belong to, 0 for none. Two groups' ids compare
  // only when they belong to the same vocabulary.
  std::uint64_t vocabulary = 0;
};

// One file of a scan.
struct FileEntry {
  std::filesystem::path path;         // exactly as passed to startScan
  std::filesystem::path displayName;  // the last component of path
  // The file's word groups, keyed 0, 1, 2, ... in text order; empty until loaded.
  std::map<std::int32_t, std::unique_ptr<WordGroup>> groups;
  std::int32_t index = 0;  // position in the scan's path list; key in fileTable
  // Whether the text read is valid UTF-8; otherwise its bytes are shown as
  // Windows-1252 characters.
  bool textIsUtf8 = true;
  // The file's size and time of change when the scan read it, to tell whether
  // the file shown later is still the one the offsets were found in.
  FileStamp stamp = {};
  // A file of earlier work: compared with the other files of the scan but
  // never with another file of earlier work.
  bool earlier = false;
  // The SHA-256 of the bytes read, when the scan has a results cache.
  std::optional<Sha256Digest> digest = std::nullopt;
  // What kind of document the text came from ("docx", "pdf", ...); empty for
  // a file read as plain text.
  std::string format;
  // The scan's text source, which views and reports read the file through
  // again; null when the scan read every file as plain text. Not owning.
  const TextSource* textSource = nullptr;
  // Words set aside, one flag per word of the file in text order (empty for
  // none): a set-aside word pairs with no word in any comparison, while its
  // text and offsets stay as they are. Filled before the comparisons start.
  std::vector<bool> setAside = {};
};

// The outcome of aligning two word groups. Offsets count bytes of each file's
// text as read in text mode (a CR LF pair counts once).
struct PairResult {
  const WordGroup* groupA = nullptr;  // the first file's group: the higher file index
  const WordGroup* groupB = nullptr;
  std::int32_t startA = 0;
  std::int32_t endA = 0;
  std::int32_t startB = 0;
  std::int32_t endB = 0;
  float score = 0.0f;
  // Each side of the alignment, one item per step: a word and a blank, or " * "
  // for a gap. UTF-8.
  std::string consensusA;
  std::string consensusB;
};

// A scan's results under their comparison numbers.
using ResultTable = NumberedResults<PairResult>;

// One comparison named by its place: the two files' indexes (the higher first)
// and the numbers of their groups. Ordered as the scan numbers comparisons.
struct GroupPairIndex {
  std::int32_t fileA = 0;
  std::int32_t fileB = 0;
  std::int32_t groupA = 0;
  std::int32_t groupB = 0;
  auto operator<=>(const GroupPairIndex&) const = default;
};

// The comparisons that a scan computes when not every one is wanted.
struct ChosenComparisons {
  std::vector<GroupPairIndex> pairs;  // in any order; repeats and pairs not compared are ignored
  std::string refusal;                // not empty: the scan cannot go on, and why
};

// Everything about a scan: settings, files, results, the work space of the
// alignment, and the worker thread with its running flag.
//
// The user-interface thread calls startScan, clearScan and the destructor only
// while no worker runs. While a worker runs it alone touches the file table,
// the results and the work space; `running` is the one field both threads use.
class CompareEngine {
 public:
  CompareEngine() = default;
  ~CompareEngine();
  CompareEngine(const CompareEngine&) = delete;
  CompareEngine& operator=(const CompareEngine&) = delete;

  // Discards the previous scan, builds one FileEntry per path and starts the
  // worker, which posts its progress to `target` (may be null). The caller sets
  // `running` first. Returns false, with `running` cleared, when the worker
  // thread cannot be started.
  // Files of `earlierPaths` follow those of `paths` in the file table, marked
  // as earlier work.
  bool startScan(ScanTarget* target, std::vector<std::filesystem::path> paths,
                 std::vector<std::filesystem::path> earlierPaths = {});

  // Whether a scan compares the files `a` and `b` (a's index the higher): not
  // when both are earlier work, nor when pairFilter says no.
  bool comparesPair(const FileEntry& a, const FileEntry& b) const;

  // Releases every file, group, word and result of the current scan.
  void clearScan();

  // Blocks until the worker of the latest scan has ended; returns at once when
  // there is none.
  void waitForWorker();

  std::int32_t moveCode = 0;                    // the move of the last cell the alignment computed
  float mismatchScore = kDefaultMismatchScore;  // MU: score of two different words
  float gapScore = kDefaultGapScore;            // DELTA: score of a word against a gap
  std::int32_t groupSize = kDefaultGroupSize;   // NUM_WORDS_PER_GROUPING
  std::thread workerThread;
  std::map<std::int32_t, std::unique_ptr<FileEntry>> fileTable;
  ResultTable pairResults;
  ScanTarget* notifyWindow = nullptr;
  std::atomic<bool> running{false};
  AlignWorkspace workspace;  // the alignment's matrices, sized once per scan

  // Pause after each comparison, which keeps a desktop scan from taking a whole
  // core; a front end without a window may set it to zero.
  std::chrono::milliseconds comparisonPause{1};
  // Number of threads that compute comparisons. Results and messages are the
  // same for any count.
  int comparisonThreads = 1;
  // The most memory a scan may use, in bytes; 0 for as much as the system can
  // give. A scan checks what it will need before it loads each file and before
  // it compares, and stops with a message rather than run out.
  std::uint64_t memoryLimit = 0;
  // Decides which further file pairs a scan leaves out (the file with the
  // higher index first); empty to leave none out. A pair left out makes no
  // comparisons, is not counted among the scan's file pairs and takes no
  // comparison numbers.
  std::function<bool(const FileEntry& a, const FileEntry& b)> pairFilter;
  // Results of file pairs compared before, found by the files' contents and
  // the settings; null for none. Not owned; the worker alone uses it.
  ComparisonCache* resultCache = nullptr;
  // Chooses, once the files are loaded and their words have ids, the only
  // comparisons that a scan computes; empty to compute every one. The others
  // make no result but keep their numbers, so each result is stored under the
  // number and holds exactly what a scan of every comparison gives; the budget
  // is what the scan may still use. A scan with a chooser takes nothing from
  // resultCache and stores nothing in it.
  std::function<ChosenComparisons(const CompareEngine&, const MemoryBudget&)> comparisonChooser;
  // Counted by the latest scan: every comparison of its file pairs, computed
  // or not.
  std::int64_t comparisonsTotal = 0;
  // Counted by the latest scan: the file pairs it compared and, of these, the
  // ones whose results came from resultCache.
  std::int64_t filePairsCompared = 0;
  std::int64_t filePairsFromCache = 0;
  // Turns documents into text; null reads every file as plain text. Not
  // owning: it must outlive every scan and every FileEntry of this engine.
  const TextSource* textSource = nullptr;
  // Threads that turn documents into text; 0 for as many as comparisonThreads.
  int documentThreads = 0;
  // Called on the worker thread once every file is loaded and before the first
  // comparison; may fill each file's setAside flags.
  std::function<void(CompareEngine&)> beforeComparing;
};

}  // namespace orvalis
