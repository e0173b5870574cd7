// Exports of writing files, resolution queries, thumbnails and web pictures.
#include "drovine.h"
#include "io/files.h"

namespace io = dro::io;

int32_t DRO_CALL DRO_WriteToFileRGB24(const void* buffer, int32_t w, int32_t h, const char* path,
                                      const char* extension, int32_t dpi) {
  return io::WriteBufferToFile(static_cast<const uint8_t*>(buffer), w, h, path, extension, dpi, 3);
}
int32_t DRO_CALL DRO_WriteToFileRGBA32(const void* buffer, int32_t w, int32_t h, const char* path,
                                       const char* extension, int32_t dpi) {
  return io::WriteBufferToFile(static_cast<const uint8_t*>(buffer), w, h, path, extension, dpi, 4);
}
int32_t DRO_CALL DRO_SavePageToFileRGB24(const char* path, const char* extension, int32_t dpi) {
  return io::SavePageToFile(path, extension, dpi, 3), 0;
}
int32_t DRO_CALL DRO_SavePageToFileRGB32(const char* path, const char* extension, int32_t dpi) {
  return io::SavePageToFile(path, extension, dpi, 4), 0;
}
int32_t DRO_CALL DRO_GetDPIFromFile(const char* path) {
  return io::DpiOfFile(path);
}
int32_t DRO_CALL DRO_MakeThumbnail(const char* path, const char* thumbnailPath) {
  return io::MakeThumbnail(path, thumbnailPath), 0;
}
int32_t DRO_CALL DRO_MakeWebPic(const char* path, const char* webPicPath, int32_t maxWidth,
                                int32_t maxHeight) {
  return io::MakeWebPicture(path, webPicPath, maxWidth, maxHeight), 0;
}
