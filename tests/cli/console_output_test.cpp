#include "cli/console_output.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace orvalis::cli {
namespace {

// A console is written what has arrived so far; a character cut between two
// writes must wait whole for its last bytes, or it would be shown broken.
TEST(ConsoleOutput, TextIsWrittenUpToTheLastWholeCharacter) {
  const std::pair<std::string, std::size_t> cases[] = {
      {"", 0},
      {"abc", 3},
      {"a\xCE", 1},                 // first of two bytes
      {"a\xCE\x95", 3},             // Greek capital epsilon, whole
      {"a\xE4\xB8", 1},             // two of three bytes
      {"a\xE4\xB8\xAD", 4},         // a Chinese character, whole
      {"a\xF0\x9F\x98", 1},         // three of four bytes
      {"a\xF0\x9F\x98\x80", 5},     // above U+FFFF, whole
      {"a\x80\x80\x80", 4},         // stray continuation bytes do not wait
      {"a\xC0", 2},                 // nor a byte that never starts a sequence
      {"a\xF8", 2},                 //
      {"\xCE\x95\xCE\xBB\xCE", 4},  // only the last character waits
  };
  for (const auto& [bytes, length] : cases) {
    EXPECT_EQ(completeUtf8Length(bytes), length) << testing::PrintToString(bytes);
  }
}

}  // namespace
}  // namespace orvalis::cli
