// Exports of the image brushes.
#include "brush/image_brush.h"
#include "drovine.h"

namespace brush = dro::brush;

void DRO_CALL DRO_LoadImageBrush(const char* path) {
  brush::LoadImageBrush(path);
}
void DRO_CALL DRO_LoadImageBrushFromRGBA32(const void* rgba32, int32_t width, int32_t height) {
  brush::LoadImageBrushFromRgba32(rgba32, width, height);
}
void DRO_CALL DRO_LoadImageBrushArray(const char* path) {
  brush::LoadImageBrushArray(path);
}
void DRO_CALL DRO_CopyFromImageBrushArray(float position) {
  brush::CopyFromImageBrushArray(position);
}
void DRO_CALL DRO_FillImageBrush(int32_t r, int32_t g, int32_t b) {
  brush::FillImageBrush(r, g, b);
}
void DRO_CALL DRO_ColorImageBrush(int32_t r, int32_t g, int32_t b) {
  brush::ColorImageBrush(r, g, b);
}
void DRO_CALL DRO_CopyToImageBrush(void) {
  brush::CopyToImageBrush();
}
void DRO_CALL DRO_SizeImageBrush(void) {
  brush::SizeImageBrush();
}
void DRO_CALL DRO_RotateImageBrush(int32_t degrees) {
  brush::RotateImageBrush(degrees);
}
void DRO_CALL DRO_CopyFromImageBrush(int32_t percent) {
  brush::CopyFromImageBrush(percent);
}
void DRO_CALL DRO_CopyFromImageBrushRotate(int32_t percent) {
  brush::CopyFromImageBrushRotate(percent);
}
void DRO_CALL DRO_SaveImageBrush(const char* path) {
  brush::SaveImageBrush(path);
}
