// The results window on small and large screens: what fits, what grows, what
// it remembers, and what its lines and menus say.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_dir.h"
#include "ui/main/user_prompts.h"
#include "ui/qt_convert.h"
#include "ui/results/compare_dlg.h"
#include "ui/results/eliding_line_edit.h"
#include "ui/results/rich_edit_ctrl_gs.h"

namespace orvalis {
namespace {

const char* const kPassage = "red orange yellow green blue";
const char* const kPassageOnLine1 = "cat dog horse cow pig";

// Records the Save dialog's suggestions and answers with a prepared choice.
class SavePrompts final : public UserPrompts {
 public:
  void showMessage(QWidget*, const QString& text) override { messages.push_back(text); }
  std::optional<QString> chooseFile(QWidget*, const QString&) override { return std::nullopt; }
  std::optional<QString> chooseSaveFile(QWidget*, const QString&,
                                        const QString& suggested) override {
    suggestions.push_back(suggested);
    return std::exchange(nextChoice, std::nullopt);
  }
  void showNotice(QWidget*, const QString&, std::function<void()> dismissed) override {
    dismissed();
  }
  std::vector<QString> messages, suggestions;
  std::optional<QString> nextChoice;
};

// The WCAG contrast ratio of two colours.
double contrast(const QColor& a, const QColor& b) {
  const auto luminance = [](const QColor& c) {
    const auto channel = [](double v) {
      return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class ResultsWindowFit : public ::testing::Test {
 protected:
  ResultsWindowFit() {
    for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
             {"c0.txt", std::string("zero ") + kPassage + " end"},
             {"b1.txt", "one cat dog horse cow pig finish"},
             {"a2.txt", std::string("two ") + kPassage + " middle cat dog horse cow pig close"}}) {
      paths.push_back(dir.write(name, text));
    }
    engine.comparisonPause = {};
    engine.running = true;
    EXPECT_TRUE(engine.startScan(nullptr, paths));
    engine.waitForWorker();
  }

  std::unique_ptr<CCompareDlg> open(const ResultMap& results) {
    auto dialog = std::make_unique<CCompareDlg>(prompts);
    dialog->engineResults = &results;
    dialog->show();
    QTest::qWait(1);
    return dialog;
  }

  template <typename Control>
  static Control* control(const CCompareDlg& dialog, const char* name) {
    auto* found = dialog.findChild<Control*>(QString::fromUtf8(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  static void choose(CCompareDlg& dialog, int line) {
    auto* list = control<QComboBox>(dialog, "resultList");
    list->setCurrentIndex(line);
    emit list->activated(line);
  }

  static int viewsHeight(const CCompareDlg& dialog) {
    return control<QWidget>(dialog, "upperView")->height() +
           control<QWidget>(dialog, "lowerView")->height();
  }

  testing::TempDir dir;
  std::vector<std::filesystem::path> paths;
  CompareEngine engine;
  SavePrompts prompts;
};

TEST_F(ResultsWindowFit, EveryControlFitsAnEightHundredBySixHundredScreen) {
  const auto dialog = open(engine.pairResults);
  const QRect screen = dialog->screen()->availableGeometry();
  ASSERT_LE(screen.width(), 800);  // the test platform's screen
  EXPECT_TRUE(screen.contains(dialog->frameGeometry())) << "opens larger than the screen";
  // Room for a window frame and a panel even at the smallest size.
  const QSize smallest = dialog->minimumSizeHint().expandedTo(dialog->minimumSize());
  EXPECT_LE(smallest.width(), 760);
  EXPECT_LE(smallest.height(), 520);
  dialog->resize(smallest);
  QTest::qWait(1);
  for (const char* name : {"resultList", "showAllBox", "strongestFirstBox", "nameBoxA", "upperView",
                           "consensusBoxA", "nameBoxB", "lowerView", "consensusBoxB"}) {
    const QWidget* widget = control<QWidget>(*dialog, name);
    const QRect at(widget->mapTo(dialog.get(), QPoint(0, 0)), widget->size());
    EXPECT_TRUE(dialog->rect().contains(at)) << name;
    EXPECT_GT(widget->height(), 0) << name;
  }
  for (const char* name : {"showAllBox", "strongestFirstBox"}) {
    const auto* box = control<QCheckBox>(*dialog, name);
    EXPECT_GE(box->width(), box->sizeHint().width()) << name << " cut off";
  }
  // The stretches are still selected exactly.
  choose(*dialog, 1);
  for (const char* view : {"upperView", "lowerView"}) {
    EXPECT_EQ(control<CRichEditCtrlGS>(*dialog, view)->textCursor().selectedText(),
              kPassageOnLine1);
  }
}

TEST_F(ResultsWindowFit, TheViewsTakeTheSpaceAndTheSizeIsRemembered) {
  auto dialog = open(engine.pairResults);
  dialog->resize(600, 400);
  QTest::qWait(1);
  const int before = viewsHeight(*dialog);
  const int widthBefore = control<QWidget>(*dialog, "consensusBoxA")->width();
  dialog->resize(760, 560);
  QTest::qWait(1);
  EXPECT_GE(viewsHeight(*dialog) - before, 150);
  EXPECT_EQ(control<QWidget>(*dialog, "upperView")->width(),
            dialog->width() - 2 * dialog->layout()->contentsMargins().left());
  EXPECT_EQ(control<QWidget>(*dialog, "consensusBoxA")->width() - widthBefore, 160);
  dialog->reject();
  dialog = open(engine.pairResults);
  EXPECT_EQ(dialog->size(), QSize(760, 560));
  dialog->resize(640, 480);
  dialog->accept();
  EXPECT_EQ(open(engine.pairResults)->size(), QSize(640, 480));
}

TEST_F(ResultsWindowFit, ConsensusLinesAreReadableExplainedAndReachedWithTab) {
  const auto dialog = open(engine.pairResults);
  QApplication::setActiveWindow(dialog.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
  choose(*dialog, 1);
  auto* lower = control<QWidget>(*dialog, "lowerView");
  lower->setFocus(Qt::TabFocusReason);
  for (const char* name : {"consensusBoxA", "consensusBoxB"}) {
    auto* line = control<QLineEdit>(*dialog, name);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), line) << name << " not reached with Tab";
    EXPECT_EQ(line->text(), QString(kPassageOnLine1) + " ");
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
      const QPalette& colours = line->palette();
      EXPECT_GE(contrast(colours.color(group, line->foregroundRole()),
                         colours.color(group, line->backgroundRole())),
                4.5)
          << name;
    }
    EXPECT_TRUE(line->toolTip().contains("A * marks a gap")) << name;
    EXPECT_EQ(line->whatsThis(), line->toolTip()) << name;
    QTest::keyClick(line, Qt::Key_End);
    EXPECT_EQ(line->cursorPosition(), line->text().size()) << name;
  }
  // Left, the first line shows its start again.
  EXPECT_EQ(control<QLineEdit>(*dialog, "consensusBoxA")->cursorPosition(), 0);
  EXPECT_TRUE(control<QComboBox>(*dialog, "resultList")->whatsThis().contains("score"));
}

TEST_F(ResultsWindowFit, ACappedListSaysHowManyItLeavesOut) {
  // Scores 1, 1, 1, 9 in turn: every fourth result scores above the threshold.
  FileEntry file;
  const WordGroup group{.file = &file, .words = {}};
  const auto results = [&](std::size_t count) {
    ResultMap map;
    for (std::size_t i = 0; i < count; ++i) {
      map.emplace(static_cast<std::int32_t>(i),
                  PairResult{&group, &group, 0, 0, 0, 0, i % 4 == 3 ? 9.0f : 1.0f, {}, {}});
    }
    return map;
  };
  const ResultMap many = results(1000), few = results(800);
  const auto dialog = open(many);
  auto* line = control<QLabel>(*dialog, "cappedLine");
  EXPECT_TRUE(line->isVisible());
  EXPECT_TRUE(line->text().startsWith("200 of 250 results above the threshold shown"))
      << line->text().toStdString();
  control<QCheckBox>(*dialog, "showAllBox")->click();
  EXPECT_TRUE(line->text().startsWith("200 of 1000 results shown, in scan order"))
      << line->text().toStdString();
  const auto under = open(few);
  EXPECT_EQ(control<QComboBox>(*under, "resultList")->count(), 200);
  EXPECT_FALSE(control<QLabel>(*under, "cappedLine")->isVisible());
}

TEST_F(ResultsWindowFit, SaveReportIsInEveryMenuAndTellsWhereTheReportWent) {
  // Shown with its shortcut even where menus leave shortcuts out.
  QCoreApplication::setAttribute(Qt::AA_DontShowShortcutsInContextMenus);
  const auto dialog = open(engine.pairResults);
  auto* list = control<QComboBox>(*dialog, "resultList");
  for (QWidget* widget : std::vector<QWidget*>{
           list->lineEdit(), control<QWidget>(*dialog, "upperView"),
           control<QWidget>(*dialog, "lowerView"), control<QWidget>(*dialog, "consensusBoxA")}) {
    bool offered = false;
    QTimer::singleShot(0, widget, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      ASSERT_NE(menu, nullptr);
      for (const QAction* action : menu->actions()) {
        offered |= action->objectName() == "saveReportAction" &&
                   action->shortcut() == QKeySequence(QKeySequence::Save) &&
                   action->isShortcutVisibleInContextMenu();
      }
      menu->close();
    });
    emit widget->customContextMenuRequested(QPoint(4, 4));
    EXPECT_TRUE(offered) << widget->objectName().toStdString();
  }
  QCoreApplication::setAttribute(Qt::AA_DontShowShortcutsInContextMenus, false);

  // The first report is offered outside the scanned folder; the next in the
  // folder of the last.
  testing::TempDir reports;
  const auto file = reports.path() / "class.html";
  prompts.nextChoice = toQString(file);
  control<QAction>(*dialog, "saveReportAction")->trigger();
  ASSERT_EQ(prompts.suggestions.size(), 1u);
  EXPECT_FALSE(prompts.suggestions[0].startsWith(toQString(dir.path())));
  EXPECT_TRUE(prompts.suggestions[0].endsWith("/orvalis-report.html"));
  EXPECT_TRUE(QFileInfo(prompts.suggestions[0]).dir().exists())
      << "the chooser would start elsewhere";
  auto* status = control<QLabel>(*dialog, "statusLine");
  EXPECT_TRUE(status->isVisible());
  EXPECT_EQ(status->text(), "Report saved to " + toQString(file) + ".");
  control<QAction>(*dialog, "saveReportAction")->trigger();
  EXPECT_EQ(prompts.suggestions.back(), toQString(reports.path() / "orvalis-report.html"));
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ResultsWindowFit, FileNamesEndInAnEllipsisWhereTheyDoNotFitAndF1OpensAbout) {
  ElidingLineEdit name;
  name.setText(QStringLiteral("a-very-long-name-of-a-student-essay-handed-in-late.txt"));
  name.resize(name.fontMetrics().horizontalAdvance(name.text()) / 2, name.sizeHint().height());
  EXPECT_TRUE(name.shownText().contains(QChar(0x2026))) << name.shownText().toStdString();
  EXPECT_TRUE(name.shownText().endsWith(".txt"));
  name.resize(name.fontMetrics().horizontalAdvance(name.text()) + 20, name.height());
  EXPECT_EQ(name.shownText(), name.text());

  const auto dialog = open(engine.pairResults);
  choose(*dialog, 1);
  EXPECT_EQ(control<QLineEdit>(*dialog, "nameBoxA")->toolTip(), toQString(paths[2]));
  int aboutBoxes = 0;
  dialog->showAbout = [&](QWidget* owner) { aboutBoxes += owner == dialog.get() ? 1 : 100; };
  QTest::keyClick(dialog.get(), Qt::Key_F1);
  EXPECT_EQ(aboutBoxes, 1);
}

}  // namespace
}  // namespace orvalis
