// Small pictures and scripts written to a scratch directory for the brush
// tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "platform/image_library.h"
#include "support/scratch_dir.h"

namespace brush_test {

// A fresh directory for the test's files, removed at its end.
using drovine_test::ScratchDir;

// Tight RGBA pixels, built pixel by pixel.
struct Rgba {
  int32_t width;
  int32_t height;
  std::vector<uint8_t> pixels;
  Rgba(int32_t w, int32_t h) : width(w), height(h), pixels(static_cast<size_t>(w) * h * 4) {}
  void Set(int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
    p[0] = r;
    p[1] = g;
    p[2] = b;
    p[3] = a;
  }
};

inline void WritePng(const std::string& path, const Rgba& picture) {
  ASSERT_TRUE(dro::platform::image::WritePng(path.c_str(), picture.pixels.data(), picture.width,
                                             picture.height, 4, picture.width * 4, 0, 0));
}

// An effect script that renders a plain picture of one colour.
inline void WritePlainScript(const std::string& path, int32_t width, int32_t height, int r, int g,
                             int b) {
  std::ofstream out(path);
  out << "effect-script 1\n"
      << "size " << width << " " << height << "\n"
      << "background " << r << " " << g << " " << b << "\n";
}

// The grey value the image library gives one RGBA pixel.
inline uint8_t GreyOf(uint8_t r, uint8_t g, uint8_t b) {
  const uint8_t rgba[4] = {r, g, b, 255};
  uint8_t grey = 0;
  EXPECT_TRUE(dro::platform::image::ImageToGray8(rgba, 1, 1, 4, 4, &grey, 1));
  return grey;
}

}  // namespace brush_test
