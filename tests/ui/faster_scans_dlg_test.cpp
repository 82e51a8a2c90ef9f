// The main dialog's offer of faster scans for a big folder, and the results
// window after a fast scan.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <random>
#include <string>

#include "engine/settings.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/fake_prompts.h"
#include "ui/main/orvalis_dlg.h"
#include "ui/qt_convert.h"
#include "ui/results/compare_dlg.h"

namespace orvalis {
namespace {

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

TEST(FasterScans, OfferedForABigFolderOnlyAndAFastScanListsByEvalue) {
  const testing::TempDir configDir, small, big;
  writeFolder(small, 10);
  writeFolder(big, 120);
  XdgSettingsStore settings(configDir.path());
  testing::FakePrompts prompts;
  COrvalisDlg dialog(prompts, settings);
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
