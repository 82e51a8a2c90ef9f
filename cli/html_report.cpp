#include "cli/html_report.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "engine/encoding.h"
#include "engine/text.h"

namespace orvalis {
namespace {

constexpr std::string_view kUnreadableFile = "This file could not be read.";

// A file's text as read again for the report: its bytes in text mode, and
// whether the whole text is UTF-8.
struct ReportFile {
  bool readable = false;
  std::string text;
  bool isUtf8 = true;
};

ReportFile readReportFile(const std::filesystem::path& path) {
  ReportFile file;
  file.readable = !readTextFile(path, file.text);
  file.isUtf8 = isValidUtf8(file.text);
  return file;
}

// The text before, inside and after a stretch, each decoded for display.
struct StretchPieces {
  std::string before;
  std::string inside;
  std::string after;
};

// Cuts the text at the byte offsets first, so that the stretch holds exactly its
// bytes, then decodes each piece. Offsets outside the text (a file changed since
// the scan) are moved into it, and an end before the start makes an empty stretch.
StretchPieces cutStretch(const ReportFile& file, std::int32_t start, std::int32_t end) {
  const auto size = static_cast<std::int64_t>(file.text.size());
  const auto first = static_cast<std::size_t>(std::clamp<std::int64_t>(start, 0, size));
  const auto last =
      std::max(first, static_cast<std::size_t>(std::clamp<std::int64_t>(end, 0, size)));
  const std::string_view text = file.text;
  return {decodeTextPiece(text.substr(0, first), file.isUtf8),
          decodeTextPiece(text.substr(first, last - first), file.isUtf8),
          decodeTextPiece(text.substr(last), file.isUtf8)};
}

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
nav ol { margin: 0 0 1.5em; padding-left: 2.5em; columns: 22em; }
nav a { color: #0645ad; text-decoration: none; }
nav a:hover { text-decoration: underline; }
section { border-top: 1px solid #ccc; padding: .8em 0 1.2em; }
h2 { font-size: 1.15em; margin: 0 0 .2em; }
h2 a { color: inherit; text-decoration: none; }
.score { margin: 0 0 .6em; color: #444; }
.pair { display: grid; grid-template-columns: minmax(0, 1fr) minmax(0, 1fr); gap: 1em; }
h3 { font-size: 1em; margin: 0 0 .3em; overflow-wrap: anywhere; }
pre { font-family: ui-monospace, "DejaVu Sans Mono", Menlo, Consolas, monospace; font-size: .85em; margin: 0; padding: .5em .7em; max-height: 24em; overflow: auto; white-space: pre-wrap; overflow-wrap: anywhere; background: #f7f7f5; border: 1px solid #ddd; border-radius: 4px; }
mark { background: #ffe94d; color: #000; }
.unreadable { margin: 0; padding: .5em .7em; color: #a00; background: #fff3f3; border: 1px solid #e6c4c4; border-radius: 4px; }
.consensus { margin: .5em 0 0; }
.consensus span { display: block; color: #555; font-size: .85em; }
.consensus code { font-family: ui-monospace, "DejaVu Sans Mono", Menlo, Consolas, monospace; font-size: .85em; white-space: pre-wrap; overflow-wrap: anywhere; }
.top { font-size: .85em; }
</style>
</head>
<body>
<h1>Orvalis report</h1>
)";

// Scrolls each text so that its highlighted stretch is in view; the page shows
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

class ReportWriter {
 public:
  explicit ReportWriter(std::ostream& out) : out_(out) {}

  void writeResult(std::size_t number, const ListedResult& listed) {
    out_ << "<section id=\"result-" << number << "\">\n<h2><a href=\"#result-" << number << "\">"
         << number << ". " << escapeUtf8(listed.text) << "</a></h2>\n";
    const PairResult* result = listed.result;
    if (result == nullptr) {
      out_ << "</section>\n";
      return;
    }
    out_ << "<p class=\"score\">Score: " << formatNumber(result->score) << "</p>\n"
         << "<div class=\"pair\">\n";
    writePane(result->groupA, result->startA, result->endA, result->consensusA);
    writePane(result->groupB, result->startB, result->endB, result->consensusB);
    out_ << "</div>\n<p class=\"top\"><a href=\"#top\">Back to the list</a></p>\n</section>\n";
  }

 private:
  void writePane(const WordGroup* group, std::int32_t start, std::int32_t end,
                 const std::string& consensus) {
    const FileEntry* entry = group != nullptr ? group->file : nullptr;
    out_ << "<div class=\"pane\">\n<h3>"
         << (entry != nullptr ? escapeHtml(displayText(entry->displayName)) : std::string())
         << "</h3>\n";
    const ReportFile* file = entry != nullptr ? &fileFor(*entry) : nullptr;
    if (file != nullptr && file->readable) {
      const StretchPieces pieces = cutStretch(*file, start, end);
      // The parser drops one line feed right after <pre>; this one is that line
      // feed, so a text that begins with a line break keeps it.
      out_ << "<pre>\n"
           << escapeHtml(pieces.before) << "<mark>" << escapeHtml(pieces.inside) << "</mark>"
           << escapeHtml(pieces.after) << "</pre>\n";
    } else {
      out_ << "<p class=\"unreadable\">" << kUnreadableFile << "</p>\n";
    }
    out_ << "<p class=\"consensus\"><span>Consensus:</span><code>" << escapeUtf8(consensus)
         << "</code></p>\n</div>\n";
  }

  // Each file is read once per report, however many results show it.
  const ReportFile& fileFor(const FileEntry& entry) {
    auto found = files_.find(entry.index);
    if (found == files_.end()) {
      found = files_.emplace(entry.index, readReportFile(entry.path)).first;
    }
    return found->second;
  }

  std::ostream& out_;
  std::map<std::int32_t, ReportFile> files_;
};

}  // namespace

void writeHtmlReport(std::ostream& out, const CompareEngine& engine,
                     const std::vector<ListedResult>& listed, float threshold) {
  out << kPageStart;
  out << "<p class=\"summary\" id=\"top\">Threshold: " << formatNumber(threshold)
      << ". Files: " << engine.fileTable.size() << ". Results: " << engine.pairResults.size()
      << ". Listed results: " << listed.size() << ".</p>\n";
  if (listed.empty()) {
    out << "<p>" << escapeHtml(kNoSuspiciousFilesLine) << "</p>\n";
  } else {
    out << "<nav>\n<ol>\n";
    for (std::size_t i = 0; i < listed.size(); ++i) {
      out << "<li><a href=\"#result-" << i + 1 << "\">" << escapeUtf8(listed[i].text)
          << "</a></li>\n";
    }
    out << "</ol>\n</nav>\n";
  }
  ReportWriter writer(out);
  for (std::size_t i = 0; i < listed.size(); ++i) writer.writeResult(i + 1, listed[i]);
  out << kPageEnd;
}

}  // namespace orvalis
