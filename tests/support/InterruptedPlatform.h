// A platform whose screen capture lets a test act inside the next screenshot,
// after the capture pipeline read its context and before the image is taken:
// the desktop changes while the capture runs, without touching the services.
#pragma once

#include <functional>
#include <utility>

#include "Sablekit/platform/ForwardingPlatform.h"

namespace Sablekit::Testing {

// Same threading as the wrapped platform, which must outlive this one.
class InterruptedPlatform final : public ForwardingPlatform, private ScreenCapture {
 public:
  using ForwardingPlatform::ForwardingPlatform;

  // `change` runs once, at the start of the next screenshot.
  void duringNextScreenshot(std::function<void()> change) { change_ = std::move(change); }

  ScreenCapture& screenCapture() override { return *this; }

 private:
  std::variant<ShareableContent, ScreenCaptureError> shareableContent() override {
    return inner().screenCapture().shareableContent();
  }

  std::variant<PixelImage, ScreenCaptureError> screenshot(const CaptureFilter& filter,
                                                          const ScreenshotConfiguration& configuration) override {
    if (change_) {
      const std::function<void()> change = std::exchange(change_, nullptr);
      change();
    }
    return inner().screenCapture().screenshot(filter, configuration);
  }

  std::function<void()> change_;
};

}  // namespace Sablekit::Testing
