// orvalis: the desktop program.
#include <QApplication>

#include "engine/settings.h"
#include "ui/main/orvalis_dlg.h"
#include "ui/main/user_prompts.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Orvalis"));
  QApplication::setApplicationDisplayName(QStringLiteral("Orvalis"));
  orvalis::DesktopPrompts prompts;
  const auto settings = orvalis::openSystemSettingsStore();
  orvalis::COrvalisDlg dialog(prompts, *settings);
  dialog.exec();
  return 0;
}
