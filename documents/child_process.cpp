#include "documents/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace orvalis::documents {
namespace {

constexpr std::size_t kErrorsKept = 4096;

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

std::filesystem::path findProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string_view folders = path != nullptr ? path : "/usr/bin:/bin";
  while (!folders.empty()) {
    const auto colon = folders.find(':');
    const std::string_view folder = folders.substr(0, colon);
    folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
    if (folder.empty()) continue;
    const std::filesystem::path candidate = std::filesystem::path(folder) / name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

ChildResult runChild(const std::filesystem::path& program,
                     const std::vector<std::string>& arguments, const ChildLimits& limits) {
  ChildResult result;
  // Everything the child needs is made before fork: after it, in a process
  // with other threads, the child may only make async-signal-safe calls.
  std::vector<std::string> argvText;
  argvText.push_back(program.string());
  argvText.insert(argvText.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argvText) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const std::string programText = program.string();
  rlimit memory{};
  memory.rlim_cur = memory.rlim_max = static_cast<rlim_t>(limits.memory);
  // CPU seconds: a second stop for a child that the time limit would miss.
  rlimit cpu{};
  cpu.rlim_cur = cpu.rlim_max =
      static_cast<rlim_t>(std::chrono::ceil<std::chrono::seconds>(limits.time).count() + 1);

  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    result.error = std::generic_category().message(errno);
    closeFd(out[0]);
    closeFd(out[1]);
    return result;
  }
  const pid_t pid = ::fork();
  if (pid < 0) {
    result.error = std::generic_category().message(errno);
    for (int* fd : {&out[0], &out[1], &err[0], &err[1]}) closeFd(*fd);
    return result;
  }
  if (pid == 0) {
    const int input = ::open("/dev/null", O_RDONLY);
    if (input >= 0) ::dup2(input, 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::setrlimit(RLIMIT_AS, &memory);
    ::setrlimit(RLIMIT_CPU, &cpu);
    ::execv(programText.c_str(), argv.data());
    ::_exit(127);
  }
  closeFd(out[1]);
  closeFd(err[1]);

  const auto deadline = std::chrono::steady_clock::now() + limits.time;
  bool killed = false;
  char buffer[65536];
  while (out[0] >= 0 || err[0] >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.outcome = ChildResult::Outcome::kTimedOut;
      killed = true;
      break;
    }
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    const int ready = ::poll(fds, 2, static_cast<int>(std::min<std::int64_t>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      int& fd = i == 0 ? out[0] : err[0];
      if (fd < 0 || fds[i].revents == 0) continue;
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        closeFd(fd);
        continue;
      }
      if (i == 0) {
        result.output.append(buffer, static_cast<std::size_t>(got));
      } else if (result.errors.size() < kErrorsKept) {
        result.errors.append(buffer, static_cast<std::size_t>(got));
      }
    }
    if (result.output.size() > limits.output) {
      result.outcome = ChildResult::Outcome::kTooMuchOutput;
      result.output.clear();
      killed = true;
      break;
    }
  }
  closeFd(out[0]);
  closeFd(err[0]);
  // A child that closed its output may still run: it gets until the deadline.
  int status = 0;
  while (!killed) {
    const pid_t ended = ::waitpid(pid, &status, WNOHANG);
    if (ended == pid || (ended < 0 && errno != EINTR)) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      result.outcome = ChildResult::Outcome::kTimedOut;
      killed = true;
      break;
    }
    ::usleep(2000);
  }
  if (killed) {
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return result;
  }
  if (WIFEXITED(status)) {
    result.outcome = ChildResult::Outcome::kExited;
    result.exitStatus = WEXITSTATUS(status);
    if (result.exitStatus == 127 && result.output.empty()) {
      result.outcome = ChildResult::Outcome::kNotStarted;
      result.error = "cannot run " + programText;
    }
  } else if (WIFSIGNALED(status)) {
    result.outcome = ChildResult::Outcome::kSignalled;
    result.signal = WTERMSIG(status);
  }
  return result;
}

}  // namespace orvalis::documents
