#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/scan_command.h"
#include "tests/support/scratch_settings.h"
#include "tests/support/temp_dir.h"

namespace orvalis::cli {
namespace {

// Three essays that share the question, which is also a template file of the
// scanned folder and of a folder of templates: it is never compared, and its
// text matches nothing, whichever option sets it aside.
TEST(TemplateScan, ATemplateIsNeverComparedAndItsTextIsSetAsideAndReported) {
  testing::TempDir dir;
  const std::string question =
      "Question one: explain in your own words why the sky looks blue on a clear day and red at "
      "sunset, with one example";  // 23 words
  dir.write("a.txt", question + " light scatters on small molecules far more when it is blue");
  dir.write("b.txt", question + " the colour depends on the path through the air at dusk");
  dir.write("c.txt", question + " I do not know the answer to this question at all");
  const std::string inFolder = dir.write("question.txt", question).string();
  dir.write("starter/question.txt", question);
  dir.write("starter/notes.md", "not a template: another extension");
  const std::string starter = (dir.path() / "starter").string();
  struct Case {
    std::vector<std::string> options;
    bool questionScanned;    // the folder's question.txt, when it is not a template
    std::string fileIndex2;  // the words set aside in the third file, as the JSON says
  };
  const Case cases[] = {
      {{"--template", inFolder},
       false,
       "{\"index\": 2, \"templateWords\": 23, \"commonWords\": 0}"},
      {{"--max-files", "2", "--template", starter},
       true,
       "{\"index\": 2, \"templateWords\": 23, \"commonWords\": 0}"},
      {{"--max-files=2"}, true, "{\"index\": 2, \"templateWords\": 0, \"commonWords\": 23}"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {(dir.path() / "a.txt").string(), "--json", "--all"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ParseResult parsed = parseArguments(args);
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    testing::ScratchSettings settings;
    std::ostringstream out, err;
    ASSERT_EQ(runScan(parsed.options, settings.store(), out, err, false), kExitSuccess);
    const std::string json = out.str();
    EXPECT_EQ(json.find("\"displayName\": \"question.txt\"") != std::string::npos,
              c.questionScanned)
        << json;
    EXPECT_NE(json.find(c.questionScanned ? "\"comparisons\": 6," : "\"comparisons\": 3,"),
              std::string::npos);
    EXPECT_EQ(json.find("Question one"), std::string::npos) << json;
    EXPECT_NE(json.find(c.fileIndex2), std::string::npos) << json;
  }
}

}  // namespace
}  // namespace orvalis::cli
