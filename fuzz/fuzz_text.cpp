// Fuzzes text loading, word splitting and grouping on arbitrary file bytes.
//
// Input: one control byte, then the file's bytes. The control byte's low six
// bits are the group size setting (0 and 1 cannot group words and give the
// default); with bit 6 set the next four bytes are the setting instead, any
// 32-bit value, and the four after them (still part of the file's bytes) a word
// count for which the group counts alone are checked; with bit 7 set the bytes
// are written to a file and loaded from it, as a scan does, instead of being
// handled in memory.
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/encoding.h"
#include "engine/records.h"
#include "engine/text.h"
#include "fuzz/fuzz_check.h"

namespace orvalis {
namespace {

// Text mode written another way: everything from the first 0x1A on is dropped,
// then the CR of every CR LF pair.
std::string expectedTextMode(std::string_view raw) {
  raw = raw.substr(0, raw.find('\x1A'));
  std::string text;
  std::size_t from = 0;
  for (std::size_t pair; (pair = raw.find("\r\n", from)) != std::string_view::npos;
       from = pair + 1) {
    text.append(raw.substr(from, pair - from));
  }
  text.append(raw.substr(from));
  return text;
}

// The words written another way: maximal runs of bytes other than blank and
// line feed.
std::vector<WordEntry> expectedWords(std::string_view text) {
  std::vector<WordEntry> words;
  constexpr std::string_view kSeparators = " \n";
  for (std::size_t start = text.find_first_not_of(kSeparators); start != std::string_view::npos;
       start = text.find_first_not_of(kSeparators, start)) {
    const std::size_t end = std::min(text.find_first_of(kSeparators, start), text.size());
    words.push_back({std::string(text.substr(start, end - start)), static_cast<std::int32_t>(end)});
    start = end;
  }
  return words;
}

// Every group non-empty with at most groupSize - 1 words, keyed 0, 1, 2, ...;
// together, in order, exactly the text's words at their offsets; each group's
// span inside the text, from its first word's first byte to its last word's end
// plus the separator after it (none after the last group), the spans one after
// the other without overlap.
void checkGroups(const FileEntry& entry, std::string_view text, const std::vector<WordEntry>& words,
                 std::int32_t groupSize) {
  const auto textSize = static_cast<std::int64_t>(text.size());
  std::size_t nextWord = 0;
  std::int64_t previousSpanEnd = 0;
  std::int32_t expectedKey = 0;
  for (const auto& [key, group] : entry.groups) {
    FUZZ_CHECK(key == expectedKey++);
    FUZZ_CHECK(group != nullptr && group->file == &entry);
    FUZZ_CHECK(!group->words.empty());
    FUZZ_CHECK(group->words.size() <= static_cast<std::size_t>(groupSize) - 1);
    const std::int64_t spanStart = group->startOffset;
    const std::int64_t spanEnd = spanStart + group->length;
    FUZZ_CHECK(spanStart >= previousSpanEnd && spanEnd <= textSize && group->length > 0);
    for (const WordEntry& word : group->words) {
      FUZZ_CHECK(nextWord < words.size());
      const WordEntry& expected = words[nextWord++];
      FUZZ_CHECK(word.text == expected.text);
      const std::int64_t end = spanStart + word.endOffset;
      const std::int64_t start = end - static_cast<std::int64_t>(word.text.size());
      FUZZ_CHECK(end == expected.endOffset);
      FUZZ_CHECK(start >= spanStart && end <= spanEnd);
      FUZZ_CHECK(text.substr(static_cast<std::size_t>(start), word.text.size()) == word.text);
    }
    FUZZ_CHECK(group->words.front().startOffset() == 0);
    const std::int64_t lastWordEnd = spanStart + group->words.back().endOffset;
    const bool isLast = nextWord == words.size();
    FUZZ_CHECK(spanEnd == lastWordEnd + (isLast ? 0 : 1));
    if (!isLast) {
      const char separator = text[static_cast<std::size_t>(lastWordEnd)];
      FUZZ_CHECK(separator == ' ' || separator == '\n');
    }
    previousSpanEnd = spanEnd;
  }
  FUZZ_CHECK(nextWord == words.size());
}

// A file of this process's own for loading through the file system, in a
// folder removed when the process ends.
class ScratchFile {
 public:
  ScratchFile() {
    std::string folder = (std::filesystem::temp_directory_path() / "orvalis-fuzz-XXXXXX").string();
    FUZZ_CHECK(::mkdtemp(folder.data()) != nullptr);
    folder_ = folder;
  }
  ~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  std::filesystem::path path() const { return folder_ / "file.txt"; }

 private:
  std::filesystem::path folder_;
};

}  // namespace
}  // namespace orvalis

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvalis;
  if (size == 0) return 0;
  const std::uint8_t control = data[0];
  std::size_t used = 1;
  std::int32_t setting = control & 0x3F;
  if ((control & 0x40) != 0 && size >= 5) {
    std::memcpy(&setting, data + 1, sizeof setting);
    used += sizeof setting;
  }
  if ((control & 0x40) != 0 && size >= 9) {
    // The counts alone, for word counts far beyond what a fuzz input can hold.
    std::int32_t wordCount = 0;
    std::memcpy(&wordCount, data + 5, sizeof wordCount);
    const GroupCounts counts = groupCounts(wordCount, effectiveGroupSize(setting));
    if (wordCount <= 0) {
      FUZZ_CHECK(counts == GroupCounts{});
    } else {
      FUZZ_CHECK(static_cast<std::int64_t>(counts.count) * counts.length >= wordCount);
      FUZZ_CHECK(counts.length >= 1 && counts.length <= effectiveGroupSize(setting) - 1);
    }
  }
  const bool throughFile = (control & 0x80) != 0;
  const std::string raw(reinterpret_cast<const char*>(data) + used, size - used);
  const std::int32_t groupSize = effectiveGroupSize(setting);
  FUZZ_CHECK(groupSize >= 2);

  const std::string text = applyTextMode(raw);
  FUZZ_CHECK(text == expectedTextMode(raw));
  const std::vector<WordEntry> words = splitWords(text);
  const std::vector<WordEntry> expected = expectedWords(text);
  FUZZ_CHECK(words.size() == expected.size());
  for (std::size_t i = 0; i < words.size(); ++i) {
    FUZZ_CHECK(words[i].text == expected[i].text && words[i].endOffset == expected[i].endOffset);
  }

  FileEntry entry;
  if (throughFile) {
    static const ScratchFile scratch;
    {
      std::ofstream file(scratch.path(), std::ios::binary | std::ios::trunc);
      file.write(raw.data(), static_cast<std::streamsize>(raw.size()));
      FUZZ_CHECK(file.good());
    }
    entry.path = scratch.path();
    const LoadError error = loadFileEntry(entry, setting);
    FUZZ_CHECK(!error);
    FUZZ_CHECK(entry.textIsUtf8 == isValidUtf8(text));
  } else {
    groupWords(entry, splitWords(text), groupSize);
  }
  checkGroups(entry, text, expected, groupSize);
  return 0;
}
