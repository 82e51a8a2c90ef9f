#include "ui/results/compare_dlg.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRect>
#include <QThread>
#include <algorithm>

#include "analysis/shared_text_statistics.h"
#include "engine/encoding.h"
#include "report/html_report.h"
#include "ui/dialog_font_units.h"
#include "ui/main/user_prompts.h"
#include "ui/qt_convert.h"
#include "ui/results/results_texts.h"
#include "ui/results/rich_edit_ctrl_gs.h"

namespace orvalis {

namespace {

// Places `control` at a rectangle of the template, given in dialog units. A
// control that needs more height than the template gives it keeps its centre.
void place(QWidget* control, const DialogUnits& du, int left, int top, int width, int height) {
  QRect area(du.x(left), du.y(top), du.x(width), du.y(height));
  const int needed = control->sizeHint().height();
  if (needed > area.height()) {
    area.setTop(area.top() - (needed - area.height()) / 2);
    area.setHeight(needed);
  }
  control->setGeometry(area);
}

// A borderless read-only line that reads as a label on the dialog's background.
QLineEdit* makeTextBox(QWidget* parent, const QString& objectName, const QString& accessibleName) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(objectName);
  box->setAccessibleName(accessibleName);
  box->setReadOnly(true);
  box->setFrame(false);
  box->setFocusPolicy(Qt::ClickFocus);
  box->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
  return box;
}

QLabel* makeConsensusLabel(QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(kConsensusCaption), parent);
  label->setAccessibleName(QStringLiteral("Consensus"));
  label->setEnabled(false);
  return label;
}

}  // namespace

