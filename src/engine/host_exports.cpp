// Exports for embedding hosts: the version the library was built as, and
// the diagnostics handler.
#include "base/cpu.h"
#include "base/diagnostics.h"
#include "drovine.h"

const char* DRO_CALL DRO_XGetVersion(void) {
  return DROVINE_VERSION_STRING;
}

void DRO_CALL DRO_XSetDiagnosticHandler(DRO_XDiagnosticHandler handler, void* userData) {
  dro::SetDiagnosticHandler(handler, userData);
}

const char* DRO_CALL DRO_XGetFastPaths(void) {
  if (!dro::cpu::FastPathsAllowed()) return "none (DROVINE_NO_FAST_PATHS is set)";
  if (dro::cpu::HasAvx2()) return "AVX2 blend kernels, AVX2 dab row kernels, plain dab path";
  return "plain dab path (this processor has no AVX2)";
}
