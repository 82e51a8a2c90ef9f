// A folder of its own for one test, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orvalis::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes `bytes` exactly to the file `name` (folders created as needed) and
  // returns its full path.
  std::filesystem::path write(const std::filesystem::path& name, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

// The whole of `file`, byte for byte; empty when it cannot be read.
std::string contents(const std::filesystem::path& file);

}  // namespace orvalis::testing
