#include "composite/rle.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/canvas_state.h"
#include "base/diagnostics.h"
#include "base/guard.h"
#include "base/pixel.h"
#include "composite/layers.h"
#include "composite/pixel_transfers.h"
#include "mask/mask_state.h"
#include "platform/image_library.h"

namespace dro::rle {
namespace {

struct RgbaKey {
  uint8_t r, g, b, a;
  bool operator==(const RgbaKey&) const = default;
};

RgbaKey KeyOf(const Pixel64& p) noexcept {
  return {Narrow(p.r), Narrow(p.g), Narrow(p.b), Narrow(p.a)};
}

uint8_t* PutRgbaRun(uint8_t* out, int32_t length, const RgbaKey& k) noexcept {
  out[0] = static_cast<uint8_t>(length);
  out[1] = k.r;
  out[2] = k.g;
  out[3] = k.b;
  out[4] = k.a;
  return out + kRgbaRecordBytes;
}

uint8_t* PutMaskRun(uint8_t* out, int32_t length, uint8_t value) noexcept {
  out[0] = static_cast<uint8_t>(length);
  out[1] = value;
  return out + kMaskRecordBytes;
}

// True (and reported under `where`, when given) for a line without
// buffers or length.
bool LineRefused(const char* where, const void* src, const void* dst, int32_t n) noexcept {
  if (NullArgument(where, src, "source buffer") || NullArgument(where, dst, "destination buffer"))
    return true;
  if (n > 0) return false;
  if (where && DiagnosticsOn()) Diagnose(where, "length %d not positive; nothing done", n);
  return true;
}

bool RowRefused(const char* where, int32_t row, int32_t height) noexcept {
  if (row >= 0 && row < height) return false;
  if (DiagnosticsOn()) Diagnose(where, "row %d outside 0..%d; nothing done", row, height - 1);
  return true;
}

}  // namespace

int32_t EncodeRgbaLine(const Pixel64* src, int32_t n, uint8_t* dst, const char* where) noexcept {
  if (LineRefused(where, src, dst, n)) return 0;
  uint8_t* out = dst;
  RgbaKey run = KeyOf(src[0]);
  int32_t length = 1;
  for (int32_t i = 1; i < n; ++i) {
    const RgbaKey k = KeyOf(src[i]);
    if (k == run && length < kMaxRun) {
      ++length;
    } else {
      out = PutRgbaRun(out, length, run);
      run = k;
      length = 1;
    }
  }
  out = PutRgbaRun(out, length, run);
  return static_cast<int32_t>(out - dst);
}

int32_t EncodeMaskLine(const Mask16* src, int32_t n, uint8_t* dst, const char* where) noexcept {
  if (LineRefused(where, src, dst, n)) return 0;
  uint8_t* out = dst;
  uint8_t run = Narrow(src[0]);
  int32_t length = 1;
  for (int32_t i = 1; i < n; ++i) {
    const uint8_t v = Narrow(src[i]);
    if (v == run && length < kMaxRun) {
      ++length;
    } else {
      out = PutMaskRun(out, length, run);
      run = v;
      length = 1;
    }
  }
  out = PutMaskRun(out, length, run);
  return static_cast<int32_t>(out - dst);
}

int32_t DecodeRgbaLine(const uint8_t* src, Pixel64* dst, int32_t n, const char* where) noexcept {
  if (LineRefused(where, src, dst, n)) return 0;
  int32_t written = 0;
  while (written < n) {
    const int32_t length = std::min<int32_t>(src[0], n - written);
    if (length == 0) break;
    const Pixel64 p = WidenRgba(src + 1);
    std::fill_n(dst + written, length, p);
    written += length;
    src += kRgbaRecordBytes;
  }
  return written;
}

int32_t DecodeMaskLine(const uint8_t* src, Mask16* dst, int32_t n, const char* where) noexcept {
  if (LineRefused(where, src, dst, n)) return 0;
  int32_t written = 0;
  while (written < n) {
    const int32_t length = std::min<int32_t>(src[0], n - written);
    if (length == 0) break;
    std::fill_n(dst + written, length, Widen(src[1]));
    written += length;
    src += kMaskRecordBytes;
  }
  return written;
}

int32_t EncodeLayerRow(int32_t slot, int32_t row, uint8_t* dst) noexcept {
  constexpr const char* kWhere = "DRO_GetRGBA32LayerLineRLE";
  const Plane layer = composite::LayerOnCanvas(slot, kWhere);
  if (!layer || RowRefused(kWhere, row, layer.height)) return 0;
  return EncodeRgbaLine(layer.Row(row), layer.width, dst, kWhere);
}

int32_t DecodeLayerRow(const uint8_t* src, int32_t slot, int32_t row) noexcept {
  constexpr const char* kWhere = "DRO_PutRGBA32LayerLineRLE";
  const Plane layer = composite::LayerOnCanvas(slot, kWhere);
  if (!layer || RowRefused(kWhere, row, layer.height)) return 0;
  return DecodeRgbaLine(src, layer.Row(row), layer.width, kWhere);
}

int32_t EncodeMaskRow(int32_t row, uint8_t* dst) noexcept {
  Mask16* mask = mask::CanvasValues();
  const CanvasGeometry& canvas = Geometry();
  constexpr const char* kWhere = "DRO_GetMaskLineRLE";
  if (!mask) {
    if (DiagnosticsOn()) Diagnose(kWhere, "no mask (DRO_CreateImage makes it); nothing done");
    return 0;
  }
  if (RowRefused(kWhere, row, canvas.height)) return 0;
  return EncodeMaskLine(mask + int64_t{row} * canvas.width, canvas.width, dst, kWhere);
}

int32_t DecodeMaskRow(const uint8_t* src, int32_t row) noexcept {
  Mask16* mask = mask::CanvasValues();
  const CanvasGeometry& canvas = Geometry();
  constexpr const char* kWhere = "DRO_PutMaskLineRLE";
  if (!mask) {
    if (DiagnosticsOn()) Diagnose(kWhere, "no mask (DRO_CreateImage makes it); nothing done");
    return 0;
  }
  if (RowRefused(kWhere, row, canvas.height)) return 0;
  return DecodeMaskLine(src, mask + int64_t{row} * canvas.width, canvas.width, kWhere);
}

int32_t CompressLayer(int32_t slot, uint8_t* dst, int32_t capacity) noexcept {
  return Guard(Operation::kCompressLayer, 0, [&]() -> int32_t {
    constexpr const char* kWhere = "DRO_GetRGBA32LayerCompressed";
    const Plane layer = composite::LayerOnCanvas(slot, kWhere);
    if (!layer || NullArgument(kWhere, dst, "destination buffer")) return 0;
    if (capacity <= 0) {
      if (DiagnosticsOn()) Diagnose(kWhere, "capacity %d not positive; nothing done", capacity);
      return 0;
    }
    const CanvasGeometry& geometry = Geometry();
    const size_t bytes = CheckedCount(geometry.width, int64_t{geometry.height} * 4);
    // Zeroed, so a layer smaller than the canvas compresses as transparent
    // black where it does not reach.
    Buffer<uint8_t> image = Buffer<uint8_t>::MakeBytes(bytes, 0);
    composite::GetRgba32(layer, image.data(), geometry.width * 4);
    Buffer<uint8_t> packed;
    // Deflating a whole block can only fail for want of memory: a failure
    // like any other here, recorded rather than passed off as "did not fit".
    if (!platform::image::Deflate(image.data(), bytes, packed)) throw std::bad_alloc();
    if (packed.size() > static_cast<size_t>(capacity)) {
      if (DiagnosticsOn())
        Diagnose(kWhere,
                 "the compressed layer needs %zu bytes, the capacity is %d; nothing written",
                 packed.size(), capacity);
      return 0;
    }
    std::memcpy(dst, packed.data(), packed.size());
    return static_cast<int32_t>(packed.size());
  });
}

int32_t LoadCompressedLayer(const uint8_t* src, int32_t length, int32_t slot) noexcept {
  return Guard(Operation::kLoadCompressedLayer, 0, [&]() -> int32_t {
    constexpr const char* kWhere = "DRO_LoadRGBA32LayerCompressed";
    if (NullArgument(kWhere, src, "source buffer")) return 0;
    if (length <= 0) {
      if (DiagnosticsOn()) Diagnose(kWhere, "length %d not positive; nothing done", length);
      return 0;
    }
    if (!composite::LayerOnCanvas(slot, kWhere)) return 0;
    const composite::LayerRecord& rec = composite::Layers().slots[slot];
    const size_t bytes = CheckedCount(rec.width, int64_t{rec.height} * 4);
    Buffer<uint8_t> image = Buffer<uint8_t>::Make(bytes);
    size_t written = 0;
    if (!platform::image::Inflate(src, static_cast<size_t>(length), image.data(), bytes, written) ||
        written != bytes) {
      if (DiagnosticsOn())
        Diagnose(kWhere,
                 "the data does not inflate to the %d x %d layer's %zu bytes; nothing loaded",
                 rec.width, rec.height, bytes);
      return 0;
    }
    composite::LoadRgba32Layer(image.data(), rec.width * 4, slot, 0, 0, rec.width, rec.height,
                               false);
    return 1;
  });
}

}  // namespace dro::rle
