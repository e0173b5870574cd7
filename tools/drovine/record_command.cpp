// drovine record EVENTS OUT.avi: paints recorded tablet input (lines of
// "time x y pressure") stroke by stroke and hands the view to the engine's
// recorder as a bitmap file every few events, the way a painting host
// records its painting; with --pdf, the first, middle and last frames
// become the pages of a PDF document.
#include "record_command.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli.h"
#include "drovine.h"
#include "hostkit/stroke_replay.h"

namespace {

void PrintRecordHelp() {
  std::puts(
      "usage: drovine record EVENTS OUT.avi [--every N] [--period MS] [--mjpeg Q]\n"
      "                      [--pdf FILE.pdf]\n"
      "\n"
      "Paints the tablet events of EVENTS (lines of time, x, y and pressure 0..1)\n"
      "on a 960 x 640 canvas and records the view every N events (1..1000000,\n"
      "default 30) as one frame of OUT.avi, MS milliseconds a frame (1..60000,\n"
      "default 100), uncompressed (Q 0, the default) or as MJPEG at quality Q\n"
      "(1..100). --pdf also writes the first,\n"
      "middle and last frames as pages of a PDF document.");
}

// The host's BGR view (top row first) as a 24-bit BMP file.
bool WriteBmp(const std::string& path, const std::vector<uint8_t>& bgr, int w, int h, int stride) {
  const int row = (w * 3 + 3) & ~3;
  std::vector<uint8_t> f(54 + size_t(row) * size_t(h), 0);
  auto u32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + size_t(i)] = uint8_t(v >> (8 * i));
  };
  f[0] = 'B', f[1] = 'M';
  u32(2, uint32_t(f.size())), u32(10, 54), u32(14, 40), u32(18, uint32_t(w)), u32(22, uint32_t(h));
  f[26] = 1, f[28] = 24;
  u32(34, uint32_t(row * h));
  for (int y = 0; y < h; ++y)
    std::memcpy(&f[54 + size_t(h - 1 - y) * size_t(row)], &bgr[size_t(y) * size_t(stride)],
                size_t(w) * 3);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
  return bool(out);
}

}  // namespace

int RunRecordCommand(int argc, char** argv) {
  static const cli::OptionRule kOptions[] = {
      {"every", true}, {"period", true}, {"mjpeg", true}, {"pdf", true}, {"help", false, "h"}};
  cli::Args args;
  // argv[0] is the command's own name.
  if (!cli::Parse("record", argc - 1, argv + 1, kOptions, args)) return cli::kUsage;
  if (args.Has("help")) {
    PrintRecordHelp();
    return 0;
  }
  int32_t every = 0, period = 0, quality = 0;
  if (!cli::IntOption(args, "every", 1, 1000000, 30, every) ||
      !cli::IntOption(args, "period", 1, 60000, 100, period) ||
      !cli::IntOption(args, "mjpeg", 0, 100, 0, quality))
    return cli::kUsage;
  if (args.operands.size() != 2) {
    cli::Complain(
        "record", "%s (try drovine record --help)",
        args.operands.size() < 2 ? "give the events file and the AVI file" : "too many arguments");
    return cli::kUsage;
  }
  const std::vector<std::string>& files = args.operands;
  const std::string pdf = args.Has("pdf") ? args.values.at("pdf") : "";
  if (!cli::CheckInput("record", "the events", files[0]) ||
      !cli::CheckOutputFile("record", files[1], ".avi") ||
      (args.Has("pdf") && !cli::CheckOutputFile("record", pdf, ".pdf")))
    return cli::kUsage;
  const std::vector<hostkit::TabletEvent> events = hostkit::ReadTabletEvents(files[0]);
  if (events.empty()) {
    cli::Complain("record", "no tablet events in '%s' (lines of: seconds x y pressure)",
                  files[0].c_str());
    return cli::kUsage;
  }
  if (quality > 0) DRO_XSetAVICompression(DRO_XAVI_MJPEG, quality);
  const int w = 960, h = 640;
  DRO_CreateImage(nullptr, w, h, 256, 5);
  DRO_SetUndoLevels(5);
  DRO_CreateLayer(1, w, h);
  DRO_CreateLayer(2, w, h);
  DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
  DRO_SetLayerOptions(2, 1, 0, 100, "Normal");
  DRO_SetLayer(1);
  DRO_Clear(246, 240, 226, 255);
  hostkit::StrokeReplay host(2, w, h);
  hostkit::BrushStyle style;
  style.size = 28, style.red = 40, style.green = 70, style.blue = 140;
  host.Use(style);
  // The first frame shows the paper: the view must hold the whole canvas.
  DRO_SetViewSize(w, h);
  DRO_SetScale(1, 1);
  std::vector<uint8_t> paper(size_t(w) * 3 * size_t(h));
  DRO_Render(paper.data(), w * 3, 0, 0, w, h);

  const std::filesystem::path work =
      std::filesystem::temp_directory_path() / ("drovine-record-" + std::to_string(getpid()));
  std::filesystem::create_directories(work);
  const std::string frame = (work / "frame.bmp").string();
  std::string reason;
  bool made = false;
  {
    const cli::EngineReason why;
    made = DRO_CreateAVI(files[1].c_str(), period) != nullptr;
    if (!made) reason = why.Suffix();
  }
  if (!made) {
    std::fprintf(stderr, "drovine record: cannot make %s%s\n", files[1].c_str(), reason.c_str());
    DRO_DeleteImage();
    return 1;
  }
  int frames = 0;
  std::vector<std::string> pages;
  const size_t total = events.size() / size_t(every) + 1;
  auto record = [&](const std::vector<uint8_t>& view, int stride) {
    WriteBmp(frame, view, w, h, stride);
    DRO_WriteAVI(frame.c_str());
    const size_t index = size_t(frames++);
    if (!pdf.empty() && (index == 0 || index == total / 2 || index + 1 == total)) {
      const std::string page = (work / ("page" + std::to_string(index) + ".bmp")).string();
      std::filesystem::copy_file(frame, page, std::filesystem::copy_options::overwrite_existing);
      pages.push_back(page);
    }
  };
  record(paper, w * 3);
  for (size_t i = 0; i < events.size(); ++i) {
    host.Event(events[i]);
    if ((i + 1) % size_t(every) == 0 && size_t(frames) + 1 < total)
      record(host.view(), host.stride());
  }
  host.Finish();
  record(host.view(), host.stride());
  DRO_CloseAVI();
  int status = 0;
  std::printf("recorded %d frames of %d x %d into %s\n", frames, w, h, files[1].c_str());
  if (!pdf.empty()) {
    DRO_I2PDF_Reset();
    for (const std::string& page : pages) DRO_I2PDF_AddImage(page.c_str());
    const cli::EngineReason why;
    if (DRO_I2PDF_MakePDF(pdf.c_str())) {
      std::printf("wrote %zu pages into %s\n", pages.size(), pdf.c_str());
    } else {
      std::fprintf(stderr, "drovine record: cannot write %s%s\n", pdf.c_str(),
                   why.Suffix().c_str());
      status = 1;
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(work, ignored);
  DRO_DeletePaintLayer();
  DRO_DeleteImage();
  return status;
}
