// The battle's data as the build made it, against the places and sizes the
// battle reads: the sheet's regions, the table, the card pictures (which must
// follow the database), the faces, the opponents' decks, sounds and tunes.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <map>
#include <tuple>

#include "data/database.h"
#include "deck_file.h"
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
  std::pair<int, int> Count(Rect r) const {  // key, other
    int key = 0, other = 0;
    for (int j = r.y; j < r.y + r.h; ++j)
      for (int i = r.x; i < r.x + r.w; ++i) (Key(i, j) ? key : other)++;
    return {key, other};
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

class BattleSheet : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { sheet = new Pic(Load("source2.K16")); }
  static void TearDownTestSuite() {
    delete sheet;
    sheet = nullptr;
  }
  static Pic* sheet;
};
Pic* BattleSheet::sheet = nullptr;

// Every piece the battle takes from the sheet, by name.
const std::map<std::string, Rect> kPieces = {
    {"player's card back", {0, 0, 100, 138}},
    {"opponent's card back", {0, 138, 100, 138}},
    {"player's face frame", {700, 0, 100, 138}},
    {"opponent's face frame", {700, 138, 100, 138}},
    {"player's marker", {0, 276, 62, 62}},
    {"opponent's marker", {62, 276, 62, 62}},
    {"turn label", {124, 276, 165, 61}},
    {"decide label", {500, 276, 62, 53}},
    {"arrow up", {562, 276, 28, 26}},
    {"arrow down", {562, 302, 28, 26}},
    {"poison", {600, 276, 28, 28}},
    {"curse", {628, 276, 28, 28}},
    {"barrier", {600, 304, 21, 25}},
    {"field", {621, 304, 20, 25}},
    {"poison guard", {600, 329, 28, 28}},
    {"curse guard", {628, 329, 28, 28}},
    {"win", {0, 338, 158, 60}},
    {"loss", {158, 338, 202, 60}},
    {"draw", {360, 338, 224, 60}},
};

TEST_F(BattleSheet, EveryPieceHasInkAndNothingLiesOutsideThem) {
  ASSERT_EQ(sheet->p.width, 800);
  ASSERT_EQ(sheet->p.height, 400);
  EXPECT_EQ(sheet->p.palette[255], kKey);
  for (const auto& [name, r] : kPieces) EXPECT_GT(sheet->Count(r).second, r.w * r.h / 8) << name;
  int stray = 0;
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 800; ++x) {
      bool inside = false;
      for (const auto& piece : kPieces) inside = inside || piece.second.Has(x, y);
      if (!inside && !sheet->Key(x, y)) ++stray;
    }
  EXPECT_EQ(stray, 0) << "hand pictures, the turn number and rows 400 on are filled at run time";
}

TEST_F(BattleSheet, WholePiecesAreSolidAndSpritesStandOnKey) {
  // Backs are whole cards; the frames' plates lie under numbers, the face
  // square's border is drawn and its inside never shows the key.
  for (Rect r : {Rect{0, 0, 100, 276}, Rect{700, 0, 100, 138}, Rect{700, 138, 100, 138}})
    EXPECT_EQ(sheet->Count(r).first, 0) << r.x << "," << r.y;
  // Sprites: keyed corners, so they sit on the table.
  for (const char* name : {"player's marker", "opponent's marker", "turn label", "decide label",
                           "poison", "curse", "win", "loss", "draw"}) {
    const Rect r = kPieces.at(name);
    EXPECT_TRUE(sheet->Key(r.x, r.y) && sheet->Key(r.x + r.w - 1, r.y) &&
                sheet->Key(r.x, r.y + r.h - 1) && sheet->Key(r.x + r.w - 1, r.y + r.h - 1))
        << name;
  }
}

// The attribute of each card, from the database file the build made.
std::map<int, int> Attributes() {
  const auto bytes = ReadBytes(DataDir() / kCardDataFile);
  std::map<int, int> out;
  EXPECT_EQ(bytes.size(), sizeof(CardRecord) * (kCardCount + 1));
  for (int n = 1; n <= kCardCount && (n + 1) * sizeof(CardRecord) <= bytes.size(); ++n) {
    const size_t at = n * sizeof(CardRecord) + offsetof(CardRecord, attribute);
    out[n] = bytes[at];
  }
  return out;
}

