#include "cli/json_report.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "cli/json_writer.h"
#include "engine/encoding.h"

namespace orvalis::cli {
namespace {

std::int32_t fileIndexOf(const WordGroup* group) {
  return group != nullptr && group->file != nullptr ? group->file->index : -1;
}

// Appends `, "name": value`: a field after the first of an object.
void appendIntegerField(std::string& out, const char* name, std::int64_t value) {
  out += ", \"";
  out += name;
  out += "\": ";
  appendJsonInteger(out, value);
}

// Four significant digits, in the shortest form: "1.051", "0.003912".
void appendStatistic(std::string& out, double value) {
  std::array<char, 64> text{};
  const auto [end, error] =
      std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::general, 4);
  if (error != std::errc() || !std::isfinite(value)) {
    out += "null";
    return;
  }
  out.append(text.data(), end);
}

void appendResult(std::string& out, std::int32_t comparison, const PairResult& result,
                  const SignificanceModel& model) {
  out += "{\"comparison\": ";
  appendJsonInteger(out, comparison);
  appendIntegerField(out, "indexA", fileIndexOf(result.groupA));
  appendIntegerField(out, "indexB", fileIndexOf(result.groupB));
  appendIntegerField(out, "startA", result.startA);
  appendIntegerField(out, "endA", result.endA);
  appendIntegerField(out, "startB", result.startB);
  appendIntegerField(out, "endB", result.endB);
  out += ", \"score\": ";
  appendJsonFloat(out, result.score);
  out += ", \"evalue\": ";
  out += jsonEvalue(evalueOf(model, result));
  out += ", \"consensusA\": ";
  appendJsonString(out, result.consensusA);
  out += ", \"consensusB\": ";
  appendJsonString(out, result.consensusB);
  out += '}';
}

// The shares and the rest that a pair's line in the "pairs" array gains.
void appendPairStats(std::string& out, const FilePairStats& pair) {
  appendIntegerField(out, "wordsA", pair.wordsA);
  appendIntegerField(out, "sharedA", pair.sharedA);
  out += ", \"shareA\": ";
  appendStatistic(out, pair.shareA());
  appendIntegerField(out, "wordsB", pair.wordsB);
  appendIntegerField(out, "sharedB", pair.sharedB);
  out += ", \"shareB\": ";
  appendStatistic(out, pair.shareB());
  appendIntegerField(out, "longestMatch", pair.longestMatch);
  appendIntegerField(out, "matches", static_cast<std::int64_t>(pair.matches.size()));
  out += ", \"group\": ";
  if (pair.group > 0) {
    appendJsonInteger(out, pair.group);
  } else {
    out += "null";
  }
}

// Writes the items of an array, one per line, each made by `append`.
template <typename Range, typename Append>
void writeArrayLines(std::ostream& out, const Range& items, Append append) {
  if (items.empty()) {
    out << "[]";
    return;
  }
  out << "[\n";
  std::string line;
  bool first = true;
  for (const auto& item : items) {
    line.assign(first ? "    " : ",\n    ");
    first = false;
    append(line, item);
    out << line;
  }
  out << "\n  ]";
}

}  // namespace

std::string jsonEvalue(double evalue) {
  return std::isnan(evalue) ? std::string("null") : evalueText(evalue);
}

