// Driving the tiny X test client through its standard input.
#include "tests/support/X11TestWindow.h"

#include <cstdio>
#include <stdexcept>

namespace Sablekit::Testing {

namespace {

constexpr double clientSafetySeconds = 20.0;

}  // namespace

std::vector<std::string> X11TestWindow::arguments(const Options& options) {
  char colour[16];
  std::snprintf(colour, sizeof colour, "%06x", options.colour & 0xffffffu);
  std::vector<std::string> result{"--title",
                                  options.title,
                                  "--class",
                                  options.instance + "," + options.className,
                                  "--colour",
                                  colour,
                                  "--geometry",
                                  std::to_string(options.width) + "x" + std::to_string(options.height) + "+" +
                                      std::to_string(options.x) + "+" + std::to_string(options.y)};
  if (options.gtkApplicationID) {
    result.insert(result.end(), {"--gtk-application-id", *options.gtkApplicationID});
  }
  if (!options.setPID) {
    result.push_back("--no-pid");
  }
  if (!options.type.empty()) {
    result.insert(result.end(), {"--type", options.type});
  }
  if (options.above) {
    result.push_back("--above");
  }
  if (options.overrideRedirect) {
    result.push_back("--override-redirect");
  }
  if (options.argb) {
    result.push_back("--argb");
  }
  return result;
}

X11TestWindow::X11TestWindow(const XvfbDisplay& display, const Options& options)
    : client_(SABLEKIT_X11_TEST_CLIENT_PATH, arguments(options), display.environment()) {
  const auto line = client_.readLine(clientSafetySeconds);
  if (!line || line->empty()) {
    throw std::runtime_error("the X test client did not map its window");
  }
  windowID_ = static_cast<std::uint32_t>(std::stoul(*line));
}

X11TestWindow::~X11TestWindow() {
  client_.closeInput();
  client_.waitForExit(clientSafetySeconds);
}

void X11TestWindow::command(const std::string& line) {
  client_.write(line + "\n");
  if (client_.readLine(clientSafetySeconds) != "done") {
    throw std::runtime_error("the X test client did not carry out: " + line);
  }
}

void X11TestWindow::move(int x, int y, int width, int height) {
  command("move " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(width) + " " +
          std::to_string(height));
}

void X11TestWindow::raise() {
  command("raise");
}

void X11TestWindow::unmap() {
  command("unmap");
}

void X11TestWindow::map() {
  command("map");
}

void X11TestWindow::setTitle(const std::string& title) {
  command("title " + title);
}

void X11TestWindow::activate() {
  command("activate");
}

}  // namespace Sablekit::Testing
