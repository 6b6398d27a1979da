// The demo's pictures as a player meets them: every picture a scene, a
// battle or a card names is there, has the size it is drawn at and shows no
// colour key where it is copied or zoomed whole, the player's battle face is
// the heroine's, and the battle's sheet has every piece in the place the
// battle takes it from.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <tuple>

#include "data/database.h"
#include "k16/k16_core.h"
#include "support/files.h"

namespace {

constexpr uint16_t kKey = 0x7C1F;  // magenta in 15 bits
const std::filesystem::path kData = QF_DEMO_DATA_DIR;

struct Rect {
  int x, y, w, h;
  bool Has(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

struct Pic {
  k16tool::Picture p;
  bool Key(int x, int y) const {
    return p.palette[p.index[static_cast<size_t>(y) * p.width + x]] == kKey;
  }
  int Keys(Rect r) const {
    int key = 0;
    for (int j = r.y; j < r.y + r.h; ++j)
      for (int i = r.x; i < r.x + r.w; ++i) key += Key(i, j);
    return key;
  }
};

// Loads a picture by the exact relative name the game uses.
Pic Load(const std::string& file) {
  Pic pic;
  std::string error;
  EXPECT_TRUE(k16tool::ParseK16File(ReadBytes(kData / file), file, pic.p, error)) << error;
  return pic;
}

// Checks one picture: w x h (0: any), and no key pixel if it is keyless.
void ExpectPicture(const std::string& file, int w, int h, bool keyless) {
  const Pic pic = Load(file);
  EXPECT_EQ(w ? pic.p.width : 0, w) << file;
  EXPECT_EQ(h ? pic.p.height : 0, h) << file;
  if (!keyless) return;
  EXPECT_EQ(pic.Keys({0, 0, pic.p.width, pic.p.height}), 0) << file << ": would show magenta";
}

}  // namespace

// A scene's name is written with '\' and no extension.
TEST(DemoPictures, EveryPictureAScenarioNamesIsThereAtItsLayersSize) {
  int named = 0;
  for (const auto& e : std::filesystem::directory_iterator(kData)) {
    if (e.path().extension() != ".scn") continue;
    std::istringstream in(ReadText(e.path()));
    for (std::string line; std::getline(in, line);) {
      std::istringstream words(line);
      std::string command, layer, name;
      words >> command >> layer >> name;
      if (command == ".battle") name = layer;
      for (char& c : name) c = c == '\\' ? '/' : c;
      if (command == ".load") {
        const int w = layer == "back" ? 640 : layer == "place" ? 440 : 134;
        const int h = layer == "back" ? 480 : layer == "place" ? 300 : 152;
        ExpectPicture(name + ".K16", w, h, layer != "face2");  // the right face is drawn keyed
      } else if (command == ".battle") {
        ExpectPicture(name + ".K16", 0, 0, false);
      }
      named += command == ".load" || command == ".battle";
    }
  }
  EXPECT_GE(named, 15);
}

// The program's own pictures: the table, the faces (the player's asked for
// with a lower-case extension), the screens' backs and digits, and both
// sizes of every card, which are zoomed and shown without a key.
TEST(DemoPictures, TheProgramsOwnPicturesAndEveryCardInTheirSizes) {
  std::vector<std::tuple<std::string, int, int, bool>> pictures = {
      {"battleback1.K16", 640, 622, true}, {"fg/tavrin.k16", 134, 152, true},
      {"fg/b_kaito.K16", 134, 152, true},  {"fg/b_luna.K16", 134, 152, true},
      {"fg/b_sage.K16", 134, 152, true},   {"source1.K16", 850, 676, false},
      {"deckback.K16", 640, 0, false},     {"collectionback.K16", 640, 0, false},
      {"saveback.K16", 640, 0, false},     {"numbig.K16", 12 * 28, 0, false},
      {"nummid.K16", 12 * 12, 0, false},   {"numsmall.K16", 12 * 9, 0, false},
      {"nummicro.K16", 12 * 7, 0, false},  {"numWeekday.K16", 12 * 36, 0, false},
  };
  for (int n = 1; n <= kCardCount; ++n) {
    pictures.emplace_back("cards/cards" + std::to_string(n) + ".K16", 100, 138, true);
    pictures.emplace_back("cardl/cardl" + std::to_string(n) + ".K16", 300, 414, true);
  }
  for (const auto& [file, w, h, keyless] : pictures) ExpectPicture(file, w, h, keyless);
}

// The player plays Mio: the battle's own face for the player is her
// portrait, in the square the battle shows.
TEST(DemoPictures, ThePlayersBattleFaceIsTheHeroines) {
  const Pic face = Load("fg/tavrin.k16"), mio = Load("face_mio.K16");
  int differ = 0;
  for (int y = 18; y < 18 + 98; ++y)
    for (int x = 18; x < 18 + 98; ++x) {
      const size_t at = static_cast<size_t>(y) * 134 + x;
      differ += face.p.palette[face.p.index[at]] != mio.p.palette[mio.p.index[at]];
    }
  EXPECT_EQ(differ, 0);
}

// Every piece the battle takes from the sheet; sprites stand on the key at
// their corners, so that they sit on the table.
TEST(BattleSheet, EveryPieceInItsPlaceAndNothingOutsideThem) {
  enum Kind { kWhole, kSprite, kIcon };
  const struct {
    const char* name;
    Rect r;
    Kind kind;
  } pieces[] = {
      // clang-format off
      {"player's card back", {0, 0, 100, 138}, kWhole},
      {"opponent's card back", {0, 138, 100, 138}, kWhole},
      {"player's face frame", {700, 0, 100, 138}, kWhole},
      {"opponent's face frame", {700, 138, 100, 138}, kWhole},
      {"player's marker", {0, 276, 62, 62}, kSprite},
      {"opponent's marker", {62, 276, 62, 62}, kSprite},
      {"turn label", {124, 276, 165, 61}, kSprite}, {"decide pointer", {500, 276, 62, 53}, kSprite},
      {"arrow up", {562, 276, 28, 26}, kIcon}, {"arrow down", {562, 302, 28, 26}, kIcon},
      {"poison", {600, 276, 28, 28}, kSprite}, {"curse", {628, 276, 28, 28}, kSprite},
      {"barrier", {600, 304, 21, 25}, kIcon}, {"field", {621, 304, 20, 25}, kIcon},
      {"poison guard", {600, 329, 28, 28}, kIcon}, {"curse guard", {628, 329, 28, 28}, kIcon},
      {"click cue", {660, 276, 32, 28}, kSprite}, {"win", {0, 338, 158, 60}, kSprite}, {"loss", {158, 338, 202, 60}, kSprite},
      {"draw", {360, 338, 224, 60}, kSprite},
      // clang-format on
  };

  const Pic sheet = Load("source2.K16");
  ASSERT_EQ(sheet.p.width, 800);
  ASSERT_EQ(sheet.p.height, 400);
  for (const auto& piece : pieces) {
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
      for (const auto& piece : pieces) inside = inside || piece.r.Has(x, y);
      stray += !inside && !sheet.Key(x, y);
    }
  EXPECT_EQ(stray, 0) << "hand pictures, the turn number and rows 400 on are filled at run time";
}
