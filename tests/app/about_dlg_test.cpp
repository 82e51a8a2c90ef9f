// The about box, on its own and opened from the running main dialog as a user
// opens it.
#include "app/about_dlg.h"

#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "tests/app/shell_driver.h"

namespace orvalis {
namespace {

// Takes the addresses that would go to the browser.
class UrlRecorder : public QObject {
  Q_OBJECT

 public:
  UrlRecorder() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl"); }
  ~UrlRecorder() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
  QList<QUrl> opened;

 public slots:
  void openUrl(const QUrl& url) { opened.append(url); }
};

TEST(AboutBox, ItsLinkOpensThePageAndEnterClosesIt) {
  UrlRecorder browser;
  CAboutDlg box;
  box.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  QTest::mouseClick(box.findChild<QPushButton*>(QStringLiteral("discussionButton")),
                    Qt::LeftButton);
  EXPECT_EQ(browser.opened, QList<QUrl>{QUrl(QString::fromUtf8(kDiscussionGroupAddress))});
  EXPECT_TRUE(box.isVisible()) << "the link button closed the box";
  QTest::keyClick(&box, Qt::Key_Return);
  EXPECT_FALSE(box.isVisible());
  EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST(AboutBox, OpensFromF1AndFromTheContextMenuAndOkClosesIt) {
  // Picks the About entry of an open context menu (from a call of its own, so
  // that this timer stays free), and presses OK in an open about box.
  int opened = 0;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, &user, [&] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (QAction* action : menu->actions()) {
        if (action->text() != QStringLiteral("&About Orvalis...")) continue;
        const QPoint where = menu->actionGeometry(action).center();
        QTimer::singleShot(0, menu, [=] { QTest::mouseClick(menu, Qt::LeftButton, {}, where); });
        return;
      }
      ADD_FAILURE() << "the context menu has no About entry";
      menu->close();
    } else if (auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
      ++opened;
      QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
      EXPECT_FALSE(box->isVisible()) << "OK did not close the about box";
    }
  });
  user.start(10);
  testing::ShellDriver driver;
  int aboutBoxesLeft = -1;
  const testing::ProgramRun run = driver.run({}, [&](COrvalisDlg& dialog) {
    QTest::keyClick(&dialog, Qt::Key_F1);
    const QPoint inside(20, 20);
    QContextMenuEvent menuRequest(QContextMenuEvent::Mouse, inside, dialog.mapToGlobal(inside));
    QCoreApplication::sendEvent(&dialog, &menuRequest);
    aboutBoxesLeft = static_cast<int>(dialog.findChildren<CAboutDlg*>().size());
    dialog.reject();
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(opened, 2);
  EXPECT_EQ(aboutBoxesLeft, 0);
}

}  // namespace
}  // namespace orvalis

#include "about_dlg_test.moc"
