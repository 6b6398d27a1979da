#include <gtest/gtest.h>

#include <filesystem>

#include "artgen/artgen.h"
#include "k16/k16_core.h"
#include "support/files.h"

namespace {

struct Drawn {
  bool ok = false;
  std::string error;
  artgen::Result result;
  toolpng::RgbaImage image;

  const uint8_t* At(int x, int y) const { return image.At(x, y); }
  bool IsKey(int x, int y) const {
    const uint8_t* p = At(x, y);
    return p[0] == 255 && p[1] == 0 && p[2] == 255;
  }
};

Drawn Draw(const std::string& recipe) {
  Drawn d;
  d.ok = artgen::RunRecipe(recipe, "test.art", d.result, d.error);
  if (d.ok) d.image = artgen::ToImage(d.result);
  return d;
}

std::string ErrorOf(const std::string& recipe) {
  Drawn d = Draw(recipe);
  EXPECT_FALSE(d.ok) << recipe;
  return d.error;
}

bool Near(const uint8_t* p, int r, int g, int b, int tol = 2) {
  return std::abs(p[0] - r) <= tol && std::abs(p[1] - g) <= tol && std::abs(p[2] - b) <= tol;
}

TEST(ArtgenParse, ErrorsNameTheRecipeAndLine) {
  EXPECT_EQ(ErrorOf("canvas 10 10\n\nfrobnicate 1 2\n"),
            "test.art:3: unknown command 'frobnicate'");
  EXPECT_EQ(ErrorOf("// nothing\nrect 0 0 4 4 #FFFFFF\n"),
            "test.art:2: rect: no canvas yet (start with 'canvas W H')");
  EXPECT_EQ(ErrorOf("canvas 10 10\nrect 0 0 four 4 #FFFFFF\n"),
            "test.art:2: rect: 'four' is not a number");
  EXPECT_EQ(ErrorOf("canvas 10 10\ntext 0 0 \"open\n"), "test.art:2: unterminated string");
  EXPECT_EQ(ErrorOf("canvas 10 10\nend\n"), "test.art:2: end without region or repeat");
  EXPECT_EQ(ErrorOf("canvas 10 10\nrepeat 2\nrect 0 0 1 1 #000000\n"),
            "test.art:2: repeat without end");
  EXPECT_EQ(ErrorOf("canvas 10 10\nrect 0 0 4 4 #FFFFFF radius=3\n"),
            "test.art:2: rect: unknown option 'radius'");
  EXPECT_EQ(ErrorOf("canvas 10 10\nfill sky\n"), "test.art:2: fill: unknown paint 'sky'");
  EXPECT_EQ(ErrorOf("canvas 10 10\nfill $sky\n"), "test.art:2: unknown variable $sky");
  EXPECT_EQ(ErrorOf("canvas 10 10\nfill #12345\n"),
            "test.art:2: fill: '#12345' is not a colour (#RRGGBB or #RRGGBBAA)");
  EXPECT_EQ(ErrorOf("canvas 10 10\nrect 0 0 4 4\n"), "test.art:2: rect: expected x y w h PAINT");
  EXPECT_EQ(ErrorOf("canvas 0 10\n"),
            "test.art:1: canvas: size must be whole numbers from 1 to 4096");
  EXPECT_EQ(ErrorOf("canvas 10 10\ncanvas 10 10\n"),
            "test.art:2: canvas: the canvas is already made");
  EXPECT_EQ(ErrorOf("canvas 10 10\npaint p linear 0 0 1 1 0:#000000 2:#FFFFFF\n"),
            "test.art:2: paint: stop '2:#FFFFFF' is not POS:#COLOUR with POS from 0 to 1");
  EXPECT_EQ(ErrorOf("canvas 10 10\ntext 0 0 \"a\" font=comic\n"),
            "test.art:2: text: font must be gothic or mincho, not 'comic'");
  EXPECT_EQ(ErrorOf("canvas 10 10\nrect 1e300 0 4 4 #FFFFFF\n"),
            "test.art:2: rect: '1e300' is not a number");
  EXPECT_EQ(ErrorOf("canvas 10 10\nrect 0 0 4 4 #FFFFFF shadow=#000000 blur=1000\n"),
            "test.art:2: rect: blur must be 0 to 64 and width 0 to 256");
  EXPECT_EQ(ErrorOf("canvas 10 10\ntext 0 0 \"a\" outline=#000000 ow=100\n"),
            "test.art:2: text: ow must be 0 to 16, blur 0 to 64, sx and sy -64 to 64");
  EXPECT_EQ(ErrorOf(""), "test.art:0: no canvas (start with 'canvas W H')");
}

TEST(ArtgenParse, RegionsLieInsideTheCanvasAndKeepTheirPlace) {
  EXPECT_EQ(ErrorOf("canvas 100 50\nregion a 90 0 20 10\nend\n"),
            "test.art:2: region a: 90,0 20x10 is not inside the 100x50 canvas");
  EXPECT_EQ(ErrorOf("canvas 100 50\nregion a 0 0 10 10\nend\nregion a 10 0 10 10\nend\n"),
            "test.art:4: region a: already used at line 2 for another place");
  Drawn d = Draw("canvas 100 50\nregion outer 10 5 50 40\n  region inner 5 5 10 10\n  end\nend\n");
  ASSERT_TRUE(d.ok) << d.error;
  ASSERT_EQ(d.result.regions.size(), 2u);
  EXPECT_EQ(d.result.regions[1].name, "inner");
  EXPECT_EQ(d.result.regions[1].x, 15);  // nested regions are placed from their parent
  EXPECT_EQ(d.result.regions[1].y, 10);
}

TEST(ArtgenDraw, ShapesCoverTheirAreaAndLeaveKeyAround) {
  Drawn d = Draw(
      "canvas 60 40\n"
      "rect 10 10 20 10 #204080\n"
      "rect 0 30 20 10 #FFFFFF r=5\n"
      "ellipse 45 15 10 10 #FF8000\n");
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_TRUE(Near(d.At(15, 15), 0x20, 0x40, 0x80, 0));
  EXPECT_TRUE(d.IsKey(9, 15));
  EXPECT_TRUE(d.IsKey(30, 15));
  EXPECT_TRUE(d.IsKey(0, 30)) << "a rounded corner stays key";
  EXPECT_TRUE(Near(d.At(10, 35), 255, 255, 255, 0));
  EXPECT_TRUE(Near(d.At(45, 15), 255, 128, 0, 0));
  EXPECT_TRUE(d.IsKey(36, 6)) << "outside the ellipse, inside its box";
  // An edge pixel is either key or the shape's own colour: never a blend with magenta.
  for (int x = 34; x < 57; ++x) {
    const uint8_t* p = d.At(x, 15 - 7);
    EXPECT_TRUE(d.IsKey(x, 8) || Near(p, 255, 128, 0, 0)) << x;
  }
}

TEST(ArtgenDraw, GradientsRegionsRepeatAndKey) {
  Drawn d = Draw(
      "canvas 100 20\n"
      "paint g linear 0 0 100 0 0:#000000 1:#FFFFFF\n"
      "fill g\n"
      "region r 20 0 10 10\n"
      "  rect -50 -50 200 200 #FF0000\n"
      "end\n"
      "repeat 3 10 0\n"
      "  rect 50 12 4 4 #00FF00\n"
      "end\n"
      "key 90 0 10 20\n");
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_LT(d.At(1, 15)[0], 8);
  EXPECT_NEAR(d.At(60, 10)[0], 155, 3);
  EXPECT_TRUE(Near(d.At(25, 5), 255, 0, 0, 0));
  EXPECT_FALSE(Near(d.At(31, 5), 255, 0, 0, 0)) << "the region clips";
  EXPECT_FALSE(Near(d.At(25, 11), 255, 0, 0, 0));
  for (int k = 0; k < 3; ++k) EXPECT_TRUE(Near(d.At(52 + 10 * k, 14), 0, 255, 0, 0)) << k;
  EXPECT_FALSE(Near(d.At(82, 14), 0, 255, 0, 0));
  EXPECT_TRUE(d.IsKey(95, 10));
}

TEST(ArtgenDraw, StrokesShadowsAndBlends) {
  Drawn d = Draw(
      "canvas 60 60 #FFFFFF\n"
      "rect 10 10 20 20 none stroke=#000000 width=2\n"
      "rect 35 35 10 10 #0000FF shadow=#000000 blur=1 sx=4 sy=4\n"
      "rect 0 50 10 10 #808080 blend=multiply\n");
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_LT(d.At(10, 20)[0], 40) << "on the outline";
  EXPECT_TRUE(Near(d.At(20, 20), 255, 255, 255, 0)) << "none leaves the inside";
  EXPECT_LT(d.At(47, 47)[0], 200) << "the shadow falls below and right";
  EXPECT_TRUE(Near(d.At(20, 45), 255, 255, 255, 0));
  EXPECT_TRUE(Near(d.At(40, 40), 0, 0, 255, 0));
  EXPECT_NEAR(d.At(5, 55)[0], 128, 2);
}

TEST(ArtgenDraw, RandomValuesAndNoiseFollowTheSeed) {
  const std::string recipe =
      "canvas 40 40 #808080\nnoise amount=0.2 scale=3\nrect 0~30 0~30 5 5 #102030~#F0E0D0\n";
  Drawn a = Draw("seed 5\n" + recipe), b = Draw("seed 5\n" + recipe), c = Draw("seed 6\n" + recipe);
  ASSERT_TRUE(a.ok && b.ok && c.ok) << a.error;
  EXPECT_EQ(a.image.rgba, b.image.rgba);
  EXPECT_NE(a.image.rgba, c.image.rgba);
  int darker = 0, lighter = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      darker += a.At(x, y)[1] < 0x70;
      lighter += a.At(x, y)[1] > 0x90;
    }
  EXPECT_GT(darker, 0);
  EXPECT_GT(lighter, 0);
}

