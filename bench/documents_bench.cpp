// Time to read a 50-page document (about 25,000 words of English, 500 a
// page) in each format, from its file to its text, as a scan reads it.
//
//   build/dev/bench/orvalis_documents_bench
//
// The target is under half a second for each format. For PDF the time is
// mostly pdftotext's, in a child process: CPU time counts only this process,
// so compare real times.
#include <benchmark/benchmark.h>
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/english.h"
#include "documents/document_source.h"
#include "engine/text.h"

namespace orvalis {
namespace {

constexpr std::size_t kPages = 50;
constexpr std::size_t kWordsPerPage = 500;
constexpr std::size_t kWordsPerParagraph = 100;

// The document's paragraphs: each a run of words of English.
std::vector<std::string> paragraphs() {
  const bench::WordPairText generator(bench::allLicenseWords());
  std::mt19937 random(7);
  std::vector<std::string> result;
  for (std::size_t i = 0; i < kPages * kWordsPerPage / kWordsPerParagraph; ++i) {
    std::string paragraph;
    for (const std::string& word : generator.generate(kWordsPerParagraph, random)) {
      if (!paragraph.empty()) paragraph += ' ';
      for (const char c : word) {
        // Plain printable ASCII, so that every format writes it the same way.
        if (c > ' ' && c < 0x7F && c != '<' && c != '>' && c != '&' && c != '\\' && c != '{' &&
            c != '}' && c != '(' && c != ')') {
          paragraph += c;
        }
      }
    }
    result.push_back(paragraph);
  }
  return result;
}

std::filesystem::path folder() {
  static const std::filesystem::path path = [] {
    auto made = std::filesystem::temp_directory_path() / "orvalis-documents-bench";
    std::filesystem::create_directories(made);
    return made;
  }();
  return path;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

void writeZip(const std::filesystem::path& path,
              const std::vector<std::pair<std::string, std::string>>& parts) {
  std::filesystem::remove(path);
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  for (const auto& [name, content] : parts) {
    zip_file_add(archive, name.c_str(),
                 zip_source_buffer(archive, content.data(), content.size(), 0), ZIP_FL_OVERWRITE);
  }
  zip_close(archive);
}

std::filesystem::path makeDocx() {
  std::string body;
  for (const std::string& p : paragraphs()) {
    // Every paragraph in several formatting runs, as word processors write them.
    const std::size_t cut = p.size() / 3;
    body += "<w:p><w:r><w:t xml:space=\"preserve\">" + p.substr(0, cut) +
            "</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">" +
            p.substr(cut, cut) + "</w:t></w:r><w:r><w:t xml:space=\"preserve\">" +
            p.substr(2 * cut) + "</w:t></w:r></w:p>";
  }
  const auto path = folder() / "long.docx";
  writeZip(path, {{"word/document.xml",
                   "<w:document xmlns:w=\"w\"><w:body>" + body + "</w:body></w:document>"}});
  return path;
}

std::filesystem::path makeOdt() {
  std::string body;
  for (const std::string& p : paragraphs()) body += "<text:p>" + p + "</text:p>";
  const auto path = folder() / "long.odt";
  writeZip(path, {{"mimetype", "application/vnd.oasis.opendocument.text"},
                  {"content.xml",
                   "<office:document-content xmlns:office=\"o\" xmlns:text=\"t\"><office:body>"
                   "<office:text>" +
                       body + "</office:text></office:body></office:document-content>"}});
  return path;
}

std::filesystem::path makeRtf() {
  std::string text = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}";
  for (const std::string& p : paragraphs()) text += "\\pard\\f0\\fs24 " + p + "\\par\n";
  const auto path = folder() / "long.rtf";
  writeFile(path, text + "}");
  return path;
}

// A PDF of 50 pages, each a page of lines of Helvetica.
std::filesystem::path makePdf() {
  std::vector<std::string> lines;
  for (const std::string& p : paragraphs()) {
    std::string line;
    for (std::size_t at = 0; at < p.size();) {
      const std::size_t end = std::min(p.size(), p.find(' ', at + 80));
      lines.push_back(p.substr(at, end - at));
      at = end == p.size() ? end : end + 1;
    }
  }
  const std::size_t linesPerPage = (lines.size() + kPages - 1) / kPages;
  std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", "",
                                      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
  std::string kids;
  for (std::size_t page = 0; page < kPages; ++page) {
    std::string stream = "BT /F1 10 Tf";
    for (std::size_t i = 0; i < linesPerPage && page * linesPerPage + i < lines.size(); ++i) {
      stream += " 1 0 0 1 40 " + std::to_string(800 - 14 * i) + " Tm (" +
                lines[page * linesPerPage + i] + ") Tj";
    }
    stream += " ET";
    const std::size_t pageObject = objects.size() + 1;
    objects.push_back(
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font "
        "<< /F1 3 0 R >> >> /Contents " +
        std::to_string(pageObject + 1) + " 0 R >>");
    objects.push_back("<< /Length " + std::to_string(stream.size()) + " >>\nstream\n" + stream +
                      "\nendstream");
    kids += std::to_string(pageObject) + " 0 R ";
  }
  objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(kPages) + " >>";
  std::string pdf = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (const std::size_t offset : offsets) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  const auto path = folder() / "long.pdf";
  writeFile(path, pdf);
  return path;
}

void readDocument(benchmark::State& state, const std::filesystem::path& path) {
  const documents::DocumentTextSource source;
  std::size_t words = 0;
  for (auto _ : state) {
    const std::optional<SourceText> read = source.read(path);
    if (!read || !read->error.empty()) {
      state.SkipWithError(read ? read->error.c_str() : "not read as a document");
      return;
    }
    words = splitWords(read->text).size();
    benchmark::DoNotOptimize(read->text.data());
  }
  state.counters["words"] = static_cast<double>(words);
}

void BM_ReadDocx(benchmark::State& state) { readDocument(state, makeDocx()); }
void BM_ReadOdt(benchmark::State& state) { readDocument(state, makeOdt()); }
void BM_ReadRtf(benchmark::State& state) { readDocument(state, makeRtf()); }
void BM_ReadPdf(benchmark::State& state) { readDocument(state, makePdf()); }

BENCHMARK(BM_ReadDocx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadOdt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRtf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPdf)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvalis

BENCHMARK_MAIN();
