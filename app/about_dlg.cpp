#include "app/about_dlg.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <algorithm>

#include "app/resources.h"
#include "ui/dialog_font_units.h"

namespace orvalis {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setWindowTitle(QString::fromUtf8(kAboutCaption));
  setAccessibleName(QString::fromUtf8(kAboutCaption));
  const DialogUnits du = unitsOf(font());
  // The template's controls at their places, in dialog units: x, y, width, height.
  const auto place = [&du](QWidget* control, int x, int y, int width, int height) {
    control->setGeometry(du.x(x), du.y(y), du.x(width), du.y(height));
  };

  // A picture control shows the icon at its own size, whatever its box.
  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("iconLabel"));
  const int iconSize = std::max(32, du.x(20));
  icon->setPixmap(applicationIcon().pixmap(iconSize, iconSize));
  icon->setAccessibleName(tr("Orvalis icon"));
  icon->setGeometry(du.x(11), du.y(17), iconSize, iconSize);

  auto* version = new QLabel(QString::fromUtf8(kAboutVersionText), this);
  version->setObjectName(QStringLiteral("versionLabel"));
  version->setTextFormat(Qt::PlainText);
  version->setAccessibleName(version->text());
  place(version, 40, 10, 119, 8);

  auto* notice = new QLabel(QString::fromUtf8(kAboutNotice), this);
  notice->setObjectName(QStringLiteral("noticeLabel"));
  notice->setTextFormat(Qt::PlainText);
  notice->setAccessibleName(notice->text());
  place(notice, 40, 22, 119, 8);

  okButton_ = new QPushButton(tr("OK"), this);
  okButton_->setObjectName(QStringLiteral("okButton"));
  okButton_->setDefault(true);
  okButton_->setAccessibleName(tr("OK"));
  place(okButton_, 178, 7, 50, 16);

  discussionButton_ = new QPushButton(QString::fromUtf8(kDiscussionGroupAddress), this);
  discussionButton_->setObjectName(QStringLiteral("discussionButton"));
  discussionButton_->setFlat(true);
  discussionButton_->setAutoDefault(false);
  discussionButton_->setCursor(Qt::PointingHandCursor);
  discussionButton_->setAccessibleName(tr("Discussion group"));
  discussionButton_->setAccessibleDescription(QString::fromUtf8(kDiscussionGroupAddress));
  place(discussionButton_, 39, 34, 189, 14);

  setTabOrder(okButton_, discussionButton_);
  okButton_->setFocus();
  setFixedSize(du.x(235), du.y(55));

  connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
  connect(discussionButton_, &QPushButton::clicked, this, &CAboutDlg::OnDiscussionLink);
}

void CAboutDlg::OnDiscussionLink() {
  // The box stays open; a page that cannot be opened is left to the system.
  QDesktopServices::openUrl(QUrl(QString::fromUtf8(kDiscussionGroupAddress)));
}

}  // namespace orvalis
