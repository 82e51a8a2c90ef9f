#include "tests/cli/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

extern char** environ;

namespace orvalis::testing {
namespace {

// A temporary file that the child writes and the parent reads afterwards.
class CaptureFile {
 public:
  CaptureFile() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "orvalis-child-XXXXXX").string();
    fd_ = mkstemp(pattern.data());
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "mkstemp");
    path_ = pattern;
  }
  ~CaptureFile() {
    close(fd_);
    unlink(path_.c_str());
  }
  CaptureFile(const CaptureFile&) = delete;
  CaptureFile& operator=(const CaptureFile&) = delete;

  int fd() const { return fd_; }
  std::string contents() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace

ChildResult runChild(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const ChildOptions& options) {
  CaptureFile out;
  CaptureFile err;

  std::vector<std::string> environment;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string entry = *variable;
    const auto name = entry.substr(0, entry.find('='));
    if (!options.environment.contains(name)) environment.push_back(entry);
  }
  for (const auto& [name, value] : options.environment)
    environment.push_back(name + "=" + value);

  std::vector<char*> argv;
  std::string programText = program.string();
  argv.push_back(programText.data());
  std::vector<std::string> argCopies = args;
  for (auto& arg : argCopies)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& entry : environment)
    envp.push_back(entry.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out.fd(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err.fd(), STDERR_FILENO);
  if (options.workingFolder) {
    posix_spawn_file_actions_addchdir_np(&actions, options.workingFolder->c_str());
  }
  pid_t child = 0;
  const int spawnError =
      posix_spawn(&child, programText.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawnError != 0) throw std::system_error(spawnError, std::generic_category(), programText);

  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "waitpid");
  }
  ChildResult result;
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = out.contents();
  result.err = err.contents();
  return result;
}

}  // namespace orvalis::testing
