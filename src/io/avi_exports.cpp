// AVI recording exports: one call each into io/avi_recorder.
#include "drovine.h"
#include "io/avi_recorder.h"

void* DRO_CALL DRO_CreateAVI(const char* path, int32_t period) {
  return dro::io::CreateAvi(path, period);
}
int32_t DRO_CALL DRO_WriteAVI(const char* bitmapPath) {
  return dro::io::WriteAvi(bitmapPath);
}
int32_t DRO_CALL DRO_CloseAVI(void) {
  return dro::io::CloseAvi();
}
int32_t DRO_CALL DRO_XSetAVICompression(int32_t codec, int32_t quality) {
  return dro::io::SetAviCompression(codec, quality);
}
