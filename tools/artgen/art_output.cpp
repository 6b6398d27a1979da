#include "artgen/art_output.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "k16/k16_core.h"

namespace artgen {

toolpng::RgbaImage ToImage(const Result& result) {
  const Canvas& cv = result.canvas;
  toolpng::RgbaImage img;
  img.width = cv.width;
  img.height = cv.height;
  img.rgba.resize(static_cast<size_t>(cv.width) * cv.height * 4);
  for (int y = 0; y < cv.height; ++y)
    for (int x = 0; x < cv.width; ++x) {
      const float* p = cv.At(x, y);
      uint8_t* o = img.At(x, y);
      o[3] = 255;
      if (p[3] < 0.5f) {
        o[0] = 255;
        o[1] = 0;
        o[2] = 255;
        continue;
      }
      for (int k = 0; k < 3; ++k)
        o[k] = static_cast<uint8_t>(std::lround(std::clamp(p[k] / p[3], 0.0f, 1.0f) * 255.0f));
      // An opaque pixel must never read as the key once in 15 bits.
      if (o[0] >= 0xF4 && o[1] <= 0x03 && o[2] >= 0xF4) o[1] = 0x08;
    }
  return img;
}

bool IconImage(const Result& result, int size, toolpng::RgbaImage& out, std::string& error) {
  const Canvas& cv = result.canvas;
  if (cv.width != cv.height || size < 1 || size > cv.width) {
    error = "icon: the canvas must be square and at least " + std::to_string(size) + " pixels";
    return false;
  }
  // Each output pixel covers scale x scale canvas pixels, partly at its edges;
  // the covered premultiplied colours are averaged by the area they cover.
  const double scale = static_cast<double>(cv.width) / size;
  out.width = out.height = size;
  out.rgba.assign(static_cast<size_t>(size) * size * 4, 0);
  for (int oy = 0; oy < size; ++oy) {
    const double y0 = oy * scale;
    const double y1 = y0 + scale;
    for (int ox = 0; ox < size; ++ox) {
      const double x0 = ox * scale;
      const double x1 = x0 + scale;
      double sum[4] = {0, 0, 0, 0};
      for (int y = static_cast<int>(y0); y < cv.height && y < y1; ++y) {
        const double wy = std::min<double>(y + 1, y1) - std::max<double>(y, y0);
        for (int x = static_cast<int>(x0); x < cv.width && x < x1; ++x) {
          const double w = wy * (std::min<double>(x + 1, x1) - std::max<double>(x, x0));
          const float* p = cv.At(x, y);
          for (int k = 0; k < 4; ++k) sum[k] += w * p[k];
        }
      }
      const double area = scale * scale;
      const double alpha = sum[3] / area;
      uint8_t* o = out.At(ox, oy);
      o[3] = static_cast<uint8_t>(std::lround(std::clamp(alpha, 0.0, 1.0) * 255.0));
      if (o[3] == 0) continue;
      for (int k = 0; k < 3; ++k)
        o[k] = static_cast<uint8_t>(std::lround(std::clamp(sum[k] / sum[3], 0.0, 1.0) * 255.0));
    }
  }
  return true;
}

bool WriteOutputs(const Result& result, const std::string& k16Path, const std::string& pngPath,
                  std::string& error) {
  const toolpng::RgbaImage img = ToImage(result);
  k16tool::EncodeOptions o;
  o.key = true;
  o.keyRgb = 0xFF00FF;
  o.dither = result.dither;
  const std::vector<uint8_t> bytes = k16tool::SerialiseK16(k16tool::Quantise(img, o));
  std::ofstream out(k16Path, std::ios::binary | std::ios::trunc);
  if (out)
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  if (!out || !out.flush()) {
    error = k16Path + ": cannot write";
    return false;
  }
  out.close();
  if (!pngPath.empty()) {
    k16tool::Picture pic;
    if (!k16tool::ParseK16File(bytes, k16Path, pic, error)) return false;
    if (!toolpng::WritePng(pngPath, k16tool::Expand(pic, false), false, error)) return false;
  }
  return true;
}

}  // namespace artgen
