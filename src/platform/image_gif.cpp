// GIF through giflib: the first image of the file, placed on the logical
// screen, with its transparent colour as alpha 0.
//
// The logical screen is only a claim: a file of a few dozen bytes may claim
// a screen of 16387 x 12290 around one 3 x 2 frame. The picture takes the
// screen's size when the frames justify it (they reach at least a sixteenth
// of its area, or it is small anyway: at most 2^20 pixels); otherwise it
// takes the extent the frames reach from the top left corner, within the
// screen. Every size is checked against the decode limits before anything
// is allocated for it, and the frame is read row by row into our own
// buffer, never through giflib's whole-file reader (which would allocate
// for every frame at once).
#include <gif_lib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/image_internal.h"

namespace dro::platform::image {
namespace {

using detail::AcceptableSize;
using detail::ByteReader;
using detail::MakeRgba;

constexpr int64_t kScreenAlwaysKept = int64_t{1} << 20;
constexpr int64_t kScreenPerCoveredPixel = 16;

struct GifReader {
  GifFileType* gif = nullptr;
  ~GifReader() {
    int error = 0;
    if (gif) DGifCloseFile(gif, &error);
  }
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int length) {
  auto* source = static_cast<ByteReader*>(gif->UserData);
  const size_t n =
      std::min(static_cast<size_t>(std::max(length, 0)), source->size() - source->pos());
  std::memcpy(out, source->here(), n);
  source->Skip(n);
  return static_cast<int>(n);
}

// Passes over the compressed data of the image whose descriptor was just
// read.
bool SkipImageData(GifFileType* gif) {
  int codeSize = 0;
  GifByteType* block = nullptr;
  if (DGifGetCode(gif, &codeSize, &block) != GIF_OK) return false;
  while (block) {
    if (DGifGetCodeNext(gif, &block) != GIF_OK) return false;
  }
  return true;
}

// The first frame as palette indices, de-interlaced.
struct Frame {
  Buffer<GifByteType> indices;
  GifImageDesc desc{};
  ColorMapObject map{};
  GifColorType colors[256] = {};
  int transparent = -1;
};

bool ReadFirstFrameRows(GifFileType* gif, Frame& frame) {
  const GifImageDesc& desc = gif->Image;
  if (desc.Width <= 0 || desc.Height <= 0 || desc.Left < 0 || desc.Top < 0) return false;
  if (!AcceptableSize(desc.Width, desc.Height)) return false;
  frame.desc = desc;
  const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
  if (!map || !map->Colors || map->ColorCount <= 0) return false;
  // Copied: giflib frees the frame's own colour map at the next descriptor.
  frame.map.ColorCount = std::min(map->ColorCount, 256);
  std::copy_n(map->Colors, frame.map.ColorCount, frame.colors);
  frame.map.Colors = frame.colors;
  const size_t width = static_cast<size_t>(desc.Width);
  frame.indices = Buffer<GifByteType>::Make(CheckedCount(desc.Width, desc.Height));
  auto readRow = [&](int32_t y) {
    return DGifGetLine(gif, frame.indices.data() + size_t(y) * width, desc.Width) == GIF_OK;
  };
  if (desc.Interlace) {
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int32_t y = kStart[pass]; y < desc.Height; y += kStep[pass])
        if (!readRow(y)) return false;
  } else {
    for (int32_t y = 0; y < desc.Height; ++y)
      if (!readRow(y)) return false;
  }
  return true;
}

}  // namespace

