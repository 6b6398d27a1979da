// The demo's built pictures against the places the game reads them from.
#include <gtest/gtest.h>

#include <filesystem>

#include "k16/k16_core.h"
#include "support/files.h"

namespace {

constexpr uint16_t kKey = 0x7C1F;  // magenta in 15 bits

struct Pic {
  k16tool::Picture p;
  uint16_t At(int x, int y) const {
    return p.palette[p.index[static_cast<size_t>(y) * p.width + x]];
  }
  bool Key(int x, int y) const { return At(x, y) == kKey; }
  // Counts of key and other pixels in a rectangle.
  std::pair<int, int> Count(int x, int y, int w, int h) const {
    int key = 0, other = 0;
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) (Key(i, j) ? key : other)++;
    return {key, other};
  }
};

std::filesystem::path DataDir() { return QF_DEMO_DATA_DIR; }

Pic Load(const std::string& name) {
  Pic pic;
  const auto path = DataDir() / (name + ".K16");
  const std::vector<uint8_t> bytes = ReadBytes(path);
  std::string error;
  EXPECT_TRUE(k16tool::ParseK16File(bytes, path.string(), pic.p, error)) << error;
  return pic;
}

int Channel(uint16_t p, int c) { return (p >> (10 - 5 * c)) & 31; }

class PartsSheet : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { sheet = new Pic(Load("source1")); }
  static void TearDownTestSuite() {
    delete sheet;
    sheet = nullptr;
  }
  static Pic* sheet;
  // A shadow is subtracted: no key in it, some darkening, never near black.
  void ExpectShadow(int x, int y, int w, int h, int darkX, int darkY) {
    int most = 0;
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) {
        ASSERT_FALSE(sheet->Key(i, j)) << i << "," << j;
        for (int c = 0; c < 3; ++c) most = std::max(most, Channel(sheet->At(i, j), c));
      }
    EXPECT_GT(most, 2) << "darkens";
    EXPECT_LE(most, 14) << "takes away less than half";
    for (int c = 0; c < 3; ++c)
      EXPECT_GT(Channel(sheet->At(darkX, darkY), c), 2) << darkX << "," << darkY;
  }
};
Pic* PartsSheet::sheet = nullptr;

TEST_F(PartsSheet, SizeAndUnusedAreasAreKey) {
  ASSERT_EQ(sheet->p.width, 850);
  ASSERT_EQ(sheet->p.height, 676);
  EXPECT_EQ(sheet->p.palette[255], kKey);
  EXPECT_EQ(sheet->Count(0, 420, 850, 256).second, 0) << "nothing below the used rows";
  EXPECT_EQ(sheet->Count(742, 304, 98, 64).second, 0);
}

TEST_F(PartsSheet, MessageWindowsAreRoundedOnKey) {
  for (int y0 : {0, 152}) {
    for (auto [x, y] : {std::pair{0, 0}, {419, 0}, {0, 151}, {419, 151}, {2, 2}, {417, 149}})
      EXPECT_TRUE(sheet->Key(x, y0 + y)) << x << "," << y0 + y;
    EXPECT_EQ(sheet->Count(20, y0 + 20, 380, 112).first, 0) << "the inside is solid";
    // Blended at half weight: a dark window keeps white text readable.
    const uint16_t mid = sheet->At(210, y0 + 100);
    for (int c = 0; c < 3; ++c) EXPECT_LT(Channel(mid, c), 12);
  }
}

TEST_F(PartsSheet, ShadowStripsDarkenWithoutKey) {
  ExpectShadow(420, 0, 420, 152, 630, 76);
  ExpectShadow(420, 152, 420, 152, 630, 228);
  ExpectShadow(840, 0, 10, 368, 840, 150);
  ExpectShadow(400, 368, 450, 10, 600, 368);
  ExpectShadow(840, 368, 10, 10, 840, 368);
}

TEST_F(PartsSheet, CopiedPiecesHaveNoKey) {
  // The frame of window 3 is copied without a key.
  EXPECT_EQ(sheet->Count(0, 304, 400, 7).first, 0);
  EXPECT_EQ(sheet->Count(0, 405, 400, 7).first, 0);
  EXPECT_EQ(sheet->Count(0, 311, 7, 94).first, 0);
  EXPECT_EQ(sheet->Count(393, 311, 7, 94).first, 0);
}

