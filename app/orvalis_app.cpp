#include "app/orvalis_app.h"

#include <QApplication>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/about_dlg.h"
#include "app/command_line.h"
#include "app/resources.h"
#include "app/splash_wnd.h"
#include "cache/results_cache.h"
#include "ui/main/orvalis_dlg.h"

namespace orvalis {

namespace {
constexpr int kExitSuccess = 0;
constexpr int kExitUsage = 2;
}  // namespace

COrvalisApp::COrvalisApp() {
  initResources();
  QApplication::setApplicationName(QStringLiteral("Orvalis"));
  // No display name: the desktop would add it to every title, "Orvalis V1.1 — Orvalis".
  QApplication::setApplicationVersion(QStringLiteral("1.1"));
  QApplication::setOrganizationName(QStringLiteral("Tovimar"));
  // Lets the desktop match the windows to the installed desktop entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("example.tovimar.Orvalis"));
  QApplication::setWindowIcon(applicationIcon());
}

int COrvalisApp::InitInstance(const std::vector<std::string>& arguments, UserPrompts& prompts,
                              SettingsStore& settings, std::ostream& out, std::ostream& err) {
  const StartRequest request = parseCommandLine(arguments);
  switch (request.action) {
    case StartRequest::Action::kHelp:
      out << usageText();
      return kExitSuccess;
    case StartRequest::Action::kVersion:
      out << kVersionText << '\n';
      return kExitSuccess;
    case StartRequest::Action::kUsageError:
      err << "orvalis: " << request.error << "\nTry 'orvalis --help'.\n";
      return kExitUsage;
    case StartRequest::Action::kRun:
      break;
  }

  // The results cache that orvalis-scan uses too; a cache that cannot be used
  // is said once the dialog is shown, and scans go on without it.
  std::vector<std::string> cacheWarnings;
  std::unique_ptr<ResultsCache> cache;
  if (resultsCacheAvailable()) {
    CacheOptions cacheOptions;
    cacheOptions.file = defaultCacheFile();
    cache = ResultsCache::open(cacheOptions, cacheWarnings);
  }
  COrvalisDlg dialog(prompts, settings);
  dialog.setResultsCache(cache.get());
  COrvalisDlg::ShellHooks hooks;
  hooks.showAbout = [](QWidget* owner) {
    CAboutDlg about(owner);
    about.exec();
  };
  // Runs at the end of the dialog's initialisation, after the settings'
  // messages. The start file is browsed before the splash shows, so that a
  // message about its folder is not hidden under the splash.
  hooks.showSplash = [&dialog, &prompts, cacheWarnings, file = request.file,
                      isFolder = request.isFolder](QWidget* owner) {
    for (const std::string& warning : cacheWarnings) {
      prompts.showMessage(owner, QString::fromStdString("Warning: " + warning + "."));
    }
    if (file && isFolder) dialog.openFolder(*file);
    if (file && !isFolder) dialog.browseFile(*file);
    CSplashWnd::splashEnabled = true;
    CSplashWnd::showSplash(owner);
  };
  dialog.setShellHooks(std::move(hooks));
  dialog.exec();
  return kExitSuccess;
}

}  // namespace orvalis
