#include "ui/results/eliding_line_edit.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace orvalis {

namespace {
// The space a line edit leaves between its frame and its text, on each side.
constexpr int kLineEditMargin = 2;
}  // namespace

int ElidingLineEdit::textWidth() const {
  const QMargins margins = textMargins();
  return contentsRect().width() - margins.left() - margins.right() - 2 * kLineEditMargin;
}

QString ElidingLineEdit::shownText() const {
  if (hasFocus()) return text();
  return fontMetrics().elidedText(text(), Qt::ElideMiddle, textWidth());
}

void ElidingLineEdit::paintEvent(QPaintEvent* event) {
  const QString shown = shownText();
  if (shown == text()) {
    QLineEdit::paintEvent(event);
    return;
  }
  // The frame and background as the line edit draws them, then the cut text.
  QPainter painter(this);
  QStyleOptionFrame frame;
  initStyleOption(&frame);
  style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &painter, this);
  QRect area = contentsRect().marginsRemoved(textMargins());
  area.adjust(kLineEditMargin, 0, -kLineEditMargin, 0);
  painter.setPen(palette().color(QPalette::Text));
  painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, shown);
}

}  // namespace orvalis
