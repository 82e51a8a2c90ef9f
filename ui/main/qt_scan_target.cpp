#include "ui/main/qt_scan_target.h"

#include <QMetaObject>

#include "ui/main/dialog_texts.h"
#include "ui/qt_convert.h"

namespace orvalis {

QtScanTarget::QtScanTarget(QObject* parent) : QObject(parent) {}

QtScanTarget::~QtScanTarget() { stopWaitingForNotices(); }

void QtScanTarget::post(std::uint32_t message, std::int64_t wParam, std::int64_t lParam) {
  QMetaObject::invokeMethod(
      this, [this, message, wParam, lParam] { emit posted(message, wParam, lParam); },
      Qt::QueuedConnection);
}

void QtScanTarget::filesUnreadable(const std::vector<UnreadableFile>& files) {
  QMetaObject::invokeMethod(
      this,
      [this, text = fromUtf8(unreadableFilesMessage(files))] { emit unreadableFilesFound(text); },
      Qt::QueuedConnection);
}

void QtScanTarget::scanFailed(const std::string& message) {
  QMetaObject::invokeMethod(
      this, [this, text = fromUtf8(message)] { emit failed(text); }, Qt::QueuedConnection);
}

void QtScanTarget::showNotice(const std::string& text) {
  std::unique_lock lock(mutex_);
  if (noNotices_) return;
  noticeOpen_ = true;
  QMetaObject::invokeMethod(
      this, [this, notice = fromUtf8(text)] { emit noticeRequested(notice); },
      Qt::QueuedConnection);
  dismissed_.wait(lock, [this] { return !noticeOpen_; });
}

void QtScanTarget::workerEnded() {
  QMetaObject::invokeMethod(
      this, [this] { emit ended(); }, Qt::QueuedConnection);
}

void QtScanTarget::dismissNotice() {
  {
    std::lock_guard lock(mutex_);
    noticeOpen_ = false;
  }
  dismissed_.notify_all();
}

void QtScanTarget::stopWaitingForNotices() {
  {
    std::lock_guard lock(mutex_);
    noNotices_ = true;
    noticeOpen_ = false;
  }
  dismissed_.notify_all();
}

}  // namespace orvalis
