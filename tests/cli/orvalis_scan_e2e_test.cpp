// Runs the built orvalis-scan in a folder of each test's own, with a settings
// store of its own, and checks its exact output and exit status.
#include <gtest/gtest.h>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tests/support/scan_fixture.h"
#include "tests/support/scratch_settings.h"
#include "tests/support/temp_dir.h"

namespace orvalis::testing {
namespace {

// A file name given in UTF-8, in the platform's own form.
std::filesystem::path named(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

struct Child {
  int status = -1;  // the exit status; -1 when the program did not end normally
  std::string out, err;
};

#ifdef _WIN32

// One argument quoted for the command line as the C runtime splits it:
// backslashes are doubled only before a quote.
std::wstring quoted(const std::wstring& argument) {
  std::wstring text = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    text.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    text += c;
  }
  text.append(2 * backslashes, L'\\');
  return text + L"\"";
}

// Runs `program` with `args` (UTF-8, passed on as UTF-16) in `folder`, its
// output and errors written to the files `out` and `err`; the exit status.
int runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
               const std::filesystem::path& folder, const std::filesystem::path& out,
               const std::filesystem::path& err) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const auto create = [&](const std::filesystem::path& file) {
    return CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE outFile = create(out), errFile = create(err);
  const auto application = std::filesystem::absolute(program);
  std::wstring commandLine = quoted(application.native());
  for (const auto& arg : args) commandLine += L" " + quoted(named(arg).native());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = outFile;
  startup.hStdError = errFile;
  PROCESS_INFORMATION process{};
  const bool started =
      CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                     CREATE_NO_WINDOW, nullptr, folder.c_str(), &startup, &process);
  CloseHandle(outFile);
  CloseHandle(errFile);
  if (!started) return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}

#else

// As above; no argument holds a single quote.
int runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
               const std::filesystem::path& folder, const std::filesystem::path& out,
               const std::filesystem::path& err) {
  std::string command = "cd '" + folder.string() + "' && '" + program.string() + "'";
  for (const auto& arg : args) command += " '" + arg + "'";
  command += " >'" + out.string() + "' 2>'" + err.string() + "'";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

// A file path as the JSON document writes it on this platform, given with "/".
std::string jsonPath(std::string path) {
#ifdef _WIN32
  for (auto slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash)) {
    path.replace(slash, 1, "\\\\");  // one backslash, escaped
  }
#endif
  return path;
}

// The document with every file path left empty; the paths hold no quote.
std::string withoutPaths(std::string document) {
  const std::string key = "\"path\": \"";
  for (auto start = document.find(key); start != std::string::npos;
       start = document.find(key, start)) {
    start += key.size();
    document.erase(start, document.find('"', start) - start);
  }
  return document;
}

class OrvalisScan : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!settings.usable()) GTEST_SKIP() << settings.unusableReason();
  }
  // Runs orvalis-scan in the folder `files` with `args`.
  Child run(const std::vector<std::string>& args) const {
    const TempDir outputs;
    const auto out = outputs.path() / "out", err = outputs.path() / "err";
    const int status = runProgram(ORVALIS_SCAN_PATH, args, files.path(), out, err);
    return {status, contents(out), contents(err)};
  }

  TempDir files;
  ScratchSettings settings;
};

