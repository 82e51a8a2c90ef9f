#include "engine/seed_index.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>

namespace orvalis {
namespace {

// One place of a seed: its hash, the group (by its number among all groups of
// the scan) and the position of its first word.
struct Posting {
  std::uint64_t hash = 0;
  std::uint32_t group = 0;
  std::uint32_t position = 0;
  auto operator<=>(const Posting&) const = default;
};
static_assert(sizeof(Posting) == 16, "seedIndexMemory counts 16 bytes a word");

// A stretch of two groups that matches without gaps: group a of the file with
// the higher index, b of the other, from startA / startB on for `length` words.
struct Segment {
  std::uint32_t a = 0;
  std::uint32_t b = 0;
  std::int32_t startA = 0;
  std::int32_t startB = 0;
  std::int32_t length = 0;
  float score = 0.0f;
  auto operator<=>(const Segment&) const = default;
};

// Postings are sorted in buckets by the top bits of the hash.
constexpr int kBucketBits = 12;
constexpr std::size_t kBuckets = std::size_t{1} << kBucketBits;

// Every group of the scan in file order, and where it stands.
struct GroupTable {
  std::vector<const WordGroup*> groups;
  std::vector<std::int32_t> file;    // the file's index
  std::vector<std::int32_t> number;  // the group's key in its file
};

GroupTable groupTable(const CompareEngine& engine) {
  GroupTable table;
  for (const auto& [index, entry] : engine.fileTable) {
    for (const auto& [number, group] : entry->groups) {
      table.groups.push_back(group.get());
      table.file.push_back(index);
      table.number.push_back(number);
    }
  }
  return table;
}

std::uint64_t mix(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  x ^= x >> 33;
  return x;
}

std::uint64_t seedHash(std::span<const std::uint32_t> words) {
  std::uint64_t hash = 0x9e3779b97f4a7c15ULL;
  for (const std::uint32_t word : words) hash = mix(hash ^ (word + 0x632be59bd9b4e019ULL));
  return hash;
}

std::size_t seedsOf(const WordGroup& group, int seedWords) {
  const std::size_t words = group.wordIds.size();
  return words >= static_cast<std::size_t>(seedWords) ? words - seedWords + 1 : 0;
}

// Runs work(i) for i in [0, count) on up to `threads` threads, the calling one
// among them. Rethrows the first exception a call threw.
template <typename Work>
void parallelFor(int threads, std::size_t count, Work work) {
  std::atomic<std::size_t> next{0};
  std::exception_ptr failure;
  std::mutex failureMutex;
  const auto run = [&] {
    try {
      for (std::size_t i = next++; i < count; i = next++) work(i);
    } catch (...) {
      std::lock_guard lock(failureMutex);
      if (!failure) failure = std::current_exception();
      next = count;
    }
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < threads && static_cast<std::size_t>(t) < count; ++t) {
    try {
      helpers.emplace_back(run);
    } catch (const std::system_error&) {
      break;  // the threads that did start do the work
    }
  }
  run();
  for (auto& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
}

// Every seed of every group, sorted by (hash, group, position): counted per
// chunk of groups and bucket, then written in place, then each bucket sorted.
// bucketStart receives the first posting of each bucket, and one past the end.
std::vector<Posting> buildPostings(const GroupTable& table, int threads, int seedWords,
                                   std::vector<std::size_t>& bucketStart) {
  const std::size_t chunks = std::max<std::size_t>(1, static_cast<std::size_t>(threads) * 4);
  const std::size_t groups = table.groups.size();
  const auto chunkBegin = [&](std::size_t chunk) { return groups * chunk / chunks; };
  const auto forEachSeed = [&](std::size_t chunk, auto use) {
    for (std::size_t g = chunkBegin(chunk); g < chunkBegin(chunk + 1); ++g) {
      const std::vector<std::uint32_t>& ids = table.groups[g]->wordIds;
      const std::size_t seeds = seedsOf(*table.groups[g], seedWords);
      for (std::size_t p = 0; p < seeds; ++p) {
        const std::uint64_t hash =
            seedHash(std::span(ids).subspan(p, static_cast<std::size_t>(seedWords)));
        use(Posting{hash, static_cast<std::uint32_t>(g), static_cast<std::uint32_t>(p)});
      }
    }
  };
  const auto bucketOf = [](std::uint64_t hash) { return hash >> (64 - kBucketBits); };

  std::vector<std::size_t> counts(chunks * kBuckets, 0);
  parallelFor(threads, chunks, [&](std::size_t chunk) {
    forEachSeed(chunk, [&](const Posting& posting) {
      ++counts[chunk * kBuckets + bucketOf(posting.hash)];
    });
  });
  // Each chunk's place in each bucket, in chunk order.
  bucketStart.assign(kBuckets + 1, 0);
  std::size_t total = 0;
  for (std::size_t bucket = 0; bucket < kBuckets; ++bucket) {
    bucketStart[bucket] = total;
    for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
      const std::size_t count = counts[chunk * kBuckets + bucket];
      counts[chunk * kBuckets + bucket] = total;
      total += count;
    }
  }
  bucketStart[kBuckets] = total;
  std::vector<Posting> postings(total);
  parallelFor(threads, chunks, [&](std::size_t chunk) {
    forEachSeed(chunk, [&](const Posting& posting) {
      postings[counts[chunk * kBuckets + bucketOf(posting.hash)]++] = posting;
    });
  });
  parallelFor(threads, kBuckets, [&](std::size_t bucket) {
    std::sort(postings.begin() + static_cast<std::ptrdiff_t>(bucketStart[bucket]),
              postings.begin() + static_cast<std::ptrdiff_t>(bucketStart[bucket + 1]));
  });
  return postings;
}

// The postings of one seed (sorted by group) that make hits: all of them when
// few files hold the seed, otherwise those of the groups that repeat it often,
// if few files hold such repeats; at most postingsPerGroup in each group.
void selectPostings(std::span<const Posting> run, const GroupTable& table,
                    const SeedSettings& settings, std::vector<Posting>& selected) {
  selected.clear();
  int files = 0;
  for (std::size_t i = 0; i < run.size(); ++i) {
    if (i == 0 || table.file[run[i].group] != table.file[run[i - 1].group]) ++files;
  }
  const bool common = files > settings.maxFiles;
  int repeatingFiles = 0;
  std::int32_t lastFile = -1;
  for (std::size_t begin = 0; begin < run.size();) {
    std::size_t end = begin;
    while (end < run.size() && run[end].group == run[begin].group) ++end;
    const bool repeats = end - begin >= static_cast<std::size_t>(settings.repeatWords);
    if (!common || repeats) {
      if (common && table.file[run[begin].group] != lastFile) {
        lastFile = table.file[run[begin].group];
        if (++repeatingFiles > settings.maxFiles) {
          selected.clear();
          return;
        }
      }
      const std::size_t kept =
          std::min(end - begin, static_cast<std::size_t>(settings.postingsPerGroup));
      selected.insert(selected.end(), run.begin() + static_cast<std::ptrdiff_t>(begin),
                      run.begin() + static_cast<std::ptrdiff_t>(begin + kept));
    }
    begin = end;
  }
}

// The hit of seed a.position in group a with b.position in group b, extended
// without gaps; nothing when the words differ (two seeds of one hash).
std::optional<Segment> extendHit(const GroupTable& table, const Posting& a, const Posting& b,
                                 const SeedSettings& settings) {
  const std::vector<std::uint32_t>& wordsA = table.groups[a.group]->wordIds;
  const std::vector<std::uint32_t>& wordsB = table.groups[b.group]->wordIds;
  const auto seed = static_cast<std::int32_t>(settings.seedWords);
  const auto posA = static_cast<std::int32_t>(a.position);
  const auto posB = static_cast<std::int32_t>(b.position);
  for (std::int32_t i = 0; i < seed; ++i) {
    if (wordsA[posA + i] != wordsB[posB + i]) return std::nullopt;
  }
  // Extends from the seed by `step` (+1 or -1); returns the gain and the words
  // taken up to the best score.
  const auto extend = [&](std::int32_t fromA, std::int32_t fromB, std::int32_t step) {
    float score = 0.0f;
    float best = 0.0f;
    std::int32_t bestWords = 0;
    const auto sizeA = static_cast<std::int32_t>(wordsA.size());
    const auto sizeB = static_cast<std::int32_t>(wordsB.size());
    int mismatches = 0;  // in a row
    for (std::int32_t n = 0; n < settings.reach; ++n) {
      const std::int32_t i = fromA + step * n;
      const std::int32_t j = fromB + step * n;
      if (i < 0 || j < 0 || i >= sizeA || j >= sizeB) break;
      const bool same = wordsA[i] == wordsB[j];
      mismatches = same ? 0 : mismatches + 1;
      if (mismatches >= settings.mismatchRun) break;
      score += same ? settings.match : settings.mismatch;
      if (score > best) {
        best = score;
        bestWords = n + 1;
      } else if (best - score > settings.xDrop) {
        break;
      }
    }
    return std::pair(best, bestWords);
  };
  const auto [gainRight, right] = extend(posA + seed, posB + seed, 1);
  const auto [gainLeft, left] = extend(posA - 1, posB - 1, -1);
  Segment segment;
  segment.a = a.group;
  segment.b = b.group;
  segment.startA = posA - left;
  segment.startB = posB - left;
  segment.length = left + seed + right;
  segment.score = static_cast<float>(seed) * settings.match + gainLeft + gainRight;
  return segment;
}

// The extensions of the hits of one bucket's seeds.
void bucketSegments(std::span<const Posting> bucket, const GroupTable& table,
                    const SeedSettings& settings, std::vector<Segment>& out) {
  std::vector<Posting> selected;
  for (std::size_t begin = 0; begin < bucket.size();) {
    std::size_t end = begin + 1;
    while (end < bucket.size() && bucket[end].hash == bucket[begin].hash) ++end;
    if (end - begin > 1) {
      selectPostings(bucket.subspan(begin, end - begin), table, settings, selected);
      for (std::size_t i = 0; i < selected.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
          // Sorted by group, so selected[i] is of the file with the higher index.
          if (table.file[selected[i].group] == table.file[selected[j].group]) continue;
          const auto segment = extendHit(table, selected[i], selected[j], settings);
          if (segment) out.push_back(*segment);
        }
      }
    }
    begin = end;
  }
}

// Whether the segments of one group pair (sorted) chain to keepScore.
bool chainKeeps(std::span<const Segment> segments, const SeedSettings& settings) {
  std::vector<float> best(segments.size());
  for (std::size_t j = 0; j < segments.size(); ++j) {
    const Segment& s = segments[j];
    float before = 0.0f;
    for (std::size_t i = 0; i < j; ++i) {
      const Segment& r = segments[i];
      const std::int32_t gapA = s.startA - (r.startA + r.length);
      const std::int32_t gapB = s.startB - (r.startB + r.length);
      const std::int32_t shift = (s.startA - s.startB) - (r.startA - r.startB);
      if (gapA < 0 || gapB < 0 || std::max(gapA, gapB) > settings.chainGap ||
          std::abs(shift) > settings.chainDiagonals) {
        continue;
      }
      before = std::max(before, best[i]);
    }
    best[j] = s.score + before;
    if (best[j] >= settings.keepScore) return true;
  }
  return false;
}

// The group next to `group` in the same file, `step` away; -1 at the ends.
std::int64_t neighbour(const GroupTable& table, std::uint32_t group, int step) {
  const std::int64_t other = static_cast<std::int64_t>(group) + step;
  if (other < 0 || other >= static_cast<std::int64_t>(table.groups.size()) ||
      table.file[static_cast<std::size_t>(other)] != table.file[group]) {
    return -1;
  }
  return other;
}

// The neighbouring group pairs that a segment near a group's edge may go on in.
void addSpills(const GroupTable& table, const Segment& s, const SeedSettings& settings,
               std::vector<std::pair<std::uint32_t, std::uint32_t>>& out) {
  if (s.score < settings.spillScore) return;
  const auto sizeA = static_cast<std::int32_t>(table.groups[s.a]->wordIds.size());
  const auto sizeB = static_cast<std::int32_t>(table.groups[s.b]->wordIds.size());
  const int near = settings.spillWords;
  for (const int step : {-1, 1}) {
    const bool nearA = step < 0 ? s.startA < near : s.startA + s.length > sizeA - near;
    const bool nearB = step < 0 ? s.startB < near : s.startB + s.length > sizeB - near;
    const std::int64_t nextA = nearA ? neighbour(table, s.a, step) : -1;
    const std::int64_t nextB = nearB ? neighbour(table, s.b, step) : -1;
    const auto a = static_cast<std::uint32_t>(nextA);
    const auto b = static_cast<std::uint32_t>(nextB);
    if (nextA >= 0) out.emplace_back(a, s.b);
    if (nextB >= 0) out.emplace_back(s.a, b);
    if (nextA >= 0 && nextB >= 0) out.emplace_back(a, b);
  }
}

}  // namespace

