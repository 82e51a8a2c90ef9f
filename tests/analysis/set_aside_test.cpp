#include "analysis/set_aside.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/shared_text_statistics.h"
#include "engine/scan.h"
#include "engine/text.h"
#include "tests/support/scan_fixture.h"
#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

// Words that no other text of these tests uses: "w<tag><n>".
std::vector<std::string> words(const std::string& tag, int count) {
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(tag + std::to_string(i));
  return out;
}

std::string join(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : " ") + part;
  return text;
}

template <typename T>
std::vector<T> operator+(std::vector<T> a, const std::vector<T>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::unique_ptr<FileEntry> entryOf(const std::string& text) {
  auto entry = std::make_unique<FileEntry>();
  groupWords(*entry, splitWords(text), 1000);
  return entry;
}

// The numbers of the flagged words.
std::vector<int> flagged(const std::vector<bool>& flags) {
  std::vector<int> out;
  for (std::size_t i = 0; i < flags.size(); ++i) {
    if (flags[i]) out.push_back(static_cast<int>(i));
  }
  return out;
}

std::vector<int> range(int from, int to) {
  std::vector<int> out;
  for (int i = from; i < to; ++i) out.push_back(i);
  return out;
}

TEST(TemplateWords, FindsTheTemplateInEveryPieceWithItsEditsAndNothingElse) {
  const auto tpl = words("t", 40);
  const auto piece1 = std::vector<std::string>(tpl.begin(), tpl.begin() + 20);
  const auto piece2 = std::vector<std::string>(tpl.begin() + 20, tpl.end());
  auto edited1 = piece1;
  edited1[10] = "changed";  // replaced inside the piece
  auto edited2 = piece2;
  edited2.insert(edited2.begin() + 7, "extra");  // a word inserted
  const auto filler = words("f", 30);
  // What a file holds, and the words of it set aside.
  const std::vector<std::tuple<const char*, std::vector<std::string>, std::vector<int>>> cases = {
      {"whole in the middle", words("a", 15) + tpl + filler, range(15, 55)},
      {"two pieces apart, reversed", words("a", 10) + piece2 + filler + piece1,
       range(10, 30) + range(60, 80)},
      {"edited pieces", edited1 + filler + edited2, range(0, 20) + range(50, 71)},
      {"twice", tpl + filler + tpl, range(0, 40) + range(70, 110)},
      {"a piece too short",
       words("a", 5) + std::vector<std::string>(tpl.begin(), tpl.begin() + 7) + filler,
       {}},
  };
  TemplateSet templates;
  templates.files.push_back(entryOf(join(tpl)));
  for (const auto& [name, text, expected] : cases) {
    auto file = entryOf(join(text));
    std::vector<WordGroup*> groups;
    for (auto& [number, group] : file->groups) groups.push_back(group.get());
    for (auto& [number, group] : templates.files[0]->groups) groups.push_back(group.get());
    giveWordIds(groups);
    AlignWorkspace workspace;
    EXPECT_EQ(flagged(templateWords(*file, templates, {}, workspace)), expected) << name;
  }
}

TEST(CommonPassageWords, SetsAsideWhatMoreThanMaxFilesShareEditsIncluded) {
  const auto shared = words("s", 16);
  auto editedMiddle = shared;
  editedMiddle[8] = "x";
  auto editedEnd = shared;
  editedEnd[11] = "y";  // leaves fewer than a passage's words after it
  const auto own = [](int n) {
    return words(std::string("o").append(std::to_string(n)).append("_"), 12);
  };
  // The files, how many may share a passage, and the words of each set aside.
  const std::vector<std::tuple<const char*, std::vector<std::vector<std::string>>, std::int32_t,
                               std::vector<std::vector<int>>>>
      cases = {
          {"in three files, at most two allowed",
           {own(0) + shared, shared + own(1), own(2) + shared},
           2,
           {range(12, 28), range(0, 16), range(12, 28)}},
          {"in three files, three allowed",
           {own(0) + shared, shared + own(1), own(2) + shared},
           3,
           {{}, {}, {}}},
          {"an edit in the middle and one near the end",
           {own(0) + shared, shared + own(1), own(2) + shared, editedMiddle + own(3),
            own(4) + editedEnd},
           2,
           {range(12, 28), range(0, 16), range(12, 28), range(0, 16), range(12, 28)}},
          {"seven words in a row are no passage",
           {std::vector<std::string>(shared.begin(), shared.begin() + 7) + own(0),
            std::vector<std::string>(shared.begin(), shared.begin() + 7) + own(1),
            std::vector<std::string>(shared.begin(), shared.begin() + 7) + own(2)},
           1,
           {{}, {}, {}}},
      };
  for (const auto& [name, texts, maxFiles, expected] : cases) {
    std::vector<std::unique_ptr<FileEntry>> entries;
    std::vector<const FileEntry*> files;
    for (const auto& text : texts) {
      entries.push_back(entryOf(join(text)));
      files.push_back(entries.back().get());
    }
    const auto result = commonPassageWords(files, maxFiles);
    ASSERT_EQ(result.size(), expected.size()) << name;
    for (std::size_t f = 0; f < result.size(); ++f) {
      EXPECT_EQ(flagged(result[f]), expected[f]) << name << ", file " << f;
    }
  }
}

// A scan of `texts` with `templates` set aside; every file's text is kept.
struct Scan : testing::ScanFixture {
  std::vector<std::string> texts;
  TemplateSet templates;
  SetAsideReport report;

  void run(const std::vector<std::string>& fileTexts, const std::vector<std::string>& templateTexts,
           int threads = 1) {
    texts = fileTexts;
    for (std::size_t i = 0; i < templateTexts.size(); ++i) {
      report.templates.push_back(
          dir.write(std::string("t").append(std::to_string(i)).append(".tpl"), templateTexts[i]));
    }
    ASSERT_EQ(loadTemplates(report.templates, 1000, templates), "");
    engine.comparisonThreads = threads;
    engine.beforeComparing = [this](CompareEngine& scanned) {
      setAsideSharedText(scanned, templates, report);
    };
    std::vector<std::pair<std::string, std::string>> files;
    for (const std::string& text : texts) {
      files.emplace_back(
          std::string("f").append(std::to_string(1000 + files.size())).append(".txt"), text);
    }
    scanFiles(files);
  }
};

TEST(TemplateScan, TemplateTextMatchesNothingAndOffsetsStayThoseOfTheFile) {
  const auto tpl = words("t", 30);
  const auto copied = words("c", 20);
  Scan scan;
  // The template sits before the copied passage in one file and after it in
  // the other: without the template the best match would take it in.
  scan.run({join(words("a", 10) + tpl + copied + words("b", 10)),
            join(words("d", 5) + copied + tpl + words("e", 10))},
           {join(tpl)});
  ASSERT_EQ(scan.engine.pairResults.size(), 1u);
  const PairResult& result = scan.engine.pairResults.begin()->second;
  // Where `text` stands in file `f`.
  const auto span = [&](std::size_t f, const std::string& text) {
    const auto at = static_cast<std::int32_t>(scan.texts[f].find(text));
    return TextSpan{at, at + static_cast<std::int32_t>(text.size())};
  };
  // File 1 is the first file of the pair.
  EXPECT_EQ(result.score, 20.0f);
  EXPECT_EQ((TextSpan{result.startA, result.endA}), span(1, join(copied)));
  EXPECT_EQ((TextSpan{result.startB, result.endB}), span(0, join(copied)));
  EXPECT_EQ(result.consensusA, join(copied) + " ");
  // The template's stretch of each file, as views colour it.
  for (std::size_t f = 0; f < 2; ++f) {
    EXPECT_EQ(setAsideSpans(*scan.engine.fileTable.at(static_cast<std::int32_t>(f))),
              std::vector<TextSpan>{span(f, join(tpl))});
  }
  EXPECT_EQ(scan.report.files.at(1).templateWords, 30);
}

// Texts of a small vocabulary, where chance matches are frequent, each opening
// with the same `header` words, one word in 30 of them replaced.
std::vector<std::string> generatedTexts(int files, int wordsEach, int header, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::string> vocabulary;
  for (int i = 0; i < 400; ++i) vocabulary.push_back(std::string("v").append(std::to_string(i)));
  // Zipf-like: low numbers far more often.
  std::discrete_distribution<int> draw(400, -0.5, 399.5, [](double x) { return 1.0 / (x + 3); });
  std::vector<std::string> headerWords;
  for (int i = 0; i < header; ++i) headerWords.push_back(vocabulary[draw(random)]);
  std::vector<std::string> texts;
  for (int f = 0; f < files; ++f) {
    std::vector<std::string> text;
    for (int i = 0; i < header; ++i) {
      text.push_back(random() % 30 == 0 ? vocabulary[draw(random)] : headerWords[i]);
    }
    for (int i = 0; i < wordsEach; ++i) text.push_back(vocabulary[draw(random)]);
    texts.push_back(join(text));
  }
  return texts;
}

TEST(SharedTextStatistics, AHeaderInEveryFileMovesNeitherLambdaNorK) {
  Scan plain, withHeader;
  plain.run(generatedTexts(40, 100, 0, 7), {});
  withHeader.run(generatedTexts(40, 100, 40, 7), {});
  const SignificanceModel a = significanceOfScan(plain.engine);
  const SignificanceModel b = significanceOfScan(withHeader.engine);
  ASSERT_FALSE(a.usesFixedValues() || b.usesFixedValues());
  EXPECT_EQ(a.note, "");
  EXPECT_NE(b.note, "");
  EXPECT_NEAR(b.lambda / a.lambda, 1.0, 0.2);
  EXPECT_NEAR(std::log(b.k / a.k), 0.0, std::log(2.0));
  // The plain fit collapses on the header.
  EXPECT_LT(significanceOf(withHeader.engine.pairResults).lambda, 0.5 * a.lambda);
}

TEST(SharedTextStatistics, TheSameForAnyNumberOfThreadsAndRuns) {
  // More comparisons than are scored again, so that the draw matters.
  const auto texts = generatedTexts(120, 40, 30, 11);
  Scan first;
  first.run(texts, {}, 1);
  const SignificanceModel one = significanceOfScan(first.engine, 1);
  ASSERT_GT(first.engine.pairResults.size(), kRescoredSamples);
  ASSERT_NE(one.note, "");
  for (const int threads : {2, 3}) {
    Scan again;
    again.run(texts, {}, threads);
    const SignificanceModel other = significanceOfScan(again.engine, threads);
    EXPECT_EQ(std::tuple(other.lambda, other.k, other.note),
              std::tuple(one.lambda, one.k, one.note))
        << threads << " threads";
  }
}

TEST(PlausibleModel, FallsBackToTheFixedValuesOutsideTheMeasuredRangeAndSaysSo) {
  for (const auto& [lambda, kept] : {std::pair{kLowestPlausibleLambda, true},
                                     {2.0, true},
                                     {kHighestPlausibleLambda, true},
                                     {0.05, false},
                                     {9.4, false}}) {
    const SignificanceModel model = plausibleModel({lambda, 0.01, 1000, 900});
    EXPECT_EQ(std::tuple(model.lambda, model.usesFixedValues(), model.noteText().empty()),
              std::tuple(kept ? lambda : kFixedLambda, !kept, kept))
        << lambda;
  }
}

}  // namespace
}  // namespace orvalis
