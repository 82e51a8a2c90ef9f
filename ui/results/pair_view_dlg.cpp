#include "ui/results/pair_view_dlg.h"

#include <QColor>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/encoding.h"
#include "ui/main/user_prompts.h"
#include "ui/qt_convert.h"
#include "ui/results/file_pairs_texts.h"
#include "ui/results/results_texts.h"
#include "ui/results/rich_edit_ctrl_gs.h"

namespace orvalis {

QPushButton* makeDialogButton(QWidget* parent, const char* caption, const char* name) {
  auto* made = new QPushButton(QString::fromUtf8(caption), parent);
  made->setObjectName(QString::fromUtf8(name));
  made->setAccessibleName(QString(QString::fromUtf8(caption)).remove(QLatin1Char('&')));
  made->setAutoDefault(false);
  return made;
}

CPairViewDlg::CPairViewDlg(UserPrompts& prompts, const FilePairTable& table, std::size_t pair,
                           const ResultTable& results, QWidget* parent)
    : QDialog(parent), prompts_(prompts), pair_(table.pairs.at(pair)), results_(results) {
  const QString nameA = fileNameText(*pair_.fileA);
  const QString nameB = fileNameText(*pair_.fileB);
  setWindowTitle(nameA + QStringLiteral(" & ") + nameB);

  figures_ = new QLabel(fromUtf8(pairFiguresText(pair_)), this);
  figures_->setObjectName(QStringLiteral("pairFigures"));
  figures_->setWordWrap(true);
  nameA_ = new QLabel(nameA, this);
  nameB_ = new QLabel(nameB, this);

  viewA_ = new CRichEditCtrlGS(prompts_, this);
  viewA_->setObjectName(QStringLiteral("viewA"));
  viewA_->setAccessibleName(QStringLiteral("File A: ") + nameA);
  viewB_ = new CRichEditCtrlGS(prompts_, this);
  viewB_->setObjectName(QStringLiteral("viewB"));
  viewB_->setAccessibleName(QStringLiteral("File B: ") + nameB);
  nameA_->setBuddy(viewA_);
  nameB_->setBuddy(viewB_);

  counter_ = new QLabel(this);
  counter_->setObjectName(QStringLiteral("matchCounter"));
  counter_->setMinimumWidth(
      counter_->fontMetrics().horizontalAdvance(QStringLiteral("Match 999 of 999")));
  counter_->setAlignment(Qt::AlignCenter);

  const auto button = [this](const char* caption, const char* name) {
    return makeDialogButton(this, caption, name);
  };
  previousButton_ = button(kPreviousMatchCaption, "previousMatchButton");
  previousButton_->setToolTip(QStringLiteral("Previous match (Shift+F3)"));
  nextButton_ = button(kNextMatchCaption, "nextMatchButton");
  nextButton_->setToolTip(QStringLiteral("Next match (F3)"));
  closeButton_ = button(kCloseCaption, "closeButton");
  const bool several = pair_.matches.size() > 1;
  previousButton_->setEnabled(several);
  nextButton_->setEnabled(several);

  auto* sides = new QSplitter(Qt::Horizontal, this);
  for (const auto& [label, view] : {std::pair{nameA_, viewA_}, std::pair{nameB_, viewB_}}) {
    auto* side = new QWidget(sides);
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(label);
    column->addWidget(view, 1);
    sides->addWidget(side);
  }
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(previousButton_);
  buttons->addWidget(counter_);
  buttons->addWidget(nextButton_);
  buttons->addStretch();
  buttons->addWidget(closeButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(figures_);
  layout->addWidget(sides, 1);
  layout->addLayout(buttons);

  connect(previousButton_, &QPushButton::clicked, this, &CPairViewDlg::OnPreviousMatch);
  connect(nextButton_, &QPushButton::clicked, this, &CPairViewDlg::OnNextMatch);
  connect(closeButton_, &QPushButton::clicked, this, &QDialog::accept);
  auto* next = new QShortcut(QKeySequence(Qt::Key_F3), this);
  auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
  connect(next, &QShortcut::activated, this, &CPairViewDlg::OnNextMatch);
  connect(previous, &QShortcut::activated, this, &CPairViewDlg::OnPreviousMatch);

  resize(1000, 640);
  showFile(*viewA_, *pair_.fileA);
  showFile(*viewB_, *pair_.fileB);
  showMatch(0);
}

CPairViewDlg::~CPairViewDlg() = default;

std::pair<std::int32_t, std::int32_t> CPairViewDlg::stretchOf(std::size_t match,
                                                              const FileEntry& file) const {
  const auto found = results_.find(pair_.matches.at(match));
  if (found == results_.end()) return {0, 0};
  const PairResult& result = found->second;
  if (result.groupA != nullptr && result.groupA->file == &file) {
    return {result.startA, result.endA};
  }
  return {result.startB, result.endB};
}

void CPairViewDlg::showFile(CRichEditCtrlGS& view, const FileEntry& file) {
  if (view.LoadTextFile(file.path) && view.loadedStamp() != file.stamp) {
    prompts_.showMessage(this, fromUtf8(fileMessage(kChangedSinceScanMessage, file.path)));
  }
  // Every match in its tint, black text on it; later matches over earlier.
  QList<QTextEdit::ExtraSelection> marks;
  const int last = std::max(0, view.document()->characterCount() - 1);
  for (std::size_t m = 0; m < pair_.matches.size(); ++m) {
    const auto [start, end] = stretchOf(m, file);
    const ViewRange range = view.viewRangeOf(start, end);
    if (range.end <= range.start) continue;
    QTextEdit::ExtraSelection mark;
    mark.cursor = QTextCursor(view.document());
    mark.cursor.setPosition(static_cast<int>(std::clamp<qint64>(range.start, 0, last)));
    mark.cursor.setPosition(static_cast<int>(std::clamp<qint64>(range.end, 0, last)),
                            QTextCursor::KeepAnchor);
    mark.format.setBackground(QColor(QString::fromLatin1(matchTint(m))));
    mark.format.setForeground(QColor(Qt::black));
    mark.format.setToolTip(QStringLiteral("Match %1").arg(m + 1));
    marks.push_back(mark);
  }
  view.setExtraSelections(marks);
}

void CPairViewDlg::showMatch(std::size_t match) {
  const QString counterText = fromUtf8(matchCounterText(match, pair_.matches.size()));
  counter_->setText(counterText);
  counter_->setAccessibleName(counterText);
  if (pair_.matches.empty()) return;
  current_ = match;
  for (const auto& [view, file] :
       {std::pair{viewA_, pair_.fileA}, std::pair{viewB_, pair_.fileB}}) {
    const auto [start, end] = stretchOf(match, *file);
    view->selectStretch(start, end);
  }
}

void CPairViewDlg::OnNextMatch() { showMatch(stepMatch(current_, pair_.matches.size(), true)); }

void CPairViewDlg::OnPreviousMatch() {
  showMatch(stepMatch(current_, pair_.matches.size(), false));
}

}  // namespace orvalis
