// Exports that let a host list the blend modes instead of copying the names.
#include "base/diagnostics.h"
#include "composite/blend_modes.h"
#include "drovine.h"

const char* DRO_CALL DRO_XBlendModeName(int32_t mode) {
  if (mode < 0 || mode > dro::composite::kLastBlendMode) {
    if (dro::DiagnosticsOn())
      dro::Diagnose("DRO_XBlendModeName", "mode %d outside 0..%d", mode,
                    dro::composite::kLastBlendMode);
    return nullptr;
  }
  return dro::composite::BlendModeName(mode);
}
