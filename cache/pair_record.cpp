#include "cache/pair_record.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace orvalis {
namespace {

constexpr std::size_t kChecksumBytes = 8;

void appendU32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xff);
}

void appendText(std::string& out, const std::string& text) {
  appendU32(out, static_cast<std::uint32_t>(text.size()));
  out += text;
}

// Eight bytes as a little-endian number.
std::uint64_t littleEndian64(const char* bytes) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[i]);
  return value;
}

// A 64-bit hash of the key and the record's contents, little-endian. It reads
// eight bytes a step: each step, (h xor word) times an odd number then h xor
// its high half, maps h one to one, so a change within one step's bytes always
// changes the hash, and the shift carries changes of high bits down to the
// bits the next steps multiply up. The lengths end it. It guards against
// damage, not against forgery, and reads a rescan's many megabytes of records
// far faster than a cryptographic hash.
std::string checksumOf(const std::string& key, std::string_view contents) {
  constexpr std::uint64_t kOdd = 0x9e3779b97f4a7c15;
  std::uint64_t hash = 0xcbf29ce484222325;
  const auto step = [&](std::uint64_t word) {
    hash = (hash ^ word) * kOdd;
    hash ^= hash >> 32;
  };
  for (const std::string_view part : {std::string_view(key), contents}) {
    std::size_t at = 0;
    for (; at + 8 <= part.size(); at += 8) step(littleEndian64(part.data() + at));
    char tail[8] = {};
    std::memcpy(tail, part.data() + at, part.size() - at);
    step(littleEndian64(tail));
    step(part.size());
  }
  std::string bytes;
  appendU32(bytes, static_cast<std::uint32_t>(hash));
  appendU32(bytes, static_cast<std::uint32_t>(hash >> 32));
  return bytes;
}

// Reads fixed-width values and texts from a record, failing once past its end.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  bool u32(std::uint32_t& value) {
    if (bytes_.size() < 4) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) {
      value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[i])) << (8 * i);
    }
    bytes_.remove_prefix(4);
    return true;
  }

  bool i32(std::int32_t& value) {
    std::uint32_t bits = 0;
    if (!u32(bits)) return false;
    value = static_cast<std::int32_t>(bits);
    return true;
  }

  bool text(std::string& value) {
    std::uint32_t size = 0;
    if (!u32(size) || bytes_.size() < size) return false;
    value.assign(bytes_.substr(0, size));
    bytes_.remove_prefix(size);
    return true;
  }

  bool atEnd() const { return bytes_.empty(); }

 private:
  std::string_view bytes_;
};

}  // namespace

std::string keyBytes(const ComparisonKey& key) {
  std::string bytes(reinterpret_cast<const char*>(key.first.data()), key.first.size());
  bytes.append(reinterpret_cast<const char*>(key.second.data()), key.second.size());
  appendU32(bytes, std::bit_cast<std::uint32_t>(key.mismatchScore));
  appendU32(bytes, std::bit_cast<std::uint32_t>(key.gapScore));
  appendU32(bytes, static_cast<std::uint32_t>(key.groupSize));
  appendU32(bytes, key.splitting);
  return bytes;
}

std::string encodePairRecord(const ComparisonKey& key, const std::vector<PairResult>& results) {
  std::string record;
  appendU32(record, static_cast<std::uint32_t>(results.size()));
  for (const PairResult& result : results) {
    for (const std::int32_t offset : {result.startA, result.endA, result.startB, result.endB}) {
      appendU32(record, static_cast<std::uint32_t>(offset));
    }
    appendU32(record, std::bit_cast<std::uint32_t>(result.score));
    appendText(record, result.consensusA);
    appendText(record, result.consensusB);
  }
  record += checksumOf(keyBytes(key), record);
  return record;
}

bool decodePairRecord(const ComparisonKey& key, std::string_view record, std::size_t count,
                      std::vector<PairResult>& results) {
  results.clear();
  if (record.size() < kChecksumBytes) return false;
  const std::string_view contents = record.substr(0, record.size() - kChecksumBytes);
  if (checksumOf(keyBytes(key), contents) != record.substr(contents.size())) return false;
  Reader reader(contents);
  std::uint32_t stored = 0;
  if (!reader.u32(stored) || stored != count) return false;
  results.resize(count);
  for (PairResult& result : results) {
    std::uint32_t scoreBits = 0;
    if (!reader.i32(result.startA) || !reader.i32(result.endA) || !reader.i32(result.startB) ||
        !reader.i32(result.endB) || !reader.u32(scoreBits) || !reader.text(result.consensusA) ||
        !reader.text(result.consensusB)) {
      results.clear();
      return false;
    }
    result.score = std::bit_cast<float>(scoreBits);
  }
  if (!reader.atEnd()) {
    results.clear();
    return false;
  }
  return true;
}

}  // namespace orvalis
