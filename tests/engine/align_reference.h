// A deliberately plain alignment for checking the engine's: dense score,
// row and column matrices, every step written out as it is described, no
// shortcut of any kind.
#pragma once

#include <cstdint>

#include "engine/records.h"

namespace orvalis::testing {

// Fills fields 3 to 9 of `result` from result.groupA and result.groupB, whose
// groups hold at least one word each. Returns the score. With `lastMove`, also
// gives the move of the last cell computed.
float referenceAlign(float mismatchScore, float gapScore, PairResult& result, std::int32_t baseA,
                     std::int32_t baseB, int* lastMove = nullptr);

}  // namespace orvalis::testing
