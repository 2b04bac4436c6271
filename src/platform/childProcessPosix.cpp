// childProcess on POSIX systems: fork and exec with a pipe on stdin.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/childProcess.h"

namespace childProcess {

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  const std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string dir = dirs.substr(start, end - start);
    const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
    struct stat st {};
    if (access(candidate.c_str(), X_OK) == 0 && stat(candidate.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
      return true;
    start = end + 1;
  }
  return false;
}

bool Spawn(const std::string& program, const std::vector<std::string>& args, bool pipeInput, TChild& child,
           std::string& error) {
  child = TChild{};
  int fds[2] = {-1, -1};
  if (pipeInput && pipe(fds) != 0) {
    error = "cannot start " + program + ": " + std::strerror(errno);
    return false;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) {
    error = "cannot start " + program + ": " + std::strerror(errno);
    if (pipeInput) {
      close(fds[0]);
      close(fds[1]);
    }
    return false;
  }
  if (pid == 0) {
    if (pipeInput) {
      dup2(fds[0], STDIN_FILENO);
      close(fds[0]);
      close(fds[1]);
    } else {
      const int null = open("/dev/null", O_RDONLY);
      if (null >= 0) dup2(null, STDIN_FILENO);
    }
    signal(SIGINT, SIG_IGN);
    execvp(program.c_str(), argv.data());
    _exit(127);
  }
  child.Process = pid;
  if (pipeInput) {
    close(fds[0]);
    fcntl(fds[1], F_SETFD, FD_CLOEXEC);
    child.Input = fds[1];
  }
  return true;
}

bool Write(TChild& child, const void* data, size_t bytes) {
  const auto* at = static_cast<const uint8_t*>(data);
  size_t done = 0;
  while (done < bytes) {
    const ssize_t n = write(static_cast<int>(child.Input), at + done, bytes - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void CloseInput(TChild& child) {
  if (child.Input >= 0) close(static_cast<int>(child.Input));
  child.Input = -1;
}

bool Wait(TChild& child) {
  CloseInput(child);
  if (child.Process <= 0) return false;
  int status = 0;
  bool reaped = true;
  while (waitpid(static_cast<pid_t>(child.Process), &status, 0) < 0)
    if (errno != EINTR) {
      reaped = false;
      break;
    }
  child = TChild{};
  return reaped && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Kill(TChild& child) {
  CloseInput(child);
  if (child.Process > 0) {
    kill(static_cast<pid_t>(child.Process), SIGTERM);
    Wait(child);
  }
  child = TChild{};
}

long ProcessId() { return static_cast<long>(getpid()); }

}  // namespace childProcess
