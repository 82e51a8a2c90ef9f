// The splash window: a borderless picture centred over the starting dialog
// that removes itself after 1500 milliseconds. Clicks and keys do not remove
// it, and there is never more than one.
#pragma once

#include <QBasicTimer>
#include <QPixmap>
#include <QWidget>

namespace orvalis {

class CSplashWnd : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kShowMilliseconds = 1500;

  // The splash shows only while this is true; false at program start.
  static inline bool splashEnabled = false;
  // The one live splash window, null when there is none.
  static inline CSplashWnd* activeSplash = nullptr;

  // Shows a splash over `parent` (or the screen when null), unless splashes
  // are not enabled or one is shown already. When the picture cannot be
  // loaded, no splash is shown and start-up goes on.
  static void showSplash(QWidget* parent);

  ~CSplashWnd() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit CSplashWnd(QWidget* parent);
  // Loads the picture, sizes and centres the window and starts its timer;
  // false when the picture cannot be loaded.
  bool Create(QWidget* parent);
  void OnTimer();

  QPixmap bitmap_;
  QBasicTimer timer_;
};

}  // namespace orvalis
