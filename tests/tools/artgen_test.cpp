#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "artgen/art_output.h"
#include "k16/k16_core.h"
#include "support/files.h"

namespace {

struct Drawn {
  bool ok = false;
  std::string error;
  artgen::Result result;
  toolpng::RgbaImage image;

  const uint8_t* At(int x, int y) const { return image.At(x, y); }
  bool IsKey(int x, int y) const { return Show({x, y}) == "key"; }
  // The pixels at the points (x, y, x, y...) as RRGGBB, or "key" for magenta.
  std::string Show(const std::vector<int>& xy) const {
    std::string out;
    for (size_t i = 0; i + 1 < xy.size(); i += 2) {
      const uint8_t* p = At(xy[i], xy[i + 1]);
      char hex[8];
      std::snprintf(hex, sizeof hex, "%02X%02X%02X", p[0], p[1], p[2]);
      out += (i ? " " : "") + (hex == std::string("FF00FF") ? "key" : std::string(hex));
    }
    return out;
  }
};

Drawn Draw(const std::string& recipe) {
  Drawn d;
  d.ok = artgen::RunRecipe(recipe, "test.art", d.result, d.error);
  if (d.ok) d.image = artgen::ToImage(d.result);
  EXPECT_TRUE(d.ok) << d.error;
  return d;
}

TEST(ArtgenParse, ErrorsNameTheRecipeAndLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"canvas 10 10\n\nfrobnicate 1 2\n", "3: unknown command 'frobnicate'"},
      {"// nothing\nrect 0 0 4 4 #FFFFFF\n", "2: rect: no canvas yet (start with 'canvas W H')"},
      {"canvas 10 10\nrect 0 0 four 4 #FFFFFF\n", "2: rect: 'four' is not a number"},
      {"canvas 10 10\ntext 0 0 \"open\n", "2: unterminated string"},
      {"canvas 10 10\nend\n", "2: end without region or repeat"},
      {"canvas 10 10\nrepeat 2\nrect 0 0 1 1 #000000\n", "2: repeat without end"},
      {"canvas 10 10\nrect 0 0 4 4 #FFFFFF radius=3\n", "2: rect: unknown option 'radius'"},
      {"canvas 10 10\nfill sky\n", "2: fill: unknown paint 'sky'"},
      {"canvas 10 10\nfill $sky\n", "2: unknown variable $sky"},
      // A quoted value carries blanks, quotes, backslashes and "$$" as "$":
      // what make_card.sh writes for any card name.
      {"canvas 10 10\nset name \"a \\\"b\\\" \\\\c $$d\"\nfill $name\n",
       "3: fill: unknown paint 'a \"b\" \\c $d'"},
      {"canvas 10 10\nfill #12345\n", "2: fill: '#12345' is not a colour (#RRGGBB or #RRGGBBAA)"},
      {"canvas 10 10\nrect 0 0 4 4\n", "2: rect: expected x y w h PAINT"},
      {"canvas 0 10\n", "1: canvas: size must be whole numbers from 1 to 4096"},
      {"canvas 10 10\ncanvas 10 10\n", "2: canvas: the canvas is already made"},
      {"canvas 10 10\npaint p linear 0 0 1 1 0:#000000 2:#FFFFFF\n",
       "2: paint: stop '2:#FFFFFF' is not POS:#COLOUR with POS from 0 to 1"},
      {"canvas 10 10\ntext 0 0 \"a\" font=comic\n",
       "2: text: font must be gothic or mincho, not 'comic'"},
      {"canvas 10 10\nrect 1e300 0 4 4 #FFFFFF\n", "2: rect: '1e300' is not a number"},
      {"canvas 10 10\nrect 0 0 4 4 #FFFFFF shadow=#000000 blur=1000\n",
       "2: rect: blur must be 0 to 64 and width 0 to 256"},
      {"canvas 10 10\ntext 0 0 \"a\" outline=#000000 ow=100\n",
       "2: text: ow must be 0 to 16, blur 0 to 64, sx and sy -64 to 64"},
      {"", "0: no canvas (start with 'canvas W H')"},
      {"canvas 100 50\nregion a 90 0 20 10\nend\n",
       "2: region a: 90,0 20x10 is not inside the 100x50 canvas"},
      {"canvas 100 50\nregion a 0 0 10 10\nend\nregion a 10 0 10 10\nend\n",
       "4: region a: already used at line 2 for another place"},
  };
  for (const auto& [recipe, error] : cases) {
    artgen::Result r;
    std::string got;
    EXPECT_FALSE(artgen::RunRecipe(recipe, "test.art", r, got)) << recipe;
    EXPECT_EQ(got, std::string("test.art:") + error);
  }
}

