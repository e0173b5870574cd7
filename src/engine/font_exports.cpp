// The font choice: the imaging side asks the host's chooser; a failure it
// reports becomes the last error here, where the last error lives.
#include "drovine.h"
#include "engine/frame.h"
#include "imaging/drawing_text.h"

int32_t DRO_CALL DRO_ChooseFont(void) {
  const char* error = nullptr;
  const int32_t result = dro::imaging::ChooseFont(&error);
  if (error) dro::SetLastError(error);
  return result;
}
