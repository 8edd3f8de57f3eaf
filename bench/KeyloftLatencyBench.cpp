// Keyloft latencies, each over 100 runs, reported as median and maximum:
// - exit: from closing the parent's end of the stdin pipe to the process exit
//   (keyloft-sim through real pipes);
// - event line: from the completing key change to its line being readable on
//   the other end of a pipe (the monitor in-process on the simulated keyboard,
//   writing to a real pipe).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "Sablekit/platform/posix/PosixStandardStreams.h"
#include "Sablekit/platform/simulated/SimulatedKeyboard.h"
#include "Sablekit/shortcut/ShortcutMonitor.h"
#include "tests/support/RunningChild.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int runs = 100;

double milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

void report(const char* name, std::vector<double> samples, double target) {
  std::sort(samples.begin(), samples.end());
  const double median = samples[samples.size() / 2];
  std::printf("%-11s median %8.3f ms   max %8.3f ms   (target: median <= %.0f ms)\n", name, median, samples.back(),
              target);
}

std::vector<double> exitLatencies(const std::string& keyloftSim) {
  const std::filesystem::path lockDirectory =
      std::filesystem::temp_directory_path() / ("keyloft-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(lockDirectory);
  std::filesystem::permissions(lockDirectory, std::filesystem::perms::owner_all);
  std::vector<double> samples;
  for (int run = 0; run < runs; ++run) {
    Sablekit::Testing::RunningChild child(keyloftSim, {"--command-command=primary"},
                                          {{"XDG_RUNTIME_DIR", lockDirectory.string()}});
    if (!child.readLine()) {
      std::fprintf(stderr, "keyloft-sim wrote no health line\n");
      std::exit(1);
    }
    const auto closed = Clock::now();
    child.closeInput();
    child.waitForExit();
    samples.push_back(milliseconds(Clock::now() - closed));
  }
  std::filesystem::remove_all(lockDirectory);
  return samples;
}

std::vector<double> eventLineLatencies() {
  using namespace Sablekit;
  int fds[2];
  if (::pipe(fds) != 0) {
    std::exit(1);
  }
  SimulatedKeyboard keyboard;
  FileDescriptorByteSink output(fds[1]);
  ShortcutMonitor monitor(keyboard, output, ShortcutAction::primary, std::nullopt, false);
  monitor.start();
  std::vector<double> samples;
  char buffer[4096];
  for (int run = 0; run < runs; ++run) {
    keyboard.press(KeyCode::leftCommand);
    const auto pressed = Clock::now();
    keyboard.press(KeyCode::rightCommand);
    // The line is complete once its line feed has arrived.
    std::size_t length = 0;
    while (length == 0 || buffer[length - 1] != '\n') {
      const ssize_t count = ::read(fds[0], buffer + length, sizeof buffer - length);
      if (count <= 0) {
        std::exit(1);
      }
      length += static_cast<std::size_t>(count);
    }
    samples.push_back(milliseconds(Clock::now() - pressed));
    keyboard.release(KeyCode::rightCommand);
    keyboard.release(KeyCode::leftCommand);
  }
  ::close(fds[0]);
  ::close(fds[1]);
  return samples;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string keyloftSim = argc > 1 ? argv[1] : "build/bin/keyloft-sim";
  std::printf("Keyloft latencies over %d runs each\n", runs);
  report("exit", exitLatencies(keyloftSim), 20);
  report("event line", eventLineLatencies(), 1);
  return 0;
}
