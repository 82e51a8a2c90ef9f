// The results cache of a build without SQLite: there is none.
#include "cache/results_cache.h"

namespace orvalis {

bool resultsCacheAvailable() { return false; }

std::unique_ptr<ResultsCache> ResultsCache::open(const CacheOptions&,
                                                 std::vector<std::string>& warnings) {
  warnings.emplace_back(kCacheUnavailableMessage);
  return nullptr;
}

}  // namespace orvalis
