// The scanner seam: one picture from a scanner, frame by frame.
//
// Conventions:
// - Devices are named by the scanner library ("test:0", ...); a backend
//   lists them in its own order, the first being the default.
// - A scan is one or more frames: a grey frame, a red-green-blue frame, or
//   three single-colour frames (red, green, blue in any order, the last one
//   flagged). Samples are 1, 8 or 16 bits; 16-bit samples are in the host's
//   byte order; 1-bit samples are packed from the most significant bit.
//   `lines` is -1 when the device cannot tell before the end (a hand
//   scanner).
// - Read returns the bytes it placed (at most `capacity`), 0 at the end of
//   the frame, -1 on an error.
// - Nothing here throws. The backend is a struct of function pointers so
//   that tests can put a fake device behind it; the default backend is
//   SANE.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dro::platform::scanner {

enum class FrameFormat : int32_t { kGray, kRgb, kRed, kGreen, kBlue, kOther };

struct FrameParams {
  FrameFormat format = FrameFormat::kOther;
  bool lastFrame = true;
  int32_t bytesPerLine = 0;
  int32_t pixelsPerLine = 0;
  int32_t lines = 0;
  int32_t depth = 0;
};

// What the caller asks for; the device may give something else (a grey
// frame from a device without colour), which the params then say.
struct ScanRequest {
  int32_t resolution = 0;  // dots per inch; 0: the device's own
  const char* mode = "Color";
  int32_t depth = 8;
};

struct Backend {
  bool (*init)();
  // Copies the name of device `index` (0, 1, ...) into `name` (NUL-ended,
  // cut to `capacity`); false past the last.
  bool (*device)(int32_t index, char* name, size_t capacity);
  void* (*open)(const char* name);
  void (*configure)(void* device, const ScanRequest& request);
  bool (*start)(void* device, FrameParams* params);
  int32_t (*read)(void* device, uint8_t* data, int32_t capacity);
  void (*cancel)(void* device);
  void (*close)(void* device);
};

const Backend& SaneBackend() noexcept;
const Backend& CurrentBackend() noexcept;
// Null restores SANE.
void SetBackend(const Backend* backend) noexcept;

}  // namespace dro::platform::scanner
