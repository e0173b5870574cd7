// Exports of the drawing operations: shapes, gradients, text, flood fills,
// the displacement, photo pop and the RGB24 blur.
#include "drovine.h"
#include "imaging/drawing.h"
#include "imaging/drawing_text.h"

namespace im = dro::imaging;

void DRO_CALL DRO_IPLRectangle(int32_t red, int32_t green, int32_t blue, int32_t x1, int32_t y1,
                               int32_t x2, int32_t y2, int32_t opacityPercent) {
  im::Rectangle(red, green, blue, x1, y1, x2, y2, opacityPercent);
}

void DRO_CALL DRO_IPLEllipse(int32_t red, int32_t green, int32_t blue, int32_t x1, int32_t y1,
                             int32_t x2, int32_t y2, int32_t opacityPercent) {
  im::Ellipse(red, green, blue, x1, y1, x2, y2, opacityPercent);
}

void DRO_CALL DRO_IPLGradient(int32_t r1, int32_t g1, int32_t b1, int32_t r2, int32_t g2,
                              int32_t b2, int32_t r3, int32_t g3, int32_t b3, int32_t r4,
                              int32_t g4, int32_t b4, int32_t count, int32_t x1, int32_t y1,
                              int32_t x2, int32_t y2, const char* kind) {
  im::Gradient({{{r1, g1, b1}, {r2, g2, b2}, {r3, g3, b3}, {r4, g4, b4}}}, count, x1, y1, x2, y2,
               kind);
}

void DRO_CALL DRO_XSetFontChooser(DRO_XFontChooser chooser) {
  im::SetFontChooser(chooser);
}

void DRO_CALL DRO_XSetFont(const char* face, int32_t pixelHeight, int32_t weight, uint8_t italic) {
  im::SetFont(face, pixelHeight, weight, italic);
}

void DRO_CALL DRO_IPLText(int32_t red, int32_t green, int32_t blue, int32_t x, int32_t y, int32_t,
                          int32_t, int32_t, int32_t, const char* text, uint8_t clear) {
  im::Text(red, green, blue, x, y, text, clear);
}

void DRO_CALL DRO_IPLFloodFill(int32_t red, int32_t green, int32_t blue, int32_t x, int32_t y,
                               int32_t tolerance, const char* mode) {
  im::FloodFill(red, green, blue, x, y, tolerance, mode);
}

void DRO_CALL DRO_IPLDisplacementBummp(const char* path, double strength, int32_t fill) {
  im::DisplacementBump(path, strength, fill);
}

int32_t DRO_CALL DRO_IPLPhotoPop(int32_t amount, double saturation, int32_t extra) {
  return im::PhotoPop(amount, saturation, extra);
}

void DRO_CALL DRO_BlurMoreBufferRGB24(void* buffer, int32_t width, int32_t height, int32_t radius,
                                      int32_t weight) {
  im::BlurMoreBufferRgb24(static_cast<uint8_t*>(buffer), width, height, radius, weight);
}
