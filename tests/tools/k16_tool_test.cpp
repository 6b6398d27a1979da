#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "common/png_io.h"
#include "graphics/blit.h"
#include "graphics/image.h"
#include "graphics/k16.h"
#include "k16/k16_core.h"
#include "support/files.h"
#include "support/game_fixture.h"

namespace {

class K16ToolTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    MakeHost();
  }
  std::string Path(const std::string& name) const { return (dataDir / name).string(); }
  void Png(const std::string& name, const toolpng::RgbaImage& img) {
    std::string error;
    ASSERT_TRUE(toolpng::WritePng(Path(name), img, true, error)) << error;
  }
  static toolpng::RgbaImage Make(int w, int h,
                                 const std::function<std::array<uint8_t, 4>(int, int)>& f) {
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
  static toolpng::RgbaImage Smooth(const toolpng::RgbaImage& a) {
    toolpng::RgbaImage out = a;
    for (int y = 1; y + 1 < a.height; ++y)
      for (int x = 1; x + 1 < a.width; ++x)
        for (int c = 0; c < 3; ++c) {
          int sum = 0;
          for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) sum += a.At(x + dx, y + dy)[c];
          out.At(x, y)[c] = uint8_t(sum / 9);
        }
    return out;
  }
  // Mean absolute channel error and the largest one.
  static std::pair<double, int> Error(const toolpng::RgbaImage& a, const toolpng::RgbaImage& b) {
    double sum = 0;
    int worst = 0;
    for (int y = 0; y < a.height; ++y)
      for (int x = 0; x < a.width; ++x)
        for (int c = 0; c < 3; ++c) {
          const int e = std::abs(a.At(x, y)[c] - b.At(x, y)[c]);
          sum += e;
          worst = std::max(worst, e);
        }
    return {sum / (3.0 * a.width * a.height), worst};
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

TEST_F(K16ToolTest, FewColoursRoundTripThroughTheGameWithinFifteenBitError) {
  // 240 distinct colours: the palette holds them all, only the 15-bit
  // rounding remains.
  const auto original = Make(60, 44, [](int x, int y) {
    const int i = (x / 4) % 15, j = (y / 3) % 16;
    return std::array<uint8_t, 4>{uint8_t(i * 17 + 3), uint8_t(j * 16 + 5),
                                  uint8_t((i * 37 + j * 11) % 256), 255};
  });
  Png("in.png", original);
  std::string error;
  ASSERT_TRUE(k16tool::EncodeFile(Path("in.png"), Path("pic.K16"), {}, error)) << error;

  Image im;
  ASSERT_EQ(LoadK16(im, "pic.K16"), 1);
  ASSERT_EQ(im.width, 60);
  ASSERT_EQ(im.height, 44);
  for (int y = 0; y < 44; ++y)
    for (int x = 0; x < 60; ++x) {
      const uint8_t* p = original.At(x, y);
      ASSERT_EQ(im.At(x, y), k16tool::RgbToPixel(p[0], p[1], p[2])) << x << "," << y;
    }

  ASSERT_TRUE(k16tool::DecodeFile(Path("pic.K16"), Path("out.png"), false, error)) << error;
  toolpng::RgbaImage decoded;
  ASSERT_TRUE(toolpng::ReadPng(Path("out.png"), decoded, error)) << error;
  ASSERT_EQ(decoded.width, 60);
  EXPECT_LE(Error(original, decoded).second, 5);  // half a 5-bit step and the expansion
  std::string info;
  ASSERT_TRUE(k16tool::DescribeFile(Path("pic.K16"), info, error)) << error;
  EXPECT_NE(info.find("60 x 44"), std::string::npos) << info;
  std::set<uint16_t> distinct;
  for (int y = 0; y < 44; ++y)
    for (int x = 0; x < 60; ++x) distinct.insert(im.At(x, y));
  EXPECT_NE(info.find(std::to_string(distinct.size()) + " of 256"), std::string::npos) << info;
}

TEST_F(K16ToolTest, GradientsAndPhotosKeepTheirLook) {
  // A smooth picture with thousands of colours: hue sweep, brightness ramp
  // and a soft highlight.
  const auto photo = Make(160, 120, [](int x, int y) {
    const double h = x / 160.0 * 6.283, v = 0.25 + 0.75 * y / 119.0;
    const double spot = std::exp(-((x - 110) * (x - 110) + (y - 40) * (y - 40)) / 600.0);
    auto ch = [&](double phase) {
      return uint8_t(std::clamp(255 * (v * (0.5 + 0.5 * std::sin(h + phase)) * (1 - spot) + spot),
                                0.0, 255.0));
    };
    return std::array<uint8_t, 4>{ch(0), ch(2.094), ch(4.189), 255};
  });
  Png("photo.png", photo);
  std::string error;
  // The naive way to 256 colours: 3 bits of red and green, 2 of blue.
  toolpng::RgbaImage naive = photo;
  for (size_t i = 0; i < naive.rgba.size(); i += 4) {
    naive.rgba[i] = uint8_t((naive.rgba[i] >> 5) * 36 + 18);
    naive.rgba[i + 1] = uint8_t((naive.rgba[i + 1] >> 5) * 36 + 18);
    naive.rgba[i + 2] = uint8_t((naive.rgba[i + 2] >> 6) * 85);
  }
  const double naiveMean = Error(photo, naive).first,
               naiveSmooth = Error(Smooth(photo), Smooth(naive)).first;
  double plainSmooth = 0;
  for (bool dither : {false, true}) {
    k16tool::EncodeOptions o;
    o.dither = dither;
    ASSERT_TRUE(k16tool::EncodeFile(Path("photo.png"), Path("photo.K16"), o, error)) << error;
    ASSERT_TRUE(k16tool::DecodeFile(Path("photo.K16"), Path("back.png"), false, error)) << error;
    toolpng::RgbaImage back;
    ASSERT_TRUE(toolpng::ReadPng(Path("back.png"), back, error)) << error;
    const auto [mean, worst] = Error(photo, back);
    // What the eye sees from a step back: the 3 x 3 average.
    const double smooth = Error(Smooth(photo), Smooth(back)).first;
    EXPECT_LT(smooth, naiveSmooth / 3);
    if (!dither) {
      EXPECT_LT(mean, naiveMean / 2);
      EXPECT_LT(worst, 64);
      plainSmooth = smooth;
    } else {
      EXPECT_LT(smooth, plainSmooth);  // dithering pays off on gradients
    }
  }
}

TEST_F(K16ToolTest, KeyColourBecomesIndex255AndNothingElseLooksLikeIt) {
  const auto sheet = Make(20, 10, [](int x, int y) {
    if (x < 5) return std::array<uint8_t, 4>{255, 0, 255, 255};  // key colour
    if (x < 8)
      return std::array<uint8_t, 4>{10, 200, 30, uint8_t(y < 5 ? 0 : 255)};  // transparent half
    if (x < 12) return std::array<uint8_t, 4>{250, 2, 252, 255};             // nearly magenta
    return std::array<uint8_t, 4>{uint8_t(x * 10), uint8_t(y * 20), 90, 255};
  });
  Png("sheet.png", sheet);
  std::string error;
  k16tool::EncodeOptions o;
  o.key = true;
  ASSERT_TRUE(k16tool::EncodeFile(Path("sheet.png"), Path("sheet.K16"), o, error)) << error;

  Image im;
  ASSERT_EQ(LoadK16(im, "sheet.K16"), 1);
  const uint16_t magenta = ColourToPixel(kMagenta);
  EXPECT_EQ(im.At(0, 0), magenta);  // palette 255 holds the key colour
  EXPECT_EQ(im.At(5, 0), magenta);
  EXPECT_NE(im.At(5, 9), magenta);
  EXPECT_NE(im.At(9, 3), magenta);
  // Drawn with the keyed loader or as a keyed sprite, the same pixels stay.
  Image dst;
  dst.Create(20, 10);
  FillImageRect(dst, 0, 0, 20, 10, 0);
  ASSERT_EQ(LoadK16RectKeyed(dst, "sheet.K16", 0, 0, 20, 10, 0, 0), 1);
  Image viaSprite;
  viaSprite.Create(20, 10);
  FillImageRect(viaSprite, 0, 0, 20, 10, 0);
  CopyKeyed(viaSprite, 0, 0, 20, 10, im, 0, 0, kMagenta);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool skipped = x < 5 || (x < 8 && y < 5);
      ASSERT_EQ(dst.At(x, y) == 0, skipped) << x << "," << y;
      ASSERT_EQ(viaSprite.At(x, y), dst.At(x, y)) << x << "," << y;
    }

  // Another key colour.
  o.keyRgb = 0x00FF00;
  ASSERT_TRUE(k16tool::EncodeFile(Path("sheet.png"), Path("green.K16"), o, error)) << error;
  ASSERT_EQ(LoadK16(im, "green.K16"), 1);
  EXPECT_EQ(im.At(5, 0), ColourToPixel(0x00FF00));
  EXPECT_NE(im.At(0, 0), ColourToPixel(0x00FF00));
}

