// A scan whose engine has a text source: files the source takes over are
// compared by the text it gives, on the scan's threads, and read again through
// it for views and reports; every other file is read as plain text.
#include "engine/text_source.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "engine/scan.h"
#include "engine/text.h"
#include "tests/support/scan_fixture.h"

namespace orvalis {
namespace {

// Takes over files named *.doc: "bad.doc" cannot be read, others give the
// words of the essay below.
class FakeSource final : public TextSource {
 public:
  std::optional<SourceText> read(const std::filesystem::path& path) const override {
    if (path.extension() != ".doc") return std::nullopt;
    SourceText text;
    text.format = "doc";
    if (path.stem() == "bad") {
      text.error = "it is damaged";
    } else {
      text.text = "one two\nthree four five";
    }
    return text;
  }
};

struct Recorder final : ScanTarget {
  void post(std::uint32_t message, std::int64_t wParam, std::int64_t lParam) override {
    std::lock_guard lock(mutex);
    if (message == WM_SCAN_READING)
      reading.push_back(std::to_string(wParam) + "/" + std::to_string(lParam));
  }
  void filesUnreadable(const std::vector<UnreadableFile>& files) override { unreadable = files; }
  void scanFailed(const std::string&) override {}
  void showNotice(const std::string&) override {}
  std::mutex mutex;
  std::vector<std::string> reading;
  std::vector<UnreadableFile> unreadable;
};

TEST(TextSource, DocumentsAreComparedByTheTextTheSourceGives) {
  for (const int threads : {1, 3}) {
    testing::TempDir dir;
    const FakeSource source;
    Recorder target;
    CompareEngine engine;
    engine.textSource = &source;
    engine.comparisonThreads = threads;
    const auto plain = dir.write("plain.txt", "one two three four five\r\n");
    testing::runScan(engine, {plain, dir.write("a.doc", "PK binary"), dir.write("bad.doc", "x")},
                     &target);

    ASSERT_EQ(target.reading.size(), 2u) << threads;  // one message per document
    EXPECT_EQ(target.reading.back().substr(target.reading.back().find('/')), "/3");
    ASSERT_EQ(target.unreadable.size(), 1u);
    EXPECT_EQ(target.unreadable[0].reason, "it is damaged");
    const FileEntry& document = *engine.fileTable.at(1);
    EXPECT_EQ(document.format, "doc");
    EXPECT_EQ(engine.fileTable.at(0)->format, "");
    const PairResult& match = engine.pairResults.at(0);  // a.doc against plain.txt
    EXPECT_EQ(match.score, 5.0f);
    EXPECT_EQ(match.endA, 23);

    std::string text;
    bool utf8 = false;
    EXPECT_FALSE(readEntryText(document, text, nullptr, &utf8));
    EXPECT_EQ(text, "one two\nthree four five");
    EXPECT_FALSE(readEntryText(*engine.fileTable.at(0), text));
    EXPECT_EQ(text, "one two three four five\n");
    EXPECT_EQ(readEntryText(*engine.fileTable.at(2), text).message, "it is damaged");
  }
}

}  // namespace
}  // namespace orvalis
