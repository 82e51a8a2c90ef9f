// The settings as REG_SZ values of the registry key
// HKEY_LOCAL_MACHINE\SOFTWARE\Tovimar\Orvalis.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/settings.h"

namespace orvalis {
namespace {

constexpr const wchar_t* kKeyPath = L"SOFTWARE\\Tovimar\\Orvalis";
constexpr const wchar_t* kParentPath = L"SOFTWARE";
constexpr const wchar_t* kMakerKeyName = L"Tovimar";
constexpr const wchar_t* kProductKeyName = L"Orvalis";

// Each value is read into this many bytes; a value with more data counts as missing.
constexpr DWORD kReadBufferBytes = 255;

// Closes a registry key when it goes out of scope.
class KeyHandle {
 public:
  KeyHandle() = default;
  ~KeyHandle() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::wstring widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (units <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), units);
  return wide;
}

std::string narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

// Stores `text` as REG_SZ with its terminating NUL; the result is not looked at.
void writeText(HKEY key, const char* name, const char* text) {
  const std::wstring wideName = widen(name);
  const std::wstring wideText = widen(text);
  const DWORD bytes = static_cast<DWORD>((wideText.size() + 1) * sizeof(wchar_t));
  RegSetValueExW(key, wideName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wideText.c_str()),
                 bytes);
}

class RegistrySettingsStore final : public SettingsStore {
 public:
  bool keyExists() override {
    KeyHandle key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_READ, key.out()) == ERROR_SUCCESS;
  }

  // "SOFTWARE" is opened as it exists; "Tovimar" and "Orvalis" are created one
  // level at a time, or opened when they exist.
  void createWithDefaults() override {
    KeyHandle parent;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kParentPath, 0, KEY_CREATE_SUB_KEY, parent.out()) !=
        ERROR_SUCCESS) {
      return;
    }
    KeyHandle maker;
    DWORD disposition = 0;
    if (RegCreateKeyExW(parent.get(), kMakerKeyName, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_CREATE_SUB_KEY, nullptr, maker.out(), &disposition) != ERROR_SUCCESS) {
      return;
    }
    KeyHandle product;
    if (RegCreateKeyExW(maker.get(), kProductKeyName, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, product.out(), &disposition) != ERROR_SUCCESS) {
      return;
    }
    // Each write is made whatever became of the one before.
    writeText(product.get(), kMismatchScoreName, kDefaultMismatchScoreText);
    writeText(product.get(), kGapScoreName, kDefaultGapScoreText);
    writeText(product.get(), kGroupSizeName, kDefaultGroupSizeText);
  }

  // Whatever type the value has, its data are taken as UTF-16 text that ends at
  // the first NUL or at the end of the data.
  std::optional<std::string> readValue(std::string_view name) override {
    KeyHandle key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_READ, key.out()) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    const std::wstring wideName = widen(name);
    BYTE buffer[kReadBufferBytes];
    DWORD bytes = kReadBufferBytes;
    if (RegQueryValueExW(key.get(), wideName.c_str(), nullptr, nullptr, buffer, &bytes) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    if (bytes > kReadBufferBytes) bytes = kReadBufferBytes;
    // An odd last byte is half a UTF-16 unit and is dropped.
    std::wstring text(bytes / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), buffer, text.size() * sizeof(wchar_t));
    const auto end = text.find(L'\0');
    if (end != std::wstring::npos) text.resize(end);
    return narrow(text);
  }
};

}  // namespace

std::unique_ptr<SettingsStore> openSystemSettingsStore() {
  return std::make_unique<RegistrySettingsStore>();
}

}  // namespace orvalis
