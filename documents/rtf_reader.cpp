#include "documents/rtf_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/encoding.h"

namespace orvalis::documents {
namespace {

enum class Destination : std::uint8_t { kBody, kFootnote, kEndnote, kSkipped };

// What a group inherits from the group around it and may change for itself.
struct GroupState {
  Destination destination = Destination::kBody;
  int fallbackLength = 1;  // \ucN: characters that stand in for each \u
  bool deleted = false;    // \deleted: a tracked deletion
  bool firstToken = true;  // nothing read in the group yet
  bool textBox = false;    // \shptxt: a text box, kept apart from the text around it
};

// Destinations whose content is not text of the document.
bool isSkippedDestination(std::string_view word) {
  static constexpr std::string_view kSkipped[] = {
      "fonttbl",      "colortbl",   "stylesheet",
      "info",         "pict",       "header",
      "headerl",      "headerr",    "headerf",
      "footer",       "footerl",    "footerr",
      "footerf",      "listtable",  "listoverridetable",
      "revtbl",       "rsidtbl",    "generator",
      "xmlnstbl",     "themedata",  "colorschememapping",
      "latentstyles", "datastore",  "fldinst",
      "pntext",       "pntxta",     "pntxtb",
      "listtext",     "objdata",    "nonshppict",
      "template",     "filetbl",    "mmathPr",
      "userprops",    "annotation", "atnid",
      "atnauthor",    "atrfstart",  "atrfend",
      "sp",           "bkmkstart",  "bkmkend",
      "txe",          "objclass",   "shprslt"};
  for (const std::string_view skipped : kSkipped) {
    if (word == skipped) return true;
  }
  return false;
}

class RtfParser {
 public:
  RtfParser(std::string_view bytes, const DocumentLimits& limits)
      : in_(bytes),
        limits_(limits),
        body_(limits.textSize),
        footnotes_(limits.textSize),
        endnotes_(limits.textSize) {}

  DocumentText run() {
    groups_.push_back({});
    groups_.back().destination = Destination::kSkipped;  // nothing counts before "{\rtf"
    while (pos_ < in_.size()) {
      const char c = in_[pos_];
      if (c == '{') {
        ++pos_;
        flushBytes();
        ignoreUnknown_ = false;
        if (static_cast<int>(groups_.size()) > limits_.depth) {
          return {{}, "it nests groups deeper than " + std::to_string(limits_.depth) + " levels"};
        }
        GroupState inner = groups_.back();
        inner.firstToken = true;
        groups_.push_back(inner);
        skipFallback_ = 0;
      } else if (c == '}') {
        ++pos_;
        closeGroup();
        if (groups_.size() == 1) break;  // the end of the document
        skipFallback_ = 0;
      } else if (c == '\\') {
        ++pos_;
        controlWord();
        state().firstToken = false;
      } else if (c == '\r' || c == '\n') {
        ++pos_;  // line breaks in the file are not text
      } else {
        ++pos_;
        state().firstToken = false;
        if (c == '\t') {
          character(U'\t');
        } else {
          byte(static_cast<unsigned char>(c));
        }
      }
      if (body_.overflowed() || footnotes_.overflowed() || endnotes_.overflowed()) {
        return {{}, tooMuchTextReason(limits_.textSize)};
      }
    }
    if (groups_.size() != 1 || !sawRtf_) {
      return {{}, "it ends before its last group is closed (the file is incomplete)"};
    }
    body_.appendParagraphs(footnotes_);
    body_.appendParagraphs(endnotes_);
    return finishText(body_, limits_.textSize);
  }

 private:
  GroupState& state() { return groups_.back(); }

  TextBuilder* target() {
    if (state().deleted) return nullptr;
    switch (state().destination) {
      case Destination::kBody:
        return &body_;
      case Destination::kFootnote:
        return &footnotes_;
      case Destination::kEndnote:
        return &endnotes_;
      case Destination::kSkipped:
        return nullptr;
    }
    return nullptr;
  }

  void closeGroup() {
    flushBytes();
    ignoreUnknown_ = false;
    const Destination closing = state().destination;
    if (state().textBox && groups_.size() >= 2 && !groups_[groups_.size() - 2].textBox) {
      if (TextBuilder* out = target()) out->endParagraph();
    }
    groups_.pop_back();
    if (groups_.empty()) {
      groups_.push_back({});  // an unbalanced '}' at the top: ignored
      return;
    }
    // A note ends its own paragraph, so that the next note starts a new one.
    if (closing != state().destination) {
      if (closing == Destination::kFootnote) footnotes_.endParagraph();
      if (closing == Destination::kEndnote) endnotes_.endParagraph();
    }
  }

  // A character of the document, after any fallback characters are skipped.
  void character(char32_t c) {
    if (skipFallback_ > 0) {
      --skipFallback_;
      return;
    }
    flushBytes();
    if (TextBuilder* out = target()) out->appendCodePoint(c);
  }

  // A byte of text in the document's code page.
  void byte(unsigned char b) {
    if (skipFallback_ > 0) {
      --skipFallback_;
      return;
    }
    if (target() == nullptr) return;
    pendingBytes_ += static_cast<char>(b);
  }

  // Bytes in the code page, decoded once a run of them ends.
  void flushBytes() {
    if (pendingBytes_.empty()) return;
    const std::string text = windows1252ToUtf8(pendingBytes_);
    pendingBytes_.clear();
    if (TextBuilder* out = target()) out->append(text);
  }

  void unicode(std::int32_t value) {
    // Values above 32767 are written as negative numbers.
    auto unit = static_cast<char32_t>(value < 0 ? value + 65536 : value);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      highSurrogate_ = unit;
      skipFallback_ = state().fallbackLength;
      return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF && highSurrogate_ != 0) {
      unit = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00);
    }
    highSurrogate_ = 0;
    skipFallback_ = 0;
    character(unit);
    skipFallback_ = state().fallbackLength;
  }

