// A full accessibility walk of a real GTK 3 window of about 5,000 elements
// (a list of rows) over AT-SPI, on a private display and session bus: for
// each round the walk's wall time, the nodes read, and the D-Bus calls and
// round trips it cost, per element. The walk is the snapshot service's, with
// its limits (5,000 nodes, 1.5 s), so a walk that runs out of time is partial.
// usage: atspi-walk-bench [ROWS] [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Sablekit/accessibility/AccessibilitySnapshotService.h"
#include "Sablekit/platform/atspi/AtspiAccessibility.h"
#include "Sablekit/platform/posix/SystemClock.h"
#include "tests/support/AccessibilityBusSession.h"
#include "tests/support/FixedPermissions.h"
#include "tests/support/RunningChild.h"

namespace {

using namespace Sablekit;

struct Round {
  double seconds = 0;
  std::size_t nodes = 0;
  bool partial = false;
  std::uint64_t calls = 0;
  std::uint64_t waves = 0;
};

Round walkOnce(AccessibilitySnapshotService& service, std::int32_t processID) {
  const auto [callsBefore, wavesBefore] = AtspiAccessibility::traffic();
  const auto start = std::chrono::steady_clock::now();
  const AccessibilityTreeBuild build =
      service.walk("org.example.bench", processID, AccessibilityWindowScope::unrestricted());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto [callsAfter, wavesAfter] = AtspiAccessibility::traffic();
  return {seconds, build.nodes.size(), build.partial, callsAfter - callsBefore, wavesAfter - wavesBefore};
}

int run(int rows, int rounds) {
  Testing::AccessibilityBusSession session;
  auto environment = session.environment();
  environment["GDK_BACKEND"] = "x11";
  Testing::RunningChild application("/usr/bin/python3",
                                    std::vector<std::string>{SABLEKIT_GTK_ACCESSIBILITY_APPLICATION, "Walk bench",
                                                             "A label", "entry", "secret", std::to_string(rows)},
                                    environment, "/dev/null");
  if (!application.readLine(60.0)) {
    throw std::runtime_error("the GTK application did not show its window");
  }
  SystemClock clock;
  AtspiAccessibility client(clock, {.sessionBusAddress = session.sessionBusAddress()});
  Testing::FixedPermissions permissions;
  AccessibilitySnapshotService service(client, permissions, clock);

  // GTK makes the rows' accessible objects when they are first asked for,
  // which takes longer than one call may wait; the application is then
  // marked as not answering for a while. Warm up until a walk reads it whole.
  for (int attempt = 0; attempt < 20; ++attempt) {
    const Round warmUp = walkOnce(service, application.processID());
    std::printf("warm-up: %zu nodes in %.1f ms\n", warmUp.nodes, warmUp.seconds * 1000);
    if (warmUp.nodes > 100) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(2.1));
  }
  std::printf("rows %d, rounds %d (first round warms up and is not counted)\n", rows, rounds);
  std::printf("%6s %8s %8s %8s %10s %10s %12s %12s\n", "round", "nodes", "partial", "ms", "calls", "waves",
              "calls/node", "waves/node");
  std::vector<Round> measured;
  for (int round = 0; round <= rounds; ++round) {
    const Round result = walkOnce(service, application.processID());
    std::printf("%6d %8zu %8s %8.1f %10llu %10llu %12.2f %12.2f\n", round, result.nodes, result.partial ? "yes" : "no",
                result.seconds * 1000, static_cast<unsigned long long>(result.calls),
                static_cast<unsigned long long>(result.waves),
                static_cast<double>(result.calls) / static_cast<double>(std::max<std::size_t>(result.nodes, 1)),
                static_cast<double>(result.waves) / static_cast<double>(std::max<std::size_t>(result.nodes, 1)));
    if (round > 0) {
      measured.push_back(result);
    }
  }
  std::sort(measured.begin(), measured.end(), [](const Round& a, const Round& b) { return a.seconds < b.seconds; });
  const Round& median = measured[measured.size() / 2];
  std::printf("median: %.1f ms for %zu nodes (%.1f us per node), %.2f calls and %.2f round trips per node\n",
              median.seconds * 1000, median.nodes, median.seconds * 1e6 / static_cast<double>(median.nodes),
              static_cast<double>(median.calls) / static_cast<double>(median.nodes),
              static_cast<double>(median.waves) / static_cast<double>(median.nodes));
  application.closeInput();
  application.waitForExit(10.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 2490;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  try {
    return run(rows, std::max(rounds, 1));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "atspi-walk-bench: %s\n", error.what());
    return 1;
  }
}
