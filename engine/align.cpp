#include "engine/align.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>

#include "engine/align_strips.h"
#include "engine/bit_mix.h"
#include "engine/encoding.h"

namespace orvalis {

// Scores must come out the same on every platform: IEEE single precision, with
// every sum rounded to it rather than carried in a wider register.
static_assert(std::numeric_limits<float>::is_iec559);
static_assert(FLT_EVAL_METHOD == 0, "build with SSE arithmetic (-mfpmath=sse)");

namespace {

// The strip kernels' largest strip, which every padding below allows for, and
// their smallest, which sets the most strips a group can need.
constexpr std::size_t kMaxStripRows = 64;
constexpr std::size_t kMinStripRows = 32;
// Room left and right of every saved strip row, beyond the strip's own rows.
constexpr std::size_t kRowMargin = kMaxStripRows + 16;

// Ids that no word has: padding of A's strips and of B's reversed ids.
constexpr std::uint32_t kPaddingIdA = 0xFFFFFFFEu;
constexpr std::uint32_t kPaddingIdB = 0xFFFFFFFFu;

const strips::StripKernel* stripKernel(AlignKernel kernel) {
#if defined(ORVALIS_X86_KERNELS)
  switch (kernel) {
    case AlignKernel::kAvx512:
      return strips::avx512Kernel();
    case AlignKernel::kAvx2:
      return strips::avx2Kernel();
    case AlignKernel::kPortable:
      break;
  }
#else
  static_cast<void>(kernel);
#endif
  return nullptr;
}

bool processorHas(AlignKernel kernel) {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  // May run before the constructors that would otherwise fill in what the
  // processor offers.
  __builtin_cpu_init();
  switch (kernel) {
    case AlignKernel::kAvx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vl");
    case AlignKernel::kAvx2:
      return __builtin_cpu_supports("avx2");
    case AlignKernel::kPortable:
      return true;
  }
  return false;
#else
  return kernel == AlignKernel::kPortable;
#endif
}

}  // namespace

AlignKernel chooseAlignKernel(const char* forced) {
  AlignKernel best = AlignKernel::kPortable;
  for (const AlignKernel kernel : {AlignKernel::kAvx2, AlignKernel::kAvx512}) {
    if (alignKernelSupported(kernel)) best = kernel;
  }
  if (forced == nullptr) return best;
  for (const AlignKernel kernel :
       {AlignKernel::kPortable, AlignKernel::kAvx2, AlignKernel::kAvx512}) {
    if (std::string_view(forced) == alignKernelName(kernel) && alignKernelSupported(kernel)) {
      return kernel;
    }
  }
  return best;
}

namespace {
// Vocabularies handed out so far; 0 means none.
std::atomic<std::uint64_t> lastVocabulary{0};
}  // namespace

bool alignKernelSupported(AlignKernel kernel) {
  if (kernel == AlignKernel::kPortable) return true;
  return stripKernel(kernel) != nullptr && processorHas(kernel);
}

AlignKernel defaultAlignKernel() {
  static const AlignKernel kernel = chooseAlignKernel(std::getenv("ORVALIS_KERNEL"));
  return kernel;
}

const char* alignKernelName(AlignKernel kernel) {
  switch (kernel) {
    case AlignKernel::kAvx512:
      return "avx512";
    case AlignKernel::kAvx2:
      return "avx2";
    case AlignKernel::kPortable:
      break;
  }
  return "portable";
}

void AlignWorkspace::reserve(std::size_t maxWords) { reserve(maxWords, kernel); }

namespace {

// The number of elements of each buffer of a work space for groups of up to
// `words` words.
struct WorkspaceSizes {
  std::size_t moves = 0;  // portable kernel: one byte per cell
  std::size_t row = 0;    // portable kernel: each of the two rows of scores
  std::size_t idsA = 0;
  std::size_t idsB = 0;
  std::size_t stripRows = 0;
  std::size_t stripBest = 0;
  std::size_t stripMoves = 0;
  std::size_t lastCells = 0;
};

// A side longer than this cannot be held, and its square would wrap around.
constexpr std::size_t kLongestSide = std::size_t{1}
                                     << (std::numeric_limits<std::size_t>::digits / 2 - 1);

WorkspaceSizes workspaceSizes(std::size_t words) {
  const std::size_t side = words + 1;
  const std::size_t strips = (words + kMinStripRows - 1) / kMinStripRows;
  const std::size_t rowStride = words + 2 * kRowMargin;
  return {.moves = side * side,
          .row = side,
          .idsA = words + kMaxStripRows,
          .idsB = words + 2 * kRowMargin,
          .stripRows = (strips + 1) * rowStride,
          .stripBest = strips,
          .stripMoves = (words + kMaxStripRows) * kMaxStripRows,
          .lastCells = 2 * kMaxStripRows};
}

}  // namespace

void AlignWorkspace::reserve(std::size_t maxWords, AlignKernel forKernel) {
  const bool portable = forKernel == AlignKernel::kPortable;
  if (maxWords <= capacityWords && (!portable || movesCapacityWords >= maxWords)) return;
  const std::size_t words = std::max(maxWords, capacityWords);
  if (words + 1 > kLongestSide) throw std::bad_alloc();
  const WorkspaceSizes sizes = workspaceSizes(words);
  if (portable && movesCapacityWords < words) {
    moves = std::make_unique_for_overwrite<std::uint8_t[]>(sizes.moves);
    previousRow.resize(sizes.row);
    currentRow.resize(sizes.row);
    movesCapacityWords = words;
  }
  if (capacityWords < words) {
    idsA.resize(sizes.idsA);
    idsB.resize(sizes.idsB);
    stripRows.resize(sizes.stripRows);
    stripBest.resize(sizes.stripBest);
    stripMoves.resize(sizes.stripMoves);
    lastCells.resize(sizes.lastCells);
    capacityWords = words;
  }
}

std::uint64_t alignWorkspaceBytes(std::size_t maxWords, AlignKernel kernel) {
  if (maxWords + 1 > kLongestSide) return std::numeric_limits<std::uint64_t>::max();
  const WorkspaceSizes sizes = workspaceSizes(maxWords);
  std::uint64_t bytes = (sizes.idsA + sizes.idsB) * sizeof(std::uint32_t) +
                        (sizes.stripRows + sizes.stripBest + sizes.lastCells) * sizeof(float) +
                        sizes.stripMoves;
  if (kernel == AlignKernel::kPortable) bytes += sizes.moves + 2 * sizes.row * sizeof(float);
  return bytes;
}

void AlignWorkspace::release() {
  moves.reset();
  movesCapacityWords = 0;
  for (auto* row : {&previousRow, &currentRow, &stripRows, &stripBest, &lastCells}) {
    std::vector<float>().swap(*row);
  }
  for (auto* ids : {&idsA, &idsB}) std::vector<std::uint32_t>().swap(*ids);
  std::vector<std::uint8_t>().swap(stripMoves);
  std::unordered_map<std::string_view, std::uint32_t>().swap(localVocabulary);
  capacityWords = 0;
}

namespace {

// A word's hash: eight bytes a step, each step mapping the hash one to one.
std::uint64_t wordHash(std::string_view text) {
  std::uint64_t hash = text.size() * 0x9E3779B97F4A7C15ull;
  std::size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t bytes = 0;
    std::memcpy(&bytes, text.data() + at, 8);
    hash = mixBits(hash ^ bytes);
  }
  std::uint64_t tail = 0;
  if (at < text.size()) std::memcpy(&tail, text.data() + at, text.size() - at);
  return mixBits(hash ^ tail);
}

// Ids for word texts, 0, 1, 2, ... in the order the texts first come: an
// open-addressed table of the ids, looked up by hash, and a copy of each
// distinct text to compare on a match. A scan's few thousand distinct words
// keep both small enough to stay in the processor's caches, where the words
// themselves lie scattered over megabytes.
class Vocabulary {
 public:
  std::uint32_t idOf(std::string_view text) {
    const std::uint64_t hash = wordHash(text);
    for (std::size_t slot = hash & mask_;; slot = (slot + 1) & mask_) {
      Slot& entry = slots_[slot];
      if (entry.id == kEmpty) {
        entry = {hash, static_cast<std::uint32_t>(starts_.size())};
        starts_.push_back(texts_.size());
        texts_.append(text);
        if (2 * starts_.size() > slots_.size()) grow();
        return static_cast<std::uint32_t>(starts_.size() - 1);
      }
      if (entry.hash == hash && textOf(entry.id) == text) return entry.id;
    }
  }
  std::uint32_t size() const { return static_cast<std::uint32_t>(starts_.size()); }

