// The results window, the File Pairs window and a pair opened from it, over
// real scans of small folders, without a display.
#include "ui/results/compare_dlg.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "discovery/file_discovery.h"
#include "tests/support/scan_fixture.h"
#include "tests/ui/fake_prompts.h"
#include "ui/qt_convert.h"
#include "ui/results/eliding_line_edit.h"
#include "ui/results/file_pairs_dlg.h"
#include "ui/results/file_pairs_model.h"
#include "ui/results/file_pairs_texts.h"
#include "ui/results/pair_view_dlg.h"
#include "ui/results/results_texts.h"
#include "ui/results/rich_edit_ctrl_gs.h"

namespace orvalis {
namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

// Two passages: P shared by a2 and c0, Q by a2 and b1; files are numbered in
// the order given, so the scan's results are (b1, c0), (a2, c0), (a2, b1).
const char* const kPassageP = "red orange yellow green blue";
const char* const kPassageQ = "cat dog horse cow pig";
const Files kThreeFiles = {
    {"c0.txt", std::string("zero ") + kPassageP + " end"},
    {"b1.txt", std::string("one ") + kPassageQ + " finish"},
    {"a2.txt", std::string("two ") + kPassageP + " middle " + kPassageQ + " close"},
};

QString selected(const QPlainTextEdit* view) {
  return view->textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

class ResultsWindow : public ::testing::Test, protected testing::ScanFixture {
 protected:
  // Opens a fresh window over `results`.
  void open(const ResultTable& results) {
    window = std::make_unique<CCompareDlg>(prompts);
    window->engineResults = &results;
    window->show();
    QTest::qWait(1);
  }

  template <typename Control>
  Control* control(const char* name) {
    auto* found = window->findChild<Control*>(QString::fromUtf8(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QComboBox* list() { return control<QComboBox>("resultList"); }
  CRichEditCtrlGS* upper() { return control<CRichEditCtrlGS>("upperView"); }
  CRichEditCtrlGS* lower() { return control<CRichEditCtrlGS>("lowerView"); }
  QCheckBox* showAllBox() { return control<QCheckBox>("showAllBox"); }

  // Chooses a line as the user does.
  void choose(int line) {
    list()->setCurrentIndex(line);
    emit list()->activated(line);
  }

  // Everything the window shows of a chosen result, in one comparable value.
  std::vector<QString> shown() {
    return {upper()->toPlainText(),
            selected(upper()),
            lower()->toPlainText(),
            selected(lower()),
            control<QLineEdit>("nameBoxA")->text(),
            control<QLineEdit>("nameBoxB")->text(),
            control<QLineEdit>("consensusBoxA")->text(),
            control<QLineEdit>("consensusBoxB")->text()};
  }

  testing::FakePrompts prompts;
  std::unique_ptr<CCompareDlg> window = std::make_unique<CCompareDlg>(prompts);
};

TEST_F(ResultsWindow, ChoosingLinesInTurnLoadsEachViewsFileOnceAndMovesItsSelection) {
  scanFiles(kThreeFiles);
  open(engine.pairResults);
  showAllBox()->click();
  ASSERT_EQ(list()->count(), 3);

  choose(1);  // a2 against c0
  const QString p = kPassageP;
  EXPECT_EQ(shown(), (std::vector<QString>{QString::fromStdString(kThreeFiles[2].second), p,
                                           QString::fromStdString(kThreeFiles[0].second), p,
                                           "a2.txt", "c0.txt", p + " ", p + " "}));

  // a2 changes on disk: the upper view holds it already and does not read it again.
  dir.write("a2.txt", "changed since the scan");
  choose(2);  // a2 against b1
  const QString q = kPassageQ;
  EXPECT_EQ(shown(), (std::vector<QString>{QString::fromStdString(kThreeFiles[2].second), q,
                                           QString::fromStdString(kThreeFiles[1].second), q,
                                           "a2.txt", "b1.txt", q + " ", q + " "}));

  // b1, shown below, is loaded into the upper view on its own.
  choose(0);
  EXPECT_EQ(upper()->toPlainText().toStdString(), kThreeFiles[1].second);
  // Another file came between, so a2 is read again, as it now is.
  choose(1);
  EXPECT_EQ(upper()->toPlainText(), "changed since the scan");
  // The file is shown as it is now, and the user is told that it changed.
  const QString changed = fromUtf8(fileMessage(kChangedSinceScanMessage, dir.path() / "a2.txt"));
  EXPECT_EQ(prompts.messages, std::vector<QString>{changed});
  choose(2);
  EXPECT_EQ(prompts.messages.size(), 1u);
}

TEST_F(ResultsWindow, FileThatCannotBeShownIsReportedOnceAndTheViewKeepsItsText) {
  scanFiles(kThreeFiles);
  open(engine.pairResults);
  showAllBox()->click();
  choose(0);  // b1 above, c0 below
  std::filesystem::remove(paths[2]);
  choose(1);  // a2, deleted, above
  const QString missing = "Invalid filename.\n" + toQString(paths[2]);
  EXPECT_EQ(prompts.messages, std::vector<QString>{missing});
  EXPECT_EQ(upper()->toPlainText().toStdString(), kThreeFiles[1].second);
  EXPECT_EQ(control<QLineEdit>("nameBoxA")->text(), "a2.txt");
  choose(2);  // a2 again: not told twice; b1 below loads
  EXPECT_EQ(prompts.messages, std::vector<QString>{missing});
  EXPECT_EQ(lower()->toPlainText().toStdString(), kThreeFiles[1].second);

  // A FIFO in place of a file is refused at once rather than waited for.
  ASSERT_EQ(mkfifo(paths[2].c_str(), 0600), 0);
  choose(0);
  choose(1);
  EXPECT_EQ(prompts.messages,
            (std::vector<QString>{missing, "Failed to open document.\n" + toQString(paths[2])}));
  EXPECT_EQ(upper()->toPlainText().toStdString(), kThreeFiles[1].second);
}

TEST_F(ResultsWindow, EarlierWorkIsMarkedInTheListAndOverItsView) {
  scanFiles(kThreeFiles);
  engine.fileTable.at(0)->earlier = true;  // c0
  open(engine.pairResults);
  showAllBox()->click();
  choose(1);  // a2 against c0
  EXPECT_EQ(list()->itemText(1), "a2.txt & c0.txt [old] (5.00)");
  EXPECT_EQ(control<QLineEdit>("nameBoxA")->text(), "a2.txt");
  EXPECT_EQ(control<QLineEdit>("nameBoxB")->text(), "c0.txt [old]");
}

TEST_F(ResultsWindow, ShowAllResultsRefillsTheListAndKeepsWhatIsShown) {
  Files files = kThreeFiles;
  files.emplace_back("d3.txt", "nothing in common here");
  scanFiles(files);
  open(engine.pairResults);
  ASSERT_EQ(list()->count(), 2);  // the two passages stand out among six results
  choose(1);
  const std::vector<QString> before = shown();
  EXPECT_EQ(before[1], kPassageQ);

  showAllBox()->click();
  EXPECT_EQ(std::tuple(list()->count(), window->listedCount, list()->currentIndex()),
            std::tuple(6, 6, -1));
  EXPECT_EQ(shown(), before);

  dir.write("a2.txt", "changed since the scan");
  choose(1);  // a2 against c0 now: the upper view only moves its selection
  EXPECT_EQ(upper()->toPlainText(), before[0]);
  EXPECT_EQ(selected(upper()), kPassageP);
  showAllBox()->click();
  EXPECT_EQ(list()->count(), 2);

  // A stretch of no words selects nothing.
  ResultTable results = engine.pairResults;
  results.at(1).endA = results.at(1).startA;
  open(results);
  showAllBox()->click();
  choose(1);
  EXPECT_FALSE(upper()->textCursor().hasSelection());
}

TEST_F(ResultsWindow, StrongestFirstListsByEvalueAndUntickedGivesBackTheFirstListing) {
  Files files = kThreeFiles;
  files.emplace_back("d3.txt", "nothing in common here");
  scanFiles(files);
  open(engine.pairResults);
  const auto lines = [&] {
    std::vector<std::string> out;
    for (int i = 0; i < list()->count(); ++i) out.push_back(list()->itemText(i).toStdString());
    return out;
  };
  const auto caption = [&] { return window->findChild<QGroupBox*>()->title().toStdString(); };
  const std::vector<std::string> firstListing = lines();
  auto* strongest = control<QCheckBox>("strongestFirstBox");
  strongest->click();
  // Six comparisons are too few to fit: the fixed values, and the caption says so.
  EXPECT_EQ(caption(), kComparisonsFixedEvalueCaption);
  const std::vector<std::string> strong = lines();
  ASSERT_EQ(strong.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    // Each line is the first listing's line of its result, with its E-value.
    EXPECT_TRUE(strong[i].starts_with(resultLineText(*window->listedResults.at(i)) + " E="))
        << strong[i];
  }
  choose(0);
  EXPECT_EQ(selected(upper()),
            window->listedResults.at(0) == &engine.pairResults.at(1) ? kPassageP : kPassageQ);

  showAllBox()->click();  // every result, still by E-value
  EXPECT_EQ(lines().size(), 6u);
  EXPECT_EQ(lines()[0], strong[0]);
  showAllBox()->click();
  strongest->click();
  EXPECT_EQ(lines(), firstListing);
  EXPECT_EQ(caption(), "Comparisons (score)");
}

TEST_F(ResultsWindow, NoSuspiciousFilesLineChangesNothingWhenChosen) {
  const ResultTable none;
  open(none);
  for (const bool all : {false, true}) {
    if (all) showAllBox()->click();
    ASSERT_EQ(list()->count(), 1);
    EXPECT_EQ(list()->itemText(0), "No suspicious files found.");
    const std::vector<QString> before = shown();
    EXPECT_EQ(before[0], "Select from the results in the drop down box above.");
    choose(0);
    EXPECT_EQ(shown(), before);
    EXPECT_EQ(std::pair(window->shownFileA, window->shownFileB), std::pair(-1, -1));
  }
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ResultsWindow, SavedReportIsTheSamePageAsOrvalisScanWrites) {
  const Discovery samples =
      discoverFiles(std::filesystem::path(ORVALIS_SAMPLES_DIR) / "lighthouse.txt");
  ASSERT_GE(samples.files.size(), 2u);
  scan(samples.files);
  open(engine.pairResults);

  const testing::TempDir out, config;
  for (const bool all : {false, true}) {
    if (all) showAllBox()->click();
    const auto fromScan = out.path() / (all ? "scan-all.html" : "scan.html");
    const auto fromWindow = out.path() / (all ? "window-all.html" : "window.html");
    const std::string command = "XDG_CONFIG_DIRS='" + config.path().string() +
                                "' '" ORVALIS_SCAN_PATH "' --quiet " + (all ? "--all " : "") +
                                "--html '" + fromScan.string() + "' '" + paths.front().string() +
                                "' >/dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    prompts.nextChoice = toQString(fromWindow);
    control<QAction>("saveReportAction")->trigger();
    const std::string page = testing::contents(fromWindow);
    EXPECT_NE(page.find("<mark"), std::string::npos);
    EXPECT_EQ(page, testing::contents(fromScan)) << (all ? "all results" : "listed results");
    EXPECT_EQ(control<QLabel>("statusLine")->text(),
              "Report saved to " + toQString(fromWindow) + ".");
  }
  // A cancelled chooser writes nothing; a file that cannot be written is told.
  control<QAction>("saveReportAction")->trigger();
  prompts.nextChoice = toQString(out.path() / "missing" / "r.html");
  control<QAction>("saveReportAction")->trigger();
  EXPECT_EQ(prompts.messages, std::vector<QString>{"The report could not be written to " +
                                                   toQString(out.path() / "missing" / "r.html") +
                                                   ": No such file or directory"});
}

TEST_F(ResultsWindow, BothStretchesShowAtOnceInTheMiddleOfTheirViews) {
  // Each passage far down a long file, after lines of words the other lacks.
  const auto longFile = [](const char* prefix, int linesBefore) {
    std::string text;
    for (int line = 0; line < linesBefore + 100; ++line) {
      if (line == linesBefore) text += std::string(kPassageP) + "\n";
      text += prefix + std::to_string(line) + " " + prefix + "x" + std::to_string(line) + "\n";
    }
    return text;
  };
  scanFiles({{"first.txt", longFile("f", 150)}, {"second.txt", longFile("s", 300)}});
  open(engine.pairResults);
  choose(0);
  for (CRichEditCtrlGS* view : {upper(), lower()}) {
    ASSERT_EQ(selected(view), kPassageP);
    QTextCursor start = view->textCursor();
    start.setPosition(start.selectionStart());
    const QRect at = view->cursorRect(start);
    const int height = view->viewport()->height();
    EXPECT_GT(at.top(), height / 3) << view->objectName().toStdString();
    EXPECT_LT(at.bottom(), height * 2 / 3) << view->objectName().toStdString();
    // Drawn in the active selection colours though neither view has the focus.
    EXPECT_FALSE(view->hasFocus());
    EXPECT_EQ(view->palette().color(QPalette::Inactive, QPalette::Highlight),
              view->palette().color(QPalette::Active, QPalette::Highlight));
  }
}

TEST_F(ResultsWindow, EveryControlIsNamedAndFitsAnEightHundredBySixHundredScreen) {
  scanFiles(kThreeFiles);
  open(engine.pairResults);
  for (QWidget* child : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    EXPECT_FALSE(child->accessibleName().isEmpty()) << child->metaObject()->className();
  }
  const QRect screen = window->screen()->availableGeometry();
  ASSERT_LE(screen.width(), 800);  // the test platform's screen
  EXPECT_TRUE(screen.contains(window->frameGeometry())) << "opens larger than the screen";
  // Room for a window frame and a panel even at the smallest size.
  const QSize smallest = window->minimumSizeHint().expandedTo(window->minimumSize());
  EXPECT_LE(smallest.width(), 760);
  EXPECT_LE(smallest.height(), 520);
  window->resize(smallest);
  QTest::qWait(1);
  for (const char* name : {"resultList", "showAllBox", "strongestFirstBox", "nameBoxA", "upperView",
                           "consensusBoxA", "nameBoxB", "lowerView", "consensusBoxB"}) {
    const QWidget* widget = control<QWidget>(name);
    EXPECT_TRUE(
        window->rect().contains(QRect(widget->mapTo(window.get(), QPoint()), widget->size())))
        << name;
    EXPECT_GE(widget->width(), widget->minimumSizeHint().width()) << name << " cut off";
  }
}

TEST(ElidingLineEdit, FileNamesEndInAnEllipsisWhereTheyDoNotFit) {
  ElidingLineEdit name;
  name.setText(QStringLiteral("a-very-long-name-of-a-student-essay-handed-in-late.txt"));
  name.resize(name.fontMetrics().horizontalAdvance(name.text()) / 2, name.sizeHint().height());
  EXPECT_TRUE(name.shownText().contains(QChar(0x2026))) << name.shownText().toStdString();
  EXPECT_TRUE(name.shownText().endsWith(".txt"));
  name.resize(name.fontMetrics().horizontalAdvance(name.text()) + 20, name.height());
  EXPECT_EQ(name.shownText(), name.text());
}
// The File Pairs window and a pair opened from it.
const std::string kP = kPassageP;
const std::string kQ = kPassageQ;

class FilePairsWindow : public ::testing::Test, protected testing::ScanFixture {
 protected:
  // Scans the files, numbered in this order, and builds their table.
  void scanPairs(const Files& files, std::int32_t groupSize = kDefaultGroupSize) {
    engine.groupSize = groupSize;
    scanFiles(files);
    table = buildFilePairs(filesOf(engine.fileTable), engine.pairResults,
                           significanceOf(engine.pairResults));
  }

  static std::vector<std::string> column(const QAbstractItemModel& model, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < model.rowCount(); ++row)
      texts.push_back(model.index(row, column).data().toString().toStdString());
    return texts;
  }

  // The marked texts of a view and their tints, in the view's order.
  static std::vector<std::pair<QString, QString>> marks(const QPlainTextEdit* view) {
    std::vector<std::pair<QString, QString>> found;
    for (const QTextEdit::ExtraSelection& mark : view->extraSelections())
      found.emplace_back(mark.cursor.selectedText(), mark.format.background().color().name());
    return found;
  }

  testing::FakePrompts prompts;
  FilePairTable table;
};

TEST_F(FilePairsWindow, APairShowsEveryMatchInItsTintInBothFilesAndStepsThroughThem) {
  // Word groups of five words: P and Q each fill a group, in the opposite
  // order in the two files, so the pair has two matches.
  scanPairs({{"y0.txt", kQ + " g h i j k " + kP}, {"x1.txt", kP + " a b c d e " + kQ}}, 6);
  ASSERT_EQ(table.pairs[0].matches.size(), 2u);
  engine.fileTable.at(1)->earlier = true;  // x1, the pair's first file
  CPairViewDlg view(prompts, table, 0, engine.pairResults);
  view.show();
  QApplication::setActiveWindow(&view);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  auto* counter = view.findChild<QLabel*>(QStringLiteral("matchCounter"));
  // Earlier work is marked wherever the pair names its files.
  EXPECT_EQ(view.windowTitle(), "x1.txt [old] & y0.txt");
  EXPECT_EQ(pairCellText(table.pairs[0], PairsColumn::kFileA), "x1.txt [old]");
  EXPECT_EQ(groupCaption(table, 1), "Group 1: y0.txt, x1.txt [old] (1 pair)");

  // Both matches marked at once, each in its own tint, the same tint in both.
  const QString tintP = QString::fromLatin1(kMatchTints[0]);
  const QString tintQ = QString::fromLatin1(kMatchTints[1]);
  using Marks = std::vector<std::pair<QString, QString>>;
  EXPECT_EQ(marks(view.viewA()), (Marks{{fromUtf8(kP), tintP}, {fromUtf8(kQ), tintQ}}));
  EXPECT_EQ(marks(view.viewB()), (Marks{{fromUtf8(kP), tintP}, {fromUtf8(kQ), tintQ}}));

  // The first match in fileA's order selected in both; Next, F3 and Previous
  // move both selections, going round at the ends.
  const auto state = [&]() {
    return std::make_tuple(selected(view.viewA()), selected(view.viewB()), counter->text(),
                           counter->accessibleName());
  };
  const auto expect = [&](const std::string& passage, const char* count) {
    return std::make_tuple(fromUtf8(passage), fromUtf8(passage), QString(count), QString(count));
  };
  EXPECT_EQ(state(), expect(kP, "Match 1 of 2"));
  view.findChild<QPushButton*>(QStringLiteral("nextMatchButton"))->click();
  EXPECT_EQ(state(), expect(kQ, "Match 2 of 2"));
  QTest::keyClick(&view, Qt::Key_F3);
  EXPECT_EQ(state(), expect(kP, "Match 1 of 2"));
  view.findChild<QPushButton*>(QStringLiteral("previousMatchButton"))->click();
  EXPECT_EQ(state(), expect(kQ, "Match 2 of 2"));
  QTest::keyClick(&view, Qt::Key_F3, Qt::ShiftModifier);
  EXPECT_EQ(state(), expect(kP, "Match 1 of 2"));
}

TEST_F(FilePairsWindow, TableListsPairsWithMatchesSortsByAnyColumnAndOpensPairsAndGroups) {
  // a2 shares P with c0 and Q with b1; b1 and c0 share nothing.
  scanPairs({{"c0.txt", "zero " + kP + " end"},
             {"b1.txt", "one two " + kQ + " finish"},
             {"a2.txt", "two " + kP + " middle " + kQ + " close"}});
  CFilePairsDlg dialog(prompts, table, engine.pairResults);
  QTableView* view = dialog.pairTable();
  const QAbstractItemModel& model = *view->model();
  // Largest share first: c0 has 5 of 7 words in the match, b1 5 of 8.
  EXPECT_EQ(column(model, 1), (std::vector<std::string>{"c0.txt", "b1.txt"}));
  EXPECT_EQ(column(model, 3), (std::vector<std::string>{"71 %", "63 %"}));
  EXPECT_EQ(column(model, 7), (std::vector<std::string>{"1", "2"}));

  // By keys: Ctrl+4 sorts by the share of B, largest first, then the other way.
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  QTest::keyClick(view, Qt::Key_4, Qt::ControlModifier);
  EXPECT_EQ(column(model, 3), (std::vector<std::string>{"71 %", "63 %"}));
  QTest::keyClick(view, Qt::Key_4, Qt::ControlModifier);
  EXPECT_EQ(column(model, 3), (std::vector<std::string>{"63 %", "71 %"}));
  QTest::keyClick(view, Qt::Key_2, Qt::ControlModifier);
  EXPECT_EQ(column(model, 1), (std::vector<std::string>{"b1.txt", "c0.txt"}));
  view->horizontalHeader()->setSortIndicator(1, Qt::DescendingOrder);

  // Every pair, in the order chosen: by the second file's name, then the
  // first's, Z to A.
  dialog.findChild<QCheckBox*>(QStringLiteral("showAllPairsBox"))->click();
  EXPECT_EQ(column(model, 0), (std::vector<std::string>{"b1.txt", "a2.txt", "a2.txt"}));
  EXPECT_EQ(column(model, 1), (std::vector<std::string>{"c0.txt", "c0.txt", "b1.txt"}));
  EXPECT_EQ(column(model, 7), (std::vector<std::string>{"", "1", "2"}));

  // Enter on the table opens the chosen pair; Open Group its group.
  std::vector<QString> opened;
  QObject::connect(&dialog, &CFilePairsDlg::pairOpening, &dialog, [&](QDialog* window) {
    opened.push_back(window->windowTitle());
    if (auto* groupWindow = qobject_cast<CFilePairsDlg*>(window)) {
      opened.push_back(QString::number(groupWindow->model()->rowCount()));
    }
    QTimer::singleShot(0, window, &QDialog::reject);
  });
  view->selectRow(1);
  QTest::keyClick(view, Qt::Key_Return);
  dialog.findChild<QPushButton*>(QStringLiteral("openGroupButton"))->click();
  EXPECT_EQ(opened,
            (std::vector<QString>{"a2.txt & c0.txt", "Group 1: c0.txt, a2.txt (1 pair)", "1"}));
}

// Files of earlier work are not compared with each other: with two of them
// beside one new file, the scan has two pairs, not three.
TEST_F(FilePairsWindow, TwoFilesOfEarlierWorkAreNoPairOfTheScan) {
  testing::runScan(engine, {dir.write("new.txt", "two " + kP + " middle " + kQ)}, nullptr,
                   {dir.write("old1.txt", "one " + kQ), dir.write("old2.txt", "zero " + kP)});
  table = buildFilePairs(filesOf(engine.fileTable), engine.pairResults,
                         significanceOf(engine.pairResults));
  CFilePairsDlg dialog(prompts, table, engine.pairResults);
  dialog.findChild<QCheckBox*>(QStringLiteral("showAllPairsBox"))->click();
  EXPECT_EQ(dialog.pairTable()->model()->rowCount(), 2);
  EXPECT_EQ(pairsSummaryText(table),
            "2 of 2 pairs have a significant match (E-value at most 0.01); 2 groups.");
}

TEST_F(FilePairsWindow, EveryControlHasAnAccessibleNameAndTheTableReadsAsATable) {
  scanPairs({{"y0.txt", kQ + " g h i j k " + kP}, {"x1.txt", kP + " a b c d e " + kQ}}, 6);
  CFilePairsDlg dialog(prompts, table, engine.pairResults);
  QAccessibleInterface* tableAccess = QAccessible::queryAccessibleInterface(dialog.pairTable());
  ASSERT_NE(tableAccess, nullptr);
  EXPECT_EQ(tableAccess->role(), QAccessible::Table);
  EXPECT_EQ(tableAccess->text(QAccessible::Name), "File Pairs");
  ASSERT_NE(tableAccess->tableInterface(), nullptr);
  CPairViewDlg view(prompts, table, 0, engine.pairResults);
  for (QWidget* parent : {static_cast<QWidget*>(&dialog), static_cast<QWidget*>(&view)}) {
    for (QWidget* control : parent->findChildren<QWidget*>()) {
      if (control->focusPolicy() == Qt::NoFocus || !control->isVisibleTo(parent)) continue;
      const QString name = QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
      EXPECT_FALSE(name.isEmpty())
          << control->metaObject()->className() << ' ' << control->objectName().toStdString();
    }
  }
}

}  // namespace
}  // namespace orvalis
