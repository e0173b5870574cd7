// Exports that let a host list the blend modes instead of copying the names.
#include "composite/blend_modes.h"
#include "drovine.h"

const char* DRO_CALL DRO_XBlendModeName(int32_t mode) {
  if (mode < 0 || mode > dro::composite::kLastBlendMode) return nullptr;
  return dro::composite::BlendModeName(mode);
}
