#include "ui/main/orvalis_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QEventLoop>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>
#include <thread>

#include "cache/results_cache.h"
#include "discovery/earlier_work.h"
#include "discovery/file_discovery.h"
#include "discovery/template_files.h"
#include "engine/encoding.h"
#include "engine/memory.h"
#include "engine/scan.h"
#include "engine/settings.h"
#include "engine/text.h"
#include "ui/dialog_font_units.h"
#include "ui/main/dialog_texts.h"
#include "ui/main/scan_choices.h"
#include "ui/qt_convert.h"
#include "ui/results/compare_dlg.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace orvalis {

namespace {

// The progress bar is redrawn at most this often; every message is still handled.
constexpr int kProgressRedrawMs = 30;
constexpr const char* kAboutEntry = "&About Orvalis...";

int clampToInt(qint64 value) {
  return static_cast<int>(std::clamp<qint64>(value, 0, std::numeric_limits<int>::max()));
}

QPushButton* makeButton(const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  // No button is the default: Enter acts on the focused button only.
  button->setAutoDefault(false);
  button->setAccessibleName(
      QString(caption).remove(QLatin1Char('&')).remove(QStringLiteral("...")));
  return button;
}

}  // namespace

COrvalisDlg::COrvalisDlg(UserPrompts& prompts, SettingsStore& settings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint),
      prompts_(prompts),
      settings_(settings) {
  setWindowTitle(QString::fromUtf8(kDialogCaption));
  setAccessibleName(QString::fromUtf8(kDialogCaption));
  engine_.memoryLimit = desktopScanMemoryLimit(installedMemory());
  engine_.textSource = &documentSource_;
  engine_.documentThreads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  usualPause_ = engine_.comparisonPause;
  usualThreads_ = engine_.comparisonThreads;
  createControls();
  connectMessageMap();
  updateControls();
}

COrvalisDlg::~COrvalisDlg() {
  // The worker may wait for a notice that nobody will answer now.
  engine_.running = false;
  scanTarget_.stopWaitingForNotices();
  engine_.waitForWorker();
}

