// The one way to build a battle for a test: a data folder whose battle sheet
// gives every region a colour of its own (so one pixel tells what was drawn
// where), a real ".battle" run to its first wait, and then a position laid
// out figure by figure from a few words ("s.hp=500 o.phys=0").
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle.h"
#include "battle/rules.h"
#include "graphics/image.h"
#include "support/game_fixture.h"
#include "support/k16_writer.h"

namespace battle_test {

// The sheet's pieces, each in a colour of its own.
constexpr uint16_t kPlayerBack = Rgb5(2, 2, 20), kOpponentBack = Rgb5(20, 2, 2),
                   kFrame = Rgb5(10, 10, 10), kPlayerMarker = Rgb5(0, 31, 0),
                   kOpponentMarker = Rgb5(31, 31, 0), kTurnLabel = Rgb5(31, 16, 0),
                   kDecide = Rgb5(0, 16, 31), kArrowUp = Rgb5(16, 0, 31),
                   kArrowDown = Rgb5(31, 0, 16), kPoison = Rgb5(1, 30, 30),
                   kCurse = Rgb5(30, 1, 29), kBarrier = Rgb5(5, 25, 5), kField = Rgb5(25, 5, 5),
                   kPoisonGuard = Rgb5(9, 19, 29), kCurseGuard = Rgb5(29, 19, 9),
                   kWin = Rgb5(31, 31, 31), kLoss = Rgb5(3, 3, 3), kDraw = Rgb5(16, 16, 16),
                   kCue = Rgb5(27, 23, 4);

// The colour of card n's picture (and of its big picture).
constexpr uint16_t CardColour(int n) { return Rgb5(n % 32, 8 + n / 32 * 8, 12); }
// The background at a point of the battle screen.
constexpr uint16_t BackColour(int x, int y) { return Rgb5(x / 80, y / 40, 3); }
// The faces: a ramp along x, so a mirrored copy reads the other way.
constexpr uint16_t FaceColour(int x, int opponent) {
  return Rgb5(x / 5 % 32, opponent ? 28 : 4, 20);
}

// The opponent's deck: twenty cards, none of attribute 0 (card n has
// attribute n % 5), so an opponent whose style chooses nothing plays nothing.
inline const std::vector<uint32_t> kFoeDeck = {21, 22, 23, 24, 26, 27, 28, 29, 31, 32,
                                               33, 34, 36, 37, 38, 39, 41, 42, 43, 44};
// The player starts the battle with the click that ends the first wait.
inline constexpr const char* kStart = "wait click 320 240\n";

class BattleRunTest : public GameTest {
 protected:
  void SetUp() override;
  // The opponent's deck file: the cards in draw order, then zeros.
  void WriteDeck(const std::string& name, const std::vector<uint32_t>& cards);
  // The arts files from the arts tables as they stand.
  void WriteArts();
  // "start.scn": the player's deck from the commands (cards 1..20 by
  // default), a message, a wait, then the battle line and what follows it.
  void WriteStory(const std::string& battleLine, const std::string& deck = "",
                  const std::string& after = ".clk\n");
  // The whole program with the input (and the automation's answers); no
  // message box is expected.
  void Run(const std::string& input, headless::HeadlessHost::Automation automation = nullptr);
  std::string Shot(const std::string& name) const;
  // Calls (with their times) of one wave file.
  std::vector<uint64_t> WaveTimes(const std::string& name) const;
};

// A battle set up by ".battle" and waiting, then driven routine by routine
// with a host of its own; every art spells "ZZ", which no hand can.
class BattlePositionTest : public BattleRunTest {
 protected:
  void SetUp() override;
};

// Every figure a card, an art or a rule can touch, named from side s ("s."),
// the other side ("o.") and the fields ("f."): hp maxHp mp maxMp phys magic
// hpRec mpRec charge drain pAU pG mAU mG hRU mRU curse deckLeft drawIndex
// poisoned poisonGuard curseGuard handK inK playedK fromK pattern (its length),
// as they stand when the Figures are taken.
class Figures {
 public:
  explicit Figures(int s);
  // The figures that differ from those taken, "name=value" in a fixed order:
  // as they stand now, and as the words would leave the ones taken.
  std::string Changed() const;
  std::string After(const std::string& words) const;

 private:
  struct Figure {
    std::string name;
    std::function<int64_t()> get;
    std::function<void(int64_t)> set;
  };
  friend void SetFigures(int s, const std::string& words);
  size_t Index(const std::string& name) const;
  std::string Differing(const std::vector<int64_t>& values) const;
  std::vector<Figure> all_;
  std::vector<int64_t> taken_;
};
// Sets figures from words "name=value"; "sB0"/"oB0" empty a side's six
// barriers, "F0" the six fields, "Z" both sides' amounts, barriers and the
// fields; "B<p>"/"F<p>" scale the baseline's barriers of s / fields by p %.
void SetFigures(int s, const std::string& words);
// The position every table starts from: each figure distinct, so an effect
// on the wrong side or of the wrong amount shows. Side s has played card
// from slot 1 and holds cards 2..4, three cards 11..13 left in its deck; the
// other side has played card 31 (pattern "QQRR") and holds 32..34. The view
// is filled with kSentinel; hand pictures with SlotColour.
void Baseline(int s, uint32_t card);
constexpr uint16_t kSentinel = Rgb5(7, 21, 13);
constexpr uint16_t SlotColour(int side, int k) {
  return side == 0 ? Rgb5(5 * k, 0, 31) : Rgb5(0, 5 * k, 31);
}

// The pattern the attributes spell.
std::string Spell(const std::vector<int>& attributes);
// An arts record of the role: its pattern spelled, name "Art<n>", effect
// text "Does <kind>".
ArtsRecord& SetArt(Role role, int n, const std::vector<int>& attributes, int32_t kind,
                   int32_t value, int32_t mpCost = 0, int32_t weight = 0);
// Side s holds the cards from slot 1 on, the other slots empty, and has
// played nothing.
void Deal(int s, const std::vector<uint32_t>& cards);
// Side s has played cards of the given attributes (card a for attribute a)
// from slots 1.., its pattern spelled.
void Play(int s, const std::vector<int>& attributes);
// The lines of a text window joined by sep, empty lines at the end dropped.
std::string WindowText(int w, const char* sep = "");
// Pixel of Screen.
inline uint16_t At(int x, int y) { return gfx.Screen.At(x, y); }
// A point of the screen and the colour it should show.
struct Px {
  int x, y;
  uint16_t colour;
};
inline Px Back(int x, int y) { return {x, y, BackColour(x, y)}; }
// The points that show another colour, as "x,y:colour" words.
std::string Wrong(const std::vector<Px>& points);

}  // namespace battle_test
