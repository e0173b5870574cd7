/*
 * minimal-host.c - a first program on the Drovine engine: a canvas, one
 * stroke, a render, a PNG file.
 *
 *   cc minimal-host.c $(pkg-config --cflags --libs drovine libpng) -o minimal-host
 *   ./minimal-host stroke.png
 *
 * Every call the engine needs is here, in the order a host makes them; the
 * comments name the defaults that would otherwise make the stroke invisible.
 */
#include <drovine.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kWidth = 320, kHeight = 200 };

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : "minimal-host.png";

  /* The canvas, and a brush size limit (the largest brush we will use). */
  DRO_CreateImage(NULL, kWidth, kHeight, 64, 0);
  DRO_SetUndoLevels(10); /* 0 until set: nothing could be undone */

  /* Slot 1 is the white background; slot 2 takes the paint. Layers start
   * hidden with opacity 0: show them, at 100 %, in the Normal blend mode. */
  if (!DRO_CreateLayer(1, kWidth, kHeight) || !DRO_CreateLayer(2, kWidth, kHeight)) {
    fprintf(stderr, "minimal-host: %s\n", DRO_GetLastError());
    return 1;
  }
  DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
  DRO_SetLayerOptions(2, 1, 0, 100, "Normal");

  /* The brush: size 0 and paint alpha 0 until set. */
  DRO_SetSize(32);
  DRO_SetTool(1.0f, 0, 0, 0, 200, 0, 8, 0, 0, 0, 0, 0, 0, "", "", 0);
  DRO_SetAlpha(100);
  DRO_SetColor(200, 40, 60);

  /* One stroke: a gentle arc, the pressure rising and falling. */
  if (!DRO_XStrokeBegin(2)) {
    fprintf(stderr, "minimal-host: cannot begin the stroke\n");
    return 1;
  }
  for (int i = 0; i <= 40; ++i) {
    const double t = i / 40.0;
    const double x = 30 + t * 260;
    const double y = 140 - 90 * t * (1 - t) * 4 * 0.8;
    const double pressure = 0.3 + 0.7 * (1 - (2 * t - 1) * (2 * t - 1));
    DRO_XStrokeTo(x, y, pressure, t * 0.5, NULL);
  }
  int32_t dirty[4];
  const int32_t dabs = DRO_XStrokeEnd(dirty);

  /* Show the canvas: the view size starts at 0 x 0, so Render would write
   * nothing. The bitmap is blue, green, red, rows `stride` bytes apart. */
  const int stride = kWidth * 3;
  unsigned char* bgr = calloc((size_t)stride * kHeight, 1);
  if (!bgr) return 1;
  DRO_SetViewSize(kWidth, kHeight);
  DRO_Render(bgr, stride, 0, 0, kWidth, kHeight);

  png_image image;
  memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = kWidth;
  image.height = kHeight;
  image.format = PNG_FORMAT_BGR;
  const int written = png_image_write_to_file(&image, path, 0, bgr, stride, NULL);
  free(bgr);

  const int failed = DRO_GetLastError()[0] != 0;
  if (failed) fprintf(stderr, "minimal-host: %s\n", DRO_GetLastError());
  DRO_DeleteImage();
  if (!written || failed || dabs <= 0) return 1;
  printf("%d dabs in %d x %d at (%d, %d); wrote %s\n", dabs, dirty[2], dirty[3], dirty[0], dirty[1],
         path);
  return 0;
}