TEST_F(K16ToolTest, AKeyedPictureOfManyColoursLeavesIndex255ToTheKey) {
  // 256 and 300 well-separated colours besides the key: more than the 255
  // entries left beside it. Asking for all 256 colours cannot take the key's
  // index either.
  for (int count : {256, 300}) {
    const auto sheet = Make(64, 10, [count](int x, int y) {
      if (x < 4) return std::array<uint8_t, 4>{255, 0, 255, 255};
      const int i = (y * 60 + x - 4) / 2 % count;
      auto level = [](int v5) { return uint8_t(v5 << 3 | v5 >> 2); };
      return std::array<uint8_t, 4>{level(i % 10 * 3), level(i / 10 % 10 * 3), level(i / 100 * 10),
                                    255};
    });
    Png("many.png", sheet);
    for (auto [colours, dither] : {std::pair{255, false}, {255, true}, {256, false}, {256, true}}) {
      k16tool::EncodeOptions o;
      o.key = true;
      o.colours = colours;
      o.dither = dither;
      std::string error;
      ASSERT_TRUE(k16tool::EncodeFile(Path("many.png"), Path("many.K16"), o, error)) << error;
      const std::vector<uint8_t> bytes = ReadBytes(Path("many.K16"));
      k16tool::Picture pic;
      ASSERT_TRUE(k16tool::ParseK16File(bytes, "many.K16", pic, error)) << error;
      for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 64; ++x)
          ASSERT_EQ(pic.index[static_cast<size_t>(y) * 64 + x] == kK16TransparentIndex, x < 4)
              << count << " colours, " << colours << (dither ? " dithered, " : ", ") << x << ","
              << y;
    }
  }
}