TEST(ArtgenDraw, TextIsAntiAliasedInTheBoxItIsGiven) {
  Drawn d = Draw(
      "canvas 120 40 #000000\n"
      "text 60 4 \"日本\" size=24 colour=#FFFFFF align=centre\n");
  ASSERT_TRUE(d.ok) << d.error;
  int ink = 0, partial = 0, minX = 999, maxX = -1;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) {
      const int v = d.At(x, y)[0];
      if (v > 0) {
        ++ink;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        partial += v < 255;
        EXPECT_GE(y, 4);
        EXPECT_LT(y, 30);
      }
    }
  EXPECT_GT(ink, 100);
  EXPECT_GT(partial, 10) << "edges are anti-aliased";
  EXPECT_NEAR((minX + maxX) / 2.0, 60, 3) << "centred on x";
  EXPECT_GT(minX, 60 - 26);
  EXPECT_LT(maxX, 60 + 26);

  Drawn m = Draw(
      "canvas 120 40 #000000\ntext 60 4 \"日本\" size=24 colour=#FFFFFF align=centre "
      "font=mincho\n");
  ASSERT_TRUE(m.ok) << m.error;
  EXPECT_NE(m.image.rgba, d.image.rgba) << "mincho is another face";

  Drawn o = Draw(
      "canvas 60 40\ntext 30 8 \"8\" size=20 colour=#FFFFFF outline=#000000 ow=2 align=centre\n");
  ASSERT_TRUE(o.ok) << o.error;
  int dark = 0, white = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 60; ++x) {
      if (o.IsKey(x, y)) continue;
      dark += o.At(x, y)[0] < 60;
      white += o.At(x, y)[0] > 200;
    }
  EXPECT_GT(dark, white / 2) << "the outline rings the glyph";
  EXPECT_GT(white, 10);
  EXPECT_TRUE(o.IsKey(0, 0));
}

