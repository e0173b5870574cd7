// One picture from a scanner into the staging image (io/staging.h), which
// it replaces only when the scan gave a picture.
//
// The source: the device named by SetScanSource, else by the environment
// variable DROVINE_SANE_DEVICE, else the first device the scanner library
// lists. A scan asks for colour, 8 bits and the resolution of
// SetScanOptions (or what that export chose instead); whatever the device
// delivers is converted to 8-bit RGBA with alpha 255:
//   grey frames        each sample to red, green and blue
//   three-pass frames  one channel per frame (red, green, blue in any order)
//   16-bit samples     their high byte (host byte order)
//   1-bit samples      packed from the most significant bit; in a grey frame
//                      1 is black and 0 white, in a colour frame 1 is full
//                      intensity
// Sizes are checked in 64 bits before anything is allocated: more than
// 30000 lines or 2^28 pixels is refused. A device that cannot tell its
// line count is read to its end within the same limits. The bytes read are
// parsed with their count: a short frame gives only its complete lines
// (none: no picture). The device is cancelled and closed, and every block
// released, on every path.
//
// AcquireScan records "TwainAcquire Excpt" when memory runs out.
#pragma once

#include <cstdint>

namespace dro::io {

constexpr int64_t kScanMaxLines = 30000;
constexpr int64_t kScanMaxPixels = int64_t{1} << 28;

int32_t ScannerAvailable() noexcept;
int32_t SelectScanSource() noexcept;
int32_t AcquireScan() noexcept;
int32_t SetScanSource(const char* device) noexcept;
int32_t SetScanOptions(int32_t resolution, const char* mode, int32_t depth) noexcept;

}  // namespace dro::io
