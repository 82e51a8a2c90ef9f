// The stored form of one file pair's results: the bytes kept in the cache for
// a key, which give back every result bit for bit, and which are refused when
// damaged or stored for another key.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/comparison_cache.h"

namespace orvalis {

// The key as bytes: both digests, the two scores' bits, the group size and
// the splitting version, fixed-width little-endian.
std::string keyBytes(const ComparisonKey& key);

// The results' offsets, scores (as their IEEE bits) and consensus strings, then
// a checksum over the key and all of these.
std::string encodePairRecord(const ComparisonKey& key, const std::vector<PairResult>& results);

// The results of a record stored for `key`, when it holds exactly `count`
// and is whole; their group pointers are left null. False for anything else,
// with `results` left empty.
bool decodePairRecord(const ComparisonKey& key, std::string_view record, std::size_t count,
                      std::vector<PairResult>& results);

}  // namespace orvalis
