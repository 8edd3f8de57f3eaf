// "capture.frame": the capture pipeline, then the recognised text, the
// accessibility snapshot of the focused application, and the image encoded as
// HEIC with its digest.
#pragma once

#include <optional>

#include "Sablekit/accessibility/AccessibilitySnapshotCache.h"
#include "Sablekit/capture/CaptureProbeService.h"
#include "Sablekit/ocr/OCRService.h"
#include "Sablekit/platform/ImageEncoder.h"
#include "Sablekit/protocol/CaptureFrameResult.h"
#include "Sablekit/protocol/CaptureProbeParameters.h"

namespace Sablekit {

// Main thread only, one request at a time, like the capture service whose
// pipeline it runs; every step after the pipeline blocks until the frame is
// complete.
class CaptureFrameService {
 public:
  // Lossy compression quality of the encoded frame.
  static constexpr double encodingQuality = 0.97;

  // Every reference must outlive the service.
  CaptureFrameService(CaptureProbeService& captureService,
                      OCRService& ocrService,
                      AccessibilitySnapshotCache& snapshotService,
                      ImageEncoder& encoder);
  CaptureFrameService(const CaptureFrameService&) = delete;
  CaptureFrameService& operator=(const CaptureFrameService&) = delete;

  // Throws the pipeline's CaptureHostError unchanged, and imageEncodingFailed
  // when the encoder cannot be set up or cannot finish. Text recognition runs
  // for every captured frame, before the snapshot and the encoding, so it
  // remembers this frame even when the encoding then fails.
  CaptureFrameResult captureFrame(const std::optional<CaptureProbeParameters>& parameters);

 private:
  CaptureProbeService& captureService_;
  OCRService& ocrService_;
  AccessibilitySnapshotCache& snapshotService_;
  ImageEncoder& encoder_;
};

}  // namespace Sablekit