TEST(CardPictures, EveryCardInBothSizesWholeAndFramedByItsAttribute) {
  const std::map<int, int> attribute = Attributes();
  ASSERT_EQ(attribute.size(), static_cast<size_t>(kCardCount));
  // The mean colour of the frame's left edge, per card.
  std::map<int, std::vector<std::array<double, 3>>> frames;
  for (int n = 1; n <= kCardCount; ++n) {
    for (const auto& [file, w, h] :
         {std::tuple{"cards/cards", 100, 138}, {"cardl/cardl", 300, 414}}) {
      const std::string name = file + std::to_string(n) + ".K16";
      Pic pic = Load(name);
      ASSERT_EQ(pic.p.width, w) << name;
      ASSERT_EQ(pic.p.height, h) << name;
      EXPECT_EQ(pic.Count({0, 0, w, h}).first, 0) << name << ": zoomed without a key";
    }
    Pic pic = Load("cards/cards" + std::to_string(n) + ".K16");
    std::array<double, 3> mean{};
    for (int y = 30; y < 100; ++y)
      for (int x = 1; x < 4; ++x)
        for (int c = 0; c < 3; ++c) mean[c] += (pic.At(x, y) >> (10 - 5 * c) & 31) / 210.0;
    frames[attribute.at(n)].push_back(mean);
  }
  // Cards of one attribute share a frame; different attributes differ.
  auto distance = [](const std::array<double, 3>& a, const std::array<double, 3>& b) {
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
  };
  ASSERT_EQ(frames.size(), 5u);
  for (const auto& [a, list] : frames) {
    for (const auto& m : list) EXPECT_LT(distance(m, list.front()), 1.5) << "attribute " << a;
    for (const auto& [b, other] : frames)
      if (b != a) {
        EXPECT_GT(distance(list.front(), other.front()), 4) << a << " vs " << b;
      }
  }
}

TEST(BattlePictures, TableAndFacesInTheirSizesWithoutKey) {
  struct P {
    const char* file;
    int w, h;
  };
  // The player's face is asked for with a lower-case extension.
  for (P f :
       {P{"battleback1.K16", 640, 622}, P{"fg/tavrin.k16", 134, 152}, P{"fg/b_kaito.K16", 134, 152},
        P{"fg/b_luna.K16", 134, 152}, P{"fg/b_sage.K16", 134, 152}}) {
    ASSERT_TRUE(std::filesystem::exists(DataDir() / f.file)) << f.file;
    Pic pic = Load(f.file);
    EXPECT_EQ(pic.p.width, f.w) << f.file;
    EXPECT_EQ(pic.p.height, f.h) << f.file;
    EXPECT_EQ(pic.Count({0, 0, pic.p.width, pic.p.height}).first, 0) << f.file;
  }
}

TEST(OpponentDecks, FullDecksOfTheirOwnAttributes) {
  const std::map<int, int> attribute = Attributes();
  struct D {
    const char* file;
    int a, b;
  };
  for (D d : {D{"kaito.dec", 1, 3}, D{"luna.dec", 2, 4}}) {
    deck_tool::Decoded deck;
    std::string error;
    ASSERT_TRUE(deck_tool::Decode(ReadBytes(DataDir() / d.file), deck, error)) << d.file << error;
    EXPECT_GE(deck.cards.size(), 20u) << d.file;
    EXPECT_LE(deck.cards.size(), 25u) << d.file;
    size_t own = 0;
    for (uint32_t c : deck.cards) {
      ASSERT_TRUE(attribute.count(static_cast<int>(c))) << d.file << ": card " << c;
      const int at = attribute.at(static_cast<int>(c));
      own += at == d.a || at == d.b;
    }
    EXPECT_GE(own * 4, deck.cards.size() * 3) << d.file << ": mostly its own two attributes";
  }
}

TEST(BattleSounds, ShortWavesAndTwoTunes) {
  struct S {
    const char* file;
    double most;  // seconds
  };
  for (S s : {S{"bwav/Decision.wav", 0.5}, S{"bwav/Scroll.wav", 0.3}, S{"bwav/Sute.wav", 0.15}}) {
    const auto bytes = ReadBytes(DataDir() / s.file);
    ASSERT_GT(bytes.size(), 44u) << s.file;
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF") << s.file;
    // 22050 Hz mono 16-bit, as make_sfx.sh writes them.
    EXPECT_LE(static_cast<double>(bytes.size() - 44) / 44100.0, s.most) << s.file;
  }
  for (const char* tune : {"bmid/card2.mid", "bmid/card15.mid"}) {
    const auto bytes = ReadBytes(DataDir() / tune);
    ASSERT_GT(bytes.size(), 14u) << tune;
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "MThd") << tune;
  }
}

}  // namespace
