#include "ui/dialog_font_units.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>

namespace orvalis {

DialogUnits unitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return {(metrics.horizontalAdvance(alphabet) / 26 + 1) / 2, metrics.height()};
}

}  // namespace orvalis
