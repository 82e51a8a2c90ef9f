#include "ui/main/dialog_texts.h"

#include <string_view>

#include "discovery/file_discovery.h"
#include "documents/document_source.h"
#include "engine/encoding.h"

namespace orvalis {

namespace {

// 35 patterns; "*.resx" comes twice, and six TABs stand before its first
// occurrence and before "*.ascx".
constexpr std::string_view kPatternList =
    "*.txt;*.c;*.cpp;*.cxx;*.cc;*.csv;*.tli;*.tlh;*.h;*.hpp;*.hxx;*.hh;*.inl;*.rc;"
    "\t\t\t\t\t\t*.resx;*.idl;*.asm;*.inc;*.vb;*.resx;*.xsd;*.wsdl;*.htm;*.html;*.aspx;"
    "\t\t\t\t\t\t*.ascx;*.asmx;*.asax;*.config;*.asp;*.asa;*.css;*.xml;*.jsl;*.java";

std::string plural(std::int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t begin = 0;
  for (;;) {
    const auto end = text.find(separator, begin);
    parts.push_back(text.substr(begin, end - begin));
    if (end == std::string::npos) return parts;
    begin = end + 1;
  }
}

}  // namespace

std::string openFilterText() {
  const std::string patterns(kPatternList);
  return "Text Files (" + patterns + ")|" + patterns + "||";
}

std::string allDoneText(std::int64_t filePairsFromCache, std::int64_t filePairs) {
  std::string text = kAllDoneText;
  if (filePairsFromCache <= 0) return text;
  return text.append(" ")
      .append(std::to_string(filePairsFromCache))
      .append(" of ")
      .append(plural(filePairs, "file pair", "file pairs"))
      .append(" came from the results cache.");
}

std::string earlierWorkText(const std::filesystem::path& folder) {
  if (folder.empty()) return "No earlier work: the files to compare are compared with each other.";
  return std::string("Earlier work: ")
      .append(displayText(folder))
      .append(" (compared with every file to compare, not with each other)");
}

std::string comparingText(std::int64_t done, std::int64_t total) {
  return "Comparing... (Completed " + std::to_string(done) + " / " + std::to_string(total) +
         " comparisons so far)";
}

std::string toToolkitFilter(const std::string& filter) {
  const std::vector<std::string> fields = split(filter, '|');
  std::string result;
  // Fields come in pairs of a name and a pattern list; an empty name ends them.
  for (std::size_t i = 0; i + 1 < fields.size() && !fields[i].empty(); i += 2) {
    std::string name = fields[i];
    if (const auto paren = name.find('('); paren != std::string::npos) name.resize(paren);
    std::string patterns;
    for (const std::string& part : split(fields[i + 1], ';')) {
      const std::string pattern = trimmed(part);
      if (pattern.empty()) continue;
      patterns += (patterns.empty() ? "" : " ") + pattern;
    }
    if (!result.empty()) result += ";;";
    result += trimmed(name) + " (" + patterns + ")";
  }
  return result;
}

std::string openDialogFilter() {
  std::string filter = toToolkitFilter(openFilterText());
  if (const std::string documents = documents::documentFilterEntry(); !documents.empty()) {
    filter += ";;" + toToolkitFilter(documents + "|");
  }
  return filter + ";;" + kAllFilesFilterEntry;
}

std::string folderChosenMessage(const std::filesystem::path& folder) {
  return "Orvalis compares the files of one folder that have the same extension. This folder "
         "is chosen:\n" +
         displayText(folder) +
         "\nTo choose the extension, click \"Browse...\" and pick one of the files to compare "
         "(\"" +
         kAllFilesFilterEntry + "\" shows every file), or start Orvalis with that file.";
}

std::string readingDocumentsText(std::int64_t done, std::int64_t total) {
  return "Reading documents... (" + std::to_string(done) + " / " + std::to_string(total) +
         " files looked at)";
}

std::string unreadableFilesMessage(const std::vector<UnreadableFile>& files) {
  std::vector<SkippedEntry> entries;
  for (const UnreadableFile& file : files) entries.push_back({file.path, file.reason});
  return listWithReasons(files.size() == 1
                             ? "This file could not be read and is compared as an empty file:"
                             : "These files could not be read and are compared as empty files:",
                         entries);
}

std::string templatesStatusText(const std::vector<std::filesystem::path>& templates) {
  if (templates.empty()) return "No template files: all text counts.";
  std::string text = "Template files (their text matches nothing): ";
  for (std::size_t i = 0; i < templates.size(); ++i) {
    if (i > 0) text += ", ";
    text += lineText(templates[i].filename());
  }
  return text;
}

std::string folderErrorMessage(const std::filesystem::path& folder, std::error_code error) {
  return "The folder " + displayText(folder) + " cannot be listed: " + error.message() + ".";
}

}  // namespace orvalis
