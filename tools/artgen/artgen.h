// artgen: pictures drawn from text recipes at build time, so that the demo
// game's art lives in the repository as readable source. The recipe language
// is described in README.md; art_output.h writes the result.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace artgen {

// Premultiplied RGBA, 0..1. A pixel whose alpha stays below one half is the
// key colour in the output.
struct Canvas {
  int width = 0;
  int height = 0;
  std::vector<float> px;  // 4 floats per pixel, top-down rows

  float* At(int x, int y) { return &px[(static_cast<size_t>(y) * width + x) * 4]; }
  const float* At(int x, int y) const { return &px[(static_cast<size_t>(y) * width + x) * 4]; }
};

struct Region {
  std::string name;
  int x = 0, y = 0, w = 0, h = 0;  // canvas coordinates
  int line = 0;
};

struct Result {
  Canvas canvas;
  bool dither = false;
  std::vector<Region> regions;  // every region block met, in order
};

// Runs a recipe held in memory; fileName is only used in error texts, which
// read "file:line: message".
bool RunRecipe(const std::string& text, const std::string& fileName, Result& out,
               std::string& error);
bool RunRecipeFile(const std::string& path, Result& out, std::string& error);

}  // namespace artgen
