// Fuzzes the reading of the settings file: finding each value's text in the
// file's contents, turning the texts into numbers and loading them into an
// engine. The input is the whole contents of the file.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "engine/encoding.h"
#include "engine/records.h"
#include "engine/settings.h"
#include "fuzz/fuzz_check.h"

namespace orvalis {
namespace {

// A store whose file holds the fuzz input.
class ContentsStore : public SettingsStore {
 public:
  explicit ContentsStore(std::string_view contents) : contents_(contents) {}
  bool keyExists() override { return true; }
  void createWithDefaults() override {}
  std::optional<std::string> readValue(std::string_view name) override {
    return settingsFileValue(contents_, name);
  }

 private:
  std::string_view contents_;
};

// The value written another way: line by line, the first line that begins
// with "name=", a CR before the line's end dropped.
std::optional<std::string> expectedValue(std::string_view contents, std::string_view name) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (contents.starts_with(kByteOrderMark)) contents.remove_prefix(kByteOrderMark.size());
  std::istringstream lines{std::string(contents)};
  const std::string prefix = std::string(name) + "=";
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    std::string text = line.substr(prefix.size());
    if (utf16Length(text) > 126) return std::nullopt;
    return text;
  }
  return std::nullopt;
}

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Compares the number of a text with the C library's reading where the two
// agree by design: a decimal number, not hexadecimal, infinity or NaN, which
// the C library reads and the settings do not. A result too small for a normal
// double may be 0 or the C library's subnormal.
void checkNumber(const std::string& text) {
  const double value = parseSettingNumber(text);
  FUZZ_CHECK(!std::isnan(value));
  std::size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const bool decimal =
      i < text.size() &&
      (isDigit(text[i]) || (text[i] == '.' && i + 1 < text.size() && isDigit(text[i + 1])));
  const bool hexadecimal = text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0;
  if (!decimal) {
    FUZZ_CHECK(value == 0.0);
    return;
  }
  if (hexadecimal) return;
  errno = 0;
  const double expected = std::strtod(text.c_str(), nullptr);
  if (std::fabs(expected) < 0x1p-1022 && value == 0.0) return;
  FUZZ_CHECK(value == expected && std::signbit(value) == std::signbit(expected));
}

}  // namespace
}  // namespace orvalis

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvalis;
  const std::string_view contents(reinterpret_cast<const char*>(data), size);

  const char* names[] = {kMismatchScoreName, kGapScoreName, kGroupSizeName};
  std::optional<std::string> texts[3];
  for (int i = 0; i < 3; ++i) {
    texts[i] = settingsFileValue(contents, names[i]);
    FUZZ_CHECK(texts[i] == expectedValue(contents, names[i]));
    // strtod needs a NUL-terminated text; one with a NUL inside ends there.
    if (texts[i] && texts[i]->find('\0') == std::string::npos) checkNumber(*texts[i]);
  }

  // Loading stores each value that is there and leaves the others alone.
  ContentsStore store(contents);
  CompareEngine engine;
  engine.mismatchScore = 7.0f;
  engine.gapScore = 8.0f;
  engine.groupSize = 9;
  const bool allRead = loadScanSettings(store, engine);
  FUZZ_CHECK(allRead == (texts[0] && texts[1] && texts[2]));
  FUZZ_CHECK(texts[0] ? !std::isnan(engine.mismatchScore) : engine.mismatchScore == 7.0f);
  FUZZ_CHECK(texts[1] ? !std::isnan(engine.gapScore) : engine.gapScore == 8.0f);
  if (!texts[2]) FUZZ_CHECK(engine.groupSize == 9);
  const std::int32_t before = engine.groupSize;
  FUZZ_CHECK(replaceUnusableGroupSize(engine) == (before < 2));
  FUZZ_CHECK(engine.groupSize >= 2);
  return 0;
}
