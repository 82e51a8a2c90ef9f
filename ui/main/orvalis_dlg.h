// The main dialog: choose a folder, scan its files on a worker thread while a
// progress bar and a status line follow the worker, then open the results.
#pragma once

#include <QDialog>
#include <QString>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "analysis/fast_scan.h"
#include "analysis/set_aside.h"
#include "documents/document_source.h"
#include "engine/records.h"
#include "ui/main/control_states.h"
#include "ui/main/qt_scan_target.h"
#include "ui/main/user_prompts.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;

namespace orvalis {

class ResultsCache;
class SettingsStore;

class COrvalisDlg : public QDialog {
  Q_OBJECT

 public:
  enum { IDD = 102 };
  static constexpr int IDC_FOLDER = 1000;
  static constexpr int IDC_BROWSE = 1001;
  static constexpr int IDC_FILE_LIST = 1004;
  static constexpr int IDC_CHECK = 1005;
  static constexpr int IDC_SEE_SIMILARITIES = 1006;
  static constexpr int IDC_PROGRESS = 1013;
  static constexpr int IDC_STATUS = 1014;
  static constexpr int IDC_WEB_PAGE = 1015;
  static constexpr int IDC_EARLIER_WORK = 1016;
  static constexpr int IDC_ALL_PROCESSORS = 1017;
  static constexpr int IDC_FAST_SCAN = 1018;
  static constexpr int IDM_ABOUT = 0x0010;

  // What the application shell adds: the about box and the splash window, each
  // shown over the dialog passed in. Either may be left empty.
  struct ShellHooks {
    std::function<void(QWidget*)> showAbout;
    std::function<void(QWidget*)> showSplash;
  };

  // The dialog reads its scan settings from `settings` when it is first shown,
  // and shows every message, chooser and notice through `prompts`; both must
  // outlive it.
  COrvalisDlg(UserPrompts& prompts, SettingsStore& settings, QWidget* parent = nullptr);
  ~COrvalisDlg() override;

  void setShellHooks(ShellHooks hooks) { hooks_ = std::move(hooks); }

  // The results cache that scans take results from and keep them in; null for
  // none. It must outlive the dialog; its warnings are shown after each scan.
  void setResultsCache(ResultsCache* cache);

  // The folder of earlier work that the next scans compare with the files to
  // compare, as if chosen with "Earlier work..."; empty for none, as if "No
  // earlier work" had been chosen.
  void setEarlierWorkFolder(const std::filesystem::path& folder);
  const std::filesystem::path& earlierWorkFolder() const { return earlierWorkFolder_; }

  // Browse as if `file` had been chosen in the file dialog; it need not exist,
  // only its folder must.
  void browseFile(const std::filesystem::path& file);

  // Shows `folder` with nothing listed and says how to choose the extension;
  // Browse then starts there.
  void openFolder(const std::filesystem::path& folder);

  const CompareEngine& engine() const { return engine_; }
  const std::vector<std::filesystem::path>& filePaths() const { return filePaths_; }
  const std::vector<std::filesystem::path>& templatePaths() const { return templatePaths_; }
  DialogState state() const { return state_; }

  // Closing, Esc and Enter end the dialog here; a running worker is stopped and
  // waited for first.
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
#ifdef Q_OS_WIN
  bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

 private:
  void createControls();
  void connectMessageMap();

  void OnInitDialog();
  void OnSysCommand(int commandId);
  void OnBrowse();
  void OnEarlierWork();
  void showCacheWarnings();
  // Puts `text` in the status line, its start in view.
  void showStatus(const QString& text);
  void OnTemplateFiles();
  void setTemplateFiles(std::vector<std::filesystem::path> files);
  void OnCheck();
  void OnSeeSimilarities();
  void OnScanMessage(quint32 message, qint64 wParam, qint64 lParam);
  void OnScanSetRange(qint64 wParam, qint64 lParam);
  void OnScanSetPos(qint64 wParam, qint64 lParam);
  void OnScanStarted(qint64 wParam, qint64 lParam);
  void OnScanProgress(qint64 wParam, qint64 lParam);
  void OnWebPageLink();

  void startScan();
  void cancelScan();
  void OnScanFailed(const QString& message);
  void OnNoticeRequested(const QString& text);
  // Waits for the worker in a local event loop, so that its notice stays
  // answerable; the controls are disabled meanwhile. Returns at once when no
  // worker runs.
  void waitForWorker();
  // Closes now when the dialog was asked to close while it waited.
  void closeIfRequested();
  void setState(DialogState state);
  void updateControls();
  // Offers the faster scans when the files listed would take long to scan.
  void offerFasterScans();
  void setProgressPosition(qint64 position);
  void showProgressPosition();

  UserPrompts& prompts_;
  SettingsStore& settings_;
  ShellHooks hooks_;

  QLineEdit* statusLine_ = nullptr;
  QLineEdit* folderBox_ = nullptr;
  QListWidget* fileList_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QPushButton* checkButton_ = nullptr;
  QPushButton* seeSimilaritiesButton_ = nullptr;
  QPushButton* browseButton_ = nullptr;
  QPushButton* earlierWorkButton_ = nullptr;
  QPushButton* templatesButton_ = nullptr;
  QAction* chooseEarlierWorkItem_ = nullptr;  // the items of the two buttons' menus
  QAction* noEarlierWorkItem_ = nullptr;
  QAction* chooseTemplatesItem_ = nullptr;
  QAction* noTemplatesItem_ = nullptr;
  QPushButton* webPageButton_ = nullptr;
  QWidget* fasterScansRow_ = nullptr;  // shown for a folder that takes long to scan
  QLabel* usualScanLabel_ = nullptr;
  QCheckBox* allProcessorsBox_ = nullptr;
  QCheckBox* fastScanBox_ = nullptr;
  QTimer* progressTimer_ = nullptr;

  QtScanTarget scanTarget_;
  const documents::DocumentTextSource documentSource_;  // outlives every scan of engine_
  CompareEngine engine_;
  std::vector<std::filesystem::path> filePaths_;
  std::filesystem::path earlierWorkFolder_;  // kept for every later scan
  ResultsCache* resultsCache_ = nullptr;
  // Template files, kept from scan to scan; read afresh when each scan starts,
  // and used by its worker, so changed only while no worker runs.
  std::vector<std::filesystem::path> templatePaths_;
  TemplateSet templates_;
  SetAsideReport setAside_;
  // The usual scan: one worker that pauses after each comparison.
  std::chrono::milliseconds usualPause_{0};
  int usualThreads_ = 1;
  FastScan fast_;              // what the last fast scan chose; used by its worker
  bool lastScanFast_ = false;  // the results are a fast scan's
  SignificanceModel fastSignificance_;
  DialogState state_;
  bool initialised_ = false;
  bool workerAlive_ = false;     // started and not yet reported its end
  bool waiting_ = false;         // inside waitForWorker
  bool closeRequested_ = false;  // the dialog was asked to close while waiting
  int closeResult_ = Rejected;
  qint64 progressPosition_ = 0;  // the latest position, shown by progressTimer_
};

}  // namespace orvalis
