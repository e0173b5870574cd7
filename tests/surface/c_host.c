/* A plain C11 host: the public header must compile as C, and the shared
 * library must be usable from it. */
#include <stdio.h>
#include <string.h>

#include "drovine.h"

int main(void) {
  DRO_SetLastError("hello from C");
  if (strcmp(DRO_GetLastError(), "hello from C") != 0) {
    fprintf(stderr, "last error not kept\n");
    return 1;
  }
  DRO_CreateImage(NULL, 64, 48, 32, 5);
  if (DRO_GetLayerCount() != 0) return 1;
  DRO_DeleteImage();
  {
    static int token;
    if (BankAdrs(&token) != (void*)&token) return 1;
  }
  return 0;
}
