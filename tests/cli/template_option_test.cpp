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

TEST(TemplateOptions, AreRepeatableAndCheckedLikeTheOthers) {
  struct Case {
    std::vector<std::string> args;
    std::string expected;  // templates and max-files, or the error
  };
  const Case cases[] = {
      {{"--template", "a.tpl", "f", "--template=starter"}, "a.tpl|starter|-"},
      {{"--max-files", "5", "f"}, "5"},
      {{"--max-files=1", "f"}, "1"},
      {{"--template=", "f"}, "error: option --template needs a file or folder name"},
      {{"--max-files", "0", "f"},
       "error: option --max-files needs a whole number of 1 or more, not '0'"},
      {{"f", "--template"}, "error: option --template needs a value"},
  };
  for (const Case& c : cases) {
    const ParseResult result = parseArguments(c.args);
    std::string text;
    if (!result.ok()) {
      text = "error: " + result.error;
    } else {
      for (const auto& path : result.options.templates) text += path.string() + "|";
      text += result.options.maxFiles ? std::to_string(*result.options.maxFiles) : "-";
    }
    EXPECT_EQ(text, c.expected);
  }
}

// A folder of three essays that share a header, the template among them.
struct Folder {
  testing::TempDir dir;
  std::string header =
      "Question one: explain in your own words why the sky looks blue on a clear day and red at "
      "sunset, with one example";

  Folder() {
    dir.write("a.txt", header + " light scatters on small molecules far more when it is blue");
    dir.write("b.txt", header + " the colour depends on the path through the air at dusk");
    dir.write("c.txt", header + " I do not know the answer to this question at all");
    dir.write("starter/question.txt", header);
    dir.write("starter/notes.md", "not a template: another extension");
  }

  std::pair<int, std::string> scan(std::vector<std::string> extra, std::string* err = nullptr) {
    std::vector<std::string> args = {(dir.path() / "a.txt").string(), "--json", "--all"};
    args.insert(args.end(), extra.begin(), extra.end());
    const ParseResult parsed = parseArguments(args);
    EXPECT_TRUE(parsed.ok()) << parsed.error;
    testing::ScratchSettings settings;
    std::ostringstream out, errors;
    const int status = runScan(parsed.options, settings.store(), out, errors, false);
    if (err != nullptr) *err = errors.str();
    return {status, out.str()};
  }
};

TEST(TemplateScan, ATemplateIsNeverComparedAndItsTextMatchesNothing) {
  Folder folder;
  folder.dir.write("question.txt", folder.header);  // a template in the scanned folder
  const std::string inFolder = (folder.dir.path() / "question.txt").string();
  const std::string starter = (folder.dir.path() / "starter").string();
  for (const auto& option :
       {std::vector<std::string>{"--template", inFolder},
        std::vector<std::string>{"--template", starter, "--template", inFolder}}) {
    const auto [status, json] = folder.scan(option);
    ASSERT_EQ(status, kExitSuccess);
    EXPECT_EQ(json.find("\"displayName\": \"question.txt\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"displayName\": \"c.txt\""), std::string::npos) << json;
    // Three essays, three comparisons; the header scores in none of them.
    EXPECT_NE(json.find("\"comparisons\": 3,"), std::string::npos) << json;
    EXPECT_EQ(json.find("Question one"), std::string::npos) << json;
    EXPECT_NE(json.find("{\"index\": 2, \"templateWords\": 23, \"commonWords\": 0}"),
              std::string::npos)
        << json;
  }
  // Without the template, the header is the match of every pair.
  const auto [status, json] = folder.scan({});
  EXPECT_NE(json.find("Question one"), std::string::npos);
  EXPECT_EQ(json.find("\"setAside\""), std::string::npos);
}

TEST(TemplateScan, CommonPassagesAreSetAsideAndReported) {
  Folder folder;
  const auto [status, json] = folder.scan({"--max-files", "2"});
  ASSERT_EQ(status, kExitSuccess);
  EXPECT_EQ(json.find("Question one"), std::string::npos) << json;
  EXPECT_NE(json.find("\"setAside\": {\"templates\": [], \"maxFiles\": 2, \"passageWords\": 8"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("{\"index\": 0, \"templateWords\": 0, \"commonWords\": 23}"),
            std::string::npos)
      << json;
}

TEST(TemplateScan, AMissingTemplateOrATemplateFolderWithoutFilesIsAnError) {
  Folder folder;
  std::string err;
  const auto [missing, json] =
      folder.scan({"--template", (folder.dir.path() / "none.txt").string()}, &err);
  EXPECT_EQ(missing, kExitError);
  EXPECT_NE(err.find("error: cannot read template"), std::string::npos) << err;
  folder.dir.write("empty/other.md", "x");
  const auto [empty, json2] =
      folder.scan({"--template", (folder.dir.path() / "empty").string()}, &err);
  EXPECT_EQ(empty, kExitError);
  EXPECT_EQ(err, "error: no template file found\n");
}

}  // namespace
}  // namespace orvalis::cli
