// Scanner acquisition (model in scanner.h).
#include "io/scanner.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/guard.h"
#include "io/staging.h"
#include "platform/scanner_device.h"

namespace dro::io {
namespace {

namespace scan = platform::scanner;

struct ScannerSettings {
  std::string source;  // empty: the environment's or the first
  int32_t resolution = 0;
  std::string mode = "Color";
  int32_t depth = 8;
};

ScannerSettings& Settings() {
  static ScannerSettings settings;
  return settings;
}

// The source's name; empty when there is none.
std::string SourceName() {
  const ScannerSettings& s = Settings();
  if (!s.source.empty()) return s.source;
  const char* env = std::getenv("DROVINE_SANE_DEVICE");
  if (env && env[0]) return env;
  char name[256] = {};
  if (scan::CurrentBackend().device(0, name, sizeof name)) return name;
  return {};
}

bool SourceExists(const std::string& name) {
  char listed[256] = {};
  for (int32_t i = 0; i < 4096 && scan::CurrentBackend().device(i, listed, sizeof listed); ++i) {
    if (name == listed) return true;
  }
  return false;
}

// An open device, cancelled and closed on every path.
struct OpenDevice {
  void* handle = nullptr;
  bool started = false;
  ~OpenDevice() {
    if (handle && started) scan::CurrentBackend().cancel(handle);
    if (handle) scan::CurrentBackend().close(handle);
  }
};

int32_t Channels(scan::FrameFormat f) {
  return f == scan::FrameFormat::kRgb ? 3 : 1;
}

// Sample `i` of a line, as 8 bits.
uint8_t Sample(const uint8_t* line, int64_t i, int32_t depth, bool grey) {
  if (depth == 8) return line[i];
  if (depth == 16) {
    uint16_t v;
    std::memcpy(&v, line + 2 * i, 2);
    return uint8_t(v >> 8);
  }
  const bool bit = (line[i >> 3] >> (7 - (i & 7))) & 1;
  return grey ? (bit ? 0 : 255) : (bit ? 255 : 0);
}

// Reads one frame into `raw` (grown as needed within the limits); the
// number of complete lines read.
int64_t ReadFrame(void* device, const scan::FrameParams& p, Buffer<uint8_t>& raw) {
  const int64_t maxLines =
      std::min<int64_t>(kScanMaxLines, kScanMaxPixels / std::max(p.pixelsPerLine, 1));
  const int64_t wanted = p.lines >= 0 ? p.lines : maxLines;
  const int64_t capacity = wanted * p.bytesPerLine;
  // Unknown length: start small and grow by doubling up to the limit.
  int64_t size = p.lines >= 0 ? capacity : std::min<int64_t>(capacity, int64_t{1} << 20);
  if (int64_t(raw.size()) < size) raw = Buffer<uint8_t>::Make(CheckedCount(size, 1));
  int64_t filled = 0;
  for (;;) {
    if (filled == size) {
      if (size == capacity) {
        // All we take. The device still owes the frame's end: reading it
        // lets the device finish the frame (and start the next pass)
        // cleanly. What a faulty device sends beyond is dropped, within a
        // bound.
        std::array<uint8_t, 4096> rest;
        for (int32_t i = 0; i < 256; ++i) {
          if (scan::CurrentBackend().read(device, rest.data(), int32_t(rest.size())) <= 0) break;
        }
        break;
      }
      const int64_t bigger = std::min(capacity, size * 2);
      Buffer<uint8_t> grown = Buffer<uint8_t>::Make(CheckedCount(bigger, 1));
      std::copy(raw.data(), raw.data() + filled, grown.data());
      raw = std::move(grown);
      size = bigger;
    }
    const int32_t chunk = int32_t(std::min<int64_t>(size - filled, int64_t{1} << 20));
    const int32_t n = scan::CurrentBackend().read(device, raw.data() + filled, chunk);
    if (n <= 0) break;
    filled += std::min(n, chunk);
  }
  return filled / p.bytesPerLine;
}

bool ValidFrame(const scan::FrameParams& p) {
  if (p.format == scan::FrameFormat::kOther) return false;
  if (p.depth != 1 && p.depth != 8 && p.depth != 16) return false;
  if (p.pixelsPerLine <= 0 || p.lines == 0 || p.lines < -1) return false;
  if (p.lines > kScanMaxLines) return false;
  if (int64_t{p.pixelsPerLine} * std::max(p.lines, 1) > kScanMaxPixels) return false;
  const int64_t lineBits = int64_t{p.pixelsPerLine} * Channels(p.format) * p.depth;
  // Lines may be padded, but not beyond reason.
  const int64_t lineBytes = (lineBits + 7) / 8;
  return p.bytesPerLine >= lineBytes && p.bytesPerLine <= lineBytes + 65536;
}

// One scan into a fresh picture; false, with nothing landed, when the
// device gives no picture.
bool Acquire() {
  const std::string name = SourceName();
  if (name.empty()) return false;
  const scan::Backend& b = scan::CurrentBackend();
  OpenDevice device;
  device.handle = b.open(name.c_str());
  if (!device.handle) return false;
  const ScannerSettings& s = Settings();
  scan::ScanRequest request;
  request.resolution = s.resolution;
  request.mode = s.mode.c_str();
  request.depth = s.depth;
  b.configure(device.handle, request);

  Buffer<uint8_t> rgba, raw;
  int32_t width = 0;
  int64_t height = 0;
  for (int32_t frame = 0; frame < 3; ++frame) {
    scan::FrameParams p;
    device.started = true;
    if (!b.start(device.handle, &p) || !ValidFrame(p)) return false;
    if (frame > 0 && (p.pixelsPerLine != width || Channels(p.format) != 1)) return false;
    const int64_t lines = ReadFrame(device.handle, p, raw);
    if (lines == 0) return false;
    if (frame == 0) {
      width = p.pixelsPerLine;
      height = lines;
      rgba = Buffer<uint8_t>::MakeBytes(CheckedGridCount(width, height, 4) * 4, 0);
      for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
    }
    // Three-pass frames of differing lengths: the picture is as tall as
    // the shortest.
    height = std::min(height, lines);
    const bool grey = p.format == scan::FrameFormat::kGray;
    const int32_t channel = p.format == scan::FrameFormat::kGreen  ? 1
                            : p.format == scan::FrameFormat::kBlue ? 2
                                                                   : 0;
    for (int64_t y = 0; y < height; ++y) {
      const uint8_t* line = raw.data() + y * p.bytesPerLine;
      uint8_t* out = rgba.data() + y * int64_t{width} * 4;
      for (int64_t x = 0; x < width; ++x, out += 4) {
        if (grey) {
          out[0] = out[1] = out[2] = Sample(line, x, p.depth, true);
        } else if (p.format == scan::FrameFormat::kRgb) {
          for (int32_t c = 0; c < 3; ++c) out[c] = Sample(line, 3 * x + c, p.depth, false);
        } else {
          out[channel] = Sample(line, x, p.depth, false);
        }
      }
    }
    if (p.lastFrame || p.format == scan::FrameFormat::kGray || p.format == scan::FrameFormat::kRgb)
      break;
  }
  if (rgba.size() != size_t(width) * size_t(height) * 4) {
    Buffer<uint8_t> exact = Buffer<uint8_t>::Make(CheckedGridCount(width, height, 4) * 4);
    std::copy(rgba.data(), rgba.data() + exact.size(), exact.data());
    rgba = std::move(exact);
  }
  return AdoptStagingImage(rgba, width, int32_t(height));
}

}  // namespace

int32_t ScannerAvailable() noexcept {
  return scan::CurrentBackend().init() ? 1 : 0;
}

int32_t SelectScanSource() noexcept {
  if (!scan::CurrentBackend().init()) return 0;
  try {
    const std::string name = SourceName();
    return !name.empty() && SourceExists(name) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int32_t AcquireScan() noexcept {
  if (!scan::CurrentBackend().init()) return 0;
  return Guard(Operation::kTwainAcquire, 0, [] { return Acquire() ? 1 : 0; });
}

int32_t SetScanSource(const char* device) noexcept {
  try {
    Settings().source = device ? device : "";
  } catch (...) {
    return 0;
  }
  return 1;
}

int32_t SetScanOptions(int32_t resolution, const char* mode, int32_t depth) noexcept {
  if (resolution < 0 || resolution > 100000) return 0;
  if (depth != 0 && depth != 1 && depth != 8 && depth != 16) return 0;
  if (mode && std::strcmp(mode, "Color") != 0 && std::strcmp(mode, "Gray") != 0 &&
      std::strcmp(mode, "Lineart") != 0)
    return 0;
  try {
    ScannerSettings& s = Settings();
    s.resolution = resolution;
    s.mode = mode ? mode : "Color";
    s.depth = depth ? depth : 8;
  } catch (...) {
    return 0;
  }
  return 1;
}

}  // namespace dro::io
