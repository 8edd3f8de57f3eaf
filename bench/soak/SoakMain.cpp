// vistrel-soak: many mixed request lines (health, probes, frames at 320
// pixels, automation probes and resets, malformed lines) through one capture
// host loop on the demo desktop while its windows move and its focus changes;
// checks that every request is answered once, in order, with a well-formed
// line, and reports requests per second and resident memory.
//   vistrel-soak [REQUESTS [--answers-only]]          (default 100000)
// Exits 1 on a missing, extra, misordered or malformed answer, a diagnostic,
// or (without sanitizers, whose quarantine holds freed memory on purpose, and
// without --answers-only) a resident-memory growth after warm-up beyond
// maximumGrowthKilobytes. Short runs take --answers-only: after a few hundred
// requests the allocator has not settled (one 3,000-request run grew 0.6 MB,
// another 6.8 MB).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "Sablekit/protocol/JsonCodec.h"
#include "Vistrel/VistrelMain.h"

namespace {

using namespace Sablekit;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif
#else
constexpr bool sanitized = false;
#endif

constexpr std::int64_t maximumGrowthKilobytes = 5 * 1024;

// VmRSS of this process in kilobytes, 0 when /proc cannot tell.
std::int64_t residentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("VmRSS:")) {
      return std::strtoll(line.c_str() + 6, nullptr, 10);
    }
  }
  return 0;
}

// The demo desktop with scripted text recognition: Tesseract would make every
// frame cost a second and measure the recogniser rather than the host.
std::unique_ptr<SimulatedDesktop> soakDesktop() {
  JsonCodec::Value scenario = JsonCodec::parse(SimulatedDesktop::demoScenario());
  scenario["textRecognition"] = JsonCodec::parse(R"json({"lines": [
    {"text": "notes.txt", "box": {"x": 0.2, "y": 0.7, "width": 0.1, "height": 0.02}},
    {"text": "TODO: measure the pipeline", "confidence": 0.8,
     "box": {"x": 0.2, "y": 0.4, "width": 0.3, "height": 0.02}}]})json");
  return SimulatedDesktop::fromScenario(scenario.dump());
}

// One line of the mix and the id its answer must carry (0 when the line
// cannot be decoded).
struct Request {
  std::string line;
  std::int64_t expectedID;
};

Request requestNumber(std::int64_t n) {
  const std::string id = std::to_string(n);
  switch (n % 20) {
    case 0:
    case 5:
    case 10:
    case 15:
      return {R"({"id":)" + id + R"(,"method":"capture.probe","params":{"maximumDimension":320}})", n};
    case 3:
    case 13:
      return {R"({"id":)" + id + R"(,"method":"capture.frame","params":{"maximumDimension":320}})", n};
    case 7:
      return {
          R"({"id":)" + id +
              R"(,"method":"automation.probe","params":{"automationTarget":"browser","browserBundleID":"org.mozilla.firefox","allowBrowserAutomation":true}})",
          n};
    case 17:
      return {R"({"id":)" + id + R"(,"method":"automation.probe","params":{"automationTarget":"finder"}})", n};
    case 11:
      return {R"({"id":)" + id + R"(,"method":"automation.reset"})", n};
    case 4:
      return {"{\"id\":" + id + ",\"method\":", 0};  // cut short
    case 9:
      return {R"({"id":)" + id + R"(,"method":"health"})" + std::string("\0trailing", 9), 0};  // a raw NUL
    case 14:
      return {R"({"id":)" + id + R"(,"method":"capture.nothing"})", n};  // unknown method
    case 19:
      return {R"({"id":)" + id + R"(,"method":"capture.probe","params":{"maximumDimension":"big"}})", 0};
    default:
      return {R"({"id":)" + id + R"(,"method":"health"})", n};
  }
}

// Hands out the mix and, every few requests, changes the desktop between two
// of them (on the loop's own thread, as the real desktop changes under the
// host between requests).
class SoakInput final : public LineSource {
 public:
  SoakInput(SimulatedDesktop& desktop, std::int64_t total, std::deque<std::int64_t>& expected)
      : desktop_(desktop), total_(total), expected_(expected) {}

  std::optional<std::string> readLine() override {
    if (next_ == total_) {
      return std::nullopt;
    }
    if (next_ % 7 == 6) {
      changeDesktop(next_ / 7);
    }
    Request request = requestNumber(next_++);
    expected_.push_back(request.expectedID);
    return std::move(request.line);
  }

  std::int64_t handedOut() const { return next_; }

 private:
  void changeDesktop(std::int64_t step) {
    const double offset = static_cast<double>(step % 40) * 5;
    switch (step % 5) {
      case 0:
        desktop_.simulatedWindowServer().moveWindow(301, Rect{300 + offset, 210 + offset, 760, 520});
        break;
      case 1:
        desktop_.simulatedWorkspace().setFrontmostProcessID(612);  // Firefox: its page is read
        break;
      case 2:
        desktop_.simulatedWindowServer().moveWindow(402, Rect{30 + offset, 30, 1080, 720 - offset});
        break;
      case 3:
        desktop_.simulatedWorkspace().setFrontmostProcessID(400);  // Finder
        break;
      default:
        desktop_.simulatedWorkspace().setFrontmostProcessID(501);  // the editor again
        desktop_.simulatedWorkspace().switchDesktop();
        break;
    }
  }

  SimulatedDesktop& desktop_;
  const std::int64_t total_;
  std::deque<std::int64_t>& expected_;
  std::int64_t next_ = 0;
};

// Checks each answer against the id the oldest unanswered request expects.
class AnswerChecker final : public ByteSink {
 public:
  explicit AnswerChecker(std::deque<std::int64_t>& expected) : expected_(expected) {}

