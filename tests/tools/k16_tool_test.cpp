#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "common/png_io.h"
#include "graphics/blit.h"
#include "graphics/image.h"
#include "graphics/k16.h"
#include "k16/k16_core.h"
#include "support/files.h"
#include "support/gfx_pixels.h"

namespace {

using Rgba = std::array<uint8_t, 4>;

toolpng::RgbaImage Make(int w, int h, const std::function<Rgba(int, int)>& f) {
  toolpng::RgbaImage img;
  img.width = w;
  img.height = h;
  img.rgba.resize(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const auto c = f(x, y);
      std::copy(c.begin(), c.end(), img.At(x, y));
    }
  return img;
}
// Mean and largest channel error, each pixel's over the (2r + 1)^2 square
// around it: at r = 1 what the eye sees from a step back.
std::pair<double, double> Error(const toolpng::RgbaImage& a, const toolpng::RgbaImage& b,
                                int r = 0) {
  double sum = 0, worst = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      for (int c = 0; c < 3; ++c) {
        double e = 0;
        for (int v = std::max(y - r, 0); v <= std::min(y + r, a.height - 1); ++v)
          for (int u = std::max(x - r, 0); u <= std::min(x + r, a.width - 1); ++u)
            e += a.At(u, v)[c] - b.At(u, v)[c];
        sum += std::abs(e) / ((2 * r + 1) * (2 * r + 1));
        worst = std::max(worst, std::abs(e));
      }
  return {sum / (3.0 * a.width * a.height), worst};
}

class K16ToolTest : public gfx_test::HostTest {
 protected:
  std::string Path(const std::string& name) const { return (dataDir / name).string(); }
  // Encodes the picture through a PNG file and decodes the K16 back to one.
  toolpng::RgbaImage RoundTrip(const toolpng::RgbaImage& img, const k16tool::EncodeOptions& o) {
    std::string error;
    toolpng::RgbaImage back;
    EXPECT_TRUE(toolpng::WritePng(Path("in.png"), img, true, error)) << error;
    EXPECT_TRUE(k16tool::EncodeFile(Path("in.png"), Path("pic.K16"), o, error)) << error;
    EXPECT_TRUE(k16tool::DecodeFile(Path("pic.K16"), Path("out.png"), false, error)) << error;
    EXPECT_TRUE(toolpng::ReadPng(Path("out.png"), back, error)) << error;
    return back;
  }
};

TEST(K16Colours, FifteenBitColoursSurviveTheEightBitRoundTrip) {
  for (uint32_t p = 0; p < 32768; ++p) {
    uint8_t rgb[3];
    k16tool::PixelToRgb(static_cast<uint16_t>(p), rgb);
    ASSERT_EQ(k16tool::RgbToPixel(rgb[0], rgb[1], rgb[2]), p);
  }
  EXPECT_EQ(k16tool::RgbToPixel(255, 0, 255), ColourToPixel(kMagenta));
}

// 240 distinct colours: the palette holds them all, only the 15-bit rounding
// remains, and the game reads the same pixels.
TEST_F(K16ToolTest, FewColoursRoundTripThroughTheGameWithinFifteenBitError) {
  const auto original = Make(60, 44, [](int x, int y) {
    const int i = (x / 4) % 15, j = (y / 3) % 16;
    return Rgba{uint8_t(i * 17 + 3), uint8_t(j * 16 + 5), uint8_t((i * 37 + j * 11) % 256), 255};
  });
  const auto decoded = RoundTrip(original, {});
  ASSERT_EQ(std::pair(decoded.width, decoded.height), std::pair(60, 44));
  EXPECT_LE(Error(original, decoded).second, 5);  // half a 5-bit step and the expansion
  Image im;
  ASSERT_EQ(LoadK16(im, "pic.K16"), 1);
  std::set<uint16_t> distinct;
  for (int y = 0; y < 44; ++y)
    for (int x = 0; x < 60; ++x) {
      const uint8_t* p = original.At(x, y);
      ASSERT_EQ(im.At(x, y), k16tool::RgbToPixel(p[0], p[1], p[2])) << x << "," << y;
      distinct.insert(im.At(x, y));
    }
  std::string info, error;
  ASSERT_TRUE(k16tool::DescribeFile(Path("pic.K16"), info, error)) << error;
  EXPECT_TRUE(info.find("60 x 44") != std::string::npos &&
              info.find(std::to_string(distinct.size()) + " of 256") != std::string::npos)
      << info;
}

// A smooth picture with thousands of colours against the naive way to 256
// colours (3 bits of red and green, 2 of blue); dithering pays off on it.
TEST_F(K16ToolTest, GradientsAndPhotosKeepTheirLook) {
  const auto photo = Make(160, 120, [](int x, int y) {
    const double h = x / 160.0 * 6.283, v = 0.25 + 0.75 * y / 119.0;
    const double spot = std::exp(-((x - 110) * (x - 110) + (y - 40) * (y - 40)) / 600.0);
    auto ch = [&](double phase) {
      return uint8_t(std::clamp(255 * (v * (0.5 + 0.5 * std::sin(h + phase)) * (1 - spot) + spot),
                                0.0, 255.0));
    };
    return Rgba{ch(0), ch(2.094), ch(4.189), 255};
  });
  const auto naive = Make(160, 120, [&](int x, int y) {
    const uint8_t* p = photo.At(x, y);
    return Rgba{uint8_t((p[0] >> 5) * 36 + 18), uint8_t((p[1] >> 5) * 36 + 18),
                uint8_t((p[2] >> 6) * 85), 255};
  });
  k16tool::EncodeOptions o;
  const auto plain = RoundTrip(photo, o);
  o.dither = true;
  const auto dithered = RoundTrip(photo, o);
  EXPECT_LT(Error(photo, plain).first, Error(photo, naive).first / 2);
  EXPECT_LT(Error(photo, plain).second, 64);
  EXPECT_LT(Error(photo, plain, 1).first, Error(photo, naive, 1).first / 3);
  EXPECT_LT(Error(photo, dithered, 1).first, Error(photo, plain, 1).first);
}

// The key colour and fully transparent pixels take index 255, which holds
// the key; nothing else does, however many colours the picture has.
TEST_F(K16ToolTest, KeyColourBecomesIndex255AndNothingElseLooksLikeIt) {
  const auto sheet = Make(20, 10, [](int x, int y) {
    if (x < 5) return Rgba{255, 0, 255, 255};
    if (x < 8) return Rgba{10, 200, 30, uint8_t(y < 5 ? 0 : 255)};
    if (x < 12) return Rgba{250, 2, 252, 255};  // nearly magenta
    return Rgba{uint8_t(x * 10), uint8_t(y * 20), 90, 255};
  });
  k16tool::EncodeOptions o;
  o.key = true;
  RoundTrip(sheet, o);
  Image im, dst;
  ASSERT_EQ(LoadK16(im, "pic.K16"), 1);
  dst.Create(20, 10);
  FillImageRect(dst, 0, 0, 20, 10, 0);
  ASSERT_EQ(LoadK16RectKeyed(dst, "pic.K16", 0, 0, 20, 10, 0, 0), 1);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool key = x < 5 || (x < 8 && y < 5);
      ASSERT_EQ(im.At(x, y) == ColourToPixel(kMagenta), key) << x << "," << y;
      ASSERT_EQ(dst.At(x, y) == 0, key) << x << "," << y;
    }
  o.keyRgb = 0x00FF00;
  RoundTrip(sheet, o);
  ASSERT_EQ(LoadK16(im, "pic.K16"), 1);
  EXPECT_TRUE(im.At(5, 0) == ColourToPixel(0x00FF00) && im.At(0, 0) != im.At(5, 0));
  // 300 well-separated colours besides the key, asking for 255 or 256.
  const auto many = Make(64, 10, [](int x, int y) {
    if (x < 4) return Rgba{255, 0, 255, 255};
    const int i = (y * 60 + x - 4) / 2 % 300;
    auto level = [](int v5) { return uint8_t(v5 << 3 | v5 >> 2); };
    return Rgba{level(i % 10 * 3), level(i / 10 % 10 * 3), level(i / 100 * 10), 255};
  });
  for (auto [colours, dither] : {std::pair{255, false}, {256, false}, {256, true}}) {
    RoundTrip(many, {.key = true, .dither = dither, .colours = colours});
    k16tool::Picture pic;
    std::string error;
    ASSERT_TRUE(k16tool::ParseK16File(ReadBytes(Path("pic.K16")), "pic.K16", pic, error)) << error;
    for (int i = 0; i < 640; ++i)
      ASSERT_EQ(pic.index[size_t(i)] == kK16TransparentIndex, i % 64 < 4) << colours << " " << i;
  }
}

