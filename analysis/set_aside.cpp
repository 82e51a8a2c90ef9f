#include "analysis/set_aside.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <string_view>

#include "engine/bit_mix.h"
#include "engine/text.h"

namespace orvalis {
namespace {

// The number of the word of `group` that begins at offset `start` (relative to
// the group) or, failing that, the first that begins after it.
std::size_t wordAt(const WordGroup& group, std::int32_t start) {
  const auto found = std::lower_bound(
      group.words.begin(), group.words.end(), start,
      [](const WordEntry& word, std::int32_t at) { return word.startOffset() < at; });
  return static_cast<std::size_t>(found - group.words.begin());
}

// For each step of a consensus string, whether it is a gap: a word is followed
// by one blank, a gap is " * ", and no word begins with a blank.
std::vector<bool> gapSteps(std::string_view text) {
  std::vector<bool> gaps;
  std::size_t at = 0;
  while (at < text.size()) {
    if (text[at] == ' ') {
      gaps.push_back(true);
      at += 3;
      continue;
    }
    gaps.push_back(false);
    const std::size_t end = text.find(' ', at);
    at = end == std::string_view::npos ? text.size() : end + 1;
  }
  return gaps;
}

// Every word of a file in text order, with whether it is already set aside.
struct FileWords {
  std::vector<std::uint64_t> hashes;
  std::vector<bool> setAside;
};

FileWords fileWords(const FileEntry& file) {
  FileWords words;
  const std::hash<std::string_view> hash;
  for (const auto& [number, group] : file.groups) {
    for (const WordEntry& word : group->words) {
      const bool aside =
          words.hashes.size() < file.setAside.size() && file.setAside[words.hashes.size()];
      words.hashes.push_back(mixBits(hash(word.text)));
      words.setAside.push_back(aside);
    }
  }
  return words;
}

// The keys of the runs of kEdgeWords words of a file, one per word at which
// such a run starts; a run that holds a word set aside has none.
struct RunKeys {
  std::vector<std::uint64_t> keys;
  std::vector<bool> valid;
};

RunKeys edgeRunKeys(const FileWords& words) {
  RunKeys runs;
  const std::size_t count = words.hashes.size();
  const std::size_t starts = count >= kEdgeWords ? count - kEdgeWords + 1 : 0;
  runs.keys.resize(starts);
  runs.valid.assign(starts, false);
  for (std::size_t at = 0; at < starts; ++at) {
    std::uint64_t key = kEdgeWords;
    bool valid = true;
    for (std::size_t i = at; i < at + kEdgeWords; ++i) {
      valid = valid && !words.setAside[i];
      key = mixBits(key * 0x9E3779B97F4A7C15ull + words.hashes[i]);
    }
    runs.keys[at] = key;
    runs.valid[at] = valid;
  }
  return runs;
}

// The keys of the runs of kPassageWords words: each made of the keys of its
// two halves, which are runs of kEdgeWords words.
static_assert(kPassageWords == 2 * kEdgeWords);
RunKeys passageRunKeys(const RunKeys& edges) {
  RunKeys runs;
  const std::size_t starts = edges.keys.size() > kEdgeWords ? edges.keys.size() - kEdgeWords : 0;
  runs.keys.resize(starts);
  runs.valid.assign(starts, false);
  for (std::size_t at = 0; at < starts; ++at) {
    runs.keys[at] = mixBits(edges.keys[at] * 0x9E3779B97F4A7C15ull + edges.keys[at + kEdgeWords]);
    runs.valid[at] = edges.valid[at] && edges.valid[at + kEdgeWords];
  }
  return runs;
}

// For each file and each run of it, whether the same run stands in more than
// `maxFiles` files. Most runs stand in one file or a few, so a first pass
// counts every run in a table of saturating counters indexed by its key's low
// bits; a run whose counter stays at or below `maxFiles` stands in no more
// files than that, since runs that share a counter only raise it. Only the
// other runs are sorted by key and their files counted exactly.
std::vector<std::vector<bool>> widelySharedRuns(const std::vector<RunKeys>& files,
                                                std::int32_t maxFiles) {
  std::vector<std::vector<bool>> shared(files.size());
  std::size_t total = 0;
  for (std::size_t f = 0; f < files.size(); ++f) {
    total += files[f].keys.size();
    shared[f].assign(files[f].keys.size(), false);
  }
  if (maxFiles < 0) maxFiles = 0;
  const auto ceiling = static_cast<std::uint16_t>(std::min<std::int32_t>(maxFiles, 0xfffe) + 1);
  const std::size_t slots = std::clamp<std::size_t>(std::bit_ceil(2 * total), 1024, 1u << 24);
  std::vector<std::uint16_t> counters(slots, 0);
  const auto slot = [&](std::uint64_t key) { return static_cast<std::size_t>(key) & (slots - 1); };
  for (const RunKeys& file : files) {
    for (std::size_t at = 0; at < file.keys.size(); ++at) {
      std::uint16_t& counter = counters[slot(file.keys[at])];
      if (file.valid[at] && counter < ceiling) ++counter;
    }
  }

  struct Run {
    std::uint64_t key;
    std::uint32_t file;
    std::uint32_t at;
  };
  std::vector<Run> candidates;
  for (std::size_t f = 0; f < files.size(); ++f) {
    const RunKeys& file = files[f];
    for (std::size_t at = 0; at < file.keys.size(); ++at) {
      if (file.valid[at] && counters[slot(file.keys[at])] >= ceiling) {
        candidates.push_back(
            {file.keys[at], static_cast<std::uint32_t>(f), static_cast<std::uint32_t>(at)});
      }
    }
  }
  std::sort(candidates.begin(), candidates.end(), [](const Run& a, const Run& b) {
    return a.key != b.key ? a.key < b.key : a.file < b.file;
  });
  for (std::size_t first = 0; first < candidates.size();) {
    std::size_t end = first;
    std::int32_t fileCount = 0;
    for (; end < candidates.size() && candidates[end].key == candidates[first].key; ++end) {
      if (end == first || candidates[end].file != candidates[end - 1].file) ++fileCount;
    }
    if (fileCount > maxFiles) {
      for (std::size_t i = first; i < end; ++i) shared[candidates[i].file][candidates[i].at] = true;
    }
    first = end;
  }
  return shared;
}

}  // namespace

std::string loadTemplates(const std::vector<std::filesystem::path>& paths, std::int32_t groupSize,
                          TemplateSet& templates) {
  for (const auto& path : paths) {
    auto entry = std::make_unique<FileEntry>();
    entry->path = path;
    entry->displayName = path.filename();
    entry->index = static_cast<std::int32_t>(templates.files.size());
    if (LoadError error = loadFileEntry(*entry, groupSize)) {
      return path.string() + ": " + error.message;
    }
    templates.files.push_back(std::move(entry));
  }
  return {};
}

std::vector<bool> templateWords(const FileEntry& file, const TemplateSet& templates,
                                const AlignScores& scores, AlignWorkspace& workspace) {
  // Ids from here on equal no word of the file or of a template.
  std::uint32_t firstFreeId = 0;
  const auto above = [&](const WordGroup& group) {
    for (const std::uint32_t id : group.wordIds) firstFreeId = std::max(firstFreeId, id + 1);
  };
  for (const auto& [number, group] : file.groups) above(*group);
  for (const auto& templateFile : templates.files) {
    for (const auto& [number, group] : templateFile->groups) above(*group);
  }
  std::uint32_t nextId = firstFreeId;
  std::vector<bool> flags;
  for (const auto& [number, group] : file.groups) {
    // A copy whose ids change as stretches are set aside.
    WordGroup scratch = *group;
    std::vector<bool> aside(scratch.words.size(), false);
    for (const auto& templateFile : templates.files) {
      for (const auto& [templateNumber, templateGroup] : templateFile->groups) {
        for (;;) {
          PairResult result;
          result.groupA = &scratch;
          result.groupB = templateGroup.get();
          if (alignGroups(scores, workspace, result, 0, 0) < static_cast<float>(kPassageWords)) {
            break;
          }
          // Words paired with template words, matching or not, are template
          // text; so are runs of the file's words that the template lacks
          // when shorter than a passage (edits). A longer run is the file's
          // own text between two pieces, which the alignment bridged.
          const auto setAside = [&](std::size_t w) {
            if (w < aside.size() && !aside[w]) {
              aside[w] = true;
              scratch.wordIds[w] = nextId++;
            }
          };
          const std::vector<bool> gapsA = gapSteps(result.consensusA);
          const std::vector<bool> gapsB = gapSteps(result.consensusB);
          std::size_t w = wordAt(scratch, result.startA);
          std::vector<std::size_t> ownRun;
          const auto endRun = [&] {
            if (ownRun.size() < kPassageWords) {
              for (const std::size_t own : ownRun) setAside(own);
            }
            ownRun.clear();
          };
          for (std::size_t step = 0; step < std::min(gapsA.size(), gapsB.size()); ++step) {
            if (gapsA[step]) continue;  // a template word the file lacks
            if (gapsB[step]) {
              ownRun.push_back(w++);
              continue;
            }
            endRun();
            setAside(w++);
          }
          endRun();
        }
      }
    }
    flags.insert(flags.end(), aside.begin(), aside.end());
  }
  return flags;
}

std::vector<std::vector<bool>> commonPassageWords(const std::vector<const FileEntry*>& files,
                                                  std::int32_t maxFiles) {
  std::vector<FileWords> words;
  words.reserve(files.size());
  for (const FileEntry* file : files) words.push_back(fileWords(*file));
  std::vector<RunKeys> edgeKeys;
  std::vector<RunKeys> passageKeys;
  // Each table is let go once counted, so that the next one reuses its memory.
  for (FileWords& file : words) {
    edgeKeys.push_back(edgeRunKeys(file));
    passageKeys.push_back(passageRunKeys(edgeKeys.back()));
    file.hashes = {};
  }
  const auto passages = widelySharedRuns(passageKeys, maxFiles);
  passageKeys = {};
  const auto edges = widelySharedRuns(edgeKeys, maxFiles);
  edgeKeys = {};

  std::vector<std::vector<bool>> flags(words.size());
  for (std::size_t f = 0; f < words.size(); ++f) {
    const FileWords& file = words[f];
    const std::size_t count = file.setAside.size();
    std::vector<bool>& flagged = flags[f];
    flagged.assign(count, false);
    const auto flag = [&](std::size_t at, std::size_t length) {
      std::fill(flagged.begin() + static_cast<std::ptrdiff_t>(at),
                flagged.begin() + static_cast<std::ptrdiff_t>(at + length), true);
    };
    for (std::size_t at = 0; at + kPassageWords <= count; ++at) {
      if (passages[f][at]) flag(at, kPassageWords);
    }
    // Edits close together leave no run of kPassageWords intact, and an edit
    // near a passage's end leaves the words beyond it in none. Shorter common
    // runs take them in: a stretch of them, bridging up to kEditWords other
    // words at a time, that covers kPassageWords words or touches a passage.
    std::vector<bool> edge(count, false);
    for (std::size_t at = 0; at + kEdgeWords <= count; ++at) {
      if (edges[f][at]) {
        std::fill(edge.begin() + static_cast<std::ptrdiff_t>(at),
                  edge.begin() + static_cast<std::ptrdiff_t>(at + kEdgeWords), true);
      }
    }
    for (std::size_t w = 0; w < count;) {
      if (!edge[w]) {
        ++w;
        continue;
      }
      std::size_t end = w + 1;  // past the stretch's last edge word
      std::size_t covered = 1;
      bool touches = flagged[w] || (w > 0 && flagged[w - 1]);
      for (std::size_t next = end; next < count && next <= end + kEditWords; ++next) {
        if (!edge[next]) continue;
        end = next + 1;
        ++covered;
        touches = touches || flagged[next];
      }
      if (end < count && flagged[end]) touches = true;
      if (covered >= kPassageWords || touches) {
        for (std::size_t g = w; g < end; ++g) {
          if (!file.setAside[g]) flagged[g] = true;
        }
      }
      w = end;
    }
    // Short gaps between two common stretches: the passage with its edits.
    std::size_t lastCommon = count;  // none yet
    for (std::size_t w = 0; w < count; ++w) {
      if (!flagged[w]) continue;
      if (lastCommon != count && w - lastCommon > 1 &&
          w - lastCommon - 1 < static_cast<std::size_t>(kCommonGapWords)) {
        for (std::size_t g = lastCommon + 1; g < w; ++g) {
          if (!file.setAside[g]) flagged[g] = true;
        }
      }
      lastCommon = w;
    }
  }
  return flags;
}

void setAsideSharedText(CompareEngine& engine, const TemplateSet& templates,
                        SetAsideReport& report) {
  if (!templates.empty()) {
    // One vocabulary for the files and the templates. The scan gives its own
    // ids afterwards.
    std::vector<WordGroup*> groups;
    for (const auto& [index, entry] : engine.fileTable) {
      for (const auto& [number, group] : entry->groups) groups.push_back(group.get());
    }
    for (const auto& file : templates.files) {
      for (const auto& [number, group] : file->groups) groups.push_back(group.get());
    }
    giveWordIds(groups);
    AlignWorkspace workspace;
    const AlignScores scores{engine.mismatchScore, engine.gapScore};
    for (auto& [index, entry] : engine.fileTable) {
      if (!engine.running) return;
      entry->setAside = templateWords(*entry, templates, scores, workspace);
      report.files[index].templateWords =
          std::count(entry->setAside.begin(), entry->setAside.end(), true);
    }
  }
  if (report.maxFiles > 0) {
    std::vector<const FileEntry*> files;
    for (const auto& [index, entry] : engine.fileTable) files.push_back(entry.get());
    const auto common = commonPassageWords(files, report.maxFiles);
    std::size_t f = 0;
    for (auto& [index, entry] : engine.fileTable) {
      const std::vector<bool>& flags = common[f++];
      if (entry->setAside.size() < flags.size()) entry->setAside.resize(flags.size(), false);
      std::int64_t added = 0;
      for (std::size_t w = 0; w < flags.size(); ++w) {
        if (flags[w] && !entry->setAside[w]) {
          entry->setAside[w] = true;
          ++added;
        }
      }
      report.files[index].commonWords = added;
    }
  }
  for (const auto& [index, entry] : engine.fileTable) {
    report.files[index].displayName = entry->displayName;
  }
}

std::string setAsideSummary(const SetAsideReport& report) {
  std::string text = "Set aside as template text, matching nothing:";
  if (!report.templates.empty()) {
    text += " the text of the template";
    text += report.templates.size() == 1 ? " " : "s ";
    for (std::size_t i = 0; i < report.templates.size(); ++i) {
      if (i > 0) text += ", ";
      text += report.templates[i].filename().string();
    }
    text += report.maxFiles > 0 ? ";" : ".";
  }
  if (report.maxFiles > 0) {
    text += " passages of " + std::to_string(kPassageWords) + " words or more that more than " +
            std::to_string(report.maxFiles) +
            (report.maxFiles == 1 ? " file shares." : " files share.");
  }
  return text;
}

std::vector<TextSpan> setAsideSpans(const FileEntry& file) {
  std::vector<TextSpan> spans;
  std::size_t word = 0;  // the word's number in the file
  bool inRun = false;
  for (const auto& [number, group] : file.groups) {
    for (const WordEntry& entry : group->words) {
      const bool aside = word < file.setAside.size() && file.setAside[word];
      ++word;
      if (!aside) {
        inRun = false;
        continue;
      }
      const std::int32_t start = group->startOffset + entry.startOffset();
      const std::int32_t end = group->startOffset + entry.endOffset;
      if (inRun) {
        spans.back().end = end;
      } else {
        spans.push_back({start, end});
      }
      inRun = true;
    }
  }
  return spans;
}

std::string setAsideText(const FileSetAside& counts) {
  return std::to_string(counts.templateWords) +
         (counts.templateWords == 1 ? " template word, " : " template words, ") +
         std::to_string(counts.commonWords) + " in common passages";
}

}  // namespace orvalis
