#include "ui/results/rich_edit_ctrl_gs.h"

#include <QEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <string_view>

#include "ui/main/user_prompts.h"
#include "ui/qt_convert.h"
#include "ui/results/results_texts.h"
#include "ui/results/text_file_source.h"

namespace orvalis {

namespace {

// The visual line, counted over the whole document, that holds `position`.
int visualLineOf(const QTextDocument& document, int position) {
  const QTextBlock block = document.findBlock(position);
  if (!block.isValid()) return 0;
  const QTextLayout* layout = block.layout();
  int lineInBlock = 0;
  if (layout != nullptr && layout->lineCount() > 0) {
    const QTextLine line = layout->lineForTextPosition(position - block.position());
    if (line.isValid()) lineInBlock = line.lineNumber();
  }
  return block.firstLineNumber() + lineInBlock;
}

}  // namespace

CRichEditCtrlGS::CRichEditCtrlGS(UserPrompts& prompts, QWidget* parent)
    : QPlainTextEdit(parent), prompts_(prompts) {
  setReadOnly(true);
  // Read-only, but the caret still moves and selects from the keyboard.
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setUndoRedoEnabled(false);
  setTabChangesFocus(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // Essays hold whole paragraphs on one line; wrapped, a stretch shows whole.
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  keepActiveSelectionColours();
}

CRichEditCtrlGS::~CRichEditCtrlGS() = default;

bool CRichEditCtrlGS::LoadTextFile(const std::filesystem::path& path, const TextSource* documents) {
  if (documents != nullptr) {
    if (std::optional<SourceText> read = documents->read(path)) {
      if (!read->error.empty()) {
        prompts_.showMessage(this, fromUtf8(fileMessage(kFailedToOpenMessage, path)));
        return false;
      }
      clear();
      QTextCursor end(document());
      end.beginEditBlock();
      positions_ = streamDocumentText(read->text, kPieceSize, [&end](std::string_view piece) {
        end.insertText(fromUtf8(piece));
      });
      end.endEditBlock();
      loadedStamp_ = read->stamp;
      setTextCursor(QTextCursor(document()));
      return true;
    }
  }
  TextFileSource source;
  switch (source.open(path)) {
    case TextFileFailure::kNone:
      break;
    case TextFileFailure::kInvalidName:
      prompts_.showMessage(this, fromUtf8(fileMessage(kInvalidFileNameMessage, path)));
      return false;
    case TextFileFailure::kCannotOpen:
      prompts_.showMessage(this, fromUtf8(fileMessage(kFailedToOpenMessage, path)));
      return false;
  }
  clear();
  QTextCursor end(document());
  end.beginEditBlock();
  positions_ = streamViewText(source, kPieceSize,
                              [&end](std::string_view piece) { end.insertText(fromUtf8(piece)); });
  end.endEditBlock();
  loadedStamp_ = source.file().stamp();
  // At the top, with nothing selected, until a stretch is chosen.
  setTextCursor(QTextCursor(document()));
  return true;
}

void CRichEditCtrlGS::showText(const QString& text) {
  setPlainText(text);
  // No file's offsets apply to this text: any stretch selects nothing.
  positions_ = ViewPositions();
}

void CRichEditCtrlGS::selectStretch(std::int32_t start, std::int32_t end) {
  const ViewRange range = positions_.rangeOf(start, end);
  // The document's last position follows its last character.
  const qint64 last = std::max(0, document()->characterCount() - 1);
  QTextCursor cursor(document());
  cursor.setPosition(static_cast<int>(std::clamp<qint64>(range.start, 0, last)));
  cursor.setPosition(static_cast<int>(std::clamp<qint64>(range.end, 0, last)),
                     QTextCursor::KeepAnchor);
  setTextCursor(cursor);
  scrollStretchIntoView();
}

void CRichEditCtrlGS::setQuietStretches(
    const std::vector<std::pair<std::int32_t, std::int32_t>>& stretches) {
  QList<QTextEdit::ExtraSelection> quiet;
  const qint64 last = std::max(0, document()->characterCount() - 1);
  QTextCharFormat format;
  format.setForeground(palette().color(QPalette::Disabled, QPalette::Text));
  for (const auto& [start, end] : stretches) {
    const ViewRange range = positions_.rangeOf(start, end);
    QTextEdit::ExtraSelection selection;
    selection.cursor = QTextCursor(document());
    selection.cursor.setPosition(static_cast<int>(std::clamp<qint64>(range.start, 0, last)));
    selection.cursor.setPosition(static_cast<int>(std::clamp<qint64>(range.end, 0, last)),
                                 QTextCursor::KeepAnchor);
    selection.format = format;
    quiet.append(selection);
  }
  setExtraSelections(quiet);
}

void CRichEditCtrlGS::scrollStretchIntoView() {
  const QTextCursor cursor = textCursor();
  const QTextDocument& text = *document();
  const int first = visualLineOf(text, cursor.selectionStart());
  // The line of the stretch's last character, not of the position after it.
  const int lastLine =
      visualLineOf(text, std::max(cursor.selectionStart(), cursor.selectionEnd() - 1));
  const int lineHeight = std::max(1, fontMetrics().lineSpacing());
  const int visibleLines = std::max(1, viewport()->height() / lineHeight);
  const int stretchLines = lastLine - first + 1;
  // The stretch in the middle when it fits; otherwise its start near the top,
  // below one line of what comes before it.
  const int top =
      stretchLines <= visibleLines ? first - (visibleLines - stretchLines) / 2 : first - 1;
  verticalScrollBar()->setValue(std::max(0, top));
  horizontalScrollBar()->setValue(0);
}

void CRichEditCtrlGS::changeEvent(QEvent* event) {
  QPlainTextEdit::changeEvent(event);
  if (event->type() == QEvent::PaletteChange && !settingPalette_) keepActiveSelectionColours();
}

void CRichEditCtrlGS::keepActiveSelectionColours() {
  QPalette colours = palette();
  for (const auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
    colours.setBrush(QPalette::Inactive, role, colours.brush(QPalette::Active, role));
  }
  settingPalette_ = true;
  setPalette(colours);
  settingPalette_ = false;
}

}  // namespace orvalis