TEST_F(K16ToolTest, BadInputIsReportedWithTheFileName) {
  std::string error, text;
  WriteData("junk.png", "this is not a picture");
  for (const char* name : {"none.png", "junk.png"}) {
    EXPECT_FALSE(k16tool::EncodeFile(Path(name), Path("x.K16"), {}, error));
    EXPECT_NE(error.find(name), std::string::npos) << error;
  }
  RoundTrip(Make(7, 5,
                 [](int x, int y) {
                   return Rgba{uint8_t(x * 30), uint8_t(y * 50), 0, 255};
                 }),
            {});
  const std::string bytes = ReadText(Path("pic.K16"));
  EXPECT_EQ(bytes.size(), 540u + 8 * 5);
  WriteData("cut.K16", bytes.substr(0, bytes.size() - 10));
  WriteData("stub.K16", bytes.substr(0, 100));
  EXPECT_FALSE(k16tool::DescribeFile(Path("cut.K16"), text, error));
  EXPECT_NE(error.find("cut.K16: truncated"), std::string::npos) << error;
  for (const char* name : {"stub.K16", "missing.K16"}) {
    EXPECT_FALSE(k16tool::DecodeFile(Path(name), Path("o.png"), false, error));
    EXPECT_NE(error.find(name), std::string::npos) << error;
  }
  EXPECT_FALSE(std::filesystem::exists(Path("o.png")) || std::filesystem::exists(Path("x.K16")));
}

}  // namespace
