#include "ui/results/compare_dlg.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/listing_cap.h"
#include "analysis/shared_text_statistics.h"
#include "engine/encoding.h"
#include "report/html_report.h"
#include "ui/dialog_font_units.h"
#include "ui/main/user_prompts.h"
#include "ui/qt_convert.h"
#include "ui/results/eliding_line_edit.h"
#include "ui/results/file_pairs_dlg.h"
#include "ui/results/file_pairs_texts.h"
#include "ui/results/results_texts.h"
#include "ui/results/rich_edit_ctrl_gs.h"
#include "ui/window_memory.h"

namespace orvalis {

namespace {

// A borderless read-only line that reads as a label on the dialog's background:
// the name of a view's file, whole in its tooltip.
ElidingLineEdit* makeNameBox(QWidget* parent, const QString& objectName,
                             const QString& accessibleName) {
  auto* box = new ElidingLineEdit(parent);
  box->setObjectName(objectName);
  box->setAccessibleName(accessibleName);
  box->setReadOnly(true);
  box->setFrame(false);
  box->setFocusPolicy(Qt::ClickFocus);
  box->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
  box->setMinimumWidth(0);
  return box;
}

// A consensus line: read-only but in the normal text colours, framed so that
// its focus shows, reached with Tab, and scrolled with the keys.
QLineEdit* makeConsensusBox(QWidget* parent, const QString& objectName,
                            const QString& accessibleName) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(objectName);
  box->setAccessibleName(accessibleName);
  box->setAccessibleDescription(QString::fromUtf8(kConsensusTip));
  box->setToolTip(QString::fromUtf8(kConsensusTip));
  box->setWhatsThis(QString::fromUtf8(kConsensusTip));
  box->setReadOnly(true);
  box->setFocusPolicy(Qt::StrongFocus);
  box->setMinimumWidth(0);
  return box;
}

QLabel* makeConsensusLabel(QWidget* parent, QLineEdit* box) {
  auto* label = new QLabel(QString::fromUtf8(kConsensusCaption), parent);
  label->setAccessibleName(QStringLiteral("Consensus"));
  label->setToolTip(QString::fromUtf8(kConsensusTip));
  label->setBuddy(box);
  return label;
}

// A label beside its line, the line taking the width.
QHBoxLayout* labelledRow(QLabel* label, QWidget* line, int spacing) {
  auto* row = new QHBoxLayout;
  row->setSpacing(spacing);
  row->addWidget(label);
  row->addWidget(line, 1);
  return row;
}

}  // namespace

