// The program's start and end, the splash window, the about box and
// `orvalis FILE`, run through COrvalisApp as main() runs them.
#include "app/orvalis_app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/about_dlg.h"
#include "app/command_line.h"
#include "app/splash_wnd.h"
#include "engine/settings.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/fake_prompts.h"
#include "ui/main/orvalis_dlg.h"
#include "ui/qt_convert.h"

namespace orvalis {
namespace {

using testing::FakePrompts;
using testing::TempDir;

constexpr int kWaitMs = 5000;

// A run of the program through COrvalisApp::InitInstance, as main() does.
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

  // `inDialog` runs in the main dialog once it is on screen and should close
  // it; one still open after 20 seconds is closed and the test fails.
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

using Action = StartRequest::Action;

TEST(CommandLine, ReadsOptionsAndOneFileOrFolderKeepingTheBytesOfItsName) {
  const testing::TempDir dir;
  dir.write("sub/a.txt", "x");
  const std::filesystem::path base = dir.path();
  const auto cwd = std::filesystem::current_path();
  // The file to run with ("folder " before a folder), "help", "version" or
  // "error"; --help and --version alone are run in the start-up tests.
  const auto parsed = [](const std::vector<std::string>& arguments) -> std::string {
    const StartRequest request = parseCommandLine(arguments);
    EXPECT_EQ(request.error.empty(), request.action != Action::kUsageError);
    if (request.action == Action::kRun) {
      return !request.file ? "" : (request.isFolder ? "folder " : "") + request.file->string();
    }
    return request.action == Action::kHelp      ? "help"
           : request.action == Action::kVersion ? "version"
                                                : "error";
  };
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, ""},
      {{"/data/caf\xE9.txt"}, "/data/caf\xE9.txt"},  // not UTF-8: kept as it is
      // Relative to the folder the program was started in.
      {{"essays/a.txt"}, (cwd / "essays/a.txt").native()},
      {{"--", "-notes.txt"}, (cwd / "-notes.txt").native()},
      {{"a.txt", "-h"}, "help"},
      {{"--jobs"}, "error"},
      {{"a.txt", "b.txt"}, "error"},
      {{""}, "error"},
      // A folder however written, in its plain form; a name that does not
      // exist is a file to browse, but a folder when it ends in "/".
      {{(base / "sub").string()}, "folder " + (base / "sub").string()},
      {{(base / "sub").string() + "/"}, "folder " + (base / "sub").string()},
      {{(base / "sub" / "..").string()}, "folder " + base.string()},
      {{(base / "sub" / "a.txt").string()}, (base / "sub" / "a.txt").string()},
      {{(base / "gone").string() + "/"}, "folder " + (base / "gone").string()},
      {{"/"}, "folder /"},
  };
  for (const auto& [arguments, expected] : cases) {
    EXPECT_EQ(parsed(arguments), expected) << ::testing::PrintToString(arguments);
  }
}

CSplashWnd* waitForSplash() {
  return QTest::qWaitFor([] { return CSplashWnd::activeSplash != nullptr; }, kWaitMs)
             ? CSplashWnd::activeSplash
             : nullptr;
}

TEST(StartUp, SplashShowsCentredOverTheDialogForItsTimeWhateverTheUserDoes) {
  ShellDriver driver;
  QElapsedTimer sinceStart;
  sinceStart.start();
  qint64 splashGoneAfter = -1;
  const ProgramRun run = driver.run({}, [&](COrvalisDlg& dialog) {
    const QPointer<CSplashWnd> splash = waitForSplash();
    ASSERT_TRUE(splash);
    EXPECT_TRUE(splash->isVisible() && splash->parentWidget() == &dialog);
    const QPoint offset = splash->geometry().center() - dialog.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2) << "not centred over the dialog";

    // Clicks and keys leave it in place.
    QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::keyClick(splash, Qt::Key_Escape);
    QTest::qWait(50);
    // A second splash while this one is up does nothing.
    CSplashWnd::showSplash(&dialog);
    CSplashWnd::showSplash(nullptr);
    if (sinceStart.elapsed() < 1400) {
      EXPECT_TRUE(splash && splash->isVisible()) << "removed before its time";
      EXPECT_EQ(CSplashWnd::activeSplash, splash.data());
      EXPECT_EQ(dialog.findChildren<CSplashWnd*>().size(), 1);
    }

    EXPECT_TRUE(QTest::qWaitFor([&] { return splash.isNull(); }, kWaitMs));
    splashGoneAfter = sinceStart.elapsed();
    EXPECT_EQ(CSplashWnd::activeSplash, nullptr);
    dialog.reject();
  });
  EXPECT_EQ(std::pair(run.dialogShown, run.status), std::pair(true, 0));
  EXPECT_GE(splashGoneAfter, CSplashWnd::kShowMilliseconds);
  EXPECT_EQ(driver.prompts.messages, std::vector<QString>{});
}

