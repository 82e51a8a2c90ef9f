#include "engine/sha256.h"

#include <algorithm>
#include <cstring>

#if defined(ORVALIS_X86_KERNELS)
#include <cpuid.h>
#endif

namespace orvalis {
namespace {

constexpr std::array<std::uint32_t, 64> kRoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t rotateRight(std::uint32_t value, int bits) {
  return (value >> bits) | (value << (32 - bits));
}

void compressPortable(std::array<std::uint32_t, 8>& state, const std::uint8_t* block) {
  std::array<std::uint32_t, 64> w{};
  for (int i = 0; i < 16; ++i) {
    w[i] = static_cast<std::uint32_t>(block[4 * i]) << 24 |
           static_cast<std::uint32_t>(block[4 * i + 1]) << 16 |
           static_cast<std::uint32_t>(block[4 * i + 2]) << 8 | block[4 * i + 3];
  }
  for (int i = 16; i < 64; ++i) {
    const std::uint32_t s0 =
        rotateRight(w[i - 15], 7) ^ rotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const std::uint32_t s1 =
        rotateRight(w[i - 2], 17) ^ rotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  auto [a, b, c, d, e, f, g, h] = state;
  for (int i = 0; i < 64; ++i) {
    const std::uint32_t s1 = rotateRight(e, 6) ^ rotateRight(e, 11) ^ rotateRight(e, 25);
    const std::uint32_t choice = (e & f) ^ (~e & g);
    const std::uint32_t t1 = h + s1 + choice + kRoundConstants[i] + w[i];
    const std::uint32_t s0 = rotateRight(a, 2) ^ rotateRight(a, 13) ^ rotateRight(a, 22);
    const std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
    const std::uint32_t t2 = s0 + majority;
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  const std::array<std::uint32_t, 8> add = {a, b, c, d, e, f, g, h};
  for (int i = 0; i < 8; ++i) state[i] += add[i];
}

// Asked once: the processor's answer does not change, and a virtual machine
// may take long over each question.
bool processorHasShaExtensions() {
#if defined(ORVALIS_X86_KERNELS)
  static const bool has = [] {
    // The SHA extensions (leaf 7, EBX bit 29) with SSE4.1 (leaf 1, ECX bit
    // 19), which the kernel's shuffles use.
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & (1u << 19)) == 0) return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (b & (1u << 29)) != 0;
  }();
  return has;
#else
  return false;
#endif
}

}  // namespace

#if defined(ORVALIS_X86_KERNELS)
namespace sha256_x86 {
void compressBlocks(std::array<std::uint32_t, 8>& state, const std::array<std::uint32_t, 64>& k,
                    const std::uint8_t* data, std::size_t blocks);
}  // namespace sha256_x86
#endif

bool sha256KernelSupported(Sha256Kernel kernel) {
  return kernel == Sha256Kernel::kPortable || processorHasShaExtensions();
}

Sha256::Sha256()
    : Sha256(processorHasShaExtensions() ? Sha256Kernel::kShaExtensions : Sha256Kernel::kPortable) {
}

Sha256::Sha256(Sha256Kernel kernel)
    : kernel_(sha256KernelSupported(kernel) ? kernel : Sha256Kernel::kPortable),
      state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::compress(const std::uint8_t* blocks, std::size_t count) {
#if defined(ORVALIS_X86_KERNELS)
  if (kernel_ == Sha256Kernel::kShaExtensions) {
    sha256_x86::compressBlocks(state_, kRoundConstants, blocks, count);
    return;
  }
#endif
  for (; count > 0; --count, blocks += 64) compressPortable(state_, blocks);
}

void Sha256::update(std::string_view bytes) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::size_t size = bytes.size();
  length_ += size;
  if (buffered_ > 0) {
    const std::size_t take = std::min(size, buffer_.size() - buffered_);
    std::memcpy(buffer_.data() + buffered_, data, take);
    buffered_ += take;
    data += take;
    size -= take;
    if (buffered_ < buffer_.size()) return;
    compress(buffer_.data(), 1);
    buffered_ = 0;
  }
  const std::size_t blocks = size / 64;
  compress(data, blocks);
  data += 64 * blocks;
  size -= 64 * blocks;
  if (size > 0) std::memcpy(buffer_.data(), data, size);
  buffered_ = size;
}

Sha256Digest Sha256::finish() {
  const std::uint64_t bits = length_ * 8;
  // A one bit, zeros up to 56 bytes into a block, then the length in bits.
  const std::uint8_t one = 0x80;
  update(std::string_view(reinterpret_cast<const char*>(&one), 1));
  const std::array<char, 64> zeros{};
  update(std::string_view(zeros.data(), (buffered_ <= 56 ? 56 : 120) - buffered_));
  std::array<char, 8> lengthBytes{};
  for (int i = 0; i < 8; ++i) lengthBytes[i] = static_cast<char>(bits >> (56 - 8 * i));
  update(std::string_view(lengthBytes.data(), lengthBytes.size()));
  Sha256Digest digest{};
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 4; ++j)
      digest[4 * i + j] = static_cast<std::uint8_t>(state_[i] >> (24 - 8 * j));
  }
  return digest;
}

Sha256Digest sha256(std::string_view bytes) {
  Sha256 hash;
  hash.update(bytes);
  return hash.finish();
}

std::string hexText(const Sha256Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(digest.size() * 2);
  for (const std::uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xf];
  }
  return text;
}

}  // namespace orvalis
