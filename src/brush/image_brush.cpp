// Image brushes (image_brush.h).
#include "brush/image_brush.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "base/canvas_state.h"
#include "base/diagnostics.h"
#include "base/guard.h"
#include "base/pixel.h"
#include "brush/brush_state.h"
#include "brush/settings.h"
#include "platform/effect_script.h"
#include "platform/image_library.h"

namespace dro::brush {
namespace {

namespace img = platform::image;

ImageBrushState& Image() noexcept {
  return State().imageBrush;
}

int32_t Limit() noexcept {
  return Geometry().brushLimit;
}

uint16_t ChannelFromArgument(int32_t v) noexcept {
  return static_cast<uint16_t>((v & 0xFF) * 257);
}

// The blend buffer while it has the current limit's L x L pixels.
Pixel64* BlendBuffer() noexcept {
  Buffer<Pixel64>& b = State().blendBuffer;
  const int64_t l = Limit();
  return b && l > 0 && b.size() == size_t(l * l) ? b.data() : nullptr;
}

// Replaces the picture (the new buffer already made).
void SetPicture(Buffer<Pixel64>&& pixels, int32_t width, int32_t height) noexcept {
  ImageBrushState& s = Image();
  s.picture = std::move(pixels);
  s.width = width;
  s.height = height;
  ++s.generation;
}

Buffer<Pixel64> WidenPicture(const uint8_t* rgba, int32_t width, int32_t height) {
  Buffer<Pixel64> out = Buffer<Pixel64>::Make(CheckedCount(width, height));
  const size_t n = out.size();
  for (size_t i = 0; i < n; ++i) out[i] = WidenRgba(rgba + 4 * i);
  return out;
}

bool FitsLimit(int32_t width, int32_t height) noexcept {
  return width > 0 && height > 0 && width <= Limit() && height <= Limit();
}

// FitsLimit for an export's picture: a refusal is reported under `where`.
bool FitsLimit(const char* where, int32_t width, int32_t height) noexcept {
  if (FitsLimit(width, height)) return true;
  if (DiagnosticsOn())
    Diagnose(where, "picture %d x %d outside 1..%d a side (the brush size limit); kept the old one",
             width, height, Limit());
  return false;
}

// Premultiplies colour by alpha (rounded), in place.
void Premultiply(Pixel64* p, size_t n) noexcept {
  for (size_t i = 0; i < n; ++i) {
    const uint32_t a = p[i].a;
    p[i].r = static_cast<uint16_t>((p[i].r * a + 32767) / 65535);
    p[i].g = static_cast<uint16_t>((p[i].g * a + 32767) / 65535);
    p[i].b = static_cast<uint16_t>((p[i].b * a + 32767) / 65535);
  }
}

void Unpremultiply(Pixel64* p, size_t n) noexcept {
  for (size_t i = 0; i < n; ++i) {
    const uint32_t a = p[i].a;
    if (a == 0) {
      p[i] = Pixel64{0, 0, 0, 0};
      continue;
    }
    const auto back = [a](uint32_t c) {
      return static_cast<uint16_t>(std::min<uint32_t>(65535, (c * 65535u + a / 2) / a));
    };
    p[i].r = back(p[i].r);
    p[i].g = back(p[i].g);
    p[i].b = back(p[i].b);
  }
}

void PremultiplyBytes(uint8_t* p, size_t n) noexcept {
  for (size_t i = 0; i < n; ++i, p += 4) {
    const uint32_t a = p[3];
    for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>((p[c] * a + 127) / 255);
  }
}

void UnpremultiplyBytes(uint8_t* p, size_t n) noexcept {
  for (size_t i = 0; i < n; ++i, p += 4) {
    const uint32_t a = p[3];
    for (int c = 0; c < 3; ++c)
      p[c] = a == 0 ? 0 : static_cast<uint8_t>(std::min<uint32_t>(255, (p[c] * 255u + a / 2) / a));
  }
}

// Mixes a side x side brush into the blend buffer by d (image_brush.h):
// `source(y, n, p, d)` mixes the brush's row y, n pixels, into the blend
// buffer's row at p.
template <class Source>
void MixIntoBlendBuffer(int32_t side, int32_t percent, Source&& source) noexcept {
  Pixel64* blend = BlendBuffer();
  if (!blend || side <= 0) return;
  const int32_t l = Limit();
  const int32_t n = std::min(side, l);
  const int32_t d = static_cast<int32_t>(std::clamp(percent, 0, 100) * 2.559);
  for (int32_t y = 0; y < n; ++y) {
    uint16_t* p = &blend[int64_t{y} * l].r;
    source(y, n, p, d);
  }
}

void MixRow16(const uint16_t* q, int32_t channels, uint16_t* p, int32_t d) noexcept {
  if (d == 0) {
    std::memcpy(p, q, size_t(channels) * 2);
    return;
  }
  const uint32_t keep = uint32_t(d), take = uint32_t(255 - d);
  for (int32_t i = 0; i < channels; ++i)
    p[i] = static_cast<uint16_t>((keep * p[i] + take * q[i]) >> 8);
}

void MixRow8(const uint8_t* q, int32_t channels, uint16_t* p, int32_t d) noexcept {
  const uint32_t keep = uint32_t(d), take = uint32_t(255 - d);
  for (int32_t i = 0; i < channels; ++i) {
    const uint32_t v = uint32_t{q[i]} << 8;
    p[i] = d == 0 ? static_cast<uint16_t>(v) : static_cast<uint16_t>((keep * p[i] + take * v) >> 8);
  }
}

// Copies frame `frame` of the strip into the picture (made anew when it is
// not a frame's size).
void CopyFrame(int32_t frame) {
  ImageBrushState& s = Image();
  const int32_t side = s.stripHeight;
  if (!s.picture || s.width != side || s.height != side) {
    SetPicture(Buffer<Pixel64>::Make(CheckedCount(side, side)), side, side);
  } else {
    ++s.generation;
  }
  for (int32_t y = 0; y < side; ++y) {
    std::memcpy(s.picture.data() + int64_t{y} * side,
                s.strip.data() + int64_t{y} * s.stripWidth + int64_t{frame} * side,
                size_t(side) * sizeof(Pixel64));
  }
}

// Reads a picture file as RGBA; running out of memory is a failure of the
// operation, anything else a file that is not a picture we read.
bool ReadBrushPicture(const char* path, img::Picture& picture, const char* where) {
  img::ReadStatus status;
  if (!img::ReadImageRgba(path, picture, &status)) {
    if (status == img::ReadStatus::kNoMemory) throw std::bad_alloc();
    if (DiagnosticsOn()) {
      FILE* file = std::fopen(path, "rb");
      if (file) std::fclose(file);
      Diagnose(where, "\"%s\": %s; kept the old picture", path,
               file ? "not a picture this engine reads" : std::strerror(errno));
    }
    return false;
  }
  return picture.channels == 4;
}

}  // namespace

void LoadImageBrush(const char* path) noexcept {
  Guard(Operation::kLoadImageBrush, [&] {
    if (NullArgument("DRO_LoadImageBrush", path, "path")) return;
    img::Picture picture;
    if (!ReadBrushPicture(path, picture, "DRO_LoadImageBrush")) return;
    if (!FitsLimit("DRO_LoadImageBrush", picture.width, picture.height)) return;
    SetPicture(WidenPicture(picture.pixels.data(), picture.width, picture.height), picture.width,
               picture.height);
  });
}

void LoadImageBrushFromRgba32(const void* rgba32, int32_t width, int32_t height) noexcept {
  Guard(Operation::kLoadImageBrushFromRgba32, [&] {
    constexpr const char* kWhere = "DRO_LoadImageBrushFromRGBA32";
    if (NullArgument(kWhere, rgba32, "picture") || !FitsLimit(kWhere, width, height)) return;
    SetPicture(WidenPicture(static_cast<const uint8_t*>(rgba32), width, height), width, height);
  });
}

void LoadImageBrushArray(const char* path) noexcept {
  Guard(Operation::kLoadImageBrushArray, [&] {
    constexpr const char* kWhere = "DRO_LoadImageBrushArray";
    if (NullArgument(kWhere, path, "path")) return;
    img::Picture picture;
    if (!ReadBrushPicture(path, picture, kWhere)) return;
    const int32_t w = picture.width, h = picture.height;
    // A strip holds at least one whole square frame.
    if (h <= 0 || h > Limit() || w < h) {
      if (DiagnosticsOn())
        Diagnose(kWhere, "strip %d x %d: frames must be square, 1..%d a side; kept the old one", w,
                 h, Limit());
      return;
    }
    Buffer<Pixel64> strip = WidenPicture(picture.pixels.data(), w, h);
    Buffer<Pixel64> frame = Buffer<Pixel64>::Make(CheckedCount(h, h));
    ImageBrushState& s = Image();
    s.strip = std::move(strip);
    s.stripWidth = w;
    s.stripHeight = h;
    s.frameCount = w / h;
    SetPicture(std::move(frame), h, h);
    CopyFrame(0);
  });
}

void CopyFromImageBrushArray(float position) noexcept {
  Guard(Operation::kLoadImageBrushArray, [&] {
    ImageBrushState& s = Image();
    if (!s.strip || s.frameCount <= 0) return;
    const double f = std::floor(double(s.frameCount) * double(position));
    // NaN becomes frame 0; anything past either end the end frame.
    const int32_t frame = std::isnan(f) ? 0 : int32_t(std::clamp(f, 0.0, double(s.frameCount - 1)));
    CopyFrame(frame);
  });
}

void FillImageBrush(int32_t r, int32_t g, int32_t b) noexcept {
  Guard(Operation::kFillImageBrush, [&] {
    const int32_t size = BrushSize();
    if (size <= 0) return;
    Buffer<Pixel64> pixels = Buffer<Pixel64>::Make(CheckedCount(size, size));
    std::fill_n(
        pixels.data(), pixels.size(),
        Pixel64{ChannelFromArgument(r), ChannelFromArgument(g), ChannelFromArgument(b), 65535});
    SetPicture(std::move(pixels), size, size);
  });
}

void ColorImageBrush(int32_t r, int32_t g, int32_t b) noexcept {
  Guard(Operation::kColorImageBrush, [&] {
    const int32_t size = BrushSize();
    if (size <= 0) return;
    ImageBrushState& s = Image();
    if (!s.picture) {
      Buffer<Pixel64> white = Buffer<Pixel64>::MakeBytes(CheckedCount(size, size), 0xFF);
      SetPicture(std::move(white), size, size);
    }
    const uint16_t cr = ChannelFromArgument(r), cg = ChannelFromArgument(g),
                   cb = ChannelFromArgument(b);
    for (Pixel64* p = s.picture.data(); p != s.picture.data() + s.picture.size(); ++p) {
      p->r = cr;
      p->g = cg;
      p->b = cb;
    }
    ++s.generation;
  });
}

void CopyToImageBrush() noexcept {
  Guard(Operation::kCopyToImageBrush, [&] {
    const int32_t size = BrushSize();
    if (size <= 0) return;
    // Transparent unless the blend buffer has something to give.
    Buffer<Pixel64> pixels = Buffer<Pixel64>::MakeBytes(CheckedCount(size, size), 0);
    if (const Pixel64* blend = BlendBuffer()) {
      const int32_t n = std::min(size, Limit());
      for (int32_t y = 0; y < n; ++y)
        std::memcpy(pixels.data() + int64_t{y} * size, blend + int64_t{y} * Limit(),
                    size_t(n) * sizeof(Pixel64));
    }
    SetPicture(std::move(pixels), size, size);
  });
}

void SizeImageBrush() noexcept {
  Guard(Operation::kSizeImageBrush, [&] {
    ImageBrushState& s = Image();
    const int32_t size = BrushSize();
    if (!s.picture || size <= 0) return;
    if (s.sized && s.sizedSide == size && s.sizedGeneration == s.generation) return;
    Buffer<Pixel64> sized = Buffer<Pixel64>::Make(CheckedCount(size, size));
    if (s.width == size && s.height == size) {
      std::memcpy(sized.data(), s.picture.data(), s.picture.bytes());
    } else {
      // Premultiplied, so colour under transparent pixels stays out of the
      // edges.
      Buffer<Pixel64> work = Buffer<Pixel64>::Make(s.picture.size());
      std::memcpy(work.data(), s.picture.data(), s.picture.bytes());
      Premultiply(work.data(), work.size());
      const auto* in = reinterpret_cast<const uint8_t*>(work.data());
      auto* out = reinterpret_cast<uint8_t*>(sized.data());
      const bool shrinking = size < s.width || size < s.height;
      const bool done = shrinking ? img::DecimateImage(in, s.width, s.height, s.width * 8, out,
                                                       size, size, size * 8, 8, 1)
                                  : img::ResizeImage(in, s.width, s.height, s.width * 8, out, size,
                                                     size, size * 8, 8, 1);
      if (!done) return;
      Unpremultiply(sized.data(), sized.size());
    }
    s.sized = std::move(sized);
    s.sizedSide = size;
    s.sizedGeneration = s.generation;
    s.rotationReady = false;
  });
}

void RotateImageBrush(int32_t degrees) noexcept {
  Guard(Operation::kRotateImageBrush, [&] {
    ImageBrushState& s = Image();
    if (!s.sized) return;
    const int32_t side = s.sizedSide;
    const size_t bytes = CheckedCount(int64_t{side} * 4, side);
    if (!s.rotationReady || !s.rotationSource || !s.rotated || s.rotationSide != side) {
      Buffer<uint8_t> source = Buffer<uint8_t>::Make(bytes);
      Buffer<uint8_t> rotated = Buffer<uint8_t>::Make(bytes);
      for (size_t i = 0; i < s.sized.size(); ++i) {
        const Pixel64& p = s.sized[i];
        uint8_t* o = source.data() + 4 * i;
        o[0] = Narrow(p.r), o[1] = Narrow(p.g), o[2] = Narrow(p.b), o[3] = Narrow(p.a);
      }
      s.rotationSource = std::move(source);
      s.rotated = std::move(rotated);
      s.rotationSide = side;
      s.rotationReady = true;
    }
    // The rotation turns all four channels alike; on premultiplied colour
    // its interpolation cannot pull colour out of transparent pixels.
    std::memcpy(s.rotated.data(), s.rotationSource.data(), bytes);
    PremultiplyBytes(s.rotated.data(), size_t(side) * size_t(side));
    const int32_t reduced = ((degrees % 360) + 360) % 360;
    namespace fx = platform::effects;
    bool turned = false;
    {
      fx::Session session;
      if (session.ready() && session.AddEffect(fx::kEffectRotate, 1)) {
        session.SetEffectValue(0, 3, 360 - reduced);
        session.SetEffectValue(0, 4, 100);
        turned = session.ExecuteScriptOnImage(s.rotated.data(), side, side);
      }
    }
    if (!turned) {
      // The rotation fails only for want of memory: no half-made result
      // may be copied, and the failure is recorded.
      s.rotationReady = false;
      throw std::bad_alloc();
    }
    UnpremultiplyBytes(s.rotated.data(), size_t(side) * size_t(side));
  });
}

void CopyFromImageBrush(int32_t percent) noexcept {
  SizeImageBrush();
  const ImageBrushState& s = Image();
  if (!s.sized) return;
  const Pixel64* q = s.sized.data();
  const int32_t side = s.sizedSide;
  MixIntoBlendBuffer(side, percent, [&](int32_t y, int32_t n, uint16_t* p, int32_t d) {
    MixRow16(&q[int64_t{y} * side].r, n * 4, p, d);
  });
}

void CopyFromImageBrushRotate(int32_t percent) noexcept {
  const ImageBrushState& s = Image();
  if (!s.rotationReady || !s.rotated) return;
  const uint8_t* q = s.rotated.data();
  const int32_t side = s.rotationSide;
  MixIntoBlendBuffer(side, percent, [&](int32_t y, int32_t n, uint16_t* p, int32_t d) {
    MixRow8(q + int64_t{y} * side * 4, n * 4, p, d);
  });
}

void SaveImageBrush(const char* path) noexcept {
  Guard(Operation::kSaveImageBrush, [&] {
    const ImageBrushState& s = Image();
    if (!path || !s.picture) return;
    Buffer<uint8_t> rgba = Buffer<uint8_t>::Make(CheckedCount(int64_t{s.width} * 4, s.height));
    for (size_t i = 0; i < s.picture.size(); ++i) {
      const Pixel64& p = s.picture[i];
      uint8_t* o = rgba.data() + 4 * i;
      o[0] = Narrow(p.r), o[1] = Narrow(p.g), o[2] = Narrow(p.b), o[3] = Narrow(p.a);
    }
    img::WriteStatus status;
    img::WritePng(path, rgba.data(), s.width, s.height, 4, s.width * 4, 72, 72, &status);
    if (status == img::WriteStatus::kNoMemory) throw std::bad_alloc();
  });
}

}  // namespace dro::brush
