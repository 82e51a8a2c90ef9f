#include "ui/main/orvalis_dlg.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <random>
#include <string>
#include <vector>

#include "cache/results_cache.h"
#include "discovery/file_discovery.h"
#include "engine/memory.h"
#include "engine/scan.h"
#include "engine/settings.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/fake_prompts.h"
#include "ui/main/dialog_texts.h"
#include "ui/qt_convert.h"
#include "ui/results/compare_dlg.h"

namespace orvalis {
namespace {

namespace fs = std::filesystem;
using testing::FakePrompts;
using testing::TempDir;

constexpr int kTimeoutMs = 20000;

template <typename Widget>
Widget* control(const QWidget& dialog, const char* accessibleName) {
  for (Widget* widget : dialog.findChildren<Widget*>()) {
    if (widget->accessibleName() == QLatin1String(accessibleName)) return widget;
  }
  ADD_FAILURE() << "no control named " << accessibleName;
  return nullptr;
}

class MainDialogTest : public ::testing::Test {
 protected:
  MainDialogTest() : settings(configDir.path()), dialog(prompts, settings) {}

  QPushButton* button(const char* name) { return control<QPushButton>(dialog, name); }
  // The item of a button's menu with the given text.
  QAction* menuItem(const char* buttonName, const char* text) {
    for (QAction* item : button(buttonName)->menu()->actions()) {
      if (item->text() == QString::fromUtf8(text)) return item;
    }
    ADD_FAILURE() << "no item " << text << " in the menu of " << buttonName;
    return nullptr;
  }
  // Named by its caption, which changes.
  QPushButton* check() {
    auto* button = dialog.findChild<QPushButton*>(QStringLiteral("checkButton"));
    EXPECT_EQ(button->accessibleName(), button->text());
    return button;
  }
  QLineEdit* status() { return control<QLineEdit>(dialog, "Status"); }
  QProgressBar* progress() { return control<QProgressBar>(dialog, "Progress"); }
  QListWidget* fileList() { return control<QListWidget>(dialog, "Files to compare"); }

  // What the user sees of the buttons ("+" enabled, "-" not), the status line
  // and the progress bar, e.g. "Browse+ Check- See+ |All done.| 0".
  std::string seen() {
    const auto mark = [](const QPushButton* b) { return b->isEnabled() ? "+ " : "- "; };
    return std::string("Browse") + mark(button("Browse")) + check()->text().toStdString() +
           mark(check()) + "See" + mark(button("See Similarities")) + "|" +
           status()->text().toStdString() + "| " + std::to_string(progress()->value());
  }

  std::vector<std::string> listedPaths() {
    std::vector<std::string> paths;
    for (int i = 0; i < fileList()->count(); ++i) {
      paths.push_back(fileList()->item(i)->text().toStdString());
    }
    return paths;
  }

  void browse(const fs::path& file) {
    prompts.nextChoice = toQString(file);
    button("Browse")->click();
  }

  // Files of `count` words each in `sub` of the folder, sharing most of them,
  // so every pair scores; returns the first.
  fs::path writeEssays(int files, int words, const std::string& sub = "few") {
    for (int f = 0; f < files; ++f) {
      std::string text;
      for (int w = 0; w < words; ++w)
        text += (w % 7 == f % 7 ? "own" : "word") + std::to_string(w) + " ";
      folder.write(sub + "/essay" + std::to_string(f) + ".txt", text);
    }
    return folder.path() / sub / "essay0.txt";
  }

  // File pairs done, as the status line says; -1 before the first count.
  int pairsDone() {
    static const QRegularExpression count(QStringLiteral("Completed (\\d+) /"));
    const auto match = count.match(status()->text());
    return match.hasMatch() ? match.captured(1).toInt() : -1;
  }

  bool waitFor(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, kTimeoutMs);
  }

  // Runs a scan of the browsed files to its end; the notice stays open.
  void scanToTheEnd() {
    const std::size_t noticesBefore = prompts.notices.size();
    check()->click();
    ASSERT_TRUE(waitFor([&] { return prompts.notices.size() > noticesBefore; }));
  }