CCompareDlg::CCompareDlg(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      prompts_(prompts) {
  setWindowTitle(QString::fromUtf8(kResultsCaption));
  setAccessibleName(QString::fromUtf8(kResultsCaption));
  createControls();
  connectMessageMap();
  restoreSize();
}

CCompareDlg::~CCompareDlg() = default;

void CCompareDlg::createControls() {
  const DialogUnits du = unitsOf(font());

  comparisonsGroup_ = new QGroupBox(QString::fromUtf8(kComparisonsCaption), this);
  comparisonsGroup_->setAccessibleName(QString::fromUtf8(kComparisonsCaption));

  resultList_ = new QComboBox(comparisonsGroup_);
  resultList_->setObjectName(QStringLiteral("resultList"));
  resultList_->setAccessibleName(QStringLiteral("Results"));
  resultList_->setAccessibleDescription(QString::fromUtf8(kScoreTip));
  resultList_->setToolTip(QString::fromUtf8(kScoreTip));
  resultList_->setWhatsThis(QString::fromUtf8(kScoreTip));
  // An edit field as the template has it, but typing never adds a line.
  resultList_->setEditable(true);
  resultList_->setInsertPolicy(QComboBox::NoInsert);
  resultList_->setMaxVisibleItems(20);
  // The list takes the window's width, whatever the length of its lines.
  resultList_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  resultList_->setMinimumContentsLength(24);
  resultList_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

  showAllBox_ = new QCheckBox(QString::fromUtf8(kShowAllCaption), comparisonsGroup_);
  showAllBox_->setObjectName(QStringLiteral("showAllBox"));
  showAllBox_->setAccessibleName(QString::fromUtf8(kShowAllCaption));

  strongestBox_ = new QCheckBox(QString::fromUtf8(kStrongestFirstCaption), comparisonsGroup_);
  strongestBox_->setObjectName(QStringLiteral("strongestFirstBox"));
  strongestBox_->setAccessibleName(QString::fromUtf8(kStrongestFirstCaption));
  strongestBox_->setAccessibleDescription(QString::fromUtf8(kStrongestFirstTip));
  strongestBox_->setToolTip(QString::fromUtf8(kStrongestFirstTip));

  cappedLine_ = new QLabel(comparisonsGroup_);
  cappedLine_->setObjectName(QStringLiteral("cappedLine"));
  cappedLine_->setAccessibleName(QStringLiteral("Results left out"));
  cappedLine_->setWordWrap(true);
  cappedLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  cappedLine_->hide();

  upperView_ = new CRichEditCtrlGS(prompts_, this);
  upperView_->setObjectName(QStringLiteral("upperView"));
  upperView_->setAccessibleName(QStringLiteral("First file"));
  lowerView_ = new CRichEditCtrlGS(prompts_, this);
  lowerView_->setObjectName(QStringLiteral("lowerView"));
  lowerView_->setAccessibleName(QStringLiteral("Second file"));
  for (CRichEditCtrlGS* view : {upperView_, lowerView_}) {
    view->setMinimumSize(du.x(100), du.y(24));
    view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  }

  nameBoxA_ = makeNameBox(this, QStringLiteral("nameBoxA"), QStringLiteral("First file name"));
  nameBoxB_ = makeNameBox(this, QStringLiteral("nameBoxB"), QStringLiteral("Second file name"));

  consensusBoxA_ =
      makeConsensusBox(this, QStringLiteral("consensusBoxA"), QStringLiteral("First consensus"));
  consensusBoxB_ =
      makeConsensusBox(this, QStringLiteral("consensusBoxB"), QStringLiteral("Second consensus"));
  consensusBoxA_->installEventFilter(this);
  consensusBoxB_->installEventFilter(this);
  consensusLabelA_ = makeConsensusLabel(this, consensusBoxA_);
  consensusLabelB_ = makeConsensusLabel(this, consensusBoxB_);

  statusLine_ = new QLabel(this);
  statusLine_->setObjectName(QStringLiteral("statusLine"));
  statusLine_->setAccessibleName(QStringLiteral("Status"));
  statusLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  statusLine_->hide();

  // In the context menus, and on the usual key for saving.
  saveReportAction_ = new QAction(QString::fromUtf8(kSaveReportEntry), this);
  saveReportAction_->setObjectName(QStringLiteral("saveReportAction"));
  saveReportAction_->setShortcut(QKeySequence::Save);
  saveReportAction_->setShortcutVisibleInContextMenu(true);
  addAction(saveReportAction_);
  filePairsAction_ = new QAction(QString::fromUtf8(kFilePairsEntry), this);
  filePairsAction_->setObjectName(QStringLiteral("filePairsAction"));
  filePairsAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
  addAction(filePairsAction_);

  // The list over its row of boxes and the line about what it leaves out; room
  // at the row's end for buttons.
  optionsRow_ = new QHBoxLayout;
  optionsRow_->setSpacing(du.x(8));
  optionsRow_->addWidget(showAllBox_);
  optionsRow_->addWidget(strongestBox_);
  optionsRow_->addStretch(1);
  auto* groupRows = new QVBoxLayout(comparisonsGroup_);
  groupRows->setContentsMargins(du.x(8), du.y(3), du.x(8), du.y(3));
  groupRows->setSpacing(du.y(2));
  groupRows->addWidget(resultList_);
  groupRows->addLayout(optionsRow_);
  groupRows->addWidget(cappedLine_);

  // Each file's name over its view over its consensus line; the views share
  // the height that is left.
  auto* rows = new QVBoxLayout(this);
  rows->setContentsMargins(du.x(7), du.y(5), du.x(7), du.y(5));
  rows->setSpacing(du.y(2));
  rows->addWidget(comparisonsGroup_);
  rows->addWidget(nameBoxA_);
  rows->addWidget(upperView_, 1);
  rows->addLayout(labelledRow(consensusLabelA_, consensusBoxA_, du.x(4)));
  rows->addSpacing(du.y(3));
  rows->addWidget(nameBoxB_);
  rows->addWidget(lowerView_, 1);
  rows->addLayout(labelledRow(consensusLabelB_, consensusBoxB_, du.x(4)));
  rows->addWidget(statusLine_);

  // The template's order.
  setTabOrder(resultList_, upperView_);
  setTabOrder(upperView_, lowerView_);
  setTabOrder(lowerView_, nameBoxA_);
  setTabOrder(nameBoxA_, nameBoxB_);
  setTabOrder(nameBoxB_, consensusBoxA_);
  setTabOrder(consensusBoxA_, consensusBoxB_);
  setTabOrder(consensusBoxB_, showAllBox_);
  setTabOrder(showAllBox_, strongestBox_);
}

// The size the window had when it was last closed, or the template's size in
// the dialog's font; either way no larger than the screen.
void CCompareDlg::restoreSize() {
  const QByteArray saved =
      openWindowMemory()->value(QString::fromUtf8(kResultsGeometryKey)).toByteArray();
  if (!saved.isEmpty() && restoreGeometry(saved)) return;
  const DialogUnits du = unitsOf(font());
  QSize size(du.x(488), du.y(342));
  if (const QScreen* screen = this->screen()) {
    // Room for the window's frame and the desktop's panels.
    const QSize available = screen->availableSize() - QSize(16, 48);
    size = size.boundedTo(available).expandedTo(minimumSizeHint());
  }
  resize(size);
}

void CCompareDlg::done(int result) {
  openWindowMemory()->setValue(QString::fromUtf8(kResultsGeometryKey), saveGeometry());
  QDialog::done(result);
}

// Every source of the dialog's messages, connected in one place.
void CCompareDlg::connectMessageMap() {
  // Chosen by the user, by mouse or keys; filling the list sends nothing.
  connect(resultList_, &QComboBox::activated, this, &CCompareDlg::OnResultSelected);
  connect(showAllBox_, &QCheckBox::clicked, this, &CCompareDlg::OnShowAllResults);
  connect(strongestBox_, &QCheckBox::clicked, this, &CCompareDlg::OnStrongestFirst);
  connect(saveReportAction_, &QAction::triggered, this, &CCompareDlg::OnSaveReport);
  connect(filePairsAction_, &QAction::triggered, this, &CCompareDlg::OnFilePairs);
  for (CRichEditCtrlGS* view : {upperView_, lowerView_}) {
    // The views' own menu, with the window's entry added.
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
      QMenu* menu = view->createStandardContextMenu(at);
      menu->addSeparator();
      menu->addAction(saveReportAction_);
      menu->addAction(filePairsAction_);
      menu->exec(view->viewport()->mapToGlobal(at));
      delete menu;
    });
  }
  // The list's edit field and the consensus lines: their own menus too.
  for (QLineEdit* line : {resultList_->lineEdit(), consensusBoxA_, consensusBoxB_}) {
    line->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(line, &QWidget::customContextMenuRequested, this, [this, line](const QPoint& at) {
      QMenu* menu = line->createStandardContextMenu();
      menu->addSeparator();
      menu->addAction(saveReportAction_);
      menu->exec(line->mapToGlobal(at));
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
  menu.addAction(filePairsAction_);
  menu.exec(event->globalPos());
}

bool CCompareDlg::eventFilter(QObject* watched, QEvent* event) {
  // A consensus line left after reading it shows its start again.
  if (event->type() == QEvent::FocusOut &&
      (watched == consensusBoxA_ || watched == consensusBoxB_)) {
    static_cast<QLineEdit*>(watched)->setCursorPosition(0);
  }
  return QDialog::eventFilter(watched, event);
}

void CCompareDlg::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::HelpContents)) {
    if (showAbout) showAbout(this);
    return;
  }
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
  if (fittedSignificance != nullptr) {
    significance = *fittedSignificance;
  } else if (engine != nullptr && engineResults == &engine->pairResults) {
    significance = significanceOfScan(*engine, engine->comparisonThreads);
  } else {
    significance = significanceOf(engineResults != nullptr ? *engineResults : ResultTable{});
  }
  // Statistics other than the plain fit say why where the E-values are chosen.
  if (!significance.note.empty()) comparisonsGroup_->setToolTip(fromUtf8(significance.note));
  if (setAside != nullptr) {
    setWindowTitle(windowTitle() + QStringLiteral(" (template text set aside)"));
    setToolTip(fromUtf8(setAsideSummary(*setAside)));
  }
  if (fittedSignificance != nullptr) {
    strongestBox_->setChecked(true);
    strongestBox_->setEnabled(false);
    strongestBox_->setToolTip(QString::fromUtf8(kFastScanResultsTip));
    strongestBox_->setAccessibleDescription(QString::fromUtf8(kFastScanResultsTip));
    showAllBox_->setEnabled(false);  // every result is more than the fast scan aligned
    OnStrongestFirst();
  } else {
    FillResultList();
  }
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
    strongestBeforeCap_ = listing_.size();
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
  showListingCount();
  // No line chosen and the edit field empty, whatever adding lines chose.
  resultList_->setCurrentIndex(-1);
  resultList_->clearEditText();
}

