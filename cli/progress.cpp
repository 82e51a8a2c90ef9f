#include "cli/progress.h"

#include <algorithm>
#include <cmath>

#include "engine/scan.h"

namespace orvalis::cli {
namespace {

constexpr std::size_t kBarWidth = 20;
// Fits a terminal of 80 columns without touching the last one.
constexpr std::size_t kMaxLineWidth = 79;

}  // namespace

void ScanProgress::handle(std::uint32_t message, std::int64_t wParam, std::int64_t lParam) {
  switch (message) {
    case WM_SCAN_STARTED:
      started_ = true;
      totalPairs_ = std::max<std::int64_t>(lParam, 0);
      pairsDone_ = 0;
      pairRange_ = 0;
      pairPosition_ = 0;
      break;
    case WM_SCAN_PROGRESS:
      pairsDone_ = std::clamp<std::int64_t>(wParam, 0, std::max<std::int64_t>(lParam, 0));
      totalPairs_ = std::max<std::int64_t>(lParam, 0);
      // The finished pair is now counted whole; the next one starts at 0.
      pairRange_ = 0;
      pairPosition_ = 0;
      break;
    case WM_SCAN_SET_RANGE:
      pairRange_ = std::max<std::int64_t>(lParam, 0);
      pairPosition_ = 0;
      break;
    case WM_SCAN_SET_POS:
      pairPosition_ = std::clamp<std::int64_t>(lParam, 0, pairRange_);
      break;
    case WM_SCAN_READING:
      filesTotal_ = std::max<std::int64_t>(lParam, 0);
      filesLookedAt_ = std::clamp<std::int64_t>(wParam, 0, filesTotal_);
      break;
    default:
      break;
  }
}

double ScanProgress::fraction() const {
  if (!started_) return 0.0;
  if (totalPairs_ == 0) return 1.0;
  double done = static_cast<double>(pairsDone_);
  if (pairRange_ > 0 && pairsDone_ < totalPairs_) {
    done += static_cast<double>(pairPosition_) / static_cast<double>(pairRange_);
  }
  return std::clamp(done / static_cast<double>(totalPairs_), 0.0, 1.0);
}

std::optional<ScanProgress::Duration> ScanProgress::timeLeft(Duration elapsed) const {
  const double done = fraction();
  if (done <= 0.0) return std::nullopt;
  const double seconds = std::chrono::duration<double>(elapsed).count() * (1.0 - done) / done;
  return std::chrono::seconds(std::llround(seconds));
}

std::string ScanProgress::line(Duration elapsed) const {
  if (!started_ && filesTotal_ > 0) {
    return "reading documents... " + std::to_string(filesLookedAt_) + "/" +
           std::to_string(filesTotal_) + " files  " + formatDuration(elapsed) + " elapsed";
  }
  if (!started_) return "reading files...  " + formatDuration(elapsed) + " elapsed";
  const double done = fraction();
  const auto percent = std::to_string(static_cast<int>(done * 100.0));
  const auto left = timeLeft(elapsed);
  std::string figures(3 - std::min<std::size_t>(3, percent.size()), ' ');
  figures += percent + "%  " + std::to_string(pairsDone_) + "/" + std::to_string(totalPairs_) +
             " file pairs  " + formatDuration(elapsed) + " elapsed  " +
             (left ? formatDuration(*left) : std::string("?:??")) + " left";
  // A line wider than the terminal would wrap, and the carriage return could
  // not go back over it: the bar gives way first.
  if (kBarWidth + 3 + figures.size() > kMaxLineWidth) return figures;
  const auto filled = static_cast<std::size_t>(done * kBarWidth);
  return std::string("[")
      .append(filled, '#')
      .append(kBarWidth - filled, ' ')
      .append("] ")
      .append(figures);
}

std::string formatDuration(std::chrono::milliseconds duration) {
  const auto totalSeconds =
      std::max<std::int64_t>(0, std::chrono::duration_cast<std::chrono::seconds>(duration).count());
  const auto hours = totalSeconds / 3600;
  const auto minutes = totalSeconds / 60 % 60;
  const auto seconds = totalSeconds % 60;
  const auto twoDigits = [](std::int64_t value) {
    return std::string(value < 10 ? "0" : "").append(std::to_string(value));
  };
  if (hours > 0) return std::to_string(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(seconds);
  return std::to_string(minutes) + ":" + twoDigits(seconds);
}

bool RedrawThrottle::due(Clock::time_point now) {
  if (last_ && now - *last_ < interval_) return false;
  last_ = now;
  return true;
}

}  // namespace orvalis::cli
