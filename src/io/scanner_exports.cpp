// Scanner exports: one call each into io/scanner.
#include "drovine.h"
#include "io/scanner.h"

int32_t DRO_CALL DRO_IsTwain(void) {
  return dro::io::ScannerAvailable();
}
int32_t DRO_CALL DRO_TwainSelectSource(void) {
  return dro::io::SelectScanSource();
}
int32_t DRO_CALL DRO_TwainAcquire(void) {
  return dro::io::AcquireScan();
}
int32_t DRO_CALL DRO_XSetScanSource(const char* device) {
  return dro::io::SetScanSource(device);
}
int32_t DRO_CALL DRO_XSetScanOptions(int32_t resolution, const char* mode, int32_t depth) {
  return dro::io::SetScanOptions(resolution, mode, depth);
}
