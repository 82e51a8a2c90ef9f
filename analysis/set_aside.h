// Text that every file may share without having copied it: templates (starter
// code, a header, the assignment's question) and passages that many files
// share. Their words are set aside: they pair with no word in any comparison,
// while the files' texts and offsets stay exactly as they are.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/align.h"
#include "engine/records.h"

namespace orvalis {

// A stretch of at least this many words' score that aligns with a template is
// template text; so is a passage of this many words in a row that too many
// files share.
inline constexpr std::size_t kPassageWords = 8;

// A run of fewer than this many words between two stretches of common
// passages is set aside with them: it is the shared text with a few words
// edited, and on its own too short to make a passage.
inline constexpr std::size_t kCommonGapWords = kPassageWords;

// Runs of this many words that more than the same number of files share make
// a common passage too where they cover kPassageWords words, bridging up to
// kEditWords other words at a time, or touch one: that is a passage with edits.
inline constexpr std::size_t kEdgeWords = 4;
inline constexpr std::size_t kEditWords = 2;

// Template files, read and cut into groups as a scan's files are.
struct TemplateSet {
  std::vector<std::unique_ptr<FileEntry>> files;
  bool empty() const { return files.empty(); }
};

// Reads `paths` as templates; returns why one could not be read ("path:
// reason"), empty when all were.
std::string loadTemplates(const std::vector<std::filesystem::path>& paths, std::int32_t groupSize,
                          TemplateSet& templates);

// The words of `file` that align with a template, one flag per word in text
// order. Each group of the file is aligned with each template group under
// `scores`; the file's words that the alignment pairs with template words,
// and runs of fewer than kPassageWords words that it inserts (edits), are set
// aside (a longer run is the file's own text between two pieces), and the
// alignment repeated until no stretch of kPassageWords words' score remains, so a template used in
// pieces, in any order or more than once, is found in every piece. The groups of the file and the
// templates must hold ids of one vocabulary.
std::vector<bool> templateWords(const FileEntry& file, const TemplateSet& templates,
                                const AlignScores& scores, AlignWorkspace& workspace);

// The words of each file (in the order of `files`) that lie in a passage of
// kPassageWords words, matched exactly, which more than `maxFiles` of the files
// contain; so are stretches of common runs of kEdgeWords words as described
// there, and runs of fewer than kCommonGapWords words between two stretches. Exact
// runs are counted in one pass over the words, whatever the number of files;
// an edited word breaks the runs through it but not those beside it, and the
// two rules take it and the words beyond it in. Words already flagged in a file's
// setAside are no part of any passage.
std::vector<std::vector<bool>> commonPassageWords(const std::vector<const FileEntry*>& files,
                                                  std::int32_t maxFiles);

// A stretch of a file's text, in the byte offsets of the engine.
struct TextSpan {
  std::int32_t start = 0;
  std::int32_t end = 0;  // past the stretch's last byte
  bool operator==(const TextSpan&) const = default;
};

// The stretches of `file` that its set-aside words cover, in text order: each
// run of consecutive set-aside words is one stretch, from its first word's
// first byte to its last word's end. Views show them in a quiet colour; shares
// of text count them as not shared.
std::vector<TextSpan> setAsideSpans(const FileEntry& file);

// How many words of one file were set aside, and why.
struct FileSetAside {
  std::filesystem::path displayName;
  std::int64_t templateWords = 0;
  std::int64_t commonWords = 0;  // in common passages, not counted as template words
};

// What a scan set aside: the settings and the counts per file index.
// Also one sentence for a report:
// "Set aside as template text: the text of the templates a.txt, b.txt; passages
// of 8 words or more that more than 5 files share."
struct SetAsideReport;
std::string setAsideSummary(const SetAsideReport& report);

struct SetAsideReport {
  std::vector<std::filesystem::path> templates;
  std::int32_t maxFiles = 0;  // 0: common passages are not set aside
  std::map<std::int32_t, FileSetAside> files;
  bool active() const { return !templates.empty() || maxFiles > 0; }
};

// Fills every file's setAside flags of `engine` from the templates and, when
// report.maxFiles is above 0, the common passages, and counts them in
// `report`. Runs on the scan's worker between loading and comparing.
void setAsideSharedText(CompareEngine& engine, const TemplateSet& templates,
                        SetAsideReport& report);

// "12 template words, 30 in common passages": the words set aside of one file.
// (Counts of one are "1 template word".)
std::string setAsideText(const FileSetAside& counts);

}  // namespace orvalis
