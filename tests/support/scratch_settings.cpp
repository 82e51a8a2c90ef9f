#include "tests/support/scratch_settings.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <stdlib.h>
#endif

#include <stdexcept>
#include <string_view>

namespace orvalis::testing {

#ifdef _WIN32

namespace {

std::wstring wide(std::string_view utf8) {
  const auto text = std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
  return text.native();
}

bool makerKeyExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tovimar", 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

void removeMakerKey() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tovimar"); }

}  // namespace

ScratchSettings::ScratchSettings()
    : store_(openSystemSettingsStore()), usable_(!makerKeyExists()) {}

ScratchSettings::~ScratchSettings() {
  if (usable_) removeMakerKey();
}

const char* ScratchSettings::unusableReason() const {
  return "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tovimar exists: this machine's settings are left alone";
}

void ScratchSettings::write(const std::vector<std::pair<std::string, std::string>>& values) {
  if (!usable_) throw std::logic_error(unusableReason());
  removeMakerKey();
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tovimar\\Orvalis", 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    throw std::runtime_error("cannot create the settings key");
  }
  for (const auto& [name, text] : values) {
    const std::wstring data = wide(text);
    RegSetValueExW(key, wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  }
  RegCloseKey(key);
}

#else

ScratchSettings::ScratchSettings() : store_(std::make_unique<XdgSettingsStore>(folder_.path())) {
  ::setenv("XDG_CONFIG_DIRS", folder_.path().c_str(), 1);
}

ScratchSettings::~ScratchSettings() = default;

const char* ScratchSettings::unusableReason() const { return ""; }

void ScratchSettings::write(const std::vector<std::pair<std::string, std::string>>& values) {
  std::string contents;
  for (const auto& [name, text] : values) contents += name + "=" + text + "\n";
  folder_.write("Tovimar/Orvalis.conf", contents);
}

#endif

}  // namespace orvalis::testing