CCompareDlg::CCompareDlg(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      prompts_(prompts) {
  setWindowTitle(QString::fromUtf8(kResultsCaption));
  createControls();
  connectMessageMap();
}

CCompareDlg::~CCompareDlg() = default;

void CCompareDlg::createControls() {
  const DialogUnits du = unitsOf(font());

  // The group box first, so that the controls drawn over it stay on top.
  comparisonsGroup_ = new QGroupBox(QString::fromUtf8(kComparisonsCaption), this);
  comparisonsGroup_->setAccessibleName(QString::fromUtf8(kComparisonsCaption));
  comparisonsGroup_->setGeometry(du.x(7), du.y(7), du.x(474), du.y(27));

  resultList_ = new QComboBox(this);
  resultList_->setObjectName(QStringLiteral("resultList"));
  resultList_->setAccessibleName(QStringLiteral("Results"));
  // An edit field as the template has it, but typing never adds a line.
  resultList_->setEditable(true);
  resultList_->setInsertPolicy(QComboBox::NoInsert);
  resultList_->setMaxVisibleItems(20);
  resultList_->setGeometry(du.x(21), du.y(17) + (du.y(14) - resultList_->sizeHint().height()) / 2,
                           du.x(375), resultList_->sizeHint().height());

  upperView_ = new CRichEditCtrlGS(prompts_, this);
  upperView_->setObjectName(QStringLiteral("upperView"));
  upperView_->setAccessibleName(QStringLiteral("First file"));
  upperView_->setGeometry(du.x(7), du.y(53), du.x(474), du.y(112));

  lowerView_ = new CRichEditCtrlGS(prompts_, this);
  lowerView_->setObjectName(QStringLiteral("lowerView"));
  lowerView_->setAccessibleName(QStringLiteral("Second file"));
  lowerView_->setGeometry(du.x(7), du.y(206), du.x(474), du.y(112));

  nameBoxA_ = makeTextBox(this, QStringLiteral("nameBoxA"), QStringLiteral("First file name"));
  place(nameBoxA_, du, 7, 36, 301, 14);
  nameBoxB_ = makeTextBox(this, QStringLiteral("nameBoxB"), QStringLiteral("Second file name"));
  place(nameBoxB_, du, 7, 188, 345, 14);

  // The consensus boxes are greyed: they show text that cannot be chosen.
  consensusBoxA_ =
      makeTextBox(this, QStringLiteral("consensusBoxA"), QStringLiteral("First consensus"));
  consensusBoxA_->setEnabled(false);
  place(consensusBoxA_, du, 71, 171, 410, 14);
  consensusBoxB_ =
      makeTextBox(this, QStringLiteral("consensusBoxB"), QStringLiteral("Second consensus"));
  consensusBoxB_->setEnabled(false);
  place(consensusBoxB_, du, 68, 324, 413, 14);  // ends where the views end

  consensusLabelA_ = makeConsensusLabel(this);
  place(consensusLabelA_, du, 28, 171, 38, 8);
  consensusLabelB_ = makeConsensusLabel(this);
  place(consensusLabelB_, du, 28, 324, 38, 8);
  // The labels stand on the line of their boxes.
  consensusLabelA_->move(consensusLabelA_->x(),
                         consensusBoxA_->geometry().center().y() - consensusLabelA_->height() / 2);
  consensusLabelB_->move(consensusLabelB_->x(),
                         consensusBoxB_->geometry().center().y() - consensusLabelB_->height() / 2);

  showAllBox_ = new QCheckBox(QString::fromUtf8(kShowAllCaption), this);
  showAllBox_->setObjectName(QStringLiteral("showAllBox"));
  showAllBox_->setAccessibleName(QString::fromUtf8(kShowAllCaption));
  place(showAllBox_, du, 410, 19, 65, 10);
  showAllBox_->resize(std::max(showAllBox_->width(), showAllBox_->sizeHint().width()),
                      showAllBox_->height());

  // Beneath "Show all results", where the template leaves room.
  strongestBox_ = new QCheckBox(QString::fromUtf8(kStrongestFirstCaption), this);
  strongestBox_->setObjectName(QStringLiteral("strongestFirstBox"));
  strongestBox_->setAccessibleName(QString::fromUtf8(kStrongestFirstCaption));
  strongestBox_->setAccessibleDescription(QString::fromUtf8(kStrongestFirstTip));
  strongestBox_->setToolTip(QString::fromUtf8(kStrongestFirstTip));
  place(strongestBox_, du, 410, 38, 65, 10);
  strongestBox_->resize(std::max(strongestBox_->width(), strongestBox_->sizeHint().width()),
                        strongestBox_->height());

  // In the context menus, and on the usual key for saving.
  saveReportAction_ = new QAction(QString::fromUtf8(kSaveReportEntry), this);
  saveReportAction_->setObjectName(QStringLiteral("saveReportAction"));
  saveReportAction_->setShortcut(QKeySequence::Save);
  addAction(saveReportAction_);

  // The template's order; the greyed consensus boxes take no focus.
  setTabOrder(resultList_, upperView_);
  setTabOrder(upperView_, lowerView_);
  setTabOrder(lowerView_, nameBoxA_);
  setTabOrder(nameBoxA_, nameBoxB_);
  setTabOrder(nameBoxB_, consensusBoxA_);
  setTabOrder(consensusBoxA_, consensusBoxB_);
  setTabOrder(consensusBoxB_, showAllBox_);
  setTabOrder(showAllBox_, strongestBox_);

  // Not resizable: the template's size, in the dialog's font.
  setFixedSize(du.x(488), du.y(342));
}

// Every source of the dialog's messages, connected in one place.
void CCompareDlg::connectMessageMap() {
  // Chosen by the user, by mouse or keys; filling the list sends nothing.
  connect(resultList_, &QComboBox::activated, this, &CCompareDlg::OnResultSelected);
  connect(showAllBox_, &QCheckBox::clicked, this, &CCompareDlg::OnShowAllResults);
  connect(strongestBox_, &QCheckBox::clicked, this, &CCompareDlg::OnStrongestFirst);
  connect(saveReportAction_, &QAction::triggered, this, &CCompareDlg::OnSaveReport);
  for (CRichEditCtrlGS* view : {upperView_, lowerView_}) {
    // The views' own menu, with the window's entry added.
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
      QMenu* menu = view->createStandardContextMenu(at);
      menu->addSeparator();
      menu->addAction(saveReportAction_);
      menu->exec(view->viewport()->mapToGlobal(at));
      delete menu;
    });
  }
}

void CCompareDlg::showEvent(QShowEvent* event) {
  if (!initialised_) {
    initialised_ = true;
    OnInitDialog();
  }
  QDialog::showEvent(event);
}

void CCompareDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(saveReportAction_);
  menu.exec(event->globalPos());
}

void CCompareDlg::keyPressEvent(QKeyEvent* event) {
  // With no button in the window, Enter closes it as Esc does, unless the
  // list's drop-down takes it.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CCompareDlg::OnInitDialog() {
  threshold = engineResults != nullptr ? computeThreshold(*engineResults) : computeThreshold({});
  significance = engine != nullptr && engineResults == &engine->pairResults
                     ? significanceOfScan(*engine, engine->comparisonThreads)
                     : significanceOf(engineResults != nullptr ? *engineResults : ResultMap{});
  // Statistics other than the plain fit say why where the E-values are chosen.
  if (!significance.note.empty()) comparisonsGroup_->setToolTip(fromUtf8(significance.note));
  if (setAside != nullptr) {
    setWindowTitle(windowTitle() + QStringLiteral(" (template text set aside)"));
    setToolTip(fromUtf8(setAsideSummary(*setAside)));
  }
  FillResultList();
  upperView_->showText(QString::fromUtf8(kSelectHint));
  resultList_->setFocus();
}

