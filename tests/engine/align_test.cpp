#include "engine/align.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "engine/text.h"
#include "tests/engine/align_reference.h"

namespace orvalis {
namespace {

// A file whose whole text is one word group.
class OneGroupFile {
 public:
  explicit OneGroupFile(const std::string& text, bool utf8 = true) {
    entry_.textIsUtf8 = utf8;
    groupWords(entry_, splitWords(text), 100000);
  }
  const WordGroup* group() const { return entry_.groups.at(0).get(); }

 private:
  FileEntry entry_;
};

PairResult align(const std::string& textA, const std::string& textB, std::int32_t baseA = 0,
                 std::int32_t baseB = 0) {
  OneGroupFile a(textA);
  OneGroupFile b(textB);
  AlignWorkspace workspace;
  PairResult result;
  result.groupA = a.group();
  result.groupB = b.group();
  const float returned = alignGroups(AlignScores{}, workspace, result, baseA, baseB);
  EXPECT_EQ(returned, result.score);
  result.groupA = result.groupB = nullptr;  // the groups die here
  return result;
}

struct Spans {
  std::int32_t startA, endA, startB, endB;
  bool operator==(const Spans&) const = default;
};
Spans spansOf(const PairResult& r) { return {r.startA, r.endA, r.startB, r.endB}; }
void PrintTo(const Spans& s, std::ostream* os) {
  *os << "{A " << s.startA << ".." << s.endA << ", B " << s.startB << ".." << s.endB << "}";
}

TEST(Alignment, WorkedExamplePrefersDiagonalOnTies) {
  const PairResult r = align("the cat sat on the mat", "a cat sat on a red mat");
  EXPECT_EQ(r.score, 3.17f);
  EXPECT_EQ(static_cast<double>(r.score), 3.1700000762939453);
  EXPECT_EQ(r.consensusA, "cat sat on  * the mat ");
  EXPECT_EQ(r.consensusB, "cat sat on a red mat ");
  EXPECT_EQ(spansOf(r), (Spans{4, 22, 2, 22}));
}

TEST(Alignment, IdenticalGroupsIncludeTheFirstPair) {
  const PairResult r = align("a b c", "a b c");
  EXPECT_EQ(r.score, 3.0f);
  EXPECT_EQ(r.consensusA, "a b c ");
  EXPECT_EQ(r.consensusB, "a b c ");
  EXPECT_EQ(spansOf(r), (Spans{0, 5, 0, 5}));
}

TEST(Alignment, NoCommonWordScoresZeroOnTheFirstWords) {
  // Case and punctuation make words different.
  const PairResult r = align("Cat sat;", "cat sat");
  EXPECT_EQ(r.score, 0.0f);
  EXPECT_EQ(r.consensusA, "");
  EXPECT_EQ(r.consensusB, "");
  EXPECT_EQ(spansOf(r), (Spans{0, 3, 0, 3}));
}

TEST(Alignment, FirstBestCellInRowMajorOrderWins) {
  const PairResult repeated = align("p q", "p q r p q");
  EXPECT_EQ(repeated.score, 2.0f);
  EXPECT_EQ(repeated.startB, 0);
  EXPECT_EQ(repeated.endB, 3);

  const PairResult swapped = align("a b", "b a");
  EXPECT_EQ(swapped.score, 1.0f);
  EXPECT_EQ(spansOf(swapped), (Spans{0, 1, 2, 3}));
}

TEST(Alignment, GapsShowAsAsterisksOnTheSideThatLacksTheWord) {
  const PairResult r = align("a x b", "a b");
  EXPECT_EQ(r.score, 1.5f);
  EXPECT_EQ(r.consensusA, "a x b ");
  EXPECT_EQ(r.consensusB, "a  * b ");

  const PairResult mirrored = align("a b", "a x b");
  EXPECT_EQ(mirrored.score, 1.5f);
  EXPECT_EQ(mirrored.consensusA, "a  * b ");
  EXPECT_EQ(mirrored.consensusB, "a x b ");
}

TEST(Alignment, OffsetsCountSeparatorsAndBases) {
  const PairResult r = align("w1  w2\n\nw3", "w1 w2 w3");
  EXPECT_EQ(r.score, 3.0f);
  EXPECT_EQ(spansOf(r), (Spans{0, 10, 0, 8}));

  const PairResult shifted = align("w1  w2\n\nw3", "w1 w2 w3", 100, 7);
  EXPECT_EQ(spansOf(shifted), (Spans{100, 110, 7, 15}));
  EXPECT_EQ(shifted.consensusA, r.consensusA);
}

TEST(Alignment, ConsensusDecodesWordsByTheFileEncoding) {
  OneGroupFile latin1("caf\xE9 au lait", /*utf8=*/false);
  OneGroupFile utf8("caf\xC3\xA9 au lait");
  AlignWorkspace workspace;
  PairResult r;
  r.groupA = latin1.group();
  r.groupB = utf8.group();
  alignGroups(AlignScores{}, workspace, r, 0, 0);
  // The first words differ as bytes, so only "au lait" matches, but each side
  // reads as text.
  EXPECT_EQ(r.consensusA, "au lait ");
  r.groupB = latin1.group();
  alignGroups(AlignScores{}, workspace, r, 0, 0);
  EXPECT_EQ(r.consensusA, "caf\xC3\xA9 au lait ");
}

TEST(Alignment, GroupWithoutWordsGivesAnEmptyResult) {
  WordGroup empty;
  OneGroupFile other("a b");
  AlignWorkspace workspace;
  PairResult r;
  r.groupA = &empty;
  r.groupB = other.group();
  EXPECT_EQ(alignGroups(AlignScores{}, workspace, r, 5, 9), 0.0f);
  EXPECT_EQ(spansOf(r), (Spans{5, 5, 9, 9}));
  EXPECT_EQ(r.consensusA, "");
  // A size whose square would wrap around is refused, not allocated short.
  EXPECT_THROW(workspace.reserve(std::numeric_limits<std::size_t>::max() / 2), std::bad_alloc);
}

TEST(Alignment, EngineFormUsesTheEngineSettingsAndRecordsTheLastMove) {
  CompareEngine engine;
  engine.comparisonPause = std::chrono::milliseconds(0);
  engine.gapScore = -2.0f;  // the gap in "a x b" against "a b" no longer pays
  OneGroupFile a("a x b");
  OneGroupFile b("a b");
  PairResult r;
  r.groupA = a.group();
  r.groupB = b.group();
  EXPECT_EQ(alignGroups(engine, r, 0, 0), 1.0f);
  EXPECT_EQ(r.consensusA, "a ");
  // The last cell pairs b with b, reached diagonally.
  EXPECT_EQ(engine.moveCode, kMoveDiagonal);
}

// Random groups over a tiny vocabulary, so that ties, gaps and totals of
// exactly zero are common, checked field by field against the plain reference.
TEST(Alignment, AgreesWithThePlainReferenceOnRandomGroups) {
  const std::vector<std::string> vocabulary = {"a", "b", "c", "a,", "\xC3\xA9t\xC3\xA9"};
  const std::vector<std::string> separators = {" ", " ", " ", "  ", "\n", " \n\n "};
  const std::vector<AlignScores> settings = {{-0.33f, -0.5f}, {-1.0f, -1.0f},  {0.0f, 0.0f},
                                             {-0.5f, -0.25f}, {-0.33f, 0.25f}, {0.5f, -0.5f},
                                             {-2.0f, 0.0f},   {-0.1f, -3.0f}};
  std::mt19937 random(20261206);
  const auto makeText = [&](int words) {
    std::string text;
    if (random() % 4 == 0) text += separators[random() % separators.size()];
    for (int i = 0; i < words; ++i) {
      if (i > 0) text += separators[random() % separators.size()];
      text += vocabulary[random() % vocabulary.size()];
    }
    return text;
  };

  AlignWorkspace workspace;  // reused across sizes, as in a scan
  for (int trial = 0; trial < 20000; ++trial) {
    const AlignScores scores = settings[static_cast<std::size_t>(trial) % settings.size()];
    OneGroupFile a(makeText(1 + static_cast<int>(random() % 12)));
    OneGroupFile b(makeText(1 + static_cast<int>(random() % 12)));
    const auto baseA = static_cast<std::int32_t>(random() % 5000) + 1;
    const auto baseB = static_cast<std::int32_t>(random() % 5000) + 1;

    PairResult fast;
    fast.groupA = a.group();
    fast.groupB = b.group();
    PairResult plain = fast;
    alignGroups(scores, workspace, fast, baseA, baseB);
    testing::referenceAlign(scores.mismatch, scores.gap, plain, baseA, baseB);

    SCOPED_TRACE("trial " + std::to_string(trial) + " mu " + std::to_string(scores.mismatch) +
                 " delta " + std::to_string(scores.gap));
    ASSERT_EQ(fast.score, plain.score);
    ASSERT_EQ(spansOf(fast), spansOf(plain));
    ASSERT_EQ(fast.consensusA, plain.consensusA);
    ASSERT_EQ(fast.consensusB, plain.consensusB);
  }
}

}  // namespace
}  // namespace orvalis