TEST_F(K16ToolTest, BadInputIsReportedWithTheFileName) {
  std::string error;
  EXPECT_FALSE(k16tool::EncodeFile(Path("none.png"), Path("x.K16"), {}, error));
  EXPECT_NE(error.find("none.png"), std::string::npos) << error;
  WriteData("junk.png", "this is not a picture");
  EXPECT_FALSE(k16tool::EncodeFile(Path("junk.png"), Path("x.K16"), {}, error));
  EXPECT_NE(error.find("junk.png"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(Path("x.K16")));

  const auto img = Make(7, 5, [](int x, int y) {
    return std::array<uint8_t, 4>{uint8_t(x * 30), uint8_t(y * 50), 0, 255};
  });
  Png("small.png", img);
  ASSERT_TRUE(k16tool::EncodeFile(Path("small.png"), Path("small.K16"), {}, error)) << error;
  const std::string bytes = ReadText(Path("small.K16"));
  EXPECT_EQ(bytes.size(), 540u + 8 * 5);
  WriteData("cut.K16", bytes.substr(0, bytes.size() - 10));
  WriteData("stub.K16", bytes.substr(0, 100));
  std::string text;
  EXPECT_FALSE(k16tool::DescribeFile(Path("cut.K16"), text, error));
  EXPECT_NE(error.find("cut.K16"), std::string::npos);
  EXPECT_NE(error.find("truncated"), std::string::npos) << error;
  EXPECT_FALSE(k16tool::DecodeFile(Path("stub.K16"), Path("o.png"), false, error));
  EXPECT_NE(error.find("stub.K16"), std::string::npos) << error;
  EXPECT_FALSE(k16tool::DecodeFile(Path("missing.K16"), Path("o.png"), false, error));
  EXPECT_NE(error.find("missing.K16"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(Path("o.png")));
}

}  // namespace
