#include "report/html_report.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "engine/encoding.h"
#include "engine/text.h"

namespace orvalis {
namespace {

constexpr std::string_view kUnreadableFile = "This file could not be read.";

void appendCodePoint(std::string& out, std::uint32_t code) {
  // Only the code points used below: all lie in the three-byte range.
  out += static_cast<char>(0xE0 | (code >> 12));
  out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  out += static_cast<char>(0x80 | (code & 0x3F));
}

// HTML text for valid UTF-8: the five special characters as references, tab and
// line feed kept, every other C0 control and DEL as its visible control picture
// (so a NUL or a lone carriage return shows where it stands), and the C1
// controls, which HTML does not allow in text, as U+FFFD.
std::string escapeHtml(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + utf8.size() / 8);
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    switch (byte) {
      case '&':
        out += "&amp;";
        continue;
      case '<':
        out += "&lt;";
        continue;
      case '>':
        out += "&gt;";
        continue;
      case '"':
        out += "&quot;";
        continue;
      case '\'':
        out += "&#39;";
        continue;
      case '\t':
      case '\n':
        out += static_cast<char>(byte);
        continue;
      default:
        break;
    }
    if (byte < 0x20) {
      appendCodePoint(out, 0x2400 + byte);
    } else if (byte == 0x7F) {
      appendCodePoint(out, 0x2421);
    } else if (byte == 0xC2 && i + 1 < utf8.size() &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      appendCodePoint(out, 0xFFFD);
      ++i;
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

// Text that should be UTF-8 but is not guaranteed to be, escaped.
std::string escapeUtf8(std::string_view text) { return escapeHtml(decodeTextPiece(text, true)); }

// A file's name as the page shows it, marked when it is earlier work.
std::string fileLabel(const FileEntry& file) { return escapeHtml(listedFileName(file)); }

std::string formatNumber(float value) {
  if (std::isnan(value)) return "not a number";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(value));
  return buffer;
}

constexpr std::string_view kPageStart = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'unsafe-inline'; script-src 'unsafe-inline'">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Orvalis report</title>
<style>
body { font-family: system-ui, sans-serif; margin: 0 auto; padding: 1em 1.5em; max-width: 110em; color: #222; background: #fff; line-height: 1.4; }
h1 { margin: 0 0 .3em; font-size: 1.6em; }
.summary { margin: 0 0 1em; color: #444; }
nav ol { margin: 0 0 1.5em; padding-left: 2.5em; columns: 30em; }
nav li { break-inside: avoid; }
nav a { color: #0645ad; text-decoration: none; }
nav a:hover { text-decoration: underline; }
h2 { font-size: 1.3em; margin: 1em 0 .3em; }
section { border-top: 1px solid #ccc; padding: .8em 0 1.2em; }
h3 { font-size: 1.15em; margin: 0 0 .2em; }
h3 a { color: inherit; text-decoration: none; }
.score { margin: 0 0 .6em; color: #444; }
.pair { display: grid; grid-template-columns: minmax(0, 1fr) minmax(0, 1fr); gap: 1em; }
h4 { font-size: 1em; margin: 0 0 .3em; overflow-wrap: anywhere; }
pre { font-family: ui-monospace, "DejaVu Sans Mono", Menlo, Consolas, monospace; font-size: .85em; margin: 0; padding: .5em .7em; max-height: 36em; overflow: auto; white-space: pre-wrap; overflow-wrap: anywhere; background: #f7f7f5; border: 1px solid #ddd; border-radius: 4px; }
mark { background: #ffe94d; color: #000; }
:target + mark { outline: 2px solid #d08000; }
.unreadable { margin: 0; padding: .5em .7em; color: #a00; background: #fff3f3; border: 1px solid #e6c4c4; border-radius: 4px; }
.consensus { margin: .5em 0 0; }
.consensus span { display: block; color: #555; font-size: .85em; }
.consensus code { font-family: ui-monospace, "DejaVu Sans Mono", Menlo, Consolas, monospace; font-size: .85em; white-space: pre-wrap; overflow-wrap: anywhere; }
.top { font-size: .85em; }
.stats { margin: 0 0 1em; color: #444; }
.legend { display: flex; flex-wrap: wrap; gap: .3em 1.2em; margin: 0 0 .5em; padding: 0; list-style: none; font-size: .9em; }
.legend span { display: inline-block; width: 1.1em; height: 1.1em; margin-right: .35em; vertical-align: -.2em; border: 1px solid #999; }
.heatmap { display: block; max-width: 100%; height: auto; }
.heatmap text { font-family: ui-monospace, "DejaVu Sans Mono", Menlo, Consolas, monospace; fill: #333; }
table.pairs { border-collapse: collapse; margin: 0 0 1em; font-size: .9em; }
table.pairs th, table.pairs td { padding: .15em .6em; border-bottom: 1px solid #ddd; text-align: left; }
table.pairs td.n { text-align: right; font-variant-numeric: tabular-nums; }
table.pairs a { color: #0645ad; text-decoration: none; }
</style>
</head>
<body>
<h1>Orvalis report</h1>
)";

// Scrolls each text so that its first marked stretch is in view; the page shows
// everything without it.
constexpr std::string_view kPageEnd = R"(<script>
for (const pre of document.querySelectorAll("pre")) {
  const mark = pre.querySelector("mark");
  if (mark) pre.scrollTop = Math.max(0, mark.offsetTop - pre.offsetTop - 40);
}
</script>
</body>
</html>
)";

// A file's stretches: every listed result that shows the file, by number.
struct Stretch {
  std::size_t number = 0;  // the result's number in the list, from 1
  char side = 'a';         // 'a' for the result's first file, 'b' for its second
  std::int32_t start = 0;
  std::int32_t end = 0;
};

// A file as the report shows it: its text in text mode, whether the whole text
// is UTF-8, and the stretches to mark in it.
struct ReportFile {
  const FileEntry* entry = nullptr;
  bool readable = false;
  std::string text;  // in text mode
  bool isUtf8 = true;
  std::vector<Stretch> stretches;  // in list order
};

std::string fileId(const FileEntry& entry) { return "file-" + std::to_string(entry.index); }

std::string stretchId(std::size_t number, char side) {
  return "result-" + std::to_string(number) + "-" + side;
}

// The heat map's colours, from chance to the strongest matches, and what each
// band of E-values is.
struct Band {
  const char* colour;
  const char* label;
};
constexpr std::array<Band, kHeatBands> kBands = {{
    {"#eeeeee", "1 or more (what chance gives)"},
    {"#ffffb2", "10<sup>−2</sup> to 1"},
    {"#fed976", "10<sup>−5</sup> to 10<sup>−2</sup>"},
    {"#feb24c", "10<sup>−10</sup> to 10<sup>−5</sup>"},
    {"#fd8d3c", "10<sup>−30</sup> to 10<sup>−10</sup>"},
    {"#e31a1c", "10<sup>−100</sup> to 10<sup>−30</sup>"},
    {"#800026", "below 10<sup>−100</sup>"},
}};

std::string formatStatistic(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.4g", value);
  return buffer;
}

// The strongest result of a pair of files over the whole scan.
struct PairBest {
  double logE = 0.0;
  float score = 0.0f;
};

using FileIndexPair = std::pair<std::int32_t, std::int32_t>;

class ReportWriter {
 public:
  ReportWriter(std::ostream& out, const std::vector<ListedResult>& listed) : out_(out) {
    for (std::size_t i = 0; i < listed.size(); ++i) {
      const PairResult* result = listed[i].result;
      if (result == nullptr) continue;
      addStretch(result->groupA, {i + 1, 'a', result->startA, result->endA});
      addStretch(result->groupB, {i + 1, 'b', result->startB, result->endB});
    }
    // Each file is read once, however many results show it.
    for (auto& [index, file] : files_) {
      // Through the scan's text source, so that a document shows the text
      // its offsets count.
      file.readable = !readEntryText(*file.entry, file.text, nullptr, &file.isUtf8);
    }
  }

  std::size_t fileCount() const { return files_.size(); }

  void writeResult(std::size_t number, const ListedResult& listed, double evalue) {
    out_ << "<section id=\"result-" << number << "\">\n<h3><a href=\"#result-" << number << "\">"
         << number << ". " << escapeUtf8(listed.text) << "</a></h3>\n";
    const PairResult* result = listed.result;
    if (result == nullptr) {
      out_ << "</section>\n";
      return;
    }
    out_ << "<p class=\"score\">Score: " << formatNumber(result->score)
         << ". E-value: " << evalueText(evalue) << ".</p>\n"
         << "<div class=\"pair\">\n";
    writeSide(number, 'a', result->groupA, result->consensusA);
    writeSide(number, 'b', result->groupB, result->consensusB);
    out_ << "</div>\n<p class=\"top\"><a href=\"#top\">Back to the list</a></p>\n</section>\n";
  }

  void writeFiles() {
    if (files_.empty()) return;
    out_ << "<h2>Files</h2>\n";
    for (const auto& [index, file] : files_) writeFile(file);
  }

 private:
  void addStretch(const WordGroup* group, Stretch stretch) {
    if (group == nullptr || group->file == nullptr) return;
    ReportFile& file = files_[group->file->index];
    file.entry = group->file;
    file.stretches.push_back(stretch);
  }

  const ReportFile* fileOf(const WordGroup* group) const {
    if (group == nullptr || group->file == nullptr) return nullptr;
    const auto found = files_.find(group->file->index);
    return found != files_.end() ? &found->second : nullptr;
  }

  // The side's file name, linked to its stretch in the file's text, and its
  // consensus string.
  void writeSide(std::size_t number, char side, const WordGroup* group,
                 const std::string& consensus) {
    out_ << "<div class=\"side\">\n<h4>";
    if (const ReportFile* file = fileOf(group)) {
      const std::string target = file->readable ? stretchId(number, side) : fileId(*file->entry);
      out_ << "<a href=\"#" << target << "\">" << fileLabel(*file->entry) << "</a>";
    }
    out_ << "</h4>\n<p class=\"consensus\"><span>Consensus:</span><code>" << escapeUtf8(consensus)
         << "</code></p>\n</div>\n";
  }

  // The file's text, cut at every stretch's start and end: each piece inside
  // one or more stretches is marked and titled with their result numbers, and
  // an empty anchor stands where each stretch begins.
  void writeFile(const ReportFile& file) {
    out_ << "<section id=\"" << fileId(*file.entry) << "\">\n<h3>" << fileLabel(*file.entry)
         << "</h3>\n";
    if (!file.readable) {
      out_ << "<p class=\"unreadable\">" << kUnreadableFile << "</p>\n</section>\n";
      return;
    }
    // Offsets outside the text (a file changed since the scan) are moved into
    // it, and an end before the start makes an empty stretch.
    const auto size = static_cast<std::int64_t>(file.text.size());
    struct Span {
      std::size_t first = 0;
      std::size_t last = 0;
    };
    std::vector<Span> spans;
    std::vector<std::size_t> cuts{0, file.text.size()};
    for (const Stretch& stretch : file.stretches) {
      const auto first = static_cast<std::size_t>(std::clamp<std::int64_t>(stretch.start, 0, size));
      const auto last =
          std::max(first, static_cast<std::size_t>(std::clamp<std::int64_t>(stretch.end, 0, size)));
      spans.push_back({first, last});
      cuts.push_back(first);
      cuts.push_back(last);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());

    const std::string_view text = file.text;
    // The parser drops one line feed right after <pre>; this one is that line
    // feed, so a text that begins with a line break keeps it.
    out_ << "<pre>\n";
    for (std::size_t c = 0; c < cuts.size(); ++c) {
      const std::size_t from = cuts[c];
      for (std::size_t s = 0; s < spans.size(); ++s) {
        if (spans[s].first == from) {
          out_ << "<span id=\"" << stretchId(file.stretches[s].number, file.stretches[s].side)
               << "\"></span>";
        }
      }
      if (c + 1 >= cuts.size()) break;
      const std::size_t to = cuts[c + 1];
      std::string numbers;
      std::size_t covering = 0;
      for (std::size_t s = 0; s < spans.size(); ++s) {
        if (spans[s].first <= from && to <= spans[s].last) {
          numbers += (covering++ == 0 ? "" : ", ") + std::to_string(file.stretches[s].number);
        }
      }
      const std::string piece =
          escapeHtml(decodeTextPiece(text.substr(from, to - from), file.isUtf8));
      if (covering == 0) {
        out_ << piece;
      } else {
        out_ << "<mark title=\"" << (covering == 1 ? "Result " : "Results ") << numbers << "\">"
             << piece << "</mark>";
      }
    }
    out_ << "</pre>\n</section>\n";
  }

  std::ostream& out_;
  std::map<std::int32_t, ReportFile> files_;  // by file index: in scan order
};

// The map of files by files: each cell coloured by the band of the best E-value
// of its pair over the whole scan, linked to the pair's first listed result
// when it has one; the diagonal grey. Cells of chance pairs are the background.
void writeHeatMap(std::ostream& out, const ResultTable& results, const SignificanceModel& model,
                  const std::map<FileIndexPair, std::size_t>& firstListed) {
  std::map<std::int32_t, const FileEntry*> files;
  std::map<FileIndexPair, PairBest> best;
  for (const auto& [key, result] : results) {
    if (result.groupA == nullptr || result.groupB == nullptr || result.groupA->file == nullptr ||
        result.groupB->file == nullptr) {
      continue;
    }
    const FileEntry* a = result.groupA->file;
    const FileEntry* b = result.groupB->file;
    files[a->index] = a;
    files[b->index] = b;
    const double logE = logEvalue(model, result);
    const auto [found, added] =
        best.try_emplace({a->index, b->index}, PairBest{logE, result.score});
    if (!added && logE < found->second.logE) found->second = {logE, result.score};
  }
  if (files.size() < 2) return;

  std::map<std::int32_t, int> position;
  std::size_t longestName = 0;
  std::vector<std::string> names;
  for (const auto& [index, file] : files) {
    position[index] = static_cast<int>(names.size());
    names.push_back(listedFileName(*file));
    longestName = std::max(longestName, std::min<std::size_t>(names.back().size(), 24));
  }
  const int count = static_cast<int>(files.size());
  const int cell = std::clamp(1000 / count, 4, 28);
  const int fontSize = std::clamp(cell, 9, 12);
  // Every file named when the names fit; otherwise every so many, which the
  // grid lines mark.
  const int every = cell >= fontSize ? 1 : 10;
  const int margin = static_cast<int>(longestName) * fontSize * 62 / 100 + 8;
  const int side = count * cell;
  const int width = margin + side + 4;

  out << "<section id=\"map\">\n<h2>Map of files</h2>\n"
      << "<p>Each cell is a pair of files, coloured by the smallest E-value of the pair; a "
         "coloured cell links to the pair's first listed result. Rows and columns follow the "
         "files in scan order"
      << (every > 1 ? ", every tenth named and marked by a line" : "") << ".</p>\n"
      << "<ul class=\"legend\" aria-label=\"E-value colours\">\n";
  for (const Band& band : kBands) {
    out << "<li><span style=\"background:" << band.colour << "\"></span>E " << band.label
        << "</li>\n";
  }
  out << "</ul>\n<svg class=\"heatmap\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" "
         "aria-label=\"Map of files by files\" width=\""
      << width << "\" height=\"" << width << "\" viewBox=\"0 0 " << width << ' ' << width
      << "\" font-size=\"" << fontSize << "\">\n<rect x=\"" << margin << "\" y=\"" << margin
      << "\" width=\"" << side << "\" height=\"" << side << "\" fill=\"" << kBands[0].colour
      << "\"/>\n";
  for (int i = 0; i < count; ++i) {
    out << "<rect x=\"" << margin + i * cell << "\" y=\"" << margin + i * cell << "\" width=\""
        << cell << "\" height=\"" << cell << "\" fill=\"#9a9a9a\"/>\n";
  }
  if (every > 1) {
    out << "<path stroke=\"#ffffff\" stroke-width=\"1\" d=\"";
    for (int i = every; i < count; i += every) {
      out << 'M' << margin + i * cell << ' ' << margin << 'v' << side << 'M' << margin << ' '
          << margin + i * cell << 'h' << side;
    }
    out << "\"/>\n";
  }
  for (int i = 0; i < count; i += every) {
    std::string name = names[static_cast<std::size_t>(i)];
    if (name.size() > 24) name = name.substr(0, 23) + "…";
    const std::string label = escapeUtf8(name);
    const int middle = margin + i * cell + cell / 2;
    out << "<text x=\"" << margin - 4 << "\" y=\"" << middle
        << "\" text-anchor=\"end\" dominant-baseline=\"central\">" << label << "</text>\n"
        << "<text transform=\"translate(" << middle << ' ' << margin - 4
        << ") rotate(-90)\" dominant-baseline=\"central\">" << label << "</text>\n";
  }
  for (const auto& [pair, strongest] : best) {
    const double evalue = std::exp(strongest.logE);
    const int band = heatBand(evalue);
    if (band == 0) continue;
    const int row = position[pair.first];
    const int column = position[pair.second];
    const auto link = firstListed.find(pair);
    const std::string title = escapeUtf8(names[static_cast<std::size_t>(row)]) + " &amp; " +
                              escapeUtf8(names[static_cast<std::size_t>(column)]) +
                              ": E=" + evalueText(evalue) + ", score " +
                              formatNumber(strongest.score);
    // Both halves, so that a file's row and its column show all its pairs.
    for (const auto& [x, y] : {std::pair{column, row}, std::pair{row, column}}) {
      if (link != firstListed.end()) out << "<a href=\"#result-" << link->second << "\">";
      out << "<rect x=\"" << margin + x * cell << "\" y=\"" << margin + y * cell << "\" width=\""
          << cell << "\" height=\"" << cell << "\" fill=\""
          << kBands[static_cast<std::size_t>(band)].colour << "\"><title>" << title
          << "</title></rect>";
      out << (link != firstListed.end() ? "</a>\n" : "\n");
    }
  }
  out << "</svg>\n</section>\n";
}

// Makes the headers of each table.sortable buttons that order its rows by their
// column, ascending then descending; a cell's data-v, when present, is the
// number it sorts by. Without script the table reads as written.
constexpr std::string_view kSortScript = R"(<script>
for (const table of document.querySelectorAll("table.sortable")) {
  const heads = Array.from(table.tHead.rows[0].cells);
  heads.forEach((head, column) => {
    const button = document.createElement("button");
    button.type = "button";
    button.textContent = head.textContent;
    head.textContent = "";
    head.appendChild(button);
    button.addEventListener("click", () => {
      const descending = head.getAttribute("aria-sort") === "ascending";
      for (const other of heads) other.removeAttribute("aria-sort");
      head.setAttribute("aria-sort", descending ? "descending" : "ascending");
      const key = (row) => {
        const cell = row.cells[column];
        return cell.dataset.v !== undefined ? Number(cell.dataset.v) : cell.textContent.toLowerCase();
      };
      const body = table.tBodies[0];
      const rows = Array.from(body.rows);
      rows.sort((x, y) => {
        const a = key(x), b = key(y);
        const order = a < b ? -1 : a > b ? 1 : 0;
        return descending ? -order : order;
      });
      for (const row of rows) body.appendChild(row);
    });
  });
}
</script>
)";

constexpr std::string_view kPairTableStyle = R"(<style>
table.sortable th button { font: inherit; font-weight: bold; padding: 0; border: 0; background: none; color: inherit; cursor: pointer; text-align: left; }
table.sortable th[aria-sort=ascending] button::after { content: " ▲"; }
table.sortable th[aria-sort=descending] button::after { content: " ▼"; }
</style>
)";

std::string pairId(const FilePairStats& pair) {
  return "pair-" + std::to_string(pair.fileA->index) + "-" + std::to_string(pair.fileB->index);
}

// A number for the sorting script, in a form that its Number() reads back; an
// E-value that is not a number sorts after all others.
std::string sortValue(double value) {
  if (std::isnan(value)) return "Infinity";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

// The file pairs of the listed results, smallest E-value first, each linked to
// its best result, with the share of each file that the pair's significant
// matches cover; the row's number links to the pair's section when the page
// has one.
void writePairTable(std::ostream& out, const std::vector<FilePair>& pairs,
                    const std::map<std::int32_t, std::size_t>& numberOf, const FilePairTable& table,
                    bool pairSections) {
  if (pairs.empty()) return;
  out << "<section id=\"pairs\">\n<h2>File pairs</h2>\n"
      << kPairTableStyle
      << "<table class=\"pairs sortable\">\n<thead><tr>"
         "<th>#</th><th>First file</th><th>Second file</th><th>Share of first</th>"
         "<th>Share of second</th><th>Best score</th><th>E-value</th>"
         "<th>Results</th><th>Words matched</th></tr></thead>\n<tbody>\n";
  std::size_t rank = 0;
  for (const FilePair& pair : pairs) {
    const std::string link =
        "<a href=\"#result-" + std::to_string(numberOf.at(pair.bestComparison)) + "\">";
    const auto at = table.find(pair.fileA->index, pair.fileB->index);
    const FilePairStats* stats = at ? &table.pairs[*at] : nullptr;
    ++rank;
    out << "<tr><td class=\"n\" data-v=\"" << rank << "\">";
    if (pairSections && stats != nullptr && !stats->matches.empty()) {
      out << "<a href=\"#" << pairId(*stats) << "\">" << rank << "</a>";
    } else {
      out << rank;
    }
    out << "</td><td>" << link << fileLabel(*pair.fileA) << "</a></td><td>" << link
        << fileLabel(*pair.fileB) << "</a></td>";
    for (const bool first : {true, false}) {
      const std::int64_t shared = stats == nullptr ? 0 : first ? stats->sharedA : stats->sharedB;
      const std::int64_t words = stats == nullptr ? 0 : first ? stats->wordsA : stats->wordsB;
      const double share = stats == nullptr ? 0.0 : first ? stats->shareA() : stats->shareB();
      out << "<td class=\"n\" data-v=\"" << sortValue(share) << "\">"
          << escapeHtml(shareText(shared, words)) << "</td>";
    }
    out << "<td class=\"n\" data-v=\"" << sortValue(pair.best->score) << "\">"
        << formatNumber(pair.best->score) << "</td><td class=\"n\" data-v=\""
        << sortValue(pair.bestEvalue) << "\">" << evalueText(pair.bestEvalue)
        << "</td><td class=\"n\" data-v=\"" << pair.results << "\">" << pair.results
        << "</td><td class=\"n\" data-v=\"" << pair.wordsMatched << "\">" << pair.wordsMatched
        << "</td></tr>\n";
  }
  out << "</tbody>\n</table>\n" << kSortScript << "</section>\n";
}

std::string pairTitle(const FilePairStats& pair) {
  return escapeHtml(displayText(pair.fileA->displayName)) + " &amp; " +
         escapeHtml(displayText(pair.fileB->displayName));
}

// The groups of files, largest first, each with its members and the pairs that
// link them, linked to the pairs' sections.
void writeGroups(std::ostream& out, const FilePairTable& table) {
  out << "<section id=\"groups\">\n<h2>Groups of files</h2>\n";
  if (table.groups.empty()) {
    out << "<p>No two files share a significant match.</p>\n</section>\n";
    return;
  }
  out << "<p>Files linked by pairs with a significant match (E-value at most "
      << cutText(table.maxEvalue)
      << "). Three files are in one group when each pair of them is linked by the same text, "
         "and groups grow through such triangles that share a pair; a pair in no triangle is a "
         "group of two. A file can be in several groups.</p>\n<ol>\n";
  for (std::size_t g = 0; g < table.groups.size(); ++g) {
    const FileGroup& group = table.groups[g];
    out << "<li id=\"group-" << g + 1 << "\"><strong>";
    for (std::size_t m = 0; m < group.members.size(); ++m) {
      const FileEntry* entry = table.files[table.position.at(group.members[m])];
      out << (m > 0 ? ", " : "") << escapeHtml(displayText(entry->displayName));
    }
    out << "</strong>: " << group.pairs.size() << (group.pairs.size() == 1 ? " pair" : " pairs")
        << ": ";
    for (std::size_t i = 0; i < group.pairs.size(); ++i) {
      const FilePairStats& pair = table.pairs[group.pairs[i]];
      out << (i > 0 ? ", " : "") << "<a href=\"#" << pairId(pair) << "\">" << pairTitle(pair)
          << "</a>";
    }
    out << "</li>\n";
  }
  out << "</ol>\n</section>\n";
}

// A file's text with stretches marked: each piece that one or more matches
// cover is marked in the tint of the first of them and titled with their
// numbers; an anchor stands where each match begins.
struct MatchStretch {
  std::size_t number = 0;  // from 1
  std::int32_t start = 0;
  std::int32_t end = 0;
};

void writeMarkedText(std::ostream& out, const std::string& text, bool isUtf8,
                     const std::vector<MatchStretch>& stretches, const std::string& idPrefix) {
  const auto size = static_cast<std::int64_t>(text.size());
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  std::vector<std::size_t> cuts{0, text.size()};
  for (const MatchStretch& stretch : stretches) {
    const auto first = static_cast<std::size_t>(std::clamp<std::int64_t>(stretch.start, 0, size));
    const auto last =
        std::max(first, static_cast<std::size_t>(std::clamp<std::int64_t>(stretch.end, 0, size)));
    spans.emplace_back(first, last);
    cuts.push_back(first);
    cuts.push_back(last);
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  out << "<pre>\n";
  for (std::size_t c = 0; c < cuts.size(); ++c) {
    const std::size_t from = cuts[c];
    for (std::size_t s = 0; s < spans.size(); ++s) {
      if (spans[s].first == from) {
        out << "<span id=\"" << idPrefix << stretches[s].number << "\"></span>";
      }
    }
    if (c + 1 >= cuts.size()) break;
    const std::size_t to = cuts[c + 1];
    std::string numbers;
    std::size_t covering = 0;
    std::size_t firstNumber = 0;
    for (std::size_t s = 0; s < spans.size(); ++s) {
      if (spans[s].first <= from && to <= spans[s].second) {
        if (covering == 0) firstNumber = stretches[s].number;
        numbers += (covering++ == 0 ? "" : ", ") + std::to_string(stretches[s].number);
      }
    }
    const std::string piece =
        escapeHtml(decodeTextPiece(std::string_view(text).substr(from, to - from), isUtf8));
    if (covering == 0) {
      out << piece;
    } else {
      out << "<mark style=\"background:" << matchTint(firstNumber - 1) << "\" title=\""
          << (covering == 1 ? "Match " : "Matches ") << numbers << "\">" << piece << "</mark>";
    }
  }
  out << "</pre>\n";
}

// Each pair with a significant match, largest share first: its figures and both
// files once, with every significant match marked in both in the same tint.
void writePairSections(std::ostream& out, const FilePairTable& table, const ResultTable& results) {
  std::vector<std::size_t> linked;
  for (std::size_t at = 0; at < table.pairs.size(); ++at) {
    if (!table.pairs[at].matches.empty()) linked.push_back(at);
  }
  if (linked.empty()) return;
  out << "<h2>File pairs in full</h2>\n";
  struct Text {
    bool readable = false;
    std::string text;
    bool isUtf8 = true;
  };
  std::map<std::int32_t, Text> texts;  // each file read once
  const auto textOf = [&](const FileEntry& file) -> const Text& {
    const auto [found, added] = texts.try_emplace(file.index);
    if (added) {
      found->second.readable = !readTextFile(file.path, found->second.text);
      found->second.isUtf8 = isValidUtf8(found->second.text);
    }
    return found->second;
  };
  for (const std::size_t at : orderPairs(table, linked, PairColumn::kShare, true)) {
    const FilePairStats& pair = table.pairs[at];
    const std::string id = pairId(pair);
    out << "<section id=\"" << id << "\">\n<h3><a href=\"#" << id << "\">" << pairTitle(pair)
        << "</a></h3>\n<p class=\"score\">" << escapeHtml(pairSharesText(pair))
        << ". Longest match: " << pair.longestMatch << (pair.longestMatch == 1 ? " word" : " words")
        << ". Best E-value: " << evalueText(pair.bestEvalue) << ". Matches: " << pair.matches.size()
        << ". <a href=\"#group-" << pair.group << "\">Group " << pair.group
        << "</a>.</p>\n<div class=\"pair\">\n";
    for (const bool first : {true, false}) {
      const FileEntry& file = first ? *pair.fileA : *pair.fileB;
      std::vector<MatchStretch> stretches;
      for (std::size_t m = 0; m < pair.matches.size(); ++m) {
        const PairResult& result = results.at(pair.matches[m]);
        // The result's side that holds this file.
        const bool sideA = result.groupA != nullptr && result.groupA->file == &file;
        stretches.push_back(
            {m + 1, sideA ? result.startA : result.startB, sideA ? result.endA : result.endB});
      }
      out << "<div class=\"side\">\n<h4>" << escapeHtml(displayText(file.displayName)) << "</h4>\n";
      const Text& text = textOf(file);
      if (!text.readable) {
        out << "<p class=\"unreadable\">" << kUnreadableFile << "</p>\n";
      } else {
        writeMarkedText(out, text.text, text.isUtf8, stretches, id + (first ? "-a-" : "-b-"));
      }
      out << "</div>\n";
    }
    out << "</div>\n<p class=\"top\"><a href=\"#top\">Back to the top</a></p>\n</section>\n";
  }
}

std::string errnoText(int error, const char* fallback) {
  return error != 0 ? std::generic_category().message(error) : std::string(fallback);
}

}  // namespace

int heatBand(double evalue) {
  // The lower bound of each band from the second on; not a number is chance.
  constexpr std::array<double, kHeatBands - 2> kFloors = {1e-2, 1e-5, 1e-10, 1e-30, 1e-100};
  if (!(evalue < 1.0)) return 0;
  int band = 1;
  while (band < kHeatBands - 1 && evalue < kFloors[static_cast<std::size_t>(band - 1)]) ++band;
  return band;
}

void writeHtmlReport(std::ostream& out, const ResultTable& results,
                     const std::vector<ListedResult>& listed, float threshold,
                     const SignificanceModel& model, const FilePairTable* filePairs,
                     const SetAsideReport* setAside) {
  ReportWriter writer(out, listed);
  // The listed results with their E-values, by number, and by file pair.
  std::vector<ListedResult> withEvalues = listed;
  setEvalues(withEvalues, model);
  std::map<std::int32_t, std::size_t> numberOf;
  std::map<FileIndexPair, std::size_t> firstListed;
  for (std::size_t i = 0; i < listed.size(); ++i) {
    numberOf.try_emplace(listed[i].comparison, i + 1);
    const PairResult* result = listed[i].result;
    if (result != nullptr && result->groupA != nullptr && result->groupB != nullptr &&
        result->groupA->file != nullptr && result->groupB->file != nullptr) {
      firstListed.try_emplace({result->groupA->file->index, result->groupB->file->index}, i + 1);
    }
  }

  out << kPageStart;
  out << "<p class=\"summary\" id=\"top\">Threshold: " << formatNumber(threshold)
      << ". Results: " << results.size() << ". Listed results: " << listed.size()
      << ". Files shown: " << writer.fileCount() << ".</p>\n";
  out << "<p class=\"stats\">E-value of a result: the number of matches at least as strong "
         "that chance alone gives in this scan, "
      << model.comparisons << " × K × m × n × e<sup>−λ × score</sup>, with m and n the word "
      << "counts of its two word groups, λ = " << formatStatistic(model.lambda)
      << " and K = " << formatStatistic(model.k) << ", ";
  if (model.usesFixedValues()) {
    out << "fixed values. " << escapeHtml(model.noteText()) << "</p>\n";
  } else if (!model.note.empty()) {
    out << "fitted to the scores of " << model.fitted << " comparisons. " << escapeHtml(model.note)
        << "</p>\n";
  } else {
    out << "fitted to the scores of " << model.fitted << " comparisons.</p>\n";
  }
  if (setAside != nullptr) {
    out << "<p class=\"stats\">" << escapeHtml(setAsideSummary(*setAside))
        << "</p>\n<details><summary>Words set aside in each file</summary>\n<ul>\n";
    for (const auto& [index, counts] : setAside->files) {
      out << "<li>" << escapeHtml(displayText(counts.displayName)) << ": "
          << escapeHtml(setAsideText(counts)) << "</li>\n";
    }
    out << "</ul>\n</details>\n";
  }
  writeHeatMap(out, results, model, firstListed);
  const std::vector<FilePair> pairs = aggregatePairs(withEvalues);
  FilePairTable ownTable;
  if (filePairs == nullptr && !pairs.empty()) {
    ownTable = buildFilePairs(filesOf(results), results, model);
  }
  writePairTable(out, pairs, numberOf, filePairs != nullptr ? *filePairs : ownTable,
                 filePairs != nullptr);
  if (filePairs != nullptr) writeGroups(out, *filePairs);
  if (listed.empty()) {
    out << "<p>" << escapeHtml(kNoSuspiciousFilesLine) << "</p>\n";
  } else {
    out << "<h2>Listed results</h2>\n<nav>\n<ol>\n";
    for (std::size_t i = 0; i < listed.size(); ++i) {
      out << "<li><a href=\"#result-" << i + 1 << "\">" << escapeUtf8(listed[i].text)
          << "</a></li>\n";
    }
    out << "</ol>\n</nav>\n<h2>Results</h2>\n";
  }
  for (std::size_t i = 0; i < listed.size(); ++i) {
    writer.writeResult(i + 1, listed[i], withEvalues[i].evalue);
  }
  if (filePairs != nullptr) writePairSections(out, *filePairs, results);
  writer.writeFiles();
  out << kPageEnd;
}

std::string writeHtmlReportFile(const std::filesystem::path& file, const ResultTable& results,
                                const std::vector<ListedResult>& listed, float threshold,
                                const SignificanceModel& model, const FilePairTable* filePairs,
                                const SetAsideReport* setAside) {
  errno = 0;
  std::ofstream page(file, std::ios::binary | std::ios::trunc);
  if (!page) return errnoText(errno, "cannot open the file");
  writeHtmlReport(page, results, listed, threshold, model, filePairs, setAside);
  errno = 0;
  page.close();
  if (!page) return errnoText(errno, "writing failed");
  return {};
}

}  // namespace orvalis
