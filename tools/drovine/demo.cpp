// `drovine demo` (the default command): paints a small landscape, stroke by
// stroke, with the engine's brushes (soft washes, grit, pick-up and smear, a
// mix mode, a paint layer in a blend mode, two layers, a stroke held inside
// the mask), shows it with DRO_Render and writes the view as a picture file.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "drovine.h"
#include "hostkit/stroke_replay.h"

namespace {

using hostkit::BrushStyle;
using hostkit::StrokeReplay;
using hostkit::TabletEvent;

constexpr double kPi = 3.14159265358979;

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

int RunDemo(int argc, char** argv) {
  static const cli::OptionRule kOptions[] = {{"width", true},
                                             {"height", true},
                                             {"brush", true},
                                             {"output", true, "o"},
                                             {"help", false, "h"}};
  cli::Args args;
  if (!cli::Parse("demo", argc, argv, kOptions, args)) return cli::kUsage;
  if (args.Has("help")) {
    std::puts(
        "usage: drovine [demo] [--width W] [--height H] [--brush L] [--output FILE]\n"
        "\n"
        "Paints a small landscape with the engine's brushes (soft washes, grit,\n"
        "colour pick-up and smear, a mix mode, a paint layer in a blend mode, two\n"
        "layers and a stroke held inside the mask), renders it with DRO_Render and\n"
        "writes it as a picture file (the format from its extension), whose path it\n"
        "prints.\n"
        "\n"
        "  --width W, --height H  canvas size, 16..10000 (default 960 x 640)\n"
        "  --brush L              brush size limit, 150..4096 (default 256)\n"
        "  -o, --output FILE      the picture: .png .tga .tif (with alpha), .bmp .jpg .gif\n"
        "                         .pcx .psd .emf .wmf (without); - for standard output (PNG)\n"
        "                         (default drovine-demo.png in the current directory)");
    return 0;
  }
  if (!args.operands.empty()) {
    cli::Complain("demo", "unexpected argument '%s'", args.operands[0].c_str());
    return cli::kUsage;
  }
  int32_t width = 0, height = 0, brush = 0;
  if (!cli::IntOption(args, "width", 16, 10000, 960, width) ||
      !cli::IntOption(args, "height", 16, 10000, 640, height) ||
      !cli::IntOption(args, "brush", 150, 4096, 256, brush))
    return cli::kUsage;
  const std::string output =
      args.Has("output") ? args.values.at("output") : std::string("drovine-demo.png");
  cli::Output out;
  if (!out.Open("demo", output)) return cli::kUsage;
  // With the picture on standard output, the report goes to standard error.
  FILE* report = output == "-" ? stderr : stdout;

  DRO_SetLastError("");
  DRO_CreateImage(nullptr, width, height, brush, 5);
  if (DRO_GetLastError()[0]) {
    cli::Complain("demo", "cannot make the canvas: %s", DRO_GetLastError());
    return cli::kFailed;
  }
  DRO_SetUndoLevels(20);
  if (!DRO_CreateLayer(1, width, height) || !DRO_CreateLayer(2, width, height) ||
      !DRO_CreateLayer(3, width, height)) {
    cli::Complain("demo", "cannot make the layers: %s", DRO_GetLastError());
    DRO_DeleteImage();
    return cli::kFailed;
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
  const bool written = out.Write(view.data(), width, height, stride, cli::Output::Order::kBgr);
  std::fprintf(report, "painted %d x %d: %lld dabs, %lld pixels painted, undo holds %d steps\n",
               width, height, static_cast<long long>(host.dabs()),
               static_cast<long long>(host.paintedPixels()), DRO_GetUndoCount());
  const bool failed = DRO_GetLastError()[0] != 0;
  if (failed) cli::Complain("demo", "%s", DRO_GetLastError());
  DRO_DeletePaintLayer();
  DRO_DeleteImage();
  if (!written) {
    cli::Complain("demo", "cannot write %s%s", output.c_str(), out.reason().c_str());
    return cli::kFailed;
  }
  if (output != "-") std::fprintf(report, "%s\n", output.c_str());
  return failed ? cli::kFailed : 0;
}