 private:
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
  struct Slot {
    std::uint64_t hash = 0;
    std::uint32_t id = kEmpty;
  };

  std::string_view textOf(std::uint32_t id) const {
    const std::size_t end = id + 1 < starts_.size() ? starts_[id + 1] : texts_.size();
    return std::string_view(texts_).substr(starts_[id], end - starts_[id]);
  }

  void grow() {
    std::vector<Slot> old(2 * slots_.size());
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    for (const Slot& entry : old) {
      if (entry.id == kEmpty) continue;
      std::size_t slot = entry.hash & mask_;
      while (slots_[slot].id != kEmpty) slot = (slot + 1) & mask_;
      slots_[slot] = entry;
    }
  }

  std::vector<Slot> slots_ = std::vector<Slot>(1024);
  std::size_t mask_ = 1023;
  std::string texts_;                // every distinct text, one after another
  std::vector<std::size_t> starts_;  // where each id's text begins in texts_
};

}  // namespace

std::uint32_t giveWordIds(const std::vector<WordGroup*>& groups) {
  const std::uint64_t vocabulary = ++lastVocabulary;
  Vocabulary ids;
  for (WordGroup* group : groups) {
    group->wordIds.resize(group->words.size());
    for (std::size_t i = 0; i < group->words.size(); ++i) {
      group->wordIds[i] = ids.idOf(group->words[i].text);
    }
    group->vocabulary = vocabulary;
  }
  return ids.size();
}

