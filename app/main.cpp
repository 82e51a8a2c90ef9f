// orvalis: the desktop program.
#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "app/orvalis_app.h"
#include "engine/settings.h"
#include "ui/main/user_prompts.h"

int main(int argc, char** argv) {
  // Takes the toolkit's own options (-platform, -style, ...) out of argv.
  QApplication application(argc, argv);
  std::vector<std::string> arguments;
#ifdef _WIN32
  // The wide command line, as UTF-8; argv holds it in the narrow code page.
  const QStringList wide = QCoreApplication::arguments();
  for (qsizetype i = 1; i < wide.size(); ++i) arguments.push_back(wide[i].toStdString());
#else
  // The bytes as given, so that any file name reaches the program unchanged.
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
#endif
  orvalis::COrvalisApp app;
  orvalis::DesktopPrompts prompts;
  const auto settings = orvalis::openSystemSettingsStore();
  return app.InitInstance(arguments, prompts, *settings, std::cout, std::cerr);
}
