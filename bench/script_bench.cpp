// Lua filter scripts on 1024 x 1024 and 2048 x 2048 canvases.
//
// - Invert: the example invert script, two accessor calls (get_rgb, set_rgb)
//   per pixel, in million accessor calls per second of the script's loop
//   (the run less an empty script's run, both timed in the same
//   iteration; run_Mcalls/s counts the whole run), beside the bare C API
//   doing the same per pixel in the same run (DRO_GetRGBAAtLayer and
//   DRO_SetPixelRGB24, two calls per pixel): "ratio" is the loop's call
//   rate over the C API's. Build with -DDROVINE_LUAJIT=ON for the LuaJIT
//   figures.
// - Run overhead: an empty script (state, libraries, registrations, the
//   copy of the source into the destination and the load back into the
//   layer), in milliseconds, with the ratio to one memcpy of the buffer and
//   the time of the load path alone (the engine's texture- and
//   mask-weighted load, which any filter's result goes through).
//
// The machine's two cores are shared with other work: figures are noisy,
// so each reports its best iteration, and the ratios compare best with best.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/types.h"
#include "drovine.h"
#include "hostkit/timing.h"
#include "imaging/work_buffers.h"

namespace {

using dro::Pixel64;
using hostkit::Seconds;

void MakeCanvas(int side) {
  DRO_CreateImage(nullptr, side, side, 8, 0);
  DRO_CreateLayer(1, side, side);
  std::vector<Pixel64> pixels(size_t(side) * side);
  for (size_t i = 0; i < pixels.size(); ++i) {
    const uint16_t v = uint16_t((i * 2654435761u >> 13) & 0xFF00);
    pixels[i] = Pixel64{v, uint16_t(v ^ 0x5500), uint16_t(i & 0xFF00), 65280};
  }
  DRO_SetLayerData(pixels.data(), 1);
  DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
  DRO_SetLayer(1);
  DRO_IPLAllocSrcBuffer32();
  DRO_IPLAllocDstBuffer32();
}

void RunScript(const std::string& path) {
  DRO_LuaFilterRun(path.c_str(), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
}

std::string Example(const char* name) {
  return std::string(DROVINE_EXAMPLES) + "/scripts/" + name;
}

std::string EmptyScript() {
  char path[] = "/tmp/drovine-empty-XXXXXX";
  const int fd = mkstemp(path);
  if (fd >= 0) close(fd);
  return path;
}

void BM_InvertScript(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  MakeCanvas(side);
  const std::string empty = EmptyScript();
  const double calls = 2.0 * side * side;
  std::vector<uint8_t> rgb(size_t(side) * side * 3);
  double best = 1e9, bestEmpty = 1e9, bestBase = 1e9;
  for (auto _ : state) {
    const double s = Seconds([&] { RunScript(Example("invert.lua")); });
    state.SetIterationTime(s);
    best = std::min(best, s);
    bestEmpty = std::min(bestEmpty, Seconds([&] { RunScript(empty); }));
    bestBase = std::min(bestBase, Seconds([&] {
                          for (int y = 0; y < side; ++y) {
                            for (int x = 0; x < side; ++x) {
                              const uint32_t c = uint32_t(DRO_GetRGBAAtLayer(x, y, 1));
                              DRO_SetPixelRGB24(rgb.data(), side * 3, x, y, int32_t(~c & 255),
                                                int32_t(~c >> 8 & 255), int32_t(~c >> 16 & 255));
                            }
                          }
                          benchmark::ClobberMemory();
                        }));
  }
  // The loop alone: the whole run less an empty script's run.
  const double loop = std::max(best - bestEmpty, 1e-9);
  state.counters["Mcalls/s"] = calls / loop / 1e6;
  state.counters["run_Mcalls/s"] = calls / best / 1e6;
  state.counters["C_api_Mcalls/s"] = calls / bestBase / 1e6;
  state.counters["ratio"] = bestBase / loop;
  std::remove(empty.c_str());
  DRO_DeleteImage();
}
BENCHMARK(BM_InvertScript)->Arg(1024)->Arg(2048)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_RunOverhead(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  MakeCanvas(side);
  const std::string empty = EmptyScript();
  const char* path = empty.c_str();
  const size_t bytes = size_t(side) * side * 4;
  std::vector<uint8_t> copy(bytes);
  double best = 1e9, bestBase = 1e9, bestLoad = 1e9;
  for (auto _ : state) {
    const double s = Seconds([&] { RunScript(path); });
    state.SetIterationTime(s);
    best = std::min(best, s);
    bestBase = std::min(bestBase, Seconds([&] {
                          std::memcpy(copy.data(), dro::imaging::Source32(), bytes);
                          benchmark::ClobberMemory();
                        }));
    bestLoad = std::min(bestLoad, Seconds([&] {
                          dro::imaging::LoadRgba32Result(dro::imaging::Source32());
                          benchmark::ClobberMemory();
                        }));
  }
  state.counters["best_ms"] = best * 1e3;
  state.counters["memcpy_ms"] = bestBase * 1e3;
  state.counters["load_path_ms"] = bestLoad * 1e3;
  state.counters["without_load_ms"] = (best - bestLoad) * 1e3;
  state.counters["ratio_to_memcpy"] = best / bestBase;
  std::remove(path);
  DRO_DeleteImage();
}
BENCHMARK(BM_RunOverhead)->Arg(1024)->Arg(2048)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