std::uint32_t setAsideWordIds(FileEntry& file, std::uint32_t nextId) {
  if (file.setAside.empty()) return nextId;
  std::size_t word = 0;  // the word's number in the file
  for (auto& [number, group] : file.groups) {
    for (std::size_t i = 0; i < group->wordIds.size(); ++i, ++word) {
      if (word >= file.setAside.size()) return nextId;
      // Ids count words, of which a scan holds far fewer than the padding ids.
      if (file.setAside[word]) group->wordIds[i] = nextId++;
    }
  }
  return nextId;
}

namespace {

struct Cell {
  std::int32_t row = 0;
  std::int32_t col = 0;
  bool operator==(const Cell&) const = default;
};

Cell predecessorOf(Cell cell, std::uint8_t move) {
  switch (move) {
    case kMoveDiagonal:
      return {cell.row - 1, cell.col - 1};
    case kMoveUp:
      return {cell.row - 1, cell.col};
    case kMoveLeft:
      return {cell.row, cell.col - 1};
    default:
      return cell;
  }
}

// The move of one cell from the totals of its three neighbours, in the order of
// the recurrence.
std::uint8_t cellMove(float diagonal, float up, float left, bool same, const AlignScores& scores) {
  float total = diagonal + (same ? 1.0f : scores.mismatch);
  std::uint8_t move = kMoveDiagonal;
  const float upTotal = up + scores.gap;
  if (upTotal > total) {
    total = upTotal;
    move = kMoveUp;
  }
  if (left + scores.gap > total) {
    total = left + scores.gap;
    move = kMoveLeft;
  }
  if (total < 0.0f) move = kMoveRestart;
  return move;
}

// The ids of both groups, written into the work space: A in text order and
// padded to whole strips, B reversed with padding on both sides. Groups of one
// scan bring their ids; others get ids for this comparison alone.
struct IdView {
  const std::uint32_t* a = nullptr;          // A word j at a[j]
  const std::uint32_t* reversedB = nullptr;  // B word k at reversedB[nB - 1 - k]
};

IdView prepareIds(const WordGroup& groupA, const WordGroup& groupB, AlignWorkspace& workspace) {
  const std::size_t nA = groupA.words.size();
  const std::size_t nB = groupB.words.size();
  std::uint32_t* a = workspace.idsA.data();
  std::uint32_t* reversedB = workspace.idsB.data() + kRowMargin;
  const bool shared = groupA.vocabulary != 0 && groupA.vocabulary == groupB.vocabulary &&
                      groupA.wordIds.size() == nA && groupB.wordIds.size() == nB;
  if (shared) {
    std::copy(groupA.wordIds.begin(), groupA.wordIds.end(), a);
    std::reverse_copy(groupB.wordIds.begin(), groupB.wordIds.end(), reversedB);
  } else {
    auto& vocabulary = workspace.localVocabulary;
    vocabulary.clear();
    const auto idOf = [&](const WordEntry& word) {
      return vocabulary.try_emplace(word.text, static_cast<std::uint32_t>(vocabulary.size()))
          .first->second;
    };
    for (std::size_t j = 0; j < nA; ++j) a[j] = idOf(groupA.words[j]);
    for (std::size_t k = 0; k < nB; ++k) reversedB[nB - 1 - k] = idOf(groupB.words[k]);
  }
  std::fill(a + nA, workspace.idsA.data() + workspace.idsA.size(), kPaddingIdA);
  std::fill(workspace.idsB.data(), reversedB, kPaddingIdB);
  std::fill(reversedB + nB, workspace.idsB.data() + workspace.idsB.size(), kPaddingIdB);
  return {a, reversedB};
}

// Where the alignment ends and how each cell was reached: the best cell, and
// the move of any cell on the way back from it.
class MoveSource {
 public:
  virtual ~MoveSource() = default;
  virtual std::uint8_t moveAt(Cell cell) = 0;
};

// Row by row, one cell after another, keeping the move of every cell.
struct PortableAlignment final : MoveSource {
  PortableAlignment(const IdView& ids, std::int32_t nA, std::int32_t nB, const AlignScores& scores,
                    AlignWorkspace& workspace)
      : moves(workspace.moves.get()), stride(nB + 1) {
    float* previous = workspace.previousRow.data();
    float* current = workspace.currentRow.data();
    std::fill(previous, previous + stride, 0.0f);
    current[0] = 0.0f;
    const float mismatch = scores.mismatch;
    const float gap = scores.gap;
    const std::uint32_t* reversedB = ids.reversedB + (nB - 1);
    std::uint8_t move = kMoveDiagonal;
    // Cell (j, k) pairs A word j-1 with B word k-1; row 0 and column 0 are 0.
    //   score(j, k) = max(0, score(j-1, k-1) + (A[j-1] == B[k-1] ? 1 : mismatch),
    //                        score(j-1, k) + gap, score(j, k-1) + gap)
    // Every sum is rounded to single precision. Ties prefer diagonal, then up,
    // then left, and a total of exactly 0 keeps its move. The best cell is the
    // first cell of highest score in row-major order, (0, 0) when none is above
    // 0.
    for (std::int32_t j = 1; j <= nA; ++j) {
      const std::uint32_t idA = ids.a[j - 1];
      std::uint8_t* const rowMoves = moves + static_cast<std::ptrdiff_t>(j) * stride;
      for (std::int32_t k = 1; k <= nB; ++k) {
        float total = previous[k - 1] + (reversedB[-(k - 1)] == idA ? 1.0f : mismatch);
        move = kMoveDiagonal;
        const float up = previous[k] + gap;
        if (up > total) {
          total = up;
          move = kMoveUp;
        }
        const float left = current[k - 1] + gap;
        if (left > total) {
          total = left;
          move = kMoveLeft;
        }
        if (total < 0.0f) {
          total = 0.0f;
          move = kMoveRestart;
        }
        current[k] = total;
        rowMoves[k] = move;
        if (total > bestScore) {
          bestScore = total;
          best = {j, k};
        }
      }
      std::swap(previous, current);
    }
    lastMove = move;
  }

