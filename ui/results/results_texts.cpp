#include "ui/results/results_texts.h"

#include "engine/encoding.h"

namespace orvalis {

std::string fileMessage(const char* message, const std::filesystem::path& path) {
  return std::string(message) + '\n' + displayText(path);
}

std::string reportNotWrittenMessage(const std::filesystem::path& path, const std::string& reason) {
  return "The report could not be written to " + displayText(path) + ": " + reason;
}

}  // namespace orvalis