std::uint64_t seedIndexMemory(std::uint64_t words, std::uint64_t groups, int threads) {
  // The postings, the table of groups, and each chunk's bucket counts.
  const auto chunks = static_cast<std::uint64_t>(std::max(1, threads)) * 4;
  return words * sizeof(Posting) + groups * (sizeof(void*) + 2 * sizeof(std::int32_t)) +
         (chunks + 1) * kBuckets * sizeof(std::size_t);
}

std::vector<GroupPairIndex> seededGroupPairs(const CompareEngine& engine, int threads,
                                             const SeedSettings& settings) {
  threads = std::max(1, threads);
  const GroupTable table = groupTable(engine);
  std::vector<std::size_t> bucketStart;
  std::vector<Segment> segments;
  {
    const std::vector<Posting> postings =
        buildPostings(table, threads, settings.seedWords, bucketStart);
    std::vector<std::vector<Segment>> found(kBuckets);
    parallelFor(threads, kBuckets, [&](std::size_t bucket) {
      const std::span<const Posting> all(postings);
      bucketSegments(
          all.subspan(bucketStart[bucket], bucketStart[bucket + 1] - bucketStart[bucket]), table,
          settings, found[bucket]);
    });
    std::size_t total = 0;
    for (const auto& part : found) total += part.size();
    segments.reserve(total);
    for (auto& part : found) {
      segments.insert(segments.end(), part.begin(), part.end());
      part = {};
    }
  }
  std::sort(segments.begin(), segments.end());
  segments.erase(std::unique(segments.begin(), segments.end()), segments.end());

  std::vector<std::pair<std::uint32_t, std::uint32_t>> kept;
  for (std::size_t begin = 0; begin < segments.size();) {
    std::size_t end = begin + 1;
    while (end < segments.size() && segments[end].a == segments[begin].a &&
           segments[end].b == segments[begin].b) {
      ++end;
    }
    const std::span<const Segment> pair(segments.data() + begin, end - begin);
    if (chainKeeps(pair, settings)) kept.emplace_back(segments[begin].a, segments[begin].b);
    for (const Segment& segment : pair) addSpills(table, segment, settings, kept);
    begin = end;
  }
  std::vector<GroupPairIndex> places;
  places.reserve(kept.size());
  for (const auto& [a, b] : kept) {
    places.push_back({table.file[a], table.file[b], table.number[a], table.number[b]});
  }
  std::sort(places.begin(), places.end());
  places.erase(std::unique(places.begin(), places.end()), places.end());
  return places;
}

std::vector<GroupPairIndex> comparisonPlaces(const CompareEngine& engine,
                                             const std::vector<std::int32_t>& numbers) {
  std::vector<GroupPairIndex> places;
  places.reserve(numbers.size());
  auto next = numbers.begin();
  std::int64_t first = 0;
  for (auto a = engine.fileTable.begin(); a != engine.fileTable.end() && next != numbers.end();
       ++a) {
    for (auto b = engine.fileTable.begin(); b != a && next != numbers.end(); ++b) {
      if (!engine.comparesPair(*a->second, *b->second)) continue;
      const auto groupsB = static_cast<std::int64_t>(b->second->groups.size());
      const std::int64_t size = static_cast<std::int64_t>(a->second->groups.size()) * groupsB;
      for (; next != numbers.end() && *next < first + size; ++next) {
        const std::int64_t within = *next - first;
        // The groups of a loaded file are keyed 0, 1, 2, ... in text order.
        places.push_back({a->first, b->first, static_cast<std::int32_t>(within / groupsB),
                          static_cast<std::int32_t>(within % groupsB)});
      }
      first += size;
    }
  }
  return places;
}

}  // namespace orvalis
