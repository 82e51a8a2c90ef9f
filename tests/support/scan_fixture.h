// A folder of a test's own and an engine that scans files in it, as the tests
// of the engine, the results window and others build them.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/records.h"
#include "tests/support/temp_dir.h"

namespace orvalis::testing {

// "w0 w1 ... w<count-1>", or with another prefix than "w".
std::string numberedWords(int count, std::string_view prefix = "w");
// `count` words drawn from "w0" to "w<vocabulary-1>", each followed by a blank:
// texts of different draws share little.
std::string randomWords(std::mt19937& random, int count, int vocabulary);

// Runs a whole scan of `files` (and `earlier` work) with `engine` on its worker
// thread, without the pause between comparisons, and waits for its end.
void runScan(CompareEngine& engine, std::vector<std::filesystem::path> files,
             ScanTarget* target = nullptr, std::vector<std::filesystem::path> earlier = {});

struct ScanFixture {
  ScanFixture() { engine.comparisonPause = {}; }
  // Writes each (name, bytes) and scans the files in this order.
  void scanFiles(const std::vector<std::pair<std::string, std::string>>& files,
                 ScanTarget* target = nullptr);
  // Runs a whole scan of `files` on the worker thread and waits for its end.
  void scan(std::vector<std::filesystem::path> files, ScanTarget* target = nullptr);

  TempDir dir;
  std::vector<std::filesystem::path> paths;  // of the last scan
  CompareEngine engine;
};

}  // namespace orvalis::testing
