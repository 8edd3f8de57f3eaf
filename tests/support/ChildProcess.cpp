#include "tests/support/ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Sablekit::Testing {

namespace {

void makePipe(int fds[2]) {
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe2 failed");
  }
}

}  // namespace

ChildResult runChild(const std::string& program,
                     const std::vector<std::string>& arguments,
                     const std::string& input,
                     double timeoutSeconds) {
  std::signal(SIGPIPE, SIG_IGN);
  int in[2], out[2], err[2];
  makePipe(in);
  makePipe(out);
  makePipe(err);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  if (spawned != 0) {
    ::close(in[1]);
    ::close(out[0]);
    ::close(err[0]);
    throw std::runtime_error("cannot start " + program);
  }

  ChildResult result;
  result.processID = pid;
  std::size_t written = 0;
  int inputFd = in[1];
  if (input.empty()) {
    ::close(inputFd);
    inputFd = -1;
  } else {
    ::fcntl(inputFd, F_SETFL, O_NONBLOCK);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  bool outOpen = true, errOpen = true, timedOut = false;
  char buffer[65536];
  while (outOpen || errOpen) {
    pollfd fds[3];
    nfds_t count = 0;
    if (outOpen) {
      fds[count++] = {out[0], POLLIN, 0};
    }
    if (errOpen) {
      fds[count++] = {err[0], POLLIN, 0};
    }
    if (inputFd >= 0) {
      fds[count++] = {inputFd, POLLOUT, 0};
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    if (::poll(fds, count, static_cast<int>(left.count())) < 0 && errno != EINTR) {
      break;
    }
    for (nfds_t i = 0; i < count; ++i) {
      if (fds[i].revents == 0) {
        continue;
      }
      if (fds[i].fd == inputFd) {
        const ssize_t n = ::write(inputFd, input.data() + written, input.size() - written);
        if (n > 0) {
          written += static_cast<std::size_t>(n);
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
          written = input.size();
        }
        if (written == input.size()) {
          ::close(inputFd);
          inputFd = -1;
        }
        continue;
      }
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (fds[i].fd == out[0] ? result.standardOutput : result.standardError)
            .append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        (fds[i].fd == out[0] ? outOpen : errOpen) = false;
      }
    }
  }
  if (inputFd >= 0) {
    ::close(inputFd);
  }
  ::close(out[0]);
  ::close(err[0]);
  if (timedOut) {
    ::kill(pid, SIGKILL);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace Sablekit::Testing
