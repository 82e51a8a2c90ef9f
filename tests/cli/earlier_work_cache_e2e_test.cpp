// Runs the built orvalis-scan with earlier work and with its results cache:
// what the outputs mark, that a cache never changes an output, and what the
// cache survives: processes killed while writing, two scans at once, a file
// size limit standing in for a full disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scratch_settings.h"
#include "tests/support/temp_dir.h"

namespace orvalis::testing {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& file) {
  std::stringstream text;
  text << std::ifstream(file, std::ios::binary).rdbuf();
  return text.str();
}

struct Outcome {
  int status = -1;
  std::string out, err;
};

class EarlierWorkAndCache : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!settings.usable()) GTEST_SKIP() << settings.unusableReason();
  }

  // Runs orvalis-scan in `files` with `args` (no single quotes), after the
  // shell commands `prefix`.
  Outcome run(const std::vector<std::string>& args, const std::string& prefix = "") const {
    const fs::path out = outputs.path() / "out", err = outputs.path() / "err";
    std::string command = prefix + "cd '" + files.path().string() + "' && '" ORVALIS_SCAN_PATH "'";
    for (const auto& arg : args) command += " '" + arg + "'";
    command += " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, contents(out), contents(err)};
  }

  // Starts orvalis-scan in `files` with its outputs thrown away.
  pid_t start(const std::vector<std::string>& args) const {
    const pid_t child = fork();
    if (child == 0) {
      if (chdir(files.path().c_str()) != 0) _exit(126);
      std::FILE* null = std::fopen("/dev/null", "w");
      dup2(fileno(null), 1);
      dup2(fileno(null), 2);
      std::vector<char*> argv{const_cast<char*>(ORVALIS_SCAN_PATH)};
      for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(ORVALIS_SCAN_PATH, argv.data());
      _exit(127);
    }
    return child;
  }

  // Writes `count` files of 150 words from a vocabulary of 40, with one
  // stretch of 30 words that files 1 and 2 share.
  void writeFolder(int count, unsigned seed) const {
    std::mt19937 random(seed);
    std::string shared;
    for (int w = 0; w < 30; ++w) shared += "s" + std::to_string(random() % 40) + " ";
    for (int i = 0; i < count; ++i)
      files.write("f" + std::to_string(i) + ".txt",
                  wordsFor(random, i == 1 || i == 2 ? shared : ""));
  }

  static std::string wordsFor(std::mt19937& random, const std::string& inside) {
    std::string text;
    for (int w = 0; w < 150; ++w) {
      if (w == 60) text += inside;
      text += "w" + std::to_string(random() % 40) + " ";
    }
    return text;
  }

  fs::path cache() const { return outputs.path() / "cache.sqlite"; }

  TempDir files, outputs;
  ScratchSettings settings;
};

