#include "cli/mpi/scan_records.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace orvalis::cli::mpi {
namespace {

// Fixed-size values in the machine's byte order: every rank of a job runs the
// same build on the same kind of machine.
class ByteWriter {
 public:
  template <typename T>
  void put(T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out_.append(bytes, sizeof(T));
  }
  void putText(std::string_view text) {
    put(static_cast<std::uint32_t>(text.size()));
    out_.append(text);
  }
  void putDigest(const Sha256Digest& digest) {
    out_.append(reinterpret_cast<const char*>(digest.data()), digest.size());
  }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
};

class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}
  template <typename T>
  bool get(T& value) {
    if (bytes_.size() < sizeof(T)) return false;
    std::memcpy(&value, bytes_.data(), sizeof(T));
    bytes_.remove_prefix(sizeof(T));
    return true;
  }
  bool getText(std::string& text) {
    std::uint32_t size = 0;
    if (!get(size) || bytes_.size() < size) return false;
    text.assign(bytes_.substr(0, size));
    bytes_.remove_prefix(size);
    return true;
  }
  bool getDigest(Sha256Digest& digest) {
    if (bytes_.size() < digest.size()) return false;
    std::memcpy(digest.data(), bytes_.data(), digest.size());
    bytes_.remove_prefix(digest.size());
    return true;
  }
  bool atEnd() const { return bytes_.empty(); }

 private:
  std::string_view bytes_;
};

// Counted as cells for each comparison, as in the scan's own hand-out.
constexpr std::uint64_t kSetUpCells = 4096;

// What follows a pair's digests: nothing, whole results or scores alone.
constexpr std::uint8_t kIncomplete = 0;
constexpr std::uint8_t kWhole = 1;
constexpr std::uint8_t kScores = 2;

constexpr char kJournalMagic[8] = {'O', 'R', 'V', 'J', 'R', 'N', 'L', '2'};
constexpr std::size_t kHeaderSize = sizeof(kJournalMagic) + 32;
constexpr std::size_t kCheckSize = 8;

std::string blockCheck(std::string_view payload) {
  const Sha256Digest digest = sha256(payload);
  return std::string(reinterpret_cast<const char*>(digest.data()), kCheckSize);
}

std::string header(const Sha256Digest& fingerprint) {
  std::string text(kJournalMagic, sizeof(kJournalMagic));
  text.append(reinterpret_cast<const char*>(fingerprint.data()), fingerprint.size());
  return text;
}

std::string errnoText() { return std::generic_category().message(errno); }

}  // namespace

std::vector<WorkPair> planWorkPairs(const CompareEngine& engine) {
  std::vector<std::uint64_t> words(engine.fileTable.size() + 1, 0);
  for (const auto& [index, entry] : engine.fileTable) {
    std::uint64_t count = 0;
    for (const auto& [number, group] : entry->groups) count += group->words.size();
    words[static_cast<std::size_t>(index)] = count;
  }
  std::vector<WorkPair> pairs;
  for (auto a = engine.fileTable.begin(); a != engine.fileTable.end(); ++a) {
    for (auto b = engine.fileTable.begin(); b != a; ++b) {
      const FileEntry& fileA = *a->second;
      const FileEntry& fileB = *b->second;
      if (fileA.groups.empty() || fileB.groups.empty() || !engine.comparesPair(fileA, fileB)) {
        continue;
      }
      const std::uint64_t comparisons = fileA.groups.size() * fileB.groups.size();
      pairs.push_back({&fileA, &fileB,
                       words[static_cast<std::size_t>(fileA.index)] *
                               words[static_cast<std::size_t>(fileB.index)] +
                           comparisons * kSetUpCells});
    }
  }
  return pairs;
}

std::vector<PairRange> splitRanges(const std::vector<WorkPair>& pairs,
                                   const std::vector<bool>& done, std::uint64_t targetCells) {
  std::vector<PairRange> ranges;
  const auto count = static_cast<std::int64_t>(pairs.size());
  std::int64_t next = 0;
  while (next < count) {
    if (done[static_cast<std::size_t>(next)]) {
      ++next;
      continue;
    }
    PairRange range{next, next};
    std::uint64_t cells = 0;
    while (range.end < count && !done[static_cast<std::size_t>(range.end)] && cells < targetCells) {
      cells += pairs[static_cast<std::size_t>(range.end++)].cells;
    }
    ranges.push_back(range);
    next = range.end;
  }
  return ranges;
}