TEST_F(OrvalisScan, SmallScanGivesTheExactLinesDocumentAndPage) {
  // a.txt and B.txt share nine words; c.TXT shares none; notes.md and the
  // folder d.txt are not part of a scan of the folder.
  files.write("a.txt", "one two three four five six seven eight nine ten");
  files.write("B.txt", "zero one two three four five six seven eight nine");
  files.write("c.TXT", "the cat sat");
  files.write("notes.md", "one two three four five six seven eight nine");
  files.write("d.txt/inner.txt", "one two three four five six seven eight nine");
  EXPECT_EQ(run({"a.txt"}).out, "B.txt & a.txt (9.00)\n");
  EXPECT_EQ(run({"--all", "a.txt"}).out,
            "B.txt & a.txt (9.00)\nc.TXT & a.txt (0.00)\nc.TXT & B.txt (0.00)\n");
  // Files given by name are scanned in that order, so a.txt has the higher
  // index; one that cannot be read is named and left out.
  auto result = run({"B.txt", "d.txt", "a.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "warning: cannot read d.txt: is a folder\n");
  EXPECT_EQ(result.out, "a.txt & B.txt (9.00)\n");

  result = run({"--json", "--html", "report.html", "chosen-but-missing.txt"});
  EXPECT_EQ(result.status, 0);
  // The folder is named as the system writes a path in it.
  EXPECT_EQ(result.err, "warning: skipping " + (std::filesystem::path(".") / "d.txt").string() +
                            ": is a folder\n");
  // Files in case-insensitive name order; the score 9 against 0 and 0 gives
  // the threshold 3 + sqrt(18); three comparisons take the fixed statistics,
  // and E = 3 · 0.0042 · 10 · 10 · e^(−2.58 · 9).
  EXPECT_EQ(result.out, R"({
  "settings": {"MU": -0.33, "DELTA": -0.5, "NUM_WORDS_PER_GROUPING": 1000},
  "files": [
    {"index": 0, "path": ")" +
                            jsonPath("./a.txt") + R"(", "displayName": "a.txt"},
    {"index": 1, "path": ")" +
                            jsonPath("./B.txt") + R"(", "displayName": "B.txt"},
    {"index": 2, "path": ")" +
                            jsonPath("./c.TXT") + R"(", "displayName": "c.TXT"}
  ],
  "threshold": 7.2426405,
  "significance": {"lambda": 2.58, "K": 0.0042, "comparisons": 3, "fitted": 0, "note": "Too few comparisons to fit the statistics of chance matches: E-values use fixed values measured on English text."},
  "results": [
    {"comparison": 0, "indexA": 1, "indexB": 0, "startA": 5, "endA": 49, "startB": 0, "endB": 44, "score": 9, "evalue": 1.04e-10, "consensusA": "one two three four five six seven eight nine ", "consensusB": "one two three four five six seven eight nine "}
  ],
  "listed": [0]
}
)");
  const std::string page = contents(files.path() / "report.html"),
                    mark = "<mark title=\"Result 1\">one two three";
  EXPECT_NE(page.find(mark, page.find(mark) + 1), std::string::npos);  // in both files
  EXPECT_FALSE(settings.store().keyExists());  // the settings store is only read
}

TEST_F(OrvalisScan, EvalueListingAndPairsAreStrongestFirstWithTheFixedValuesNoted) {
  // c.txt shares seven words with a.txt and with b.txt, which share nine.
  files.write("a.txt", "one two three four five six seven eight nine ten");
  files.write("b.txt", "zero one two three four five six seven eight nine");
  files.write("c.txt", "one two three four five six seven x y z");
  files.write("d.txt", "the cat sat");
  const std::string note =
      "note: Too few comparisons to fit the statistics of chance matches: E-values use fixed "
      "values measured on English text.\n";
  // The default listing is the threshold's, without E-values or note.
  Child result = run({"a.txt"});
  EXPECT_EQ(result.out, "b.txt & a.txt (9.00)\n");
  EXPECT_EQ(result.err, "");
  // Equal E-values (c.txt's two results) keep the scan's order.
  result = run({"--max-evalue", "0.01", "a.txt"});
  EXPECT_EQ(result.out,
            "b.txt & a.txt (9.00) E=2.08e-10\n"
            "c.txt & a.txt (7.00) E=3.61e-08\nc.txt & b.txt (7.00) E=3.61e-08\n");
  EXPECT_EQ(result.err, note);
  EXPECT_EQ(run({"--max-evalue", "0", "a.txt"}).out, "No suspicious files found.\n");
  // Pairs of the listed results: those of the default listing, or of the E-values.
  result = run({"--pairs", "a.txt"});
  EXPECT_EQ(result.out,
            "b.txt & a.txt: best score 9.00, E=2.08e-10, 1 result, 9 words matched, "
            "90 % of b.txt, 90 % of a.txt\n");
  EXPECT_EQ(result.err, note);
  const std::string json = run({"--json", "--pairs", "--max-evalue", "0.01", "a.txt"}).out;
  EXPECT_NE(json.find(R"(  "listed": [0, 1, 2],
  "pairs": [
    {"indexA": 1, "indexB": 0, "bestComparison": 0, "bestScore": 9, "bestEvalue": 2.08e-10, "results": 1, "wordsMatched": 9, "wordsA": 10, "sharedA": 9, "shareA": 0.9, "wordsB": 10, "sharedB": 9, "shareB": 0.9, "longestMatch": 9, "matches": 1, "group": 1},
    {"indexA": 2, "indexB": 0, "bestComparison": 1, "bestScore": 7, "bestEvalue": 3.61e-08, "results": 1, "wordsMatched": 7, "wordsA": 10, "sharedA": 7, "shareA": 0.7, "wordsB": 10, "sharedB": 7, "shareB": 0.7, "longestMatch": 7, "matches": 1, "group": 1},
    {"indexA": 2, "indexB": 1, "bestComparison": 2, "bestScore": 7, "bestEvalue": 3.61e-08, "results": 1, "wordsMatched": 7, "wordsA": 10, "sharedA": 7, "shareA": 0.7, "wordsB": 10, "sharedB": 7, "shareB": 0.7, "longestMatch": 7, "matches": 1, "group": 1}
  ],
  "groups": [
    {"members": [0, 1, 2], "pairs": [[1, 0], [2, 0], [2, 1]]}
  ]
}
)"),
            std::string::npos)
      << json;
}