void COrvalisDlg::createControls() {
  const DialogUnits du = unitsOf(font());

  auto* folderGroup = new QGroupBox(tr("Set folder"), this);
  folderGroup->setAccessibleName(tr("Set folder"));
  folderBox_ = new QLineEdit(folderGroup);
  folderBox_->setObjectName(QStringLiteral("folderBox"));
  folderBox_->setReadOnly(true);
  folderBox_->setAccessibleName(tr("Folder"));
  browseButton_ = makeButton(tr("Browse..."), folderGroup);
  browseButton_->setObjectName(QStringLiteral("browseButton"));
  browseButton_->setMinimumWidth(du.x(50));
  auto* folderRows = new QVBoxLayout(folderGroup);
  folderRows->setContentsMargins(du.x(8), du.y(4), du.x(8), du.y(4));
  folderRows->setSpacing(du.y(2));
  auto* folderRow = new QHBoxLayout;
  folderRow->setSpacing(du.x(2));
  folderRow->addWidget(folderBox_, 1);
  folderRow->addWidget(browseButton_);
  folderRows->addLayout(folderRow);
  // What else a scan takes in, on a row of its own so that the folder keeps
  // its room.
  auto* extrasRow = new QHBoxLayout;
  extrasRow->setSpacing(du.x(2));
  extrasRow->addStretch(1);
  folderRows->addLayout(extrasRow);
  earlierWorkButton_ = makeButton(tr("Earlier work..."), folderGroup);
  earlierWorkButton_->setObjectName(QStringLiteral("earlierWorkButton"));
  earlierWorkButton_->setToolTip(
      tr("A folder of earlier work: compared with every file to compare, not with each other"));
  extrasRow->addWidget(earlierWorkButton_);
  // Text that every file shares without copying it: starter code, a header.
  templatesButton_ = makeButton(tr("Template files..."), folderGroup);
  templatesButton_->setObjectName(QStringLiteral("templatesButton"));
  templatesButton_->setToolTip(tr("Files whose text the scan sets aside in every file"));
  extrasRow->addWidget(templatesButton_);
  // Each button opens a menu, to choose anew or to take the choice back.
  auto* earlierWorkMenu = new QMenu(earlierWorkButton_);
  chooseEarlierWorkItem_ = earlierWorkMenu->addAction(tr("Choose a folder..."));
  noEarlierWorkItem_ = earlierWorkMenu->addAction(tr("No earlier work"));
  noEarlierWorkItem_->setEnabled(false);
  earlierWorkButton_->setMenu(earlierWorkMenu);
  auto* templatesMenu = new QMenu(templatesButton_);
  chooseTemplatesItem_ = templatesMenu->addAction(tr("Choose files..."));
  noTemplatesItem_ = templatesMenu->addAction(tr("No template files"));
  noTemplatesItem_->setEnabled(false);
  templatesButton_->setMenu(templatesMenu);

  auto* filesGroup = new QGroupBox(tr("Files to compare"), this);
  filesGroup->setAccessibleName(tr("Files to compare"));
  fileList_ = new QListWidget(filesGroup);
  fileList_->setObjectName(QStringLiteral("fileList"));
  fileList_->setAccessibleName(tr("Files to compare"));
  fileList_->setMinimumHeight(du.y(51));
  auto* filesBox = new QVBoxLayout(filesGroup);
  filesBox->setContentsMargins(du.x(8), du.y(2), du.x(8), du.y(5));
  filesBox->addWidget(fileList_);

  // For a folder that would take long: every processor without the pause, or
  // the fast scan. Each caption shows its estimated time.
  fasterScansRow_ = new QWidget(this);
  allProcessorsBox_ = new QCheckBox(fasterScansRow_);
  allProcessorsBox_->setObjectName(QStringLiteral("allProcessorsBox"));
  allProcessorsBox_->setAccessibleName(QString::fromUtf8(kAllProcessorsName));
  allProcessorsBox_->setToolTip(tr("The same results, on every processor, without pausing"));
  fastScanBox_ = new QCheckBox(fasterScansRow_);
  fastScanBox_->setObjectName(QStringLiteral("fastScanBox"));
  fastScanBox_->setAccessibleName(QString::fromUtf8(kFastScanName));
  fastScanBox_->setToolTip(QString::fromUtf8(kFastScanTip));
  fastScanBox_->setAccessibleDescription(QString::fromUtf8(kFastScanTip));
  usualScanLabel_ = new QLabel(fasterScansRow_);
  usualScanLabel_->setObjectName(QStringLiteral("usualScanLabel"));
  auto* fasterScans = new QVBoxLayout(fasterScansRow_);
  fasterScans->setContentsMargins(du.x(8), du.y(2), du.x(8), 0);
  fasterScans->setSpacing(du.y(1));
  fasterScans->addWidget(usualScanLabel_);
  fasterScans->addWidget(allProcessorsBox_);
  fasterScans->addWidget(fastScanBox_);
  fasterScansRow_->setVisible(false);

  checkButton_ = makeButton(QString::fromUtf8(kCheckCaption), this);
  checkButton_->setObjectName(QStringLiteral("checkButton"));
  checkButton_->setMinimumHeight(du.y(23));

  statusLine_ = new QLineEdit(this);
  statusLine_->setObjectName(QStringLiteral("statusLine"));
  statusLine_->setReadOnly(true);
  statusLine_->setFrame(false);
  statusLine_->setAccessibleName(tr("Status"));
  // A borderless read-only line reads as a label, on the dialog's own background.
  statusLine_->setBackgroundRole(QPalette::Window);
  statusLine_->setAutoFillBackground(false);
  statusLine_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));

  progressBar_ = new QProgressBar(this);
  progressBar_->setObjectName(QStringLiteral("progressBar"));
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  progressBar_->setAccessibleName(tr("Progress"));
  progressBar_->setMinimumHeight(du.y(14));

  seeSimilaritiesButton_ = makeButton(tr("See Similarities"), this);
  seeSimilaritiesButton_->setObjectName(QStringLiteral("seeSimilaritiesButton"));
  seeSimilaritiesButton_->setMinimumHeight(du.y(23));

  webPageButton_ = makeButton(QString::fromUtf8(kWebPageCaption), this);
  webPageButton_->setObjectName(QStringLiteral("webPageButton"));
  webPageButton_->setFlat(true);
  webPageButton_->setToolTip(QString::fromUtf8(kProductPageAddress));
  webPageButton_->setCursor(Qt::PointingHandCursor);
  // Flat as a link, but raised while it has the focus, so that the focus shows.
  connect(qApp, &QApplication::focusChanged, webPageButton_,
          [button = webPageButton_](QWidget*, QWidget* now) { button->setFlat(now != button); });

  // The template's rows from top to bottom, with its gaps between them.
  auto* rows = new QVBoxLayout(this);
  rows->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
  rows->setSpacing(0);
  rows->addWidget(folderGroup);
  rows->addWidget(filesGroup, 1);
  rows->addWidget(fasterScansRow_);
  rows->addSpacing(du.y(4));
  rows->addWidget(checkButton_);
  rows->addSpacing(du.y(4));
  rows->addWidget(statusLine_);
  rows->addSpacing(du.y(3));
  rows->addWidget(progressBar_);
  rows->addSpacing(du.y(6));
  rows->addWidget(seeSimilaritiesButton_);
  rows->addSpacing(du.y(3));
  rows->addWidget(webPageButton_);

  progressTimer_ = new QTimer(this);
  progressTimer_->setSingleShot(true);
  progressTimer_->setInterval(kProgressRedrawMs);

  setTabOrder(folderBox_, browseButton_);
  setTabOrder(browseButton_, earlierWorkButton_);
  setTabOrder(earlierWorkButton_, templatesButton_);
  setTabOrder(templatesButton_, fileList_);
  setTabOrder(fileList_, allProcessorsBox_);
  setTabOrder(allProcessorsBox_, fastScanBox_);
  setTabOrder(fastScanBox_, checkButton_);
  setTabOrder(checkButton_, statusLine_);
  setTabOrder(statusLine_, seeSimilaritiesButton_);
  setTabOrder(seeSimilaritiesButton_, webPageButton_);

  resize(std::max(du.x(244), sizeHint().width()), std::max(du.y(220), sizeHint().height()));
}

