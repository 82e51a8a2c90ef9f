#include "app/resources.h"

#include <QString>

// Q_INIT_RESOURCE names a function in the global namespace.
static void initOrvalisResourceFile() { Q_INIT_RESOURCE(orvalis); }

namespace orvalis {

void initResources() {
  static const bool done = (initOrvalisResourceFile(), true);
  (void)done;
}

QIcon applicationIcon() {
  initResources();
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/orvalis/icons/orvalis-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace orvalis
