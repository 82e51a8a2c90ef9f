// The main dialog's "Earlier work..." folder and its use of the results cache.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "cache/results_cache.h"
#include "engine/settings.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/fake_prompts.h"
#include "ui/main/dialog_texts.h"
#include "ui/main/orvalis_dlg.h"
#include "ui/qt_convert.h"

namespace orvalis {
namespace {

QPushButton* button(const QWidget& dialog, const char* name) {
  for (auto* widget : dialog.findChildren<QPushButton*>()) {
    if (widget->accessibleName() == QLatin1String(name)) return widget;
  }
  return nullptr;
}

// The chosen folder is compared with the browsed files in every later scan,
// and a rescan takes what it can from the cache and says how much.
TEST(EarlierWorkDialog, EarlierWorkStaysForLaterScansAndARescanSaysWhatCameFromTheCache) {
  const testing::TempDir configDir, folder;
  folder.write("new/a.txt", "one two three four five six seven eight nine ten");
  folder.write("new/b.txt", "alpha beta gamma delta one two three four");
  folder.write("old/c.txt", "zero one two three four five six seven eight");
  folder.write("old/d.txt", "zero one two three four five six seven eight");
  XdgSettingsStore settings(configDir.path());
  testing::FakePrompts prompts;
  std::vector<std::string> warnings;
  const auto cache = ResultsCache::open({folder.path() / "cache.sqlite"}, warnings);
  COrvalisDlg dialog(prompts, settings);
  dialog.setResultsCache(cache.get());
  auto* status = dialog.findChild<QLineEdit*>(QStringLiteral("statusLine"));

  ASSERT_NE(button(dialog, "Earlier work"), nullptr);
  prompts.nextChoice = toQString(folder.path() / "old");
  button(dialog, "Earlier work")->click();
  EXPECT_EQ(status->text(), fromUtf8(earlierWorkText(folder.path() / "old")));

  for (int scan = 0; scan < 2; ++scan) {
    prompts.nextChoice = toQString(folder.path() / "new" / "a.txt");
    button(dialog, "Browse")->click();
    dialog.findChild<QPushButton*>(QStringLiteral("checkButton"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.pendingNotices.empty(); }, 20000));
    prompts.dismissNotice();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.engine().running; }, 20000));
    // a-b, and each of c and d with a and with b; never c with d.
    EXPECT_EQ(dialog.engine().filePairsCompared, 5) << scan;
    EXPECT_TRUE(dialog.engine().fileTable.at(3)->earlier);
  }
  EXPECT_TRUE(status->text().endsWith(cache ? "5 of 5 file pairs came from the results cache."
                                            : "to see results."));
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_TRUE(warnings.empty());
}

}  // namespace
}  // namespace orvalis
