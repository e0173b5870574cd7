// drovine replay, list, info and composite.
#include "commands.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"
#include "drovine.h"
#include "hostkit/stroke_replay.h"

namespace {

bool WantsHelp(const cli::Args& args, const char* usage) {
  if (!args.Has("help")) return false;
  std::fputs(usage, stdout);
  return true;
}

bool NoOperands(const cli::Args& args, size_t expected) {
  if (args.operands.size() == expected) return true;
  if (args.operands.size() > expected) {
    cli::Complain(args.command, "unexpected argument '%s'", args.operands[expected].c_str());
  } else {
    cli::Complain(args.command, "missing argument (try drovine %s --help)", args.command.c_str());
  }
  return false;
}

// A colour as RRGGBB in hexadecimal (a leading # allowed).
bool ParseColor(const cli::Args& args, const char* name, const char* fallback, int32_t rgb[3]) {
  std::string text = args.Has(name) ? args.values.at(name) : fallback;
  if (!text.empty() && text[0] == '#') text.erase(0, 1);
  bool ok = text.size() == 6;
  for (char c : text) ok = ok && std::isxdigit(static_cast<unsigned char>(c));
  if (!ok) {
    cli::Complain(args.command, "--%s '%s' is not a colour RRGGBB in hexadecimal", name,
                  args.values.at(name).c_str());
    return false;
  }
  const long v = std::strtol(text.c_str(), nullptr, 16);
  rgb[0] = static_cast<int32_t>((v >> 16) & 255);
  rgb[1] = static_cast<int32_t>((v >> 8) & 255);
  rgb[2] = static_cast<int32_t>(v & 255);
  return true;
}

bool KnownBlendMode(const std::string& name) {
  for (int32_t m = 0; const char* n = DRO_XBlendModeName(m); ++m) {
    if (*n && name == n) return true;
  }
  return false;
}

// The brushes `replay` offers, each a hostkit style.
struct NamedBrush {
  const char* name;
  const char* what;
  void (*shape)(hostkit::BrushStyle&);
};
const NamedBrush kBrushes[] = {
    {"soft", "a soft disc through the paint layer",
     [](hostkit::BrushStyle& s) { s.softness = 200; }},
    {"crayon", "a grainy crayon with a turned tip and colour jitter",
     [](hostkit::BrushStyle& s) {
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
     }},
    {"smear", "picks up what is under it and smears it, straight into the layer",
     [](hostkit::BrushStyle& s) {
       s.softness = 160;
       s.paintLayer = false;
       s.blendStrength = 160;
       s.remix = 1;
       s.primaryStrength = 30;
       s.pickupWeight = 40;
     }},
};

}  // namespace

