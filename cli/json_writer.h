// The pieces of JSON text that orvalis-scan writes: strings, numbers, null.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvalis::cli {

// Appends `text` as a JSON string: quoted, with '"', '\' and every control
// character below 0x20 escaped. Bytes that are not valid UTF-8 become U+FFFD,
// so the output is always valid UTF-8.
void appendJsonString(std::string& out, std::string_view text);

// Appends the shortest decimal digits that read back as the same 32-bit float;
// null for infinities and NaN, which JSON cannot express.
void appendJsonFloat(std::string& out, float value);

void appendJsonInteger(std::string& out, std::int64_t value);

}  // namespace orvalis::cli
