// Runs a built program as a child with real pipes for its standard streams,
// for black-box tests of the hosts.
#pragma once

#include <string>
#include <vector>

namespace Sablekit::Testing {

struct ChildResult {
  std::string standardOutput;
  std::string standardError;
  int exitStatus = -1;  // the exit code, or 128 + signal number when killed
  int processID = 0;
};

// Starts `program` with `arguments`, writes all of `input` to its standard
// input and closes it, reads both outputs to their end and waits for it.
// Gives up (killing the child) after `timeoutSeconds`.
ChildResult runChild(const std::string& program,
                     const std::vector<std::string>& arguments,
                     const std::string& input,
                     double timeoutSeconds = 60.0);

}  // namespace Sablekit::Testing
