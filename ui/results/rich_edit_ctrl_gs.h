// A read-only text view of one file that shows a stretch of it selected: the
// selection keeps the active selection colours while the view has no focus,
// so two views can show their stretches at once.
#pragma once

#include <QPlainTextEdit>
#include <cstdint>
#include <filesystem>

#include "engine/input_file.h"
#include "engine/text_source.h"
#include "ui/results/view_text.h"

namespace orvalis {

class UserPrompts;

class CRichEditCtrlGS : public QPlainTextEdit {
  Q_OBJECT

 public:
  // Bytes of the file read for each piece of text the view takes in.
  static constexpr std::size_t kPieceSize = 64 * 1024;

  // Failures to load are shown through `prompts`, which must outlive the view.
  explicit CRichEditCtrlGS(UserPrompts& prompts, QWidget* parent = nullptr);
  ~CRichEditCtrlGS() override;

  // Replaces the text with the file's text, read in pieces. A file that is
  // missing, a folder, or cannot be opened as a regular file is reported in a
  // message box, and the view keeps its text. True when the text was replaced.
  // With a text source that takes the file over (a document), the view shows
  // the text the source gives instead; a document that cannot be read is
  // reported in a message box as a file that cannot be opened.
  bool LoadTextFile(const std::filesystem::path& path, const TextSource* source = nullptr);

  // The size and time of change of the file last loaded, as it was read.
  FileStamp loadedStamp() const { return loadedStamp_; }

  // Replaces the text with a text that stands for no file, such as a hint.
  void showText(const QString& text);

  // Selects the stretch of the text between two byte offsets of the engine
  // (start up to, not including, end) and scrolls it into the middle of the
  // view. Nothing is selected when end is not after start.
  void selectStretch(std::int32_t start, std::int32_t end);

  // The view positions of the stretch between two byte offsets of the engine.
  ViewRange viewRangeOf(std::int32_t start, std::int32_t end) const {
    return positions_.rangeOf(start, end);
  }

  // Shows the stretches between these byte offsets of the engine in a quiet
  // colour (template text); an empty list shows none.
  void setQuietStretches(const std::vector<std::pair<std::int32_t, std::int32_t>>& stretches);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  // The selection colours of the active window, also when the view has no focus.
  void keepActiveSelectionColours();
  void scrollStretchIntoView();

  UserPrompts& prompts_;
  ViewPositions positions_;
  FileStamp loadedStamp_;
  bool settingPalette_ = false;
};

}  // namespace orvalis