std::string encodeRange(const RangeRecords& records) {
  ByteWriter out;
  out.put(records.range.first);
  out.put(records.range.end);
  for (const PairRecords& pair : records.pairs) {
    out.putDigest(pair.digestA);
    out.putDigest(pair.digestB);
    const bool scores = pair.results.empty() && !pair.scores.empty();
    out.put(static_cast<std::uint8_t>(!pair.complete ? kIncomplete : scores ? kScores : kWhole));
    if (scores) {
      out.put(static_cast<std::uint32_t>(pair.scores.size()));
      for (const float score : pair.scores) out.put(std::bit_cast<std::uint32_t>(score));
      continue;
    }
    out.put(static_cast<std::uint32_t>(pair.results.size()));
    for (const PairResult& result : pair.results) {
      out.put(result.startA);
      out.put(result.endA);
      out.put(result.startB);
      out.put(result.endB);
      out.put(std::bit_cast<std::uint32_t>(result.score));
      out.putText(result.consensusA);
      out.putText(result.consensusB);
    }
  }
  return out.take();
}

std::optional<RangeRecords> decodeRange(std::string_view bytes) {
  ByteReader in(bytes);
  RangeRecords records;
  if (!in.get(records.range.first) || !in.get(records.range.end) || records.range.first < 0 ||
      records.range.end < records.range.first) {
    return std::nullopt;
  }
  for (std::int64_t pair = records.range.first; pair < records.range.end; ++pair) {
    PairRecords& current = records.pairs.emplace_back();
    std::uint8_t complete = 0;
    std::uint32_t count = 0;
    if (!in.getDigest(current.digestA) || !in.getDigest(current.digestB) || !in.get(complete) ||
        complete > kScores || !in.get(count)) {
      return std::nullopt;
    }
    current.complete = complete != kIncomplete;
    if (complete == kScores) {
      for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t scoreBits = 0;
        if (!in.get(scoreBits)) return std::nullopt;
        current.scores.push_back(std::bit_cast<float>(scoreBits));
      }
      continue;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
      PairResult& result = current.results.emplace_back();
      std::uint32_t scoreBits = 0;
      if (!in.get(result.startA) || !in.get(result.endA) || !in.get(result.startB) ||
          !in.get(result.endB) || !in.get(scoreBits) || !in.getText(result.consensusA) ||
          !in.getText(result.consensusB)) {
        return std::nullopt;
      }
      result.score = std::bit_cast<float>(scoreBits);
    }
  }
  if (!in.atEnd()) return std::nullopt;
  return records;
}

std::string encodeJob(const ScanJob& job) {
  ByteWriter out;
  out.put(std::bit_cast<std::uint32_t>(job.mismatchScore));
  out.put(std::bit_cast<std::uint32_t>(job.gapScore));
  out.put(job.groupSize);
  out.put(static_cast<std::uint8_t>(job.scoresOnly ? 1 : 0));
  for (const auto* list : {&job.files, &job.earlierFiles}) {
    out.put(static_cast<std::uint32_t>(list->size()));
    for (const auto& path : *list) out.putText(path.string());
  }
  return out.take();
}

std::optional<ScanJob> decodeJob(std::string_view bytes) {
  ByteReader in(bytes);
  ScanJob job;
  std::uint32_t mismatch = 0;
  std::uint32_t gap = 0;
  std::uint8_t scoresOnly = 0;
  if (!in.get(mismatch) || !in.get(gap) || !in.get(job.groupSize) || !in.get(scoresOnly) ||
      scoresOnly > 1) {
    return std::nullopt;
  }
  job.scoresOnly = scoresOnly == 1;
  job.mismatchScore = std::bit_cast<float>(mismatch);
  job.gapScore = std::bit_cast<float>(gap);
  for (auto* list : {&job.files, &job.earlierFiles}) {
    std::uint32_t count = 0;
    if (!in.get(count)) return std::nullopt;
    for (std::uint32_t i = 0; i < count; ++i) {
      std::string path;
      if (!in.getText(path)) return std::nullopt;
      list->emplace_back(path);
    }
  }
  if (!in.atEnd()) return std::nullopt;
  return job;
}

