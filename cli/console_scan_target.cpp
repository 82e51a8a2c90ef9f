#include "cli/console_scan_target.h"

#include "engine/encoding.h"

namespace orvalis::cli {

ConsoleScanTarget::ConsoleScanTarget(std::ostream& err, bool showProgress)
    : err_(err), showProgress_(showProgress), start_(std::chrono::steady_clock::now()) {}

void ConsoleScanTarget::begin() {
  std::lock_guard lock(mutex_);
  if (showProgress_ && throttle_.due(std::chrono::steady_clock::now())) draw();
}

void ConsoleScanTarget::finish() {
  std::lock_guard lock(mutex_);
  clearLine();
}

std::optional<std::string> ConsoleScanTarget::failure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

void ConsoleScanTarget::post(std::uint32_t message, std::int64_t wParam, std::int64_t lParam) {
  std::lock_guard lock(mutex_);
  progress_.handle(message, wParam, lParam);
  if (showProgress_ && throttle_.due(std::chrono::steady_clock::now())) draw();
}

void ConsoleScanTarget::filesUnreadable(const std::vector<UnreadableFile>& files) {
  std::lock_guard lock(mutex_);
  clearLine();
  for (const auto& file : files) {
    err_ << "warning: cannot read " << lineText(file.path) << ": " << file.reason << '\n';
  }
  err_.flush();
}

void ConsoleScanTarget::scanFailed(const std::string& message) {
  std::lock_guard lock(mutex_);
  if (!failure_) failure_ = message;
}

// The normal end of a scan needs no notice on a command line.
void ConsoleScanTarget::showNotice(const std::string&) {}

void ConsoleScanTarget::draw() {
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start_);
  const std::string text = progress_.line(elapsed);
  err_ << '\r' << text;
  // Blanks over the rest of a longer earlier line.
  if (text.size() < drawnWidth_) err_ << std::string(drawnWidth_ - text.size(), ' ');
  err_.flush();
  drawnWidth_ = std::max(drawnWidth_, text.size());
}

void ConsoleScanTarget::clearLine() {
  if (drawnWidth_ == 0) return;
  err_ << '\r' << std::string(drawnWidth_, ' ') << '\r';
  err_.flush();
  drawnWidth_ = 0;
}

}  // namespace orvalis::cli
