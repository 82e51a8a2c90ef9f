#include "discovery/earlier_work.h"

#include <set>
#include <system_error>

#include "engine/encoding.h"
#include "engine/input_file.h"

namespace orvalis {
namespace fs = std::filesystem;
namespace {

// One name for one file however it was reached: links resolved, "." and ".."
// taken out. Falls back to the path itself when the system cannot say.
fs::path identityOf(const fs::path& path) {
  std::error_code error;
  fs::path canonical = fs::weakly_canonical(path, error);
  return error ? path.lexically_normal() : canonical;
}

}  // namespace

EarlierWork findEarlierWork(const std::vector<std::filesystem::path>& paths,
                            const std::filesystem::path& extension,
                            const std::vector<std::filesystem::path>& scanFiles) {
  EarlierWork found;
  std::set<fs::path> taken;
  for (const fs::path& file : scanFiles) taken.insert(identityOf(file));
  const auto take = [&](fs::path file) {
    if (taken.insert(identityOf(file)).second) found.files.push_back(std::move(file));
  };
  for (const fs::path& path : paths) {
    std::error_code error;
    if (fs::is_directory(path, error)) {
      // A file of the folder with the scanned extension stands for the folder.
      fs::path chosen = path / "x";
      chosen += extension;
      Discovery discovery = discoverFiles(chosen);
      if (discovery.error) {
        found.error = displayText(path) + ": " + discovery.error.message();
        return found;
      }
      for (fs::path& file : discovery.files) take(std::move(file));
      for (SkippedEntry& entry : discovery.skipped) found.skipped.push_back(std::move(entry));
      continue;
    }
    InputFile file;
    if (std::string reason = file.open(path); !reason.empty()) {
      found.error = displayText(path) + ": " + reason;
      return found;
    }
    take(path);
  }
  return found;
}

}  // namespace orvalis
