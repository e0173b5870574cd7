// Writes the seeds that come from our own writers into fuzz/corpus:
//   build/fuzz/fuzz/fuzz_make_seeds fuzz/corpus
// Small on purpose: a few pixels exercise every stage of a reader.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/image_library.h"

namespace img = dro::platform::image;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds CORPUS_DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  constexpr int w = 6, h = 5;
  std::vector<uint8_t> rgba(w * h * 4), indices(w * h);
  for (int i = 0; i < w * h; ++i) {
    rgba[i * 4] = uint8_t(i * 8), rgba[i * 4 + 1] = uint8_t(255 - i * 8);
    rgba[i * 4 + 2] = uint8_t(i * 3), rgba[i * 4 + 3] = uint8_t(i % 3 ? 255 : i * 9);
    indices[i] = uint8_t(i % 3);
  }
  const uint8_t palette[9] = {255, 0, 0, 0, 255, 0, 0, 0, 255};
  bool ok = img::WritePng((dir + "/png/ours.png").c_str(), rgba.data(), w, h, 4, w * 4, 72, 72);
  ok &= img::WriteJpeg((dir + "/jpeg/ours.jpg").c_str(), rgba.data(), w, h, 4, w * 4, 80, 0, 0);
  ok &= img::WriteTiff((dir + "/tiff/ours.tif").c_str(), rgba.data(), w, h, 4, w * 4, 0, 0);
  ok &= img::WriteBmp((dir + "/bmp/ours.bmp").c_str(), rgba.data(), w, h, 4, w * 4, 0, 0);
  ok &= img::WritePsd((dir + "/psd/ours.psd").c_str(), rgba.data(), w, h, 4, w * 4);
  ok &= img::WriteGif((dir + "/gif/ours.gif").c_str(), indices.data(), w, h, w, palette, 3, 2);
  return ok ? 0 : 1;
}
