// The settings store of this platform for one test, and direct access to what
// it holds: the same tests run against the settings file and the registry.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/settings.h"
#include "tests/support/temp_dir.h"

namespace orvalis::testing {

class ScratchSettings {
 public:
  // A temporary settings file, which XDG_CONFIG_DIRS names for this process and
  // its children; on Windows (a fresh Wine prefix) the machine's own key
  // HKEY_LOCAL_MACHINE\SOFTWARE\Tovimar\Orvalis, removed at the end.
  ScratchSettings();
  ~ScratchSettings();
  ScratchSettings(const ScratchSettings&) = delete;
  ScratchSettings& operator=(const ScratchSettings&) = delete;

  // False when the key already existed on Windows: a real installation's
  // settings are never touched, and the test must be skipped.
  bool usable() const { return usable_; }
  const char* unusableReason() const;

  SettingsStore& store() { return *store_; }

  // Replaces the whole key with these values, each stored as text (REG_SZ).
  void write(const std::vector<std::pair<std::string, std::string>>& values);

 private:
  TempDir folder_;
  std::unique_ptr<SettingsStore> store_;
  bool usable_ = true;
};

}  // namespace orvalis::testing
