#include "discovery/template_files.h"

#include <algorithm>
#include <system_error>

#include "discovery/file_discovery.h"

namespace orvalis {
namespace {

namespace fs = std::filesystem;

bool sameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  const bool same = fs::equivalent(a, b, error);
  if (!error) return same;
  return a.lexically_normal() == b.lexically_normal();
}

}  // namespace

TemplateFiles findTemplateFiles(const std::vector<std::filesystem::path>& choices,
                                const std::filesystem::path& extension) {
  TemplateFiles found;
  for (const fs::path& choice : choices) {
    std::error_code error;
    if (!fs::is_directory(choice, error)) {
      found.files.push_back(choice);
      continue;
    }
    // A name in the folder with the extension stands for the folder's files.
    fs::path stand = choice / "template";
    stand += extension;
    Discovery discovery = discoverFiles(stand);
    if (discovery.error) {
      found.error = "cannot list " + choice.string() + ": " + discovery.error.message();
      return found;
    }
    found.files.insert(found.files.end(), discovery.files.begin(), discovery.files.end());
  }
  return found;
}

std::vector<std::filesystem::path> withoutTemplates(
    std::vector<std::filesystem::path> files, const std::vector<std::filesystem::path>& templates) {
  std::erase_if(files, [&](const fs::path& file) {
    return std::any_of(templates.begin(), templates.end(),
                       [&](const fs::path& one) { return sameFile(file, one); });
  });
  return files;
}

}  // namespace orvalis
