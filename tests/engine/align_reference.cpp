#include "tests/engine/align_reference.h"

#include <string>
#include <vector>

#include "engine/encoding.h"

namespace orvalis::testing {

float referenceAlign(float mismatchScore, float gapScore, PairResult& result, std::int32_t baseA,
                     std::int32_t baseB, int* lastMove) {
  const auto& A = result.groupA->words;
  const auto& B = result.groupB->words;
  const int nA = static_cast<int>(A.size());
  const int nB = static_cast<int>(B.size());
  const auto text = [](const WordGroup& group, int word) {
    const bool utf8 = group.file == nullptr || group.file->textIsUtf8;
    return decodeTextPiece(group.words[word].text, utf8);
  };

  std::vector<std::vector<float>> score(nA + 1, std::vector<float>(nB + 1, 0.0f));
  std::vector<std::vector<int>> traceRow(nA + 1, std::vector<int>(nB + 1, -1));
  std::vector<std::vector<int>> traceCol(nA + 1, std::vector<int>(nB + 1, -1));
  traceRow[0][0] = 0;
  traceCol[0][0] = 0;

  for (int j = 1; j <= nA; ++j) {
    for (int k = 1; k <= nB; ++k) {
      const float s = (A[j - 1].text == B[k - 1].text) ? 1.0f : mismatchScore;
      const float diagonal = score[j - 1][k - 1] + s;
      const float up = score[j - 1][k] + gapScore;
      const float left = score[j][k - 1] + gapScore;
      float best = diagonal;
      int move = 0;
      if (up > best) {
        best = up;
        move = 1;
      }
      if (left > best) {
        best = left;
        move = 2;
      }
      if (best < 0) {
        best = 0;
        move = 3;
      }
      score[j][k] = best;
      const int predecessorRow[] = {j - 1, j - 1, j, j};
      const int predecessorCol[] = {k - 1, k, k - 1, k};
      traceRow[j][k] = predecessorRow[move];
      traceCol[j][k] = predecessorCol[move];
      if (lastMove != nullptr) *lastMove = move;
    }
  }

  int bestRow = 0;
  int bestCol = 0;
  float bestScore = score[0][0];
  for (int j = 1; j <= nA; ++j) {
    for (int k = 1; k <= nB; ++k) {
      if (score[j][k] > bestScore) {
        bestScore = score[j][k];
        bestRow = j;
        bestCol = k;
      }
    }
  }

  int pj = traceRow[bestRow][bestCol];
  int pk = traceCol[bestRow][bestCol];
  if (pj >= nA) pj = nA - 1;
  if (pk >= nB) pk = nB - 1;
  result.endA = A[pj].endOffset + baseA;
  result.endB = B[pk].endOffset + baseB;

  result.consensusA = "";
  result.consensusB = "";
  int curRow = bestRow;
  int curCol = bestCol;
  int pRow = pj;
  int pCol = pk;
  for (;;) {
    if (pRow == curRow && pCol == curCol) break;
    if (pRow == curRow) {
      result.consensusA = " * " + result.consensusA;
    } else {
      result.consensusA = text(*result.groupA, curRow - 1) + " " + result.consensusA;
    }
    if (pCol == curCol) {
      result.consensusB = " * " + result.consensusB;
    } else {
      result.consensusB = text(*result.groupB, curCol - 1) + " " + result.consensusB;
    }
    if (pRow == 0 || pCol == 0) break;
    curRow = pRow;
    curCol = pCol;
    pRow = traceRow[curRow][curCol];
    pCol = traceCol[curRow][curCol];
  }

  int r = pRow >= nA ? nA - 1 : pRow;
  int c = pCol >= nB ? nB - 1 : pCol;
  result.startA = A[r].endOffset - static_cast<int>(A[r].text.size()) + baseA;
  result.startB = B[c].endOffset - static_cast<int>(B[c].text.size()) + baseB;
  result.score = bestScore;
  return bestScore;
}

}  // namespace orvalis::testing