// Every source of the dialog's messages, connected in one place.
void COrvalisDlg::connectMessageMap() {
  connect(browseButton_, &QPushButton::clicked, this, &COrvalisDlg::OnBrowse);
  connect(chooseEarlierWorkItem_, &QAction::triggered, this, &COrvalisDlg::OnEarlierWork);
  connect(noEarlierWorkItem_, &QAction::triggered, this, [this] { setEarlierWorkFolder({}); });
  connect(chooseTemplatesItem_, &QAction::triggered, this, &COrvalisDlg::OnTemplateFiles);
  connect(noTemplatesItem_, &QAction::triggered, this, [this] { setTemplateFiles({}); });
  connect(checkButton_, &QPushButton::clicked, this, &COrvalisDlg::OnCheck);
  connect(seeSimilaritiesButton_, &QPushButton::clicked, this, &COrvalisDlg::OnSeeSimilarities);
  connect(&scanTarget_, &QtScanTarget::posted, this, &COrvalisDlg::OnScanMessage);
  connect(webPageButton_, &QPushButton::clicked, this, &COrvalisDlg::OnWebPageLink);
  // The fast scan runs on every processor too.
  connect(fastScanBox_, &QCheckBox::toggled, this, [this](bool fast) {
    if (fast) allProcessorsBox_->setChecked(true);
    updateControls();
  });
  connect(&scanTarget_, &QtScanTarget::unreadableFilesFound, this,
          [this](const QString& message) { prompts_.showMessage(this, message); });
  connect(&scanTarget_, &QtScanTarget::failed, this, &COrvalisDlg::OnScanFailed);
  connect(&scanTarget_, &QtScanTarget::noticeRequested, this, &COrvalisDlg::OnNoticeRequested);
  connect(&scanTarget_, &QtScanTarget::ended, this, [this] {
    workerAlive_ = false;
    showCacheWarnings();
  });
  connect(progressTimer_, &QTimer::timeout, this, &COrvalisDlg::showProgressPosition);
}

void COrvalisDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (initialised_) return;
  initialised_ = true;
  OnInitDialog();
}

void COrvalisDlg::OnInitDialog() {
#ifdef Q_OS_WIN
  // Windows users look for About in the system menu.
  if (HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE)) {
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_ABOUT, reinterpret_cast<LPCWSTR>(tr(kAboutEntry).utf16()));
  }
#endif
  // The settings are in the engine before the user can start a scan; what there
  // is to say waits until the window is on screen, so that it stands over it.
  ensureDefaultSettings(settings_);
  std::vector<QString> messages;
  if (!loadScanSettings(settings_, engine_)) {
    messages.push_back(QString::fromUtf8(kSettingsMissingMessage));
  }
  if (replaceUnusableGroupSize(engine_)) {
    messages.push_back(QString::fromUtf8(kGroupSizeTooSmallMessage));
  }
  QMetaObject::invokeMethod(
      this,
      [this, messages] {
        for (const QString& message : messages) prompts_.showMessage(this, message);
        if (hooks_.showSplash) hooks_.showSplash(this);
      },
      Qt::QueuedConnection);
}

void COrvalisDlg::OnSysCommand(int commandId) {
  if ((commandId & 0xFFF0) == IDM_ABOUT && hooks_.showAbout) hooks_.showAbout(this);
}

void COrvalisDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(tr(kAboutEntry), this, [this] { OnSysCommand(IDM_ABOUT); });
  menu.exec(event->globalPos());
}

void COrvalisDlg::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::HelpContents)) {
    OnSysCommand(IDM_ABOUT);
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // Enter acts on a focused button; elsewhere it ends the dialog like Esc.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
      if (button->isEnabled()) button->click();
    } else {
      accept();
    }
    return;
  }
  QDialog::keyPressEvent(event);
}

#ifdef Q_OS_WIN
bool COrvalisDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
  const auto* msg = static_cast<const MSG*>(message);
  if (eventType == "windows_generic_MSG" && msg->message == WM_SYSCOMMAND &&
      (msg->wParam & 0xFFF0) == IDM_ABOUT) {
    OnSysCommand(static_cast<int>(msg->wParam));
    *result = 0;
    return true;
  }
  return QDialog::nativeEvent(eventType, message, result);
}
#endif

void COrvalisDlg::OnBrowse() {
  // Starts in the folder shown, if any.
  const std::optional<QString> chosen =
      prompts_.chooseFileIn(this, QString::fromUtf8(openDialogFilter()), folderBox_->text());
  if (!chosen) return;
  browseFile(toPath(*chosen));
}

void COrvalisDlg::openFolder(const std::filesystem::path& folder) {
  filePaths_.clear();
  fileList_->clear();
  folderBox_->setText(toQString(folder));
  prompts_.showMessage(this, fromUtf8(folderChosenMessage(folder)));
}

void COrvalisDlg::setResultsCache(ResultsCache* cache) {
  resultsCache_ = cache;
  engine_.resultCache = cache;
}

void COrvalisDlg::showCacheWarnings() {
  if (resultsCache_ == nullptr) return;
  for (const std::string& warning : resultsCache_->takeWarnings()) {
    prompts_.showMessage(this, fromUtf8("Warning: " + warning + "."));
  }
}

void COrvalisDlg::showStatus(const QString& text) {
  statusLine_->setText(text);
  // A text longer than the line shows its start, which says what it is
  // about, and in full as a tooltip. The line asks for the room to show it
  // whole, as far as the screen allows, and the dialog widens to give it.
  statusLine_->setCursorPosition(0);
  statusLine_->setToolTip(text);
  const QFontMetrics metrics = statusLine_->fontMetrics();
  const int wanted = metrics.horizontalAdvance(text) + 2 * metrics.averageCharWidth();
  const QScreen* shownOn = screen();
  const int widest = shownOn != nullptr ? shownOn->availableGeometry().width() * 9 / 10 : wanted;
  statusLine_->setMinimumWidth(std::min(wanted, widest));
}

