// Progress of a scan as the worker reports it, and the one line of text that
// shows it: file pairs done of all, refined by the position within the current
// file pair, the time spent and an estimate of the time left. Plain logic: the
// caller supplies the times and decides where the line goes.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace orvalis::cli {

class ScanProgress {
 public:
  using Duration = std::chrono::milliseconds;

  // Takes one worker message (WM_SCAN_STARTED, WM_SCAN_PROGRESS,
  // WM_SCAN_SET_RANGE, WM_SCAN_SET_POS, WM_SCAN_READING); ignores others.
  void handle(std::uint32_t message, std::int64_t wParam, std::int64_t lParam);

  // Whether the comparisons have begun (the files are loaded).
  bool started() const { return started_; }
  std::int64_t pairsDone() const { return pairsDone_; }
  std::int64_t totalPairs() const { return totalPairs_; }

  // Share of the work done, 0 to 1: whole file pairs plus the done part of the
  // current one. 1 when the scan has no file pair.
  double fraction() const;

  // elapsed × (1 − fraction) / fraction, rounded to whole seconds; nothing
  // before any progress, when no estimate can be made.
  std::optional<Duration> timeLeft(Duration elapsed) const;

  // The line to show, without line breaks, e.g.
  // "[#######             ]  37%  3/8 file pairs  0:12 elapsed  0:20 left";
  // without the bar when the line would be wider than 79 characters.
  std::string line(Duration elapsed) const;

 private:
  bool started_ = false;
  std::int64_t totalPairs_ = 0;
  std::int64_t pairsDone_ = 0;
  std::int64_t pairRange_ = 0;      // comparisons of the current file pair
  std::int64_t pairPosition_ = 0;   // comparisons done in it
  std::int64_t filesLookedAt_ = 0;  // while documents are read: files done
  std::int64_t filesTotal_ = 0;     // and all files; 0 before any document
};

// A duration as m:ss, or h:mm:ss from one hour on; negative durations as 0:00.
std::string formatDuration(std::chrono::milliseconds duration);

// Limits how often a line is redrawn: due() is true on its first call and then
// once `interval` has passed since the last time it was true.
class RedrawThrottle {
 public:
  using Clock = std::chrono::steady_clock;
  explicit RedrawThrottle(std::chrono::milliseconds interval) : interval_(interval) {}
  bool due(Clock::time_point now);

 private:
  std::chrono::milliseconds interval_;
  std::optional<Clock::time_point> last_;
};

}  // namespace orvalis::cli