TEST_F(EarlierWorkAndCache, EarlierWorkIsComparedWithTheNewFilesOnlyAndMarkedOld) {
  files.write("new/a.txt", "one two three four five six seven eight nine ten");
  files.write("new/b.txt", "alpha beta gamma delta one two three four");
  files.write("old/c.txt", "zero one two three four five six seven eight");
  files.write("old/d.txt", "zero one two three four five six seven eight");  // as c.txt
  files.write("old/notes.md", "one two three four five six seven eight nine ten");
  files.write("e.txt", "alpha beta gamma delta epsilon");

  // c.txt and d.txt match each other completely but are never compared.
  Outcome result = run({"--no-cache", "--all", "new/a.txt", "--old", "old", "--old", "e.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out,
            "b.txt & a.txt (4.00)\n"
            "c.txt [old] & a.txt (8.00)\n"
            "c.txt [old] & b.txt (4.00)\n"
            "d.txt [old] & a.txt (8.00)\n"
            "d.txt [old] & b.txt (4.00)\n"
            "e.txt [old] & a.txt (0.00)\n"
            "e.txt [old] & b.txt (4.00)\n");
  result = run({"--no-cache", "--pairs", "new/a.txt", "--old", "old"});
  EXPECT_NE(result.out.find("c.txt [old] & a.txt: best score 8.00"), std::string::npos);

  result = run({"--no-cache", "--json", "--html", "page.html", "new/a.txt", "--old", "old/c.txt"});
  EXPECT_NE(result.out.find("\"displayName\": \"a.txt\", \"old\": false}"), std::string::npos);
  EXPECT_NE(result.out.find("\"displayName\": \"c.txt\", \"old\": true}"), std::string::npos);
  const std::string page = contents(files.path() / "page.html");
  EXPECT_NE(page.find("\">c.txt [old]</a></td>"), std::string::npos);

  // A file of the new folder given as earlier work is taken once, as new.
  result = run({"--no-cache", "--all", "new/a.txt", "--old", "new/b.txt"});
  EXPECT_EQ(result.out, "b.txt & a.txt (4.00)\n");

  // Without earlier work nothing is marked and nothing says "old".
  result = run({"--no-cache", "--json", "new/a.txt"});
  EXPECT_EQ(result.out.find("\"old\""), std::string::npos);

  result = run({"--no-cache", "new/a.txt", "--old", "missing"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.rfind("error: cannot use the earlier work missing: ", 0), 0u) << result.err;
}

TEST_F(EarlierWorkAndCache, EveryOutputIsTheSameWithTheCacheAsWithout) {
  writeFolder(8, 11);
  const std::vector<std::vector<std::string>> commands = {{"f0.txt"},
                                                          {"--all", "--json", "f0.txt"},
                                                          {"--pairs", "f0.txt"},
                                                          {"--max-evalue", "1", "f0.txt"}};
  const auto check = [&](const char* step) {
    for (const auto& args : commands) {
      std::vector<std::string> without = args, with = args;
      without.insert(without.begin(), "--no-cache");
      with.insert(with.begin(), {"--cache", cache().string()});
      const Outcome expected = run(without), got = run(with);
      EXPECT_EQ(got.status, 0) << step;
      EXPECT_EQ(got.err, expected.err) << step;
      EXPECT_EQ(got.out, expected.out) << step << " " << args.front();
    }
  };
  check("empty cache");
  check("filled cache");
  std::mt19937 random(5);
  files.write("f3.txt", wordsFor(random, ""));
  check("one file changed");
  files.write("f8.txt", contents(files.path() / "f1.txt"));
  check("one file added");
  run({"--cache-clear", "--cache", cache().string()});
  check("cleared");

  // Without --cache: the user's cache folder.
  const TempDir home;
  const Outcome result = run({"f0.txt"}, "export XDG_CACHE_HOME='" + home.path().string() + "'; ");
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(fs::exists(home.path() / "Tovimar" / "Orvalis" / "results.sqlite"));
}

// A scan killed at random moments, mostly while it writes the results of the
// pairs of a changed file: the next scan with the cache gives exactly what a
// scan without it gives, and finds nothing wrong with the cache.
TEST_F(EarlierWorkAndCache, KilledWhileWritingNeverLeavesACacheThatGivesWrongResults) {
  writeFolder(12, 21);
  const std::vector<std::string> args = {"--json", "--all", "--cache", cache().string(),
                                         "--jobs", "1",     "f0.txt"};
  const auto started = std::chrono::steady_clock::now();
  run(args);
  const auto took = std::chrono::steady_clock::now() - started;
  std::mt19937 random(31);
  int killedMidway = 0;
  for (int round = 0; round < 100; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // A new first file each round, so that each scan has pairs to write.
    files.write("f0.txt", wordsFor(random, round % 3 == 0 ? "s1 s2 s3 s4 s5 s6" : ""));
    std::vector<std::string> killed = args;
    if (round % 10 == 9) killed.push_back("--cache-clear");
    if (round % 10 == 5) killed.insert(killed.begin(), {"--cache-max-size", "8K"});
    const pid_t child = start(killed);
    std::this_thread::sleep_for(std::chrono::duration_cast<std::chrono::microseconds>(took) *
                                static_cast<int>(random() % 1000) / 2000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) ++killedMidway;

    // The scan with the cache and the one without at the same time.
    const fs::path expected = outputs.path() / "expected", got = outputs.path() / "got",
                   errors = outputs.path() / "errors";
    std::string command = "cd '" + files.path().string() +
                          "' && { '" ORVALIS_SCAN_PATH "' --json --all --no-cache f0.txt >'" +
                          expected.string() + "' & '" + ORVALIS_SCAN_PATH "'";
    for (const auto& arg : args) command += " '" + arg + "'";
    command += " >'" + got.string() + "' 2>'" + errors.string() + "'; wait; }";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ASSERT_EQ(contents(errors), "");
    ASSERT_EQ(contents(got), contents(expected));
  }
  std::printf("%d of 100 scans killed before their end\n", killedMidway);
  // Most are, on a quiet machine; some must be for the test to mean anything.
  EXPECT_GE(killedMidway, 10);
}

TEST_F(EarlierWorkAndCache, TwoScansAtOnceBothGiveTheRightResults) {
  writeFolder(16, 41);
  const Outcome expected = run({"--json", "--all", "--no-cache", "f0.txt"});
  const fs::path out1 = outputs.path() / "1", out2 = outputs.path() / "2";
  for (int round = 0; round < 5; ++round) {
    if (round % 2 == 0) run({"--cache-clear", "--cache", cache().string()});
    const std::string scan =
        "'" ORVALIS_SCAN_PATH "' --json --all --jobs 1 --cache '" + cache().string() + "' f0.txt";
    const std::string command = "cd '" + files.path().string() + "' && { " + scan + " >'" +
                                out1.string() + "' & " + scan + " >'" + out2.string() +
                                "' & wait; } 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(contents(out1), expected.out) << round;
    EXPECT_EQ(contents(out2), expected.out) << round;
  }
}

// A limit on the size of files written stands in for a full disk.
TEST_F(EarlierWorkAndCache, ACacheThatCannotGrowGivesAWarningAndTheScanGoesOn) {
  writeFolder(12, 51);
  const Outcome expected = run({"--all", "--no-cache", "f0.txt"});
  // Blocks of 512 bytes: too few to make the cache, or to fill it.
  for (const char* limit : {"8", "64"}) {
    fs::remove(cache());
    const Outcome got = run({"--all", "--cache", cache().string(), "f0.txt"},
                            std::string("trap '' XFSZ; ulimit -f ") + limit + "; ");
    EXPECT_EQ(got.status, 0) << limit;
    EXPECT_EQ(got.out, expected.out) << limit;
    EXPECT_NE(got.err.find("warning: cannot "), std::string::npos) << got.err;
    EXPECT_NE(got.err.find("results cache"), std::string::npos) << got.err;
  }
}

}  // namespace
}  // namespace orvalis::testing