  std::uint8_t moveAt(Cell cell) override {
    return moves[static_cast<std::ptrdiff_t>(cell.row) * stride + cell.col];
  }

  std::uint8_t* moves;
  std::ptrdiff_t stride;
  float bestScore = 0.0f;
  Cell best;
  std::uint8_t lastMove = kMoveDiagonal;
};

// Strips of rows on a vector kernel: a score pass over the whole matrix, then
// the moves of the strip that holds the best cell and, as the way back climbs,
// of the strips above it, each only left of where the way back enters it.
struct StripAlignment final : MoveSource {
  StripAlignment(const strips::StripKernel& kernel, const IdView& ids, std::int32_t nA,
                 std::int32_t nB, const AlignScores& scores, AlignWorkspace& workspace)
      : kernel_(kernel), rows_(kernel.rows) {
    job_.idsA = ids.a;
    job_.reversedB = ids.reversedB;
    job_.nA = nA;
    job_.nB = nB;
    job_.mismatch = scores.mismatch;
    job_.gap = scores.gap;
    job_.rowStride = static_cast<std::ptrdiff_t>(nB) + 2 * kRowMargin;
    job_.rows = workspace.stripRows.data() + kRowMargin;
    job_.stripBest = workspace.stripBest.data();
    job_.lastCells = workspace.lastCells.data();
    job_.moves = workspace.stripMoves.data();
    std::fill(job_.rows - kRowMargin, job_.rows - kRowMargin + job_.rowStride, 0.0f);

    kernel_.score(job_);

    const std::int32_t strips = (nA + rows_ - 1) / rows_;
    std::int32_t bestStrip = -1;
    for (std::int32_t s = 0; s < strips; ++s) {
      if (job_.stripBest[s] > bestScore) {
        bestScore = job_.stripBest[s];
        bestStrip = s;
      }
    }
    if (bestStrip >= 0) {
      // The first strip holding the best score holds its first cell in
      // row-major order: the first of its rows to reach it, at that row's first
      // column to reach it.
      strips::StripHit hit;
      hit.best = bestScore;
      kernel_.moves(job_, bestStrip, nB, &hit);
      loadedStrip_ = bestStrip;
      const std::int32_t validRows = std::min(rows_, nA - bestStrip * rows_);
      for (std::int32_t q = 0; q < validRows; ++q) {
        if (hit.firstColumn[q] != 0) {
          best = {bestStrip * rows_ + 1 + q, hit.firstColumn[q]};
          break;
        }
      }
    }
    lastMove = lastCellMove(ids, scores);
  }

