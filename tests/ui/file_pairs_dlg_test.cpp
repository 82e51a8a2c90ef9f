// The File Pairs window and a pair opened from it, over real scans, without a
// display.
#include "ui/results/file_pairs_dlg.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/scan_fixture.h"
#include "tests/ui/fake_prompts.h"
#include "ui/qt_convert.h"
#include "ui/results/file_pairs_model.h"
#include "ui/results/pair_view_dlg.h"
#include "ui/results/rich_edit_ctrl_gs.h"

namespace orvalis {
namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

const std::string kP = "red orange yellow green blue";
const std::string kQ = "cat dog horse cow pig";

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

  static QString selected(const QPlainTextEdit* view) { return view->textCursor().selectedText(); }

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
  CPairViewDlg view(prompts, table, 0, engine.pairResults);
  view.show();
  QApplication::setActiveWindow(&view);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  auto* counter = view.findChild<QLabel*>(QStringLiteral("matchCounter"));

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
  EXPECT_EQ(view.viewA()->accessibleName(), "File A: x1.txt");
  EXPECT_EQ(view.viewB()->accessibleName(), "File B: y0.txt");
}

}  // namespace
}  // namespace orvalis