Sha256Digest scanFingerprint(const ScanJob& job) {
  ByteWriter out;
  out.putText(encodeJob(job));
  for (const auto* list : {&job.files, &job.earlierFiles}) {
    for (const auto& path : *list) {
      std::error_code error;
      const auto size = std::filesystem::file_size(path, error);
      out.put(static_cast<std::uint64_t>(error ? ~std::uintmax_t{0} : size));
      const auto changed = std::filesystem::last_write_time(path, error);
      out.put(static_cast<std::int64_t>(error ? 0 : changed.time_since_epoch().count()));
    }
  }
  return sha256(out.take());
}

Journal::~Journal() { std::fclose(file_); }

std::unique_ptr<Journal> Journal::create(const std::filesystem::path& file,
                                         const Sha256Digest& fingerprint, std::string& error) {
  std::FILE* stream = std::fopen(file.string().c_str(), "wb");
  if (stream == nullptr) {
    error = errnoText();
    return nullptr;
  }
  std::unique_ptr<Journal> journal(new Journal(stream));
  const std::string start = header(fingerprint);
  if (std::fwrite(start.data(), 1, start.size(), stream) != start.size() ||
      std::fflush(stream) != 0) {
    error = errnoText();
    return nullptr;
  }
  return journal;
}

std::unique_ptr<Journal> Journal::resume(const std::filesystem::path& file,
                                         const Sha256Digest& fingerprint,
                                         std::vector<RangeRecords>& finished, std::string& error) {
  std::FILE* stream = std::fopen(file.string().c_str(), "rb");
  if (stream == nullptr) {
    if (errno == ENOENT) return create(file, fingerprint, error);
    error = errnoText();
    return nullptr;
  }
  std::string bytes;
  char buffer[1 << 16];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, stream)) > 0;) {
    bytes.append(buffer, got);
  }
  const bool readFailed = std::ferror(stream) != 0;
  std::fclose(stream);
  if (readFailed) {
    error = "it cannot be read";
    return nullptr;
  }
  if (bytes.size() < kHeaderSize ||
      std::memcmp(bytes.data(), kJournalMagic, sizeof(kJournalMagic)) != 0) {
    error = "it is not a journal of orvalis-scan-mpi";
    return nullptr;
  }
  if (bytes.compare(0, kHeaderSize, header(fingerprint)) != 0) {
    error = "it belongs to another scan (other files or settings)";
    return nullptr;
  }
  // Whole blocks up to the first one cut short or damaged.
  std::size_t good = kHeaderSize;
  std::vector<RangeRecords> blocks;
  for (;;) {
    std::uint64_t size = 0;
    if (bytes.size() - good < sizeof(size)) break;
    std::memcpy(&size, bytes.data() + good, sizeof(size));
    if (bytes.size() - good - sizeof(size) < size ||
        bytes.size() - good - sizeof(size) - size < kCheckSize) {
      break;
    }
    const std::string_view payload(bytes.data() + good + sizeof(size), size);
    if (blockCheck(payload) !=
        std::string_view(bytes.data() + good + sizeof(size) + size, kCheckSize)) {
      break;
    }
    auto records = decodeRange(payload);
    if (!records) break;
    blocks.push_back(std::move(*records));
    good += sizeof(size) + size + kCheckSize;
  }
  std::error_code cut;
  std::filesystem::resize_file(file, good, cut);
  if (cut) {
    error = cut.message();
    return nullptr;
  }
  stream = std::fopen(file.string().c_str(), "ab");
  if (stream == nullptr) {
    error = errnoText();
    return nullptr;
  }
  finished = std::move(blocks);
  return std::unique_ptr<Journal>(new Journal(stream));
}

bool Journal::append(std::string_view encodedRange) {
  const auto size = static_cast<std::uint64_t>(encodedRange.size());
  const std::string check = blockCheck(encodedRange);
  return std::fwrite(&size, sizeof(size), 1, file_) == 1 &&
         std::fwrite(encodedRange.data(), 1, encodedRange.size(), file_) == encodedRange.size() &&
         std::fwrite(check.data(), 1, check.size(), file_) == check.size() &&
         std::fflush(file_) == 0;
}

}  // namespace orvalis::cli::mpi
