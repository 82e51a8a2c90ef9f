#include "engine/records.h"

namespace orvalis {

CompareEngine::~CompareEngine() {
  // A worker still running would use the records released below.
  running = false;
  waitForWorker();
  clearScan();
}

void CompareEngine::clearScan() {
  // Results point into the groups, so they go first.
  pairResults.clear();
  fileTable.clear();
}

void CompareEngine::waitForWorker() {
  if (workerThread.joinable()) workerThread.join();
}

}  // namespace orvalis
