#include "k16/k16_core.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <numeric>

#include "graphics/k16.h"

namespace k16tool {

namespace {

// --- colour spaces -----------------------------------------------------------
// Palettes are chosen and pixels matched in Oklab, where distances follow
// what the eye sees far better than in RGB.

struct Lab {
  double l = 0, a = 0, b = 0;
};

double Linear(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }
double Gamma(double c) {
  c = std::clamp(c, 0.0, 1.0);
  return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

Lab ToLab(double r8, double g8, double b8) {
  const double r = Linear(r8 / 255), g = Linear(g8 / 255), b = Linear(b8 / 255);
  const double l = std::cbrt(0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b);
  const double m = std::cbrt(0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b);
  const double s = std::cbrt(0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b);
  return {0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
          1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
          0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
}

std::array<double, 3> FromLab(const Lab& c) {
  const double l = c.l + 0.3963377774 * c.a + 0.2158037573 * c.b;
  const double m = c.l - 0.1055613458 * c.a - 0.0638541728 * c.b;
  const double s = c.l - 0.0894841775 * c.a - 1.2914855480 * c.b;
  const double L = l * l * l, M = m * m * m, S = s * s * s;
  return {255 * Gamma(4.0767416621 * L - 3.3077115913 * M + 0.2309699292 * S),
          255 * Gamma(-1.2684380046 * L + 2.6097574011 * M - 0.3413193965 * S),
          255 * Gamma(-0.0041960863 * L - 0.7034186147 * M + 1.7076147010 * S)};
}

double Dist(const Lab& x, const Lab& y) {
  const double dl = x.l - y.l, da = x.a - y.a, db = x.b - y.b;
  return dl * dl + da * da + db * db;
}

Lab PixelLab(uint16_t p) {
  uint8_t rgb[3];
  PixelToRgb(p, rgb);
  return ToLab(rgb[0], rgb[1], rgb[2]);
}

// --- palette ------------------------------------------------------------------

struct Entry {
  uint16_t pixel;
  uint32_t count;
  Lab lab;
};

struct Box {
  size_t begin, end;  // range of entries
  double error;       // weighted squared distance to the box's mean
};

double Axis(const Lab& c, int axis) { return axis == 0 ? c.l : axis == 1 ? c.a : c.b; }

Lab Mean(const std::vector<Entry>& e, size_t begin, size_t end) {
  Lab m;
  double w = 0;
  for (size_t i = begin; i < end; ++i) {
    m.l += e[i].lab.l * e[i].count;
    m.a += e[i].lab.a * e[i].count;
    m.b += e[i].lab.b * e[i].count;
    w += e[i].count;
  }
  if (w > 0) {
    m.l /= w;
    m.a /= w;
    m.b /= w;
  }
  return m;
}

double BoxError(const std::vector<Entry>& e, size_t begin, size_t end) {
  const Lab m = Mean(e, begin, end);
  double err = 0;
  for (size_t i = begin; i < end; ++i) err += Dist(e[i].lab, m) * e[i].count;
  return err;
}

// Median cut: split the box with the largest error along its widest axis
// (by weighted variance) at the weighted median, until there are enough.
std::vector<Lab> MedianCut(std::vector<Entry>& e, size_t wanted) {
  std::vector<Box> boxes{{0, e.size(), BoxError(e, 0, e.size())}};
  while (boxes.size() < wanted) {
    auto it = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
      const bool as = a.end - a.begin > 1, bs = b.end - b.begin > 1;
      if (as != bs) return !as;
      return a.error < b.error;
    });
    if (it->end - it->begin < 2) break;
    Box box = *it;
    const Lab m = Mean(e, box.begin, box.end);
    int axis = 0;
    double best = -1;
    for (int a = 0; a < 3; ++a) {
      double v = 0;
      for (size_t i = box.begin; i < box.end; ++i) {
        const double d = Axis(e[i].lab, a) - Axis(m, a);
        v += d * d * e[i].count;
      }
      if (v > best) {
        best = v;
        axis = a;
      }
    }
    std::sort(e.begin() + box.begin, e.begin() + box.end, [axis](const Entry& x, const Entry& y) {
      return Axis(x.lab, axis) < Axis(y.lab, axis);
    });
    double total = 0;
    for (size_t i = box.begin; i < box.end; ++i) total += e[i].count;
    double run = 0;
    size_t cut = box.begin + 1;
    for (size_t i = box.begin; i < box.end - 1; ++i) {
      run += e[i].count;
      cut = i + 1;
      if (run >= total / 2) break;
    }
    *it = {box.begin, cut, BoxError(e, box.begin, cut)};
    boxes.push_back({cut, box.end, BoxError(e, cut, box.end)});
  }
  std::vector<Lab> out;
  out.reserve(boxes.size());
  for (const Box& b : boxes) out.push_back(Mean(e, b.begin, b.end));
  return out;
}

// Lloyd's refinement of the median-cut centres over the colour histogram.
void Refine(const std::vector<Entry>& e, std::vector<Lab>& centres, int rounds) {
  std::vector<Lab> sum(centres.size());
  std::vector<double> weight(centres.size());
  for (int round = 0; round < rounds; ++round) {
    std::fill(sum.begin(), sum.end(), Lab{});
    std::fill(weight.begin(), weight.end(), 0.0);
    for (const Entry& x : e) {
      size_t best = 0;
      double bd = Dist(x.lab, centres[0]);
      for (size_t c = 1; c < centres.size(); ++c) {
        const double d = Dist(x.lab, centres[c]);
        if (d < bd) {
          bd = d;
          best = c;
        }
      }
      sum[best].l += x.lab.l * x.count;
      sum[best].a += x.lab.a * x.count;
      sum[best].b += x.lab.b * x.count;
      weight[best] += x.count;
    }
    for (size_t c = 0; c < centres.size(); ++c) {
      if (weight[c] > 0)
        centres[c] = {sum[c].l / weight[c], sum[c].a / weight[c], sum[c].b / weight[c]};
    }
  }
}

uint8_t Round8(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

// A pixel that must not equal the key: the nearest other 15-bit colour.
uint16_t AvoidKey(uint16_t p, bool key, uint16_t keyPixel) {
  if (!key || p != keyPixel) return p;
  // Move green up by one step (or blue down): the least visible change.
  if (((p >> 5) & 31) < 31) return static_cast<uint16_t>(p + (1 << 5));
  return static_cast<uint16_t>(p - 1);
}

uint16_t KeyPixel(uint32_t rgb) {
  // As the game turns a colour-key argument into a pixel: truncated.
  return static_cast<uint16_t>(((rgb >> 19) & 31) << 10 | ((rgb >> 11) & 31) << 5 |
                               ((rgb >> 3) & 31));
}

bool IsKey(const uint8_t* px, const EncodeOptions& o) {
  if (!o.key) return false;
  if (px[3] == 0) return true;
  return (uint32_t{px[0]} << 16 | uint32_t{px[1]} << 8 | px[2]) == o.keyRgb;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot open";
    return false;
  }
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = path + ": read error";
    return false;
  }
  return true;
}

int32_t ReadI32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int32_t>(uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 |
                              uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24);
}

}  // namespace

