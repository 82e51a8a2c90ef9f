// Reading a file's text, splitting it into words and cutting the words into
// word groups.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/input_file.h"
#include "engine/memory.h"
#include "engine/records.h"
#include "engine/text_source.h"

namespace orvalis {

// Applies Windows text mode to raw file bytes: a carriage return followed by a
// line feed becomes one line feed, and a byte 0x1A ends the input. Every
// offset of the engine counts bytes of the result, on every platform.
std::string applyTextMode(std::string raw);

// Splits a text into words at blanks (0x20) and line feeds (0x0A). Each word's
// endOffset is the offset just past its last byte. `expectedWords`, when
// known, is reserved at once, so that the list never holds twice its room.
std::vector<WordEntry> splitWords(std::string_view text, std::size_t expectedWords = 0);

// How many groups a file's words make and how many words each but the last
// holds.
struct GroupCounts {
  std::int32_t count = 0;
  std::int32_t length = 0;
  bool operator==(const GroupCounts&) const = default;
};

// The groups for wordCount words with groups of at most groupSize - 1 words
// (groupSize is 2 or more): count times length covers every word and length is
// at most groupSize - 1. Worked out in single precision, as files have always
// been cut, except where single precision would leave words out or make groups
// too long (from about 2^24 words on); there the exact counts are used.
GroupCounts groupCounts(std::int32_t wordCount, std::int32_t groupSize);

// Cuts the words into groups of at most groupSize - 1 words (groupSize is 2 or
// more) and stores them in entry.groups, with each word's offset made relative
// to its group's first word.
void groupWords(FileEntry& entry, std::vector<WordEntry> words, std::int32_t groupSize);

// Splits a text of `wordCount` words (as splitWords counts them) straight into
// entry.groups, as groupWords would group them, without a list of every word
// between.
void splitIntoGroups(FileEntry& entry, std::string_view text, std::int32_t wordCount,
                     std::int32_t groupSize);

// The group size a scan uses: the setting, or the default when the setting is
// below 2 and so cannot group words.
std::int32_t effectiveGroupSize(std::int32_t groupSize);

// Why a file could not be read; empty when it was.
struct LoadError {
  std::string message;
  explicit operator bool() const { return !message.empty(); }
};

inline constexpr const char* kTooLargeReason = "too large (more than 2 GiB)";

// Why a file of `needed` more bytes cannot be loaded within `budget`.
std::string notEnoughMemoryReason(const MemoryBudget& budget, std::uint64_t needed);

// Reads a whole regular file in text mode into `text`, as far as the size it had
// when opened. Returns why it could not; opening never waits.
// `stamp`, when given, receives the file's size and time of change as it was read.
// `budget`, when given, must have room for the file's bytes before they are read.
// `digest`, when given, receives the SHA-256 of the bytes read, before text mode.
LoadError readTextFile(const std::filesystem::path& path, std::string& text,
                       FileStamp* stamp = nullptr, const MemoryBudget* budget = nullptr,
                       Sha256Digest* digest = nullptr);

// Reads the file named by entry.path and fills its groups. A file that cannot
// be read gets no groups and the reason is returned. With a budget, a file
// whose text or words would not fit is not read (or not split) and its words
// are counted as taken from the budget. With `hashContents`, entry.digest
// receives the SHA-256 of the bytes read.
LoadError loadFileEntry(FileEntry& entry, std::int32_t groupSize, MemoryBudget* budget = nullptr,
                        bool hashContents = false);

// The same with the text a text source gave for the entry's file (its stamp
// and format are kept in the entry), instead of reading the file.
LoadError loadFileEntry(FileEntry& entry, SourceText given, std::int32_t groupSize,
                        MemoryBudget* budget = nullptr);

// The text a scan splits for `entry`'s file, read again now: through the
// entry's text source when it takes the file over, else in text mode. What
// views and reports show, so that the scan's offsets fall on the same text.
// `isUtf8` receives whether the text is valid UTF-8.
LoadError readEntryText(const FileEntry& entry, std::string& text, FileStamp* stamp = nullptr,
                        bool* isUtf8 = nullptr);

}  // namespace orvalis
