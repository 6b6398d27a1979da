// The menu screens' pictures and cards in a data directory of their own, and
// two ways in: straight calls into a screen, or the whole game from a
// scenario with the player's input.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "graphics/image.h"
#include "support/game_fixture.h"
#include "support/k16_writer.h"

// Each page picture has its own blue, so a screen shows its own page.
constexpr uint16_t PageColour(int x, int y, int blue) { return Rgb5(x / 40, y / 40, blue); }
constexpr int kDeckBlue = 28, kCollectionBlue = 20, kSaveBlue = 30, kSceneBlue = 4;
constexpr uint16_t kUpArrow = Rgb5(31, 0, 0), kDownArrow = Rgb5(0, 31, 0);
constexpr uint16_t kNumberMark = Rgb5(31, 31, 0), kAttributeMark = Rgb5(0, 31, 31);
constexpr uint16_t kUnowned = Rgb5(1, 1, 1);
// "saveback"'s buttons: save, load, start over, back.
constexpr uint16_t kButton[4] = {Rgb5(30, 2, 2), Rgb5(2, 30, 2), Rgb5(2, 2, 30), Rgb5(30, 30, 2)};
constexpr uint16_t CardColour(uint32_t n) {
  return Rgb5(static_cast<int>(n % 32), 16 + static_cast<int>(n / 32) * 8, 16);
}
constexpr uint16_t BigColour(int n) { return Rgb5(n % 32, 2, 30); }

uint16_t At(int x, int y);  // of Screen
// A point of the screen and the colour it must show; kPage: the page there.
constexpr uint16_t kPage = 0x8000;
struct Probe {
  int x, y;
  uint16_t colour;
};
void ExpectShows(std::initializer_list<Probe> probes, int blue);

class ScreensTest : public GameTest {
 protected:
  // Pictures, card names "CardN" with attribute N mod 5, an empty config.
  void SetUp() override;
  // Window, images and message windows for calls straight into a screen;
  // the card table loaded.
  void Direct();
  // The whole game: the scenario adds the cards (stock, then deck), shows
  // the scene and waits on a click; the input follows, then Esc.
  void Run(const std::string& cards, const std::string& input, const std::string& more = "");
  // A screenshot the input asked for ("wait screenshot NAME"), as bytes.
  std::string Shot(const std::string& name) const;
  // The next input a screen's own wait takes, for straight calls.
  void Input(const std::string& script);
  static std::string Cards(const char* list, int from, int to);
  static std::string Drag(int x0, int y0, int x1, int y1);
};