int RunReplay(int argc, char** argv) {
  static const cli::OptionRule kOptions[] = {
      {"width", true}, {"height", true},      {"brush", true},     {"size", true},
      {"color", true}, {"output", true, "o"}, {"help", false, "h"}};
  cli::Args args;
  if (!cli::Parse("replay", argc, argv, kOptions, args)) return cli::kUsage;
  if (WantsHelp(args,
                "usage: drovine replay RECORDING --output FILE [--brush NAME] [--size N]\n"
                "                      [--color RRGGBB] [--width W] [--height H]\n"
                "\n"
                "Paints a tablet recording (lines of: seconds x y pressure, pressure 0 while\n"
                "the pen is up) through the engine's strokes onto white paper and writes the\n"
                "picture.\n"
                "\n"
                "  --brush NAME        soft (default), crayon or smear\n"
                "  --size N            brush size at full pressure, 1..256 (default 24)\n"
                "  --color RRGGBB      paint colour (default 284A8C)\n"
                "  --width W, --height H  canvas size, 1..10000 (default 1000 x 660)\n"
                "  -o, --output FILE   the picture (format from its extension), - for standard\n"
                "                      output (PNG)\n"))
    return 0;
  if (!NoOperands(args, 1)) return cli::kUsage;
  int32_t width = 0, height = 0, size = 0, rgb[3] = {};
  if (!cli::IntOption(args, "width", 1, 10000, 1000, width) ||
      !cli::IntOption(args, "height", 1, 10000, 660, height) ||
      !cli::IntOption(args, "size", 1, 256, 24, size) || !ParseColor(args, "color", "284A8C", rgb))
    return cli::kUsage;
  const std::string brushName = args.Has("brush") ? args.values.at("brush") : "soft";
  const NamedBrush* brush = nullptr;
  for (const NamedBrush& b : kBrushes)
    if (brushName == b.name) brush = &b;
  if (!brush) {
    cli::Complain("replay", "--brush '%s' unknown: soft, crayon or smear", brushName.c_str());
    return cli::kUsage;
  }
  if (!args.Has("output")) {
    cli::Complain("replay",
                  "give the picture's file with --output FILE (or - for standard output)");
    return cli::kUsage;
  }
  const std::string& recording = args.operands[0];
  const std::string& output = args.values.at("output");
  cli::Output out;
  if (!cli::CheckInput("replay", "the recording", recording) || !out.Open("replay", output))
    return cli::kUsage;
  const std::vector<hostkit::TabletEvent> events = hostkit::ReadTabletEvents(recording);
  if (events.empty()) {
    cli::Complain("replay", "no events in '%s' (lines of: seconds x y pressure)",
                  recording.c_str());
    return cli::kUsage;
  }

  DRO_SetLastError("");
  DRO_CreateImage(nullptr, width, height, size, 0);
  DRO_SetUndoLevels(2);
  if (!DRO_CreateLayer(1, width, height) || !DRO_CreateLayer(2, width, height)) {
    cli::Complain("replay", "cannot make the canvas: %s", DRO_GetLastError());
    DRO_DeleteImage();
    return cli::kFailed;
  }
  DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
  DRO_SetLayerOptions(2, 1, 0, 100, "Normal");
  DRO_SetLayer(2);
  hostkit::BrushStyle style;
  style.size = size;
  style.red = rgb[0], style.green = rgb[1], style.blue = rgb[2];
  brush->shape(style);
  hostkit::StrokeReplay host(2, width, height);
  host.Use(style);
  for (const hostkit::TabletEvent& e : events) host.Event(e);
  host.Finish();
  const bool written =
      out.Write(host.view().data(), width, height, host.stride(), cli::Output::Order::kBgr);
  const std::string error = DRO_GetLastError();
  DRO_DeletePaintLayer();
  DRO_DeleteImage();
  if (!error.empty()) {
    cli::Complain("replay", "%s", error.c_str());
    return cli::kFailed;
  }
  if (!written) {
    cli::Complain("replay", "cannot write %s%s", output.c_str(), out.reason().c_str());
    return cli::kFailed;
  }
  std::fprintf(output == "-" ? stderr : stdout, "replayed %zu events: %lld dabs\n", events.size(),
               static_cast<long long>(host.dabs()));
  return 0;
}

int RunList(int argc, char** argv) {
  static const cli::OptionRule kOptions[] = {{"help", false, "h"}};
  cli::Args args;
  if (!cli::Parse("list", argc, argv, kOptions, args)) return cli::kUsage;
  if (WantsHelp(args,
                "usage: drovine list blend-modes | effects\n"
                "\n"
                "Prints the blend-mode names (as --mode and DRO_SetLayerOptions take them)\n"
                "or the effect names, one a line.\n"))
    return 0;
  if (!NoOperands(args, 1)) return cli::kUsage;
  const std::string& what = args.operands[0];
  if (what == "blend-modes") {
    for (int32_t m = 0; const char* name = DRO_XBlendModeName(m); ++m)
      if (*name) std::printf("%s\n", name);
    return 0;
  }
  if (what == "effects") {
    const char* name = nullptr;
    for (int32_t i = 0; DRO_XEffectInfo(i, &name, nullptr, nullptr) >= 0; ++i)
      std::printf("%s\n", name);
    return 0;
  }
  cli::Complain("list", "cannot list '%s': blend-modes or effects", what.c_str());
  return cli::kUsage;
}

int RunInfo(int argc, char** argv) {
  static const cli::OptionRule kOptions[] = {{"help", false, "h"}};
  cli::Args args;
  if (!cli::Parse("info", argc, argv, kOptions, args)) return cli::kUsage;
  if (WantsHelp(args,
                "usage: drovine info\n"
                "\n"
                "Prints the program's and the library's version and the fast paths in use.\n"))
    return 0;
  if (!NoOperands(args, 0)) return cli::kUsage;
  std::printf("drovine %s\nlibrary %s\nfast paths: %s\n", DROVINE_VERSION_STRING, DRO_XGetVersion(),
              DRO_XGetFastPaths());
  return 0;
}