TEST_F(OrvalisScan, ExitStatusTellsSuccessTooFewFilesAndFailures) {
  // The exit status, the output and the first line of the errors.
  const auto outcome = [&](const std::vector<std::string>& args) {
    const Child r = run(args);
    return std::to_string(r.status) + " " + r.out + "|" + r.err.substr(0, r.err.find('\n') + 1);
  };
  files.write("empty.md", "");
  EXPECT_EQ(outcome({"x.txt"}), "1 |No files found.\n");
  files.write("one.txt", "text");
  EXPECT_EQ(outcome({"x.txt"}),
            "1 |Only one file found. Two or more files are needed for comparisons to be made.\n");
  files.write("two.txt", "text");
  EXPECT_EQ(outcome({"x.txt"}), "0 No suspicious files found.\n|");
  EXPECT_EQ(outcome({"--bogus", "x.txt"}), "2 |orvalis-scan: unknown option '--bogus'\n");
  EXPECT_EQ(outcome({"--html=none/r.html", "x.txt"}),
            "1 No suspicious files found.\n|"
            "error: cannot write none/r.html: No such file or directory\n");
  // No comparison: no threshold, and nothing to list.
  const std::string none = run({"--json", "one.txt", "empty.md"}).out;
  EXPECT_NE(none.find("\n  \"threshold\": null,\n"), std::string::npos) << none;
  EXPECT_NE(none.find("\"comparisons\": 0, \"fitted\": 0,"), std::string::npos) << none;
  EXPECT_TRUE(none.ends_with("\n  \"results\": [],\n  \"listed\": []\n}\n")) << none;
}

