// The k16 tool's work, as a library the tests link: PNG pictures to K16 files
// and back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/png_io.h"

namespace k16tool {

struct EncodeOptions {
  // Pixels of this colour (0xRRGGBB), and fully transparent ones, become
  // index 255, which the keyed loader skips; its palette entry holds the key
  // colour so sheets drawn with a colour key work too.
  bool key = false;
  uint32_t keyRgb = 0xFF00FF;
  // Floyd-Steinberg error diffusion; off suits sprite art with hard edges.
  bool dither = false;
  // Most colours the picture may use, index 255 included when not keyed.
  // The default leaves index 255 free so that every loader shows the picture.
  int colours = 255;
};

// A K16 picture: palette in X1R5G5B5, one index per pixel, top-down rows.
struct Picture {
  int width = 0;
  int height = 0;
  uint16_t palette[256] = {};
  std::vector<uint8_t> index;
};

// 8-bit channels to the 5-bit channels of a pixel, rounded, and back.
uint16_t RgbToPixel(uint8_t r, uint8_t g, uint8_t b);
void PixelToRgb(uint16_t p, uint8_t rgb[3]);

Picture Quantise(const toolpng::RgbaImage& image, const EncodeOptions& options);
std::vector<uint8_t> SerialiseK16(const Picture& picture);
bool ParseK16File(const std::vector<uint8_t>& bytes, const std::string& name, Picture& out,
                  std::string& error);
// alphaForKey: index 255 becomes fully transparent.
toolpng::RgbaImage Expand(const Picture& picture, bool alphaForKey);

bool EncodeFile(const std::string& pngPath, const std::string& k16Path,
                const EncodeOptions& options, std::string& error);
bool DecodeFile(const std::string& k16Path, const std::string& pngPath, bool alphaForKey,
                std::string& error);
bool DescribeFile(const std::string& k16Path, std::string& text, std::string& error);

}  // namespace k16tool
