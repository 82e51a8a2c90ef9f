#include "tests/cli/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

extern char** environ;

namespace orvalis::testing {
namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// An unnamed temporary file that the child writes and the parent reads after.
File captureFile() {
  File file(std::tmpfile(), &std::fclose);
  if (!file) throw std::system_error(errno, std::generic_category(), "tmpfile");
  return file;
}

std::string contents(std::FILE* file) {
  std::string text;
  std::rewind(file);  // the child's writes moved the shared offset to the end
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  return text;
}

}  // namespace

ChildResult runChild(const std::filesystem::path& program, std::vector<std::string> args) {
  const File out = captureFile();
  const File err = captureFile();
  args.insert(args.begin(), program.string());
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fileno(out.get()), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fileno(err.get()), STDERR_FILENO);
  pid_t child = 0;
  const int spawnError = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawnError != 0) throw std::system_error(spawnError, std::generic_category(), args[0]);

  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "waitpid");
  }
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, contents(out.get()), contents(err.get())};
}

}  // namespace orvalis::testing
