// Runs the program through COrvalisApp::InitInstance, as main() does, with
// prompts that record each message and settings in a temporary folder, and
// lets a test act inside the running main dialog.
#pragma once

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/orvalis_app.h"
#include "app/splash_wnd.h"
#include "engine/settings.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/fake_prompts.h"
#include "ui/main/orvalis_dlg.h"

namespace orvalis::testing {

struct ProgramRun {
  int status = -1;
  bool dialogShown = false;
  std::string out;
  std::string err;
};

class ShellDriver {
 public:
  ShellDriver() : settings_(config_.path()) {
    prompts.onMessage = [this] {
      splashShownAtMessage.push_back(CSplashWnd::activeSplash != nullptr);
    };
  }

  // Runs the program with `arguments`. `inDialog` runs inside the modal main
  // dialog's event loop once it is on screen, and should close it; a dialog
  // still open after 20 seconds is closed and the test fails.
  ProgramRun run(const std::vector<std::string>& arguments,
                 const std::function<void(COrvalisDlg&)>& inDialog) {
    ProgramRun result;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
      auto* dialog = qobject_cast<COrvalisDlg*>(QApplication::activeModalWidget());
      if (dialog == nullptr || !dialog->isVisible()) return;
      poll.stop();
      result.dialogShown = true;
      inDialog(*dialog);
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &watchdog, [] {
      ADD_FAILURE() << "the main dialog was still open after 20 seconds";
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<COrvalisDlg*>(widget)) dialog->reject();
      }
    });
    poll.start();
    watchdog.start(20000);
    std::ostringstream out;
    std::ostringstream err;
    COrvalisApp app;
    result.status = app.InitInstance(arguments, prompts, settings_, out, err);
    result.out = out.str();
    result.err = err.str();
    // What the program left to be deleted later goes now, as at its real end.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return result;
  }

  FakePrompts prompts;
  std::vector<bool> splashShownAtMessage;  // whether a splash was up at each message

 private:
  TempDir config_;
  XdgSettingsStore settings_;
};

}  // namespace orvalis::testing
