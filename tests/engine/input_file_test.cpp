#include "engine/input_file.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/text.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace orvalis {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

TEST(ReadingFiles, RegularFilesAreReadInTextModeAsFarAsTheSizeTheyHadWhenOpened) {
  const TempDir dir;
  std::string text;
  ASSERT_FALSE(readTextFile(dir.write("a.txt", "one\r\ntwo\x1A rest"), text));
  EXPECT_EQ(text, "one\ntwo");

  // Bytes added after opening are not read: a growing file cannot keep a read going.
  const fs::path growing = dir.write("growing.txt", "12345");
  InputFile file;
  ASSERT_EQ(file.open(growing), "");
  dir.write("growing.txt", "1234567890");
  char buffer[64];
  EXPECT_EQ(file.read(buffer, sizeof buffer), 5);
  EXPECT_EQ(file.read(buffer, sizeof buffer), 0);
}

#ifndef _WIN32
std::string whyNotRead(const fs::path& path) {
  std::string text;
  return readTextFile(path, text).message;
}

TEST(ReadingFiles, EverythingButARegularFileIsRefusedWithItsReasonAndNothingWaits) {
  const TempDir dir;
  const fs::path fifo = dir.path() / "pipe.txt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directory(dir.path() / "dir.txt");
  fs::create_symlink("/dev/zero", dir.path() / "zero.txt");
  fs::create_symlink(dir.path() / "nowhere", dir.path() / "dangling.txt");
  fs::create_symlink(dir.path() / "loop2.txt", dir.path() / "loop1.txt");
  fs::create_symlink(dir.path() / "loop1.txt", dir.path() / "loop2.txt");
  fs::create_symlink(dir.path() / "pipe.txt", dir.path() / "to-pipe.txt");

  const fs::path socketPath = dir.path() / "socket.txt";
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.native().size(), sizeof address.sun_path);
  socketPath.native().copy(address.sun_path, socketPath.native().size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  EXPECT_EQ(whyNotRead(fifo), "is a FIFO");
  EXPECT_EQ(whyNotRead(dir.path() / "to-pipe.txt"), "is a FIFO");
  EXPECT_EQ(whyNotRead(dir.path() / "dir.txt"), "is a folder");
  EXPECT_EQ(whyNotRead(dir.path() / "zero.txt"), "is a device");
  EXPECT_EQ(whyNotRead(socketPath), "is a socket");
  EXPECT_EQ(whyNotRead(dir.path() / "dangling.txt"), "No such file or directory");
  EXPECT_EQ(whyNotRead(dir.path() / "loop1.txt"), "Too many levels of symbolic links");
  ::close(sock);
}

TEST(ReadingFiles, AFileWithoutReadPermissionIsRefused) {
  const TempDir dir;
  const fs::path secret = dir.write("secret.txt", "words");
  fs::permissions(secret, fs::perms::none);
  fs::permissions(dir.path(), fs::perms::all);
  // Root reads everything, so a child drops its privileges to find out.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    ::_exit(whyNotRead(secret) == "Permission denied" ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

}  // namespace
}  // namespace orvalis
