// The dialogs' plain logic: what a view shows of a file, their texts, and the
// estimate behind the offer of faster scans.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "engine/encoding.h"
#include "engine/records.h"
#include "engine/text.h"
#include "tests/support/temp_dir.h"
#include "ui/main/dialog_texts.h"
#include "ui/main/scan_choices.h"
#include "ui/results/results_texts.h"
#include "ui/results/text_file_source.h"
#include "ui/results/view_text.h"

namespace orvalis {
namespace {

using namespace std::literals;

// Where each UTF-16 unit of the UTF-8 `text` starts in it, as the toolkit
// counts positions (a character beyond U+FFFF takes two), and its end.
std::vector<std::size_t> unitStarts(std::string_view text) {
  std::vector<std::size_t> starts;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = std::max<std::size_t>(1, utf8SequenceLength(text.substr(at)));
    starts.insert(starts.end(), length == 4 ? 2 : 1, at);
    at += length;
  }
  starts.push_back(text.size());
  return starts;
}

// What a view shows for a file's bytes, made from pieces of `pieceSize` bytes,
// with where the engine's offsets fall in it.
struct Shown {
  std::string text;
  ViewPositions positions;
};

Shown show(const testing::TempDir& dir, std::string_view bytes, std::size_t pieceSize) {
  TextFileSource source;
  EXPECT_EQ(source.open(dir.write("file.txt", bytes)), TextFileFailure::kNone);
  Shown shown;
  shown.positions = streamViewText(source, pieceSize, [&](std::string_view piece) {
    EXPECT_FALSE(piece.empty());
    shown.text += piece;
  });
  EXPECT_TRUE(isValidUtf8(shown.text));
  EXPECT_EQ(shown.positions.textLength(),
            static_cast<std::int64_t>(unitStarts(shown.text).size() - 1));
  return shown;
}

// The engine's offsets of the words `first` to `last` (counted from 0) of the
// file's text: from the first byte of one to just past the other.
std::pair<std::int32_t, std::int32_t> wordSpan(std::string_view bytes, std::size_t first,
                                               std::size_t last) {
  const auto words = splitWords(applyTextMode(std::string(bytes)));
  return {words.at(first).startOffset(), words.at(last).endOffset};
}

TEST(ViewText, SelectionCoversExactlyTheMatchedWordsWhateverThePieces) {
  // The file's bytes, the first and last matched words, and their view text: CR LF
  // is one position, UTF-8 its characters (an emoji two positions), other text
  // Windows-1252, controls their pictures, and 0x1A ends the text.
  const std::tuple<std::string_view, std::size_t, std::size_t, std::string_view> cases[] = {
      {"one two\r\nthree four\r\nfive", 1, 3, "two\nthree four"},
      {"\r\n\r\n\n  first words here\r\n", 0, 1, "first words"},
      {"Köln café 😀 naïve 東京 end", 1, 4, "café 😀 naïve 東京"},
      {"😀😀 x 😀y z", 1, 2, "x 😀y"},
      {"caf\xE9 na\xEFve \x80uro \x81 end", 1, 3, "naïve €uro \u0081"},
      {"a\rb c\0d\r\r\ne\x7F f"sv, 0, 2, "a␍b c␀d␍\ne␡"},
      {"alpha beta\x1A gamma", 1, 1, "beta"},
      {"tail\r", 0, 0, "tail␍"},
  };
  for (const auto& [bytes, first, last, expected] : cases) {
    SCOPED_TRACE(std::string(bytes));
    const testing::TempDir dir;
    const auto [start, end] = wordSpan(bytes, first, last);
    const Shown whole = show(dir, bytes, 1 << 16);
    const ViewRange range = whole.positions.rangeOf(start, end);
    const auto units = unitStarts(whole.text);
    EXPECT_EQ(whole.text.substr(units.at(range.start), units.at(range.end) - units.at(range.start)),
              expected);
    // Pieces that cut CR LF pairs and UTF-8 sequences change nothing.
    for (const std::size_t pieceSize : {1, 2, 3, 5}) {
      const Shown pieces = show(dir, bytes, pieceSize);
      EXPECT_EQ(pieces.text, whole.text) << pieceSize;
      EXPECT_EQ(pieces.positions.rangeOf(start, end), range) << pieceSize;
    }
  }
}

TEST(OpenFilter, GivesTheToolkitAllThirtyFivePatternsThenTheDocumentsThenEveryFile) {
  const std::string filter = toToolkitFilter(openFilterText());
  EXPECT_EQ(filter.find_first_of("\t;|"), std::string::npos) << filter;
  EXPECT_EQ(std::count(filter.begin(), filter.end(), '*'), 35);
  EXPECT_EQ(toToolkitFilter("A (*.a)|*.a|B|*.b; *.c||"), "A (*.a);;B (*.b *.c)");
  // The first entry stays exactly as it was; the documents' follows it.
  const std::string chooser = openDialogFilter();
  ASSERT_EQ(chooser.substr(0, filter.size()), filter);
  if (ORVALIS_READ_OFFICE && ORVALIS_READ_RTF && ORVALIS_READ_PDF && ORVALIS_READ_OLD_WORD) {
    EXPECT_EQ(chooser.substr(filter.size()),
              ";;Documents (*.docx *.odt *.rtf *.pdf *.doc);;" + std::string(kAllFilesFilterEntry));
  }
}

TEST(DialogTexts, UnreadableFilesAreListedInOneMessage) {
  EXPECT_EQ(unreadableFilesMessage({{1, "/d/a.txt", "gone"}, {4, "/d/\xE9.txt", "is a folder"}}),
            "These files could not be read and are compared as empty files:\n\n"
            "/d/a.txt: gone\n/d/\xC3\xA9.txt: is a folder");
}

TEST(CappedListLine, SaysWhatTheListLeavesOutAndHowToSeeTheRest) {
  // Show all, strongest first, lines shown and in all, the line.
  const std::tuple<bool, bool, std::size_t, std::size_t, const char*> cases[] = {
      {false, false, 200, 200, ""},
      {false, false, 200, 701,
       "200 of 701 results above the threshold shown, in scan order. Tick \"Strongest first\" to "
       "list the strongest first; orvalis-scan --all --json lists every result."},
      {true, false, 200, 9870,
       "200 of 9870 results shown, in scan order. Tick \"Strongest first\" to list the strongest "
       "first; orvalis-scan --all --json lists every result."},
      {false, true, 200, 350,
       "200 of 350 results of E-value 0.01 or less shown, strongest first. orvalis-scan "
       "--max-evalue 0.01 --pairs lists every pair of files of them, --json every result."},
      {true, true, 200, 9870,
       "200 of 9870 results shown, strongest first. orvalis-scan --all --max-evalue 0.01 --json "
       "lists every result."},
  };
  for (const auto& [showAll, strongestFirst, shown, total, line] : cases) {
    EXPECT_EQ(cappedListLine({shown, total}, windowListingRule(showAll, strongestFirst)), line);
  }
}

// 200 files of 2,000 words make 19,900 file pairs of 3 × 3 groups: 179,100
// comparisons, each followed by the 1 ms pause in the usual scan.
TEST(ScanChoices, EstimatesFromTheComparisonsAndCellsOfEveryFilePair) {
  const std::vector<std::uint64_t> big(200, 2000);
  const ScanTimeEstimate estimate =
      estimateScanTime(big, kDefaultGroupSize, 2, std::chrono::milliseconds(1));
  // One worker takes twice as long as two, and pauses 179,100 times.
  EXPECT_NEAR(estimate.paused, 179.1 + 2 * estimate.allProcessors, 0.5);
  EXPECT_GT(estimate.paused, kOfferFasterScansAfter);
  EXPECT_LT(estimate.fast, estimate.allProcessors / 5);

  // A small folder is not worth the offer; its fast scan aligns everything.
  const std::vector<std::uint64_t> small(20, 500);
  const ScanTimeEstimate quick =
      estimateScanTime(small, kDefaultGroupSize, 2, std::chrono::milliseconds(1));
  EXPECT_LT(quick.paused, kOfferFasterScansAfter);
  EXPECT_GE(quick.fast, quick.allProcessors);
  EXPECT_EQ(estimateScanTime({}, kDefaultGroupSize, 2, std::chrono::milliseconds(1)).paused, 0);
}

TEST(ScanChoices, WordsFromSizesAndDurationsInWords) {
  EXPECT_EQ(estimatedWords("essay.txt", 600), 100u);
  EXPECT_EQ(estimatedWords("essay.DOCX", 600), 30u);
  EXPECT_EQ(estimatedWords("scan.pdf", 600), 30u);

  const struct {
    double seconds;
    const char* text;
  } rows[] = {{0.4, "under a second"},    {1, "about 1 second"},      {89.4, "about 89 seconds"},
              {90, "about 2 minutes"},    {5399, "about 90 minutes"}, {5400, "about 2 hours"},
              {40 * 3600, "about 2 days"}};
  for (const auto& row : rows) EXPECT_EQ(durationText(row.seconds), row.text) << row.seconds;
  EXPECT_EQ(usualScanText(190), "A usual scan of these files takes about 3 minutes.");
}

}  // namespace
}  // namespace orvalis
