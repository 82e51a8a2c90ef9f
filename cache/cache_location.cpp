#include <cstdlib>

#include "cache/results_cache.h"

namespace orvalis {

std::filesystem::path defaultCacheFileFor(const char* xdgCacheHome, const char* home) {
  std::filesystem::path folder;
  if (xdgCacheHome != nullptr && std::filesystem::path(xdgCacheHome).is_absolute()) {
    folder = xdgCacheHome;
  } else if (home != nullptr && *home != '\0') {
    folder = std::filesystem::path(home) / ".cache";
  } else {
    return {};
  }
  return folder / "Tovimar" / "Orvalis" / "results.sqlite";
}

std::filesystem::path defaultCacheFile() {
#ifdef _WIN32
  const char* local = std::getenv("LOCALAPPDATA");
  if (local == nullptr || *local == '\0') return {};
  return std::filesystem::path(local) / "Tovimar" / "Orvalis" / "results.sqlite";
#else
  return defaultCacheFileFor(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
#endif
}

}  // namespace orvalis
