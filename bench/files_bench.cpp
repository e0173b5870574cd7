// Writing and pasting pictures at 2048 x 2048, each beside a baseline timed
// in the same run (best iteration against best iteration): libpng and
// libjpeg-turbo called directly with the same settings, flatten-then-write
// for the page saved row by row, and xclip plus a decode for a paste through
// X11 (under an Xvfb of the benchmark's own; skipped without one).
//
// The machine is shared: wall-clock ratios are noisy, so the thread-CPU
// ratio (cpu_ratio) is reported too; the paste's work happens partly in
// other processes, so it has the wall-clock ratio only. A ratio below 1
// means ours is slower.
#include <benchmark/benchmark.h>
#include <png.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "base/types.h"
#include "composite/layers.h"
#include "composite/pixel_transfers.h"
#include "drovine.h"
#include "hostkit/timing.h"
#include "platform/image_files.h"
#include "platform/image_library.h"

namespace {

constexpr int kSide = 2048;
constexpr size_t kPixels = size_t{kSide} * kSide;

// Smooth gradients with noise of +-16, as photographs and paintings are.
std::vector<uint8_t> Picture(int channels) {
  std::vector<uint8_t> p(kPixels * channels);
  uint32_t seed = 7;
  for (size_t i = 0; i < kPixels; ++i) {
    const int x = int(i % kSide), y = int(i / kSide);
    const int base[4] = {x / 8, y / 8, (x + y) / 16, 255};
    for (int c = 0; c < channels; ++c) {
      seed = seed * 214013u + 2531011u;
      const int noise = c == 3 ? 0 : int((seed >> 16) % 33) - 16;
      p[i * channels + c] = uint8_t(std::clamp(base[c] + noise, 0, 255));
    }
  }
  return p;
}

std::string Scratch(const char* name) {
  return "/tmp/drovine-bench-" + std::to_string(getpid()) + "-" + name;
}

void Report(benchmark::State& state, const hostkit::BestTimes& t) {
  state.counters["Mpix/s"] = kPixels / t.work / 1e6;
  state.counters["baseline_Mpix/s"] = kPixels / t.baseline / 1e6;
  state.counters["ratio"] = t.baseline / t.work;
  state.counters["cpu_ratio"] = t.baselineCpu / t.workCpu;
}

// libpng as a program would call it: default settings, rows in one call.
void PlainPng(const char* path, const uint8_t* rgba) {
  FILE* f = std::fopen(path, "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) std::abort();
  png_init_io(png, f);
  png_set_IHDR(png, info, kSide, kSide, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_bytep> rows(kSide);
  for (int y = 0; y < kSide; ++y) rows[y] = const_cast<png_bytep>(rgba + size_t(y) * kSide * 4);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

// libjpeg-turbo with the same choices: quality 97, full-size chroma, the
// accurate DCT.
void PlainJpeg(const char* path, const uint8_t* rgb) {
  FILE* f = std::fopen(path, "wb");
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = kSide;
  c.image_height = kSide;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 97, TRUE);
  c.dct_method = JDCT_ISLOW;
  for (int i = 0; i < c.num_components; ++i)
    c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb + size_t(c.next_scanline) * kSide * 3);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(f);
}

void BM_WritePng(benchmark::State& state) {
  const auto rgba = Picture(4);
  const std::string ours = Scratch("ours.png"), plain = Scratch("plain.png");
  hostkit::BestTimes t;
  for (auto _ : state)
    state.SetIterationTime(
        t.Run([&] { DRO_WriteToFileRGBA32(rgba.data(), kSide, kSide, ours.c_str(), ".png", 72); },
              [&] { PlainPng(plain.c_str(), rgba.data()); }));
  Report(state, t);
  std::remove(ours.c_str());
  std::remove(plain.c_str());
}

void BM_WriteJpeg97(benchmark::State& state) {
  const auto rgb = Picture(3);
  const std::string ours = Scratch("ours.jpg"), plain = Scratch("plain.jpg");
  hostkit::BestTimes t;
  for (auto _ : state)
    state.SetIterationTime(
        t.Run([&] { DRO_WriteToFileRGB24(rgb.data(), kSide, kSide, ours.c_str(), ".jpg", 72); },
              [&] { PlainJpeg(plain.c_str(), rgb.data()); }));
  Report(state, t);
  std::remove(ours.c_str());
  std::remove(plain.c_str());
}

// The page row by row against the whole page flattened, narrowed and then
// written, both PNG (RGB).
void BM_SavePageByRows(benchmark::State& state) {
  DRO_CreateImage(nullptr, kSide, kSide, 8, 0);
  DRO_CreateLayer(1, kSide, kSide);
  DRO_CreateLayer(2, kSide, kSide);
  const auto rgba = Picture(4);
  DRO_LoadRGBA32Layer_BAD(const_cast<uint8_t*>(rgba.data()), 0, 2, kSide, kSide, 0);
  DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
  DRO_SetLayerOptions(2, 1, 0, 60, "Multiply");
  const std::string ours = Scratch("page.png"), plain = Scratch("flat.png");
  hostkit::BestTimes t;
  for (auto _ : state)
    state.SetIterationTime(t.Run(
        [&] { DRO_SavePageToFileRGB24(ours.c_str(), ".png", 72); },
        [&] {
          std::vector<dro::Pixel64> flat(kPixels);
          std::vector<uint8_t> rgb(kPixels * 3);
          dro::composite::Merge(flat.data());
          dro::composite::NarrowRectTight(reinterpret_cast<const uint8_t*>(flat.data()), 0, 0,
                                          kSide, kSide, kSide, rgb.data(), 3);
          dro::platform::image::LineOptions o;
          o.dpi = 72;
          dro::platform::image::WriteLines(dro::platform::image::LineFormat::kPng, plain.c_str(),
                                           rgb.data(), kSide, kSide, kSide * 3, o);
        }));
  Report(state, t);
  DRO_DeleteImage();
  std::remove(ours.c_str());
  std::remove(plain.c_str());
}

// An Xvfb on a display number it picks; "" when none starts.
std::string StartXvfb(pid_t& pid) {
  int fds[2];
  if (pipe(fds) != 0) return "";
  pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::freopen("/dev/null", "w", stderr);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-noreset",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  return number.empty() ? "" : ":" + number;
}

void BM_PasteThroughX11(benchmark::State& state) {
  pid_t xvfb = -1;
  const std::string display = StartXvfb(xvfb);
  if (display.empty()) {
    state.SkipWithError("no Xvfb");
    for (auto _ : state) {
    }
    return;
  }
  setenv("DISPLAY", display.c_str(), 1);
  const auto rgba = Picture(4);
  const std::string png = Scratch("offer.png");
  dro::platform::image::WritePng(png.c_str(), rgba.data(), kSide, kSide, 4, kSide * 4, 0, 0);
  const std::string offer = "xclip -selection clipboard -t image/png -i " + png;
  if (std::system(offer.c_str()) != 0) state.SkipWithError("no xclip");
  hostkit::BestTimes t;
  for (auto _ : state)
    state.SetIterationTime(
        t.Run([&] { DRO_FromClipboard(); },
              [&] {
                std::vector<uint8_t> bytes;
                FILE* f = popen("xclip -selection clipboard -t image/png -o", "r");
                char buf[1 << 16];
                size_t n;
                while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
                  bytes.insert(bytes.end(), buf, buf + n);
                pclose(f);
                dro::platform::image::Picture p;
                dro::platform::image::ReadPictureRgba(bytes.data(), bytes.size(), p);
              }));
  if (DRO_GetNewRGBAWidth() != kSide) state.SkipWithError("the paste read nothing");
  Report(state, t);
  DRO_DeleteNewRGBA();
  kill(xvfb, SIGTERM);
  waitpid(xvfb, nullptr, 0);
  std::remove(png.c_str());
}

BENCHMARK(BM_WritePng)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteJpeg97)->UseManualTime()->Iterations(6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SavePageByRows)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PasteThroughX11)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);

}  // namespace
