// Exports of the staging image and of reading files into it.
#include "drovine.h"
#include "io/files.h"
#include "io/staging.h"

namespace io = dro::io;

int32_t DRO_CALL DRO_ReadFromFile(const char* path) {
  return io::ReadFileIntoStaging(path);
}
int32_t DRO_CALL DRO_ReadFromFileRGB24(void* dst, int32_t w, int32_t h, const char* path) {
  return io::ReadFileIntoBuffer(static_cast<uint8_t*>(dst), w, h, path, 3);
}
int32_t DRO_CALL DRO_ReadFromFileRGBA32(void* dst, int32_t w, int32_t h, const char* path) {
  return io::ReadFileIntoBuffer(static_cast<uint8_t*>(dst), w, h, path, 4);
}
void DRO_CALL DRO_DeleteNewRGBA(void) {
  io::DeleteStagingImage();
}
int32_t DRO_CALL DRO_GetNewRGBAWidth(void) {
  return io::StagingWidth();
}
int32_t DRO_CALL DRO_GetNewRGBAHeight(void) {
  return io::StagingHeight();
}
int32_t DRO_CALL DRO_IsNewRGBA32Transparent(void) {
  return io::StagingTransparent() ? 1 : 0;
}
void DRO_CALL DRO_SetInNewRGBA(void) {
  io::LoadStagingIntoCurrentLayer();
}
void DRO_CALL DRO_GetNewRGBA32(void* dst) {
  io::CopyStagingRgba32(static_cast<uint8_t*>(dst));
}
void DRO_CALL DRO_GetNewRGBA24(void* dst) {
  io::CopyStagingRgb24(static_cast<uint8_t*>(dst));
}
void DRO_CALL DRO_GetResizedNewRGBA24(void* dst, int32_t w, int32_t h) {
  io::CopyResizedStagingRgb24(static_cast<uint8_t*>(dst), w, h);
}
