// The three scan settings, kept as text in a machine-wide settings store: the
// Windows registry key SOFTWARE\Tovimar\Orvalis, or elsewhere the file
// Tovimar/Orvalis.conf in the system configuration folder.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/records.h"

namespace orvalis {

inline constexpr const char* kSettingsMissingMessage = "Error! Cannot find settings.";
inline constexpr const char* kGroupSizeTooSmallMessage =
    "Error! NUM_WORDS_PER_GROUPING must be 2 or more. Using 1000.";

inline constexpr const char* kMismatchScoreName = "MU";
inline constexpr const char* kGapScoreName = "DELTA";
inline constexpr const char* kGroupSizeName = "NUM_WORDS_PER_GROUPING";
inline constexpr const char* kDefaultMismatchScoreText = "-0.33";
inline constexpr const char* kDefaultGapScoreText = "-0.50";
inline constexpr const char* kDefaultGroupSizeText = "1000";

// A store of named text values under one key.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // Whether the key can be opened for reading.
  virtual bool keyExists() = 0;
  // Creates the key and writes the three default values, as far as it can.
  virtual void createWithDefaults() = 0;
  // The value's text, as UTF-8; nothing when it is missing, unreadable or too
  // long for the registry's 255-byte read buffer (more than 126 UTF-16 units).
  virtual std::optional<std::string> readValue(std::string_view name) = 0;
};

// Creates the key with its three defaults when the key cannot be opened.
// Never reports a failure.
void ensureDefaultSettings(SettingsStore& store);

// Stores each value it can read into the engine. True only when all three were
// read; a value that is not a number converts to 0 without complaint.
bool loadScanSettings(SettingsStore& store, CompareEngine& engine);

// Decimal text to number as the C runtime's _wtof does in the "C" locale: leading
// white space, an optional sign, digits, an optional "." and fraction, an
// optional exponent; stops at the first character that does not fit; 0.0 when
// no number begins the text.
double parseSettingNumber(std::string_view text);

// Replaces a group size below 2, which cannot group words, with the default.
// Returns true when it did; the caller then shows kGroupSizeTooSmallMessage.
bool replaceUnusableGroupSize(CompareEngine& engine);

// The store of this platform: the registry on Windows, otherwise the file
// Tovimar/Orvalis.conf in the first folder of XDG_CONFIG_DIRS (/etc/xdg when unset).
std::unique_ptr<SettingsStore> openSystemSettingsStore();

#ifndef _WIN32
// The text of the value `name` in the contents of a settings file: what follows
// "name=" on the first line that starts so, without the "\r" of a CR LF line
// end; a UTF-8 byte order mark at the start is passed over. Nothing when no line
// starts so or the text is too long for the registry's read buffer, as above.
std::optional<std::string> settingsFileValue(std::string_view contents, std::string_view name);

// The settings file below one configuration folder. The folder itself is
// opened as it exists and never created; "Tovimar" is created beneath it, and
// the file is written whole and renamed into place.
class XdgSettingsStore : public SettingsStore {
 public:
  explicit XdgSettingsStore(std::filesystem::path configFolder);
  // The first folder of XDG_CONFIG_DIRS, or /etc/xdg.
  static std::filesystem::path systemConfigFolder();
  std::filesystem::path filePath() const;

  bool keyExists() override;
  void createWithDefaults() override;
  std::optional<std::string> readValue(std::string_view name) override;

 private:
  std::filesystem::path configFolder_;
};
#endif

}  // namespace orvalis