void COrvalisDlg::OnEarlierWork() {
  // Where the earlier work is, or else beside the folder of the files to
  // compare, where a course's earlier years usually are.
  std::filesystem::path start = earlierWorkFolder_;
  if (start.empty() && !filePaths_.empty()) start = filePaths_.front().parent_path().parent_path();
  const std::optional<QString> chosen = prompts_.chooseFolder(this, toQString(start));
  if (!chosen) return;
  setEarlierWorkFolder(toPath(*chosen));
}

void COrvalisDlg::setEarlierWorkFolder(const std::filesystem::path& folder) {
  earlierWorkFolder_ = folder;
  noEarlierWorkItem_->setEnabled(!folder.empty());
  showStatus(fromUtf8(earlierWorkText(folder)));
}

void COrvalisDlg::OnTemplateFiles() {
  const auto chosen =
      prompts_.chooseFiles(this, QString::fromUtf8(toToolkitFilter(openFilterText())));
  if (!chosen) return;
  std::vector<std::filesystem::path> files;
  for (const QString& file : *chosen) files.push_back(toPath(file));
  setTemplateFiles(std::move(files));
}

void COrvalisDlg::setTemplateFiles(std::vector<std::filesystem::path> files) {
  templatePaths_ = std::move(files);
  noTemplatesItem_->setEnabled(!templatePaths_.empty());
  showStatus(fromUtf8(templatesStatusText(templatePaths_)));
}

void COrvalisDlg::browseFile(const std::filesystem::path& file) {
  Discovery found = discoverFiles(file);
  if (found.error && found.files.empty()) {
    prompts_.showMessage(this, fromUtf8(folderErrorMessage(found.folder, found.error)));
    return;
  }
  filePaths_ = std::move(found.files);
  folderBox_->setText(toQString(found.folder));
  fileList_->clear();
  // The files come ordered by name without regard to case, the order of a sorted
  // list, and the list shows them in the order the scan numbers them.
  for (const auto& path : filePaths_) fileList_->addItem(fromUtf8(lineText(path)));
  setState(afterBrowse(state_, filePaths_.size()));
  offerFasterScans();
  for (const std::string& message :
       {skippedEntriesMessage(found.skipped), discoveryMessage(filePaths_.size())}) {
    if (!message.empty()) prompts_.showMessage(this, fromUtf8(message));
  }
}

void COrvalisDlg::OnCheck() {
  if (engine_.running) {
    cancelScan();
  } else {
    startScan();
  }
}

