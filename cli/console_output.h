// Standard output and standard error of orvalis-scan on Windows. The program
// writes UTF-8; a console shows it through WriteConsoleW, as UTF-16, whatever
// its code page, and a pipe or a file gets the UTF-8 bytes unchanged.
#pragma once

#include <cstddef>
#include <streambuf>
#include <string>
#include <string_view>

namespace orvalis::cli {

// The length of the longest prefix of `bytes` that does not stop inside a
// UTF-8 sequence: the start of a sequence whose remaining bytes have not come
// yet waits for the next write. Bytes that cannot start or continue a sequence
// never wait.
std::size_t completeUtf8Length(std::string_view bytes);

#ifdef _WIN32
// A standard handle as a stream buffer: text is collected and written when
// the stream is flushed.
class ConsoleOutputBuffer : public std::streambuf {
 public:
  // `handle` is a Windows HANDLE, such as GetStdHandle(STD_OUTPUT_HANDLE).
  explicit ConsoleOutputBuffer(void* handle);
  ~ConsoleOutputBuffer() override;
  ConsoleOutputBuffer(const ConsoleOutputBuffer&) = delete;
  ConsoleOutputBuffer& operator=(const ConsoleOutputBuffer&) = delete;

  // Whether the handle is a console rather than a pipe or a file.
  bool isConsole() const { return console_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  // Writes what is pending, as far as it is complete text; false on failure.
  bool writePending();

  void* handle_;
  bool console_;
  std::string pending_;
};

// A UTF-16 argument of the command line as UTF-8.
std::string utf8FromWide(const wchar_t* text);
#endif

}  // namespace orvalis::cli
