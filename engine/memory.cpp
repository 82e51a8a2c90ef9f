#include "engine/memory.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>

#include "engine/align_workspace.h"
#include "engine/records.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace orvalis {
namespace {

constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
  return a > kNoLimit - b ? kNoLimit : a + b;
}

std::uint64_t saturatingMultiply(std::uint64_t a, std::uint64_t b) {
  if (a != 0 && b > kNoLimit / a) return kNoLimit;
  return a * b;
}

// The number at the start of `text` after any blanks, and where it ends.
std::optional<std::uint64_t> leadingNumber(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  return value;
}

// The value of the line "name value ..." of a file of such lines.
std::optional<std::uint64_t> namedValue(std::string_view lines, std::string_view name) {
  std::size_t start = 0;
  while (start < lines.size()) {
    std::size_t end = lines.find('\n', start);
    if (end == std::string_view::npos) end = lines.size();
    const std::string_view line = lines.substr(start, end - start);
    if (line.starts_with(name)) return leadingNumber(line.substr(name.size()));
    start = end + 1;
  }
  return std::nullopt;
}

#ifndef _WIN32
std::optional<std::uint64_t> smaller(std::optional<std::uint64_t> a,
                                     std::optional<std::uint64_t> b) {
  if (!a) return b;
  if (!b) return a;
  return std::min(*a, *b);
}

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// What is left under one resource limit, given the amount it counts now.
std::optional<std::uint64_t> rlimitLeft(int resource, std::optional<std::uint64_t> used) {
  rlimit limit{};
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || !used) {
    return std::nullopt;
  }
  const auto cap = static_cast<std::uint64_t>(limit.rlim_cur);
  return cap > *used ? cap - *used : 0;
}
#endif

}  // namespace

std::optional<std::uint64_t> meminfoAvailable(std::string_view meminfo) {
  const auto kib = namedValue(meminfo, "MemAvailable:");
  if (!kib) return std::nullopt;
  return saturatingMultiply(*kib, 1024);
}

std::optional<std::uint64_t> meminfoTotal(std::string_view meminfo) {
  const auto kib = namedValue(meminfo, "MemTotal:");
  if (!kib) return std::nullopt;
  return saturatingMultiply(*kib, 1024);
}

std::optional<std::uint64_t> cgroupMemoryLeft(std::string_view limit, std::string_view usage,
                                              std::string_view stat) {
  const auto cap = leadingNumber(limit);
  const auto used = leadingNumber(usage);
  // "max", or version 1's way of saying none: a number near 2^63.
  if (!cap || !used || *cap >= (std::uint64_t{1} << 62)) return std::nullopt;
  // Version 1 counts the whole hierarchy under "total_"; version 2 has only
  // the plain names, which count the hierarchy already.
  auto inactive = namedValue(stat, "total_inactive_file ");
  if (!inactive) inactive = namedValue(stat, "inactive_file ");
  const std::uint64_t reclaimable = std::min(inactive.value_or(0), *used);
  const std::uint64_t working = *used - reclaimable;
  return *cap > working ? *cap - working : 0;
}

std::vector<CgroupFolder> memoryCgroupFolders(std::string_view procSelfCgroup) {
  std::vector<CgroupFolder> folders;
  std::size_t start = 0;
  while (start < procSelfCgroup.size()) {
    std::size_t end = procSelfCgroup.find('\n', start);
    if (end == std::string_view::npos) end = procSelfCgroup.size();
    const std::string_view line = procSelfCgroup.substr(start, end - start);
    start = end + 1;
    // "hierarchy:controllers:path"
    const auto first = line.find(':');
    const auto second = first == std::string_view::npos ? first : line.find(':', first + 1);
    if (second == std::string_view::npos) continue;
    const std::string_view hierarchy = line.substr(0, first);
    const std::string_view controllers = line.substr(first + 1, second - first - 1);
    std::string_view path = line.substr(second + 1);
    std::string base;
    bool version2 = false;
    if (hierarchy == "0" && controllers.empty()) {
      base = "/sys/fs/cgroup";
      version2 = true;
    } else {
      bool hasMemory = false;
      std::size_t from = 0;
      while (from <= controllers.size()) {
        std::size_t to = controllers.find(',', from);
        if (to == std::string_view::npos) to = controllers.size();
        hasMemory = hasMemory || controllers.substr(from, to - from) == "memory";
        from = to + 1;
      }
      if (!hasMemory) continue;
      base = "/sys/fs/cgroup/memory";
    }
    // The group's own folder, then each one above it; a limit anywhere on the
    // way up applies.
    while (!path.empty() && path.back() == '/') path.remove_suffix(1);
    for (;;) {
      folders.push_back({std::string(base).append(path), version2});
      if (path.empty()) break;
      path = path.substr(0, path.rfind('/'));
    }
  }
  return folders;
}