  TempDir configDir;
  TempDir folder;
  XdgSettingsStore settings;
  FakePrompts prompts;
  COrvalisDlg dialog;
};

TEST_F(MainDialogTest, MissingOrUnusableSettingsAreReportedOnceAtTheFirstShowing) {
  configDir.write("Tovimar/Orvalis.conf", "MU=-1\nNUM_WORDS_PER_GROUPING=1\n");
  dialog.show();
  ASSERT_TRUE(waitFor([&] { return prompts.messages.size() == 2; }));
  EXPECT_EQ(prompts.messages,
            (std::vector<QString>{kSettingsMissingMessage, kGroupSizeTooSmallMessage}));
  EXPECT_EQ(std::pair(dialog.engine().mismatchScore, dialog.engine().groupSize),
            std::pair(-1.0f, 1000));
  dialog.hide();
  dialog.show();
  QTest::qWait(50);
  EXPECT_EQ(prompts.messages.size(), 2u);
}

TEST_F(MainDialogTest, BrowseListsTheFilesOfTheChosenExtensionOrSaysWhyNot) {
  for (const char* name : {"a.txt", "B.TXT", "c.cpp", "sub.txt/inner.txt"}) folder.write(name, "x");
  browse(folder.path() / "a.txt");
  EXPECT_EQ(control<QLineEdit>(dialog, "Folder")->text(), toQString(folder.path()));
  const std::vector<std::string> found{(folder.path() / "a.txt").string(),
                                       (folder.path() / "B.TXT").string()};
  EXPECT_EQ(listedPaths(), found);
  EXPECT_EQ(seen(), "Browse+ Check+ See- || 0");
  // The folder with the extension is named, once for each Browse.
  const QString skipped = fromUtf8("This entry is not a file that can be compared:\n\n" +
                                   (folder.path() / "sub.txt").string() + ": is a folder");
  EXPECT_EQ(prompts.messages, std::vector<QString>{skipped});
  button("Browse")->click();  // a cancelled chooser changes nothing
  EXPECT_EQ(listedPaths(), found);

  browse(folder.path() / "c.cpp");
  EXPECT_EQ(listedPaths(), std::vector<std::string>{(folder.path() / "c.cpp").string()});
  EXPECT_EQ(seen(), "Browse+ Check- See- || 0");
  browse(folder.path() / "e.h");
  EXPECT_EQ(fileList()->count(), 0);
  // A folder that cannot be listed is reported and leaves the list as it was.
  browse(folder.path() / "no-such-folder" / "a.txt");
  ASSERT_EQ(prompts.messages.size(), 4u);
  EXPECT_EQ(prompts.messages[2], kNoFilesFoundMessage);
  EXPECT_EQ(prompts.messages[1], kOnlyOneFileMessage);
  EXPECT_TRUE(prompts.messages[3].contains("no-such-folder")) << prompts.messages[3].toStdString();
  EXPECT_EQ(control<QLineEdit>(dialog, "Folder")->text(), toQString(folder.path()));
}

TEST_F(MainDialogTest, AScanReportsEveryFilePairThenOffersItsResults) {
  browse(writeEssays(5, 30));
  std::vector<QString> statusTexts;
  QObject::connect(status(), &QLineEdit::textChanged, status(),
                   [&](const QString& text) { statusTexts.push_back(text); });
  check()->click();
  EXPECT_EQ(seen().substr(0, 22), "Browse- Cancel+ See- |");
  ASSERT_TRUE(waitFor([&] { return !prompts.notices.empty(); }));
  std::vector<QString> expected;
  for (int done = 0; done < 10; ++done) expected.push_back(fromUtf8(comparingText(done, 10)));
  expected.push_back(kAllDoneText);
  EXPECT_EQ(statusTexts, expected);
  EXPECT_EQ(prompts.notices, std::vector<QString>{"Finished!"});
  EXPECT_EQ(dialog.engine().pairResults.size(), 10u);
  // Done: the results are on offer while the worker still waits for its notice.
  EXPECT_TRUE(waitFor([&] { return progress()->value() == 0; }));
  EXPECT_EQ(seen(), "Browse+ Check- See+ |" + std::string(kAllDoneText) + "| 0");
  EXPECT_TRUE(dialog.engine().running);
  prompts.dismissNotice();
  EXPECT_TRUE(waitFor([&] { return !dialog.engine().running; }));
  EXPECT_EQ(seen(), "Browse+ Check- See+ |" + std::string(kAllDoneText) + "| 0");
}

// Groups of one word in three files of 30,000 words would make 2.7 billion
// comparisons, too many on any machine: refused before anything is compared.
TEST_F(MainDialogTest, AScanRefusedForItsSizeSaysWhyAndLeavesTheDialogReady) {
  EXPECT_EQ(dialog.engine().memoryLimit, desktopScanMemoryLimit(installedMemory()));
  configDir.write("Tovimar/Orvalis.conf", "MU=-0.33\nDELTA=-0.5\nNUM_WORDS_PER_GROUPING=2\n");
  dialog.show();
  ASSERT_TRUE(waitFor([&] { return dialog.engine().groupSize == 2; }));
  browse(writeEssays(3, 30000));
  check()->click();
  ASSERT_TRUE(waitFor([&] { return !prompts.messages.empty(); }));
  EXPECT_EQ(prompts.messages, std::vector<QString>{kTooManyComparisonsMessage});
  EXPECT_FALSE(dialog.engine().running);
  EXPECT_TRUE(dialog.engine().pairResults.empty());
  EXPECT_EQ(seen(), "Browse+ Check+ See- || 0");
  EXPECT_TRUE(prompts.notices.empty());
}

TEST_F(MainDialogTest, CancelWaitsForTheWorkerAndLateMessagesChangeNothing) {
  browse(writeEssays(40, 20));
  check()->click();
  ASSERT_TRUE(waitFor([&] { return pairsDone() >= 2; }));
  check()->click();  // Cancel
  EXPECT_FALSE(dialog.engine().running);
  EXPECT_FALSE(dialog.engine().workerThread.joinable());
  const std::size_t resultsKept = dialog.engine().pairResults.size();
  EXPECT_GT(resultsKept, 0u);
  EXPECT_LT(resultsKept, 780u);
  EXPECT_EQ(dialog.state().phase, DialogPhase::kCancelled);
  EXPECT_EQ(seen(), "Browse+ Check+ See- || 0");
  // Whatever of the stopped scan still arrives is dropped.
  ScanTarget* target = dialog.engine().notifyWindow;
  target->post(WM_SCAN_SET_POS, 0, 5);
  target->post(WM_SCAN_PROGRESS, 780, 780);
  QTest::qWait(100);
  EXPECT_EQ(seen(), "Browse+ Check+ See- || 0");
  EXPECT_TRUE(prompts.notices.empty());
}

TEST_F(MainDialogTest, CheckWhileTheNoticeIsOpenStopsWithoutANewScanOnceItIsDismissed) {
  browse(writeEssays(3, 20));
  scanToTheEnd();
  const auto* firstResults = &dialog.engine().pairResults.at(0);
  browse(folder.path() / "few" / "essay0.txt");  // Browse during Done: Check is offered again
  // The press waits for the worker, which waits for its notice: dismissing the
  // notice from inside the wait must end both.
  bool answered = false;
  QTimer::singleShot(100, &dialog, [&] {
    EXPECT_FALSE(button("Browse")->isEnabled());  // disabled while waiting
    prompts.dismissNotice();
    answered = true;
  });
  check()->click();
  EXPECT_TRUE(answered);
  EXPECT_FALSE(dialog.engine().workerThread.joinable());
  EXPECT_EQ(&dialog.engine().pairResults.at(0), firstResults);  // no new scan
  EXPECT_EQ(dialog.engine().pairResults.size(), 3u);
  EXPECT_EQ(seen(), "Browse+ Check+ See+ || 0");
}

TEST_F(MainDialogTest, ClosingDuringAScanOrWithTheNoticeOpenEndsTheWorkerFirst) {
  dialog.show();
  browse(writeEssays(40, 20, "many"));
  check()->click();
  ASSERT_TRUE(waitFor([&] { return pairsDone() >= 1; }));
  QSignalSpy finished(&dialog, &QDialog::finished);
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_EQ(finished.count(), 1);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_FALSE(dialog.engine().workerThread.joinable());

  // Closing twice while waiting for the open notice closes once; a close asked
  // for while Check waits for the notice takes effect after it.
  for (const bool byCheck : {false, true}) {
    dialog.show();
    browse(writeEssays(3, 20));
    scanToTheEnd();
    if (byCheck) browse(folder.path() / "few" / "essay0.txt");
    QTimer::singleShot(50, &dialog, [&] { dialog.close(); });
    QTimer::singleShot(100, &dialog, [&] { prompts.dismissNotice(); });
    byCheck ? check()->click() : static_cast<void>(dialog.close());
    EXPECT_FALSE(dialog.engine().workerThread.joinable());
    EXPECT_EQ(finished.count(), byCheck ? 3 : 2);
    EXPECT_FALSE(dialog.isVisible());
  }
  QTest::qWait(50);
  EXPECT_EQ(finished.count(), 3);
}

// The first showing creates the settings, and says nothing of them.
TEST_F(MainDialogTest, AFolderGivenAtStartIsShownWithHowToChooseTheExtension) {
  folder.write("a.txt", "x");
  folder.write("b.txt", "y");
  EXPECT_EQ(seen(), "Browse+ Check- See- || 0");
  dialog.show();
  ASSERT_TRUE(waitFor([&] { return fs::exists(settings.filePath()); }));
  dialog.openFolder(folder.path());
  EXPECT_EQ(control<QLineEdit>(dialog, "Folder")->text(), toQString(folder.path()));
  EXPECT_EQ(fileList()->count(), 0);
  EXPECT_EQ(seen(), "Browse+ Check- See- || 0");
  EXPECT_EQ(prompts.messages, std::vector<QString>{fromUtf8(folderChosenMessage(folder.path()))});
  EXPECT_TRUE(prompts.messages[0].contains("Browse...")) << prompts.messages[0].toStdString();
  // Browse starts there, and a file chosen there lists its kind.
  browse(folder.path() / "a.txt");
  EXPECT_EQ(prompts.folders.back(), toQString(folder.path()));
  EXPECT_EQ(seen(), "Browse+ Check+ See- || 0");
}

// The chosen folder is compared with the browsed files in every later scan
// until taken back, and a rescan takes what it can from the cache and says how
// much.
TEST_F(MainDialogTest, EarlierWorkStaysForLaterScansAndARescanSaysWhatCameFromTheCache) {
  folder.write("new/a.txt", "one two three four five six seven eight nine ten");
  folder.write("new/b.txt", "alpha beta gamma delta one two three four");
  folder.write("old/c.txt", "zero one two three four five six seven eight");
  folder.write("old/d.txt", "zero one two three four five six seven eight");
  std::vector<std::string> warnings;
  const auto cache = ResultsCache::open({folder.path() / "cache.sqlite"}, warnings);
  dialog.setResultsCache(cache.get());
  browse(folder.path() / "new" / "a.txt");
  prompts.folders.clear();
  // The chooser starts beside the folder of the files, then where the earlier work is.
  prompts.nextChoice = toQString(folder.path() / "old");
  QAction* noEarlierWork = menuItem("Earlier work", "No earlier work");
  EXPECT_FALSE(noEarlierWork->isEnabled());
  menuItem("Earlier work", "Choose a folder...")->trigger();
  menuItem("Earlier work", "Choose a folder...")->trigger();  // and cancelled
  EXPECT_TRUE(noEarlierWork->isEnabled());
  EXPECT_EQ(prompts.folders,
            (std::vector<QString>{toQString(folder.path()), toQString(folder.path() / "old")}));
  EXPECT_EQ(status()->text(), fromUtf8(earlierWorkText(folder.path() / "old")));
  EXPECT_EQ(status()->cursorPosition(), 0);  // a long text shows its start
  for (int scan = 0; scan < 2; ++scan) {
    browse(folder.path() / "new" / "a.txt");
    scanToTheEnd();
    prompts.dismissNotice();
    ASSERT_TRUE(waitFor([&] { return !dialog.engine().running; }));
    // a-b, and each of c and d with a and with b; never c with d.
    EXPECT_EQ(dialog.engine().filePairsCompared, 5) << scan;
    EXPECT_TRUE(dialog.engine().fileTable.at(3)->earlier);
  }
  EXPECT_TRUE(status()->text().endsWith(cache ? "5 of 5 file pairs came from the results cache."
                                              : "to see results."));
  // The dialog widens to show it whole.
  dialog.show();
  EXPECT_GE(status()->contentsRect().width(),
            status()->fontMetrics().horizontalAdvance(status()->text()));
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_TRUE(warnings.empty());

  noEarlierWork->trigger();
  EXPECT_EQ(status()->text(), fromUtf8(earlierWorkText({})));
  EXPECT_FALSE(noEarlierWork->isEnabled());
  browse(folder.path() / "new" / "a.txt");
  scanToTheEnd();
  prompts.dismissNotice();
  ASSERT_TRUE(waitFor([&] { return !dialog.engine().running; }));
  EXPECT_EQ(dialog.engine().filePairsCompared, 1);
}

TEST_F(MainDialogTest, TemplateFilesAreShownInTheStatusLineAndKeptForEveryScanUntilTakenBack) {
  // Three essays share the question, which is also a file of the folder.
  const std::string question =
      "Explain in your own words why the sky looks blue on a clear day and red at sunset";
  const fs::path first = folder.write("a.txt", question + " light scatters more when blue");
  folder.write("b.txt", question + " the path through the air is long at dusk");
  folder.write("c.txt", question + " no idea at all");
  const fs::path tpl = folder.write("question.txt", question);
  prompts.nextChoice = toQString(tpl);
  menuItem("Template files", "Choose files...")->trigger();
  EXPECT_EQ(status()->text().toStdString(), templatesStatusText({tpl}));
  // A new folder, or the same again, keeps the templates.
  for (int scan = 0; scan < 2; ++scan) {
    browse(first);
    ASSERT_EQ(dialog.filePaths().size(), 4u);
    scanToTheEnd();
    EXPECT_EQ(status()->text(), kAllDoneWithTemplatesText);
    // The template is not compared, and the question scores in no pair.
    EXPECT_EQ(dialog.engine().fileTable.size(), 3u);
    for (const auto& [number, result] : dialog.engine().pairResults) {
      EXPECT_LT(result.score, 3.0f) << result.consensusA;
    }
    prompts.dismissNotice();
    ASSERT_TRUE(waitFor([&] { return !dialog.engine().running; }));
  }
  menuItem("Template files", "No template files")->trigger();
  EXPECT_EQ(status()->text().toStdString(), templatesStatusText({}));
  browse(first);
  scanToTheEnd();
  EXPECT_EQ(status()->text(), kAllDoneText);
  EXPECT_EQ(dialog.engine().fileTable.size(), 4u);
  prompts.dismissNotice();
  ASSERT_TRUE(waitFor([&] { return !dialog.engine().running; }));
}

// Files of 2,000 words of six bytes each ("w0123 "), random but for a passage
// of 120 words that the first two share.
void writeFolder(const testing::TempDir& folder, int files) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> word(1000, 9999);
  std::string shared;
  for (int w = 0; w < 120; ++w) shared.append("w").append(std::to_string(word(random))).append(" ");
  for (int f = 0; f < files; ++f) {
    std::string text;
    for (int w = 0; w < 2000; ++w) {
      if (f < 2 && w == 500) text.append(shared);
      text.append("w").append(std::to_string(word(random))).append(" ");
    }
    folder.write(std::string("f").append(std::to_string(1000 + f)).append(".txt"), text);
  }
}

