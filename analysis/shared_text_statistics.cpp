#include "analysis/shared_text_statistics.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <future>
#include <map>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "analysis/set_aside.h"
#include "engine/align.h"
#include "engine/bit_mix.h"

namespace orvalis {
namespace {

std::string numberText(double value) {
  char text[32];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 3);
  return error == std::errc() ? std::string(text, end) : std::string("nan");
}

std::int64_t wordsOf(const WordGroup* group) {
  return group != nullptr ? static_cast<std::int64_t>(group->words.size()) : 0;
}

// One comparison to score again: its two groups as copies without the widely
// shared words, and where its score goes.
struct Rescore {
  const WordGroup* groupA = nullptr;
  const WordGroup* groupB = nullptr;
  std::size_t sample = 0;
};

void rescore(const std::vector<Rescore>& tasks, std::vector<ScoreSample>& samples,
             const AlignScores& scores, int threads) {
  const auto work = [&](std::size_t first, std::size_t step) {
    AlignWorkspace workspace;
    for (std::size_t i = first; i < tasks.size(); i += step) {
      PairResult result;
      result.groupA = tasks[i].groupA;
      result.groupB = tasks[i].groupB;
      samples[tasks[i].sample].score = alignGroups(scores, workspace, result, 0, 0);
    }
  };
  const auto count = static_cast<std::size_t>(std::clamp(threads, 1, 64));
  std::vector<std::thread> running;
  for (std::size_t t = 1; t < count; ++t) {
    try {
      running.emplace_back(work, t, count);
    } catch (const std::system_error&) {
      // The threads that did not start leave their share to this one.
      for (std::size_t u = t; u < count; ++u) work(u, count);
      break;
    }
  }
  work(0, count);
  for (auto& thread : running) thread.join();
}

}  // namespace

SignificanceModel plausibleModel(SignificanceModel model) {
  if (model.usesFixedValues()) return model;
  if (model.lambda >= kLowestPlausibleLambda && model.lambda <= kHighestPlausibleLambda) {
    return model;
  }
  std::string note =
      "The fit of the statistics of chance matches gave lambda = " + numberText(model.lambda) +
      ", outside the range " + numberText(kLowestPlausibleLambda) + " to " +
      numberText(kHighestPlausibleLambda) +
      " measured on English text and on source code: E-values use fixed values "
      "measured on English text.";
  return {kFixedLambda, kFixedK, model.comparisons, 0, std::move(note)};
}

SignificanceModel significanceOfScan(const CompareEngine& engine, int threads) {
  const ResultTable& results = engine.pairResults;
  return significanceOfScan(
      engine,
      [&](const auto& visit) {
        for (const auto& [key, result] : results) {
          visit({key, result.score, result.groupA, result.groupB});
        }
      },
      results.size(), threads);
}

