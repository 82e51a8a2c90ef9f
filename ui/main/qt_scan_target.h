// Where a scan's worker reports to a window. Every call from the worker is
// queued to this object's thread as a signal, so the worker never waits for the
// user interface; only showNotice waits, until dismissNotice is called.
#pragma once

#include <QObject>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/scan.h"

namespace orvalis {

class QtScanTarget final : public QObject, public ScanTarget {
  Q_OBJECT

 public:
  explicit QtScanTarget(QObject* parent = nullptr);
  ~QtScanTarget() override;

  // Worker thread.
  void post(std::uint32_t message, std::int64_t wParam, std::int64_t lParam) override;
  void filesUnreadable(const std::vector<UnreadableFile>& files) override;
  void scanFailed(const std::string& message) override;
  void showNotice(const std::string& text) override;
  void workerEnded() override;

  // Lets the worker waiting in showNotice go on. Any thread; harmless when no
  // worker waits.
  void dismissNotice();

  // From now on showNotice returns at once, and a worker waiting in it goes on:
  // for an owner that goes away and must join its worker.
  void stopWaitingForNotices();

 signals:
  void posted(quint32 message, qint64 wParam, qint64 lParam);
  void unreadableFilesFound(const QString& message);
  void failed(const QString& message);
  // The worker waits in showNotice until dismissNotice is called.
  void noticeRequested(const QString& text);
  void ended();

 private:
  std::mutex mutex_;
  std::condition_variable dismissed_;
  bool noticeOpen_ = false;
  bool noNotices_ = false;
};

}  // namespace orvalis
