// Frames: the capture pipeline, recognised text, the accessibility snapshot
// and the HEIC encoding, in that order.
#include "Sablekit/capture/CaptureFrameService.h"

#include <variant>

#include "Sablekit/capture/CapturePlaceholders.h"
#include "Sablekit/common/Base64.h"
#include "Sablekit/common/Digest.h"
#include "Sablekit/protocol/CaptureHostError.h"

namespace Sablekit {

CaptureFrameService::CaptureFrameService(CaptureProbeService& captureService,
                                         OCRService& ocrService,
                                         AccessibilitySnapshotCache& snapshotService,
                                         ImageEncoder& encoder)
    : captureService_(captureService), ocrService_(ocrService), snapshotService_(snapshotService), encoder_(encoder) {}

CaptureFrameResult CaptureFrameService::captureFrame(const std::optional<CaptureProbeParameters>& parameters) {
  const CaptureOutcome outcome = captureService_.capture(CaptureRequest::resolve(parameters));
  OCRResult ocr = ocrService_.recognize(outcome.image);
  AccessibilitySnapshotResult accessibility =
      outcome.inactive || outcome.suppressAccessibilitySnapshot
          ? CapturePlaceholders::snapshot(outcome)
          : snapshotService_.snapshot(outcome.focusedApplicationName, outcome.focusedBundleID, outcome.focusedProcessID,
                                      AccessibilityWindowScope(outcome.focusedApplicationWindows));

  auto encoded = encoder_.encodeHEIC(outcome.image, encodingQuality);
  if (std::holds_alternative<ImageEncodingError>(encoded)) {
    // The encoder's own words are for people; the parent gets the one code.
    throw CaptureHostError::imageEncodingFailed();
  }
  const std::vector<std::uint8_t>& bytes = std::get<std::vector<std::uint8_t>>(encoded);

  CaptureFrameResult result;
  result.capture = CaptureProbeService::makeCaptureResult(outcome, true);
  result.encoding = "heic";
  result.byteLength = static_cast<std::int64_t>(bytes.size());
  result.sha256 = sha256Hex(bytes);
  result.imageBase64 = base64Encode(bytes);
  result.ocr = std::move(ocr);
  result.accessibility = std::move(accessibility);
  return result;
}

}  // namespace Sablekit
