#include "ui/results/view_text.h"

#include <algorithm>

#include "engine/encoding.h"

namespace orvalis {
namespace {

constexpr char kEndOfText = '\x1A';

// The length that a UTF-8 lead byte announces; 0 for a byte that leads nothing.
std::size_t announcedLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// How many bytes the character at the start of a UTF-8 text takes: its valid
// sequence, or 1 for a byte that begins none. 0 when the text ends before the
// length its lead byte announces and more bytes may follow (not `last`): the
// next piece decides, and deciding later gives what deciding on the whole
// text would.
std::size_t nextCharLength(std::string_view rest, bool last, bool& valid) {
  const std::size_t length = utf8SequenceLength(rest);
  if (length != 0) {
    valid = true;
    return length;
  }
  if (!last && rest.size() < announcedLength(static_cast<unsigned char>(rest.front()))) return 0;
  valid = false;
  return 1;
}

void appendThreeByteCharacter(std::string& out, unsigned code) {
  out += static_cast<char>(0xE0 | (code >> 12));
  out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  out += static_cast<char>(0x80 | (code & 0x3F));
}

// An ASCII byte as the view shows it: a control character other than tab and
// line feed as its control picture (U+2400 to U+241F, U+2421 for DEL), so that
// it shows where it stands and a carriage return is never read as a line break.
void appendAscii(std::string& out, unsigned char byte) {
  if (byte == 0x7F) {
    appendThreeByteCharacter(out, 0x2421);
  } else if (byte < 0x20 && byte != '\t' && byte != '\n') {
    appendThreeByteCharacter(out, 0x2400 + byte);
  } else {
    out += static_cast<char>(byte);
  }
}

}  // namespace

void TextModeStream::feed(std::string_view raw, std::string& out) {
  for (const char c : raw) {
    if (ended_) return;
    if (heldReturn_) {
      heldReturn_ = false;
      if (c == '\n') {
        out += '\n';
        continue;
      }
      out += '\r';
    }
    if (c == kEndOfText) {
      ended_ = true;
    } else if (c == '\r') {
      heldReturn_ = true;
    } else {
      out += c;
    }
  }
}

void TextModeStream::finish(std::string& out) {
  if (heldReturn_) out += '\r';
  heldReturn_ = false;
}

void Utf8Check::feed(std::string_view text) {
  if (!valid_) return;
  std::string joined = std::move(tail_);
  joined.append(text);
  std::string_view rest = joined;
  while (!rest.empty()) {
    bool characterValid = true;
    const std::size_t length = nextCharLength(rest, false, characterValid);
    if (length == 0) break;
    if (!characterValid) {
      valid_ = false;
      return;
    }
    rest.remove_prefix(length);
  }
  tail_ = std::string(rest);
}

bool Utf8Check::finish() {
  // A sequence still unfinished at the end of the text is not valid.
  if (!tail_.empty()) valid_ = false;
  tail_.clear();
  return valid_;
}

void ViewPositions::append(int bytes, int units) {
  if (runs_.empty() || runs_.back().bytesEach != bytes || runs_.back().unitsEach != units) {
    runs_.push_back({bytes_, units_, bytes, units});
  }
  bytes_ += bytes;
  units_ += units;
}

std::int64_t ViewPositions::locate(std::int64_t offset, bool roundUp) const {
  const auto after =
      std::upper_bound(runs_.begin(), runs_.end(), offset,
                       [](std::int64_t value, const Run& run) { return value < run.byteStart; });
  const Run& run = *std::prev(after);
  const std::int64_t within = offset - run.byteStart;
  std::int64_t characters = within / run.bytesEach;
  if (roundUp && within % run.bytesEach != 0) ++characters;
  return run.unitStart + characters * run.unitsEach;
}

std::int64_t ViewPositions::positionOf(std::int64_t offset) const {
  if (offset >= bytes_) return units_;
  if (offset <= 0) return 0;
  return locate(offset, false);
}

ViewRange ViewPositions::rangeOf(std::int64_t start, std::int64_t end) const {
  const std::int64_t first = positionOf(start);
  if (end <= start) return {first, first};
  // An end at or before the text's start ends there too; locate() needs an
  // offset inside the text, which an empty text does not have.
  if (end <= 0) return {first, first};
  const std::int64_t last = end >= bytes_ ? units_ : locate(end, true);
  return {first, std::max(first, last)};
}

void ViewTextDecoder::feed(std::string_view text, std::string& out) {
  if (tail_.empty()) {
    tail_ = std::string(text.substr(decode(text, false, out)));
    return;
  }
  std::string joined = std::move(tail_);
  joined.append(text);
  tail_ = joined.substr(decode(joined, false, out));
}

void ViewTextDecoder::finish(std::string& out) {
  decode(tail_, true, out);
  tail_.clear();
}

std::size_t ViewTextDecoder::decode(std::string_view text, bool last, std::string& out) {
  std::size_t done = 0;
  while (done < text.size()) {
    const auto byte = static_cast<unsigned char>(text[done]);
    if (byte < 0x80) {
      appendAscii(out, byte);
      positions_.append(1, 1);
      ++done;
      continue;
    }
    if (!utf8_) {
      out += windows1252ToUtf8(text.substr(done, 1));
      positions_.append(1, 1);
      ++done;
      continue;
    }
    bool valid = true;
    const std::size_t length = nextCharLength(text.substr(done), last, valid);
    if (length == 0) break;
    if (valid) {
      out.append(text.substr(done, length));
      // Above U+FFFF the toolkit counts two units, as UTF-16 does.
      positions_.append(static_cast<int>(length), length == 4 ? 2 : 1);
    } else {
      // Possible only when the file changed after its text was checked.
      appendThreeByteCharacter(out, 0xFFFD);
      positions_.append(1, 1);
    }
    done += length;
  }
  return done;
}

}  // namespace orvalis