// The offer of faster scans for a big folder, and the results window after a
// fast scan.
TEST_F(MainDialogTest, FasterScansAreOfferedForABigFolderOnlyAndAFastScanListsByEvalue) {
  const testing::TempDir small, big;
  writeFolder(small, 10);
  writeFolder(big, 120);
  dialog.show();
  auto* allProcessors = dialog.findChild<QCheckBox*>(QStringLiteral("allProcessorsBox"));
  auto* fast = dialog.findChild<QCheckBox*>(QStringLiteral("fastScanBox"));
  ASSERT_TRUE(allProcessors && fast);

  dialog.browseFile(big.path() / "f1000.txt");
  ASSERT_TRUE(fast->isVisible());
  EXPECT_TRUE(fast->text().contains("(about ") || fast->text().contains("(under a second)"));
  fast->click();
  EXPECT_TRUE(allProcessors->isChecked());
  EXPECT_FALSE(allProcessors->isEnabled());

  dialog.findChild<QPushButton*>(QStringLiteral("checkButton"))->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.pendingNotices.empty(); }, 120000));
  prompts.dismissNotice();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.engine().running; }, 20000));
  EXPECT_EQ(dialog.engine().comparisonsTotal, 7140 * 9);
  EXPECT_LT(dialog.engine().pairResults.size(), 7140u * 9 / 4);  // the seeds' pairs and a sample

  // The results window opens by E-value and stays so; the shared passage leads.
  bool checked = false;
  QTimer::singleShot(0, &dialog, [&] {
    auto* results = qobject_cast<CCompareDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(results, nullptr);
    auto* strongest = results->findChild<QCheckBox*>(QStringLiteral("strongestFirstBox"));
    EXPECT_TRUE(strongest->isChecked());
    EXPECT_FALSE(strongest->isEnabled());
    EXPECT_TRUE(results->findChild<QComboBox*>()->itemText(0).startsWith("f1001.txt & f1000.txt"))
        << results->findChild<QComboBox*>()->itemText(0).toStdString();
    checked = true;
    results->reject();
  });
  dialog.findChild<QPushButton*>(QStringLiteral("seeSimilaritiesButton"))->click();
  EXPECT_TRUE(checked);

  // A small folder: no offer, and a ticked box from before counts no more.
  dialog.browseFile(small.path() / "f1000.txt");
  EXPECT_FALSE(fast->isVisible());
  EXPECT_FALSE(fast->isChecked());
  EXPECT_FALSE(allProcessors->isChecked());
  EXPECT_TRUE(prompts.messages.empty());
}

}  // namespace
}  // namespace orvalis