// The dialog is closed while the splash is still up: the program ends and
// leaves no window behind.
TEST(StartUp, FileArgumentStartsWithItsFolderListedOrAMessageBeforeTheSplash) {
  TempDir files;
  const auto a = files.write("a.txt", "one two three");
  const auto b = files.write("b.TXT", "one two four");
  files.write("c.md", "not listed");
  // The file named need not exist; its folder must.
  for (const auto& file : {files.path() / "new.txt", files.path() / "gone" / "a.txt"}) {
    ShellDriver driver;
    std::vector<std::filesystem::path> listed;
    bool ready = false;
    QPointer<CSplashWnd> splash;
    const ProgramRun run = driver.run({file.string()}, [&](COrvalisDlg& dialog) {
      splash = waitForSplash();
      ASSERT_TRUE(splash);
      listed = dialog.filePaths();
      ready = dialog.findChild<QPushButton*>(QStringLiteral("checkButton"))->isEnabled();
      dialog.close();
    });
    EXPECT_EQ(std::tuple(run.status, splash.isNull(), CSplashWnd::activeSplash),
              std::tuple(0, true, nullptr));
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      EXPECT_EQ(qobject_cast<CSplashWnd*>(widget), nullptr) << "a splash window is left";
      EXPECT_EQ(qobject_cast<COrvalisDlg*>(widget), nullptr) << "the main dialog is left";
    }
    if (std::filesystem::exists(file.parent_path())) {
      EXPECT_EQ(listed, (std::vector<std::filesystem::path>{a, b}));
      EXPECT_TRUE(ready) << "Check is not ready";
      EXPECT_EQ(driver.prompts.messages, std::vector<QString>{});
    } else {
      EXPECT_EQ(std::pair(listed.empty(), ready), std::pair(true, false));
      ASSERT_EQ(driver.prompts.messages.size(), 1u);
      EXPECT_TRUE(driver.prompts.messages[0].contains(toQString(file.parent_path())));
      // Shown before the splash, so that the splash does not cover it.
      EXPECT_FALSE(driver.splashShownAtMessage[0]);
    }
  }
}

TEST(StartUp, HelpVersionAndWrongArgumentsPrintWithoutOpeningTheDialog) {
  // The arguments, the exit status, and the start of the output and the errors.
  const std::tuple<std::string, int, const char*, const char*> cases[] = {
      {"--help", 0, "Usage: orvalis [FILE]", ""},
      {"--version", 0, "Orvalis Version 1.1\n", ""},
      {"--frobnicate", 2, "", "orvalis: unknown option '--frobnicate'"},
  };
  for (const auto& [argument, status, out, err] : cases) {
    SCOPED_TRACE(argument);
    ShellDriver driver;
    const ProgramRun run = driver.run({argument}, [](COrvalisDlg& dialog) { dialog.reject(); });
    EXPECT_EQ(std::pair(run.dialogShown, run.status), std::pair(false, status));
    EXPECT_TRUE(run.out.starts_with(out)) << run.out;
    EXPECT_TRUE(run.err.starts_with(err)) << run.err;
  }
}

TEST(AboutBox, OpensFromF1AndFromTheContextMenuAndOkClosesIt) {
  // Picks the About entry of an open context menu (from a call of its own, so
  // that this timer stays free), and presses OK in an open about box.
  int opened = 0;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, &user, [&] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (QAction* action : menu->actions()) {
        if (action->text() != QStringLiteral("&About Orvalis...")) continue;
        const QPoint where = menu->actionGeometry(action).center();
        QTimer::singleShot(0, menu, [=] { QTest::mouseClick(menu, Qt::LeftButton, {}, where); });
        return;
      }
      ADD_FAILURE() << "the context menu has no About entry";
      menu->close();
    } else if (auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
      ++opened;
      QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
      EXPECT_FALSE(box->isVisible()) << "OK did not close the about box";
    }
  });
  user.start(10);
  ShellDriver driver;
  int aboutBoxesLeft = -1;
  const ProgramRun run = driver.run({}, [&](COrvalisDlg& dialog) {
    QTest::keyClick(&dialog, Qt::Key_F1);
    const QPoint inside(20, 20);
    QContextMenuEvent menuRequest(QContextMenuEvent::Mouse, inside, dialog.mapToGlobal(inside));
    QCoreApplication::sendEvent(&dialog, &menuRequest);
    aboutBoxesLeft = static_cast<int>(dialog.findChildren<CAboutDlg*>().size());
    dialog.reject();
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(opened, 2);
  EXPECT_EQ(aboutBoxesLeft, 0);
}

}  // namespace
}  // namespace orvalis
