// Devices, each against a baseline measured in the same run:
//   - an MJPEG frame of 2048 x 2048 at quality 90 (our encoder into the
//     recording's buffer and the frame's chunk written) against
//     libjpeg-turbo compressing the same picture into memory alone;
//   - uncompressed 2048 x 2048 frames written to a recording in the page
//     cache (/tmp) against memcpy of the same bytes;
//   - one scan from SANE's test device at 300 dpi in colour against the
//     scanimage program making the same scan.
#include <benchmark/benchmark.h>
// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "base/allocation.h"
#include "drovine.h"
#include "io/avi_file.h"
#include "platform/avi_jpeg.h"

namespace {

constexpr int kSide = 2048;

// A painting-like picture: smooth gradients with some detail.
const std::vector<uint8_t>& Picture() {
  static const std::vector<uint8_t> rgba = [] {
    std::vector<uint8_t> p(size_t(kSide) * kSide * 4);
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) {
        uint8_t* px = &p[(size_t(y) * kSide + size_t(x)) * 4];
        px[0] = uint8_t(x / 8 + ((x * y) >> 12) % 7);
        px[1] = uint8_t(y / 8 + (x ^ y) % 5);
        px[2] = uint8_t((x + y) / 16);
        px[3] = 255;
      }
    return p;
  }();
  return rgba;
}

std::string TempPath(const char* name) {
  return std::string("/tmp/drovine-bench-") + std::to_string(getpid()) + "-" + name;
}

void BM_MjpegFrame2048(benchmark::State& state) {
  const std::vector<uint8_t>& rgba = Picture();
  const std::string path = TempPath("mjpeg.avi");
  dro::io::AviFile file;
  file.Create(path.c_str());
  dro::io::AviFormat format;
  format.width = format.height = kSide;
  format.periodMs = 40;
  format.mjpeg = true;
  file.Start(format);
  dro::Buffer<uint8_t> out;
  size_t size = 0;
  for (auto _ : state) {
    if (!dro::platform::video::EncodeJpegFrame(rgba.data(), kSide, kSide, kSide * 4, 90, out,
                                               size) ||
        !file.WriteFrame(out.data(), uint32_t(size))) {
      file.Finish();
      file.Create(path.c_str());
      file.Start(format);
    }
  }
  file.Finish();
  std::remove(path.c_str());
  state.counters["bytes"] = double(size);
}

void BM_LibjpegCompress2048(benchmark::State& state) {
  const std::vector<uint8_t>& rgba = Picture();
  unsigned char* mem = nullptr;
  unsigned long memSize = 0;
  for (auto _ : state) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, &mem, &memSize);
    c.image_width = c.image_height = kSide;
    c.input_components = 4;
    c.in_color_space = JCS_EXT_RGBX;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
      JSAMPROW row = const_cast<JSAMPROW>(&rgba[size_t(c.next_scanline) * kSide * 4]);
      jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
  }
  state.counters["bytes"] = double(memSize);
  std::free(mem);
}

constexpr size_t kFrameBytes = size_t(kSide) * kSide * 3;

void BM_UncompressedFrame2048(benchmark::State& state) {
  std::vector<uint8_t> frame(kFrameBytes, 77);
  const std::string path = TempPath("raw.avi");
  dro::io::AviFile file;
  dro::io::AviFormat format;
  format.width = format.height = kSide;
  format.periodMs = 40;
  format.frameBytes = uint32_t(kFrameBytes);
  file.Create(path.c_str());
  file.Start(format);
  for (auto _ : state) {
    if (!file.WriteFrame(frame.data(), uint32_t(kFrameBytes))) {
      // The recording is full (1 GiB): a new one, as a host would start.
      state.PauseTiming();
      file.Finish();
      file.Create(path.c_str());
      file.Start(format);
      state.ResumeTiming();
      file.WriteFrame(frame.data(), uint32_t(kFrameBytes));
    }
  }
  file.Finish();
  std::remove(path.c_str());
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}

void BM_MemcpyFrame2048(benchmark::State& state) {
  std::vector<uint8_t> from(kFrameBytes, 77), to(kFrameBytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kFrameBytes);
    benchmark::DoNotOptimize(to.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}

// SANE's test device, set up before the scanner library first starts.
const std::string& SaneConfig() {
  static const std::string dir = [] {
    std::string d = TempPath("sane");
    std::system(("mkdir -p '" + d + "'").c_str());
    std::ofstream(d + "/dll.conf") << "test\n";
    std::ifstream in("/etc/sane.d/test.conf");
    std::ofstream out(d + "/test.conf");
    for (std::string line; std::getline(in, line);)
      out << (line.rfind("test-picture", 0) == 0 ? "test-picture \"Color pattern\"" : line) << "\n";
    setenv("SANE_CONFIG_DIR", d.c_str(), 1);
    return d;
  }();
  return dir;
}

void BM_Acquire300Dpi(benchmark::State& state) {
  SaneConfig();
  DRO_XSetScanSource("test:0");
  DRO_XSetScanOptions(300, "Color", 8);
  for (auto _ : state) {
    if (DRO_TwainAcquire() != 1) state.SkipWithError("the test device gave no picture");
  }
  state.counters["pixels"] = double(DRO_GetNewRGBAWidth()) * DRO_GetNewRGBAHeight();
}

void BM_Scanimage300Dpi(benchmark::State& state) {
  const std::string command = "SANE_CONFIG_DIR='" + SaneConfig() +
                              "' scanimage -d test:0 --mode Color --depth 8 --resolution 300 "
                              "--format=pnm > /dev/null 2>&1";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("scanimage failed");
  }
}

BENCHMARK(BM_MjpegFrame2048)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibjpegCompress2048)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UncompressedFrame2048)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemcpyFrame2048)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Acquire300Dpi)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Scanimage300Dpi)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
