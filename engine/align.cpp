#include "engine/align.h"

#include <algorithm>
#include <cfloat>
#include <functional>
#include <limits>
#include <new>
#include <string_view>
#include <thread>
#include <utility>

#include "engine/encoding.h"

namespace orvalis {

// Scores must come out the same on every platform: IEEE single precision, with
// every sum rounded to it rather than carried in a wider register.
static_assert(std::numeric_limits<float>::is_iec559);
static_assert(FLT_EVAL_METHOD == 0, "build with SSE arithmetic (-mfpmath=sse)");

void AlignWorkspace::reserve(std::size_t maxWords) {
  if (maxWords <= capacityWords && moves) return;
  const std::size_t side = maxWords + 1;
  // A side this long cannot be held, and its square would wrap around.
  if (side > (std::size_t{1} << (std::numeric_limits<std::size_t>::digits / 2))) {
    throw std::bad_alloc();
  }
  auto newMoves = std::make_unique_for_overwrite<std::uint8_t[]>(side * side);
  previousRow.resize(side);
  currentRow.resize(side);
  hashesA.resize(maxWords);
  hashesB.resize(maxWords);
  moves = std::move(newMoves);
  capacityWords = maxWords;
}

void AlignWorkspace::release() {
  moves.reset();
  for (auto* row : {&previousRow, &currentRow}) std::vector<float>().swap(*row);
  for (auto* hashes : {&hashesA, &hashesB}) std::vector<std::uint64_t>().swap(*hashes);
  capacityWords = 0;
}

namespace {

struct Cell {
  std::size_t row = 0;
  std::size_t col = 0;
  bool operator==(const Cell&) const = default;
};

void hashWords(const std::vector<WordEntry>& words, std::vector<std::uint64_t>& hashes) {
  const std::hash<std::string_view> hash;
  for (std::size_t i = 0; i < words.size(); ++i) hashes[i] = hash(words[i].text);
}

// A word as it stands in a consensus string: its text and one blank.
std::string consensusItem(const WordGroup& group, std::size_t wordIndex) {
  const bool utf8 = group.file == nullptr || group.file->textIsUtf8;
  return decodeTextPiece(group.words[wordIndex].text, utf8) + ' ';
}

constexpr std::string_view kGapItem = " * ";

}  // namespace

float alignGroups(const AlignScores& scores, AlignWorkspace& workspace, PairResult& result,
                  std::int32_t baseA, std::int32_t baseB) {
  const WordGroup& groupA = *result.groupA;
  const WordGroup& groupB = *result.groupB;
  const auto& wordsA = groupA.words;
  const auto& wordsB = groupB.words;
  const std::size_t nA = wordsA.size();
  const std::size_t nB = wordsB.size();
  result.consensusA.clear();
  result.consensusB.clear();
  if (nA == 0 || nB == 0) {
    result.startA = result.endA = baseA;
    result.startB = result.endB = baseB;
    result.score = 0.0f;
    return 0.0f;
  }

  workspace.reserve(std::max(nA, nB));
  hashWords(wordsA, workspace.hashesA);
  hashWords(wordsB, workspace.hashesB);
  const std::size_t stride = nB + 1;
  std::uint8_t* const moves = workspace.moves.get();
  float* previous = workspace.previousRow.data();
  float* current = workspace.currentRow.data();
  std::fill(previous, previous + stride, 0.0f);
  current[0] = 0.0f;

  // Cell (j, k) pairs A word j-1 with B word k-1; row 0 and column 0 are 0.
  //   score(j, k) = max(0, score(j-1, k-1) + (A[j-1] == B[k-1] ? 1 : mismatch),
  //                        score(j-1, k) + gap, score(j, k-1) + gap)
  // Every sum is rounded to single precision. Ties prefer diagonal, then up,
  // then left, and a total of exactly 0 keeps its move. The best cell is the
  // first cell of highest score in row-major order, (0, 0) when none is above 0.
  const float mismatch = scores.mismatch;
  const float gap = scores.gap;
  float bestScore = 0.0f;
  Cell best;
  std::uint8_t move = kMoveDiagonal;
  for (std::size_t j = 1; j <= nA; ++j) {
    const std::uint64_t hashA = workspace.hashesA[j - 1];
    const std::string& textA = wordsA[j - 1].text;
    std::uint8_t* const rowMoves = moves + j * stride;
    for (std::size_t k = 1; k <= nB; ++k) {
      const bool same = workspace.hashesB[k - 1] == hashA && wordsB[k - 1].text == textA;
      float total = previous[k - 1] + (same ? 1.0f : mismatch);
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
  workspace.lastMove = move;

  const auto predecessor = [&](Cell cell) -> Cell {
    if (cell.row == 0 && cell.col == 0) return cell;
    switch (moves[cell.row * stride + cell.col]) {
      case kMoveDiagonal:
        return {cell.row - 1, cell.col - 1};
      case kMoveUp:
        return {cell.row - 1, cell.col};
      case kMoveLeft:
        return {cell.row, cell.col - 1};
      default:
        return cell;
    }
  };
  // Coordinates past the last word name the last word.
  const auto clamp = [&](Cell cell) -> Cell {
    return {std::min(cell.row, nA - 1), std::min(cell.col, nB - 1)};
  };

  Cell p = clamp(predecessor(best));
  result.endA = wordsA[p.row].endOffset + baseA;
  result.endB = wordsB[p.col].endOffset + baseB;

  // Walk back from the best cell, one item per step on each side: the word that
  // the step pairs, or a gap when the step stays in that side's row or column.
  std::vector<std::string> itemsA;
  std::vector<std::string> itemsB;
  Cell cur = best;
  while (p != cur) {
    itemsA.push_back(p.row == cur.row ? std::string(kGapItem) : consensusItem(groupA, cur.row - 1));
    itemsB.push_back(p.col == cur.col ? std::string(kGapItem) : consensusItem(groupB, cur.col - 1));
    if (p.row == 0 || p.col == 0) break;
    cur = p;
    p = predecessor(cur);
  }
  for (auto it = itemsA.rbegin(); it != itemsA.rend(); ++it) result.consensusA += *it;
  for (auto it = itemsB.rbegin(); it != itemsB.rend(); ++it) result.consensusB += *it;

  const Cell start = clamp(p);
  result.startA = wordsA[start.row].startOffset() + baseA;
  result.startB = wordsB[start.col].startOffset() + baseB;
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
