// Exports of the engine's stroke: thin wrappers over dro::history.
#include "drovine.h"
#include "history/stroke.h"

namespace history = dro::history;

int32_t DRO_CALL DRO_XSetStrokeOptions(double spacing, double minPressure, int32_t pressureCurves,
                                       int32_t pickupWeight, uint8_t paintLayer,
                                       int32_t paintOpacity, const char* paintMode) {
  return history::SetStrokeOptions(spacing, minPressure, pressureCurves, pickupWeight,
                                   paintLayer != 0, paintOpacity, paintMode);
}

int32_t DRO_CALL DRO_XStrokeBegin(int32_t slot) {
  return history::StrokeBegin(slot);
}

int32_t DRO_CALL DRO_XStrokeTo(double x, double y, double pressure, double seconds, int32_t* rect) {
  return history::StrokeTo(x, y, pressure, seconds, rect);
}

int32_t DRO_CALL DRO_XStrokeEnd(int32_t* rect) {
  return history::StrokeEnd(rect);
}