uint16_t RgbToPixel(uint8_t r, uint8_t g, uint8_t b) {
  auto five = [](uint8_t v) { return static_cast<uint16_t>((v * 31 + 127) / 255); };
  return static_cast<uint16_t>(five(r) << 10 | five(g) << 5 | five(b));
}

void PixelToRgb(uint16_t p, uint8_t rgb[3]) {
  for (int c = 0; c < 3; ++c) {
    const int v = (p >> (10 - 5 * c)) & 31;
    rgb[c] = static_cast<uint8_t>(v << 3 | v >> 2);
  }
}

namespace {

// Histogram of the pixels at 15 bits, key pixels left out.
std::vector<Entry> Histogram(const toolpng::RgbaImage& image, const EncodeOptions& o,
                             uint16_t keyPixel) {
  std::vector<uint32_t> hist(32768, 0);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* px = image.At(x, y);
      if (IsKey(px, o)) continue;
      ++hist[AvoidKey(RgbToPixel(px[0], px[1], px[2]), o.key, keyPixel)];
    }
  std::vector<Entry> entries;
  for (uint32_t p = 0; p < 32768; ++p)
    if (hist[p])
      entries.push_back({static_cast<uint16_t>(p), hist[p], PixelLab(static_cast<uint16_t>(p))});
  return entries;
}

// Every colour when they fit, else median cut refined by k-means.
std::vector<uint16_t> ChoosePalette(std::vector<Entry>& entries, size_t limit,
                                    const EncodeOptions& o, uint16_t keyPixel) {
  std::vector<uint16_t> palette;
  if (entries.size() <= limit) {
    for (const Entry& e : entries) palette.push_back(e.pixel);
    return palette;
  }
  std::vector<Lab> centres = MedianCut(entries, limit);
  Refine(entries, centres, 8);
  for (const Lab& c : centres) {
    const auto rgb = FromLab(c);
    palette.push_back(
        AvoidKey(RgbToPixel(Round8(rgb[0]), Round8(rgb[1]), Round8(rgb[2])), o.key, keyPixel));
  }
  std::sort(palette.begin(), palette.end());
  palette.erase(std::unique(palette.begin(), palette.end()), palette.end());
  return palette;
}