SignificanceModel significanceOfScan(const CompareEngine& engine,
                                     const ScoredComparisons& comparisons, std::size_t count,
                                     int threads) {
  std::vector<const FileEntry*> files;
  for (const auto& [index, entry] : engine.fileTable) files.push_back(entry.get());
  const auto fileCount = static_cast<std::int32_t>(files.size());
  const std::int32_t sharedBy = std::max(
      kWidelySharedFewest, static_cast<std::int32_t>(std::floor(kWidelySharedPart * fileCount)));
  // The widely shared passages depend on the files alone: with threads to
  // spare they are looked for while the plain fit runs.
  const auto findShared = [&] { return commonPassageWords(files, sharedBy); };
  std::future<std::vector<std::vector<bool>>> sharing;
  if (threads > 1) {
    try {
      sharing = std::async(std::launch::async, findShared);
    } catch (const std::system_error&) {
      // No thread to spare: looked for after the fit.
    }
  }

  ChanceSamples all;
  all.reserve(count);
  comparisons([&](const ScoredComparison& one) {
    all.add({one.score, wordsOf(one.groupA), wordsOf(one.groupB)});
  });
  SignificanceModel plain = std::move(all).fit(static_cast<std::int64_t>(count));
  const bool lookedAhead = sharing.valid();
  std::vector<std::vector<bool>> shared;
  if (lookedAhead) shared = sharing.get();
  // Too few comparisons to fit: the fixed values, as always.
  if (plain.usesFixedValues()) return plain;
  if (!lookedAhead) shared = findShared();

  // Copies of the groups that hold widely shared words, those words with ids
  // of their own.
  std::uint32_t nextId = 0;
  for (const FileEntry* file : files) {
    for (const auto& [number, group] : file->groups) {
      for (const std::uint32_t id : group->wordIds) nextId = std::max(nextId, id + 1);
    }
  }
  std::map<const WordGroup*, std::unique_ptr<WordGroup>> copies;
  // The words each copy has left: the fit's m and n, as the widely shared
  // words can match nothing there.
  std::map<const WordGroup*, std::int64_t> wordsLeft;
  std::int64_t sharedWords = 0;
  for (std::size_t f = 0; f < files.size(); ++f) {
    std::size_t word = 0;
    for (const auto& [number, group] : files[f]->groups) {
      std::unique_ptr<WordGroup> copy;
      for (std::size_t i = 0; i < group->words.size(); ++i, ++word) {
        if (word >= shared[f].size() || !shared[f][word]) continue;
        if (!copy) copy = std::make_unique<WordGroup>(*group);
        // A group without the scan's ids has no shared vocabulary to break.
        if (i < copy->wordIds.size()) copy->wordIds[i] = nextId++;
        ++sharedWords;
        ++wordsLeft[copy.get()];
      }
      if (copy) {
        wordsLeft[copy.get()] = wordsOf(copy.get()) - wordsLeft[copy.get()];
        copies.emplace(group.get(), std::move(copy));
      }
    }
  }
  if (copies.empty()) return plausibleModel(std::move(plain));

  // The comparisons drawn for the fit: all of them up to kRescoredSamples,
  // else each with that share of chance, by its number alone.
  const double share =
      static_cast<double>(kRescoredSamples) / static_cast<double>(std::max<std::size_t>(count, 1));
  std::vector<ScoreSample> samples;
  std::vector<Rescore> tasks;
  comparisons([&](const ScoredComparison& result) {
    // The draw of the sample: a step of SplitMix64 from the comparison's number.
    const std::uint64_t draw =
        mixBits(static_cast<std::uint64_t>(result.key) + 0x9E3779B97F4A7C15ull);
    if (share < 1.0 && static_cast<double>(draw >> 11) * 0x1.0p-53 >= share) {
      return;
    }
    samples.push_back({result.score, wordsOf(result.groupA), wordsOf(result.groupB)});
    const auto copyA = copies.find(result.groupA);
    const auto copyB = copies.find(result.groupB);
    if (copyA == copies.end() && copyB == copies.end()) return;
    if (copyA != copies.end()) samples.back().wordsA = wordsLeft[copyA->second.get()];
    if (copyB != copies.end()) samples.back().wordsB = wordsLeft[copyB->second.get()];
    tasks.push_back({copyA != copies.end() ? copyA->second.get() : result.groupA,
                     copyB != copies.end() ? copyB->second.get() : result.groupB,
                     samples.size() - 1});
  });
  rescore(tasks, samples, {engine.mismatchScore, engine.gapScore}, threads);

  SignificanceModel model = fitSignificance(samples, static_cast<std::int64_t>(count));
  if (model.usesFixedValues()) return plausibleModel(std::move(plain));
  model.note = std::to_string(sharedWords) + " words of passages that more than " +
               std::to_string(sharedBy) +
               " files share were set aside for the statistics of chance matches, which they "
               "would otherwise make look common: lambda and K are fitted to " +
               std::to_string(samples.size()) + " comparisons scored again without them (" +
               std::to_string(tasks.size()) + " of them changed).";
  return plausibleModel(std::move(model));
}

}  // namespace orvalis
