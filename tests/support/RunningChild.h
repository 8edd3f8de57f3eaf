// A built program running as a child with real pipes, whose standard input
// stays open until the test closes it: for hosts that live as long as their
// parent's pipe.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace Sablekit::Testing {

class RunningChild {
 public:
  // Starts `program` with `arguments` and the test's environment, with the
  // variables in `environment` set (replacing inherited values). Standard
  // error is inherited, or written to the file `standardErrorPath` when one
  // is given. With `outputReaderGone` the test's end of the child's standard
  // output is closed before the child starts, as if its parent never read:
  // every write of the child fails with a broken pipe. Throws
  // std::runtime_error when it cannot start.
  RunningChild(const std::string& program,
               const std::vector<std::string>& arguments,
               const std::map<std::string, std::string>& environment = {},
               const std::optional<std::string>& standardErrorPath = std::nullopt,
               bool outputReaderGone = false);
  // Closes the pipes; a child still running is killed and reaped.
  ~RunningChild();
  RunningChild(const RunningChild&) = delete;
  RunningChild& operator=(const RunningChild&) = delete;

  // The next line of standard output without its line feed; absent at end of
  // output, or when `safetySeconds` pass first (a hung child, not a result).
  std::optional<std::string> readLine(double safetySeconds = 30.0);
  // Everything the child writes from now until it closes its output.
  std::string readToEnd(double safetySeconds = 30.0);

  // Writes all of `bytes` to the child's standard input.
  void write(const std::string& bytes);
  // Closes the child's standard input, as a parent going away does.
  void closeInput();
  // Closes the test's end of the child's standard output, as a parent that
  // stops reading does; output not read yet is lost, readLine() answers
  // absent from now on, and every later write of the child fails.
  void closeOutput();

  // Whether the child has ended, without waiting.
  bool hasExited();
  // Waits for the child and returns its exit code (128 + signal number when
  // killed); kills it when `safetySeconds` pass first. Output the child writes
  // meanwhile stays available to readLine().
  int waitForExit(double safetySeconds = 30.0);

  pid_t processID() const { return pid_; }

 private:
  // Reads more output; false at end of output or when the deadline passed.
  bool fill(double safetySeconds);

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string buffered_;
  std::optional<int> exitStatus_;
};

}  // namespace Sablekit::Testing
