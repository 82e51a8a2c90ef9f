#include "engine/settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

namespace orvalis {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// White space of the "C" locale.
bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Where a decimal number fits the text: the digits of the mantissa without its
// sign, and the exponent, if any, after them.
struct NumberPrefix {
  bool negative = false;
  std::string_view body;  // mantissa and exponent, without the sign
  std::string_view integerDigits;
  std::string_view fractionDigits;
  bool exponentNegative = false;
  std::string_view exponentDigits;
};

// Finds the longest prefix (after white space) that reads as a decimal number;
// nothing when no digit begins the mantissa.
std::optional<NumberPrefix> findNumberPrefix(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  NumberPrefix number;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    number.negative = text[i] == '-';
    ++i;
  }
  const std::size_t bodyStart = i;
  const std::size_t integerStart = i;
  while (i < text.size() && isDigit(text[i])) ++i;
  number.integerDigits = text.substr(integerStart, i - integerStart);
  if (i < text.size() && text[i] == '.') {
    const std::size_t fractionStart = ++i;
    while (i < text.size() && isDigit(text[i])) ++i;
    number.fractionDigits = text.substr(fractionStart, i - fractionStart);
  }
  if (number.integerDigits.empty() && number.fractionDigits.empty()) return std::nullopt;
  // The exponent counts only when at least one digit follows "e" and its sign.
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    bool exponentNegative = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
      exponentNegative = text[j] == '-';
      ++j;
    }
    const std::size_t exponentStart = j;
    while (j < text.size() && isDigit(text[j])) ++j;
    if (j > exponentStart) {
      number.exponentNegative = exponentNegative;
      number.exponentDigits = text.substr(exponentStart, j - exponentStart);
      i = j;
    }
  }
  number.body = text.substr(bodyStart, i - bodyStart);
  return number;
}

// Whether a number too large or too small for a double is too large: its
// decimal magnitude (position of its first significant digit, shifted by the
// exponent) is positive. Saturates, so that no count overflows.
bool exceedsDoubleRange(const NumberPrefix& number) {
  constexpr std::int64_t kLimit = 1'000'000'000;
  std::int64_t exponent = 0;
  for (char c : number.exponentDigits) {
    exponent = std::min<std::int64_t>(kLimit, exponent * 10 + (c - '0'));
  }
  if (number.exponentNegative) exponent = -exponent;

  std::int64_t magnitude = 0;
  const auto firstSignificant = number.integerDigits.find_first_not_of('0');
  if (firstSignificant != std::string_view::npos) {
    magnitude = std::min<std::int64_t>(
        kLimit, static_cast<std::int64_t>(number.integerDigits.size() - firstSignificant));
  } else {
    const auto firstFraction = number.fractionDigits.find_first_not_of('0');
    if (firstFraction == std::string_view::npos) return false;  // zero is never out of range
    magnitude = -std::min<std::int64_t>(kLimit, static_cast<std::int64_t>(firstFraction));
  }
  return magnitude + exponent > 0;
}

// The double as a float, rounded to nearest the way the hardware does it, but
// without a conversion whose result the language leaves undefined.
float toFloat(double value) {
  constexpr double kMax = std::numeric_limits<float>::max();
  // Half a unit in the last place above the largest float: from there on the
  // rounding goes to infinity.
  const double overflowThreshold = kMax + std::ldexp(1.0, 103);
  if (std::fabs(value) >= overflowThreshold) {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    return value > 0 ? kInfinity : -kInfinity;
  }
  if (value > kMax) return std::numeric_limits<float>::max();
  if (value < -kMax) return -std::numeric_limits<float>::max();
  return static_cast<float>(value);
}

// Truncates toward zero; values beyond the 32-bit range become its nearest end.
std::int32_t toGroupSize(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (value <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace

void ensureDefaultSettings(SettingsStore& store) {
  // An existing key is left alone, even when some of its values are missing.
  if (!store.keyExists()) store.createWithDefaults();
}

bool loadScanSettings(SettingsStore& store, CompareEngine& engine) {
  if (!store.keyExists()) return false;
  bool allRead = true;
  if (const auto text = store.readValue(kMismatchScoreName)) {
    engine.mismatchScore = toFloat(parseSettingNumber(*text));
  } else {
    allRead = false;
  }
  if (const auto text = store.readValue(kGapScoreName)) {
    engine.gapScore = toFloat(parseSettingNumber(*text));
  } else {
    allRead = false;
  }
  const auto groupText = store.readValue(kGroupSizeName);
  if (!groupText) return false;
  engine.groupSize = toGroupSize(parseSettingNumber(*groupText));
  return allRead;
}

double parseSettingNumber(std::string_view text) {
  const auto number = findNumberPrefix(text);
  if (!number) return 0.0;
  // The prefix has no sign, no hexadecimal form and no "inf" or "nan", so
  // from_chars reads exactly it, in the same way in every locale.
  double value = 0.0;
  const char* first = number->body.data();
  const char* last = first + number->body.size();
  const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    value = exceedsDoubleRange(*number) ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc() || end != last) {
    return 0.0;  // cannot happen for a prefix built as above
  }
  return number->negative ? -value : value;
}

bool replaceUnusableGroupSize(CompareEngine& engine) {
  if (engine.groupSize >= 2) return false;
  engine.groupSize = kDefaultGroupSize;
  return true;
}

}  // namespace orvalis