int RunComposite(int argc, char** argv) {
  static const cli::OptionRule kOptions[] = {
      {"mode", true}, {"opacity", true}, {"output", true, "o"}, {"help", false, "h"}};
  cli::Args args;
  if (!cli::Parse("composite", argc, argv, kOptions, args)) return cli::kUsage;
  if (WantsHelp(args,
                "usage: drovine composite BASE LAYER --output FILE [--mode M] [--opacity P]\n"
                "\n"
                "Blends the picture LAYER over the picture BASE (any format the engine reads;\n"
                "top left, cut to BASE's size) and writes the result, BASE's size, as RGBA.\n"
                "\n"
                "  --mode M            blend mode name (default Normal; drovine list blend-modes)\n"
                "  --opacity P         opacity of LAYER in percent, 0..100 (default 100)\n"
                "  -o, --output FILE   the picture (format from its extension), - for standard\n"
                "                      output (PNG)\n"))
    return 0;
  if (!NoOperands(args, 2)) return cli::kUsage;
  int32_t opacity = 0;
  if (!cli::IntOption(args, "opacity", 0, 100, 100, opacity)) return cli::kUsage;
  const std::string mode = args.Has("mode") ? args.values.at("mode") : "Normal";
  if (!KnownBlendMode(mode)) {
    cli::Complain("composite", "--mode '%s' is no blend mode (drovine list blend-modes)",
                  mode.c_str());
    return cli::kUsage;
  }
  if (!args.Has("output")) {
    cli::Complain("composite",
                  "give the result's file with --output FILE (or - for standard output)");
    return cli::kUsage;
  }
  const std::string& output = args.values.at("output");
  cli::Output out;
  if (!cli::CheckInput("composite", "the base", args.operands[0]) ||
      !cli::CheckInput("composite", "the layer", args.operands[1]) ||
      !out.Open("composite", output))
    return cli::kUsage;
  std::vector<uint8_t> base, layer;
  int32_t bw = 0, bh = 0, lw = 0, lh = 0;
  std::string reason;
  if (!cli::ReadPicture(args.operands[0], base, bw, bh, reason)) {
    cli::Complain("composite", "cannot read the base '%s' as a picture of 1..10000 a side%s",
                  args.operands[0].c_str(), reason.c_str());
    return cli::kUsage;
  }
  if (!cli::ReadPicture(args.operands[1], layer, lw, lh, reason)) {
    cli::Complain("composite", "cannot read the layer '%s' as a picture of 1..10000 a side%s",
                  args.operands[1].c_str(), reason.c_str());
    return cli::kUsage;
  }

  DRO_SetLastError("");
  DRO_CreateImage(nullptr, bw, bh, 1, 0);
  if (!DRO_CreateLayer(1, bw, bh) || !DRO_CreateLayer(2, bw, bh)) {
    cli::Complain("composite", "cannot make the layers: %s", DRO_GetLastError());
    DRO_DeleteImage();
    return cli::kFailed;
  }
  DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
  DRO_SetLayerOptions(2, 1, 0, opacity, mode.c_str());
  DRO_SetLayer(1);
  DRO_LoadRGBA32Layer(base.data(), bw * 4, 1, 0, 0, bw, bh, 0);
  DRO_LoadRGBA32Layer(layer.data(), lw * 4, 2, 0, 0, lw, lh, 0);
  std::vector<uint16_t> flat(static_cast<size_t>(bw) * bh * 4);
  DRO_Merge(flat.data());
  std::vector<uint8_t> result(static_cast<size_t>(bw) * bh * 4);
  DRO_GetRGBA32FromRGBA64(result.data(), bw * 4, bw, bh, flat.data(), bw * 8);
  const std::string error = DRO_GetLastError();
  DRO_DeleteImage();
  if (!error.empty()) {
    cli::Complain("composite", "%s", error.c_str());
    return cli::kFailed;
  }
  if (!out.Write(result.data(), bw, bh, bw * 4, cli::Output::Order::kRgba)) {
    cli::Complain("composite", "cannot write %s%s", output.c_str(), out.reason().c_str());
    return cli::kFailed;
  }
  return 0;
}
