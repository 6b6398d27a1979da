// A data folder for whole battles: a battle sheet whose every region has a
// colour of its own, a background, card pictures, faces, an opponent deck
// and a card table, so a test can tell from one pixel what was drawn where.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/image.h"
#include "support/game_fixture.h"
#include "support/k16_writer.h"

namespace battle_test {

constexpr uint16_t kPlayerBack = Rgb5(2, 2, 20);
constexpr uint16_t kOpponentBack = Rgb5(20, 2, 2);
constexpr uint16_t kFrame = Rgb5(10, 10, 10);
constexpr uint16_t kPlayerMarker = Rgb5(0, 31, 0);
constexpr uint16_t kOpponentMarker = Rgb5(31, 31, 0);
constexpr uint16_t kTurnLabel = Rgb5(31, 16, 0);
constexpr uint16_t kDecide = Rgb5(0, 16, 31);
constexpr uint16_t kArrowUp = Rgb5(16, 0, 31);
constexpr uint16_t kArrowDown = Rgb5(31, 0, 16);
constexpr uint16_t kPoison = Rgb5(1, 30, 30);
constexpr uint16_t kCurse = Rgb5(30, 1, 29);
constexpr uint16_t kBarrier = Rgb5(5, 25, 5);
constexpr uint16_t kField = Rgb5(25, 5, 5);
constexpr uint16_t kWin = Rgb5(31, 31, 31);
constexpr uint16_t kLoss = Rgb5(3, 3, 3);
constexpr uint16_t kDraw = Rgb5(16, 16, 16);

// The colour of card n's picture (and of its big picture, darker).
constexpr uint16_t CardColour(int n) { return Rgb5(n % 32, 8 + n / 32 * 8, 12); }
// The background at a point of the battle screen.
constexpr uint16_t BackColour(int x, int y) { return Rgb5(x / 80, y / 40, 3); }
// The faces: a ramp along x, so a mirrored copy reads the other way.
constexpr uint16_t FaceColour(int x, int opponent) {
  return Rgb5(x / 5 % 32, opponent ? 28 : 4, 20);
}

// The opponent's deck: twenty cards, none of attribute 0, so an opponent
// whose style chooses nothing (any style but 1 to 3) plays no card at all.
inline const std::vector<uint32_t> kFoeDeck = {21, 22, 23, 24, 26, 27, 28, 29, 31, 32,
                                               33, 34, 36, 37, 38, 39, 41, 42, 43, 44};

class BattleRunTest : public GameTest {
 protected:
  void SetUp() override;

  // The opponent's deck file: the cards in draw order, then zeros.
  void WriteDeck(const std::string& name, const std::vector<uint32_t>& cards);
  // "start.scn": the player's deck from the commands (cards 1..20 by
  // default), a message, a wait, then the battle line and what follows it.
  void WriteStory(const std::string& battleLine, const std::string& deck = "",
                  const std::string& after = ".clk\n");
  // The whole program with the input; no message box is expected.
  void Run(const std::string& input, bool expectNoBoxes = true);
  std::string Shot(const std::string& name) const;
  // Calls (with their times) of one wave file.
  std::vector<uint64_t> WaveTimes(const std::string& name) const;
};

// Pixel of Screen.
inline uint16_t At(int x, int y) { return gfx.Screen.At(x, y); }

}  // namespace battle_test
