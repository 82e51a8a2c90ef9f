#include "documents/zip_archive.h"

#include <zip.h>

#include <array>

#include "engine/memory.h"

namespace orvalis::documents {

struct ZipArchive::Handle {
  zip_t* archive = nullptr;
  ~Handle() {
    if (archive != nullptr) zip_discard(archive);
  }
};

ZipArchive::ZipArchive() : handle_(std::make_unique<Handle>()) {}
ZipArchive::~ZipArchive() = default;

std::string ZipArchive::open(std::string_view bytes) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  if (source == nullptr) {
    zip_error_fini(&error);
    return "not enough memory to open it";
  }
  handle_->archive = zip_open_from_source(source, ZIP_RDONLY, &error);
  if (handle_->archive == nullptr) {
    zip_source_free(source);
    const int code = zip_error_code_zip(&error);
    zip_error_fini(&error);
    if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS || code == ZIP_ER_EOF) {
      return "it is damaged or incomplete: not a readable zip archive";
    }
    return "it is not a readable zip archive";
  }
  zip_error_fini(&error);
  return {};
}

bool ZipArchive::contains(const std::string& name) const {
  return handle_->archive != nullptr && zip_name_locate(handle_->archive, name.c_str(), 0) >= 0;
}

std::string ZipArchive::read(const std::string& name, std::uint64_t cap, std::string& out) const {
  out.clear();
  const zip_int64_t index = zip_name_locate(handle_->archive, name.c_str(), 0);
  if (index < 0) return "its part " + name + " is missing";
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(handle_->archive, static_cast<zip_uint64_t>(index), 0, &stat) != 0) {
    return "its part " + name + " is damaged";
  }
  if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && stat.encryption_method != ZIP_EM_NONE) {
    return "it is protected by a password";
  }
  const std::string tooLarge =
      "its part " + name + " would inflate to more than " + memorySizeText(cap) + " (a zip bomb?)";
  if ((stat.valid & ZIP_STAT_SIZE) != 0 && stat.size > cap) return tooLarge;
  zip_file_t* file = zip_fopen_index(handle_->archive, static_cast<zip_uint64_t>(index), 0);
  if (file == nullptr) return "its part " + name + " cannot be inflated";
  std::array<char, 65536> buffer{};
  std::string failure;
  for (;;) {
    // Never more than one byte past the cap: enough to know it was passed.
    const std::uint64_t room = cap + 1 - out.size();
    const auto wanted = static_cast<zip_uint64_t>(std::min<std::uint64_t>(buffer.size(), room));
    const zip_int64_t got = zip_fread(file, buffer.data(), wanted);
    if (got < 0) {
      failure = "its part " + name + " is damaged or incomplete";
      break;
    }
    if (got == 0) break;
    out.append(buffer.data(), static_cast<std::size_t>(got));
    if (out.size() > cap) {
      failure = tooLarge;
      break;
    }
  }
  zip_fclose(file);
  if (!failure.empty()) out.clear();
  return failure;
}

}  // namespace orvalis::documents
