// The about box, opened from the running main dialog as a user opens it.
#include "app/about_dlg.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QLabel>
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

// What a user meets in the about box, read while it is open.
struct AboutBoxSeen {
  int opened = 0;
  QString caption;
  QStringList texts;
  bool openAfterLink = false;
};

// Acts on the about box whenever one is open: reads it, presses its link
// button, then OK. Also picks the About entry of an open context menu.
class AboutBoxUser {
 public:
  explicit AboutBoxUser(AboutBoxSeen& seen) : seen_(seen) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { act(); });
    timer_.start();
  }

 private:
  void act() {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (QAction* action : menu->actions()) {
        if (action->text() == QStringLiteral("&About Orvalis...")) {
          // Clicked from a call of its own: the about box then runs inside that
          // call, and this timer stays free to act on it.
          const QPoint where = menu->actionGeometry(action).center();
          QTimer::singleShot(0, menu,
                             [menu, where] { QTest::mouseClick(menu, Qt::LeftButton, {}, where); });
          timer_.stop();
          QTimer::singleShot(0, &timer_, [this] { timer_.start(); });
          return;
        }
      }
      ADD_FAILURE() << "the context menu has no About entry";
      menu->close();
      return;
    }
    auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    ++seen_.opened;
    seen_.caption = box->windowTitle();
    seen_.texts.clear();
    for (const QLabel* label : box->findChildren<QLabel*>()) {
      if (!label->text().isEmpty()) seen_.texts.append(label->text());
    }
    auto* link = box->findChild<QPushButton*>(QStringLiteral("discussionButton"));
    auto* ok = box->findChild<QPushButton*>(QStringLiteral("okButton"));
    if (link == nullptr || ok == nullptr) {
      ADD_FAILURE() << "the about box lacks its buttons";
      box->reject();
      return;
    }
    seen_.texts.append(link->text());
    QTest::mouseClick(link, Qt::LeftButton);
    seen_.openAfterLink = box->isVisible();
    QTest::mouseClick(ok, Qt::LeftButton);
    if (box->isVisible()) {
      ADD_FAILURE() << "OK did not close the about box";
      box->reject();
    }
  }

  AboutBoxSeen& seen_;
  QTimer timer_;
};

TEST(AboutBox, OpensFromF1AndTheContextMenuItsLinkOpensThePageAndOkClosesIt) {
  UrlRecorder browser;
  AboutBoxSeen seen;
  AboutBoxUser user(seen);
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
  EXPECT_EQ(seen.opened, 2);
  EXPECT_EQ(aboutBoxesLeft, 0);
  EXPECT_EQ(seen.caption, QStringLiteral("About Orvalis"));
  EXPECT_TRUE(seen.texts.contains(QStringLiteral("Orvalis Version 1.1")));
  EXPECT_TRUE(seen.texts.contains(QStringLiteral("Copyright (C) 2026 Tovimar")));
  EXPECT_TRUE(seen.texts.contains(QStringLiteral("https://tovimar.example/orvalis/discussion/")));
  EXPECT_TRUE(seen.openAfterLink) << "the link button closed the box";
  EXPECT_EQ(browser.opened,
            QList<QUrl>(2, QUrl(QStringLiteral("https://tovimar.example/orvalis/discussion/"))));
}

TEST(AboutBox, EveryControlFitsInsideTheBoxAndHasAName) {
  CAboutDlg box;
  box.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  const QList<QWidget*> controls = box.findChildren<QWidget*>();
  ASSERT_EQ(controls.size(), 5);
  for (const QWidget* control : controls) {
    SCOPED_TRACE(control->objectName().toStdString());
    EXPECT_FALSE(control->accessibleName().isEmpty());
    EXPECT_TRUE(box.rect().contains(control->geometry())) << "outside the box";
    if (const auto* label = qobject_cast<const QLabel*>(control);
        label && label->pixmap().isNull()) {
      EXPECT_LE(label->sizeHint().width(), label->width()) << "text cut off";
    }
    if (const auto* button = qobject_cast<const QPushButton*>(control)) {
      EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width())
          << "caption cut off";
    }
  }
  // Enter presses OK.
  QTest::keyClick(&box, Qt::Key_Return);
  EXPECT_FALSE(box.isVisible());
  EXPECT_EQ(box.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace orvalis

#include "about_dlg_test.moc"
