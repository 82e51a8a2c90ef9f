// A 64-bit mix of a value: every bit of the result depends on every bit of
// the input (the finaliser of SplitMix64). For hashing words and runs of words,
// and for draws that must be the same on every platform.
#pragma once

#include <cstdint>

namespace orvalis {

constexpr std::uint64_t mixBits(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  x ^= x >> 31;
  return x;
}

}  // namespace orvalis