TEST(ArtgenDraw, ShapesRegionsRepeatsAndKeyCoverTheirAreas) {
  Drawn d = Draw(
      "canvas 100 60\n"
      "rect 10 10 20 10 #204080\n"
      "rect 0 30 20 10 #FFFFFF r=5\n"
      "ellipse 45 15 10 10 #FF8000\n"
      "region r 60 0 10 10\n"
      "  rect -50 -50 200 200 #FF0000\n"
      "  region inner 5 5 2 2\n"
      "    rect 0 0 9 9 #00FFFF\n"
      "  end\n"
      "end\n"
      "repeat 3 10 0\n"
      "  rect 50 52 4 4 #00FF00\n"
      "end\n"
      "rect 88 0 12 20 #FFFFFF\n"
      "key 90 0 10 20\n");
  // A rounded corner stays key, and so does the ellipse's box outside it; the
  // region clips; nested regions are placed from their parent.
  EXPECT_EQ(d.Show({15, 15, 9,  15, 30, 15, 0,  30, 10, 35, 45, 15, 36, 6,  65, 4,  70, 4,
                    65, 10, 66, 6,  67, 6,  52, 54, 62, 54, 72, 54, 82, 54, 95, 10, 89, 10}),
            "204080 key key key FFFFFF FF8000 key FF0000 key key 00FFFF FF0000 00FF00 00FF00 "
            "00FF00 key key FFFFFF");
  // An edge pixel is either key or the shape's own colour: never a blend with magenta.
  for (int x = 34; x < 57; ++x) EXPECT_TRUE(d.IsKey(x, 8) || d.Show({x, 8}) == "FF8000") << x;
  ASSERT_EQ(d.result.regions.size(), 2u);
  EXPECT_EQ(std::pair(d.result.regions[1].x, d.result.regions[1].y), std::pair(65, 5));
}

TEST(ArtgenDraw, GradientsStrokesShadowsBlendsAndSeeds) {
  Drawn d = Draw(
      "canvas 100 60 #FFFFFF\n"
      "paint g linear 0 0 100 0 0:#000000 1:#FFFFFF\n"
      "rect 0 0 100 5 g\n"
      "rect 10 10 20 20 none stroke=#000000 width=2\n"
      "rect 35 35 10 10 #0000FF shadow=#000000 blur=1 sx=4 sy=4\n"
      "rect 0 50 10 10 #808080 blend=multiply\n");
  // The outline, "none" leaving the inside, the shadow falling below and right.
  EXPECT_TRUE(d.At(1, 2)[0] < 8 && d.At(10, 20)[0] < 40 && d.At(47, 47)[0] < 200);
  EXPECT_NEAR(d.At(60, 2)[0], 155, 3);
  EXPECT_EQ(d.Show({20, 20, 20, 45, 40, 40}), "FFFFFF FFFFFF 0000FF");
  EXPECT_NEAR(d.At(5, 55)[0], 128, 2);
  const std::string recipe =
      "canvas 40 40 #808080\nnoise amount=0.2 scale=3\nrect 0~30 0~30 5 5 #102030~#F0E0D0\n";
  Drawn a = Draw("seed 5\n" + recipe), b = Draw("seed 5\n" + recipe), c = Draw("seed 6\n" + recipe);
  EXPECT_EQ(a.image.rgba, b.image.rgba);
  EXPECT_NE(a.image.rgba, c.image.rgba);
}

