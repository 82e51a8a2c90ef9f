#include "engine/seed_index.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace orvalis {
namespace {

using Ids = std::vector<std::uint32_t>;

// A hand-made scan of loaded files: each file a list of groups of word ids.
class Folder {
 public:
  std::int32_t add(const std::vector<Ids>& groups) {
    auto entry = std::make_unique<FileEntry>();
    entry->index = static_cast<std::int32_t>(engine.fileTable.size());
    for (std::size_t g = 0; g < groups.size(); ++g) {
      auto group = std::make_unique<WordGroup>();
      group->file = entry.get();
      group->wordIds = groups[g];
      group->words.resize(groups[g].size());
      entry->groups.emplace(static_cast<std::int32_t>(g), std::move(group));
    }
    const std::int32_t index = entry->index;
    engine.fileTable.emplace(index, std::move(entry));
    return index;
  }
  // Two threads: the cases are small enough to take both.
  std::vector<GroupPairIndex> kept() const { return seededGroupPairs(engine, 2); }
  CompareEngine engine;
};

// `count` words that no other call gives.
Ids filler(std::size_t count) {
  static std::uint32_t next = 1000000;
  Ids words;
  for (std::size_t i = 0; i < count; ++i) words.push_back(next++);
  return words;
}

Ids join(std::initializer_list<Ids> parts) {
  Ids words;
  for (const Ids& part : parts) words.insert(words.end(), part.begin(), part.end());
  return words;
}

// Two files share `a` (in the first, between filler) and `b` in the second.
struct SharedCase {
  const char* name;
  Ids a;
  Ids b;
  bool kept;
};

TEST(SeedIndex, KeepsAGroupPairWhenItsExtendedSeedsScoreEnough) {
  const Ids seven = {1, 2, 3, 4, 5, 6, 7};
  const std::vector<SharedCase> cases = {
      {"seven words in a row", seven, seven, true},
      {"six words in a row", {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}, false},
      // 4 + 4 words across one changed word: 8 - 0.33, one ungapped stretch.
      {"one word changed", {1, 2, 3, 4, 50, 6, 7, 8, 9}, {1, 2, 3, 4, 5, 6, 7, 8, 9}, true},
      // 5 and 5 words, the second shifted by extra words: only chained.
      {"four words inserted, still chained",
       {1, 2, 3, 4, 5, 60, 61, 62, 63, 6, 7, 8, 9, 10},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
       true},
      {"five words inserted: too far off the diagonal",
       {1, 2, 3, 4, 5, 60, 61, 62, 63, 64, 6, 7, 8, 9, 10},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
       false},
      // The stretch between an extra word and a dropped one goes on along a
      // shifted diagonal; an extension that ran past it would hide it.
      {"a word inserted, then one dropped",
       {39, 209, 239, 26, 222, 122, 230, 97, 8, 45, 167, 1, 0, 145, 93, 332, 48, 61, 202, 52, 18},
       {39, 209, 85, 239, 26, 122, 230, 8, 45, 167, 1, 0, 93, 332, 48, 61, 101, 202, 52, 18},
       true},
      {"eight other words between", join({{1, 2, 3, 4, 5}, filler(8), {6, 7, 8, 9, 10}}),
       join({{1, 2, 3, 4, 5}, filler(8), {6, 7, 8, 9, 10}}), true},
      // Twelve words apart: beyond the chain's reach.
      {"twelve other words between", join({{1, 2, 3, 4, 5}, filler(12), {6, 7, 8, 9, 10}}),
       join({{1, 2, 3, 4, 5}, filler(12), {6, 7, 8, 9, 10}}), false},
  };
  for (const SharedCase& c : cases) {
    Folder folder;
    folder.add({join({filler(40), c.a, filler(40)})});
    folder.add({join({filler(30), c.b, filler(50)})});
    const auto kept = folder.kept();
    EXPECT_EQ(kept.size(), c.kept ? 1u : 0u) << c.name;
    if (c.kept && kept.size() == 1) {
      EXPECT_EQ(kept[0], (GroupPairIndex{1, 0, 0, 0})) << c.name;
    }
  }
}

TEST(SeedIndex, DropsSeedsThatTooManyFilesHold) {
  const Ids passage = {1, 2, 3, 4, 5, 6, 7, 8};
  for (const int holders : {2, 20, 21, 40}) {
    Folder folder;
    for (int f = 0; f < holders; ++f) folder.add({join({filler(20), passage, filler(20)})});
    const std::size_t pairs = static_cast<std::size_t>(holders * (holders - 1) / 2);
    EXPECT_EQ(folder.kept().size(), holders <= 20 ? pairs : 0u) << holders << " files";
  }
}

TEST(SeedIndex, KeepsACommonSeedWhereFewFilesRepeatIt) {
  // 30 files hold "7 7 7" once; some also repeat 7 over a run of 12 words.
  for (const int repeating : {2, 20, 21}) {
    Folder folder;
    for (int f = 0; f < 30; ++f) {
      const Ids run = f < repeating ? Ids(12, 7) : Ids{};
      folder.add({join({filler(20), {7, 7, 7}, filler(20), run, filler(20)})});
    }
    const std::size_t pairs = repeating <= 20 ? repeating * (repeating - 1) / 2 : 0;
    EXPECT_EQ(folder.kept().size(), pairs) << repeating << " files repeat the seed";
  }
}

TEST(SeedIndex, ADegenerateFileIsComparedButDoesNotSwampTheOthers) {
  Folder folder;
  const Ids passage = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  folder.add({join({Ids(500, 7), passage, Ids(490, 7)})});  // "the the the ..."
  folder.add({join({filler(100), passage, filler(100)})});
  for (int f = 0; f < 25; ++f) folder.add({join({filler(50), {7, 7, 7}, filler(50)})});
  folder.add({Ids(300, 7)});  // another file of one word
  const auto kept = folder.kept();
  const std::vector<GroupPairIndex> expected = {{1, 0, 0, 0}, {27, 0, 0, 0}};
  EXPECT_EQ(kept, expected);
}

TEST(SeedIndex, AMatchAtAGroupsEdgeKeepsTheNeighbouringGroupPair) {
  // Five shared words end the first group of file 0 and five more begin its
  // second: neither part alone scores enough.
  const Ids first = {1, 2, 3, 4, 5};
  const Ids second = {6, 7, 8, 9, 10};
  struct EdgeCase {
    std::size_t after;   // words after the first five in group 0
    std::size_t before;  // words before the second five in group 1
    std::vector<GroupPairIndex> expected;
  };
  const std::vector<EdgeCase> cases = {
      {0, 0, {{1, 0, 0, 0}, {1, 0, 1, 0}}},
      {2, 2, {{1, 0, 0, 0}, {1, 0, 1, 0}}},
      {3, 0, {{1, 0, 0, 0}}},
      {0, 3, {{1, 0, 1, 0}}},
      {3, 3, {}},
  };
  for (const EdgeCase& c : cases) {
    Folder folder;
    folder.add({join({filler(60), first, second, filler(60)})});
    folder.add(
        {join({filler(60), first, filler(c.after)}), join({filler(c.before), second, filler(60)})});
    EXPECT_EQ(folder.kept(), c.expected) << c.after << " words after, " << c.before << " before";
  }
}

}  // namespace
}  // namespace orvalis
