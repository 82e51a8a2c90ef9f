#include "engine/align.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <iomanip>
#include <limits>
#include <map>
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

// Every kernel this processor runs.
std::vector<AlignKernel> supportedKernels() {
  std::vector<AlignKernel> kernels;
  for (const AlignKernel kernel :
       {AlignKernel::kPortable, AlignKernel::kAvx2, AlignKernel::kAvx512}) {
    if (alignKernelSupported(kernel)) kernels.push_back(kernel);
  }
  return kernels;
}

// "score | consensusA | consensusB | startA endA startB endB" of aligning the
// two texts, each one whole group, with the default settings.
std::string align(AlignKernel kernel, const std::string& textA, const std::string& textB,
                  std::int32_t baseA = 0, std::int32_t baseB = 0) {
  OneGroupFile a(textA);
  OneGroupFile b(textB);
  AlignWorkspace workspace;
  workspace.kernel = kernel;
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
  for (const AlignKernel kernel : supportedKernels()) {
    SCOPED_TRACE(alignKernelName(kernel));
    for (const auto& [textA, textB, expected] : cases) {
      EXPECT_EQ(align(kernel, textA, textB), expected) << textA << " / " << textB;
    }
    EXPECT_EQ(align(kernel, "w1  w2\n\nw3", "w1 w2 w3", 100, 7),
              "3 |w1 w2 w3 |w1 w2 w3 | 100 110 7 15");
  }
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

// A scan's vocabulary: ids in the order the texts first come, equal exactly
// for equal texts, across groups and over many more words than fit at first.
TEST(Alignment, ScanIdsAreEqualExactlyForEqualWords) {
  std::string text;
  for (int i = 0; i < 6000; ++i) text += "w" + std::to_string(i % 3000) + (i % 2 ? "x " : " ");
  OneGroupFile a(text);
  OneGroupFile b("w1 w0x w1x " + text);
  WordGroup groupA = *a.group();
  WordGroup groupB = *b.group();
  EXPECT_EQ(giveWordIds({&groupA, &groupB}), 3002u);  // w0 to w2999, then w1 and w0x
  std::map<std::string, std::uint32_t> ids;
  std::uint32_t next = 0;
  for (const WordGroup* group : {&groupA, &groupB}) {
    for (std::size_t i = 0; i < group->words.size(); ++i) {
      const auto [known, added] = ids.try_emplace(group->words[i].text, next);
      if (added) ++next;
      ASSERT_EQ(group->wordIds[i], known->second) << group->words[i].text;
    }
  }
}

// Random groups over a tiny vocabulary (ties, gaps and totals of exactly zero
// are common) checked field by field against the plain reference on every
// kernel, at lengths around every vector width, strip height and their
// multiples.
class KernelAgreement : public ::testing::TestWithParam<AlignKernel> {
 protected:
  void SetUp() override {
    if (!alignKernelSupported(GetParam())) GTEST_SKIP() << "this processor lacks the kernel";
    workspace_.kernel = GetParam();
  }

  // Every field and the last cell's move agree with the reference's; settings
  // that are not finite can make the last move differ (NaN totals).
  void expectAgreement(const AlignScores& scores, const std::string& textA,
                       const std::string& textB, bool scanIds, const std::string& what,
                       bool finite = true) {
    OneGroupFile a(textA);
    OneGroupFile b(textB);
    // Groups of a scan carry ids of the scan's vocabulary; others are given
    // ids by the alignment itself.
    WordGroup groupA = *a.group();
    WordGroup groupB = *b.group();
    if (scanIds) giveWordIds({&groupA, &groupB});
    const auto baseA = static_cast<std::int32_t>(random_() % 5000) + 1;
    const auto baseB = static_cast<std::int32_t>(random_() % 5000) + 1;

    PairResult fast;
    fast.groupA = &groupA;
    fast.groupB = &groupB;
    PairResult plain = fast;
    const float returned = alignGroups(scores, workspace_, fast, baseA, baseB);
    int plainLastMove = -1;
    testing::referenceAlign(scores.mismatch, scores.gap, plain, baseA, baseB, &plainLastMove);

    SCOPED_TRACE(what + " mu " + std::to_string(scores.mismatch) + " delta " +
                 std::to_string(scores.gap) + " A '" + textA + "' B '" + textB + "'");
    ASSERT_EQ(std::bit_cast<std::uint32_t>(fast.score), std::bit_cast<std::uint32_t>(plain.score));
    ASSERT_EQ(std::bit_cast<std::uint32_t>(returned), std::bit_cast<std::uint32_t>(plain.score));
    ASSERT_EQ(std::tuple(fast.startA, fast.endA, fast.startB, fast.endB, fast.consensusA,
                         fast.consensusB),
              std::tuple(plain.startA, plain.endA, plain.startB, plain.endB, plain.consensusA,
                         plain.consensusB));
    if (finite) {
      ASSERT_EQ(workspace_.lastMove, plainLastMove);
    }
  }

  std::string makeText(const std::vector<std::string>& vocabulary, int words) {
    static const std::vector<std::string> separators = {" ", " ", " ", "  ", "\n", " \n\n "};
    std::string text;
    if (random_() % 4 == 0) text += separators[random_() % separators.size()];
    for (int i = 0; i < words; ++i) {
      if (i > 0) text += separators[random_() % separators.size()];
      text += vocabulary[random_() % vocabulary.size()];
    }
    return text;
  }

  std::mt19937 random_{20261206};
  AlignWorkspace workspace_;  // reused across sizes and settings, as in a scan
};

const std::vector<std::string> kTinyVocabulary = {"a", "b", "c", "a,", "\xC3\xA9t\xC3\xA9"};
const std::vector<AlignScores> kSettings = {{-0.33f, -0.5f},
                                            {-1.0f, -1.0f},
                                            {0.0f, 0.0f},
                                            {-0.5f, -0.25f},
                                            {-0.33f, 0.25f},
                                            {0.5f, -0.5f},
                                            {-2.0f, 0.0f},
                                            {-0.1f, -3.0f},
                                            {-0.7f, -0.35f},
                                            {0.1f, 0.1f},
                                            // Totals that overflow to infinity.
                                            {3.0e38f, -1.0e38f},
                                            {-3.0e38f, 2.0e38f}};

// Random groups: short ones, ones whose lengths straddle vectors and strips
// (two-word vocabularies make long matches and gapped runs that send the way
// back through several strips), and settings that are not finite.
TEST_P(KernelAgreement, RandomGroups) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<AlignScores> notFinite = {
      {-inf, -0.5f}, {inf, -inf}, {-0.33f, inf}, {nan, -0.5f}, {-0.33f, nan}};
  const std::vector<int> upTo12 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const std::vector<int> straddling = {1,  2,  7,  8,  9,  15, 16, 17,  31,  32,  33,
                                       47, 63, 64, 65, 66, 95, 96, 127, 128, 129, 161};
  std::vector<int> upTo40;
  for (int n = 1; n <= 40; ++n) upTo40.push_back(n);
  const std::vector<std::string> twoWords = {"x", "y"};
  const struct {
    int trials;
    const std::vector<int>& sizes;
    const std::vector<AlignScores>& settings;
    bool finite;      // whether ids alternate with the scan's and the last move counts
    int twoWordsPer;  // every n-th trial draws from two words (0: never)
  } kinds[] = {{6000, upTo12, kSettings, true, 0},
               {600, straddling, kSettings, true, 3},
               {200, upTo40, notFinite, false, 0}};
  for (const auto& kind : kinds) {
    for (int trial = 0; trial < kind.trials; ++trial) {
      const AlignScores scores =
          kind.settings[static_cast<std::size_t>(trial) % kind.settings.size()];
      const auto& vocabulary =
          kind.twoWordsPer > 0 && trial % kind.twoWordsPer == 0 ? twoWords : kTinyVocabulary;
      const std::string textA = makeText(vocabulary, kind.sizes[random_() % kind.sizes.size()]);
      const std::string textB = makeText(vocabulary, kind.sizes[random_() % kind.sizes.size()]);
      expectAgreement(scores, textA, textB, kind.finite && trial % 2 == 0,
                      "trial " + std::to_string(trial), kind.finite);
    }
  }
}

