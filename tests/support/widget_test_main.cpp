// Runs GoogleTest inside a QApplication, so that tests can make real widgets.
// The offscreen platform needs no display; a test run may still choose another.
#include <gtest/gtest.h>

#include <QApplication>

#include "tests/support/temp_dir.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // What the windows remember for the user goes to a folder of this run's own.
  const orvalis::testing::TempDir userConfig;
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(userConfig.path().string()));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
