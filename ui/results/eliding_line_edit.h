// A read-only line that ends its text with "…" where it does not fit, until it
// takes the focus; then it scrolls as any line edit does. text() is always the
// whole text.
#pragma once

#include <QLineEdit>

namespace orvalis {

class ElidingLineEdit : public QLineEdit {
  Q_OBJECT

 public:
  using QLineEdit::QLineEdit;

  // The text as drawn now, "…" included where it is cut.
  QString shownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int textWidth() const;
};

}  // namespace orvalis
