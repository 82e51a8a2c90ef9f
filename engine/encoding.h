// Turning the bytes of a file's text or name into text for display.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orvalis {

bool isValidUtf8(std::string_view bytes);

// Length of the valid UTF-8 sequence at the start of `bytes`: 1 to 4, or 0 when
// `bytes` is empty or does not begin with a whole valid sequence.
std::size_t utf8SequenceLength(std::string_view bytes);

// The number of UTF-16 code units of a UTF-8 text: one per character, two
// above U+FFFF, and one for each byte outside a valid sequence.
std::size_t utf16Length(std::string_view bytes);

// Each byte as its Windows-1252 character, in UTF-8. The five bytes that
// Windows-1252 leaves undefined become the C1 controls of the same value.
std::string windows1252ToUtf8(std::string_view bytes);

// The bytes themselves when they are UTF-8, otherwise their Windows-1252 reading.
std::string decodeForDisplay(std::string_view bytes);

// Bytes of a text whose encoding was decided for the whole file: kept when the
// file is UTF-8 (invalid sequences, possible only in a piece cut from a changed
// file, become U+FFFD), read as Windows-1252 otherwise.
std::string decodeTextPiece(std::string_view bytes, bool fileIsUtf8);

// UTF-16 text as UTF-8; a surrogate without its partner, which Windows
// allows in a file name, becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

// A path or file name for display, always valid UTF-8.
std::string displayText(const std::filesystem::path& path);

// displayText fit for output of one record per line: line breaks, tabs and
// other control characters are written as \n, \r, \t or \xHH.
std::string lineText(const std::filesystem::path& path);

}  // namespace orvalis
