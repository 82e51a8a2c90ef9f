// Fuzzes the command-line parser of orvalis-scan. The input is the argument
// list, arguments separated by NUL bytes (which no real argument can hold).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "engine/memory.h"
#include "fuzz/fuzz_check.h"

namespace orvalis::cli {
namespace {

bool isDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The whole number of a text written another way: an optional sign, then
// digits only, within the 32-bit range.
std::optional<std::int32_t> expectedInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (!isDigits(text)) return std::nullopt;
  text.remove_prefix(std::min(text.find_first_not_of('0'), text.size()));
  if (text.size() > 10) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) value = value * 10 + (c - '0');
  if (negative) value = -value;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

// Whether `files` are the file arguments: the arguments that are no option and
// no option's value, in order. Checked as a subsequence of the arguments.
bool isSubsequence(const std::vector<std::filesystem::path>& files,
                   const std::vector<std::string>& args) {
  std::size_t at = 0;
  for (const auto& file : files) {
    while (at < args.size() && args[at] != file.native()) ++at;
    if (at == args.size()) return false;
    ++at;
  }
  return true;
}

}  // namespace
}  // namespace orvalis::cli

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvalis::cli;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> args;
  for (std::size_t from = 0; from <= input.size();) {
    const std::size_t end = std::min(input.find('\0', from), input.size());
    args.emplace_back(input.substr(from, end - from));
    from = end + 1;
  }

  // The value converters on every argument and on every text after an "=".
  for (const std::string& arg : args) {
    for (std::string_view text : {std::string_view(arg), std::string_view(arg).substr(std::min(
                                                             arg.find('='), arg.size()))}) {
      if (text.starts_with('=')) text.remove_prefix(1);
      FUZZ_CHECK(parseInteger(text) == expectedInteger(text));
      if (const auto bytes = orvalis::parseMemorySize(text)) {
        FUZZ_CHECK(*bytes >= 1 && *bytes < (std::uint64_t{1} << 63));
        FUZZ_CHECK(!orvalis::memorySizeText(*bytes).empty());
      }
      if (const auto value = parseFiniteFloat(text)) {
        // A whole decimal number reads as the C library reads it, rounded to float.
        FUZZ_CHECK(std::isfinite(*value));
        FUZZ_CHECK(*value == static_cast<float>(std::strtod(std::string(text).c_str(), nullptr)));
      }
    }
  }

  const ParseResult result = parseArguments(args);
  const ScanOptions& options = result.options;
  if (!result.ok()) return 0;
  // A scan needs a file, unless it only empties the results cache.
  FUZZ_CHECK(options.action != Action::kScan || !options.files.empty() || options.clearCache);
  FUZZ_CHECK(isSubsequence(options.files, args));
  if (options.mismatchScore) FUZZ_CHECK(std::isfinite(*options.mismatchScore));
  if (options.gapScore) FUZZ_CHECK(std::isfinite(*options.gapScore));
  if (options.groupSize) FUZZ_CHECK(*options.groupSize >= 2);
  if (options.jobs) FUZZ_CHECK(*options.jobs >= 1 && *options.jobs <= kMaxJobs);
  if (options.htmlFile) FUZZ_CHECK(!options.htmlFile->empty());
  if (options.maxMemory) FUZZ_CHECK(*options.maxMemory >= 1);

  return 0;
}
