// A deliberately plain alignment for checking the engine's: dense matrices,
// every step written out as it is described, no shortcut of any kind.
#pragma once

#include <cstdint>

#include "engine/records.h"

namespace orvalis::testing {

// Fills fields 3 to 9 of `result` from its groups (a word each at least) and
// returns the score; `lastMove` gets the move of the last cell computed.
float referenceAlign(float mismatchScore, float gapScore, PairResult& result, std::int32_t baseA,
                     std::int32_t baseB, int* lastMove = nullptr);

}  // namespace orvalis::testing
