// Whole battles from ".battle" (what the set-up deals, draws and plays, the
// way back into the scenario, the pop-ups and the list the player sees) and
// the battle screen's drawing against a live battle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <set>
#include <sstream>
#include <tuple>

#include "battle/battle_screen.h"
#include "common/png_io.h"
#include "core/waits.h"
#include "data/player.h"
#include "graphics/blit.h"
#include "graphics/textwindow.h"
#include "sound/music.h"
#include "support/battle_fixture.h"

namespace battle_test {
namespace {

using Kind = headless::HeadlessHost::SoundCall::Kind;

// A pixel of a screenshot as the game's 5-bit colour (read with libpng,
// which the Windows build lacks; this file is Linux only).
uint16_t ShotAt(const std::filesystem::path& dataDir, const std::string& name, int x, int y) {
  toolpng::RgbaImage image;
  std::string error;
  const std::string file = (dataDir / "shots" / (name + ".png")).string();
  if (!toolpng::ReadPng(file, image, error)) {
    ADD_FAILURE() << file << ": " << error;
    return 0;
  }
  const uint8_t* p = image.At(x, y);
  return Rgb5(p[0] >> 3, p[1] >> 3, p[2] >> 3);
}

std::vector<uint32_t> Hand(int side, int n) {
  std::vector<uint32_t> cards;
  for (int k = 1; k <= n; ++k) cards.push_back(battle.side[side].hand[k].card);
  return cards;
}

// A side's hand, or "shuffled" for distinct cards that are not the deck's
// first ones in order (the hand itself: never).
std::string Dealt(int side, const std::vector<uint32_t>& deck) {
  const int n = battle.handSize;
  const std::vector<uint32_t> cards = Hand(side, n);
  if (cards != std::vector<uint32_t>(deck.begin(), deck.begin() + n) &&
      std::set<uint32_t>(cards.begin(), cards.end()).size() == size_t(n) &&
      std::find(cards.begin(), cards.end(), 0u) == cards.end())
    return "shuffled";
  std::string text;
  for (uint32_t c : cards) text += (text.empty() ? "" : " ") + std::to_string(c);
  return text;
}

// The hand size, the opponent's figures, its deck left and hand, the
// player's, and the slot beyond a hand of five. The player's deck is always
// shuffled; the opponent's when its argument is 1. A hand of 9 is cut to
// six; numbers no card has are dealt all the same; an empty player deck
// deals nothing. The battle state lives on between runs as between battles:
// a file of one word more than its header replaces only the first card (30),
// an empty file or none at all keeps the previous deck.
TEST_F(BattleRunTest, TheCommandsArgumentsSetTheFiguresAndDealTheHands) {
  WriteDeck("odd.dec", {99, 4000000000u, 22});
  WriteData("short.dec", std::string("\0\0\0\0\x1E\0\0\0", 8));
  WriteData("empty.dec", "");
  std::vector<uint32_t> inOrder(20);
  std::iota(inOrder.begin(), inOrder.end(), 1u);
  const std::pair<const char*, const char*> rows[] = {
      {"foe 0 5 1", "5 | 300/320 40/50 9 1 | 15: 21 22 23 24 26 | 15: shuffled | 0"},
      {"foe 2 5 1", "5 | 300/320 40/50 9 1 | 15: 21 22 23 24 26 | 15: shuffled | 0"},
      {"foe 1 6 2", "6 | 300/320 40/50 9 1 | 14: shuffled | 14: shuffled | -"},
      {"odd 0 9 3", "6 | 300/320 40/50 9 1 | 0: 99 4000000000 22 0 0 0 | 0: 0 0 0 0 0 0 | -"},
      {"foe 0 3 1", "3 | 300/320 40/50 9 1 | 17: 21 22 23 | 17: shuffled | 0"},
      {"short 0 3 1", "3 | 300/320 40/50 9 1 | 17: 30 22 23 | 17: shuffled | 0"},
      {"empty 0 3 1", "3 | 300/320 40/50 9 1 | 17: 30 22 23 | 17: shuffled | 0"},
      {"missing 0 3 1", "3 | 300/320 40/50 9 1 | 17: 30 22 23 | 17: shuffled | 0"},
  };
  for (auto [args, want] : rows) {
    ResetPlayerState();
    WriteStory(std::string(".battle fg\\foe 300 320 40 50 9 ") + args,
               args[0] == 'o' ? ".card add deck 1 0\n" : "");
    Run(kStart);
    const SideVitals foe = sideVitals(1);
    const bool foeShuffled = std::strchr(args, ' ')[1] == '1';
    std::ostringstream got;
    got << battle.handSize << " | " << foe.hp << "/" << foe.maxHp << " " << foe.mp << "/"
        << foe.maxMp << " " << battle.opponentStyle << " " << battle.turn << " | "
        << battle.side[1].deckLeft << ": " << Dealt(1, foeShuffled ? kFoeDeck : Hand(1, 6)) << " | "
        << battle.side[0].deckLeft << ": " << Dealt(0, inOrder) << " | "
        << (battle.handSize < 6 ? std::to_string(battle.side[0].hand[6].card) : "-");
    EXPECT_EQ(got.str(), want) << args;
  }
}

TEST_F(BattleRunTest, SetUpDealsWithTimedSlidesAndDrawsEveryPieceInPlace) {
  WriteStory(".battle fg\\foe 300 320 40 50 9 foe 0 5 1");
  Run(std::string(kStart) + "wait screenshot battle\n");
  const bool attacking = shell.InputMode == mode::PlayerAttacks;
  ASSERT_TRUE(attacking || shell.InputMode == mode::PlayerIntercepts) << shell.InputMode;
  EXPECT_EQ(battle.attackMarker, attacking ? 1 : 2);
  EXPECT_EQ(gfx.ViewOffset, kMaxViewOffset);
  // The set-up silenced the scene's sound first; then ten deals, each a
  // slide of 24 pixels a step, 5 ms a step after the first drawing.
  const auto stop = std::find_if(host->sound.begin(), host->sound.end(),
                                 [](const auto& c) { return c.kind == Kind::WaveStop; });
  ASSERT_NE(stop, host->sound.end());
  const auto deals = WaveTimes("bwav\\Sute.wav");
  ASSERT_EQ(deals.size(), 10u);
  EXPECT_LT(stop->at, deals[0]);
  for (int i = 0; i < 9; ++i) {
    const int side = i < 5 ? 0 : 1, k = i % 5 + 1;
    const SlotPosition to = handPosition(side, k);
    const int dx = to.x - (side == 0 ? 640 : -100), dy = to.y - (side == 0 ? 338 : 4);
    const int steps = static_cast<int>(std::sqrt(dx * dx + dy * dy) / 24);
    EXPECT_EQ(deals[i + 1] - deals[i], 5u * (steps + 1)) << "deal " << i;
  }
  // The player's cards face up, the opponent's backs, the marker, the
  // decide label, both faces (the player's mirrored), the frame, the numbers.
  const uint16_t white = Rgb5(31, 31, 31);
  std::vector<Px> pieces = {{300, 220, attacking ? kPlayerMarker : kOpponentMarker},
                            {300, 280, kDecide},
                            {536, 290, kFrame},
                            {591, 300, white},
                            {99, 250, white},
                            Back(handPosition(1, 6).x + 50, handPosition(1, 6).y + 70)};
  pieces.reserve(pieces.size() + 16);
  for (int k = 1; k <= 5; ++k) {
    const SlotPosition p = handPosition(0, k), q = handPosition(1, k);
    pieces.push_back({p.x + 50, p.y + 70, CardColour(int(battle.side[0].hand[k].card))});
    pieces.push_back({q.x + 50, q.y + 70, kOpponentBack});
  }
  for (int dx : {0, 40, 97}) {
    pieces.push_back({537 + dx, 210, FaceColour(18 + 97 - dx, 0)});
    pieces.push_back({5 + dx, 160, FaceColour(18 + dx, 1)});
  }
  EXPECT_EQ(Wrong(pieces), "");
  // The window shows the lower part: its row y is the image's row y + 142.
  EXPECT_EQ(ShotAt(dataDir, "battle", 300, 280 - 142), kDecide);
}

TEST_F(BattleRunTest, LeavingPutsBackTheSceneItsTextAndItsMusic) {
  const auto song = [](char note) {
    return std::string("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\x0C", 22) + std::string("\0\x90", 2) +
           note + std::string("\x64\x60\x80", 3) + note + std::string("\0\0\xFF\x2F\0", 5);
  };
  WriteData("tune.mid", song(0x3C));
  WriteData("bmid/card15.mid", song(0x40));
  // No opponent deck: the first exchange ends the battle, won; the result
  // banner is seen with the view up.
  WriteStory(".battle fg\\foe 300 300 40 40 9 missing 0 5 2", ".card add deck 1 20\n.mid tune 0\n");
  Run("wait screenshot before\nwait+500 click 320 240\nwait click 300 100\n+11000 screenshot "
      "banner\n"
      "wait screenshot after\nwait+500 move 10 10\n");
  EXPECT_EQ(player.result, 0) << "an opponent without cards has lost";
  EXPECT_EQ(ShotAt(dataDir, "banner", 320, 240), kWin);
  EXPECT_EQ(ShotAt(dataDir, "banner", 54, 196), FaceColour(18 + 49, 1));
  EXPECT_EQ(shell.InputMode, mode::ClickWait);
  EXPECT_TRUE(Shot("before") == Shot("after")) << "the scene differs after the battle";
  EXPECT_EQ(WindowText(1), "Before the duel");
  EXPECT_STREQ(snd.CurrentMusic, "tune.mid");
  std::vector<int> notes;
  for (const auto& c : host->sound) {
    if (c.kind == Kind::MidiShort && (c.message & 0xF0) == 0x90 && (c.message >> 16) != 0)
      notes.push_back(static_cast<int>((c.message >> 8) & 0x7F));
  }
  const auto battleNote = std::find(notes.begin(), notes.end(), 0x40);
  ASSERT_NE(battleNote, notes.end());
  EXPECT_EQ(notes[0], 0x3C);
  EXPECT_NE(std::find(battleNote, notes.end(), 0x3C), notes.end()) << "the scene's music is back";
}

// Skip mode switched on before the battle, or Ctrl held, leaves the first
// exchange (a card, decided, both arts' messages and the card's text)
// exactly as long as with neither.
TEST_F(BattleRunTest, SkipModeAndCtrlLeaveTheBattlesWaitsAsTheyAre) {
  WriteStory(".battle fg\\foe 300 300 40 40 9 foe 0 5 1", ".card add deck 4 20\n");
  auto exchange = [this](const std::string& beforeBattle) {
    ResetGameState();
    MakeHost(beforeBattle + "wait click 55 260\nwait click 320 100\nwait close\n");
    std::vector<uint64_t> at;
    host->SetInputHook(
        [](const headless::InputEvent&, void* user) {
          static_cast<std::vector<uint64_t>*>(user)->push_back(plat::host().Millis());
        },
        &at);
    EXPECT_EQ(RunGame(), 0);
    EXPECT_FALSE(shell.SkipMode) << "a battle ends skip mode";
    EXPECT_GE(at.size(), 4u);
    return at.size() >= 4 ? at.back() - at[at.size() - 2] : 0;
  };
  const uint64_t plain = exchange(kStart);
  EXPECT_GT(plain, 15000u);
  EXPECT_EQ(exchange("wait key tab\n"), plain);
  EXPECT_EQ(exchange("wait keydown ctrl\n"), plain);
}

// A right click opens the card detail over what the player sees and a
// click puts the view back; then a list of fifteen learned arts that need
// nothing (in both tables: the coin decides whether the player first
// attacks or intercepts) pages with its arrows, seven lines a page.
TEST_F(BattleRunTest, TheCardDetailAndALongCandidateListAnswerTheirClicks) {
  for (int n = 1; n <= 15; ++n) {
    for (Role role : {Role::Attack, Role::Defence}) {
      ArtsRecord& a = SetArt(role, n, {n % 4 + 1}, 0, 0);
      a.learned = 1;
      std::snprintf(a.listText, sizeof a.listText, "List%d", n);
    }
  }
  WriteArts();
  WriteStory(".battle fg\\foe 300 300 40 40 9 foe 0 5 1", ".card add deck 3 20\n");
  // The panel behind the text is the player's choice: off, the text stands
  // on the darkened page.
  for (bool panel : {false, true}) {
    WriteData("settings.txt", panel ? "detail_panel = 1\n" : "");
    Run(std::string(kStart) +
        "wait screenshot battle\nwait rclick 55 256\nwait screenshot detail\n"
        "wait click 320 240\nwait screenshot closed\nwait click 620 460\nwait screenshot second\n");
    // The big picture at (16, 32) of the view, the rest darkened.
    EXPECT_EQ(ShotAt(dataDir, "detail", 20, 40), CardColour(3));
    EXPECT_EQ(ShotAt(dataDir, "detail", 315, 445), CardColour(3));
    auto darkened = [](uint16_t c) {
      auto less = [](int v) { return v > 12 ? v - 12 : 0; };
      return Rgb5(less(c >> 10 & 31), less(c >> 5 & 31), less(c & 31));
    };
    for (auto [x, y] : {std::pair{330, 5}, std::pair{630, 470}, std::pair{5, 470}}) {
      auto sum = [](uint16_t c) { return (c >> 10 & 31) + (c >> 5 & 31) + (c & 31); };
      EXPECT_LT(sum(ShotAt(dataDir, "detail", x, y)), sum(ShotAt(dataDir, "battle", x, y)))
          << x << "," << y;
    }
    // Inside the panel and on its gold frame round the detail window.
    for (auto [x, y] : {std::pair{328, 200}, std::pair{631, 471}}) {
      EXPECT_EQ(ShotAt(dataDir, "detail", x, y),
                panel ? Rgb5(27, 23, 13) : darkened(ShotAt(dataDir, "battle", x, y)))
          << panel << " at " << x << "," << y;
    }
  }
  EXPECT_EQ(Shot("closed"), Shot("battle"));
  EXPECT_EQ(WindowText(4).substr(0, 9), Sjis("「Card3」"));
  EXPECT_TRUE(shell.InputMode == mode::PlayerAttacks || shell.InputMode == mode::PlayerIntercepts)
      << "back to choosing";
  // The arrows: down only on the first page, both on the second.
  EXPECT_EQ(ShotAt(dataDir, "battle", 620, 592 - 142 + 10), kArrowDown);
  EXPECT_NE(ShotAt(dataDir, "battle", 620, 484 - 142 + 10), kArrowUp);
  EXPECT_EQ(ShotAt(dataDir, "second", 620, 484 - 142 + 10), kArrowUp);
  EXPECT_EQ(ShotAt(dataDir, "second", 620, 592 - 142 + 10), kArrowDown);
  // The first line shown, the number of lines, the arrows, page by page.
  auto page = [] {
    const std::string text = WindowText(2, "\n");
    const CandidateList& l = battle.list;
    return text.substr(0, text.find('\n')) + " " +
           std::to_string(std::count(text.begin(), text.end(), '\n') + 1) + " of " +
           std::to_string(l.count) + (l.upShown ? " up" : "") + (l.downShown ? " down" : "");
  };
  const std::string columns = std::string(11, ' ') + "Art8" + std::string(13, ' ') + "List8";
  EXPECT_EQ(page(), attributeSymbol(1) + columns + " 7 of 15 up down");
  candidatesUp();
  EXPECT_EQ(page().substr(2),
            std::string(11, ' ') + "Art1" + std::string(13, ' ') + "List1 7 of 15 down");
  candidatesDown();
  candidatesDown();
  EXPECT_EQ(page().substr(2),
            std::string(11, ' ') + "Art15" + std::string(12, ' ') + "List15 1 of 15 up");
}

// Redraws and moves against the live screen of a battle set up.
class BattleScreenTest : public BattlePositionTest {
 protected:
  static void ClearTable() {
    for (BattleSide& s : battle.side) {
      for (HandSlot& h : s.hand) h = HandSlot{};
    }
    battle.attackMarker = 0;
    drawBattle(0, 0, kBattleWidth, kBattleHeight);
  }
};

TEST_F(BattleScreenTest, APartialRedrawTouchesOnlyItsRectangle) {
  drawBattle(0, 0, kBattleWidth, kBattleHeight);
  std::vector<uint16_t> whole;
  for (int y = 0; y < kBattleHeight; ++y)
    whole.insert(whole.end(), gfx.Screen.Row(y), gfx.Screen.Row(y) + kBattleWidth);
  // One hand slot, one cutting the numbers and the face, one across the
  // decide label and the marker, one across the list.
  for (auto [x, y, w, h] : {std::tuple{217, 338, 100, 138}, std::tuple{580, 290, 30, 20},
                            std::tuple{280, 205, 40, 100}, std::tuple{600, 470, 40, 152}}) {
    for (int yy = 0; yy < kBattleHeight; ++yy)
      std::fill_n(gfx.Screen.Row(yy), kBattleWidth, kSentinel);
    drawBattle(x, y, w, h);
    int wrong = 0;
    for (int yy = 0; yy < kBattleHeight; ++yy)
      for (int xx = 0; xx < kBattleWidth; ++xx) {
        const bool inside = xx >= x && xx < x + w && yy >= y && yy < y + h;
        wrong += At(xx, yy) != (inside ? whole[yy * kBattleWidth + xx] : kSentinel);
      }
    EXPECT_EQ(wrong, 0) << x << "," << y;
  }
}

// The opponent's icons sit as the player's do, 532 to the left and 50 up.
TEST_F(BattleScreenTest, StatusIconsSitInTheirPlaces) {
  struct Icon {
    const char* set;  // a figure of the side, or a field for both
    int x, y, w;      // the player's
    uint16_t colour;
  };
  const Icon icons[] = {
      {"s.poisoned=1", 536, 196, 28, kPoison},
      {"s.curse=1", 565, 196, 28, kCurse},
      {"s.mG=-5", 593, 196, 21, kBarrier},
      {"f.hR=1", 614, 196, 20, kField},
      {"s.poisonGuard=1", 536, 224, 28, kPoisonGuard},
      {"s.curseGuard=1", 565, 224, 28, kCurseGuard},
  };
  for (const Icon& icon : icons) {
    for (int side = 0; side < 2; ++side) {
      SetFigures(0,
                 "Z s.poisoned=0 s.curse=0 s.poisonGuard=0 s.curseGuard=0 o.poisoned=0 o.curse=0 "
                 "o.poisonGuard=0 o.curseGuard=0");
      SetFigures(side, icon.set);
      drawBattle(0, 0, kBattleWidth, kBattleHeight);
      for (const Icon& other : icons) {
        for (int at = 0; at < 2; ++at) {
          const bool shown = &other == &icon && (at == side || icon.set[0] == 'f');
          const int x = other.x - 532 * at, y = other.y - 50 * at + 10;
          for (int dx : {0, other.w - 1})
            EXPECT_EQ(At(x + dx, y) == other.colour, shown)
                << icon.set << " of side " << side << " seen at " << x + dx << "," << y;
        }
      }
    }
  }
}

TEST_F(BattleScreenTest, MovesHoversBannersAndZoomsLandWhereTheyShould) {
  const uint16_t card = CardColour(static_cast<int>(battle.side[0].hand[1].card));
  const uint16_t green = Rgb5(0, 31, 0), red = Rgb5(31, 0, 0);
  ClearTable();
  // Under one step: drawn at the start only.
  ASSERT_TRUE(moveCard(0, 0, 1, true, 240, 20, 263, 20));
  EXPECT_EQ(Wrong({{241, 25, card}, Back(355, 25)}), "");
  // Straight down ends in place, leaving nothing of itself behind.
  drawBattle(0, 0, kBattleWidth, kBattleHeight);
  ASSERT_TRUE(moveCard(0, 0, 1, true, 240, 0, 240, 300));
  EXPECT_EQ(Wrong({{290, 300 + 137, card}, Back(290, 299)}), "");
  // Hovering lifts the first of two played cards by its own strip only.
  battle.side[1].played[1] = {21, 1};
  battle.side[1].played[2] = {22, 2};
  FillImageRect(gfx.PartsSheet, 100, 538, 100, 138, 0x0000FF);
  FillImageRect(gfx.PartsSheet, 200, 538, 100, 138, 0x00FF00);
  drawBattle(0, 0, kBattleWidth, kBattleHeight);
  std::string hovered = Wrong({{130, 200, green}});
  hoverPlayed(115, 200 - kMaxViewOffset);
  hovered += Wrong({{130, 200, red}});
  hoverPlayed(5, 5);
  EXPECT_EQ(hovered + Wrong({{130, 200, green}}), "");
  // The turn banner peaks at three times its size in the view's middle,
  // wider by a digit's place for a two-digit turn.
  ClearTable();
  battle.turn = 12;
  ASSERT_TRUE(turnBanner());
  EXPECT_EQ(Wrong({{320, 240, kTurnLabel}, {5, 240, kTurnLabel}}), "");
  // A played card zooms to four times its size (a hair short: 399 wide).
  ClearTable();
  FillImageRect(gfx.PartsSheet, 300, 538, 100, 138, 0x00FF00);
  ASSERT_TRUE(zoomCard(1, 3));
  EXPECT_EQ(
      Wrong({{120, 10, green}, {320, 10, green}, {518, 10, green}, Back(119, 10), Back(519, 10)}),
      "");
  // The result banners: win, draw, loss.
  for (int result : {0, 1, 2}) {
    ClearTable();
    ASSERT_TRUE(resultBanner(result));
    EXPECT_EQ(Wrong({{320, 240, result == 0 ? kWin : result == 1 ? kDraw : kLoss}}), "") << result;
  }
}

}  // namespace
}  // namespace battle_test
