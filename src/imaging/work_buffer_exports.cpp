// Exports of the image library's set-up and its work buffers.
#include "drovine.h"
#include "imaging/work_buffers.h"

namespace im = dro::imaging;

void DRO_CALL DRO_IPLInit(int32_t) {
  im::Init();
}
void DRO_CALL DRO_IPLExit(void) {
  im::Exit();
}

void DRO_CALL DRO_IPLAllocSrcBuffer32(void) {
  im::AllocSource32();
}
void DRO_CALL DRO_IPLUpdateSrcBuffer32(void) {
  im::UpdateSource32();
}
void DRO_CALL DRO_IPLSetSrcBuffer32(const void* pixels) {
  im::SetSource32(pixels);
}
void DRO_CALL DRO_IPLFreeSrcBuffer32(void) {
  im::FreeSource32();
}

void DRO_CALL DRO_IPLAllocDstBuffer32(void) {
  im::AllocDestination32();
}
void DRO_CALL DRO_IPLSetDstBuffer32(const void* pixels) {
  im::SetDestination32(pixels);
}
void DRO_CALL DRO_IPLFreeDstBuffer32(void) {
  im::FreeDestination32();
}

void DRO_CALL DRO_IPLAllocSrcBuffer24(void) {
  im::AllocSource24();
}
void DRO_CALL DRO_IPLFreeSrcBuffer24(void) {
  im::FreeSource24();
}
void DRO_CALL DRO_IPLAllocDstBuffer24(void) {
  im::AllocDestination24();
}
void DRO_CALL DRO_IPLFreeDstBuffer24(void) {
  im::FreeDestination24();
}

void DRO_CALL DRO_ApplyMaskToAlpha_IPLSrcRGBA(void) {
  im::ApplyMaskToSourceAlpha();
}
