#include <gtest/gtest.h>

#include <string>

#include "ui/main/dialog_texts.h"

namespace orvalis {
namespace {

// The first design's entry stays exactly as it was; the documents' follows it,
// before the entry for every file.
TEST(OpenDialogFilter, AddsTheDocumentsAfterTheFirstEntry) {
  const std::string first = toToolkitFilter(openFilterText());
  const std::string filter = openDialogFilter();
  ASSERT_EQ(filter.substr(0, first.size()), first);
  if (!ORVALIS_READ_OFFICE || !ORVALIS_READ_RTF || !ORVALIS_READ_PDF || !ORVALIS_READ_OLD_WORD) {
    GTEST_SKIP() << "this build lacks some readers of documents";
  }
  EXPECT_EQ(filter.substr(first.size()),
            ";;Documents (*.docx *.odt *.rtf *.pdf *.doc);;" + std::string(kAllFilesFilterEntry));
}

}  // namespace
}  // namespace orvalis