void writeJsonReport(std::ostream& out, const CompareEngine& engine, float threshold,
                     const std::vector<ListedResult>& listed, bool allResults,
                     const SignificanceModel& model, const std::vector<FilePair>* pairs,
                     const FilePairTable* table, std::size_t listedBeforeCap,
                     const SetAsideReport* setAside) {
  std::string text = "{\n  \"settings\": {\"MU\": ";
  appendJsonFloat(text, engine.mismatchScore);
  text += ", \"DELTA\": ";
  appendJsonFloat(text, engine.gapScore);
  text += ", \"NUM_WORDS_PER_GROUPING\": ";
  appendJsonInteger(text, engine.groupSize);
  text += "},\n  \"files\": ";
  out << text;

  // Files say whether they are earlier work only in a scan that has some.
  bool hasEarlierWork = false;
  for (const auto& [index, file] : engine.fileTable)
    hasEarlierWork = hasEarlierWork || file->earlier;
  writeArrayLines(out, engine.fileTable, [&](std::string& line, const auto& item) {
    const FileEntry& file = *item.second;
    line += "{\"index\": ";
    appendJsonInteger(line, file.index);
    line += ", \"path\": ";
    appendJsonString(line, displayText(file.path));
    line += ", \"displayName\": ";
    appendJsonString(line, displayText(file.displayName));
    if (hasEarlierWork) line += file.earlier ? ", \"old\": true" : ", \"old\": false";
    // Only a document says what it was, so that plain files read as ever.
    if (!file.format.empty()) {
      line += ", \"document\": ";
      appendJsonString(line, file.format);
    }
    line += '}';
  });

  text.clear();
  if (setAside != nullptr) {
    text = ",\n  \"setAside\": {\"templates\": [";
    for (std::size_t i = 0; i < setAside->templates.size(); ++i) {
      if (i > 0) text += ", ";
      appendJsonString(text, displayText(setAside->templates[i]));
    }
    text += "], \"maxFiles\": ";
    if (setAside->maxFiles > 0) {
      appendJsonInteger(text, setAside->maxFiles);
    } else {
      text += "null";
    }
    text += ", \"passageWords\": ";
    appendJsonInteger(text, static_cast<std::int64_t>(kPassageWords));
    text += ", \"files\": ";
    out << text;
    writeArrayLines(out, setAside->files, [](std::string& line, const auto& item) {
      line += "{\"index\": ";
      appendJsonInteger(line, item.first);
      appendIntegerField(line, "templateWords", item.second.templateWords);
      appendIntegerField(line, "commonWords", item.second.commonWords);
      line += '}';
    });
    text = "}";
  }
  text += ",\n  \"threshold\": ";
  appendJsonFloat(text, threshold);
  text += ",\n  \"significance\": {\"lambda\": ";
  appendStatistic(text, model.lambda);
  text += ", \"K\": ";
  appendStatistic(text, model.k);
  appendIntegerField(text, "comparisons", model.comparisons);
  appendIntegerField(text, "fitted", model.fitted);
  text += ", \"note\": ";
  if (const std::string note = model.noteText(); !note.empty()) {
    appendJsonString(text, note);
  } else {
    text += "null";
  }
  text += "},\n  \"results\": ";
  out << text;

  if (allResults) {
    writeArrayLines(out, engine.pairResults, [&](std::string& line, const auto& item) {
      appendResult(line, item.first, item.second, model);
    });
  } else {
    writeArrayLines(out, listed, [&](std::string& line, const ListedResult& item) {
      appendResult(line, item.comparison, *item.result, model);
    });
  }

  text = ",\n  \"listed\": [";
  for (std::size_t i = 0; i < listed.size(); ++i) {
    if (i > 0) text += ", ";
    appendJsonInteger(text, listed[i].comparison);
  }
  text += "]";
  if (listedBeforeCap > listed.size()) {
    text += ",\n  \"listedBeforeCap\": ";
    appendJsonInteger(text, static_cast<std::int64_t>(listedBeforeCap));
  }
  if (pairs != nullptr) {
    text += ",\n  \"pairs\": ";
    out << text;
    writeArrayLines(out, *pairs, [&](std::string& line, const FilePair& pair) {
      line += "{\"indexA\": ";
      appendJsonInteger(line, pair.fileA->index);
      appendIntegerField(line, "indexB", pair.fileB->index);
      appendIntegerField(line, "bestComparison", pair.bestComparison);
      line += ", \"bestScore\": ";
      appendJsonFloat(line, pair.best->score);
      line += ", \"bestEvalue\": ";
      line += jsonEvalue(pair.bestEvalue);
      appendIntegerField(line, "results", pair.results);
      appendIntegerField(line, "wordsMatched", pair.wordsMatched);
      if (table != nullptr) {
        if (const auto at = table->find(pair.fileA->index, pair.fileB->index)) {
          appendPairStats(line, table->pairs[*at]);
        }
      }
      line += '}';
    });
    text.clear();
    if (table != nullptr) {
      out << ",\n  \"groups\": ";
      writeArrayLines(out, table->groups, [&](std::string& line, const FileGroup& group) {
        line += "{\"members\": [";
        for (std::size_t i = 0; i < group.members.size(); ++i) {
          if (i > 0) line += ", ";
          appendJsonInteger(line, group.members[i]);
        }
        line += "], \"pairs\": [";
        for (std::size_t i = 0; i < group.pairs.size(); ++i) {
          const FilePairStats& pair = table->pairs[group.pairs[i]];
          line += i > 0 ? ", [" : "[";
          appendJsonInteger(line, pair.fileA->index);
          line += ", ";
          appendJsonInteger(line, pair.fileB->index);
          line += ']';
        }
        line += "]}";
      });
    }
  }
  text += "\n}\n";
  out << text;
}

}  // namespace orvalis::cli
