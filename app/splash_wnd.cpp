#include "app/splash_wnd.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimerEvent>

#include "app/resources.h"

namespace orvalis {

// A frameless tool window owned by the dialog stays above it and out of the task
// bar. Not Qt::SplashScreen: showing one of those runs the event loop, which
// would let timers and input in while the dialog is still initialising.
CSplashWnd::CSplashWnd(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setAccessibleName(QStringLiteral("Orvalis"));
  setAccessibleDescription(QStringLiteral("Orvalis is starting"));
}

CSplashWnd::~CSplashWnd() {
  if (activeSplash == this) activeSplash = nullptr;
}

void CSplashWnd::showSplash(QWidget* parent) {
  if (!splashEnabled || activeSplash != nullptr) return;
  activeSplash = new CSplashWnd(parent);
  if (!activeSplash->Create(parent)) {
    delete activeSplash;  // its destructor clears activeSplash
    return;
  }
  activeSplash->show();
  // Painted at once, before the dialog below it gets its turn.
  activeSplash->repaint();
}

bool CSplashWnd::Create(QWidget* parent) {
  initResources();
  if (!bitmap_.load(QString::fromLatin1(kSplashPicturePath))) return false;
  bitmap_.setDevicePixelRatio(1.0);
  setFixedSize(bitmap_.size());

  // Centred over the owner, or over the screen when there is none.
  QRect area;
  if (parent != nullptr) {
    area = parent->window()->frameGeometry();
  } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  move(area.center() - rect().center());

  // The owner hidden or closed takes the splash with it.
  if (parent != nullptr) parent->window()->installEventFilter(this);
  // Precise: a coarse timer may fire up to 5% early.
  timer_.start(kShowMilliseconds, Qt::PreciseTimer, this);
  return true;
}

void CSplashWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, bitmap_);
}

void CSplashWnd::timerEvent(QTimerEvent* event) {
  if (event->timerId() == timer_.timerId()) {
    OnTimer();
    return;
  }
  QWidget::timerEvent(event);
}

void CSplashWnd::OnTimer() {
  timer_.stop();
  close();  // deletes the window: WA_DeleteOnClose
}

bool CSplashWnd::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Hide && watched == parentWidget()->window()) {
    timer_.stop();
    close();
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace orvalis