  std::uint8_t moveAt(Cell cell) override {
    const std::int32_t strip = (cell.row - 1) / rows_;
    const std::int32_t q = (cell.row - 1) % rows_;
    if (strip != loadedStrip_) {
      kernel_.moves(job_, strip, cell.col, nullptr);
      loadedStrip_ = strip;
    }
    return job_.moves[static_cast<std::ptrdiff_t>(cell.col + q - 1) * rows_ + q];
  }

  float bestScore = 0.0f;
  Cell best;
  std::uint8_t lastMove = kMoveDiagonal;

 private:
  // The move of cell (nA, nB), from its neighbours as the score pass left them.
  std::uint8_t lastCellMove(const IdView& ids, const AlignScores& scores) const {
    const std::int32_t nA = job_.nA;
    const std::int32_t nB = job_.nB;
    const std::int32_t lastStrip = (nA - 1) / rows_;
    const std::int32_t q = (nA - 1) % rows_;
    // Score of (nA - 1 + dr, c) for dr 0 or 1 and c nB-1 or nB.
    const auto score = [&](std::int32_t localRow, std::int32_t c) -> float {
      if (c == 0) return 0.0f;
      if (localRow < 0) return job_.rows[lastStrip * job_.rowStride + c];
      const std::int32_t step = c + localRow - 1;
      const std::int32_t first = strips::lastCellStep(nA, nB, rows_);
      return job_.lastCells[(step == first ? 0 : rows_) + localRow];
    };
    const bool same = ids.a[nA - 1] == ids.reversedB[0];
    return cellMove(score(q - 1, nB - 1), score(q - 1, nB), score(q, nB - 1), same, scores);
  }

