#include "ui/results/text_file_source.h"

#include <algorithm>
#include <string>
#include <vector>

namespace orvalis {

TextFileFailure TextFileSource::open(const std::filesystem::path& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (error || !std::filesystem::exists(status) || std::filesystem::is_directory(status)) {
    return TextFileFailure::kInvalidName;
  }
  // What was opened is checked again: the name may stand for something else by now.
  return file_.open(path).empty() ? TextFileFailure::kNone : TextFileFailure::kCannotOpen;
}

namespace {

// Reads the whole file in pieces, from its start, and hands each to `use`; a
// read error ends the text there.
template <typename Use>
void readPieces(InputFile& file, std::vector<char>& buffer, Use use) {
  if (!file.rewind()) return;
  for (;;) {
    const std::ptrdiff_t delivered = file.read(buffer.data(), buffer.size());
    if (delivered <= 0) return;
    if (!use(std::string_view(buffer.data(), static_cast<std::size_t>(delivered)))) return;
  }
}

}  // namespace

ViewPositions streamViewText(TextFileSource& source, std::size_t pieceSize,
                             const std::function<void(std::string_view)>& deliver) {
  std::vector<char> buffer(std::max<std::size_t>(pieceSize, 1));
  std::string text;

  TextModeStream checkMode;
  Utf8Check check;
  readPieces(source.file(), buffer, [&](std::string_view raw) {
    text.clear();
    checkMode.feed(raw, text);
    check.feed(text);
    return !checkMode.ended();
  });
  text.clear();
  checkMode.finish(text);
  check.feed(text);

  TextModeStream mode;
  ViewTextDecoder decoder(check.finish());
  std::string shown;
  readPieces(source.file(), buffer, [&](std::string_view raw) {
    text.clear();
    shown.clear();
    mode.feed(raw, text);
    decoder.feed(text, shown);
    if (!shown.empty()) deliver(shown);
    return !mode.ended();
  });
  text.clear();
  shown.clear();
  mode.finish(text);
  decoder.feed(text, shown);
  decoder.finish(shown);
  if (!shown.empty()) deliver(shown);
  return decoder.positions();
}

ViewPositions streamDocumentText(std::string_view text, std::size_t pieceSize,
                                 const std::function<void(std::string_view)>& deliver) {
  ViewTextDecoder decoder(true);
  std::string shown;
  pieceSize = std::max<std::size_t>(pieceSize, 1);
  for (std::size_t at = 0; at < text.size(); at += pieceSize) {
    shown.clear();
    decoder.feed(text.substr(at, pieceSize), shown);
    if (!shown.empty()) deliver(shown);
  }
  shown.clear();
  decoder.finish(shown);
  if (!shown.empty()) deliver(shown);
  return decoder.positions();
}

}  // namespace orvalis
