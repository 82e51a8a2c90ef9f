#include "tests/support/scan_fixture.h"

#include <gtest/gtest.h>

namespace orvalis::testing {

std::string numberedWords(int count, std::string_view prefix) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    // Appended piece by piece: g++ 12 at -O3 reports a false overlap
    // (-Wrestrict) for `prefix + std::to_string(i)`.
    text.append(i > 0 ? " " : "").append(prefix).append(std::to_string(i));
  }
  return text;
}

void ScanFixture::scanFiles(const std::vector<std::pair<std::string, std::string>>& files,
                            ScanTarget* target) {
  std::vector<std::filesystem::path> written;
  for (const auto& [name, bytes] : files) written.push_back(dir.write(name, bytes));
  scan(std::move(written), target);
}

std::string randomWords(std::mt19937& random, int count, int vocabulary) {
  std::string text;
  const auto words = static_cast<unsigned>(vocabulary);
  while (count-- > 0) text.append("w").append(std::to_string(random() % words)).append(" ");
  return text;
}

void runScan(CompareEngine& engine, std::vector<std::filesystem::path> files, ScanTarget* target,
             std::vector<std::filesystem::path> earlier) {
  engine.comparisonPause = {};
  engine.running = true;
  ASSERT_TRUE(engine.startScan(target, std::move(files), std::move(earlier)));
  engine.waitForWorker();
}

void ScanFixture::scan(std::vector<std::filesystem::path> files, ScanTarget* target) {
  paths = files;
  runScan(engine, std::move(files), target);
}

}  // namespace orvalis::testing