// The palette index nearest to a 15-bit colour, each colour worked out once.
class Nearest {
 public:
  explicit Nearest(const std::vector<uint16_t>& palette) : nearest_(32768, -1) {
    lab_.reserve(palette.size());
    for (uint16_t p : palette) lab_.push_back(PixelLab(p));
  }

  uint8_t operator()(uint16_t p) {
    if (nearest_[p] < 0) {
      const Lab c = PixelLab(p);
      size_t best = 0;
      double bd = 1e300;
      for (size_t i = 0; i < lab_.size(); ++i) {
        const double d = Dist(c, lab_[i]);
        if (d < bd) {
          bd = d;
          best = i;
        }
      }
      nearest_[p] = static_cast<int16_t>(best);
    }
    return static_cast<uint8_t>(nearest_[p]);
  }

 private:
  std::vector<Lab> lab_;
  std::vector<int16_t> nearest_;
};

void MapPixels(const toolpng::RgbaImage& image, const EncodeOptions& o, uint16_t keyPixel,
               Nearest& lookup, Picture& pic) {
  // Error diffusion works on the wanted 8-bit colour plus what earlier
  // pixels left over; two rows of carried error suffice.
  const int w = image.width;
  std::vector<std::array<double, 3>> errNow(static_cast<size_t>(w) + 2),
      errNext(static_cast<size_t>(w) + 2);
  for (int y = 0; y < image.height; ++y) {
    std::fill(errNext.begin(), errNext.end(), std::array<double, 3>{0, 0, 0});
    for (int x = 0; x < w; ++x) {
      const uint8_t* px = image.At(x, y);
      uint8_t& out = pic.index[static_cast<size_t>(y) * w + x];
      if (IsKey(px, o)) {
        out = kK16TransparentIndex;
        continue;
      }
      if (!o.dither) {
        out = lookup(AvoidKey(RgbToPixel(px[0], px[1], px[2]), o.key, keyPixel));
        continue;
      }
      double want[3];
      for (int c = 0; c < 3; ++c) want[c] = std::clamp(px[c] + errNow[x + 1][c], 0.0, 255.0);
      out = lookup(
          AvoidKey(RgbToPixel(Round8(want[0]), Round8(want[1]), Round8(want[2])), o.key, keyPixel));
      uint8_t got[3];
      PixelToRgb(pic.palette[out], got);
      for (int c = 0; c < 3; ++c) {
        // Capped, so a colour the palette cannot reach does not smear its
        // error far across the picture.
        const double e = std::clamp(want[c] - got[c], -40.0, 40.0);
        errNow[x + 2][c] += e * 7 / 16;
        errNext[x][c] += e * 3 / 16;
        errNext[x + 1][c] += e * 5 / 16;
        errNext[x + 2][c] += e * 1 / 16;
      }
    }
    std::swap(errNow, errNext);
  }
}

}  // namespace

Picture Quantise(const toolpng::RgbaImage& image, const EncodeOptions& o) {
  Picture pic;
  pic.width = image.width;
  pic.height = image.height;
  pic.index.assign(static_cast<size_t>(image.width) * image.height, 0);
  const uint16_t keyPixel = KeyPixel(o.keyRgb);
  const size_t limit = static_cast<size_t>(std::clamp(o.colours, 1, o.key ? 255 : 256));

  std::vector<Entry> entries = Histogram(image, o, keyPixel);
  const std::vector<uint16_t> palette = ChoosePalette(entries, limit, o, keyPixel);
  for (size_t i = 0; i < palette.size(); ++i) pic.palette[i] = palette[i];
  if (o.key) pic.palette[kK16TransparentIndex] = keyPixel;
  if (palette.empty()) {
    // Only key pixels.
    std::fill(pic.index.begin(), pic.index.end(), o.key ? kK16TransparentIndex : 0);
    return pic;
  }
  Nearest lookup(palette);
  MapPixels(image, o, keyPixel, lookup, pic);
  return pic;
}

std::vector<uint8_t> SerialiseK16(const Picture& pic) {
  const int32_t rowSize = K16RowSize(pic.width);
  std::vector<uint8_t> f(kK16PixelOffset + static_cast<size_t>(rowSize) * pic.height, 0);
  // Bytes 0-15 and 24-27 are ours to fill: a tag, and the colours in use.
  const char tag[16] = "K16 by Quillfen";
  std::copy(tag, tag + 16, f.begin());
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(16, static_cast<uint32_t>(pic.width));
  put32(20, static_cast<uint32_t>(pic.height));
  std::array<bool, 256> used{};
  for (uint8_t i : pic.index) used[i] = true;
  put32(24, static_cast<uint32_t>(std::count(used.begin(), used.end(), true)));
  for (int i = 0; i < 256; ++i) {
    f[kK16PaletteOffset + 2 * i] = static_cast<uint8_t>(pic.palette[i] & 0xFF);
    f[kK16PaletteOffset + 2 * i + 1] = static_cast<uint8_t>(pic.palette[i] >> 8);
  }
  for (int y = 0; y < pic.height; ++y) {
    // Bottom-up rows.
    const size_t row = kK16PixelOffset + static_cast<size_t>(pic.height - 1 - y) * rowSize;
    std::copy_n(&pic.index[static_cast<size_t>(y) * pic.width], pic.width, f.begin() + row);
  }
  return f;
}