void CCompareDlg::FillResultList() {
  Q_ASSERT(QThread::currentThread() == thread());
  resultList_->clear();
  listedResults.clear();
  listedCount = 0;
  if (engineResults == nullptr) {
    listing_.clear();
  } else if (strongestFirst != 0) {
    listing_ = listByEvalue(*engineResults, significance, kStrongestMaxEvalue, showAll != 0);
    if (listing_.size() > static_cast<std::size_t>(kMaxListedResults)) {
      listing_.resize(static_cast<std::size_t>(kMaxListedResults));
    }
  } else {
    listing_ = listResults(*engineResults, threshold, showAll != 0);
  }
  for (const ListedResult& line : listing_) {
    resultList_->addItem(fromUtf8(line.text));
    listedResults.emplace(listedCount, line.result);
    ++listedCount;
  }
  if (listedCount == 0) resultList_->addItem(QString::fromUtf8(kNoSuspiciousFilesLine));
  // No line chosen and the edit field empty, whatever adding lines chose.
  resultList_->setCurrentIndex(-1);
  resultList_->clearEditText();
}

void CCompareDlg::OnShowAllResults() {
  showAll = showAllBox_->isChecked() ? 1 : 0;
  FillResultList();
}

void CCompareDlg::OnStrongestFirst() {
  strongestFirst = strongestBox_->isChecked() ? 1 : 0;
  const char* caption = kComparisonsCaption;
  if (strongestFirst != 0) {
    caption =
        significance.usesFixedValues() ? kComparisonsFixedEvalueCaption : kComparisonsEvalueCaption;
  }
  comparisonsGroup_->setTitle(QString::fromUtf8(caption));
  FillResultList();
}

void CCompareDlg::OnResultSelected() {
  if (listedCount == 0) return;
  const auto found = listedResults.find(resultList_->currentIndex());
  if (found == listedResults.end() || found->second == nullptr) return;
  const PairResult& result = *found->second;
  // The first file in full, message included, before anything of the second.
  showSide(*upperView_, shownFileA, result.groupA, result.startA, result.endA, *nameBoxA_,
           *consensusBoxA_, result.consensusA);
  showSide(*lowerView_, shownFileB, result.groupB, result.startB, result.endB, *nameBoxB_,
           *consensusBoxB_, result.consensusB);
}

void CCompareDlg::showSide(CRichEditCtrlGS& view, int& shownFile, const WordGroup* group,
                           std::int32_t start, std::int32_t end, QLineEdit& nameBox,
                           QLineEdit& consensusBox, const std::string& consensus) {
  const FileEntry* file = group != nullptr ? group->file : nullptr;
  if (file != nullptr && shownFile != file->index) {
    // Recorded even when loading failed, so that the failure is told once.
    shownFile = file->index;
    if (view.LoadTextFile(file->path) && view.loadedStamp() != file->stamp) {
      prompts_.showMessage(this, fromUtf8(fileMessage(kChangedSinceScanMessage, file->path)));
    }
    // Template text in a quiet colour, where the scan set any aside.
    if (setAside != nullptr) {
      std::vector<std::pair<std::int32_t, std::int32_t>> quiet;
      for (const TextSpan& span : setAsideSpans(*file)) quiet.emplace_back(span.start, span.end);
      view.setQuietStretches(quiet);
    }
  }
  view.selectStretch(start, end);
  nameBox.setText(file != nullptr ? toQString(file->displayName) : QString());
  nameBox.setCursorPosition(0);
  consensusBox.setText(fromUtf8(decodeTextPiece(consensus, true)));
  consensusBox.setCursorPosition(0);
}

void CCompareDlg::OnSaveReport() {
  const std::optional<QString> chosen = prompts_.chooseSaveFile(
      this, QString::fromUtf8(kReportFilter), QString::fromUtf8(kReportFileName));
  if (!chosen) return;
  const std::filesystem::path file = toPath(*chosen);
  if (const std::string failure = writeReport(file); !failure.empty()) {
    prompts_.showMessage(this, fromUtf8(reportNotWrittenMessage(file, failure)));
  }
}

std::string CCompareDlg::writeReport(const std::filesystem::path& file) const {
  static const ResultMap kNoResults;
  return writeHtmlReportFile(file, engineResults != nullptr ? *engineResults : kNoResults, listing_,
                             threshold, significance, setAside);
}

}  // namespace orvalis
