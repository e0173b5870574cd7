// Exports of the whole-document geometry and the layer moves.
#include "drovine.h"
#include "imaging/geometry.h"

namespace im = dro::imaging;

void DRO_CALL DRO_IPLResize(int32_t width, int32_t height, const char* filter) {
  im::ResizeLayers(width, height, filter);
}
void DRO_CALL DRO_IPLResizePage(int32_t width, int32_t height, const char* anchor) {
  im::ResizePage(width, height, anchor);
}
void DRO_CALL DRO_IPLSeamCarvingRGBA(int32_t width, int32_t height, int32_t) {
  im::SeamCarveLayers(width, height);
}
void DRO_CALL DRO_IPLCrop(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  im::CropLayers(left, top, right, bottom);
}
void DRO_CALL DRO_IPLRotateLeft(void) {
  im::RotateLayers(false);
}
void DRO_CALL DRO_IPLRotateRight(void) {
  im::RotateLayers(true);
}
void DRO_CALL DRO_IPLFlipHorizontal(void) {
  im::FlipLayers(true);
}
void DRO_CALL DRO_IPLFlipVertical(void) {
  im::FlipLayers(false);
}
void DRO_CALL DRO_IPLPan(int32_t dx, int32_t dy, int32_t wrap, int32_t red, int32_t green,
                         int32_t blue, int32_t alpha, int32_t useMaskTexture) {
  im::Pan(dx, dy, wrap, red, green, blue, alpha, useMaskTexture);
}
void DRO_CALL DRO_WarpPointToPoint(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  im::PushPointToPoint(x1, y1, x2, y2);
}