  void controlWord() {
    if (pos_ >= in_.size()) return;
    const char first = in_[pos_];
    const bool letter = (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z');
    if (!letter) {
      ++pos_;
      controlSymbol(first);
      return;
    }
    const std::size_t start = pos_;
    while (pos_ < in_.size() && pos_ - start < 32 &&
           ((in_[pos_] >= 'a' && in_[pos_] <= 'z') || (in_[pos_] >= 'A' && in_[pos_] <= 'Z'))) {
      ++pos_;
    }
    const std::string_view word = in_.substr(start, pos_ - start);
    bool hasValue = false;
    bool negative = false;
    std::int64_t value = 0;
    if (pos_ < in_.size() && in_[pos_] == '-') {
      negative = true;
      ++pos_;
    }
    while (pos_ < in_.size() && in_[pos_] >= '0' && in_[pos_] <= '9') {
      if (value < 100'000'000) value = value * 10 + (in_[pos_] - '0');
      hasValue = true;
      ++pos_;
    }
    if (negative) value = -value;
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;  // the delimiter belongs to the word
    handleWord(word, hasValue, static_cast<std::int32_t>(value));
  }

  void controlSymbol(char symbol) {
    switch (symbol) {
      case '\\':
      case '{':
      case '}':
        byte(static_cast<unsigned char>(symbol));
        return;
      case '~':
        character(0xA0);
        return;
      case '-':
        character(0xAD);  // an optional hyphen
        return;
      case '_':
        character(0x2011);
        return;
      case '*':
        // An optional destination: left out unless it is one read as text.
        if (state().firstToken) ignoreUnknown_ = true;
        return;
      case '\'': {
        if (pos_ + 2 > in_.size()) {
          pos_ = in_.size();
          return;
        }
        const int high = hexValue(in_[pos_]);
        const int low = hexValue(in_[pos_ + 1]);
        pos_ += 2;
        if (high >= 0 && low >= 0) byte(static_cast<unsigned char>(high * 16 + low));
        return;
      }
      case '\r':
      case '\n':
        paragraph();  // a backslash before a line break is a paragraph mark
        return;
      default:
        return;
    }
  }

  static int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  void paragraph() {
    if (skipFallback_ > 0) {
      --skipFallback_;
      return;
    }
    flushBytes();
    if (TextBuilder* out = target()) out->endParagraph();
  }

  void handleWord(std::string_view word, bool hasValue, std::int32_t value) {
    const bool optional = ignoreUnknown_;
    ignoreUnknown_ = false;
    if (word == "rtf" && groups_.size() == 2 && !sawRtf_) {
      sawRtf_ = true;
      state().destination = Destination::kBody;
      return;
    }
    if (word == "bin") {
      // Binary data of `value` bytes follows, read as nothing.
      flushBytes();
      const auto count = static_cast<std::size_t>(hasValue && value > 0 ? value : 0);
      pos_ += std::min(count, in_.size() - pos_);
      return;
    }
    if (word == "u" && hasValue) {
      unicode(value);
      return;
    }
    if (word == "uc" && hasValue) {
      state().fallbackLength = std::clamp<std::int32_t>(value, 0, 16);
      return;
    }
    if (word == "footnote") {
      flushBytes();
      if (state().destination != Destination::kSkipped) {
        state().destination = Destination::kFootnote;
      }
      return;
    }
    if (word == "shptxt") {
      if (TextBuilder* out = target()) out->endParagraph();
      state().textBox = true;
      return;
    }
    if (word == "ftnalt") {
      if (state().destination == Destination::kFootnote)
        state().destination = Destination::kEndnote;
      return;
    }
    if (word == "deleted") {
      flushBytes();
      state().deleted = !hasValue || value != 0;
      return;
    }
    if (word == "plain") {
      flushBytes();
      state().deleted = false;
      return;
    }
    if (isSkippedDestination(word) ||
        (optional && word != "shpinst" && word != "shptxt" && word != "fldrslt")) {
      flushBytes();
      state().destination = Destination::kSkipped;
      return;
    }
    if (word == "par" || word == "line" || word == "sect" || word == "page" || word == "cell" ||
        word == "row" || word == "nestcell" || word == "nestrow") {
      paragraph();
      return;
    }
    static constexpr std::array<std::pair<std::string_view, char32_t>, 11> kCharacters = {{
        {"tab", U'\t'},
        {"emdash", 0x2014},
        {"endash", 0x2013},
        {"bullet", 0x2022},
        {"lquote", 0x2018},
        {"rquote", 0x2019},
        {"ldblquote", 0x201C},
        {"rdblquote", 0x201D},
        {"emspace", U' '},
        {"enspace", U' '},
        {"qmspace", U' '},
    }};
    for (const auto& [name, c] : kCharacters) {
      if (word == name) {
        character(c);
        return;
      }
    }
    // Any other control word sets formatting: it is neither text nor a
    // fallback character.
  }

  std::string_view in_;
  std::size_t pos_ = 0;
  const DocumentLimits& limits_;
  std::vector<GroupState> groups_;
  TextBuilder body_;
  TextBuilder footnotes_;
  TextBuilder endnotes_;
  std::string pendingBytes_;
  int skipFallback_ = 0;
  char32_t highSurrogate_ = 0;
  bool ignoreUnknown_ = false;
  bool sawRtf_ = false;
};

}  // namespace

DocumentText readRtf(std::string_view bytes, const DocumentLimits& limits) {
  return RtfParser(bytes, limits).run();
}

}  // namespace orvalis::documents