TEST(ArtgenOutput, TheKeyStaysExactAndNothingElseBecomesIt) {
  Drawn d = Draw("canvas 20 10\nrect 0 0 10 10 #FB02FC\n");
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_FALSE(d.IsKey(5, 5));
  EXPECT_TRUE(d.IsKey(15, 5));
  const ScopedTempDir scratch("artgen_test_");
  const auto& dir = scratch.path();
  std::string error;
  ASSERT_TRUE(
      artgen::WriteOutputs(d.result, (dir / "p.K16").string(), (dir / "p.png").string(), error))
      << error;
  const std::vector<uint8_t> bytes = ReadBytes(dir / "p.K16");
  k16tool::Picture pic;
  ASSERT_TRUE(k16tool::ParseK16File(bytes, "p.K16", pic, error)) << error;
  EXPECT_EQ(pic.width, 20);
  EXPECT_EQ(pic.index[5 * 20 + 15], 255);
  EXPECT_EQ(pic.palette[255], 0x7C1F);
  EXPECT_NE(pic.palette[pic.index[5 * 20 + 5]], 0x7C1F);
  EXPECT_TRUE(std::filesystem::exists(dir / "p.png"));

  artgen::Result r;
  EXPECT_FALSE(artgen::RunRecipeFile((dir / "missing.art").string(), r, error));
  EXPECT_NE(error.find("missing.art: cannot read the recipe"), std::string::npos);
}

