#include "tests/support/RunningChild.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Sablekit::Testing {

namespace {

int statusCode(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

RunningChild::RunningChild(const std::string& program,
                           const std::vector<std::string>& arguments,
                           const std::map<std::string, std::string>& environment,
                           const std::optional<std::string>& standardErrorPath,
                           bool outputReaderGone) {
  std::signal(SIGPIPE, SIG_IGN);
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe2 failed");
  }
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    throw std::runtime_error("pipe2 failed");
  }

  std::vector<std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable(*entry);
    const std::string name = variable.substr(0, variable.find('='));
    if (!environment.contains(name)) {
      variables.push_back(variable);
    }
  }
  for (const auto& [name, value] : environment) {
    variables.push_back(name + "=" + value);
  }
  std::vector<char*> envp;
  for (std::string& variable : variables) {
    envp.push_back(variable.data());
  }
  envp.push_back(nullptr);

  std::vector<std::string> argumentCopies{program};
  argumentCopies.insert(argumentCopies.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argumentCopies) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  if (standardErrorPath) {
    posix_spawn_file_actions_addopen(&actions, 2, standardErrorPath->c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  if (outputReaderGone) {
    // Before the start, so that not even the child's first write finds a reader.
    ::close(out[0]);
    out[0] = -1;
  }
  const int spawned = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  if (spawned != 0) {
    ::close(in[1]);
    if (out[0] >= 0) {
      ::close(out[0]);
    }
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(spawned));
  }
  input_ = in[1];
  output_ = out[0];
}

RunningChild::~RunningChild() {
  closeInput();
  if (output_ >= 0) {
    ::close(output_);
  }
  if (!exitStatus_) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
}

bool RunningChild::fill(double safetySeconds) {
  if (output_ < 0) {
    return false;
  }
  pollfd watched{output_, POLLIN, 0};
  int ready = 0;
  do {
    ready = ::poll(&watched, 1, static_cast<int>(safetySeconds * 1000));
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) {
    return false;
  }
  char buffer[4096];
  ssize_t count = 0;
  do {
    count = ::read(output_, buffer, sizeof buffer);
  } while (count < 0 && errno == EINTR);
  if (count <= 0) {
    ::close(output_);
    output_ = -1;
    return false;
  }
  buffered_.append(buffer, static_cast<std::size_t>(count));
  return true;
}

std::optional<std::string> RunningChild::readLine(double safetySeconds) {
  for (;;) {
    if (const std::size_t end = buffered_.find('\n'); end != std::string::npos) {
      std::string line = buffered_.substr(0, end);
      buffered_.erase(0, end + 1);
      return line;
    }
    if (!fill(safetySeconds)) {
      return std::nullopt;
    }
  }
}

std::string RunningChild::readToEnd(double safetySeconds) {
  while (fill(safetySeconds)) {
  }
  return std::exchange(buffered_, {});
}

void RunningChild::write(const std::string& bytes) {
  std::size_t written = 0;
  while (input_ >= 0 && written < bytes.size()) {
    const ssize_t count = ::write(input_, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      throw std::runtime_error("cannot write to the child");
    }
    written += static_cast<std::size_t>(count);
  }
}

void RunningChild::closeInput() {
  if (input_ >= 0) {
    ::close(input_);
    input_ = -1;
  }
}

void RunningChild::closeOutput() {
  if (output_ >= 0) {
    ::close(output_);
    output_ = -1;
  }
  buffered_.clear();
}

bool RunningChild::hasExited() {
  if (exitStatus_) {
    return true;
  }
  int status = 0;
  pid_t reaped = 0;
  do {
    reaped = ::waitpid(pid_, &status, WNOHANG);
  } while (reaped < 0 && errno == EINTR);
  if (reaped == pid_) {
    exitStatus_ = statusCode(status);
  }
  return exitStatus_.has_value();
}

int RunningChild::waitForExit(double safetySeconds) {
  if (exitStatus_) {
    return *exitStatus_;
  }
  // The child's end of the output pipe closes when it exits, so reading to
  // the end waits for that without polling the process; output read on the
  // way stays buffered for readLine().
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(safetySeconds);
  while (output_ >= 0) {
    const double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0 || (!fill(left) && output_ >= 0)) {
      ::kill(pid_, SIGKILL);
      break;
    }
  }
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  exitStatus_ = statusCode(status);
  return *exitStatus_;
}

}  // namespace Sablekit::Testing
