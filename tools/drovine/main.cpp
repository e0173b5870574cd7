// drovine: a command-line host that drives the engine the way a painting
// application does, through the public header only.
//
// With no arguments it paints a small landscape, stroke by stroke, with the
// engine's brushes (soft washes, grit, pick-up and smear, a mix mode, a paint
// layer in a blend mode, two layers, a stroke held inside the mask), shows
// it with DRO_Render and writes the view as a PNG file.
#include <png.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "drovine.h"
#include "effect_command.h"
#include "file_commands.h"
#include "hostkit/stroke_replay.h"

namespace {

using hostkit::BrushStyle;
using hostkit::StrokeReplay;
using hostkit::TabletEvent;

constexpr double kPi = 3.14159265358979;

void PrintHelp() {
  std::puts(
      "usage: drovine [--help] [--width W] [--height H] [--brush L] [--output FILE]\n"
      "       drovine effect NAME [--p1 N ...] in.png out.png   (one named effect)\n"
      "       drovine effects [--markdown]                      (the effect table)\n"
      "       drovine convert IN OUT        (picture files; OUT's extension picks the format)\n"
      "       drovine info FILE             (a picture file's size and resolution)\n"
      "\n"
      "With no arguments, runs the demonstration: paints a small landscape with\n"
      "the engine's brushes (soft washes, grit, colour pick-up and smear, a mix\n"
      "mode, a paint layer in a blend mode, two layers and a stroke held inside\n"
      "the mask), renders it with DRO_Render and writes it as a PNG file, whose\n"
      "path it prints.\n"
      "\n"
      "  --width W, --height H  canvas size (0..10000, default 960 x 640)\n"
      "  --brush L              brush size limit (default 256)\n"
      "  --output FILE          the PNG file (default out/drovine-demo.png)\n"
      "  --help                 this text");
}

bool ParseInt(const char* text, int& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  // A number that does not fit an int is refused rather than cut down to
  // some other size.
  if (!text[0] || *end || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  out = static_cast<int>(v);
  return true;
}

// Writes a BGR view (rows `stride` bytes apart) as an 8-bit RGB PNG.
bool WritePng(const std::string& path, const std::vector<uint8_t>& bgr, int width, int height,
              int stride) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  if (png && info && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
      const uint8_t* in = bgr.data() + static_cast<size_t>(y) * stride;
      for (int x = 0; x < width; ++x) {
        row[x * 3] = in[x * 3 + 2];
        row[x * 3 + 1] = in[x * 3 + 1];
        row[x * 3 + 2] = in[x * 3];
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  return std::fclose(file) == 0 && ok;
}

// A stroke as a host receives it from a tablet: points along a path, with
// the pressure rising at the start and falling at the end.
struct Pen {
  StrokeReplay& host;
  double time = 0;

  template <class Path>
  void Stroke(int samples, double pressure, Path&& path) {
    for (int i = 0; i <= samples; ++i) {
      const double t = static_cast<double>(i) / samples;
      const double swell = std::sin(kPi * (0.08 + 0.84 * t));  // never quite 0 mid-stroke
      double x, y;
      path(t, x, y);
      host.Event(TabletEvent{time, x, y, pressure * (0.35 + 0.65 * swell)});
      time += 0.008;
    }
    host.Event(TabletEvent{time, 0, 0, 0});  // the pen lifts
  }
};

// Simple repeatable noise for the painting's small irregularities.
double Wobble(int i, double amount) {
  uint32_t s = static_cast<uint32_t>(i) * 2654435761u + 12345u;
  s ^= s >> 13;
  s *= 1274126177u;
  return (static_cast<double>(s % 10000) / 10000.0 - 0.5) * 2 * amount;
}

BrushStyle Wash(int size, int r, int g, int b, int seed) {
  BrushStyle s;
  s.size = size;
  s.softness = 255;
  s.spacing = 0.12;
  s.colorVary = 4;
  s.red = r, s.green = g, s.blue = b;
  s.seed = seed;
  return s;
}

BrushStyle Crayon(int size, int r, int g, int b, int seed) {
  BrushStyle s;
  s.size = size;
  s.softness = 90;
  s.gritCell = 2;
  s.gritCellThreshold = 210;
  s.gritPixelThreshold = 190;
  s.density = 235;
  s.drawingLength = 5;
  s.colorVary = 8;
  s.pixColorVary = 8;
  s.pixLumVary = 20;
  s.rotate = 20;
  s.spacing = 0.15;
  s.red = r, s.green = g, s.blue = b;
  s.seed = seed;
  return s;
}

void PaintLandscape(StrokeReplay& host, int w, int h) {
  Pen pen{host};
  const double horizon = h * 0.55;

  // The sky: broad soft washes from deep blue down to a pale haze.
  host.SetLayer(2);
  for (int i = 0; i < 16; ++i) {
    const double y = i * (horizon + h * 0.02) / 15;
    const double k = i / 15.0;
    host.Use(Wash(120, static_cast<int>(60 + 150 * k), static_cast<int>(105 + 110 * k),
                  static_cast<int>(175 + 50 * k), 100 + i));
    pen.Stroke(60, 0.55 + 0.1 * k, [&](double t, double& x, double& py) {
      x = -40 + t * (w + 80);
      py = y + 8 * std::sin(t * 5 + i) + Wobble(i, 6);
    });
  }

  // The sun, in a paint layer blended as "Screen": it lightens the sky.
  BrushStyle sun = Wash(150, 255, 200, 90, 7);
  sun.paintMode = "Screen";
  sun.paintOpacity = 90;
  host.Use(sun);
  pen.Stroke(90, 0.9, [&](double t, double& x, double& y) {
    const double a = t * 4 * kPi;
    const double r = 38 * (1 - t);
    x = w * 0.74 + r * std::cos(a);
    y = h * 0.2 + r * std::sin(a);
  });

  // Hills: grit crayon strokes along the ridge lines, filled downwards.
  struct Hill {
    double base, amplitude, frequency, phase;
    int r, g, b;
  };
  const Hill hills[] = {{horizon - 30, 28, 2.3, 0.5, 110, 140, 150},
                        {horizon - 5, 38, 3.1, 2.0, 80, 130, 80},
                        {horizon + 25, 30, 2.0, 4.0, 60, 105, 45}};
  int seed = 200;
  for (const Hill& hill : hills) {
    for (int row = 0; row < 9; ++row) {
      const double drop = row * 14;
      host.Use(Crayon(34, hill.r + row * 2, hill.g - row * 2, hill.b - row, seed++));
      pen.Stroke(70, 0.85, [&](double t, double& x, double& y) {
        x = -30 + t * (w + 60);
        y = hill.base + drop + hill.amplitude * std::sin(t * hill.frequency * kPi + hill.phase) +
            Wobble(seed * 7 + static_cast<int>(t * 70), 2);
      });
    }
  }

  // The meadow down to the bottom edge, in warmer greens.
  for (int row = 0; row < 14; ++row) {
    const double y = horizon + 75 + row * (h - horizon - 55) / 13;
    host.Use(Crayon(48, 95 + row * 4, 135 - row * 2, 50, seed++));
    pen.Stroke(70, 0.9, [&](double t, double& x, double& py) {
      x = -30 + t * (w + 60);
      py = y + 10 * std::sin(t * 3 + row) + Wobble(seed * 5 + static_cast<int>(t * 70), 2);
    });
  }

  // Pick-up and smear: a blending brush drags the sky's colours into the
  // far hills along the horizon.
  BrushStyle smear = Wash(46, 150, 170, 190, 300);
  smear.softness = 200;
  smear.paintLayer = false;
  smear.blendStrength = 170;
  smear.remix = 1;
  smear.primaryStrength = 20;
  smear.pickupWeight = 20;
  for (int i = 0; i < 5; ++i) {
    host.Use(smear);
    pen.Stroke(80, 0.7, [&](double t, double& x, double& y) {
      x = w * (0.05 + 0.18 * i) + t * w * 0.22;
      y = horizon - 40 + 20 * std::sin(t * kPi) + i * 3;
    });
  }

  // A lake: the mask opens an ellipse, and broad horizontal strokes across
  // the whole width only paint inside it.
  const double cx = w * 0.42, cy = h * 0.84, rx = w * 0.3, ry = h * 0.09;
  std::vector<uint16_t> mask(static_cast<size_t>(w) * h, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double dx = (x - cx) / rx, dy = (y - cy) / ry;
      const double d = dx * dx + dy * dy;
      // Soft at the shore: fully open inside, closing over the last part.
      const double open = d < 0.8 ? 1.0 : (d < 1.0 ? (1.0 - d) / 0.2 : 0.0);
      mask[static_cast<size_t>(y) * w + x] = static_cast<uint16_t>(open * 65535);
    }
  }
  DRO_SetMaskData16(mask.data());
  DRO_EnableMask(1);
  for (int i = 0; i < 8; ++i) {
    const double y = cy - ry + i * (2 * ry / 7);
    const double k = i / 7.0;
    host.Use(Wash(44, static_cast<int>(70 + 40 * k), static_cast<int>(120 + 30 * k),
                  static_cast<int>(170 - 20 * k), 400 + i));
    pen.Stroke(50, 0.9, [&](double t, double& x, double& py) {
      x = -20 + t * (w + 40);
      py = y + 3 * std::sin(t * 9 + i);
    });
  }
  // Light on the water: short strokes in mix mode 34 (screen), still inside
  // the lake.
  for (int i = 0; i < 10; ++i) {
    BrushStyle glint = Wash(9, 240, 220, 150, 500 + i);
    glint.softness = 200;
    glint.mixMode = 34;
    glint.mixAmount = 160;
    glint.paintLayer = false;
    host.Use(glint);
    const double x0 = cx - rx * 0.7 + Wobble(i, rx * 0.6) + rx * 0.4;
    const double y0 = cy - ry * 0.5 + (i % 5) * ry * 0.25;
    pen.Stroke(12, 0.7, [&](double t, double& x, double& y) {
      x = x0 + t * (30 + Wobble(i + 50, 12));
      y = y0 + Wobble(i + 90, 1);
    });
  }
  std::fill(mask.begin(), mask.end(), static_cast<uint16_t>(65535));
  DRO_SetMaskData16(mask.data());

  // The second layer: reeds and grass in the foreground, crayon strokes
  // turned along their blades.
  host.SetLayer(3);
  for (int i = 0; i < 70; ++i) {
    const bool left = i < 40;
    const double baseX =
        left ? w * 0.01 + Wobble(i, w * 0.09) + w * 0.09 : w * 0.88 + Wobble(i, w * 0.1);
    const double height = h * (0.1 + 0.12 * (0.5 + Wobble(i + 7, 0.5)));
    const double lean = Wobble(i + 3, 40);
    host.Use(Crayon(10, 40 + i % 5 * 12, 70 + i % 7 * 10, 30, 600 + i));
    pen.Stroke(30, 0.8, [&](double t, double& x, double& y) {
      x = baseX + lean * t * t;
      y = h + 10 - t * height;
    });
  }
  host.Finish();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "convert") == 0)
    return RunConvertCommand(argc - 1, argv + 1);
  if (argc > 2 && std::strcmp(argv[1], "info") == 0) return RunInfoCommand(argc - 1, argv + 1);
  if (argc > 1 && std::strcmp(argv[1], "effect") == 0) return RunEffectCommand(argc - 1, argv + 1);
  if (argc > 1 && std::strcmp(argv[1], "effects") == 0)
    return RunEffectsCommand(argc - 1, argv + 1);
  int width = 960, height = 640, brush = 256;
  std::string output = "out/drovine-demo.png";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      PrintHelp();
      return 0;
    }
    if (arg == "--output" && i + 1 < argc) {
      output = argv[++i];
      continue;
    }
    int* target = arg == "--width"    ? &width
                  : arg == "--height" ? &height
                  : arg == "--brush"  ? &brush
                                      : nullptr;
    if (!target || i + 1 >= argc || !ParseInt(argv[++i], *target)) {
      std::fprintf(stderr, "drovine: bad argument '%s' (try --help)\n", arg.c_str());
      return 2;
    }
  }

  DRO_SetLastError("");
  DRO_CreateImage(nullptr, width, height, brush, 5);
  if (DRO_GetLastError()[0]) {
    std::fprintf(stderr, "drovine: %s\n", DRO_GetLastError());
    return 1;
  }
  // The canvas turns sides outside 0..10000 into 100; paint what it made.
  auto side = [](int s) { return s < 0 || s > 10000 ? 100 : s; };
  width = side(width);
  height = side(height);
  if (width < 16 || height < 16 || brush < 150) {
    std::fprintf(stderr,
                 "drovine: the demonstration needs at least 16 x 16 pixels and a brush "
                 "size limit of 150\n");
    DRO_DeleteImage();
    return 2;
  }
  DRO_SetUndoLevels(20);
  if (!DRO_CreateLayer(1, width, height) || !DRO_CreateLayer(2, width, height) ||
      !DRO_CreateLayer(3, width, height)) {
    std::fprintf(stderr, "drovine: cannot make the layers: %s\n", DRO_GetLastError());
    DRO_DeleteImage();
    return 1;
  }
  for (int slot = 1; slot <= 3; ++slot) DRO_SetLayerOptions(slot, 1, 0, 100, "Normal");
  DRO_SetLayer(1);
  DRO_Clear(246, 240, 226, 255);  // the paper

  StrokeReplay host(2, width, height);
  PaintLandscape(host, width, height);

  // The finished picture, shown the way a host shows its canvas.
  const int stride = width * 3;
  std::vector<uint8_t> view(static_cast<size_t>(stride) * height);
  DRO_SetViewSize(width, height);
  DRO_SetScale(1, 1);
  DRO_Render(view.data(), stride, 0, 0, width, height);

  const std::filesystem::path path = std::filesystem::absolute(output);
  std::error_code ignored;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
  const bool written = WritePng(path.string(), view, width, height, stride);
  std::printf("painted %d x %d: %lld dabs, %lld pixels painted, undo holds %d steps\n", width,
              height, static_cast<long long>(host.dabs()),
              static_cast<long long>(host.paintedPixels()), DRO_GetUndoCount());
  DRO_DeletePaintLayer();
  DRO_DeleteImage();
  if (!written) {
    std::fprintf(stderr, "drovine: cannot write %s\n", path.string().c_str());
    return 1;
  }
  std::printf("%s\n", path.string().c_str());
  return DRO_GetLastError()[0] ? 1 : 0;
}