TEST(ArtgenDraw, TextIsAntiAliasedInTheBoxItIsGiven) {
  Drawn d = Draw("canvas 120 40 #000000\ntext 60 4 \"日本\" size=24 colour=#FFFFFF align=centre\n");
  int partial = 0, minX = 999, maxX = -1, minY = 999, maxY = -1;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x)
      if (const int v = d.At(x, y)[0]; v > 0) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
        partial += v < 255;
      }
  // Edges anti-aliased, centred on x, inside the box of two glyphs of 24.
  EXPECT_GT(partial, 10);
  EXPECT_NEAR((minX + maxX) / 2.0, 60, 3);
  EXPECT_TRUE(maxX - minX > 30 && maxX - minX < 52 && minY >= 4 && maxY < 30)
      << minX << "-" << maxX << ", " << minY << "-" << maxY;
  Drawn m = Draw(
      "canvas 120 40 #000000\ntext 60 4 \"日本\" size=24 colour=#FFFFFF align=centre "
      "font=mincho\n");
  EXPECT_NE(m.image.rgba, d.image.rgba) << "mincho is another face";
  Drawn o = Draw("canvas 60 40\ntext 30 8 \"8\" size=20 colour=#FFFFFF outline=#000000 ow=2\n");
  int dark = 0, white = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 60; ++x) {
      dark += !o.IsKey(x, y) && o.At(x, y)[0] < 60;
      white += !o.IsKey(x, y) && o.At(x, y)[0] > 200;
    }
  EXPECT_TRUE(dark > white / 2 && white > 10) << "the outline rings the glyph";
}

TEST(ArtgenOutput, TheKeyStaysExactAndNothingElseBecomesIt) {
  Drawn d = Draw("canvas 20 10\nrect 0 0 10 10 #FB02FC\n");
  EXPECT_FALSE(d.IsKey(5, 5));
  const ScopedTempDir scratch("artgen_test_");
  const auto& dir = scratch.path();
  std::string error;
  ASSERT_TRUE(
      artgen::WriteOutputs(d.result, (dir / "p.K16").string(), (dir / "p.png").string(), error))
      << error;
  k16tool::Picture pic;
  ASSERT_TRUE(k16tool::ParseK16File(ReadBytes(dir / "p.K16"), "p.K16", pic, error)) << error;
  EXPECT_EQ(std::tuple(pic.width, pic.index[5 * 20 + 15], pic.palette[255]),
            std::tuple(20, 255, 0x7C1F));
  EXPECT_NE(pic.palette[pic.index[5 * 20 + 5]], 0x7C1F);
  EXPECT_TRUE(std::filesystem::exists(dir / "p.png"));
  artgen::Result r;
  EXPECT_FALSE(artgen::RunRecipeFile((dir / "missing.art").string(), r, error));
  EXPECT_NE(error.find("missing.art: cannot read the recipe"), std::string::npos);
}

// The left 30 columns opaque red, the rest empty: at a quarter of the size
// each icon pixel averages 4 x 4 canvas pixels.
TEST(ArtgenIcon, ScalesASquareRecipeDownWithTrueAlpha) {
  Drawn d = Draw("canvas 64 64\nrect 0 0 30 64 #FF0000\nrect 0 0 2 2 #0000FF\n");
  toolpng::RgbaImage icon;
  std::string error;
  ASSERT_TRUE(artgen::IconImage(d.result, 16, icon, error)) << error;
  ASSERT_EQ(std::pair(icon.width, icon.height), std::pair(16, 16));
  EXPECT_EQ(std::pair(icon.At(4, 8)[3], icon.At(12, 8)[3]), std::pair(uint8_t{255}, uint8_t{0}));
  EXPECT_TRUE(std::abs(icon.At(4, 8)[0] - 255) <= 2 && icon.At(4, 8)[2] <= 2);
  // A corner quarter blue, three quarters red: mixed by area.
  EXPECT_TRUE(std::abs(icon.At(0, 0)[0] - 191) <= 3 && std::abs(icon.At(0, 0)[2] - 64) <= 3);
  // At 48 the edge falls inside pixel 22: coverage in between, colour without a dark fringe.
  ASSERT_TRUE(artgen::IconImage(d.result, 48, icon, error)) << error;
  const uint8_t* edge = icon.At(22, 20);
  EXPECT_TRUE(edge[3] > 0 && edge[3] < 255 && edge[0] >= 253)
      << int(edge[3]) << " " << int(edge[0]);
  // The size it is drawn at is the largest; the canvas must be square.
  EXPECT_TRUE(artgen::IconImage(d.result, 64, icon, error));
  EXPECT_FALSE(artgen::IconImage(d.result, 65, icon, error) ||
               artgen::IconImage(d.result, 0, icon, error) ||
               artgen::IconImage(Draw("canvas 64 32\n").result, 16, icon, error));
  EXPECT_NE(error.find("square"), std::string::npos);
}

}  // namespace
