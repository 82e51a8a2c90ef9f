// Memory: what the system can give this process, what a scan will need, and
// sizes as people read them. A scan checks its needs before it allocates, so
// that too large a folder ends with a message rather than with a process the
// system kills.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvalis {

// Bytes that the system can give this process now without swapping or hitting
// a limit: the smallest of the memory available on the machine, what is left
// under the memory limit of its control groups, and what is left under its own
// resource limits. Nothing when none of them can be read.
std::optional<std::uint64_t> availableMemory();

// The machine's physical memory, when it can be read.
std::optional<std::uint64_t> installedMemory();

// The memory limit of a scan started from the desktop: three quarters of the
// machine's memory, leaving the rest to the desktop and the programs beside
// it whatever the system would give the scan; 0 (no limit of its own) when the
// machine's memory is unknown.
std::uint64_t desktopScanMemoryLimit(std::optional<std::uint64_t> installed);

// A size as people read it: "512 bytes", "12 KiB", "1.5 GiB".
std::string memorySizeText(std::uint64_t bytes);

// A size as people write it: a whole or decimal number with an optional unit
// K, M, G or T (powers of 1024, "KiB", "MB" and "gb" alike), or bytes without
// one: "512M", "1.5G", "2GiB", "100000". Nothing for anything else, or 0.
std::optional<std::uint64_t> parseMemorySize(std::string_view text);

// What a scan may still use: the smaller of a limit of its own and what the
// system could give when the scan began, less what the scan took since.
class MemoryBudget {
 public:
  // `ownLimit` 0: no limit of the scan's own. `systemLeft`: what the system
  // can give, when known.
  MemoryBudget(std::uint64_t ownLimit, std::optional<std::uint64_t> systemLeft);

  bool fits(std::uint64_t bytes) const { return bytes <= left(); }
  std::uint64_t left() const;
  // Counts `bytes` as taken by the scan.
  void take(std::uint64_t bytes);
  // Whether the scan's own limit, rather than the system, sets what is left.
  bool ownLimitBinds() const { return ownLimitBinds_; }

  // Why `needed` bytes cannot be had: "it needs about 3.2 GiB and 1.1 GiB is
  // available", or "... and the memory limit is 1 GiB" when the scan's own
  // limit is what stops it.
  std::string shortfallText(std::uint64_t needed) const;

 private:
  std::uint64_t limit_;
  std::uint64_t taken_ = 0;
  bool ownLimitBinds_ = false;
};

// What the words of a text take in memory once split and cut into groups.
struct WordMemory {
  std::uint64_t words = 0;
  std::uint64_t peak = 0;  // while the text is split and its words grouped
  std::uint64_t kept = 0;  // held by the groups afterwards, word ids included
};
// `groupSize` as the scan uses it (2 or more).
WordMemory wordMemoryOf(std::string_view text, std::int32_t groupSize);

// What a scan's comparisons take: their list, their results, the vocabulary
// of the scan's words and each thread's work space, besides the loaded words.
struct ComparisonCounts {
  std::uint64_t comparisons = 0;
  std::uint64_t filePairs = 0;
  std::uint64_t groups = 0;
  std::uint64_t words = 0;
  std::uint64_t longestGroup = 0;
  int threads = 1;
};
std::uint64_t comparisonMemory(const ComparisonCounts& counts);

// The pieces of availableMemory(), apart from the files they are read from.

// MemAvailable of /proc/meminfo, in bytes.
std::optional<std::uint64_t> meminfoAvailable(std::string_view meminfo);
std::optional<std::uint64_t> meminfoTotal(std::string_view meminfo);

// One control group's memory files: the limit (memory.max of version 2,
// memory.limit_in_bytes of version 1), the use (memory.current or
// memory.usage_in_bytes) and memory.stat. What is left below the limit counts
// the inactive file cache as free, since the system drops it before it runs
// short; nothing when there is no limit.
std::optional<std::uint64_t> cgroupMemoryLeft(std::string_view limit, std::string_view usage,
                                              std::string_view stat);

// The folders, from the process's own up to the top of each hierarchy, that
// hold the memory files of its control groups, as /proc/self/cgroup names them.
struct CgroupFolder {
  std::string path;
  bool version2 = false;
};
std::vector<CgroupFolder> memoryCgroupFolders(std::string_view procSelfCgroup);

}  // namespace orvalis