TEST(ArtgenIcon, ScalesASquareRecipeDownWithTrueAlpha) {
  // The left 30 columns opaque red, the rest empty: at a quarter of the size
  // each icon pixel averages 4 x 4 canvas pixels.
  Drawn d = Draw("canvas 64 64\nrect 0 0 30 64 #FF0000\nrect 0 0 2 2 #0000FF\n");
  ASSERT_TRUE(d.ok) << d.error;
  toolpng::RgbaImage icon;
  std::string error;
  ASSERT_TRUE(artgen::IconImage(d.result, 16, icon, error)) << error;
  ASSERT_EQ(icon.width, 16);
  ASSERT_EQ(icon.height, 16);
  EXPECT_EQ(icon.At(4, 8)[3], 255);
  EXPECT_TRUE(Near(icon.At(4, 8), 255, 0, 0));
  EXPECT_EQ(icon.At(12, 8)[3], 0);  // empty stays transparent, not key magenta
  // A corner quarter blue, three quarters red: mixed by area.
  EXPECT_TRUE(Near(icon.At(0, 0), 191, 0, 64, 3));
  // At 48 the edge falls inside pixel 22: coverage in between.
  ASSERT_TRUE(artgen::IconImage(d.result, 48, icon, error)) << error;
  EXPECT_EQ(icon.At(10, 20)[3], 255);
  EXPECT_EQ(icon.At(40, 20)[3], 0);
  const int edge = icon.At(22, 20)[3];
  EXPECT_GT(edge, 0);
  EXPECT_LT(edge, 255);
  EXPECT_TRUE(Near(icon.At(22, 20), 255, 0, 0));  // colour without a dark fringe
  // The size it is drawn at is the largest; the canvas must be square.
  ASSERT_TRUE(artgen::IconImage(d.result, 64, icon, error)) << error;
  EXPECT_FALSE(artgen::IconImage(d.result, 65, icon, error));
  EXPECT_FALSE(artgen::IconImage(d.result, 0, icon, error));
  Drawn wide = Draw("canvas 64 32\n");
  ASSERT_TRUE(wide.ok) << wide.error;
  EXPECT_FALSE(artgen::IconImage(wide.result, 16, icon, error));
  EXPECT_NE(error.find("square"), std::string::npos);
}

}  // namespace