namespace detail {

bool ReadGifRgba(const uint8_t* data, size_t size, Picture& out) {
  ByteReader source(data, size);
  GifReader r;
  int error = 0;
  r.gif = DGifOpen(&source, ReadFromMemory, &error);
  if (!r.gif) return false;
  GifFileType* gif = r.gif;

  Frame frame;
  bool haveFrame = false;
  int transparentSeen = -1;  // from the control block before the first frame
  int64_t reachX = 0, reachY = 0;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) != GIF_OK) {
      if (haveFrame) break;  // data after the first frame is not needed
      return false;
    }
    if (type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) != GIF_OK) return false;
      bool first = true;
      while (block) {
        if (first && !haveFrame && code == GRAPHICS_EXT_FUNC_CODE && block[0] >= 4) {
          GraphicsControlBlock gcb;
          if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
            transparentSeen = gcb.TransparentColor;
        }
        first = false;
        if (DGifGetExtensionNext(gif, &block) != GIF_OK) return false;
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) {
      if (haveFrame) break;
      return false;
    }
    if (DGifGetImageDesc(gif) != GIF_OK) {
      if (haveFrame) break;
      return false;
    }
    const GifImageDesc& desc = gif->Image;
    if (!haveFrame) {
      if (!ReadFirstFrameRows(gif, frame)) return false;
      frame.transparent = transparentSeen;
      haveFrame = true;
    } else if (!SkipImageData(gif)) {
      break;  // a damaged later frame leaves the first one readable
    }
    if (desc.Width > 0 && desc.Height > 0 && desc.Left >= 0 && desc.Top >= 0) {
      reachX = std::max(reachX, int64_t{desc.Left} + desc.Width);
      reachY = std::max(reachY, int64_t{desc.Top} + desc.Height);
    }
  }
  if (!haveFrame) return false;

  // The picture's size: the screen's where the frames justify it.
  int64_t width = gif->SWidth > 0 ? gif->SWidth : reachX;
  int64_t height = gif->SHeight > 0 ? gif->SHeight : reachY;
  const int64_t screen = width * height;
  const int64_t covered = std::min(reachX, width) * std::min(reachY, height);
  if (screen > kScreenAlwaysKept && screen > covered * kScreenPerCoveredPixel) {
    width = std::min(reachX, width);
    height = std::min(reachY, height);
  }
  if (!AcceptableSize(width, height)) return false;

  // Outside the first image the screen is transparent; the frame is clipped
  // to the picture when a damaged file places it partly outside.
  const GifImageDesc& desc = frame.desc;
  const ColorMapObject& map = frame.map;
  Picture picture = MakeRgba(static_cast<int32_t>(width), static_cast<int32_t>(height), true);
  for (int32_t y = 0; y < desc.Height; ++y) {
    const int64_t py = int64_t{desc.Top} + y;
    if (py >= height) break;
    const GifByteType* src = frame.indices.data() + size_t(y) * size_t(desc.Width);
    uint8_t* dst = picture.pixels.data() + size_t(py) * size_t(width) * 4;
    for (int32_t x = 0; x < desc.Width; ++x) {
      const int64_t px = int64_t{desc.Left} + x;
      if (px >= width) break;
      const int index = src[x];
      uint8_t* d = dst + px * 4;
      if (index == frame.transparent) continue;  // stays (0, 0, 0, 0)
      if (index < map.ColorCount) {
        d[0] = map.Colors[index].Red;
        d[1] = map.Colors[index].Green;
        d[2] = map.Colors[index].Blue;
      }
      d[3] = 255;
    }
  }
  out = std::move(picture);
  return true;
}

}  // namespace detail

bool WriteGif(const char* path, const uint8_t* indices, int32_t width, int32_t height,
              int32_t stride, const uint8_t* palette, int32_t colorCount,
              int32_t transparentIndex) noexcept {
  if (!path || !indices || !palette || width <= 0 || height <= 0 || width > 65535 ||
      height > 65535 || stride < width || colorCount < 1 || colorCount > 256 ||
      transparentIndex >= colorCount)
    return false;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      if (indices[int64_t{y} * stride + x] >= colorCount) return false;

  int bits = 1;
  while ((1 << bits) < colorCount) ++bits;
  GifColorType colors[256] = {};
  for (int32_t i = 0; i < colorCount; ++i)
    colors[i] = {palette[i * 3], palette[i * 3 + 1], palette[i * 3 + 2]};
  ColorMapObject* map = GifMakeMapObject(1 << bits, colors);
  if (!map) return false;

  int error = 0;
  GifFileType* gif = EGifOpenFileName(path, false, &error);
  const bool opened = gif != nullptr;
  bool ok = opened;
  if (ok) {
    EGifSetGifVersion(gif, transparentIndex >= 0);
    ok = EGifPutScreenDesc(gif, width, height, bits, 0, map) == GIF_OK;
    if (ok && transparentIndex >= 0) {
      GraphicsControlBlock gcb{};
      gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
      gcb.TransparentColor = transparentIndex;
      GifByteType extension[4];
      const size_t len = EGifGCBToExtension(&gcb, extension);
      ok =
          EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(len), extension) == GIF_OK;
    }
    if (ok) ok = EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    for (int32_t y = 0; ok && y < height; ++y)
      ok = EGifPutLine(gif, const_cast<GifPixelType*>(indices + int64_t{y} * stride), width) ==
           GIF_OK;
    if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
  }
  GifFreeMapObject(map);
  // A file that could not be opened is someone else's: only ours goes.
  if (!ok && opened) std::remove(path);
  return ok;
}

}  // namespace dro::platform::image
