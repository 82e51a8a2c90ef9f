// Where the file chooser starts, what it offers, a folder chosen without a
// file, and the footer link's focus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <string>
#include <utility>
#include <vector>

#include "engine/settings.h"
#include "tests/support/temp_dir.h"
#include "ui/main/dialog_texts.h"
#include "ui/main/orvalis_dlg.h"
#include "ui/qt_convert.h"

namespace orvalis {
namespace {

using testing::TempDir;

// Records where each chooser started and with which filter, and answers with
// a prepared choice.
class ChooserPrompts final : public UserPrompts {
 public:
  void showMessage(QWidget*, const QString& text) override { messages.push_back(text); }
  std::optional<QString> chooseFile(QWidget* parent, const QString& filter) override {
    return chooseFileIn(parent, filter, QString());
  }
  std::optional<QString> chooseFileIn(QWidget*, const QString& filter,
                                      const QString& folder) override {
    filters.push_back(filter);
    folders.push_back(folder);
    return std::exchange(nextChoice, std::nullopt);
  }
  std::optional<QString> chooseSaveFile(QWidget*, const QString&, const QString&) override {
    return std::nullopt;
  }
  void showNotice(QWidget*, const QString&, std::function<void()> dismissed) override {
    dismissed();
  }

  std::vector<QString> messages, filters, folders;
  std::optional<QString> nextChoice;
};

class ChoosingAFolder : public ::testing::Test {
 protected:
  ChoosingAFolder() : settings(configDir.path()), dialog(prompts, settings) {}

  QPushButton* button(const char* objectName) {
    return dialog.findChild<QPushButton*>(QString::fromUtf8(objectName));
  }
  QString folderShown() { return dialog.findChild<QLineEdit*>("folderBox")->text(); }

  TempDir configDir, folder;
  XdgSettingsStore settings;
  ChooserPrompts prompts;
  COrvalisDlg dialog;
};

TEST_F(ChoosingAFolder, TheChooserStartsInTheFolderShownAndOffersEveryFileLast) {
  folder.write("a.py", "x");
  folder.write("b.py", "y");
  button("browseButton")->click();  // cancelled: nothing shown yet
  prompts.nextChoice = toQString(folder.path() / "a.py");
  button("browseButton")->click();
  ASSERT_EQ(prompts.folders.size(), 2u);
  EXPECT_EQ(prompts.folders[0], QString());
  EXPECT_EQ(prompts.folders[1], QString());
  EXPECT_EQ(dialog.filePaths().size(), 2u);
  button("browseButton")->click();
  ASSERT_EQ(prompts.folders.size(), 3u);
  EXPECT_EQ(prompts.folders[2], toQString(folder.path()));

  // The first entry as it always was, then the documents this build reads,
  // then every file.
  const QStringList entries = prompts.filters.back().split(QStringLiteral(";;"));
  ASSERT_GE(entries.size(), 2);
  EXPECT_EQ(entries.front().toStdString(), toToolkitFilter(openFilterText()));
  EXPECT_EQ(entries.back(), "All files (*)");
}

TEST_F(ChoosingAFolder, AFolderGivenAtStartIsShownWithHowToChooseTheExtension) {
  folder.write("a.txt", "x");
  folder.write("b.txt", "y");
  dialog.show();
  dialog.openFolder(folder.path());
  EXPECT_EQ(folderShown(), toQString(folder.path()));
  EXPECT_TRUE(dialog.filePaths().empty());
  EXPECT_EQ(dialog.findChild<QListWidget*>()->count(), 0);
  EXPECT_FALSE(button("checkButton")->isEnabled());
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].toStdString(), folderChosenMessage(folder.path()));
  EXPECT_TRUE(prompts.messages[0].contains("Browse...")) << prompts.messages[0].toStdString();

  // Browse starts there, and a file chosen there lists its kind.
  prompts.nextChoice = toQString(folder.path() / "a.txt");
  button("browseButton")->click();
  EXPECT_EQ(prompts.folders.back(), toQString(folder.path()));
  EXPECT_EQ(dialog.filePaths().size(), 2u);
  EXPECT_TRUE(button("checkButton")->isEnabled());
}

TEST_F(ChoosingAFolder, TheFooterLinkShowsItsFocus) {
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  QPushButton* link = button("webPageButton");
  EXPECT_TRUE(link->isFlat());
  link->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(QTest::qWaitFor([&] { return link->hasFocus(); }));
  EXPECT_FALSE(link->isFlat());
  button("browseButton")->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !link->hasFocus(); }));
  EXPECT_TRUE(link->isFlat());
}

}  // namespace
}  // namespace orvalis
