// Keyloft on X11, from the XTEST press that completes a chord to its event
// line on Keyloft's standard output: median and maximum over 200 chords, in
// listening and in exclusive mode, on a private Xvfb, and how many chords
// never became a line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/platform/x11/keyboard/XTestKeyboard.h"
#include "tests/support/RunningChild.h"
#include "tests/support/XvfbDisplay.h"

namespace {

using Clock = std::chrono::steady_clock;
using Sablekit::Testing::RunningChild;
using Sablekit::Testing::XTestKeyboard;
using Sablekit::Testing::XvfbDisplay;
constexpr int chords = 200;
// Far beyond any answer (the keyboard's own answer timeout is one second):
// a chord whose line has not come by then is counted as lost.
constexpr double lostAfterSeconds = 5.0;

struct Samples {
  std::vector<double> milliseconds;
  int lost = 0;
};

Samples latencies(const std::string& keyloft, const XvfbDisplay& display, bool exclusive) {
  const std::filesystem::path lockDirectory =
      std::filesystem::temp_directory_path() / ("keyloft-x11-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(lockDirectory);
  std::vector<std::string> arguments{"--command-command=primary"};
  if (exclusive) {
    arguments.push_back("--exclusive");
  }
  RunningChild host(keyloft, arguments,
                    {{"DISPLAY", display.name()}, {"TMPDIR", lockDirectory.string()}, {"XDG_RUNTIME_DIR", ""}});
  if (!host.readLine()) {
    std::fprintf(stderr, "Keyloft wrote no health line\n");
    std::exit(1);
  }
  XTestKeyboard keys(display.name());
  Samples samples;
  for (int chord = 0; chord < chords; ++chord) {
    keys.press(XTestKeyboard::superL);
    const auto pressed = Clock::now();
    keys.press(XTestKeyboard::superR);
    const auto line = host.readLine(lostAfterSeconds);
    if (!line && host.hasExited()) {
      std::fprintf(stderr, "Keyloft ended at chord %d\n", chord);
      std::exit(1);
    }
    if (!line) {
      ++samples.lost;
    } else if (*line != R"({"event":"primary"})") {
      std::fprintf(stderr, "Keyloft wrote something else at chord %d: %s\n", chord, line->c_str());
      std::exit(1);
    } else {
      samples.milliseconds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - pressed).count());
    }
    keys.release(XTestKeyboard::superR);
    keys.release(XTestKeyboard::superL);
  }
  host.closeInput();
  host.waitForExit();
  std::filesystem::remove_all(lockDirectory);
  return samples;
}

void report(const char* mode, Samples samples) {
  std::vector<double>& times = samples.milliseconds;
  std::sort(times.begin(), times.end());
  const double median = times.empty() ? 0 : times[times.size() / 2];
  const double maximum = times.empty() ? 0 : times.back();
  std::printf("%-10s median %7.3f ms   max %7.3f ms   lost %d of %d   (target: median <= 5 ms, none lost)\n", mode,
              median, maximum, samples.lost, chords);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string keyloft = argc > 1 ? argv[1] : "build/bin/Keyloft";
  const XvfbDisplay display;
  std::printf("Keyloft on X11, XTEST press to event line, over %d chords each\n", chords);
  report("listening", latencies(keyloft, display, false));
  report("exclusive", latencies(keyloft, display, true));
  return 0;
}