  const strips::StripKernel& kernel_;
  const std::int32_t rows_;
  strips::StripJob job_;
  std::int32_t loadedStrip_ = -1;
};

// A word as it stands in a consensus string: its text and one blank.
void appendItem(std::string& out, const WordGroup& group, std::int32_t wordIndex) {
  const bool utf8 = group.file == nullptr || group.file->textIsUtf8;
  out += decodeTextPiece(group.words[static_cast<std::size_t>(wordIndex)].text, utf8);
  out += ' ';
}

constexpr std::string_view kGapItem = " * ";

// Fills the spans and consensus strings of `result` by walking back from `best`.
void traceBack(MoveSource& source, Cell best, PairResult& result, std::int32_t baseA,
               std::int32_t baseB) {
  const WordGroup& groupA = *result.groupA;
  const WordGroup& groupB = *result.groupB;
  const auto nA = static_cast<std::int32_t>(groupA.words.size());
  const auto nB = static_cast<std::int32_t>(groupB.words.size());
  const auto predecessor = [&](Cell cell) {
    return cell.row == 0 && cell.col == 0 ? cell : predecessorOf(cell, source.moveAt(cell));
  };
  // Coordinates past the last word name the last word.
  const auto clamp = [&](Cell cell) -> Cell {
    return {std::min(cell.row, nA - 1), std::min(cell.col, nB - 1)};
  };

  // The way back starts from the predecessor as limited here, also when the
  // limit moved it.
  Cell p = clamp(predecessor(best));
  result.endA = groupA.words[static_cast<std::size_t>(p.row)].endOffset + baseA;
  result.endB = groupB.words[static_cast<std::size_t>(p.col)].endOffset + baseB;

  // Walk back from the best cell, one step of the alignment at a time: each
  // step pairs a word on each side, or a gap on the side whose row or column it
  // keeps. The steps are collected first and written forward afterwards.
  std::vector<std::pair<Cell, Cell>> steps;
  Cell cur = best;
  while (p != cur) {
    steps.emplace_back(cur, p);
    if (p.row == 0 || p.col == 0) break;
    cur = p;
    p = predecessor(cur);
  }
  for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
    const auto& [to, from] = *it;
    if (from.row == to.row) {
      result.consensusA += kGapItem;
    } else {
      appendItem(result.consensusA, groupA, to.row - 1);
    }
    if (from.col == to.col) {
      result.consensusB += kGapItem;
    } else {
      appendItem(result.consensusB, groupB, to.col - 1);
    }
  }

  const Cell start = clamp(p);
  result.startA = groupA.words[static_cast<std::size_t>(start.row)].startOffset() + baseA;
  result.startB = groupB.words[static_cast<std::size_t>(start.col)].startOffset() + baseB;
}

}  // namespace

float alignGroups(const AlignScores& scores, AlignWorkspace& workspace, PairResult& result,
                  std::int32_t baseA, std::int32_t baseB) {
  const WordGroup& groupA = *result.groupA;
  const WordGroup& groupB = *result.groupB;
  const auto nA = static_cast<std::int32_t>(groupA.words.size());
  const auto nB = static_cast<std::int32_t>(groupB.words.size());
  result.consensusA.clear();
  result.consensusB.clear();
  if (nA == 0 || nB == 0) {
    result.startA = result.endA = baseA;
    result.startB = result.endB = baseB;
    result.score = 0.0f;
    return 0.0f;
  }

  // The strip kernels' score pass relies on totals that are never NaN, which
  // finite settings guarantee; other settings take the portable kernel.
  const strips::StripKernel* strip = nullptr;
  if (std::isfinite(scores.mismatch) && std::isfinite(scores.gap) &&
      alignKernelSupported(workspace.kernel)) {
    strip = stripKernel(workspace.kernel);
  }
  workspace.reserve(static_cast<std::size_t>(std::max(nA, nB)),
                    strip != nullptr ? workspace.kernel : AlignKernel::kPortable);
  const IdView ids = prepareIds(groupA, groupB, workspace);

  float bestScore = 0.0f;
  if (strip != nullptr) {
    StripAlignment alignment(*strip, ids, nA, nB, scores, workspace);
    traceBack(alignment, alignment.best, result, baseA, baseB);
    bestScore = alignment.bestScore;
    workspace.lastMove = alignment.lastMove;
  } else {
    PortableAlignment alignment(ids, nA, nB, scores, workspace);
    traceBack(alignment, alignment.best, result, baseA, baseB);
    bestScore = alignment.bestScore;
    workspace.lastMove = alignment.lastMove;
  }
  result.score = bestScore;
  return bestScore;
}

float alignGroups(CompareEngine& engine, PairResult& result, std::int32_t baseA,
                  std::int32_t baseB) {
  const float score =
      alignGroups({engine.mismatchScore, engine.gapScore}, engine.workspace, result, baseA, baseB);
  engine.moveCode = engine.workspace.lastMove;
  if (engine.comparisonPause.count() > 0) std::this_thread::sleep_for(engine.comparisonPause);
  return score;
}

}  // namespace orvalis
