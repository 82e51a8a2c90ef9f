#include "engine/align.h"

#include <gtest/gtest.h>

#include <array>
#include <iomanip>
#include <limits>
#include <memory>
#include <new>
#include <random>
#include <sstream>
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

// "score | consensusA | consensusB | startA endA startB endB" of aligning the
// two texts, each one whole group, with the default settings.
std::string align(const std::string& textA, const std::string& textB, std::int32_t baseA = 0,
                  std::int32_t baseB = 0) {
  OneGroupFile a(textA);
  OneGroupFile b(textB);
  AlignWorkspace workspace;
  PairResult r;
  r.groupA = a.group();
  r.groupB = b.group();
  const float returned = alignGroups(AlignScores{}, workspace, r, baseA, baseB);
  EXPECT_EQ(returned, r.score);
  std::ostringstream out;
  out << std::setprecision(9) << r.score << " |" << r.consensusA << "|" << r.consensusB << "| "
      << r.startA << ' ' << r.endA << ' ' << r.startB << ' ' << r.endB;
  return out.str();
}

TEST(Alignment, ScoresSpansAndConsensusOfKnownPairs) {
  const std::vector<std::array<std::string, 3>> cases = {
      // Three matches, a gap, a mismatch, a match; ties prefer the diagonal.
      {"the cat sat on the mat", "a cat sat on a red mat",
       "3.17000008 |cat sat on  * the mat |cat sat on a red mat | 4 22 2 22"},
      // The first aligned pair counts also at a group's first word.
      {"a b c", "a b c", "3 |a b c |a b c | 0 5 0 5"},
      // Case and punctuation count; nothing matched: the first words.
      {"Cat sat;", "cat sat", "0 ||| 0 3 0 3"},
      // Of equal best cells the first in row-major order wins.
      {"p q", "p q r p q", "2 |p q |p q | 0 3 0 3"},
      {"a b", "b a", "1 |a |a | 0 1 2 3"},
      // A gap on the side that lacks the word.
      {"a x b", "a b", "1.5 |a x b |a  * b | 0 5 0 3"},
      {"a b", "a x b", "1.5 |a  * b |a x b | 0 3 0 5"},
      // Offsets count every separator.
      {"w1  w2\n\nw3", "w1 w2 w3", "3 |w1 w2 w3 |w1 w2 w3 | 0 10 0 8"},
  };
  for (const auto& [textA, textB, expected] : cases) {
    EXPECT_EQ(align(textA, textB), expected) << textA << " / " << textB;
  }
  EXPECT_EQ(align("w1  w2\n\nw3", "w1 w2 w3", 100, 7), "3 |w1 w2 w3 |w1 w2 w3 | 100 110 7 15");
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
  EXPECT_EQ(std::vector<std::int32_t>({r.startA, r.endA, r.startB, r.endB}),
            std::vector<std::int32_t>({5, 5, 9, 9}));
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
    ASSERT_EQ(fast.startA, plain.startA);
    ASSERT_EQ(fast.endA, plain.endA);
    ASSERT_EQ(fast.startB, plain.startB);
    ASSERT_EQ(fast.endB, plain.endB);
    ASSERT_EQ(fast.consensusA, plain.consensusA);
    ASSERT_EQ(fast.consensusB, plain.consensusB);
  }
}

}  // namespace
}  // namespace orvalis