  void write(std::string_view bytes) override {
    pending_.append(bytes);
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
      check(pending_.substr(0, end));
      pending_.erase(0, end + 1);
    }
  }

  std::int64_t answered = 0;
  std::int64_t failures = 0;
  std::map<std::string, std::int64_t> outcomes;  // "ok" or the error code

 private:
  void fail(const std::string& why, std::string_view line) {
    if (++failures <= 10) {
      std::fprintf(stderr, "answer %lld: %s: %.*s\n", static_cast<long long>(answered), why.c_str(),
                   static_cast<int>(std::min<std::size_t>(line.size(), 300)), line.data());
    }
  }

  void check(std::string_view line) {
    ++answered;
    if (expected_.empty()) {
      fail("an answer nobody asked for", line);
      return;
    }
    const std::int64_t expectedID = expected_.front();
    expected_.pop_front();
    try {
      const JsonCodec::Value response = JsonCodec::parse(line);
      // The encoder writes neither white space nor "\/" and sorts keys.
      if (JsonCodec::serialize(response) != line) {
        fail("not compact with sorted keys", line);
      }
      if (response.at("id").get<std::int64_t>() != expectedID) {
        fail("expected id " + std::to_string(expectedID), line);
      }
      const bool ok = response.at("ok").get<bool>();
      ++outcomes[ok ? "ok" : response.at("error").at("code").get<std::string>()];
    } catch (const std::exception& error) {
      fail(std::string("unreadable: ") + error.what(), line);
    }
  }

  std::deque<std::int64_t>& expected_;
  std::string pending_;
};

class DiagnosticsCounter final : public ByteSink {
 public:
  void write(std::string_view bytes) override {
    ++writes;
    std::fprintf(stderr, "diagnostic: %.*s", static_cast<int>(bytes.size()), bytes.data());
  }
  std::int64_t writes = 0;
};

// Samples resident memory once warm-up is over and then as the run goes on.
class MeasuredInput final : public LineSource {
 public:
  MeasuredInput(SoakInput& input, std::int64_t warmUp) : input_(input), warmUp_(warmUp) {}

  std::optional<std::string> readLine() override {
    const std::int64_t n = input_.handedOut();
    if (n == warmUp_) {
      afterWarmUp = residentKilobytes();
      started = std::chrono::steady_clock::now();
    }
    if (n > warmUp_ && n % 1000 == 0) {
      peak = std::max(peak, residentKilobytes());
    }
    return input_.readLine();
  }

  std::int64_t afterWarmUp = 0;
  std::int64_t peak = 0;
  std::chrono::steady_clock::time_point started;

 private:
  SoakInput& input_;
  const std::int64_t warmUp_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::int64_t total = argc > 1 ? std::strtoll(argv[1], nullptr, 10) : 100'000;
  const bool answersOnly = argc == 3 && std::string_view(argv[2]) == "--answers-only";
  if (argc > 3 || (argc == 3 && !answersOnly) || total < 100) {
    std::fprintf(stderr, "usage: vistrel-soak [REQUESTS, at least 100 [--answers-only]]\n");
    return 2;
  }
  // Warm-up fills the caches and the allocator's pools: a tenth of the run,
  // at most 5,000 requests.
  const std::int64_t warmUp = std::min<std::int64_t>(total / 10, 5'000);

  const std::unique_ptr<SimulatedDesktop> desktop = soakDesktop();
  std::deque<std::int64_t> expected;
  SoakInput requests(*desktop, total, expected);
  MeasuredInput input(requests, warmUp);
  AnswerChecker output(expected);
  DiagnosticsCounter diagnostics;
  const int status = VistrelMain::main(*desktop, {input, output, diagnostics});
  const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - input.started).count();
  const std::int64_t atEnd = residentKilobytes();
  const std::int64_t growth = std::max(atEnd, input.peak) - input.afterWarmUp;

  std::printf("requests: %lld (answers %lld, %lld after warm-up in %.1f s: %.0f requests/s)\n",
              static_cast<long long>(total), static_cast<long long>(output.answered),
              static_cast<long long>(total - warmUp), elapsed, static_cast<double>(total - warmUp) / elapsed);
  std::printf("outcomes:");
  for (const auto& [outcome, count] : output.outcomes) {
    std::printf(" %s %lld", outcome.c_str(), static_cast<long long>(count));
  }
  std::printf("\nVmRSS: %lld kB after warm-up, %lld kB peak, %lld kB at end: growth %lld kB (limit %lld kB%s)\n",
              static_cast<long long>(input.afterWarmUp), static_cast<long long>(std::max(input.peak, atEnd)),
              static_cast<long long>(atEnd), static_cast<long long>(growth),
              static_cast<long long>(maximumGrowthKilobytes), sanitized || answersOnly ? ", not applied" : "");

  // The simulated desktop logs every text read, attribute setting and script
  // it ran for its tests; that memory is the simulator's, not the host's (each
  // Finder probe's script stays logged, about 400 bytes).
  std::printf("simulator logs: %zu text reads, %zu accessibility settings, %zu scripts\n",
              desktop->simulatedTextRecognizer().recognitions().size(),
              desktop->simulatedAccessibility().settings().size(), desktop->simulatedScripting().ranScripts().size());

  bool passed =
      status == 0 && output.failures == 0 && diagnostics.writes == 0 && output.answered == total && expected.empty();
  if (!sanitized && !answersOnly && growth > maximumGrowthKilobytes) {
    std::fprintf(stderr, "resident memory grew by %lld kB after warm-up\n", static_cast<long long>(growth));
    passed = false;
  }
  std::printf("%s\n", passed ? "PASSED" : "FAILED");
  return passed ? 0 : 1;
}
