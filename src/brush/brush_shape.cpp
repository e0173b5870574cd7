#include "brush/brush_shape.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "base/canvas_state.h"
#include "base/diagnostics.h"
#include "base/guard.h"
#include "brush/brush_state.h"
#include "brush/settings.h"
#include "brush/source_picture.h"
#include "platform/effect_script.h"
#include "platform/image_library.h"

namespace dro::brush {
namespace {

uint64_t g_loads = 0;

enum class Sources { kScriptOrImage, kImageOnly };

bool HasSource(const char* path) noexcept {
  return path && path[0] != '\0' && path[1] != '\0';
}

// The tip exists and is L x L for the current limit.
bool TipReady() noexcept {
  const CanvasGeometry& geometry = Geometry();
  const BrushState& brushState = State();
  const int64_t limit = geometry.brushLimit;
  return brushState.tip && limit >= 0 &&
         brushState.tip.size() >= static_cast<size_t>(limit * limit);
}

// A disc of diameter S centred on the integer centre c = S / 2, solid out to
// R - F and fading linearly to 0 over the outer F = R x softness / 255. For
// an even S the disc reaches row and column 0 but stops short of S, one
// pixel fuller towards the top left.
void MakeDisc() {
  const CanvasGeometry& geometry = Geometry();
  BrushState& b = State();
  const int32_t size = BrushSize();
  const int64_t stride = geometry.brushLimit;
  const double radius = size * 0.5;
  const int32_t centre = size / 2;
  const double fade = radius * b.tipSoftness / 255;
  const double core = radius - fade;
  Mask16* tip = b.tip.data();
  for (int32_t i = 0; i < size; ++i) {
    for (int32_t j = 0; j < size; ++j) {
      const int64_t dx = j - centre;
      const int64_t dy = i - centre;
      const int32_t d = static_cast<int32_t>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
      if (d > radius) continue;
      double m = 65535;
      if (b.tipSoftness != 0 && d > core) {
        m = (fade - (d - core)) / fade * 65535;
        if (m < 0) m = 0;
        if (m > 65535) m = 65535;
      }
      if (b.invertTip) m = std::abs(static_cast<int32_t>(m - 65535));
      tip[j * stride + i] = ScaleCoverage(m * b.tipOpacity);
    }
  }
}

// Remembers the path of the picture just loaded. A path that does not fit
// the buffer is not remembered, so no later call can match it.
void RememberPath(ShapeSource& cache, const char* path) noexcept {
  const size_t length = std::strlen(path);
  if (length >= sizeof cache.path) {
    cache.path[0] = '\0';
    return;
  }
  std::memcpy(cache.path, path, length + 1);
}

// Rotates the picture in place by `angle` degrees. A rotation the script
// library refuses leaves the picture as it was; the angle counts as applied
// either way, so the same request is not retried on every call. Running out
// of memory is no refusal: it throws, and the caller forgets the picture.
void Rotate(ShapeSource& cache, int32_t angle) {
  namespace fx = platform::effects;
  {
    fx::Session session;
    if (session.ready() && session.AddEffect(fx::kEffectRotate, 1)) {
      session.SetEffectValue(0, 3, angle);
      session.SetEffectValue(0, 4, 100);
      session.ExecuteScriptOnImage(cache.pixels.data(), cache.width, cache.height);
    }
    if (session.ranOutOfMemory()) throw std::bad_alloc();
  }
  cache.angle = angle;
}

// Scales the cached picture to S x S, turns it to grey and writes the tip.
// Returns whether the tip was made.
bool ScaleIntoTip(const ShapeSource& cache) {
  const CanvasGeometry& geometry = Geometry();
  BrushState& b = State();
  const int32_t size = BrushSize();
  const int64_t stride = geometry.brushLimit;
  Buffer<uint8_t> scaled = Buffer<uint8_t>::Make(RgbaBytes(size, size));
  Buffer<uint8_t> grey = Buffer<uint8_t>::Make(CheckedCount(size, size));
  namespace img = platform::image;
  const int32_t w = cache.width;
  const int32_t h = cache.height;
  bool done = false;
  if (size > 0) {
    // Enlarge by interpolation, shrink by averaging.
    done = static_cast<uint32_t>(size) >= static_cast<uint32_t>(w)
               ? img::ResizeImage(cache.pixels.data(), w, h, w * 4, scaled.data(), size, size,
                                  size * 4, 4, 4)
               : img::DecimateImage(cache.pixels.data(), w, h, w * 4, scaled.data(), size, size,
                                    size * 4, 4, 4);
    done = done && img::ImageToGray8(scaled.data(), size, size, 4, size * 4, grey.data(), size);
  }
  if (done) {
    Mask16* tip = b.tip.data();
    for (int32_t i = 0; i < size; ++i) {
      for (int32_t j = 0; j < size; ++j) {
        const float value = static_cast<float>(grey[i * size + j] * 256) * b.tipOpacity;
        tip[i * stride + j] = ScaleCoverage(value);
      }
    }
  }
  b.drawingLengthCounter = b.drawingLength;
  return done;
}

// The tip from a picture, loaded (and rotated) only when the path or the
// angle differ from the cached picture's.
bool TipFromSource(const char* path, int32_t angle, Sources sources) {
  ShapeSource& cache = State().shapeSourceCache;
  const bool cached = cache.present() && cache.path[0] != '\0' &&
                      std::strcmp(cache.path, path) == 0 && cache.angle == angle;
  if (!cached) {
    cache.Reset();
    // A path that loads as a script is not read again as an image file.
    platform::image::Picture picture;
    bool isScript = false;
    const bool loaded =
        (sources == Sources::kScriptOrImage && RenderScriptPicture(path, picture, isScript)) ||
        (!isScript && ReadRgbaPicture(path, picture));
    if (!loaded) return false;
    cache.pixels = std::move(picture.pixels);
    cache.width = picture.width;
    cache.height = picture.height;
    RememberPath(cache, path);
    ++g_loads;
    try {
      Rotate(cache, angle);
    } catch (...) {
      cache.Reset();  // half made: not to be found by the next call
      throw;
    }
  }
  return ScaleIntoTip(cache);
}

void BuildShape(const char* path, int32_t angle, Sources sources) noexcept {
  Guard(Operation::kSetBrushShape, [&] {
    if (!TipReady()) return;  // no canvas: there is no tip to build
    State().tip.FillBytes(0);
    bool complete = false;
    if (HasSource(path)) {
      // A picture that cannot be loaded or scaled gives the disc instead;
      // running out of memory on the way is recorded all the same.
      try {
        complete = TipFromSource(path, angle, sources);
      } catch (const std::bad_alloc&) {
        RecordFailure(Operation::kSetBrushShape);
      } catch (...) {
      }
    }
    if (!complete) {
      if (HasSource(path) && DiagnosticsOn())
        Diagnose(
            sources == Sources::kScriptOrImage ? "DRO_SetBrushShape" : "DRO_SetBrushShape_ORIGINAL",
            "tip picture \"%s\" unusable (%s); a disc is used", path, SourcePictureProblem(path));
      MakeDisc();
    }
  });
}

}  // namespace

Mask16 ScaleCoverage(double coverage) noexcept {
  if (!(coverage > 0)) return 0;  // negative and NaN alike
  if (coverage >= 65535) return 65535;
  return static_cast<Mask16>(coverage);
}

void SetBrushShape(const char* path, int32_t angle) noexcept {
  BuildShape(path, angle, Sources::kScriptOrImage);
}

void SetBrushShapeOriginal(const char* path, int32_t angle) noexcept {
  BuildShape(path, angle, Sources::kImageOnly);
}

uint64_t ShapeSourceLoadCount() noexcept {
  return g_loads;
}

}  // namespace dro::brush