void COrvalisDlg::startScan() {
  std::vector<std::filesystem::path> files = filePaths_;
  engine_.beforeComparing = nullptr;
  setAside_ = {};
  templates_ = {};
  if (!templatePaths_.empty()) {
    // Templates are never compared themselves, and are read now, so that one
    // that cannot be read stops the scan before it starts.
    files = withoutTemplates(std::move(files), templatePaths_);
    std::string failure = discoveryMessage(files.size());
    if (failure.empty()) {
      failure = loadTemplates(templatePaths_, effectiveGroupSize(engine_.groupSize), templates_);
      if (!failure.empty()) failure = "Cannot read the template file " + failure;
    }
    if (!failure.empty()) {
      prompts_.showMessage(this, fromUtf8(failure));
      return;
    }
    setAside_.templates = templatePaths_;
    engine_.beforeComparing = [this](CompareEngine& engine) {
      setAsideSharedText(engine, templates_, setAside_);
    };
  }
  std::vector<std::filesystem::path> earlierFiles;
  if (!earlierWorkFolder_.empty() && !filePaths_.empty()) {
    EarlierWork earlier =
        findEarlierWork({earlierWorkFolder_}, extensionOf(filePaths_.front()), filePaths_);
    if (!earlier.error.empty()) {
      prompts_.showMessage(this, fromUtf8("The earlier work cannot be used: " + earlier.error));
      return;
    }
    earlierFiles = std::move(earlier.files);
  }
  const bool offered = !fasterScansRow_->isHidden();
  const bool fast = offered && fastScanBox_->isChecked();
  const bool allProcessors = offered && (fast || allProcessorsBox_->isChecked());
  engine_.comparisonPause = allProcessors ? std::chrono::milliseconds(0) : usualPause_;
  engine_.comparisonThreads =
      allProcessors ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))
                    : usualThreads_;
  // A fast scan computes only some comparisons of each file pair, which the
  // cache cannot keep.
  engine_.resultCache = fast ? nullptr : resultsCache_;
  engine_.comparisonChooser = nullptr;
  fast_ = {};
  if (fast) chooseFastComparisons(engine_, fast_);
  lastScanFast_ = fast;
  setState(afterScanStarted(state_));
  engine_.running = true;
  if (!engine_.startScan(&scanTarget_, std::move(files), std::move(earlierFiles))) {
    setState(afterScanStopped(state_));
    prompts_.showMessage(this, QString::fromUtf8(kThreadStartFailedMessage));
    return;
  }
  workerAlive_ = true;
}

void COrvalisDlg::cancelScan() {
  engine_.running = false;
  waitForWorker();
  setState(afterScanStopped(state_));
  progressTimer_->stop();
  progressBar_->setValue(0);
  showStatus(QString());
  closeIfRequested();
}

void COrvalisDlg::OnScanFailed(const QString& message) {
  // A cancel or a close already waits for this worker.
  if (waiting_) return;
  // The worker has cleared `running` and ends after this report.
  waitForWorker();
  setState(afterScanStopped(state_));
  progressTimer_->stop();
  progressBar_->setValue(0);
  showStatus(QString());
  prompts_.showMessage(this, message);
  closeIfRequested();
}

void COrvalisDlg::OnNoticeRequested(const QString& text) {
  prompts_.showNotice(this, text, [target = &scanTarget_] { target->dismissNotice(); });
}

void COrvalisDlg::OnSeeSimilarities() {
  CCompareDlg results(prompts_, this);
  results.engineResults = &engine_.pairResults;
  results.showAbout = hooks_.showAbout;
  results.engine = &engine_;
  results.setAside = setAside_.active() ? &setAside_ : nullptr;
  if (lastScanFast_) {
    fastSignificance_ = fastScanSignificance(engine_, fast_);
    results.fittedSignificance = &fastSignificance_;
  }
  results.exec();
}

void COrvalisDlg::OnScanMessage(quint32 message, qint64 wParam, qint64 lParam) {
  // Messages still queued from a scan that was stopped change nothing.
  if (!engine_.running) return;
  switch (message) {
    case WM_SCAN_SET_RANGE:
      OnScanSetRange(wParam, lParam);
      break;
    case WM_SCAN_SET_POS:
      OnScanSetPos(wParam, lParam);
      break;
    case WM_SCAN_STARTED:
      OnScanStarted(wParam, lParam);
      break;
    case WM_SCAN_PROGRESS:
      OnScanProgress(wParam, lParam);
      break;
    case WM_SCAN_READING:
      showStatus(fromUtf8(readingDocumentsText(wParam, lParam)));
      progressBar_->setRange(0, clampToInt(lParam));
      setProgressPosition(wParam);
      break;
    default:
      break;
  }
}

void COrvalisDlg::OnScanSetRange(qint64, qint64 lParam) {
  showProgressPosition();
  progressBar_->setRange(0, clampToInt(lParam));
}

void COrvalisDlg::OnScanSetPos(qint64, qint64 lParam) { setProgressPosition(lParam); }

void COrvalisDlg::OnScanStarted(qint64, qint64 lParam) {
  showStatus(fromUtf8(comparingText(0, lParam)));
}

