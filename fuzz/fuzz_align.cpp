// Fuzzes the alignment of two word groups against the plain reference of the
// tests: every field of the result must be the same.
//
// The input picks, through FuzzedDataProvider, the two scores from a small set,
// for each group whether its file is UTF-8 and its words (from a tiny
// vocabulary, so that matches are common, with separators of one to four bytes
// between them), and the two bases.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>

#include "engine/align.h"
#include "engine/align_workspace.h"
#include "engine/records.h"
#include "fuzz/fuzz_check.h"
#include "tests/engine/align_reference.h"

namespace orvalis {
namespace {

// Scores from the defaults to the unusual: zero and positive gap and mismatch
// scores make long alignments and many ties; the largest floats and the
// infinities, which a settings file can hold ("MU=1e39"), make sums overflow
// and, with an infinite gap, not-a-number totals.
constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr float kScores[] = {-0.33f, -0.5f,  -1.0f,  -0.25f, -2.0f,     -0.1f,     0.0f,
                             0.5f,   1.0f,   -1e-3f, 2.0f,   -0.66f,    -3.0f,     0.25f,
                             3e38f,  -3e38f, 1e-45f, -0.0f,  kInfinity, -kInfinity};

// A few words, among them words that differ only in bytes above 0x7F, whose
// consensus text depends on the file's encoding.
constexpr const char* kVocabulary[] = {"a", "b", "c", "a\tb", "\xC3\xA9", "\xE9", "\xC3", "ab"};

constexpr std::size_t kLongestGroup = 64;

// A group of words as grouping makes it: the first word starts at offset 0.
WordGroup makeGroup(FuzzedDataProvider& input, FileEntry& file) {
  WordGroup group;
  group.file = &file;
  const auto count = input.ConsumeIntegralInRange<std::size_t>(0, kLongestGroup);
  std::int32_t offset = 0;
  for (std::size_t i = 0; i < count && input.remaining_bytes() > 0; ++i) {
    const auto choice = input.ConsumeIntegral<std::uint8_t>();
    const std::string word = kVocabulary[choice % std::size(kVocabulary)];
    const std::int32_t separators = ((choice >> 3) & 3) + 1;
    offset += static_cast<std::int32_t>(word.size());
    group.words.push_back({word, offset});
    offset += separators;
  }
  group.length = group.words.empty() ? 0 : group.words.back().endOffset;
  return group;
}

// A base anywhere the group's text still ends inside a 2 GiB text.
std::int32_t makeBase(FuzzedDataProvider& input, const WordGroup& group) {
  const std::int32_t highest = std::numeric_limits<std::int32_t>::max() - group.length;
  if (input.ConsumeBool()) return input.ConsumeIntegralInRange<std::int32_t>(0, highest);
  return input.ConsumeIntegralInRange<std::int32_t>(0, 64);
}

bool sameScore(float a, float b) {
  return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

void checkSame(const PairResult& got, float returned, const PairResult& expected) {
  FUZZ_CHECK(sameScore(returned, got.score));
  FUZZ_CHECK(got.groupA == expected.groupA && got.groupB == expected.groupB);
  FUZZ_CHECK(got.startA == expected.startA);
  FUZZ_CHECK(got.endA == expected.endA);
  FUZZ_CHECK(got.startB == expected.startB);
  FUZZ_CHECK(got.endB == expected.endB);
  FUZZ_CHECK(sameScore(got.score, expected.score));
  FUZZ_CHECK(got.consensusA == expected.consensusA);
  FUZZ_CHECK(got.consensusB == expected.consensusB);
}

}  // namespace
}  // namespace orvalis

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvalis;
  FuzzedDataProvider input(data, size);
  AlignScores scores;
  scores.mismatch = input.PickValueInArray(kScores);
  scores.gap = input.PickValueInArray(kScores);
  FileEntry fileA, fileB;
  fileA.textIsUtf8 = input.ConsumeBool();
  fileB.textIsUtf8 = input.ConsumeBool();
  const WordGroup groupA = makeGroup(input, fileA);
  const WordGroup groupB = makeGroup(input, fileB);
  const std::int32_t baseA = makeBase(input, groupA);
  const std::int32_t baseB = makeBase(input, groupB);

  // Leftovers of an earlier pair must not show in the next result.
  PairResult stale;
  stale.startA = stale.endA = stale.startB = stale.endB = -7;
  stale.score = 99.0f;
  stale.consensusA = stale.consensusB = "stale ";

  PairResult expected = stale;
  expected.groupA = &groupA;
  expected.groupB = &groupB;
  if (groupA.words.empty() || groupB.words.empty()) {
    expected.startA = expected.endA = baseA;
    expected.startB = expected.endB = baseB;
    expected.score = 0.0f;
    expected.consensusA.clear();
    expected.consensusB.clear();
  } else {
    testing::referenceAlign(scores.mismatch, scores.gap, expected, baseA, baseB);
  }

  // A fresh work space, and one that earlier inputs of this process have grown,
  // as a scan reuses it from one pair to the next.
  static AlignWorkspace reused;
  AlignWorkspace fresh;
  for (AlignWorkspace* workspace : {&fresh, &reused}) {
    PairResult got = stale;
    got.groupA = &groupA;
    got.groupB = &groupB;
    const float returned = alignGroups(scores, *workspace, got, baseA, baseB);
    checkSame(got, returned, expected);
  }
  return 0;
}
