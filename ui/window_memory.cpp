#include "ui/window_memory.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace orvalis {

std::unique_ptr<QSettings> openWindowMemory() {
  auto settings =
      std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                  QStringLiteral("Tovimar"), QStringLiteral("Orvalis-windows"));
  settings->setFallbacksEnabled(false);
  return settings;
}

QString reportFolder() {
  const QString last = openWindowMemory()->value(QString::fromUtf8(kReportFolderKey)).toString();
  if (!last.isEmpty() && QDir(last).exists()) return last;
  // A documents folder that was never made would leave the chooser in the
  // working folder, often the students' own.
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

void rememberReportFolder(const QString& folder) {
  openWindowMemory()->setValue(QString::fromUtf8(kReportFolderKey), folder);
}

}  // namespace orvalis
