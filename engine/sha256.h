// SHA-256 (FIPS 180-4) over bytes: the content hash by which stored
// comparison results are found again for the same file contents.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvalis {

using Sha256Digest = std::array<std::uint8_t, 32>;

// The ways of hashing a block: plain C++, or the x86 SHA extensions. Every
// way gives the same digests.
enum class Sha256Kernel { kPortable, kShaExtensions };

// Whether this build and this processor can hash with `kernel`.
bool sha256KernelSupported(Sha256Kernel kernel);

// Hashes bytes given in any number of pieces, with the fastest kernel the
// processor has or with the one given.
class Sha256 {
 public:
  Sha256();
  explicit Sha256(Sha256Kernel kernel);
  void update(std::string_view bytes);
  // The digest of everything given; the object is then spent.
  Sha256Digest finish();

 private:
  void compress(const std::uint8_t* blocks, std::size_t count);

  Sha256Kernel kernel_;
  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;  // bytes given so far
};

Sha256Digest sha256(std::string_view bytes);

// Lower-case hexadecimal, two digits a byte.
std::string hexText(const Sha256Digest& digest);

}  // namespace orvalis