void COrvalisDlg::OnScanProgress(qint64 wParam, qint64 lParam) {
  if (wParam == lParam) {
    setState(afterScanCompleted(state_));
    // The worker wrote the count before it posted this message.
    showStatus(setAside_.active()
                   ? QString::fromUtf8(kAllDoneWithTemplatesText)
                   : fromUtf8(allDoneText(engine_.filePairsFromCache, engine_.filePairsCompared)));
  } else {
    showStatus(fromUtf8(comparingText(wParam, lParam)));
  }
}

void COrvalisDlg::OnWebPageLink() {
  QDesktopServices::openUrl(QUrl(QString::fromUtf8(kProductPageAddress)));
}

void COrvalisDlg::setProgressPosition(qint64 position) {
  progressPosition_ = position;
  if (!progressTimer_->isActive()) progressTimer_->start();
}

void COrvalisDlg::showProgressPosition() {
  progressTimer_->stop();
  progressBar_->setValue(clampToInt(progressPosition_));
}

void COrvalisDlg::waitForWorker() {
  if (!workerAlive_) {
    engine_.waitForWorker();
    return;
  }
  const DialogState before = state_;
  setState({DialogPhase::kWaiting, before.resultsAvailable});
  waiting_ = true;
  QEventLoop loop;
  const auto connection = connect(&scanTarget_, &QtScanTarget::ended, &loop, &QEventLoop::quit);
  // Other handlers of `ended` may have run already; the flag tells.
  if (workerAlive_) loop.exec();
  disconnect(connection);
  waiting_ = false;
  engine_.waitForWorker();  // the worker has said its last word: this returns at once
  state_ = before;
  updateControls();
}

void COrvalisDlg::closeIfRequested() {
  if (closeRequested_) done(closeResult_);
}

void COrvalisDlg::done(int result) {
  if (waiting_) {
    // Closing once the worker has ended.
    closeRequested_ = true;
    closeResult_ = result;
    return;
  }
  engine_.running = false;
  waitForWorker();
  closeRequested_ = false;
  QDialog::done(result);
}

void COrvalisDlg::setState(DialogState state) {
  Q_ASSERT(QThread::currentThread() == thread());
  state_ = state;
  updateControls();
}

void COrvalisDlg::updateControls() {
  const ControlStates controls = statesFor(state_);
  browseButton_->setEnabled(controls.browseEnabled);
  earlierWorkButton_->setEnabled(controls.browseEnabled);
  templatesButton_->setEnabled(controls.browseEnabled);
  checkButton_->setEnabled(controls.checkEnabled);
  checkButton_->setText(fromUtf8(controls.checkCaption));
  checkButton_->setAccessibleName(fromUtf8(controls.checkCaption));
  seeSimilaritiesButton_->setEnabled(controls.seeSimilaritiesEnabled);
  fastScanBox_->setEnabled(controls.browseEnabled);
  allProcessorsBox_->setEnabled(controls.browseEnabled && !fastScanBox_->isChecked());
}

void COrvalisDlg::offerFasterScans() {
  std::vector<std::uint64_t> words;
  words.reserve(filePaths_.size());
  for (const auto& path : filePaths_) {
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(path, error);
    words.push_back(error ? 0 : estimatedWords(path, bytes));
  }
  const ScanTimeEstimate estimate = estimateScanTime(
      words, effectiveGroupSize(engine_.groupSize),
      static_cast<int>(std::max(1u, std::thread::hardware_concurrency())), usualPause_);
  const bool offer = estimate.paused > kOfferFasterScansAfter;
  if (!offer) {
    allProcessorsBox_->setChecked(false);
    fastScanBox_->setChecked(false);
  }
  usualScanLabel_->setText(fromUtf8(usualScanText(estimate.paused)));
  allProcessorsBox_->setText(fromUtf8(allProcessorsCaption(estimate.allProcessors)));
  fastScanBox_->setText(fromUtf8(fastScanCaption(estimate.fast)));
  fasterScansRow_->setVisible(offer);
}

}  // namespace orvalis
