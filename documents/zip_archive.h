// A zip archive in memory, read part by part with a cap on each part's
// inflated size, so that a zip bomb is refused before it is inflated.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace orvalis::documents {

class ZipArchive {
 public:
  ZipArchive();
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  // Opens the archive held in `bytes`, which must outlive this object.
  // Returns why it cannot, empty when open.
  std::string open(std::string_view bytes);

  bool contains(const std::string& name) const;

  // Inflates the part `name` into `out`, at most `cap` bytes: a part whose
  // recorded size is larger is refused before anything is inflated, and one
  // that inflates to more than it recorded is cut off at the cap and refused.
  // Returns why it could not, empty when read.
  std::string read(const std::string& name, std::uint64_t cap, std::string& out) const;

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
};

}  // namespace orvalis::documents