bool ParseK16File(const std::vector<uint8_t>& bytes, const std::string& name, Picture& out,
                  std::string& error) {
  K16View view;
  if (!ParseK16(bytes.data(), bytes.size(), view)) {
    if (bytes.size() < kK16PixelOffset) {
      error = name + ": not a K16 picture (" + std::to_string(bytes.size()) +
              " bytes, shorter than the 540-byte header)";
      return false;
    }
    const int32_t w = ReadI32(bytes, 16), h = ReadI32(bytes, 20);
    if (w < 1 || h < 1 || w > kK16MaxSide || h > kK16MaxSide) {
      error =
          name + ": not a K16 picture (size " + std::to_string(w) + " x " + std::to_string(h) + ")";
    } else {
      error = name + ": truncated K16 picture (" + std::to_string(w) + " x " + std::to_string(h) +
              " needs " + std::to_string(kK16PixelOffset + static_cast<size_t>(K16RowSize(w)) * h) +
              " bytes, the file has " + std::to_string(bytes.size()) + ")";
    }
    return false;
  }
  out.width = view.width;
  out.height = view.height;
  std::copy(view.palette, view.palette + 256, out.palette);
  out.index.resize(static_cast<size_t>(view.width) * view.height);
  for (int y = 0; y < view.height; ++y)
    std::copy_n(view.Row(y), view.width, &out.index[static_cast<size_t>(y) * view.width]);
  return true;
}

toolpng::RgbaImage Expand(const Picture& pic, bool alphaForKey) {
  toolpng::RgbaImage img;
  img.width = pic.width;
  img.height = pic.height;
  img.rgba.resize(static_cast<size_t>(pic.width) * pic.height * 4);
  for (size_t i = 0; i < pic.index.size(); ++i) {
    PixelToRgb(pic.palette[pic.index[i]], &img.rgba[i * 4]);
    img.rgba[i * 4 + 3] = alphaForKey && pic.index[i] == kK16TransparentIndex ? 0 : 255;
  }
  return img;
}

bool EncodeFile(const std::string& pngPath, const std::string& k16Path,
                const EncodeOptions& options, std::string& error) {
  toolpng::RgbaImage image;
  if (!toolpng::ReadPng(pngPath, image, error)) return false;
  if (image.width > kK16MaxSide || image.height > kK16MaxSide) {
    error = pngPath + ": too large for a K16 picture (at most " + std::to_string(kK16MaxSide) +
            " pixels a side)";
    return false;
  }
  const std::vector<uint8_t> bytes = SerialiseK16(Quantise(image, options));
  std::ofstream out(k16Path, std::ios::binary | std::ios::trunc);
  if (out)
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  if (!out || !out.flush()) {
    error = k16Path + ": cannot write";
    return false;
  }
  return true;
}

bool DecodeFile(const std::string& k16Path, const std::string& pngPath, bool alphaForKey,
                std::string& error) {
  std::vector<uint8_t> bytes;
  Picture pic;
  if (!ReadFile(k16Path, bytes, error) || !ParseK16File(bytes, k16Path, pic, error)) return false;
  return toolpng::WritePng(pngPath, Expand(pic, alphaForKey), alphaForKey, error);
}

bool DescribeFile(const std::string& k16Path, std::string& text, std::string& error) {
  std::vector<uint8_t> bytes;
  Picture pic;
  if (!ReadFile(k16Path, bytes, error) || !ParseK16File(bytes, k16Path, pic, error)) return false;
  std::array<size_t, 256> uses{};
  for (uint8_t i : pic.index) ++uses[i];
  const auto used = std::count_if(uses.begin(), uses.end(), [](size_t n) { return n > 0; });
  char buf[512];
  std::snprintf(buf, sizeof buf,
                "%s: %d x %d, rows of %d bytes, %zu bytes\n"
                "colours: %td of 256 palette entries in use\n"
                "index 255 (skipped by keyed loading): %zu pixels, palette 0x%04X\n",
                k16Path.c_str(), pic.width, pic.height, K16RowSize(pic.width), bytes.size(), used,
                uses[255], pic.palette[255]);
  text = buf;
  return true;
}

}  // namespace k16tool
