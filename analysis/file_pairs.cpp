#include "analysis/file_pairs.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numeric>
#include <system_error>
#include <utility>

#include "engine/encoding.h"

namespace orvalis {
namespace {

// Where each word of one file stands in its text, in text order, and how many
// words before each are set aside.
struct FileWords {
  std::vector<std::int64_t> starts;
  std::vector<std::int64_t> ends;
  std::vector<std::int64_t> setAsideBefore;  // empty when none is set aside

  std::int64_t count() const { return static_cast<std::int64_t>(starts.size()); }
  std::int64_t setAsideIn(std::size_t from, std::size_t to) const {
    return setAsideBefore.empty() ? 0 : setAsideBefore[to] - setAsideBefore[from];
  }
};

// Words [first, last) of a file, by their positions in text order.
struct WordRange {
  std::size_t first = 0;
  std::size_t last = 0;
};

FileWords wordsOf(const FileEntry& file, const SetAsideWords* setAside) {
  FileWords words;
  for (const auto& [key, group] : file.groups) {
    for (const WordEntry& word : group->words) {
      words.starts.push_back(std::int64_t{group->startOffset} + word.startOffset());
      words.ends.push_back(std::int64_t{group->startOffset} + word.endOffset);
    }
  }
  // The flags given, or else the ones the scan set on the file itself.
  const std::vector<bool>* flags = &file.setAside;
  if (setAside != nullptr) {
    const auto found = setAside->find(file.index);
    flags = found != setAside->end() ? &found->second : nullptr;
  }
  if (flags != nullptr && !flags->empty()) {
    words.setAsideBefore.assign(words.starts.size() + 1, 0);
    for (std::size_t i = 0; i < words.starts.size(); ++i) {
      const bool aside = i < flags->size() && (*flags)[i];
      words.setAsideBefore[i + 1] = words.setAsideBefore[i] + (aside ? 1 : 0);
    }
  }
  return words;
}

// The words that the stretch [start, end) of the text touches.
WordRange wordsIn(const FileWords& words, std::int64_t start, std::int64_t end) {
  if (end <= start) return {};
  const auto first = static_cast<std::size_t>(
      std::upper_bound(words.ends.begin(), words.ends.end(), start) - words.ends.begin());
  const auto last = static_cast<std::size_t>(
      std::lower_bound(words.starts.begin(), words.starts.end(), end) - words.starts.begin());
  return {first, std::max(first, last)};
}

// Words covered by any of `ranges`, each once, less those set aside; the merged
// ranges go to `merged`.
std::int64_t coveredWords(std::vector<WordRange>& ranges, const FileWords& words,
                          std::vector<std::pair<std::size_t, std::size_t>>& merged) {
  std::sort(ranges.begin(), ranges.end(),
            [](const WordRange& a, const WordRange& b) { return a.first < b.first; });
  std::int64_t covered = 0;
  std::size_t from = 0, to = 0;  // the merged range being built
  bool open = false;
  const auto close = [&]() {
    if (!open) return;
    covered += static_cast<std::int64_t>(to - from) - words.setAsideIn(from, to);
    merged.emplace_back(from, to);
  };
  for (const WordRange& range : ranges) {
    if (range.last <= range.first) continue;
    if (open && range.first <= to) {
      to = std::max(to, range.last);
      continue;
    }
    close();
    from = range.first;
    to = range.last;
    open = true;
  }
  close();
  return covered;
}

double shareOf(std::int64_t shared, std::int64_t words) {
  return words > 0 ? static_cast<double>(shared) / static_cast<double>(words) : 0.0;
}

std::size_t pairPosition(std::size_t higher, std::size_t lower) {
  return higher * (higher - 1) / 2 + lower;
}

// Case-blind ASCII text of a file's name, for ordering by name.
std::string nameKey(const FileEntry& file) {
  std::string key = displayText(file.displayName);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;

// Whether two lists of ascending disjoint ranges have a word in common.
bool overlap(const Ranges& x, const Ranges& y) {
  std::size_t i = 0, j = 0;
  while (i < x.size() && j < y.size()) {
    if (x[i].first < y[j].second && y[j].first < x[i].second) return true;
    if (x[i].second <= y[j].second) {
      ++i;
    } else {
      ++j;
    }
  }
  return false;
}

// Disjoint sets of links, joined by triangles.
class LinkSets {
 public:
  explicit LinkSets(std::size_t count) : parent_(count) {
    std::iota(parent_.begin(), parent_.end(), std::size_t{0});
  }
  std::size_t root(std::size_t item) {
    while (parent_[item] != item) {
      parent_[item] = parent_[parent_[item]];
      item = parent_[item];
    }
    return item;
  }
  void join(std::size_t a, std::size_t b) {
    a = root(a);
    b = root(b);
    if (a != b) parent_[std::max(a, b)] = std::min(a, b);
  }

 private:
  std::vector<std::size_t> parent_;
};

}  // namespace

double FilePairStats::shareA() const { return shareOf(sharedA, wordsA); }
double FilePairStats::shareB() const { return shareOf(sharedB, wordsB); }

std::optional<std::size_t> FilePairTable::find(std::int32_t indexA, std::int32_t indexB) const {
  const auto a = position.find(indexA);
  const auto b = position.find(indexB);
  if (a == position.end() || b == position.end() || a->second == b->second) return std::nullopt;
  return pairPosition(std::max(a->second, b->second), std::min(a->second, b->second));
}

std::vector<const FileEntry*> filesOf(const FileTable& files) {
  std::vector<const FileEntry*> entries;
  entries.reserve(files.size());
  for (const auto& [index, file] : files) entries.push_back(file.get());
  return entries;
}

std::vector<const FileEntry*> filesOf(const ResultTable& results) {
  std::map<std::int32_t, const FileEntry*> byIndex;
  for (const auto& [key, result] : results) {
    for (const WordGroup* group : {result.groupA, result.groupB}) {
      if (group != nullptr && group->file != nullptr)
        byIndex.emplace(group->file->index, group->file);
    }
  }
  std::vector<const FileEntry*> entries;
  entries.reserve(byIndex.size());
  for (const auto& [index, file] : byIndex) entries.push_back(file);
  return entries;
}

FilePairTable buildFilePairs(const std::vector<const FileEntry*>& files, const ResultTable& results,
                             const SignificanceModel& model, double maxEvalue,
                             const SetAsideWords* setAside) {
  FilePairTable table;
  table.maxEvalue = maxEvalue;
  std::vector<const FileEntry*> entries;
  std::vector<FileWords> words;
  entries.reserve(files.size());
  for (const FileEntry* file : files) {
    if (file == nullptr || !table.position.emplace(file->index, entries.size()).second) continue;
    entries.push_back(file);
    words.push_back(wordsOf(*file, setAside));
  }
  const std::size_t count = entries.size();
  table.files = entries;

  std::vector<std::size_t> byName(count);
  std::iota(byName.begin(), byName.end(), std::size_t{0});
  std::vector<std::string> keys(count);
  for (std::size_t p = 0; p < count; ++p) keys[p] = nameKey(*entries[p]);
  std::stable_sort(byName.begin(), byName.end(),
                   [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  table.nameRank.resize(count);
  for (std::size_t rank = 0; rank < count; ++rank) table.nameRank[byName[rank]] = rank;

  table.pairs.reserve(count * (count > 0 ? count - 1 : 0) / 2);
  for (std::size_t a = 1; a < count; ++a) {
    for (std::size_t b = 0; b < a; ++b) {
      FilePairStats pair;
      pair.fileA = entries[a];
      pair.fileB = entries[b];
      pair.wordsA = words[a].count();
      pair.wordsB = words[b].count();
      table.pairs.push_back(std::move(pair));
    }
  }

  // The stretches of the significant matches, by pair; the matches with where
  // they start in fileA.
  struct Stretches {
    std::vector<WordRange> a, b;
    std::vector<std::pair<std::int64_t, std::int32_t>> starts;
  };
  std::map<std::size_t, Stretches> stretches;
  std::vector<double> bestLogE(table.pairs.size(), std::numeric_limits<double>::infinity());
  for (const auto& [key, result] : results) {
    if (result.groupA == nullptr || result.groupB == nullptr || result.groupA->file == nullptr ||
        result.groupB->file == nullptr) {
      continue;
    }
    const auto foundA = table.position.find(result.groupA->file->index);
    const auto foundB = table.position.find(result.groupB->file->index);
    if (foundA == table.position.end() || foundB == table.position.end() ||
        foundA->second == foundB->second) {
      continue;
    }
    // The pair's fileA is the higher index; a result the other way round is turned.
    const bool turned = foundA->second < foundB->second;
    const std::size_t a = turned ? foundB->second : foundA->second;
    const std::size_t b = turned ? foundA->second : foundB->second;
    const std::size_t at = pairPosition(a, b);
    FilePairStats& pair = table.pairs[at];
    const double logE = logEvalue(model, result);
    if (pair.bestComparison < 0 || logE < bestLogE[at]) {
      bestLogE[at] = logE;
      pair.bestComparison = key;
      pair.bestEvalue = std::exp(logE);
    }
    if (!(std::exp(logE) <= maxEvalue)) continue;
    const std::int64_t startA = turned ? result.startB : result.startA;
    const std::int64_t endA = turned ? result.endB : result.endA;
    const std::int64_t startB = turned ? result.startA : result.startB;
    const std::int64_t endB = turned ? result.endA : result.endB;
    const WordRange inA = wordsIn(words[a], startA, endA);
    const WordRange inB = wordsIn(words[b], startB, endB);
    Stretches& pairStretches = stretches[at];
    pairStretches.a.push_back(inA);
    pairStretches.b.push_back(inB);
    pairStretches.starts.emplace_back(startA, key);
    pair.longestMatch =
        std::max({pair.longestMatch, static_cast<std::int64_t>(inA.last - inA.first),
                  static_cast<std::int64_t>(inB.last - inB.first)});
  }
  for (auto& [at, pairStretches] : stretches) {
    FilePairStats& pair = table.pairs[at];
    const std::size_t a = table.position.at(pair.fileA->index);
    const std::size_t b = table.position.at(pair.fileB->index);
    pair.sharedA = coveredWords(pairStretches.a, words[a], pair.coveredA);
    pair.sharedB = coveredWords(pairStretches.b, words[b], pair.coveredB);
    std::sort(pairStretches.starts.begin(), pairStretches.starts.end());
    for (const auto& [start, key] : pairStretches.starts) pair.matches.push_back(key);
  }
  groupFiles(table);
  return table;
}

void groupFiles(FilePairTable& table) {
  table.groups.clear();
  const std::size_t count = table.position.size();
  std::vector<std::vector<std::size_t>> neighbours(count);
  for (std::size_t at = 0; at < table.pairs.size(); ++at) {
    FilePairStats& pair = table.pairs[at];
    pair.group = 0;
    if (pair.matches.empty()) continue;
    const std::size_t a = table.position.at(pair.fileA->index);
    const std::size_t b = table.position.at(pair.fileB->index);
    neighbours[a].push_back(b);
    neighbours[b].push_back(a);
  }
  for (auto& list : neighbours) std::sort(list.begin(), list.end());

  LinkSets sets(table.pairs.size());
  const auto link = [](std::size_t x, std::size_t y) {
    return pairPosition(std::max(x, y), std::min(x, y));
  };
  // The words of file x that its pair with y covers.
  const auto covered = [&](std::size_t x, std::size_t y) -> const Ranges& {
    const FilePairStats& pair = table.pairs[link(x, y)];
    return x > y ? pair.coveredA : pair.coveredB;
  };
  // Whether in each of the three files the words it shares with the other two
  // overlap: the three links are made by one text.
  const auto sameText = [&](std::size_t x, std::size_t y, std::size_t z) {
    return overlap(covered(x, y), covered(x, z)) && overlap(covered(y, x), covered(y, z)) &&
           overlap(covered(z, x), covered(z, y));
  };
  for (std::size_t a = 1; a < count; ++a) {
    for (const std::size_t b : neighbours[a]) {
      if (b >= a) break;
      // Every third file linked with both closes a triangle of three links.
      std::size_t i = 0, j = 0;
      const auto& na = neighbours[a];
      const auto& nb = neighbours[b];
      while (i < na.size() && j < nb.size()) {
        if (na[i] < nb[j]) {
          ++i;
        } else if (nb[j] < na[i]) {
          ++j;
        } else {
          // Each of the triangle's three links comes here once and joins
          // the next, so one join each puts all three in one set.
          if (sameText(a, b, na[i])) sets.join(link(a, b), link(a, na[i]));
          ++i;
          ++j;
        }
      }
    }
  }

  std::map<std::size_t, FileGroup> byRoot;
  for (std::size_t at = 0; at < table.pairs.size(); ++at) {
    const FilePairStats& pair = table.pairs[at];
    if (pair.matches.empty()) continue;
    FileGroup& group = byRoot[sets.root(at)];
    group.pairs.push_back(at);
    group.members.push_back(pair.fileA->index);
    group.members.push_back(pair.fileB->index);
  }
  for (auto& [root, group] : byRoot) {
    std::sort(group.members.begin(), group.members.end());
    group.members.erase(std::unique(group.members.begin(), group.members.end()),
                        group.members.end());
    table.groups.push_back(std::move(group));
  }
  std::sort(table.groups.begin(), table.groups.end(), [](const FileGroup& x, const FileGroup& y) {
    if (x.members.size() != y.members.size()) return x.members.size() > y.members.size();
    if (x.pairs.size() != y.pairs.size()) return x.pairs.size() > y.pairs.size();
    return x.members < y.members;
  });
  for (std::size_t g = 0; g < table.groups.size(); ++g) {
    for (const std::size_t at : table.groups[g].pairs) {
      table.pairs[at].group = static_cast<int>(g + 1);
    }
  }
}

std::vector<std::size_t> orderPairs(const FilePairTable& table,
                                    const std::vector<std::size_t>& rows, PairColumn column,
                                    bool descending) {
  const auto rankOf = [&](const FileEntry* file) {
    return static_cast<double>(table.nameRank[table.position.at(file->index)]);
  };
  const auto names = static_cast<double>(table.nameRank.size());
  // The value of the column; not a number for none.
  const auto valueOf = [&](const FilePairStats& pair) -> double {
    switch (column) {
      case PairColumn::kFileA:
        return rankOf(pair.fileA) * names + rankOf(pair.fileB);
      case PairColumn::kFileB:
        return rankOf(pair.fileB) * names + rankOf(pair.fileA);
      case PairColumn::kShareA:
        return pair.shareA();
      case PairColumn::kShareB:
        return pair.shareB();
      case PairColumn::kShare:
        return std::max(pair.shareA(), pair.shareB());
      case PairColumn::kLongest:
        return static_cast<double>(pair.longestMatch);
      case PairColumn::kEvalue:
        return pair.bestEvalue;
      case PairColumn::kMatches:
        return static_cast<double>(pair.matches.size());
      case PairColumn::kGroup:
        return pair.group > 0 ? pair.group : std::numeric_limits<double>::quiet_NaN();
    }
    return 0.0;
  };
  struct Keyed {
    double value;
    double share;
    double evalue;
    double names;
    std::size_t row;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(rows.size());
  for (const std::size_t row : rows) {
    const FilePairStats& pair = table.pairs[row];
    const double evalue =
        std::isnan(pair.bestEvalue) ? std::numeric_limits<double>::infinity() : pair.bestEvalue;
    keyed.push_back({valueOf(pair), std::max(pair.shareA(), pair.shareB()), evalue,
                     rankOf(pair.fileA) * names + rankOf(pair.fileB), row});
  }
  std::sort(keyed.begin(), keyed.end(), [descending](const Keyed& x, const Keyed& y) {
    const bool xNone = std::isnan(x.value);
    const bool yNone = std::isnan(y.value);
    if (xNone != yNone) return yNone;
    if (!xNone && x.value != y.value) return descending ? x.value > y.value : x.value < y.value;
    if (x.share != y.share) return x.share > y.share;
    if (x.evalue != y.evalue) return x.evalue < y.evalue;
    if (x.names != y.names) return x.names < y.names;
    return x.row < y.row;
  });
  std::vector<std::size_t> ordered;
  ordered.reserve(keyed.size());
  for (const Keyed& k : keyed) ordered.push_back(k.row);
  return ordered;
}

std::string cutText(double maxEvalue) {
  std::array<char, 64> text{};
  const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), maxEvalue);
  return error == std::errc() ? std::string(text.data(), end) : evalueText(maxEvalue);
}

std::string pairSharesText(const FilePairStats& pair) {
  return shareText(pair.sharedA, pair.wordsA) + " of " + lineText(pair.fileA->displayName) + ", " +
         shareText(pair.sharedB, pair.wordsB) + " of " + lineText(pair.fileB->displayName);
}

std::string shareText(std::int64_t shared, std::int64_t words) {
  if (shared <= 0 || words <= 0) return "0 %";
  if (shared >= words) return "100 %";
  const auto percent =
      std::llround(100.0 * static_cast<double>(shared) / static_cast<double>(words));
  if (percent < 1) return "<1 %";
  if (percent > 99) return ">99 %";
  return std::to_string(percent) + " %";
}

}  // namespace orvalis
