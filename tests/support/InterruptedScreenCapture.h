// A screen capture that lets a test act inside the next screenshot, after the
// capture pipeline read its context and before the image is taken: the
// desktop changes while the capture runs, without touching the services.
#pragma once

#include <functional>
#include <utility>

#include "Sablekit/platform/ScreenCapture.h"

namespace Sablekit::Testing {

// Same threading as the wrapped capture; `inner` must outlive this one.
class InterruptedScreenCapture final : public ScreenCapture {
 public:
  explicit InterruptedScreenCapture(ScreenCapture& inner) : inner_(inner) {}

  // `change` runs once, at the start of the next screenshot.
  void duringNextScreenshot(std::function<void()> change) { change_ = std::move(change); }

  std::variant<ShareableContent, ScreenCaptureError> shareableContent() override { return inner_.shareableContent(); }

  std::variant<PixelImage, ScreenCaptureError> screenshot(const CaptureFilter& filter,
                                                          const ScreenshotConfiguration& configuration) override {
    if (change_) {
      const std::function<void()> change = std::exchange(change_, nullptr);
      change();
    }
    return inner_.screenshot(filter, configuration);
  }

 private:
  ScreenCapture& inner_;
  std::function<void()> change_;
};

}  // namespace Sablekit::Testing
