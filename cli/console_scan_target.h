// Where orvalis-scan's worker reports: a progress line on a terminal, the names
// of files that could not be read, and the failure that ended a scan.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/progress.h"
#include "engine/scan.h"

namespace orvalis::cli {

class ConsoleScanTarget final : public ScanTarget {
 public:
  // Writes to `err`; draws the progress line only when showProgress is set (the
  // stream is a terminal that the user did not silence).
  ConsoleScanTarget(std::ostream& err, bool showProgress);

  // Draws the first progress line, before the worker starts.
  void begin();
  // Clears the progress line, so that what follows starts on a clean line.
  void finish();
  // The message of the failure that ended the scan, if one did.
  std::optional<std::string> failure() const;

  void post(std::uint32_t message, std::int64_t wParam, std::int64_t lParam) override;
  void filesUnreadable(const std::vector<UnreadableFile>& files) override;
  void scanFailed(const std::string& message) override;
  void showNotice(const std::string& text) override;

 private:
  void draw();       // mutex_ held
  void clearLine();  // mutex_ held

  mutable std::mutex mutex_;
  std::ostream& err_;
  const bool showProgress_;
  const std::chrono::steady_clock::time_point start_;
  ScanProgress progress_;
  RedrawThrottle throttle_{std::chrono::milliseconds(100)};
  std::size_t drawnWidth_ = 0;  // length of the line on screen; 0 when none
  std::optional<std::string> failure_;
};

}  // namespace orvalis::cli
