#include "engine/text.h"

#include <cmath>
#include <limits>
#include <optional>
#include <system_error>

#include "engine/encoding.h"
#include "engine/input_file.h"

namespace orvalis {

std::string applyTextMode(std::string raw) {
  constexpr char kEndOfInput = '\x1A';
  std::size_t out = 0;
  for (std::size_t in = 0; in < raw.size(); ++in) {
    const char c = raw[in];
    if (c == kEndOfInput) break;
    if (c == '\r' && in + 1 < raw.size() && raw[in + 1] == '\n') continue;
    raw[out++] = c;
  }
  raw.resize(out);
  return raw;
}

std::vector<WordEntry> splitWords(std::string_view text, std::size_t expectedWords) {
  std::vector<WordEntry> words;
  words.reserve(expectedWords);
  std::size_t wordStart = 0;
  bool inWord = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\n') {
      if (inWord) {
        words.push_back(
            {std::string(text.substr(wordStart, i - wordStart)), static_cast<std::int32_t>(i)});
        inWord = false;
      }
    } else if (!inWord) {
      wordStart = i;
      inWord = true;
    }
  }
  if (inWord) {
    words.push_back({std::string(text.substr(wordStart)), static_cast<std::int32_t>(text.size())});
  }
  return words;
}

GroupCounts groupCounts(std::int32_t wordCount, std::int32_t groupSize) {
  if (wordCount <= 0) return {};
  const std::int32_t longest = groupSize - 1;
  // Single precision, so that files are cut exactly where they always were.
  const float wordCountF = static_cast<float>(wordCount);
  const float groupCountF = std::ceil(wordCountF / static_cast<float>(longest));
  const float groupLengthF = std::ceil(wordCountF / groupCountF);
  GroupCounts counts;
  constexpr float kBeyondInt32 = 2147483648.0f;  // 2^31: no 32-bit int has this value
  if (groupCountF < kBeyondInt32 && groupLengthF < kBeyondInt32) {
    counts = {static_cast<std::int32_t>(groupCountF), static_cast<std::int32_t>(groupLengthF)};
  }
  // Beyond 2^24 words the float word count is rounded: the groups could then
  // leave the last words out or hold more words than the alignment allows.
  if (static_cast<std::int64_t>(counts.count) * counts.length < wordCount ||
      counts.length > longest) {
    counts.count = wordCount / longest + (wordCount % longest != 0 ? 1 : 0);
    counts.length = wordCount / counts.count + (wordCount % counts.count != 0 ? 1 : 0);
  }
  return counts;
}

void groupWords(FileEntry& entry, std::vector<WordEntry> words, std::int32_t groupSize) {
  const auto wordCount = static_cast<std::int32_t>(words.size());
  if (wordCount == 0) return;
  const auto [groupCount, groupLength] = groupCounts(wordCount, groupSize);

  for (std::int32_t k = 0; k < groupCount; ++k) {
    const std::int64_t first = static_cast<std::int64_t>(k) * groupLength;
    if (first >= wordCount) break;  // rounding in single precision cannot leave a group empty
    const auto s = static_cast<std::int32_t>(first);
    const std::int32_t e = std::min(wordCount, s + groupLength);

    auto group = std::make_unique<WordGroup>();
    group->file = &entry;
    group->startOffset = words[s].startOffset();
    const bool isLast = (k == groupCount - 1) || e == wordCount;
    group->length = words[e - 1].endOffset - group->startOffset + (isLast ? 0 : 1);
    group->words.reserve(static_cast<std::size_t>(e - s));
    for (std::int32_t w = s; w < e; ++w) {
      WordEntry& word = words[w];
      word.endOffset -= group->startOffset;
      group->words.push_back(std::move(word));
    }
    entry.groups.emplace(k, std::move(group));
  }
}

std::int32_t effectiveGroupSize(std::int32_t groupSize) {
  return groupSize < 2 ? kDefaultGroupSize : groupSize;
}

std::string notEnoughMemoryReason(const MemoryBudget& budget, std::uint64_t needed) {
  return std::string("not enough memory to read it: the scan would need ")
      .append(budget.shortfallText(needed));
}

LoadError readTextFile(const std::filesystem::path& path, std::string& text, FileStamp* stamp,
                       const MemoryBudget* budget, Sha256Digest* digest) {
  InputFile file;
  if (std::string whyNot = file.open(path); !whyNot.empty()) return {std::move(whyNot)};
  if (stamp != nullptr) *stamp = file.stamp();
  // Offsets are 32-bit throughout the engine and its stored results.
  if (file.size() > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
    return {kTooLargeReason};
  }
  if (budget != nullptr && !budget->fits(file.size())) {
    return {notEnoughMemoryReason(*budget, file.size())};
  }
  std::string raw(static_cast<std::size_t>(file.size()), '\0');
  std::size_t got = 0;
  while (got < raw.size()) {
    const std::ptrdiff_t n = file.read(raw.data() + got, raw.size() - got);
    if (n < 0) return {"read error"};
    if (n == 0) break;  // the file shrank since it was opened
    got += static_cast<std::size_t>(n);
  }
  raw.resize(got);
  if (digest != nullptr) *digest = sha256(raw);
  text = applyTextMode(std::move(raw));
  return {};
}

namespace {

// Splits and groups a file's text, within the budget.
LoadError splitAndGroup(FileEntry& entry, std::string text, std::int32_t groupSize,
                        MemoryBudget* budget) {
  entry.textIsUtf8 = isValidUtf8(text);
  const WordMemory memory = wordMemoryOf(text, groupSize);
  if (budget != nullptr) {
    if (!budget->fits(memory.peak)) return {notEnoughMemoryReason(*budget, memory.peak)};
    budget->take(memory.kept);
  }
  auto words = splitWords(text, static_cast<std::size_t>(memory.words));
  text = std::string();
  groupWords(entry, std::move(words), groupSize);
  return {};
}

}  // namespace

LoadError loadFileEntry(FileEntry& entry, std::int32_t groupSize, MemoryBudget* budget,
                        bool hashContents) {
  groupSize = effectiveGroupSize(groupSize);
  std::string text;
  Sha256Digest digest{};
  if (LoadError error =
          readTextFile(entry.path, text, &entry.stamp, budget, hashContents ? &digest : nullptr)) {
    return error;
  }
  if (hashContents) entry.digest = digest;
  return splitAndGroup(entry, std::move(text), groupSize, budget);
}

LoadError loadFileEntry(FileEntry& entry, SourceText given, std::int32_t groupSize,
                        MemoryBudget* budget) {
  entry.stamp = given.stamp;
  entry.format = std::move(given.format);
  if (!given.error.empty()) return {std::move(given.error)};
  if (given.text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    return {kTooLargeReason};
  }
  return splitAndGroup(entry, std::move(given.text), effectiveGroupSize(groupSize), budget);
}

LoadError readEntryText(const FileEntry& entry, std::string& text, FileStamp* stamp, bool* isUtf8) {
  std::optional<SourceText> given;
  if (entry.textSource != nullptr) given = entry.textSource->read(entry.path);
  if (!given) {
    LoadError error = readTextFile(entry.path, text, stamp);
    if (isUtf8 != nullptr) *isUtf8 = isValidUtf8(text);
    return error;
  }
  if (stamp != nullptr) *stamp = given->stamp;
  if (isUtf8 != nullptr) *isUtf8 = true;
  text = std::move(given->text);
  return {std::move(given->error)};
}

}  // namespace orvalis