TEST_F(PartsSheet, DatePlateLeavesRoomForTheNumbers) {
  // Base: rounded, solid inside.
  EXPECT_TRUE(sheet->Key(400, 304));
  EXPECT_TRUE(sheet->Key(629, 335));
  EXPECT_EQ(sheet->Count(410, 310, 210, 20).first, 0);
  // Overlay: labels just after each number's right end (screen 75, 127,
  // 175 less the plate's x of 8), nothing where the digits go.
  for (int labelX : {69, 121, 169})
    EXPECT_GT(sheet->Count(400 + labelX, 336 + 4, 15, 20).second, 20) << labelX;
  EXPECT_EQ(sheet->Count(400 + 20, 336 + 4, 48, 20).second, 0) << "year digits";
  EXPECT_EQ(sheet->Count(400 + 96, 336 + 4, 24, 20).second, 0) << "month digits";
  EXPECT_EQ(sheet->Count(400 + 144, 336 + 4, 24, 20).second, 0) << "day digits";
  EXPECT_EQ(sheet->Count(400 + 184, 336 + 4, 36, 20).second, 0) << "weekday badge";
}

TEST_F(PartsSheet, StatusPiecesButtonsAndCursorsAreSprites) {
  struct R {
    int x, y, w, h;
  };
  for (R r : {R{400, 378, 44, 16}, R{444, 378, 22, 16}, R{466, 378, 22, 16}, R{488, 378, 11, 18},
              R{499, 378, 11, 18}}) {
    const auto [key, ink] = sheet->Count(r.x, r.y, r.w, r.h);
    EXPECT_GT(key, 0) << r.x;
    EXPECT_GT(ink, 8) << r.x;
  }
  // Buttons at screen 524, 562, 600 within the piece drawn at 524: each
  // 34 wide, key between them.
  for (int bx : {0, 38, 76}) EXPECT_LT(sheet->Count(630 + bx, 332 + 2, 34, 32).first, 40) << bx;
  for (int gap : {34, 72}) EXPECT_EQ(sheet->Count(630 + gap, 332, 4, 36).second, 0) << gap;
  EXPECT_EQ(sheet->Count(630 + 110, 332, 2, 36).second, 0);
  for (int cx : {630, 662, 694}) {
    for (int i = 0; i < 32; ++i) {
      EXPECT_TRUE(sheet->Key(cx + i, 304)) << cx;
      EXPECT_TRUE(sheet->Key(cx + i, 331)) << cx;
    }
    for (int j = 0; j < 28; ++j) {
      EXPECT_TRUE(sheet->Key(cx, 304 + j)) << cx;
      EXPECT_TRUE(sheet->Key(cx + 31, 304 + j)) << cx;
    }
    EXPECT_GT(sheet->Count(cx, 304, 32, 28).second, 100) << cx;
  }
}

TEST(NumberFonts, StripsOfTwelveGlyphsOnKey) {
  struct F {
    const char* name;
    int glyph, maxHeight, slots;
  };
  for (F f : {F{"numbig", 28, 48, 12}, F{"nummid", 12, 28, 12}, F{"numsmall", 9, 18, 12},
              F{"nummicro", 7, 12, 12}, F{"numWeekday", 36, 28, 7}}) {
    Pic pic = Load(f.name);
    ASSERT_EQ(pic.p.width, 12 * f.glyph) << f.name;
    ASSERT_LE(pic.p.height, f.maxHeight) << f.name;
    for (int s = 0; s < 12; ++s) {
      const int x = s * f.glyph, h = pic.p.height;
      EXPECT_TRUE(pic.Key(x, 0) && pic.Key(x + f.glyph - 1, 0) && pic.Key(x, h - 1) &&
                  pic.Key(x + f.glyph - 1, h - 1))
          << f.name << " slot " << s;
      const int ink = pic.Count(x, 0, f.glyph, h).second;
      if (s < f.slots)
        EXPECT_GT(ink, f.glyph) << f.name << " slot " << s;
      else
        EXPECT_EQ(ink, 0) << f.name << " slot " << s;
    }
  }
}

TEST(LayerPictures, SizesAndNoKeyWhereCopiedWhole) {
  int backs = 0, places = 0, faces = 0;
  for (const auto& e : std::filesystem::directory_iterator(DataDir())) {
    const std::string file = e.path().filename().string();
    if (e.path().extension() != ".K16") continue;
    const std::string name = e.path().stem().string();
    int w = 0, h = 0;
    if (name.rfind("bg_", 0) == 0)
      w = 640, h = 480, ++backs;
    else if (name.rfind("pl_", 0) == 0)
      w = 440, h = 300, ++places;
    else if (name.rfind("face_", 0) == 0)
      w = 134, h = 152, ++faces;
    else
      continue;
    Pic pic = Load(name);
    EXPECT_EQ(pic.p.width, w) << file;
    EXPECT_EQ(pic.p.height, h) << file;
    // Copied without a key (a face may be the right one, which is not keyed).
    EXPECT_EQ(pic.Count(0, 0, w, h).first, 0) << file;
  }
  EXPECT_GE(backs, 3);
  EXPECT_GE(places, 2);
  EXPECT_GE(faces, 3);
}

}  // namespace
