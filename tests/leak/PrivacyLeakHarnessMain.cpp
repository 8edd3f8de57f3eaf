// privacy-leak-harness: the leak harness for large local runs.
//   privacy-leak-harness [--desktops N] [--seed S] [--first I]
//                        [--recognize-every K] [--decode-every K]
// Prints the figures and every finding; exits 1 when anything was found.
#include <charconv>
#include <cstdio>
#include <iostream>
#include <string_view>

#include "tests/leak/PrivacyLeakHarness.h"

namespace {

bool parseNumber(std::string_view text, std::uint64_t& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace Sablekit::Leak;
  LeakHarnessOptions options;
  options.desktops = 5000;
  options.recognizeEvery = 500;
  options.decodeEvery = 25;
  for (int i = 1; i < argc; ++i) {
    const std::string_view flag = argv[i];
    std::uint64_t* target = flag == "--desktops"          ? &options.desktops
                            : flag == "--seed"            ? &options.seed
                            : flag == "--first"           ? &options.firstDesktop
                            : flag == "--recognize-every" ? &options.recognizeEvery
                            : flag == "--decode-every"    ? &options.decodeEvery
                                                          : nullptr;
    if (!target || i + 1 >= argc || !parseNumber(argv[i + 1], *target)) {
      std::cerr << "usage: privacy-leak-harness [--desktops N] [--seed S] [--first I] [--recognize-every K] "
                   "[--decode-every K]\n";
      return 2;
    }
    ++i;
  }
  const LeakHarnessReport report = PrivacyLeakHarness::run(options, [](const LeakHarnessReport& soFar) {
    if (soFar.desktops % 250 == 0) {
      std::cerr << soFar.desktops << " desktops, " << soFar.captures << " captures, " << soFar.leaks.size()
                << " leaks, " << soFar.wrongOutcomes.size() << " wrong outcomes\n";
    }
  });
  for (const LeakFinding& finding : report.leaks) {
    std::cout << "LEAK " << PrivacyLeakHarness::describe(finding) << "\n";
  }
  for (const LeakFinding& finding : report.wrongOutcomes) {
    std::cout << "WRONG " << PrivacyLeakHarness::describe(finding) << "\n";
  }
  std::cout << "seed " << options.seed << ", desktops " << report.desktops << " from " << options.firstDesktop
            << "\ncaptures checked " << report.captures << " (frames " << report.frames << ", refusals expected "
            << report.refusalsExpected << ")\nsecret windows checked " << report.secretChecks << ", images scanned "
            << report.imagesScanned << ", HEIC files decoded " << report.filesDecoded << " (allowed marker colours "
            << report.decodedControlsSeen << "/" << report.decodedControls << " found after decoding)"
            << "\nframes read by Tesseract " << report.recognizedFrames << " (allowed words recognised "
            << report.recognizedAllowedWords << ")\nleaks " << report.leaks.size() << ", wrong outcomes "
            << report.wrongOutcomes.size() << "\n";
  return report.leaks.empty() && report.wrongOutcomes.empty() ? 0 : 1;
}