std::optional<std::uint64_t> availableMemory() {
#ifdef _WIN32
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return std::nullopt;
  return std::min<std::uint64_t>(status.ullAvailPhys, status.ullAvailVirtual);
#else
  std::optional<std::uint64_t> left = meminfoAvailable(fileText("/proc/meminfo"));
  for (const CgroupFolder& folder : memoryCgroupFolders(fileText("/proc/self/cgroup"))) {
    const auto read = [&](const char* name) {
      return fileText(std::string(folder.path).append(name));
    };
    left = smaller(
        left, cgroupMemoryLeft(read(folder.version2 ? "/memory.max" : "/memory.limit_in_bytes"),
                               read(folder.version2 ? "/memory.current" : "/memory.usage_in_bytes"),
                               read("/memory.stat")));
  }
  // /proc/self/statm: total and data pages, the amounts that RLIMIT_AS and
  // RLIMIT_DATA count.
  const std::string statm = fileText("/proc/self/statm");
  std::istringstream fields(statm);
  std::uint64_t totalPages = 0;
  std::uint64_t residentPages = 0;
  std::uint64_t sharedPages = 0;
  std::uint64_t textPages = 0;
  std::uint64_t libraryPages = 0;
  std::uint64_t dataPages = 0;
  if (fields >> totalPages >> residentPages >> sharedPages >> textPages >> libraryPages >>
      dataPages) {
    const auto page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    left = smaller(left, rlimitLeft(RLIMIT_AS, totalPages * page));
    left = smaller(left, rlimitLeft(RLIMIT_DATA, dataPages * page));
  }
  return left;
#endif
}

std::optional<std::uint64_t> installedMemory() {
#ifdef _WIN32
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return std::nullopt;
  return status.ullTotalPhys;
#else
  return meminfoTotal(fileText("/proc/meminfo"));
#endif
}

std::uint64_t desktopScanMemoryLimit(std::optional<std::uint64_t> installed) {
  return installed ? *installed / 4 * 3 : 0;
}

std::string memorySizeText(std::uint64_t bytes) {
  static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (bytes < 1024) return std::to_string(bytes).append(bytes == 1 ? " byte" : " bytes");
  // The largest unit that leaves at least 1; one decimal below 10, where it
  // tells something, and whole numbers above.
  int unit = 0;
  double value = static_cast<double>(bytes) / 1024.0;
  while (value >= 1024.0 && unit + 1 < static_cast<int>(std::size(kUnits))) {
    value /= 1024.0;
    ++unit;
  }
  std::string text;
  if (const auto tenths = static_cast<std::uint64_t>(std::llround(value * 10.0)); tenths < 100) {
    text = std::to_string(tenths / 10);
    if (tenths % 10 != 0) text.append(".").append(std::to_string(tenths % 10));
  } else {
    text = std::to_string(static_cast<std::uint64_t>(std::llround(value)));
  }
  return text.append(" ").append(kUnits[unit]);
}

std::optional<std::uint64_t> parseMemorySize(std::string_view text) {
  double number = 0.0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), number, std::chars_format::fixed);
  if (error != std::errc() || !std::isfinite(number) || number <= 0.0) return std::nullopt;
  std::string unit(end, text.data() + text.size());
  for (char& c : unit) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (unit.ends_with("ib") && unit.size() == 3) unit.resize(1);
  if (unit.ends_with("b") && unit.size() <= 2) unit.resize(unit.size() - 1);
  double scale = 1.0;
  if (unit == "k") {
    scale = 1024.0;
  } else if (unit == "m") {
    scale = 1024.0 * 1024.0;
  } else if (unit == "g") {
    scale = 1024.0 * 1024.0 * 1024.0;
  } else if (unit == "t") {
    scale = 1024.0 * 1024.0 * 1024.0 * 1024.0;
  } else if (!unit.empty()) {
    return std::nullopt;
  }
  const double bytes = std::round(number * scale);
  // 2^63 and beyond is no size a machine has, and would not convert.
  if (bytes < 1.0 || bytes >= 9223372036854775808.0) return std::nullopt;
  return static_cast<std::uint64_t>(bytes);
}

