#include "cli/console_output.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <cwchar>

namespace orvalis::cli {

std::size_t completeUtf8Length(std::string_view bytes) {
  // Only the last three bytes can belong to an unfinished sequence.
  const std::size_t size = bytes.size();
  for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
    const auto byte = static_cast<unsigned char>(bytes[size - back]);
    if (byte < 0x80) return size;  // ASCII ends every sequence before it
    if (byte < 0xC0) continue;     // a continuation byte: look further back
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
    if (byte >= 0xF5 || byte < 0xC2) return size;  // never starts a sequence
    return length > back ? size - back : size;
  }
  return size;
}

#ifdef _WIN32

namespace {

// Bytes kept before a write even without a flush.
constexpr std::size_t kFlushSize = 4096;

bool writeConsole(HANDLE handle, std::string_view utf8) {
  if (utf8.empty()) return true;
  const int size = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (units <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), units);
  const wchar_t* next = wide.data();
  DWORD left = static_cast<DWORD>(wide.size());
  while (left > 0) {
    DWORD written = 0;
    if (!WriteConsoleW(handle, next, left, &written, nullptr) || written == 0) return false;
    next += written;
    left -= written;
  }
  return true;
}

bool writeFile(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace

ConsoleOutputBuffer::ConsoleOutputBuffer(void* handle) : handle_(handle), console_(false) {
  DWORD mode = 0;
  console_ = handle != nullptr && handle != INVALID_HANDLE_VALUE &&
             GetConsoleMode(static_cast<HANDLE>(handle), &mode) != 0;
}

ConsoleOutputBuffer::~ConsoleOutputBuffer() {
  // An unfinished sequence at the very end is shown as it is converted.
  writePending();
  if (console_ && !pending_.empty()) writeConsole(static_cast<HANDLE>(handle_), pending_);
}

ConsoleOutputBuffer::int_type ConsoleOutputBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  pending_ += traits_type::to_char_type(c);
  if (pending_.size() >= kFlushSize && !writePending()) return traits_type::eof();
  return c;
}

std::streamsize ConsoleOutputBuffer::xsputn(const char* text, std::streamsize count) {
  pending_.append(text, static_cast<std::size_t>(count));
  if (pending_.size() >= kFlushSize && !writePending()) return 0;
  return count;
}

int ConsoleOutputBuffer::sync() { return writePending() ? 0 : -1; }

bool ConsoleOutputBuffer::writePending() {
  if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) {
    pending_.clear();
    return false;
  }
  const auto handle = static_cast<HANDLE>(handle_);
  if (!console_) {
    const bool ok = writeFile(handle, pending_);
    pending_.clear();
    return ok;
  }
  // A character cut between two writes is converted once all of it is here.
  const std::size_t complete = completeUtf8Length(pending_);
  const bool ok = writeConsole(handle, std::string_view(pending_).substr(0, complete));
  pending_.erase(0, complete);
  return ok;
}

std::string utf8FromWide(const wchar_t* text) {
  const int size = static_cast<int>(std::wcslen(text));
  if (size == 0) return {};
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, size, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

#endif

}  // namespace orvalis::cli
