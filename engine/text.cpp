#include "engine/text.h"

#include <algorithm>
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

namespace {

// Stores a file's words in its groups as they come, in text order, each word's
// offset made relative to its group's first word. Every group but the last
// holds the length that groupCounts gives, and spans the one separator after
// its last word.
class GroupFiller {
 public:
  GroupFiller(FileEntry& entry, std::int32_t wordCount, std::int32_t groupSize)
      : entry_(entry),
        wordCount_(wordCount),
        length_(wordCount > 0 ? groupCounts(wordCount, groupSize).length : 1) {}

  // A word and the offset just past it in the text.
  void add(std::string text, std::int32_t endOffset) {
    const std::int32_t start = endOffset - static_cast<std::int32_t>(text.size());
    if (group_ == nullptr || static_cast<std::int32_t>(group_->words.size()) >= length_) {
      startGroup(start);
    }
    group_->words.push_back({std::move(text), endOffset - group_->startOffset});
    lastEnd_ = endOffset;
    ++added_;
  }

  // After the last word.
  void finish() {
    if (group_ != nullptr) group_->length = lastEnd_ - group_->startOffset;
  }

 private:
  void startGroup(std::int32_t startOffset) {
    if (group_ != nullptr) group_->length = lastEnd_ - group_->startOffset + 1;
    auto group = std::make_unique<WordGroup>();
    group->file = &entry_;
    group->startOffset = startOffset;
    group->words.reserve(static_cast<std::size_t>(std::clamp(wordCount_ - added_, 1, length_)));
    group_ = group.get();
    entry_.groups.emplace(static_cast<std::int32_t>(entry_.groups.size()), std::move(group));
  }

  FileEntry& entry_;
  const std::int32_t wordCount_;
  const std::int32_t length_;
  WordGroup* group_ = nullptr;
  std::int32_t added_ = 0;
  std::int32_t lastEnd_ = 0;
};

}  // namespace

void groupWords(FileEntry& entry, std::vector<WordEntry> words, std::int32_t groupSize) {
  GroupFiller groups(entry, static_cast<std::int32_t>(words.size()), groupSize);
  for (WordEntry& word : words) groups.add(std::move(word.text), word.endOffset);
  groups.finish();
}

void splitIntoGroups(FileEntry& entry, std::string_view text, std::int32_t wordCount,
                     std::int32_t groupSize) {
  GroupFiller groups(entry, wordCount, groupSize);
  std::size_t wordStart = 0;
  bool inWord = false;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const bool separator = i == text.size() || text[i] == ' ' || text[i] == '\n';
    if (separator && inWord) {
      groups.add(std::string(text.substr(wordStart, i - wordStart)), static_cast<std::int32_t>(i));
      inWord = false;
    } else if (!separator && !inWord) {
      wordStart = i;
      inWord = true;
    }
  }
  groups.finish();
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
  splitIntoGroups(entry, text, static_cast<std::int32_t>(memory.words), groupSize);
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