MemoryBudget::MemoryBudget(std::uint64_t ownLimit, std::optional<std::uint64_t> systemLeft)
    : limit_(systemLeft.value_or(kNoLimit)) {
  if (ownLimit != 0 && ownLimit <= limit_) {
    limit_ = ownLimit;
    ownLimitBinds_ = true;
  }
}

std::uint64_t MemoryBudget::left() const { return limit_ > taken_ ? limit_ - taken_ : 0; }

void MemoryBudget::take(std::uint64_t bytes) { taken_ = saturatingAdd(taken_, bytes); }

std::string MemoryBudget::shortfallText(std::uint64_t needed) const {
  // Built by appending: g++ 12 at -O3 reports a false overlap (-Wrestrict)
  // for chains of + on these temporaries.
  std::string text("about ");
  text.append(memorySizeText(saturatingAdd(taken_, needed))).append(" in all, and ");
  if (ownLimitBinds_) return text.append("the memory limit is ").append(memorySizeText(limit_));
  return text.append(memorySizeText(limit_)).append(" is available");
}

namespace {

// What a std::string takes beyond itself for a text of `length` bytes: nothing
// while the text fits inside it (15 bytes in the common libraries, fewer
// counted here than some hold), else a block of the allocator with its header.
std::uint64_t stringHeapBytes(std::uint64_t length) {
  constexpr std::uint64_t kInlineLength = 15;
  constexpr std::uint64_t kAllocatorHeader = 16;
  if (length <= kInlineLength) return 0;
  return (length + 1 + 15) / 16 * 16 + kAllocatorHeader;
}

// Each result: its place among the scan's results, counted as generously as a
// node of a tree with the allocator's header, room for the two consensus texts
// of a short alignment (the usual one between unrelated texts), and what the
// front ends hold per result to list them.
constexpr std::uint64_t kResultNodeBytes = 4 * sizeof(void*) + 8 + sizeof(PairResult) + 16;
constexpr std::uint64_t kConsensusBytes = 2 * 48;
constexpr std::uint64_t kListingBytes = 64;
// Each comparison's entry in the list of comparisons: two groups and two offsets.
constexpr std::uint64_t kTaskBytes = 2 * sizeof(void*) + 2 * sizeof(std::int32_t);
// A word of the scan's vocabulary: a hash node with the word's view and id,
// and its bucket.
constexpr std::uint64_t kVocabularyWordBytes = 64;
// A group: the record, its node in the file's map and the allocator's headers.
constexpr std::uint64_t kGroupBytes = sizeof(WordGroup) + 4 * sizeof(void*) + 8 + 48;

}  // namespace

WordMemory wordMemoryOf(std::string_view text, std::int32_t groupSize) {
  WordMemory memory;
  std::uint64_t heap = 0;
  std::size_t wordStart = 0;
  bool inWord = false;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const bool separator = i == text.size() || text[i] == ' ' || text[i] == '\n';
    if (separator && inWord) {
      ++memory.words;
      heap += stringHeapBytes(i - wordStart);
      inWord = false;
    } else if (!separator && !inWord) {
      wordStart = i;
      inWord = true;
    }
  }
  const std::uint64_t wordBytes = memory.words * sizeof(WordEntry);
  const std::uint64_t perGroup = groupSize > 2 ? static_cast<std::uint64_t>(groupSize) - 1 : 1;
  const std::uint64_t groups = (memory.words + perGroup - 1) / perGroup;
  // Splitting holds the text and the words, which go straight into their groups.
  memory.peak = text.size() + wordBytes + heap + groups * kGroupBytes;
  memory.kept = wordBytes + heap + memory.words * sizeof(std::uint32_t) + groups * kGroupBytes;
  return memory;
}

std::uint64_t comparisonMemory(const ComparisonCounts& counts) {
  const std::uint64_t perComparison =
      kTaskBytes + kResultNodeBytes + kConsensusBytes + kListingBytes;
  // The scan's own work space, and one for each comparison thread beside it.
  const std::uint64_t workspaces =
      1 + (counts.threads > 1 ? static_cast<std::uint64_t>(counts.threads) : 0);
  std::uint64_t bytes = saturatingMultiply(counts.comparisons, perComparison);
  bytes = saturatingAdd(bytes, counts.filePairs * sizeof(std::int64_t));
  bytes = saturatingAdd(bytes, counts.groups * sizeof(void*));
  bytes = saturatingAdd(bytes, saturatingMultiply(counts.words, kVocabularyWordBytes));
  bytes = saturatingAdd(
      bytes, saturatingMultiply(workspaces,
                                alignWorkspaceBytes(counts.longestGroup, defaultAlignKernel())));
  return bytes;
}

}  // namespace orvalis
