// Exports of the clipboard and the screen capture.
#include "drovine.h"
#include "io/clipboard.h"
#include "platform/desktop.h"

namespace io = dro::io;

int32_t DRO_CALL DRO_ToClipboard(void) {
  return io::CopyLayer() ? 1 : 0;
}
int32_t DRO_CALL DRO_ToClipboardRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  return io::CopyLayerRect(x0, y0, x1, y1) ? 1 : 0;
}
int32_t DRO_CALL DRO_RGBA32ToClipboardRect(void* buffer, int32_t x, int32_t y, int32_t w,
                                           int32_t h) {
  return io::CopyRgba32(static_cast<uint8_t*>(buffer), x, y, w, h) ? 1 : 0;
}
int32_t DRO_CALL DRO_FromClipboard(void) {
  return io::PasteToStaging() ? 1 : 0;
}
int32_t DRO_CALL DRO_FromClipboardInto(int32_t x, int32_t y, uint8_t centre) {
  return io::PasteInto(x, y, centre == 1) ? 1 : 0;
}
int32_t DRO_CALL DRO_FromClipboardIntoEX(int32_t x, int32_t y, float scale, int32_t angle,
                                         uint8_t centre, uint8_t smooth) {
  return io::PasteIntoScaled(x, y, scale, angle, centre == 1, smooth != 0), 0;
}
int32_t DRO_CALL DRO_FromClipboardIntoEX2(int32_t x, int32_t y, int32_t size, int32_t angle,
                                          uint8_t centre, uint8_t smooth) {
  return io::PasteIntoSized(x, y, size, angle, centre == 1, smooth != 0), 0;
}
int32_t DRO_CALL DRO_ScreenCapture(void) {
  return io::CaptureToStaging() ? 1 : 0;
}
int32_t DRO_CALL DRO_ScreenCaptureInto(void) {
  return io::CaptureInto() ? 1 : 0;
}
int32_t DRO_CALL DRO_XSetScreenPicture(const void* rgba, int32_t w, int32_t h) {
  return dro::platform::desktop::SetScreenPicture(static_cast<const uint8_t*>(rgba), w, h) ? 1 : 0;
}
int32_t DRO_CALL DRO_XSetClipboardTimeLimit(int32_t milliseconds) {
  return dro::platform::desktop::SetClipboardTimeLimit(milliseconds) ? 1 : 0;
}