void CCompareDlg::showListingCount() {
  std::size_t total = listing_.size();
  if (engineResults != nullptr) {
    total = strongestFirst != 0 ? strongestBeforeCap_
                                : countListable(*engineResults, threshold, showAll != 0);
  }
  const std::string line = cappedListLine({listing_.size(), total},
                                          windowListingRule(showAll != 0, strongestFirst != 0));
  cappedLine_->setText(fromUtf8(line));
  cappedLine_->setVisible(!line.empty());
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
  // The line from its start, the names first, where it is longer than the field.
  resultList_->lineEdit()->setCursorPosition(0);
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
    if (view.LoadTextFile(file->path, file->textSource) && view.loadedStamp() != file->stamp) {
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
  nameBox.setText(file != nullptr ? fileNameText(*file) : QString());
  nameBox.setToolTip(file != nullptr ? toQString(file->path) : QString());
  nameBox.setCursorPosition(0);
  consensusBox.setText(fromUtf8(decodeTextPiece(consensus, true)));
  consensusBox.setCursorPosition(0);
}

void CCompareDlg::OnSaveReport() {
  // Offered in the last report's folder: never among the files compared, unless
  // the user goes there.
  const std::optional<QString> chosen =
      prompts_.chooseSaveFile(this, QString::fromUtf8(kReportFilter),
                              QDir(reportFolder()).filePath(QString::fromUtf8(kReportFileName)));
  if (!chosen) return;
  const std::filesystem::path file = toPath(*chosen);
  if (const std::string failure = writeReport(file); !failure.empty()) {
    prompts_.showMessage(this, fromUtf8(reportNotWrittenMessage(file, failure)));
    return;
  }
  rememberReportFolder(QFileInfo(*chosen).absolutePath());
  statusLine_->setText(fromUtf8(reportSavedText(file)));
  statusLine_->show();
}

void CCompareDlg::OnFilePairs() {
  static const ResultTable kNoResults;
  const ResultTable& results = engineResults != nullptr ? *engineResults : kNoResults;
  const FilePairTable table = buildFilePairs(filesOf(results), results, significance);
  CFilePairsDlg pairs(prompts_, table, results, 0, this);
  pairs.exec();
}

std::string CCompareDlg::writeReport(const std::filesystem::path& file) const {
  static const ResultTable kNoResults;
  return writeHtmlReportFile(file, engineResults != nullptr ? *engineResults : kNoResults, listing_,
                             threshold, significance, nullptr, setAside);
}

}  // namespace orvalis
