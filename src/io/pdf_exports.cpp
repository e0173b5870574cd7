// PDF exports: one call each into io/pdf_pages.
#include "drovine.h"
#include "io/pdf_pages.h"

int32_t DRO_CALL DRO_I2PDF_Reset(void) {
  return dro::io::PdfReset();
}
int32_t DRO_CALL DRO_I2PDF_AddImage(const char* path) {
  return dro::io::PdfAddImage(path);
}
int32_t DRO_CALL DRO_I2PDF_MakePDF(const char* path) {
  return dro::io::PdfMake(path, false);
}
int32_t DRO_CALL DRO_I2PDF_MakePDFSlideshow(const char* path) {
  return dro::io::PdfMake(path, true);
}
