// The recipes of the distortion effects, in the vocabulary of effect_call.h;
// the numbers cited are those of effect_distortions.h.
#include "imaging/effect_distortions.h"

#include <algorithm>
#include <cstring>

#include "base/allocation.h"
#include "color/conversions.h"
#include "composite/layer_state.h"
#include "composite/pixel_transfers.h"
#include "imaging/pattern_state.h"
#include "mask/mask_ops.h"
#include "platform/effect_script.h"
#include "platform/image_geometry.h"
#include "platform/image_library.h"
#include "platform/image_warps.h"

namespace dro::imaging::effects {
namespace {

namespace image = platform::image;
namespace fx = platform::effects;
using image::Transform;
using image::TransformKind;
using Slots = std::initializer_list<std::pair<int32_t, int32_t>>;

constexpr int64_t kCornerLimit = int64_t{1} << 24;
constexpr int32_t kMaxScriptSide = 10000;

int32_t Size(const EffectCall& c) noexcept {
  return std::max(c.width, c.height);
}

// Number 1.
double Cx(const EffectCall& c, float f) noexcept {
  return c.width * double(f) * 0.01 * 2 - c.width;
}
double Cy(const EffectCall& c, float f) noexcept {
  return c.height * double(f) * 0.01 * 2 - c.height;
}

// Transform run: Refresh, Pre, the transform from source into destination,
// and on success Post and LoadD.
void TransformRun(EffectCall& c, Transform t) {
  c.Refresh();
  c.Pre(c.source);
  if (image::TransformImage(c.source, c.width, c.height, c.Stride32(), c.destination, c.Stride32(),
                            t, c.colour)) {
    c.Post(c.destination);
    c.LoadD();
  }
}

Transform Make(TransformKind kind, double a, double b = 0, double cc = 0,
               image::WarpEdge edge = image::WarpEdge::kFill) noexcept {
  Transform t;
  t.kind = kind;
  t.a = a;
  t.b = b;
  t.c = cc;
  t.edge = edge;
  return t;
}

Transform Centred(Transform t, const EffectCall& c, float fx, float fy) noexcept {
  t.centreX = EffectCall::Int(Cx(c, fx));
  t.centreY = EffectCall::Int(Cy(c, fy));
  return t;
}

image::WarpEdge Edge(const EffectCall& c) noexcept {
  return image::WarpEdgeFromMode(c.args.mode);
}

// Number 3.
int32_t Unit(double side, double unit, float f) noexcept {
  return EffectCall::Int(side * unit * (50.0 - double(f)));
}
int32_t Percent(double side, double p) noexcept {
  return EffectCall::Int(side * 0.01 * p);
}

// Number 4: a corner coordinate from int64 sums, kept within range.
int32_t Keep(int64_t v) noexcept {
  return int32_t(std::clamp(v, -kCornerLimit, kCornerLimit));
}

void CornerWarpRun(EffectCall& c, CornerWarp kind) {
  WarpExtent e;
  if (!CornerWarpExtent(c, e)) return;
  const std::array<int32_t, 8> from = SourceCorners(e);
  const std::array<int32_t, 8> to = DestinationCorners(c, kind, e);
  // The area outside the warped picture shows the colour at alpha 0.
  const uint8_t fill[4] = {uint8_t(c.colour), uint8_t(c.colour >> 8), uint8_t(c.colour >> 16), 0};
  const size_t count = size_t(c.width) * size_t(c.height);
  for (size_t i = 0; i < count; ++i) std::memcpy(c.destination + 4 * i, fill, 4);
  c.Refresh();
  c.Pre(c.source);
  if (image::PolygonWarpImage(c.source, c.width, c.height, c.Stride32(), c.destination, c.width,
                              c.height, c.Stride32(), from.data(), to.data(), c.colour)) {
    c.Post(c.destination);
    c.LoadD();
  }
}

// One apply sequence on a red-first picture that is not the source buffer.
bool Apply(uint8_t* rgba, int32_t width, int32_t height, int32_t number, Slots slots) {
  fx::Session session;
  if (!session.ready() || !session.AddEffect(number, 1)) return false;
  for (const auto& [slot, value] : slots) session.SetEffectValue(0, slot, value);
  return session.ExecuteScriptOnImage(rgba, width, height);
}

// A tile of width x height, tight RGBA32.
struct Tile {
  Buffer<uint8_t> pixels;
  int32_t width = 0, height = 0;
};

Tile MakeTile(int32_t width, int32_t height) {
  Tile t;
  t.pixels = Buffer<uint8_t>::Make(CheckedGridCount(width, height, 4) * 4);
  t.width = width;
  t.height = height;
  return t;
}

// The tile resized (bicubic) to width x height; false keeps it as it was.
bool Resize(Tile& tile, int32_t width, int32_t height) {
  if (width == tile.width && height == tile.height) return true;
  Tile out = MakeTile(width, height);
  if (!image::ResizeWithFilter(tile.pixels.data(), tile.width, tile.height, tile.width * 4,
                               out.pixels.data(), width, height, width * 4, 4,
                               image::CvFilter::kBicubic))
    return false;
  tile = std::move(out);
  return true;
}

int32_t Shrunk(float f6, int32_t side) noexcept {
  return std::max(5, EffectCall::Int(double(f6) * 0.01 * side));
}

// The conditional chain of the tilers on a J x I tile.
void PatternChain(EffectCall& c, Tile& t) {
  const int32_t j = t.width, i = t.height;
  uint8_t* p = t.pixels.data();
  const auto& f = c.f;
  if (f[3] != 50.0f)
    Apply(p, j, i, fx::kEffectRotate, {{3, EffectCall::Int(f[3] * 7.2 - 360)}, {4, 100}});
  if (f[0] > 0 || f[1] > 0)
    Apply(p, j, i, fx::kEffectWaves,
          {{3, EffectCall::Int(f[0] * 10.0)}, {4, EffectCall::Int(f[1])}, {6, 0}, {5, 1}});
  if (f[2] > 0) {
    const int32_t amplitude = EffectCall::Int(f[2] * 0.2);
    Apply(p, j, i, fx::kEffectSineDistortion,
          {{3, amplitude}, {4, amplitude}, {5, 4}, {6, 4}, {7, 0}, {8, 0}, {9, 1}});
  }
  if (c.Opt(3) == 1) Apply(p, j, i, fx::kEffectTwirl, {{3, 360}, {4, 3}, {5, 3}, {7, 1}});
  if (f[4] != 50.0f)
    Apply(p, j, i, fx::kEffectTilt,
          {{3, EffectCall::Int(double(j / 50) * f[4] - j)},
           {4, EffectCall::Int(double(i / 50) * f[4] - i)}});
  const int32_t k = EffectCall::Int(c.args.value / 32767.0 * j * i);
  Apply(p, j, i, fx::kEffectKaleidoscope,
        {{3, k % j}, {4, k / i}, {5, c.Opt(2) != 0 ? 2 : 1}, {6, 0}});
}

// The tile laid over the whole source at every (a J, b I), every alpha
// byte 255, LoadS. The tiles cover the source, so the tile's own alpha is
// made opaque first and the laying is plain row copies.
void LayTiles(EffectCall& c, Tile& t) {
  if (t.width < 1 || t.height < 1) return;
  const size_t count = size_t(t.width) * size_t(t.height);
  for (size_t i = 0; i < count; ++i) t.pixels[4 * i + 3] = 255;
  if (image::TileImage(c.source, c.width, c.height, c.Stride32(), t.pixels.data(), t.width,
                       t.height, t.width * 4))
    c.LoadS();
}

// Generates the pattern explorer's picture from `path` into the cache. The
// new picture is made in full before it replaces the cached one; any
// failure leaves the cache empty.
bool RefreshPatternCache(const char* path) {
  PatternCache& cache = Patterns();
  struct ClearUnlessDone {
    PatternCache& cache;
    bool done = false;
    ~ClearUnlessDone() {
      if (!done) cache.Clear();
    }
  } guard{cache};
  if (!path || !path[0]) return false;
  fx::Session session;
  fx::ScriptHeader header;
  if (!session.ready() || !session.LoadScriptFromFile(path)) return false;
  session.InitBuffers();
  if (!session.ReadScriptHeaderFromFile(path, header)) return false;
  const int32_t width = header.width(), height = header.height();
  if (width < 1 || width > kMaxScriptSide || height < 1 || height > kMaxScriptSide) return false;
  Buffer<uint8_t> picture = Buffer<uint8_t>::Make(CheckedGridCount(width, height, 4) * 4);
  if (!session.ExecuteScript(picture.data(), width, height)) return false;
  image::RgbaToBgra(picture.data(), width, height, width * 4);
  const size_t length = std::strlen(path);
  Buffer<char> name = Buffer<char>::Make(length + 1);
  std::memcpy(name.data(), path, length + 1);
  cache.picture = std::move(picture);
  cache.path = std::move(name);
  cache.width = width;
  cache.height = height;
  guard.done = true;
  return true;
}

}  // namespace

// ---- Extents and corners ------------------------------------------------

bool CornerWarpExtent(const EffectCall& c, WarpExtent& e) noexcept {
  e = {0, 0, c.width - 1, c.height - 1};
  if (c.Opt(2) == 1) {
    int32_t minX, minY, maxX, maxY;
    // A slot without pixels keeps the whole canvas.
    if (composite::FindDataExtents(composite::Layers().currentIndex, minX, minY, maxX, maxY))
      e = {minX, minY, maxX, maxY};
  }
  return e.right - e.left > 0 && e.bottom - e.top > 0;
}

std::array<int32_t, 8> SourceCorners(const WarpExtent& e) noexcept {
  return {e.left, e.bottom, e.left, e.top, e.right, e.top, e.right, e.bottom};
}

std::array<int32_t, 8> DestinationCorners(const EffectCall& c, CornerWarp kind,
                                          const WarpExtent& e) noexcept {
  const double dx = double(e.right) - e.left, dy = double(e.bottom) - e.top;
  const auto& f = c.f;
  // Corners as int64 (x, y) pairs: bottom-left, top-left, top-right,
  // bottom-right, starting at the extent.
  int64_t k[8] = {e.left, e.bottom, e.left, e.top, e.right, e.top, e.right, e.bottom};
  auto set = [&](int corner, int64_t x, int64_t y) {
    k[2 * corner] = x;
    k[2 * corner + 1] = y;
  };
  const int64_t l = e.left, t = e.top, r = e.right, b = e.bottom;
  switch (kind) {
    case CornerWarp::kPerspective: {
      const int64_t pa = Unit(dy, 0.01, f[0]), pb = Unit(dx, 0.01, f[1]);
      const int64_t pc = Unit(dy, 0.01, f[2]), pd = Unit(dx, 0.01, f[3]);
      set(0, l + pd, b - pa);
      set(1, l + pb, t + pa);
      set(2, r - pb, t + pc);
      set(3, r - pd, b - pc);
      break;
    }
    case CornerWarp::kWarp: {
      int64_t x[4], y[4];
      for (int i = 0; i < 4; ++i) x[i] = Unit(dx, 0.01, f[i]), y[i] = Unit(dy, 0.01, f[i]);
      set(0, l + x[0], b - y[0]);
      set(1, l + x[1], t + y[1]);
      set(2, r - x[2], t + y[2]);
      set(3, r - x[3], b - y[3]);
      break;
    }
    case CornerWarp::kWarpEdge: {
      int64_t x[3], y[3];
      for (int i = 0; i < 3; ++i) x[i] = Unit(dx, 0.04, f[i]), y[i] = Unit(dy, 0.04, f[i]);
      switch (c.args.mode) {
        case 0:  // left edge
          set(0, l - x[1], b - y[2] - y[0]);
          set(1, l - x[1], t + y[0] - y[2]);
          break;
        case 1:  // top edge
          set(1, l + x[0] - x[2], t + y[1]);
          set(2, r - x[2] - x[0], t + y[1]);
          break;
        case 2:  // right edge
          set(2, r - x[1], t + y[0] - y[2]);
          set(3, r - x[1], b - y[2] - y[0]);
          break;
        case 3:  // bottom edge
          set(3, r - x[2] - x[0], b - y[1]);
          set(0, l + x[0] - x[2], b - y[1]);
          break;
        default:
          break;
      }
      break;
    }
    case CornerWarp::kWarp3Point: {
      int64_t px[3], py[3];
      for (int i = 0; i < 3; ++i)
        px[i] = Unit(dx, 0.04, f[2 * i]), py[i] = Unit(dy, 0.04, f[2 * i + 1]);
      int taken = 0;
      for (int corner = 0; corner < 4 && taken < 3; ++corner) {
        if (c.Opt(3 + corner) != 1) continue;
        k[2 * corner] -= px[taken];
        k[2 * corner + 1] -= py[taken];
        ++taken;
      }
      break;
    }
    case CornerWarp::kStretch: {
      const int64_t a = Unit(dx, 0.01, f[0]), v = Unit(dy, 0.01, f[1]);
      set(0, l + a, b - v);
      set(1, l + a, t + v);
      set(2, r - a, t + v);
      set(3, r - a, b - v);
      break;
    }
    case CornerWarp::kStretchEdge: {
      const int64_t top = Unit(dy, 0.01, f[0]), bottom = Unit(dy, 0.01, f[1]);
      const int64_t left = Unit(dx, 0.01, f[2]), right = Unit(dx, 0.01, f[3]);
      set(0, l + left, b - bottom);
      set(1, l + left, t + top);
      set(2, r - right, t + top);
      set(3, r - right, b - bottom);
      break;
    }
    case CornerWarp::kVerticalPivot: {
      const int64_t ly = Unit(dy, 0.01, f[0]), ry = Unit(dy, 0.01, f[2]);
      const int64_t lx = Percent(dx, f[1]), rx = Percent(dx, 100.0 - double(f[3]));
      set(0, l + lx, b - ly);
      set(1, l + lx, t + ly);
      set(2, r - rx, t + ry);
      set(3, r - rx, b - ry);
      break;
    }
    case CornerWarp::kHorizontalPivot: {
      const int64_t tx = Unit(dx, 0.01, f[0]), bx = Unit(dx, 0.01, f[2]);
      const int64_t ty = Percent(dy, f[1]), by = Percent(dy, 100.0 - double(f[3]));
      set(0, l + bx, b - by);
      set(1, l + tx, t + ty);
      set(2, r - tx, t + ty);
      set(3, r - bx, b - by);
      break;
    }
    case CornerWarp::kSkew: {
      const int64_t ly = Unit(dy, 0.02, f[0]), tx = Unit(dx, 0.02, f[1]);
      const int64_t ry = Unit(dy, 0.02, f[2]), bx = Unit(dx, 0.02, f[3]);
      set(0, l - bx, b + ly);
      set(1, l - tx, t + ly);
      set(2, r - tx, t + ry);
      set(3, r - bx, b + ry);
      break;
    }
  }
  std::array<int32_t, 8> out;
  for (int i = 0; i < 8; ++i) out[size_t(i)] = Keep(k[i]);
  return out;
}

// ---- Alpha-carrying runs ------------------------------------------------

bool AlphaCarryingRun(EffectCall& c, int32_t number, Slots slots, AlphaCarry how) {
  if (how == AlphaCarry::kAuto && fx::MovesAlphaWithColour(number)) {
    c.Refresh();
    c.Pre(c.source);
    if (!c.ScriptRun(number, slots, false)) return false;
    c.Post(c.source);
    c.LoadS();
    return true;
  }
  c.Refresh();
  Buffer<uint8_t> plane = Buffer<uint8_t>::Make(CheckedCount(c.width, c.height));
  uint8_t* alphaOut[4] = {nullptr, nullptr, nullptr, plane.data()};
  uint8_t* redOut[4] = {plane.data(), nullptr, nullptr, nullptr};
  const uint8_t* redIn[4] = {plane.data(), nullptr, nullptr, nullptr};
  const uint8_t* alphaIn[4] = {nullptr, nullptr, nullptr, plane.data()};
  image::SplitChannels(c.source, c.width, c.height, c.Stride32(), alphaOut);
  image::CombineChannels(redIn, c.width, c.height, c.source, c.Stride32());
  // Without its moved alpha the colour must not move either: a failed
  // first pass ends the run.
  if (!c.ScriptRun(number, slots, false)) return false;
  image::SplitChannels(c.source, c.width, c.height, c.Stride32(), redOut);
  c.Refresh();
  c.Pre(c.source);
  if (!c.ScriptRun(number, slots, false)) return false;
  image::CombineChannels(alphaIn, c.width, c.height, c.source, c.Stride32());
  c.Post(c.source);
  c.LoadS();
  return true;
}

// ---- Transforms ------------------------------------------------------------

void Elliptical(EffectCall& c) {
  TransformRun(c, Make(TransformKind::kElliptical, EffectCall::Int(c.f[0] * 0.01 * c.width),
                       EffectCall::Int(c.f[1] * 0.01 * c.height), 0, Edge(c)));
}

void Lens(EffectCall& c) {
  TransformRun(c, Make(TransformKind::kLens, EffectCall::Int(c.f[0] * 0.01 * Size(c))));
}

void Marble(EffectCall& c) {
  TransformRun(c, Make(TransformKind::kMarble, c.f[0] * 0.01 * 5 + 0.5, c.f[1] * 0.01 * 80 + 3,
                       c.f[2] * 0.01 * 80 + 3));
}

void Offset(EffectCall& c) {
  TransformRun(c, Make(TransformKind::kOffset, EffectCall::Int(Cx(c, c.f[0])),
                       EffectCall::Int(Cy(c, c.f[1])), 0, Edge(c)));
}

void Pinch(EffectCall& c) {
  TransformRun(c, Centred(Make(TransformKind::kPinch, EffectCall::Int(c.f[0] * 0.01 * Size(c)),
                               EffectCall::Int(c.f[1])),
                          c, c.f[2], c.f[3]));
}

void Ripple(EffectCall& c) {
  TransformRun(c, Centred(Make(TransformKind::kRipple, EffectCall::Int(c.f[0] * 0.01 * Size(c)),
                               EffectCall::Int(c.f[1]), EffectCall::Int(c.f[2]), Edge(c)),
                          c, c.f[3], c.f[4]));
}

void Spin(EffectCall& c) {
  TransformRun(c, Centred(Make(TransformKind::kSpin, EffectCall::Int(c.f[0] * 0.01 * Size(c)),
                               EffectCall::Int(c.f[1] * 0.01 * 360 - 180)),
                          c, c.f[2], c.f[3]));
}

void SpinWave(EffectCall& c) {
  TransformRun(c, Centred(Make(TransformKind::kSpinWave, EffectCall::Int(c.f[0] * 0.01 * Size(c)),
                               EffectCall::Int(c.f[1] * 0.01 * 360 - 180), EffectCall::Int(c.f[2])),
                          c, c.f[3], c.f[4]));
}

void Wave(EffectCall& c) {
  TransformRun(c, Make(TransformKind::kWave, static_cast<float>(c.f[0] * 0.01 * 20),
                       EffectCall::Int(c.f[1]), 0, Edge(c)));
}

void Wow(EffectCall& c) {
  TransformRun(c,
               Make(TransformKind::kWow, EffectCall::Int(c.f[0] * 0.01 * Size(c)), 0, 0, Edge(c)));
}

void ZigZag(EffectCall& c) {
  TransformRun(c, Make(TransformKind::kZigZag, static_cast<float>(c.f[0] * 0.01 * 20),
                       EffectCall::Int(c.f[1]), 0, Edge(c)));
}

// ---- Corner warps -----------------------------------------------------------

void Perspective(EffectCall& c) {
  CornerWarpRun(c, CornerWarp::kPerspective);
}
void WarpCorners(EffectCall& c) {
  CornerWarpRun(c, CornerWarp::kWarp);
}
void WarpEdge(EffectCall& c) {
  CornerWarpRun(c, CornerWarp::kWarpEdge);
}
void Warp3Point(EffectCall& c) {
  CornerWarpRun(c, CornerWarp::kWarp3Point);
}
void Stretch(EffectCall& c) {
  CornerWarpRun(c, CornerWarp::kStretch);
}
void StretchEdge(EffectCall& c) {
  CornerWarpRun(c, CornerWarp::kStretchEdge);
}
void VerticalPivot(EffectCall& c) {
  CornerWarpRun(c, CornerWarp::kVerticalPivot);
}
void HorizontalPivot(EffectCall& c) {
  CornerWarpRun(c, CornerWarp::kHorizontalPivot);
}
void Skew(EffectCall& c) {
  CornerWarpRun(c, CornerWarp::kSkew);
}

// ---- Script distortions -------------------------------------------------------

void Twirl(EffectCall& c) {
  const float f2 = std::max(c.f[1], 1.0f), f3 = std::max(c.f[2], 1.0f);
  AlphaCarryingRun(c, fx::kEffectTwirl,
                   {{3, EffectCall::Int(c.f[0] * 7.2 - 360)},
                    {4, EffectCall::Int(f2)},
                    {5, EffectCall::Int(f3)},
                    {7, c.Opt(2)}});
}

void SineDistortion(EffectCall& c) {
  AlphaCarryingRun(c, fx::kEffectSineDistortion,
                   {{3, EffectCall::Int(c.width * 0.01 * c.f[0])},
                    {4, EffectCall::Int(c.height * 0.01 * c.f[1])},
                    {5, EffectCall::Int(c.f[2] * 0.33333334)},
                    {6, EffectCall::Int(c.f[3] * 0.33333334)},
                    {7, EffectCall::Int(c.width * 0.01 * c.f[4] - 1)},
                    {8, EffectCall::Int(c.height * 0.01 * c.f[5] - 1)},
                    {9, c.Opt(2)}});
}

void Kaleidoscope(EffectCall& c) {
  AlphaCarryingRun(c, fx::kEffectKaleidoscope,
                   {{3, EffectCall::Int(c.width * 0.01 * c.f[0])},
                    {4, EffectCall::Int(c.height * 0.01 * c.f[1])},
                    {5, EffectCall::Int(c.f[2] * 0.33333334)},
                    {6, c.args.mode}});
}

void Scratch(EffectCall& c) {
  AlphaCarryingRun(c, fx::kEffectScratch,
                   {{3, c.args.value},
                    {4, EffectCall::Int(c.f[0])},
                    {5, EffectCall::Int(c.f[1] * 4.0)},
                    {6, EffectCall::Int(c.f[2] * 3.6)},
                    {7, c.Opt(2)},
                    {9, c.Opt(3)}});
}

void Waves(EffectCall& c) {
  AlphaCarryingRun(c, fx::kEffectWaves,
                   {{3, EffectCall::Int(c.f[0] * 10.0)},
                    {4, EffectCall::Int(c.f[1] * 5.0)},
                    {6, EffectCall::Int(c.f[2] * 3.6)},
                    {5, c.Opt(2)}});
}

void Divider(EffectCall& c) {
  AlphaCarryingRun(c, fx::kEffectDivider,
                   {{3, EffectCall::Int(c.f[0])}, {4, EffectCall::Int(c.f[1])}});
}

void Carpet(EffectCall& c) {
  AlphaCarryingRun(c, fx::kEffectCarpet,
                   {{3, EffectCall::Int(c.f[0] * 5.0)}, {4, EffectCall::Int(c.f[1] * 5.0)}});
}

void Glass(EffectCall& c) {
  AlphaCarryingRun(c, fx::kEffectGlass,
                   {{3, c.args.value},
                    {4, EffectCall::Int(c.f[0] * 10.0)},
                    {5, EffectCall::Int(c.f[1] * 0.25)}});
}

void Voxel(EffectCall& c) {
  AlphaCarryingRun(c, fx::kEffectVoxel, {{3, EffectCall::Int(double(c.f[0]) + 4)}});
}

void Zoom(EffectCall& c) {
  AlphaCarryingRun(c, fx::kEffectZoom,
                   {{3, EffectCall::Int(c.f[0] * 10.0 + 1)},
                    {4, EffectCall::Int(c.f[1] * 20.0 - 1000)},
                    {5, EffectCall::Int(c.f[2] * 20.0 - 1000)},
                    {7, c.Opt(2)}});
}

void Rotate(EffectCall& c) {
  AlphaCarryingRun(c, fx::kEffectRotate,
                   {{3, EffectCall::Int(c.f[0] * 7.2 - 360)}, {4, EffectCall::Int(c.f[1] * 10.0)}});
}

void Tilt(EffectCall& c) {
  AlphaCarryingRun(
      c, fx::kEffectTilt,
      {{3, EffectCall::Int(c.f[0] * 20.0 - 1000)}, {4, EffectCall::Int(c.f[1] * 20.0 - 1000)}});
}

void Seamless(EffectCall& c) {
  AlphaCarryingRun(c, fx::kEffectSeamless, {{3, EffectCall::Int(c.f[0] * 3.0)}});
}

// ---- Flips, masks, tilers -------------------------------------------------------

void HorizontalFlip(EffectCall& c) {
  c.Refresh();
  if (image::FlipImage(c.source, c.width, c.height, c.Stride32(), true)) c.LoadS();
}

void VerticalFlip(EffectCall& c) {
  c.Refresh();
  if (image::FlipImage(c.source, c.width, c.height, c.Stride32(), false)) c.LoadS();
}

void MaskGenerateHsl(EffectCall& c) {
  int32_t r = 0, g = 0, b = 0;
  // Out-of-range host values give the nearest colour there is.
  color::HslToRgb(std::clamp(c.f[0] * 3.6, 0.0, 360.0), std::clamp(c.f[2] * 0.01, 0.0, 1.0),
                  std::clamp(c.f[4] * 0.01, 0.0, 1.0), r, g, b);
  if (c.Opt(2) == 1) mask::Clear(0, 0, 0);
  // The source buffer as it was last filled: the host chooses what the mask
  // is made from.
  mask::FromHslRange(c.source, r, g, b, c.f[1] * 0.01, c.f[3] * 0.01, c.f[5] * 0.01,
                     c.args.mode == 0 ? 255 : 0);
}

void MaskDetail(EffectCall& c) {
  if (c.Opt(2) == 1) mask::Clear(0, 0, 0);
  c.Refresh();
  c.NativeOwn();
  c.LoadD();
}

void Patternizer(EffectCall& c) {
  c.Refresh();
  Tile tile = MakeTile(c.width, c.height);
  std::memcpy(tile.pixels.data(), c.source, tile.pixels.size());
  if (c.f[5] < 100.0f && !Resize(tile, Shrunk(c.f[5], c.width), Shrunk(c.f[5], c.height))) return;
  PatternChain(c, tile);
  LayTiles(c, tile);
}

void PatternExplorer(EffectCall& c) {
  PatternCache& cache = Patterns();
  const char* path = c.args.path;
  const bool same = cache.Holds() && path && std::strcmp(path, cache.path.data()) == 0;
  if (!same && !RefreshPatternCache(path)) return;
  Tile tile = MakeTile(cache.width, cache.height);
  std::memcpy(tile.pixels.data(), cache.picture.data(), tile.pixels.size());
  PatternChain(c, tile);
  if (c.f[5] < 100.0f && !Resize(tile, Shrunk(c.f[5], tile.width), Shrunk(c.f[5], tile.height)))
    return;
  c.Refresh();
  LayTiles(c, tile);
}

}  // namespace dro::imaging::effects
