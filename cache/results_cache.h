// The results cache: the results of compared file pairs kept in an SQLite
// database between scans, found again by the contents of both files and the
// settings. Shared by orvalis-scan and the desktop program.
//
// Whatever happens to the database file (another program's file, a newer
// version's, damage, a full disk, a folder that cannot be written, a process
// killed while writing, a second scan at the same time) a scan with the cache
// gives the results of a scan without it; problems become warnings.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/comparison_cache.h"

namespace orvalis {

// The most the cache keeps unless told otherwise: 1 GiB.
inline constexpr std::uint64_t kDefaultCacheMaxSize = std::uint64_t{1} << 30;

// The start of the warning given when a cache is asked for in a build without one.
inline constexpr const char* kCacheUnavailableMessage =
    "the results cache is not available in this build";

// Whether this build can keep results (it was built with SQLite).
bool resultsCacheAvailable();

// The cache file a scan uses unless told otherwise:
// $XDG_CACHE_HOME/Tovimar/Orvalis/results.sqlite, with ~/.cache when
// XDG_CACHE_HOME is unset or not absolute (on Windows the local application
// data folder). Empty when no such folder is known.
std::filesystem::path defaultCacheFile();

// The same from the values of the environment variables, for tests.
std::filesystem::path defaultCacheFileFor(const char* xdgCacheHome, const char* home);

struct CacheOptions {
  std::filesystem::path file;
  std::uint64_t maxSize = kDefaultCacheMaxSize;  // in bytes of the database file
  bool clear = false;                            // empty it on opening
  // A record's time of use is written anew when found this long after it was
  // last written, as `relatime` does for files: rescans within the hour write
  // nothing for what they find, and the records go least recently used first
  // to within the hour.
  std::chrono::milliseconds touchInterval = std::chrono::hours(1);
};

class ResultsCache : public ComparisonCache {
 public:
  // Opens the cache file, creating it and its folder when missing. A file that
  // cannot be used as a cache is moved aside and a new one made in its place.
  // Returns null when no cache can be used at all; `warnings` then says why.
  static std::unique_ptr<ResultsCache> open(const CacheOptions& options,
                                            std::vector<std::string>& warnings);

  // Warnings gathered since the last call, one line each without "warning: ".
  virtual std::vector<std::string> takeWarnings() = 0;
};

}  // namespace orvalis
