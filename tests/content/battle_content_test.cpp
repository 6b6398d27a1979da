// The battle's data as the build made it, against the places and sizes the
// battle reads: the sheet's regions, the table, the faces and the card
// pictures. That the files are there at all and the sounds are checked with the rest of the demo's
// pictures and music.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "data/database.h"
#include "k16/k16_core.h"
#include "support/files.h"

namespace {

constexpr uint16_t kKey = 0x7C1F;  // magenta in 15 bits

struct Rect {
  int x, y, w, h;
  bool Has(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

struct Pic {
  k16tool::Picture p;
  uint16_t At(int x, int y) const {
    return p.palette[p.index[static_cast<size_t>(y) * p.width + x]];
  }
  bool Key(int x, int y) const { return At(x, y) == kKey; }
  int Keys(Rect r) const {
    int key = 0;
    for (int j = r.y; j < r.y + r.h; ++j)
      for (int i = r.x; i < r.x + r.w; ++i) key += Key(i, j);
    return key;
  }
};

std::filesystem::path DataDir() { return QF_DEMO_DATA_DIR; }

// Loads a data file by the exact relative name the battle uses.
Pic Load(const std::string& file) {
  Pic pic;
  const auto path = DataDir() / file;
  std::string error;
  EXPECT_TRUE(k16tool::ParseK16File(ReadBytes(path), path.string(), pic.p, error)) << error;
  return pic;
}

// Every piece the battle takes from the sheet; sprites stand on the key at
// their corners, so that they sit on the table.
enum Kind { kWhole, kSprite, kIcon };
struct Piece {
  const char* name;
  Rect r;
  Kind kind;
};
const Piece kPieces[] = {
    {"player's card back", {0, 0, 100, 138}, kWhole},
    {"opponent's card back", {0, 138, 100, 138}, kWhole},
    {"player's face frame", {700, 0, 100, 138}, kWhole},
    {"opponent's face frame", {700, 138, 100, 138}, kWhole},
    {"player's marker", {0, 276, 62, 62}, kSprite},
    {"opponent's marker", {62, 276, 62, 62}, kSprite},
    {"turn label", {124, 276, 165, 61}, kSprite},
    {"decide label", {500, 276, 62, 53}, kSprite},
    {"arrow up", {562, 276, 28, 26}, kIcon},
    {"arrow down", {562, 302, 28, 26}, kIcon},
    {"poison", {600, 276, 28, 28}, kSprite},
    {"curse", {628, 276, 28, 28}, kSprite},
    {"barrier", {600, 304, 21, 25}, kIcon},
    {"field", {621, 304, 20, 25}, kIcon},
    {"poison guard", {600, 329, 28, 28}, kIcon},
    {"curse guard", {628, 329, 28, 28}, kIcon},
    {"win", {0, 338, 158, 60}, kSprite},
    {"loss", {158, 338, 202, 60}, kSprite},
    {"draw", {360, 338, 224, 60}, kSprite},
};

TEST(BattleSheet, EveryPieceInItsPlaceAndNothingOutsideThem) {
  const Pic sheet = Load("source2.K16");
  ASSERT_EQ(sheet.p.width, 800);
  ASSERT_EQ(sheet.p.height, 400);
  for (const Piece& piece : kPieces) {
    const Rect r = piece.r;
    // Backs and frames are whole; every piece has ink.
    EXPECT_LT(sheet.Keys(r), piece.kind == kWhole ? 1 : r.w * r.h * 7 / 8) << piece.name;
    if (piece.kind == kSprite) {
      EXPECT_TRUE(sheet.Key(r.x, r.y) && sheet.Key(r.x + r.w - 1, r.y) &&
                  sheet.Key(r.x, r.y + r.h - 1) && sheet.Key(r.x + r.w - 1, r.y + r.h - 1))
          << piece.name;
    }
  }
  int stray = 0;
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 800; ++x) {
      bool inside = false;
      for (const Piece& piece : kPieces) inside = inside || piece.r.Has(x, y);
      stray += !inside && !sheet.Key(x, y);
    }
  EXPECT_EQ(stray, 0) << "hand pictures, the turn number and rows 400 on are filled at run time";
}

// The sizes the battle draws them at, whole: the table, the faces (the
// player's asked for with a lower-case extension) and both sizes of every
// card, which are zoomed and shown without a key.
TEST(BattlePictures, TheTableTheFacesAndTheBigCardsInTheirSizesWithoutKey) {
  std::vector<std::tuple<std::string, int, int>> pictures = {{"battleback1.K16", 640, 622},
                                                             {"fg/tavrin.k16", 134, 152},
                                                             {"fg/b_kaito.K16", 134, 152},
                                                             {"fg/b_luna.K16", 134, 152},
                                                             {"fg/b_sage.K16", 134, 152}};
  for (int n = 1; n <= kCardCount; ++n) {
    pictures.push_back({"cards/cards" + std::to_string(n) + ".K16", 100, 138});
    pictures.push_back({"cardl/cardl" + std::to_string(n) + ".K16", 300, 414});
  }
  for (const auto& [file, w, h] : pictures) {
    const Pic pic = Load(file);
    ASSERT_EQ(pic.p.width, w) << file;
    ASSERT_EQ(pic.p.height, h) << file;
    EXPECT_EQ(pic.Keys({0, 0, w, h}), 0) << file << ": copied or zoomed without a key";
  }
}

}  // namespace
