// The main dialog's "Earlier work..." folder and its use of the results cache.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "cache/results_cache.h"
#include "engine/settings.h"
#include "tests/support/temp_dir.h"
#include "ui/main/dialog_texts.h"
#include "ui/main/orvalis_dlg.h"
#include "ui/qt_convert.h"

namespace orvalis {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// Answers the file and folder choosers with prepared choices and keeps the
// notices open until dismissed.
class Prompts final : public UserPrompts {
 public:
  void showMessage(QWidget*, const QString& text) override { messages.push_back(text); }
  std::optional<QString> chooseFile(QWidget*, const QString&) override {
    return std::exchange(file, std::nullopt);
  }
  std::optional<QString> chooseSaveFile(QWidget*, const QString&, const QString&) override {
    return std::nullopt;
  }
  std::optional<QString> chooseFolder(QWidget*) override {
    return std::exchange(folder, std::nullopt);
  }
  void showNotice(QWidget*, const QString&, std::function<void()> dismissed) override {
    pending.push_back(std::move(dismissed));
  }

  std::optional<QString> file, folder;
  std::vector<QString> messages;
  std::vector<std::function<void()>> pending;
};

class EarlierWorkDialogTest : public ::testing::Test {
 protected:
  EarlierWorkDialogTest() : settings(configDir.path()), dialog(prompts, settings) {
    folder.write("new/a.txt", "one two three four five six seven eight nine ten");
    folder.write("new/b.txt", "alpha beta gamma delta one two three four");
    folder.write("old/c.txt", "zero one two three four five six seven eight");
    folder.write("old/d.txt", "zero one two three four five six seven eight");
  }

  QPushButton* button(const char* name) {
    for (auto* widget : dialog.findChildren<QPushButton*>()) {
      if (widget->accessibleName() == QLatin1String(name)) return widget;
    }
    ADD_FAILURE() << "no button named " << name;
    return nullptr;
  }
  QLineEdit* status() { return dialog.findChild<QLineEdit*>(QStringLiteral("statusLine")); }

  // Browses the new folder and scans it to its end, the notice answered.
  void browseAndScan() {
    prompts.file = toQString(folder.path() / "new" / "a.txt");
    button("Browse")->click();
    dialog.findChild<QPushButton*>(QStringLiteral("checkButton"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.pending.empty(); }, 20000));
    std::exchange(prompts.pending, {}).front()();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.engine().running; }, 20000));
  }

  TempDir configDir, folder;
  XdgSettingsStore settings;
  Prompts prompts;
  COrvalisDlg dialog;
};

TEST_F(EarlierWorkDialogTest, TheChosenFolderIsComparedWithTheNewFilesInEveryLaterScan) {
  ASSERT_NE(button("Earlier work"), nullptr);
  button("Earlier work")->click();  // cancelled: nothing chosen
  EXPECT_TRUE(dialog.earlierWorkFolder().empty());
  prompts.folder = toQString(folder.path() / "old");
  button("Earlier work")->click();
  EXPECT_EQ(status()->text(), fromUtf8(earlierWorkText(folder.path() / "old")));

  for (int scan = 0; scan < 2; ++scan) {
    browseAndScan();
    // a-b, and each of c and d with a and with b; never c with d.
    EXPECT_EQ(dialog.engine().filePairsCompared, 5) << scan;
    EXPECT_EQ(dialog.engine().pairResults.size(), 5u);
    ASSERT_EQ(dialog.engine().fileTable.size(), 4u);
    EXPECT_TRUE(dialog.engine().fileTable.at(3)->earlier);
    EXPECT_FALSE(dialog.engine().fileTable.at(1)->earlier);
  }
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(EarlierWorkDialogTest, ARescanSaysHowManyFilePairsCameFromTheCache) {
  CacheOptions options;
  options.file = folder.path() / "cache" / "results.sqlite";
  std::vector<std::string> warnings;
  const auto cache = ResultsCache::open(options, warnings);
  if (!cache) GTEST_SKIP() << "no results cache in this build";
  dialog.setResultsCache(cache.get());

  browseAndScan();
  EXPECT_EQ(status()->text(), kAllDoneText);  // nothing there yet
  browseAndScan();
  EXPECT_EQ(status()->text(), fromUtf8(allDoneText(1, 1)));
  EXPECT_EQ(dialog.engine().filePairsFromCache, 1);
  EXPECT_TRUE(status()->text().endsWith("1 of 1 file pair came from the results cache."));
  EXPECT_TRUE(prompts.messages.empty());
}

}  // namespace
}  // namespace orvalis
