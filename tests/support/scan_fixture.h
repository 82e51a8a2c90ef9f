// A folder of a test's own and an engine that scans files in it, as the tests
// of the engine, the results window and others build them.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/records.h"
#include "tests/support/temp_dir.h"

namespace orvalis::testing {

// "w0 w1 ... w<count-1>", or with another prefix than "w".
std::string numberedWords(int count, std::string_view prefix = "w");

struct ScanFixture {
  ScanFixture() { engine.comparisonPause = {}; }
  // Writes each (name, bytes) and scans the files in this order.
  void scanFiles(const std::vector<std::pair<std::string, std::string>>& files,
                 ScanTarget* target = nullptr);
  // Runs a whole scan of `paths` on the worker thread and waits for its end.
  void scan(std::vector<std::filesystem::path> files, ScanTarget* target = nullptr);

  TempDir dir;
  std::vector<std::filesystem::path> paths;  // of the last scan
  CompareEngine engine;
};

}  // namespace orvalis::testing
