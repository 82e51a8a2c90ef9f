// The settings file that installation puts in place holds exactly what the
// program itself writes when it creates the defaults.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "engine/settings.h"
#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

std::string contentsOf(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PackagedSettings, AreTheDefaultsAsTheProgramWritesThem) {
  testing::TempDir config;
  XdgSettingsStore store(config.path());
  store.createWithDefaults();
  const std::string written = contentsOf(store.filePath());
  ASSERT_FALSE(written.empty());
  EXPECT_EQ(contentsOf(ORVALIS_PACKAGED_SETTINGS), written);

  // And the program reads all three back from it, without complaint.
  testing::TempDir installed;
  installed.write("Tovimar/Orvalis.conf", contentsOf(ORVALIS_PACKAGED_SETTINGS));
  XdgSettingsStore installedStore(installed.path());
  CompareEngine engine;
  EXPECT_TRUE(loadScanSettings(installedStore, engine));
}

}  // namespace
}  // namespace orvalis
