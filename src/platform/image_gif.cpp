// GIF through giflib: the first image of the file, placed on the logical
// screen, with its transparent colour as alpha 0.
#include <gif_lib.h>

#include <cstdio>

#include "platform/image_internal.h"

namespace dro::platform::image {
namespace {

struct GifReader {
  GifFileType* gif = nullptr;
  ~GifReader() {
    int error = 0;
    if (gif) DGifCloseFile(gif, &error);
  }
};

}  // namespace

namespace detail {

bool ReadGifRgba(const char* path, Picture& out) {
  GifReader r;
  int error = 0;
  r.gif = DGifOpenFileName(path, &error);
  if (!r.gif) return false;
  GifFileType* gif = r.gif;
  // The screen size is known before any pixel is read: refuse absurd ones
  // before giflib allocates for them.
  if (gif->SWidth > 0 && gif->SHeight > 0 && !AcceptableSize(gif->SWidth, gif->SHeight))
    return false;
  if (DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1 || !gif->SavedImages) return false;
  const SavedImage& image = gif->SavedImages[0];
  const GifImageDesc& desc = image.ImageDesc;
  const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
  if (!map || !map->Colors || map->ColorCount <= 0 || !image.RasterBits) return false;
  if (desc.Width <= 0 || desc.Height <= 0 || desc.Left < 0 || desc.Top < 0) return false;

  int32_t width = gif->SWidth > 0 ? gif->SWidth : desc.Width;
  int32_t height = gif->SHeight > 0 ? gif->SHeight : desc.Height;
  if (!AcceptableSize(width, height)) return false;
  int transparent = -1;
  GraphicsControlBlock gcb;
  if (DGifSavedExtensionToGCB(gif, 0, &gcb) == GIF_OK) transparent = gcb.TransparentColor;

  // Outside the first image the screen is transparent; the frame is clipped
  // to the screen when a damaged file places it partly outside.
  Picture picture = MakeRgba(width, height, true);
  for (int32_t y = 0; y < desc.Height; ++y) {
    const int64_t py = int64_t{desc.Top} + y;
    if (py >= height) break;
    const GifByteType* src = image.RasterBits + size_t(y) * size_t(desc.Width);
    uint8_t* dst = picture.pixels.data() + size_t(py) * size_t(width) * 4;
    for (int32_t x = 0; x < desc.Width; ++x) {
      const int64_t px = int64_t{desc.Left} + x;
      if (px >= width) break;
      const int index = src[x];
      uint8_t* d = dst + px * 4;
      if (index == transparent) continue;  // stays (0, 0, 0, 0)
      if (index < map->ColorCount) {
        d[0] = map->Colors[index].Red;
        d[1] = map->Colors[index].Green;
        d[2] = map->Colors[index].Blue;
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
  bool ok = gif != nullptr;
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
  if (!ok) std::remove(path);
  return ok;
}

}  // namespace dro::platform::image
