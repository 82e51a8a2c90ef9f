// Runs the built orvalis-scan with earlier work and with its results cache:
// what the outputs mark, that the cache never changes an output, and what the
// cache survives: scans killed while writing, two scans at once, a limit on
// file sizes standing in for a full disk.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>

#include "tests/support/scan_fixture.h"
#include "tests/support/scratch_settings.h"
#include "tests/support/temp_dir.h"

namespace orvalis::testing {
namespace {

namespace fs = std::filesystem;

class EarlierWorkAndCache : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!settings.usable()) GTEST_SKIP() << settings.unusableReason();
  }

  // Runs `commands` (a shell's, in the folder `files`, where "scan" runs
  // orvalis-scan and $o is its path); its standard output and error, or
  // "status N" when it fails.
  std::string sh(const std::string& commands) const {
    const fs::path out = outputs.path() / "out";
    const std::string line = "cd '" + files.path().string() +
                             "' && o='" ORVALIS_SCAN_PATH "' && scan() { \"$o\" \"$@\"; } && { " +
                             commands + "; } >'" + out.string() + "' 2>&1";
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
  EXPECT_TRUE(fs::exists(outputs.path() / "Tovimar" / "Orvalis" / "results.sqlite"));
}

// A scan killed at a random moment, often while it writes the results of the
// pairs of a changed file, never leaves a cache that changes a later scan's
// output or draws a warning.
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

// In blocks of 512 bytes: too few to make the cache, or to fill it.
TEST_F(EarlierWorkAndCache, ACacheThatCannotGrowGivesAWarningAndTheScanGoesOn) {
  writeFolder(12);
  const std::string expected = sh("scan --all --no-cache f0.txt");
  for (const char* limit : {"8", "64"}) {
    fs::remove(cache);
    const std::string got = sh(std::string("trap '' XFSZ; ulimit -f ") + limit +
                               "; scan --all --cache " + cache + " f0.txt");
    EXPECT_EQ(got.substr(got.find('\n', got.rfind("warning: ")) + 1), expected) << limit;
    EXPECT_NE(got.find("warning: cannot "), std::string::npos) << got;
  }
}

}  // namespace
}  // namespace orvalis::testing
