// The decode limits every picture reader checks before it allocates: one
// pair of numbers for the whole seam, so a reader added later cannot forget
// them or keep a looser copy of its own.
#include <cstdlib>
#include <cstring>

#include "platform/image_library.h"

namespace dro::platform::image {
namespace {

// The environment variable read the first time a limit is needed: a
// positive whole number of pixels, up to kMostDecodePixels. Anything else
// is ignored and leaves the default.
int64_t PixelsFromEnvironment() noexcept {
  const char* text = std::getenv("DROVINE_MAX_IMAGE_PIXELS");
  if (!text || !*text) return kDefaultDecodePixels;
  char* end = nullptr;
  const long long value = std::strtoll(text, &end, 10);
  if (*end != '\0' || value <= 0 || value > kMostDecodePixels) return kDefaultDecodePixels;
  return value;
}

struct Limits {
  bool loaded = false;
  DecodeLimits values{kDefaultDecodePixels, kDefaultDecodeSide};
};

Limits g_limits;

DecodeLimits& Current() noexcept {
  if (!g_limits.loaded) {
    g_limits.values.maxPixels = PixelsFromEnvironment();
    g_limits.loaded = true;
  }
  return g_limits.values;
}

}  // namespace

DecodeLimits CurrentDecodeLimits() noexcept {
  return Current();
}

bool SetDecodeLimits(int64_t maxPixels, int64_t maxSide) noexcept {
  if (maxPixels < 0 || maxPixels > kMostDecodePixels || maxSide < 0 || maxSide > kMostDecodeSide)
    return false;
  DecodeLimits& limits = Current();
  limits.maxPixels = maxPixels == 0 ? PixelsFromEnvironment() : maxPixels;
  limits.maxSide = maxSide == 0 ? kDefaultDecodeSide : static_cast<int32_t>(maxSide);
  return true;
}

bool WithinDecodeLimits(int64_t width, int64_t height) noexcept {
  const DecodeLimits& limits = Current();
  return width > 0 && height > 0 && width <= limits.maxSide && height <= limits.maxSide &&
         width * height <= limits.maxPixels;
}

}  // namespace dro::platform::image
