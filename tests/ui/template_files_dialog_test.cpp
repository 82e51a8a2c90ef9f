#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <string>

#include "engine/settings.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/fake_prompts.h"
#include "ui/main/dialog_texts.h"
#include "ui/main/orvalis_dlg.h"
#include "ui/qt_convert.h"

namespace orvalis {
namespace {

namespace fs = std::filesystem;

template <typename Widget>
Widget* named(const QWidget& dialog, const char* accessibleName) {
  for (Widget* widget : dialog.findChildren<Widget*>()) {
    if (widget->accessibleName() == QLatin1String(accessibleName)) return widget;
  }
  return nullptr;
}

TEST(TemplateFilesChoice, IsNamedShownInTheStatusLineAndKeptForEveryScan) {
  testing::TempDir configDir, folder;
  XdgSettingsStore settings(configDir.path());
  testing::FakePrompts prompts;
  COrvalisDlg dialog(prompts, settings);
  auto* choose = named<QPushButton>(dialog, "Template files");
  auto* status = named<QLineEdit>(dialog, "Status");
  ASSERT_TRUE(choose != nullptr && status != nullptr);

  // Three essays share the question, which is also a file of the folder.
  const std::string question =
      "Explain in your own words why the sky looks blue on a clear day and red at sunset";
  const fs::path first = folder.write("a.txt", question + " light scatters more when blue");
  folder.write("b.txt", question + " the path through the air is long at dusk");
  folder.write("c.txt", question + " no idea at all");
  const fs::path tpl = folder.write("question.txt", question);

  prompts.nextChoice = toQString(tpl);
  choose->click();
  EXPECT_EQ(status->text().toStdString(), templatesStatusText({tpl}));
  // A new folder, or the same again, keeps the templates.
  for (int scan = 0; scan < 2; ++scan) {
    prompts.nextChoice = toQString(first);
    named<QPushButton>(dialog, "Browse")->click();
    ASSERT_EQ(dialog.filePaths().size(), 4u);
    auto* check = dialog.findChild<QPushButton*>(QStringLiteral("checkButton"));
    const std::size_t notices = prompts.notices.size();
    check->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompts.notices.size() > notices; }, 20000));
    EXPECT_EQ(status->text(), kAllDoneWithTemplatesText);
    // The template is not compared, and the question scores in no pair.
    EXPECT_EQ(dialog.engine().fileTable.size(), 3u);
    for (const auto& [number, result] : dialog.engine().pairResults) {
      EXPECT_LT(result.score, 3.0f) << result.consensusA;
    }
    prompts.dismissNotice();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.engine().running; }, 20000));
  }
}

}  // namespace
}  // namespace orvalis
