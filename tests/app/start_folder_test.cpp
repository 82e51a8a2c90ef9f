// `orvalis FOLDER`: a folder, however it is written, opens on that folder.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "app/command_line.h"
#include "tests/app/shell_driver.h"

namespace orvalis {
namespace {

using testing::ShellDriver;
using testing::TempDir;

TEST(StartFolder, AFolderHoweverWrittenIsTakenAsAFolderInItsPlainForm) {
  TempDir dir;
  dir.write("sub/a.txt", "x");
  const std::filesystem::path base = dir.path();
  struct Case {
    std::string argument;
    bool isFolder;
    std::filesystem::path file;
  };
  const Case cases[] = {
      {(base / "sub").string(), true, base / "sub"},
      {(base / "sub").string() + "/", true, base / "sub"},
      {(base / "sub" / ".").string(), true, base / "sub"},
      {(base / "sub" / "..").string(), true, base},
      {(base / "sub" / "a.txt").string(), false, base / "sub" / "a.txt"},
      // Need not exist: a file to browse, but a folder when it ends in "/".
      {(base / "sub" / "b.txt").string(), false, base / "sub" / "b.txt"},
      {(base / "gone").string() + "/", true, base / "gone"},
      {"/", true, "/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument);
    const StartRequest request = parseCommandLine({c.argument});
    ASSERT_TRUE(request.file);
    EXPECT_EQ(request.isFolder, c.isFolder);
    EXPECT_EQ(*request.file, c.file);
  }
}

TEST(StartFolder, TheProgramOpensOnTheFolderAndSaysHowToChooseTheExtension) {
  TempDir dir;
  dir.write("essays/a.txt", "one");
  dir.write("essays/b.txt", "two");
  ShellDriver driver;
  QString shown;
  bool listed = true;
  const auto run = driver.run({(dir.path() / "essays").string()}, [&](COrvalisDlg& dialog) {
    static_cast<void>(QTest::qWaitFor([&] { return !driver.prompts.messages.isEmpty(); }, 5000));
    shown = dialog.findChild<QLineEdit*>("folderBox")->text();
    listed = !dialog.filePaths().empty();
    dialog.reject();
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(shown.toStdString(), (dir.path() / "essays").string());
  EXPECT_FALSE(listed);
  ASSERT_EQ(driver.prompts.messages.size(), 1);
  EXPECT_TRUE(driver.prompts.messages[0].contains("To choose the extension"))
      << driver.prompts.messages[0].toStdString();
}

}  // namespace
}  // namespace orvalis