// A file too large to read, and a scan too large for the memory it may use,
// end with a reason rather than with a process the system kills.
TEST_F(OrvalisScan, HugeFilesAndScansBeyondTheMemoryLimitGiveReasons) {
  files.write("a.txt", "one two three four five six seven eight nine ten");
  files.write("b.txt", "zero one two three four five six seven eight nine");
  // Sparse: the sizes are there without the disk space, and neither is read.
  std::filesystem::resize_file(files.write("huge.txt", ""), (std::uintmax_t{2} << 30) + 1);
  std::filesystem::resize_file(files.write("large.txt", ""), std::uintmax_t{3} << 29);
  Child result = run({"--max-memory", "256M", "a.txt"});
  EXPECT_EQ(result.status, 0);
  // The files found in the folder of "a.txt", as the system writes their paths.
  const std::string here = (std::filesystem::path(".") / "").string();
  EXPECT_EQ(result.err,
            "warning: cannot read " + here + "huge.txt: too large (more than 2 GiB)\n" +
                "warning: cannot read " + here +
                "large.txt: not enough memory to read it: the scan would need about 1.5 GiB in "
                "all, and the memory limit is 256 MiB\n");
  EXPECT_EQ(result.out, "b.txt & a.txt (9.00)\n");

  // Groups of one word: 90,000 comparisons a file pair.
  std::string words;
  for (int i = 0; i < 300; ++i) words.append(" w").append(std::to_string(i));
  for (const char* name : {"many/a.txt", "many/b.txt", "many/c.txt"}) files.write(name, words);
  result = run({"--group-size", "2", "--max-memory", "1M", "many/a.txt"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(result.err.starts_with(
      "error: Error! Not enough memory to complete the scan: it needs about "))
      << result.err;
  EXPECT_TRUE(result.err.ends_with(" MiB in all, and the memory limit is 1 MiB.\n")) << result.err;
}

#ifndef _WIN32
TEST_F(OrvalisScan, StrangeEntriesAreSkippedWithOneWarningEachAndStrangeNamesKeptExactly) {
  namespace fs = std::filesystem;
  const std::string text = "one two three four five six seven eight nine";
  for (const char* name : {"a.txt", "-dash.txt", "caf\xE9.txt", "new\nline.txt"}) {
    files.write(name, text);
  }
  const fs::path dir = files.path();
  ASSERT_EQ(::mkfifo((dir / "pipe.txt").c_str(), 0600), 0);
  fs::create_directory(dir / "dir.txt");
  fs::create_symlink("/dev/zero", dir / "zero.txt");
  fs::create_symlink(dir / "nowhere", dir / "dangling.txt");
  fs::create_symlink(dir / "loop.txt", dir / "loop.txt");

  // Each warning names the entry once, on one line.
  const Child result = run({"--json", "--", "-dash.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err,
            "warning: skipping ./dangling.txt: No such file or directory\n"
            "warning: skipping ./dir.txt: is a folder\n"
            "warning: skipping ./loop.txt: Too many levels of symbolic links\n"
            "warning: skipping ./pipe.txt: is a FIFO\n"
            "warning: skipping ./zero.txt: is a device\n");
  for (const char* shown : {R"("displayName": "-dash.txt")", R"("displayName": "a.txt")",
                            R"("displayName": "café.txt")", R"("displayName": "new\nline.txt")"}) {
    EXPECT_NE(result.out.find(shown), std::string::npos) << shown << "\n" << result.out;
  }
  // The lines escape what would break them; every file was read, so every pair matched.
  EXPECT_EQ(run({"--all", "--", "-dash.txt"}).out,
            "a.txt & -dash.txt (9.00)\n"
            "caf\xC3\xA9.txt & -dash.txt (9.00)\ncaf\xC3\xA9.txt & a.txt (9.00)\n"
            "new\\nline.txt & -dash.txt (9.00)\nnew\\nline.txt & a.txt (9.00)\n"
            "new\\nline.txt & caf\xC3\xA9.txt (9.00)\n");
}
#endif

TEST_F(OrvalisScan, JobCountDoesNotChangeTheDocument) {
  // Files of about 100 words sharing passages, in groups of 19 words.
  std::mt19937 random(11);
  const auto words = [&](int count) { return randomWords(random, count, 16); };
  const std::string shared = words(45);
  files.write("f1.txt", words(30) + shared + words(25));
  files.write("f2.txt", shared + words(60));
  files.write("f3.txt", words(50) + shared.substr(0, shared.size() / 2) + words(30));
  files.write("f4.txt", words(100));
  const auto scan = [&](const char* jobs) {
    return run({"--jobs", jobs, "--json", "--all", "--group-size", "20", "f1.txt"});
  };
  const auto one = scan("1");
  EXPECT_EQ(one.status, 0);
  EXPECT_EQ(one.out, scan("4").out);
  // Several groups per file; the document keeps every result, not only the 200 listed.
  EXPECT_NE(one.out.find("{\"comparison\": 200, "), std::string::npos);
}

TEST_F(OrvalisScan, StoredSettingsAreUsedAndTheCommandLineOverridesThem) {
  files.write("a.txt", "a");
  files.write("b.txt", "b");
  const auto stored = [&](const std::vector<std::pair<std::string, std::string>>& values,
                          std::vector<std::string> args) {
    settings.write(values);
    args.insert(args.end(), {"--json", "a.txt"});
    const auto result = run(args);
    const auto start = result.out.find("\"settings\": ");
    return result.err + result.out.substr(start, result.out.find('\n', start) - start);
  };
  EXPECT_EQ(stored({{"MU", "-1"}, {"DELTA", "-2.25"}, {"NUM_WORDS_PER_GROUPING", "50"}}, {}),
            R"("settings": {"MU": -1, "DELTA": -2.25, "NUM_WORDS_PER_GROUPING": 50},)");
  EXPECT_EQ(stored({{"MU", "-1"}, {"NUM_WORDS_PER_GROUPING", "1"}}, {"--mu", "-0.75"}),
            "warning: Error! Cannot find settings.\n"
            "warning: Error! NUM_WORDS_PER_GROUPING must be 2 or more. Using 1000.\n"
            R"("settings": {"MU": -0.75, "DELTA": -0.5, "NUM_WORDS_PER_GROUPING": 1000},)");
}

// Names outside any one code page: given on the command line, found in the
// folder, and written to the lines, the document and the page exactly.
TEST_F(OrvalisScan, NamesInGreekAndChineseAreFoundShownAndReportedExactly) {
  const std::string greek = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC.txt";
  const std::string chinese = "\xE4\xB8\xAD\xE6\x96\x87.txt";
  const std::string report = "\xCE\xB1\xCE\xBD\xCE\xB1\xCF\x86\xCE\xBF\xCF\x81\xCE\xAC.html";
  files.write(named(greek), "one two three four five six seven eight nine ten");
  files.write(named(chinese), "zero one two three four five six seven eight nine");
  files.write("z.txt", "the cat sat");
  const std::string line = chinese + " & " + greek + " (9.00)\n";
  EXPECT_EQ(run({greek}).out, line);

  const Child result = run({"--json", "--html", report, greek});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  for (const auto& name : {greek, chinese}) {
    EXPECT_NE(result.out.find("\"path\": \"" + jsonPath("./" + name) + "\", \"displayName\": \"" +
                              name + "\""),
              std::string::npos)
        << result.out;
  }
  const std::string page = contents(files.path() / named(report));
  EXPECT_NE(page.find(greek), std::string::npos);
  EXPECT_NE(page.find(chinese), std::string::npos);
}

// The same document on every platform, paths aside: CR LF read as LF, 0x1A
// ending the text, byte offsets, UTF-8 and Windows-1252 text.
TEST_F(OrvalisScan, TextModeAndOffsetsGiveTheSameDocumentOnEveryPlatform) {
  files.write("crlf.txt", "alpha beta gamma\r\ndelta epsilon\r\nzeta eta theta\r\n");
  files.write("eof.txt", "alpha beta gamma\ndelta epsilon zeta eta theta\x1A after the end mark");
  files.write("utf8.txt",
              "caf\xC3\xA9 alpha beta gamma\r\ndelta epsilon zeta \xE2\x80\x9C"
              "eta\xE2\x80\x9D theta");
  files.write("cp1252.txt",
              "caf\xE9 alpha beta gamma delta\r\nepsilon zeta \x93"
              "eta\x94 theta\r\n\r\n");
  const Child result = run({"--json", "--all", "crlf.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(withoutPaths(result.out), R"({
  "settings": {"MU": -0.33, "DELTA": -0.5, "NUM_WORDS_PER_GROUPING": 1000},
  "files": [
    {"index": 0, "path": "", "displayName": "cp1252.txt"},
    {"index": 1, "path": "", "displayName": "crlf.txt"},
    {"index": 2, "path": "", "displayName": "eof.txt"},
    {"index": 3, "path": "", "displayName": "utf8.txt"}
  ],
  "threshold": 7.3873296,
  "significance": {"lambda": 2.58, "K": 0.0042, "comparisons": 6, "fitted": 0, "note": "Too few comparisons to fit the statistics of chance matches: E-values use fixed values measured on English text."},
  "results": [
    {"comparison": 0, "indexA": 1, "indexB": 0, "startA": 0, "endA": 45, "startB": 5, "endB": 52, "score": 6.67, "evalue": 6.10e-08, "consensusA": "alpha beta gamma delta epsilon zeta eta theta ", "consensusB": "alpha beta gamma delta epsilon zeta “eta” theta "},
    {"comparison": 1, "indexA": 2, "indexB": 0, "startA": 0, "endA": 45, "startB": 5, "endB": 52, "score": 6.67, "evalue": 6.10e-08, "consensusA": "alpha beta gamma delta epsilon zeta eta theta ", "consensusB": "alpha beta gamma delta epsilon zeta “eta” theta "},
    {"comparison": 2, "indexA": 2, "indexB": 1, "startA": 0, "endA": 45, "startB": 0, "endB": 45, "score": 8, "evalue": 1.75e-09, "consensusA": "alpha beta gamma delta epsilon zeta eta theta ", "consensusB": "alpha beta gamma delta epsilon zeta eta theta "},
    {"comparison": 3, "indexA": 3, "indexB": 0, "startA": 6, "endA": 57, "startB": 5, "endB": 52, "score": 6.67, "evalue": 6.86e-08, "consensusA": "alpha beta gamma delta epsilon zeta “eta” theta ", "consensusB": "alpha beta gamma delta epsilon zeta “eta” theta "},
    {"comparison": 4, "indexA": 3, "indexB": 1, "startA": 6, "endA": 57, "startB": 0, "endB": 45, "score": 6.67, "evalue": 6.10e-08, "consensusA": "alpha beta gamma delta epsilon zeta “eta” theta ", "consensusB": "alpha beta gamma delta epsilon zeta eta theta "},
    {"comparison": 5, "indexA": 3, "indexB": 2, "startA": 6, "endA": 57, "startB": 0, "endB": 45, "score": 6.67, "evalue": 6.10e-08, "consensusA": "alpha beta gamma delta epsilon zeta “eta” theta ", "consensusB": "alpha beta gamma delta epsilon zeta eta theta "}
  ],
  "listed": [0, 1, 2, 3, 4, 5]
}
)");
}

#if !defined(_WIN32) && ORVALIS_READ_OFFICE
// Documents are compared by their text and named in the JSON; a hostile one
// is warned about while the scan goes on.
const std::filesystem::path kDocumentFixtures = ORVALIS_DOCUMENT_FIXTURES;

TEST_F(OrvalisScan, DocumentsOfMixedFormatsAreComparedByTheirText) {
  for (const char* name : {"essay.docx", "essay.odt", "essay.pdf", "essay.rtf"}) {
    std::filesystem::copy_file(kDocumentFixtures / name, files.path() / name);
  }
  const Child result = run({"--json", "--all", "--html", "page.html", "essay.docx", "essay.pdf",
                            "essay.odt", "essay.rtf"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  for (const char* file :
       {R"("path": "essay.docx", "displayName": "essay.docx", "document": "docx"})",
        R"("displayName": "essay.pdf", "document": "pdf"})",
        R"("displayName": "essay.odt", "document": "odt"})",
        R"("displayName": "essay.rtf", "document": "rtf"})"}) {
    EXPECT_NE(result.out.find(file), std::string::npos) << file;
  }
  // .odt against .docx: every one of the essay's 144 words, from the first
  // byte of each text to its last.
  EXPECT_NE(result.out.find(R"("indexA": 2, "indexB": 0, "startA": 0, "endA": 802, "startB": 0, )"
                            R"("endB": 802, "score": 144,)"),
            std::string::npos)
      << result.out;
  // The page shows each document by its text, read again through its reader.
  const std::string page = contents(files.path() / "page.html");
  for (const char* file : {"file-0", "file-1", "file-2", "file-3"}) {
    const auto section = page.find(std::string("<section id=\"") + file + "\">");
    EXPECT_LT(page.find("Why libraries still matter", section), page.find("</section>", section))
        << file;
  }
}

TEST_F(OrvalisScan, AHostileDocumentIsWarnedAboutAndTheScanGoesOn) {
  const std::string docx = contents(kDocumentFixtures / "essay.docx");
  files.write("a.docx", docx);
  files.write("b.docx", docx.substr(0, docx.size() / 2));
  files.write("c.docx", "plain text named .docx");
  const Child result = run({"a.docx"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err,
            "warning: cannot read ./b.docx: it is damaged or incomplete: not a readable zip "
            "archive\n");
}
#endif

#ifndef _WIN32
// Earlier work, and the results cache: it never changes an output, and
// survives kills, two scans at once and a full disk.
class EarlierWorkAndCache : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!settings.usable()) GTEST_SKIP() << settings.unusableReason();
  }

  // The output and errors of shell `commands` run in `files` ("scan" runs
  // orvalis-scan, $o is its path), or "status N" when they fail.
  std::string sh(const std::string& commands) const {
    const std::filesystem::path out = outputs.path() / "out";
    const std::string line =
        "cd '" + files.path().string() + "' && o='" ORVALIS_SCAN_PATH "' && scan() { " + runAs +
        "\"$o\" \"$@\"; } && { " + commands + "; } >'" + out.string() + "' 2>&1";
    const int status = std::system(line.c_str());
    return status == 0 ? contents(out) : "status " + std::to_string(WEXITSTATUS(status));
  }

  // Writes `count` files of 150 words from a vocabulary of 40; files 1 and 2
  // share a stretch of 30 words.
  void writeFolder(int count) const {
    for (int i = 0; i < count; ++i)
      writeFile(std::string("f").append(std::to_string(i)).append(".txt"), i == 1 || i == 2);
  }
  void writeFile(const std::string& name, bool shared = false) const {
    std::string text = randomWords(random, 150, 40);
    if (shared) text += "s1 s2 s3 s4 s5 s6 s7 s8 s9 s10 s11 s12 s13 s14 s15 s16 s17 s18 s19 s20";
    files.write(name, text);
  }

  TempDir files, outputs;
  ScratchSettings settings;
  std::string runAs;  // a command that "scan" runs orvalis-scan with
  mutable std::mt19937 random{7};
  const std::string cache = (outputs.path() / "cache.sqlite").string();
};

TEST_F(EarlierWorkAndCache, EarlierWorkIsComparedWithTheNewFilesOnlyAndMarkedOld) {
  files.write("new/a.txt", "one two three four five six seven eight nine ten");
  files.write("new/b.txt", "alpha beta gamma delta one two three four");
  files.write("old/c.txt", "zero one two three four five six seven eight");
  files.write("old/d.txt", "zero one two three four five six seven eight");  // as c.txt
  files.write("old/notes.md", "one two three four five six seven eight nine ten");
  files.write("e.txt", "alpha beta gamma delta epsilon");
  // c.txt and d.txt match each other completely but are never compared; a new
  // file given as earlier work stays new.
  EXPECT_EQ(sh("scan --no-cache --all new/a.txt --old old --old e.txt --old new/b.txt"),
            "b.txt & a.txt (4.00)\nc.txt [old] & a.txt (8.00)\nc.txt [old] & b.txt (4.00)\n"
            "d.txt [old] & a.txt (8.00)\nd.txt [old] & b.txt (4.00)\ne.txt [old] & a.txt (0.00)\n"
            "e.txt [old] & b.txt (4.00)\n");
  const std::string json = sh("scan --no-cache --json --html page.html new/a.txt --old old/c.txt");
  EXPECT_NE(json.find("\"displayName\": \"a.txt\", \"old\": false}"), std::string::npos);
  EXPECT_NE(json.find("\"displayName\": \"c.txt\", \"old\": true}"), std::string::npos);
  EXPECT_NE(contents(files.path() / "page.html").find("\">c.txt [old]</a></td>"),
            std::string::npos);
  EXPECT_EQ(sh("scan --no-cache new/a.txt --old missing"), "status 1");
}

TEST_F(EarlierWorkAndCache, EveryOutputIsTheSameWithTheCacheAsWithout) {
  writeFolder(8);
  const auto check = [&](const char* step) {
    for (const char* args : {"f0.txt", "--all --json f0.txt", "--pairs --max-evalue 1 f0.txt"}) {
      EXPECT_EQ(sh("scan --cache " + cache + " " + args),
                sh(std::string("scan --no-cache ") + args))
          << step << ": " << args;
    }
  };
  check("empty cache");
  check("filled cache");
  writeFile("f3.txt");
  check("one file changed");
  writeFile("f8.txt", true);
  check("one file added");
  EXPECT_EQ(sh("scan --cache-clear --cache " + cache), "");
  check("cleared");
  // Without --cache: the user's cache folder, and nothing said on a normal run.
  EXPECT_EQ(sh("export XDG_CACHE_HOME='" + outputs.path().string() + "'; scan f0.txt"),
            sh("scan --no-cache f0.txt"));
  EXPECT_TRUE(std::filesystem::exists(outputs.path() / "Tovimar" / "Orvalis" / "results.sqlite"));
}

// A scan killed at any moment, often while it writes a changed file's pairs,
// leaves no cache that changes a later scan's output or draws a warning.
TEST_F(EarlierWorkAndCache, KilledWhileWritingNeverLeavesACacheThatGivesWrongResults) {
  writeFolder(12);
  const std::string scan = "--json --all --jobs 1 --cache " + cache + " f0.txt";
  // Kills land anywhere within the time a whole scan takes on this machine,
  // however fast or busy it is.
  const auto start = std::chrono::steady_clock::now();
  sh("scan --json --all --jobs 1 --no-cache f0.txt >/dev/null");
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  int killed = 0;
  constexpr int kRounds = 50;
  for (int round = 0; round < kRounds; ++round) {
    writeFile("f0.txt", round % 3 == 0);  // new pairs to write every round
    const char* extra = round % 10 == 9   ? " --cache-clear"
                        : round % 10 == 5 ? " --cache-max-size 8K"
                                          : "";
    const std::string delay = std::to_string(seconds * static_cast<double>(random() % 100) / 100);
    // 137: ended by SIGKILL (after "Killed" from some shells).
    killed += sh("\"$o\" " + scan + extra + " >/dev/null & sleep " + delay +
                 "; kill -9 $! 2>/dev/null; wait $!; echo $?")
                  .ends_with("137\n");
    ASSERT_EQ(sh("scan " + scan), sh("scan --json --all --no-cache f0.txt")) << "round " << round;
  }
  std::printf("%d of %d scans killed before their end\n", killed, kRounds);
  EXPECT_GE(killed, kRounds / 10);  // for the test to mean anything
}

TEST_F(EarlierWorkAndCache, TwoScansAtOnceBothGiveTheRightResults) {
  writeFolder(16);
  const std::string expected = sh("scan --json --all --no-cache f0.txt");
  const std::string scan = "scan --json --all --jobs 1 --cache " + cache + " f0.txt >";
  for (int round = 0; round < 4; ++round) {
    sh("scan --cache-clear --cache " + cache);
    EXPECT_EQ(sh(scan + "1 & " + scan + "2 & wait; cat 1; rm 1"), expected) << round;
    EXPECT_EQ(sh("cat 2"), expected) << round;
  }
}

// A cache in a folder that the scan cannot write to is used while its log is
// there, and a new one is not made there; the output is whole either way. As
// root, whom permissions do not bind, the scans run as the user nobody.
TEST_F(EarlierWorkAndCache, ACacheInAFolderThatCannotBeWrittenNeverChangesTheOutput) {
  writeFolder(6);
  const std::string folder = (outputs.path() / "cache").string();
  std::filesystem::create_directory(folder);
  if (::geteuid() == 0) {
    runAs = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    sh("chmod -R a+rwX . '" + outputs.path().string() + "'");
    if (sh(runAs + "test -x \"$o\" && echo yes") != "yes\n") {
      GTEST_SKIP() << "the user nobody cannot run " ORVALIS_SCAN_PATH;
    }
  }
  const std::string scan = "scan --all --cache '" + folder + "/";
  ASSERT_EQ(sh(scan + "results.sqlite' f0.txt"), sh("scan --all --no-cache f0.txt"));
  sh("chmod a-w '" + folder + "'");
  writeFile("f6.txt", true);
  const std::string expected = sh("scan --all --no-cache f0.txt");
  EXPECT_EQ(sh(scan + "results.sqlite' f0.txt"), expected);
  EXPECT_EQ(sh(scan + "new.sqlite' f0.txt"),
            "warning: cannot use the results cache " + folder +
                "/new.sqlite: unable to open database file; the scan goes on without it\n" +
                expected);
}

// In blocks of 512 bytes: too few to make the cache, or to fill it. The
// warning gives the reason of the failed write, not that of the rollback after
// it.
TEST_F(EarlierWorkAndCache, ACacheThatCannotGrowGivesAWarningAndTheScanGoesOn) {
  writeFolder(12);
  const std::string expected = sh("scan --all --no-cache f0.txt");
  for (const char* limit : {"8", "64"}) {
    std::filesystem::remove(cache);
    const std::string got = sh(std::string("trap '' XFSZ; ulimit -f ") + limit +
                               "; scan --all --cache " + cache + " f0.txt");
    const std::size_t end = got.find('\n', got.rfind("warning: "));
    EXPECT_EQ(got.substr(end + 1), expected) << limit;
    const std::string warning = got.substr(0, end);
    EXPECT_NE(warning.find("warning: cannot "), std::string::npos) << got;
    EXPECT_TRUE(warning.ends_with(": disk I/O error; the scan goes on without it") ||
                warning.ends_with(": disk I/O error; the results of this scan are not kept"))
        << warning;
  }
}
#endif

}  // namespace
}  // namespace orvalis::testing