// A long shared passage, lightly edited, inside unrelated text: the way back
// climbs through several strips, each recomputed only left of where it enters.
TEST_P(KernelAgreement, EditedPassageAcrossStrips) {
  std::vector<std::string> vocabulary;
  for (int i = 0; i < 40; ++i) vocabulary.push_back("w" + std::to_string(i));
  for (int trial = 0; trial < 40; ++trial) {
    std::string passage = makeText(vocabulary, 150);
    std::string edited = passage;
    for (int edit = 0; edit < 6; ++edit) {
      const std::size_t at = random_() % edited.size();
      edited.insert(at, edit % 2 == 0 ? " w1 " : " zz ");
    }
    const std::string textA =
        makeText(vocabulary, 30) + " " + passage + " " + makeText(vocabulary, 20);
    const std::string textB = makeText(vocabulary, 70) + " " + edited;
    const AlignScores scores = kSettings[static_cast<std::size_t>(trial) % 4];
    expectAgreement(scores, textA, textB, trial % 2 == 0, "trial " + std::to_string(trial));
  }
}

INSTANTIATE_TEST_SUITE_P(EveryKernel, KernelAgreement,
                         ::testing::Values(AlignKernel::kPortable, AlignKernel::kAvx2,
                                           AlignKernel::kAvx512),
                         [](const ::testing::TestParamInfo<AlignKernel>& param) {
                           return std::string(alignKernelName(param.param));
                         });

}  // namespace
}  // namespace orvalis
