// Whole battles from ".battle": what the set-up deals and draws, what it
// does with bad arguments and files, and the way back into the scenario.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "battle/battle.h"
#include "battle/battle_fixture.h"
#include "battle/battle_screen.h"
#include "battle/card_detail.h"
#include "common/png_io.h"
#include "core/random.h"
#include "core/waits.h"
#include "data/player.h"
#include "graphics/blit.h"
#include "graphics/textwindow.h"
#include "sound/music.h"

namespace battle_test {
namespace {

using Kind = headless::HeadlessHost::SoundCall::Kind;

// The player starts the battle with the click that ends the first wait.
constexpr const char* kStart = "wait click 320 240\n";

std::vector<uint32_t> Hand(int side, int n) {
  std::vector<uint32_t> cards;
  for (int k = 1; k <= n; ++k) cards.push_back(battle.side[side].hand[k].card);
  return cards;
}

// The pixel of a screenshot as the 5-bit colour it was drawn in.
uint16_t ShotPixel(const toolpng::RgbaImage& shot, int x, int y) {
  const uint8_t* p = shot.At(x, y);
  return Rgb5(p[0] >> 3, p[1] >> 3, p[2] >> 3);
}

toolpng::RgbaImage ReadShot(const std::filesystem::path& file) {
  toolpng::RgbaImage image;
  std::string error;
  EXPECT_TRUE(toolpng::ReadPng(file.string(), image, error)) << error;
  return image;
}

TEST_F(BattleRunTest, SetUpDealsBothHandsAndWaitsForThePlayerWithTheViewDown) {
  WriteStory(".battle fg\\foe 300 320 40 50 9 foe 0 5 1");
  Run(std::string(kStart) + "wait screenshot battle\n");

  // Whoever the coin made attacker, the player now chooses with the view
  // down: to attack (12), or to intercept an opponent that chose nothing.
  ASSERT_TRUE(shell.InputMode == 12 || shell.InputMode == 13) << shell.InputMode;
  const bool attacking = shell.InputMode == 12;
  EXPECT_EQ(battle.attackMarker, attacking ? 1 : 2);
  EXPECT_EQ(gfx.ViewOffset, kMaxViewOffset);
  EXPECT_EQ(battle.handSize, 5);
  EXPECT_EQ(battle.opponentStyle, 9);
  EXPECT_EQ(battle.turn, 1);
  const SideVitals foe = sideVitals(1);
  EXPECT_EQ(foe.hp, 300);
  EXPECT_EQ(foe.maxHp, 320);
  EXPECT_EQ(foe.mp, 40);
  EXPECT_EQ(foe.maxMp, 50);

  // Unshuffled, the opponent draws its file's first five.
  EXPECT_EQ(Hand(1, 5), (std::vector<uint32_t>{21, 22, 23, 24, 26}));
  EXPECT_EQ(battle.side[1].deckLeft, 15);
  EXPECT_EQ(battle.side[1].drawIndex, 6);
  // The player's deck is always shuffled: five different cards of it, not
  // the list's first five in order.
  const auto mine = Hand(0, 5);
  EXPECT_NE(mine, (std::vector<uint32_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(std::set<uint32_t>(mine.begin(), mine.end()).size(), 5u);
  for (uint32_t c : mine) EXPECT_TRUE(c >= 1 && c <= 20) << c;
  EXPECT_EQ(battle.side[0].deckLeft, 15);
  EXPECT_EQ(Hand(0, 6).back(), 0u) << "slot 6 is beyond the hand";

  // The set-up silenced the scene's sound before anything else played.
  ASSERT_FALSE(host->sound.empty());
  const auto stop = std::find_if(host->sound.begin(), host->sound.end(),
                                 [](const auto& c) { return c.kind == Kind::WaveStop; });
  ASSERT_NE(stop, host->sound.end());
  // Ten deals, each a slide of 24 pixels a step and 5 ms a step after the
  // first drawing at the start: the sound of the next deal comes exactly
  // that long after the previous one.
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

  // Drawn: the player's cards face up, the opponent's backs, the marker
  // and the decide label of a choosing mode, both faces, the numbers.
  for (int k = 1; k <= 5; ++k) {
    const SlotPosition p = handPosition(0, k);
    EXPECT_EQ(At(p.x + 50, p.y + 70), CardColour(static_cast<int>(mine[k - 1]))) << k;
    const SlotPosition q = handPosition(1, k);
    EXPECT_EQ(At(q.x + 50, q.y + 70), kOpponentBack) << k;
  }
  const SlotPosition sixth = handPosition(1, 6);
  EXPECT_EQ(At(sixth.x + 50, sixth.y + 70), BackColour(sixth.x + 50, sixth.y + 70));
  EXPECT_EQ(At(300, 220), attacking ? kPlayerMarker : kOpponentMarker);
  EXPECT_EQ(At(300, 280), kDecide);
  // The player's face looks the other way: its ramp runs backwards.
  for (int dx : {0, 40, 97}) {
    EXPECT_EQ(At(537 + dx, 210), FaceColour(18 + 97 - dx, 0)) << dx;
    EXPECT_EQ(At(5 + dx, 160), FaceColour(18 + dx, 1)) << dx;
  }
  EXPECT_EQ(At(536, 290), kFrame);
  EXPECT_EQ(At(591, 300), Rgb5(31, 31, 31)) << "the player's HP";
  EXPECT_EQ(At(99, 250), Rgb5(31, 31, 31)) << "the opponent's max HP";
  EXPECT_EQ(At(630, 150), BackColour(630, 150));

  // The window shows the lower part: its row y is the image's row y + 142.
  const auto shot = ReadShot(dataDir / "shots" / "battle.png");
  ASSERT_EQ(shot.height, 480);
  EXPECT_EQ(ShotPixel(shot, 300, 280 - 142), kDecide);
  const SlotPosition first = handPosition(0, 1);
  EXPECT_EQ(ShotPixel(shot, first.x + 50, first.y - 142 + 70),
            CardColour(static_cast<int>(mine[0])));
}

TEST_F(BattleRunTest, TheOpponentsDeckIsShuffledOnlyWhenAsked) {
  WriteStory(".battle fg\\foe 300 300 40 40 9 foe 1 6 2");
  Run(kStart);
  const auto theirs = Hand(1, 6);
  EXPECT_NE(theirs, (std::vector<uint32_t>(kFoeDeck.begin(), kFoeDeck.begin() + 6)));
  EXPECT_EQ(std::set<uint32_t>(theirs.begin(), theirs.end()).size(), 6u);
  for (uint32_t c : theirs)
    EXPECT_NE(std::find(kFoeDeck.begin(), kFoeDeck.end(), c), kFoeDeck.end()) << c;
  EXPECT_EQ(battle.side[1].deckLeft, 14);
}

TEST_F(BattleRunTest, BadArgumentsAndDeckFilesStayInsideTheTables) {
  // A hand of 9 is cut to the screen's six; a deck holding numbers no card
  // has deals them all the same; an empty player deck deals nothing; a
  // battle kind without a background keeps the scene's.
  WriteDeck("odd.dec", {99, 4000000000u, 22});
  WriteStory(".battle fg\\foe 100 100 10 10 7 odd 0 9 3", ".card add deck 1 0\n");
  Run(kStart);
  EXPECT_EQ(battle.handSize, 6);
  EXPECT_EQ(Hand(1, 3), (std::vector<uint32_t>{99, 4000000000u, 22}));
  EXPECT_EQ(battle.side[1].deckLeft, 0);
  EXPECT_EQ(Hand(0, 6), std::vector<uint32_t>(6, 0));
  // The opponent's cards lie face down whatever their numbers.
  for (int k : {1, 2, 3}) {
    const SlotPosition p = handPosition(1, k);
    EXPECT_EQ(At(p.x + 50, p.y + 70), kOpponentBack) << k;
  }
  // Kind 3 loads no battle background: the scene's picture is still there.
  EXPECT_EQ(gfx.WorkPage.At(620, 10), Rgb5(620 / 40, 0, 8));
  EXPECT_EQ(std::count_if(host->sound.begin(), host->sound.end(),
                          [](const auto& c) { return c.kind == Kind::MidiShort; }),
            0);
}

TEST_F(BattleRunTest, MissingOrShortDeckFilesKeepThePreviousDeck) {
  // Four runs of the program, the battle state living on between them as
  // it does between battles: a full deck, then a file of one word more than
  // its header (only the first card is replaced), then an empty file and no
  // file at all.
  WriteData("short.dec", std::string("\0\0\0\0\x1E\0\0\0", 8));
  WriteData("empty.dec", "");
  for (const char* deck : {"foe", "short", "empty", "missing"}) {
    WriteStory(std::string(".battle fg\\foe 100 100 10 10 9 ") + deck + " 0 3 1");
    Run(kStart);
    EXPECT_EQ(Hand(1, 3), (std::vector<uint32_t>{deck == std::string("foe") ? 21u : 30u, 22, 23}))
        << deck;
    EXPECT_EQ(battle.side[1].deckLeft, 17) << deck;
  }
}

TEST_F(BattleRunTest, LeavingPutsBackTheSceneItsTextAndItsMusic) {
  // A song for the scene and another for the battle, each one note.
  const auto song = [](char note) {
    return std::string("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\x0C", 22) + std::string("\0\x90", 2) +
           note + std::string("\x64\x60\x80", 3) + note + std::string("\0\0\xFF\x2F\0", 5);
  };
  WriteData("tune.mid", song(0x3C));
  WriteData("bmid/card15.mid", song(0x40));
  // No opponent deck: the first exchange ends the battle, won.
  WriteStory(".battle fg\\foe 300 300 40 40 9 missing 0 5 2", ".card add deck 1 20\n.mid tune 0\n");
  Run("wait screenshot before\nwait+500 click 320 240\n"
      "wait click 300 100\n"
      "wait screenshot after\n"
      "wait+500 move 10 10\n");
  EXPECT_EQ(player.result, 0) << "an opponent without cards has lost";
  EXPECT_EQ(shell.InputMode, mode::ClickWait);
  EXPECT_EQ(gfx.ViewOffset, 0);
  const std::string before = Shot("before"), after = Shot("after");
  ASSERT_FALSE(before.empty());
  EXPECT_TRUE(before == after) << "the scene after the battle differs from the one before";
  LineRecord line{};
  ASSERT_TRUE(msgwin.window[1].GetLine(1, line));
  EXPECT_STREQ(line.text, "Before the duel");
  EXPECT_STREQ(snd.CurrentMusic, "tune.mid");

  // The notes in order: the scene's, the battle's, the scene's again.
  std::vector<int> notes;
  for (const auto& c : host->sound) {
    if (c.kind == Kind::MidiShort && (c.message & 0xF0) == 0x90 && (c.message >> 16) != 0)
      notes.push_back(static_cast<int>((c.message >> 8) & 0x7F));
  }
  ASSERT_GE(notes.size(), 3u);
  EXPECT_EQ(notes[0], 0x3C);
  const auto battleNote = std::find(notes.begin(), notes.end(), 0x40);
  ASSERT_NE(battleNote, notes.end());
  EXPECT_NE(std::find(battleNote, notes.end(), 0x3C), notes.end())
      << "the scene's music did not come back";
}

TEST_F(BattleRunTest, TheResultBannerShowsWithTheViewUp) {
  WriteStory(".battle fg\\foe 300 300 40 40 9 missing 0 5 1");
  // Both sides' messages (no art) wait 5 s each, then the banner peaks
  // 0.9 s into its curve.
  Run(std::string(kStart) + "wait click 300 100\n+11000 screenshot banner\n");
  const auto shot = ReadShot(dataDir / "shots" / "banner.png");
  EXPECT_EQ(ShotPixel(shot, 320, 240), kWin);
  // The upper part of the image: the opponent's face in its frame.
  EXPECT_EQ(ShotPixel(shot, 4 + 50, 146 + 50), FaceColour(18 + 49, 1));
}

// The reading aids leave a battle alone: skip mode switched on in the
// dialogue before it, or Ctrl held from there on, and the first exchange
// (a card played, decided, both arts' messages and the card's text) lasts
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
    // From the deciding click to the next wait for the player.
    EXPECT_GE(at.size(), 4u);
    return at.size() >= 4 ? at.back() - at[at.size() - 2] : 0;
  };
  const uint64_t plain = exchange("wait click 320 240\n");
  // Two arts' messages of 5 s and the card's text of 5 s at the least.
  EXPECT_GT(plain, 15000u);
  EXPECT_EQ(exchange("wait key tab\n"), plain);
  EXPECT_EQ(exchange("wait keydown ctrl\n"), plain);
  // Tab inside the battle does not switch skip mode on either.
  EXPECT_EQ(exchange("wait click 320 240\nwait key tab\n"), plain);
}

TEST_F(BattleRunTest, TheCardDetailCoversWhatThePlayerSeesAndPutsItBack) {
  WriteStory(".battle fg\\foe 300 300 40 40 9 foe 0 5 1", ".card add deck 3 20\n");
  // Right button on the first card of the hand, seen with the view down.
  Run(std::string(kStart) +
      "wait screenshot battle\n"
      "wait rclick 55 256\n"
      "wait screenshot detail\n"
      "wait click 320 240\n"
      "wait screenshot closed\n");
  const auto battleShot = ReadShot(dataDir / "shots" / "battle.png");
  const auto detail = ReadShot(dataDir / "shots" / "detail.png");
  // The big picture at (16, 32) of the view, the rest darkened.
  EXPECT_EQ(ShotPixel(detail, 20, 40), CardColour(3));
  EXPECT_EQ(ShotPixel(detail, 315, 445), CardColour(3));
  for (auto [x, y] : {std::pair{330, 5}, std::pair{630, 470}, std::pair{5, 470}}) {
    const uint8_t* seen = battleShot.At(x, y);
    const uint8_t* dark = detail.At(x, y);
    EXPECT_LT(dark[0] + dark[1] + dark[2], seen[0] + seen[1] + seen[2]) << x << "," << y;
  }
  EXPECT_EQ(Shot("closed"), Shot("battle"));
  LineRecord line{};
  ASSERT_TRUE(msgwin.window[4].GetLine(1, line));
  EXPECT_EQ(std::string(line.text), Sjis("「Card3」"));
  EXPECT_TRUE(shell.InputMode == 12 || shell.InputMode == 13) << "back to choosing";
}

TEST_F(BattleRunTest, ALongCandidateListPagesWithItsArrows) {
  // Eight learned arts that need nothing, one more than a page, in both
  // tables: the coin decides whether the player first attacks or intercepts.
  Database arts{};
  for (int n = 1; n <= 8; ++n) {
    for (ArtsRecord* a : {&arts.attackArts[n], &arts.defenceArts[n]}) {
      a->learned = 1;
      std::snprintf(a->name, sizeof a->name, "Art%d", n);
      std::snprintf(a->listText, sizeof a->listText, "List%d", n);
      std::memcpy(a->pattern, attributeSymbol(n % 4 + 1), 3);
    }
  }
  WriteData("AtArts.dat",
            std::string(reinterpret_cast<const char*>(arts.attackArts), sizeof arts.attackArts));
  WriteData("DfArts.dat",
            std::string(reinterpret_cast<const char*>(arts.defenceArts), sizeof arts.defenceArts));
  std::string deck = ".card add deck 1 20\n";
  for (int n = 1; n <= 8; ++n) deck += ".arts add attack " + std::to_string(n) + "\n";
  WriteStory(".battle fg\\foe 300 300 40 40 9 foe 0 5 1", deck);
  Run(std::string(kStart) + "wait screenshot first\nwait click 620 460\nwait screenshot second\n");

  EXPECT_EQ(battle.list.count, 8);
  EXPECT_EQ(battle.list.top, 8);
  EXPECT_TRUE(battle.list.upShown);
  EXPECT_FALSE(battle.list.downShown);
  // One line now: the eighth art, in its columns.
  LineRecord line{};
  ASSERT_TRUE(msgwin.window[2].GetLine(1, line));
  const std::string expected = std::string(attributeSymbol(1)) + std::string(11, ' ') + "Art8" +
                               std::string(13, ' ') + "List8";
  EXPECT_EQ(std::string(line.text), expected);
  EXPECT_FALSE(msgwin.window[2].GetLine(2, line) && line.text[0] != '\0');

  const auto first = ReadShot(dataDir / "shots" / "first.png");
  const auto second = ReadShot(dataDir / "shots" / "second.png");
  EXPECT_EQ(ShotPixel(first, 620, 592 - 142 + 10), kArrowDown);
  EXPECT_NE(ShotPixel(first, 620, 484 - 142 + 10), kArrowUp);
  EXPECT_EQ(ShotPixel(second, 620, 484 - 142 + 10), kArrowUp);
  EXPECT_NE(ShotPixel(second, 620, 592 - 142 + 10), kArrowDown);

  // And back: the first page with the down arrow again.
  candidatesUp();
  EXPECT_EQ(battle.list.top, 1);
  EXPECT_FALSE(battle.list.upShown);
  EXPECT_TRUE(battle.list.downShown);
  int lines = 0;
  for (int i = 1; i <= 8; ++i) lines += msgwin.window[2].GetLine(i, line) && line.text[0] != '\0';
  EXPECT_EQ(lines, 7);
}

// After a battle has been set up: redraws and moves against the live screen.
class BattleScreenTest : public BattleRunTest {
 protected:
  void SetUp() override {
    BattleRunTest::SetUp();
    WriteStory(".battle fg\\foe 300 300 40 40 9 foe 0 5 1");
    Run(kStart);
    // A host of its own, outside the finished run's message loop.
    MakeHost();
  }

  // Only the background, the frames and the numbers: room to move cards.
  static void ClearTable() {
    for (BattleSide& s : battle.side) {
      for (HandSlot& h : s.hand) h = HandSlot{};
    }
    battle.attackMarker = 0;
    shell.InputMode = mode::Busy;
    drawBattle(0, 0, kBattleWidth, kBattleHeight);
  }

  static void FillScreen(uint16_t colour) {
    for (int y = 0; y < gfx.Screen.height; ++y)
      std::fill_n(gfx.Screen.Row(y), gfx.Screen.width, colour);
  }
  // Pixels outside the rectangle that are no longer the fill colour.
  static int TouchedOutside(int x0, int y0, int w, int h, uint16_t colour) {
    int touched = 0;
    for (int y = 0; y < gfx.Screen.height; ++y) {
      for (int x = 0; x < gfx.Screen.width; ++x) {
        const bool inside = x >= x0 && x < x0 + w && y >= y0 && y < y0 + h;
        if (!inside && At(x, y) != colour) ++touched;
      }
    }
    return touched;
  }
};

TEST_F(BattleScreenTest, APartialRedrawTouchesOnlyItsRectangle) {
  drawBattle(0, 0, kBattleWidth, kBattleHeight);
  std::vector<uint16_t> whole;
  for (int y = 0; y < kBattleHeight; ++y)
    whole.insert(whole.end(), gfx.Screen.Row(y), gfx.Screen.Row(y) + kBattleWidth);

  const uint16_t sentinel = Rgb5(7, 21, 13);
  // One hand slot, a rectangle cutting the numbers and the face, one across
  // the decide label and the marker, one across the list.
  for (auto [x, y, w, h] : {std::tuple{217, 338, 100, 138}, std::tuple{580, 290, 30, 20},
                            std::tuple{280, 205, 40, 100}, std::tuple{600, 470, 40, 152}}) {
    FillScreen(sentinel);
    drawBattle(x, y, w, h);
    EXPECT_EQ(TouchedOutside(x, y, w, h, sentinel), 0) << x << "," << y;
    int differs = 0;
    for (int yy = y; yy < y + h; ++yy)
      for (int xx = x; xx < x + w; ++xx) differs += At(xx, yy) != whole[yy * kBattleWidth + xx];
    EXPECT_EQ(differs, 0) << x << "," << y;
  }
}

// Each status icon of each side sits in its own place; a field shows at
// both sides.
TEST_F(BattleScreenTest, StatusIconsSitInTheirPlaces) {
  BattleSide& me = battle.side[0];
  BattleSide& foe = battle.side[1];

  struct Icon {
    int side, x, y, w;
    uint16_t colour;
    std::function<void()> set;
  };
  const Icon icons[] = {
      {0, 536, 196, 28, kPoison, [&] { me.poisoned = 1; }},
      {0, 565, 196, 28, kCurse, [&] { me.curseTurns = 2; }},
      {0, 593, 196, 21, kBarrier, [&] { me.magicGuard = -5; }},
      {0, 614, 196, 20, kField, [&] { battle.hpRecoveryField = 1; }},
      {1, 4, 146, 28, kPoison, [&] { foe.poisoned = 1; }},
      {1, 33, 146, 28, kCurse, [&] { foe.curseTurns = 1; }},
      {1, 61, 146, 21, kBarrier, [&] { foe.mpRecoveryUp = 3; }},
      {1, 82, 146, 20, kField, [&] { battle.hpRecoveryField = 1; }},
  };
  for (const Icon& icon : icons) {
    for (BattleSide& s : battle.side) {
      s.poisoned = 0;
      s.curseTurns = 0;
      s.magicGuard = s.mpRecoveryUp = 0;
    }
    battle.hpRecoveryField = 0;
    icon.set();
    drawBattle(0, 0, kBattleWidth, kBattleHeight);
    for (const Icon& other : icons) {
      const bool shown = other.x == icon.x && other.y == icon.y;
      // A field shows at both sides' field places.
      const bool field = icon.colour == kField && other.colour == kField;
      // Both edges: an icon a few pixels off shows at one of them.
      for (int x : {other.x, other.x + other.w - 1})
        EXPECT_EQ(At(x, other.y + 10) == icon.colour, shown || field)
            << "set " << icon.x << "," << icon.y << " seen at " << x << "," << other.y;
    }
  }
}

TEST_F(BattleScreenTest, ShortAndVerticalMovesLandWhereTheyShould) {
  const uint16_t card = CardColour(static_cast<int>(battle.side[0].hand[1].card));
  ClearTable();
  // Under one step: drawn at the start only.
  EXPECT_TRUE(moveCard(0, 0, 1, true, 240, 20, 263, 20));
  EXPECT_EQ(At(241, 25), card);
  EXPECT_EQ(At(355, 25), BackColour(355, 25));
  // Straight down: no x to follow, so it steps along y and ends in place,
  // leaving nothing of itself behind.
  drawBattle(0, 0, kBattleWidth, kBattleHeight);
  EXPECT_TRUE(moveCard(0, 0, 1, true, 240, 0, 240, 300));
  EXPECT_EQ(At(290, 300 + 137), card);
  EXPECT_EQ(At(290, 299), BackColour(290, 299));
  EXPECT_EQ(At(290, 50), BackColour(290, 50));
}

TEST_F(BattleScreenTest, HoveringAPlayedCardLiftsItAndTheNextMoveLetsItGo) {
  // Two of the opponent's cards played; the first lies under the second.
  BattleSide& foe = battle.side[1];
  foe.played[1] = {21, 1};
  foe.played[2] = {22, 2};
  Copy(gfx.PartsSheet, 100, 538, 200, 138, gfx.PartsSheet, 100, 138);  // any pictures
  FillImageRect(gfx.PartsSheet, 100, 538, 100, 138, 0x0000FF);
  drawBattle(0, 0, kBattleWidth, kBattleHeight);
  const uint16_t under = At(130, 200);
  ASSERT_NE(under, Rgb5(31, 0, 0));
  // Only the first card's own strip, left of the second, picks it.
  hoverPlayed(115, 200 - kMaxViewOffset);
  EXPECT_EQ(At(130, 200), Rgb5(31, 0, 0)) << "the first card comes to the top";
  hoverPlayed(5, 5);
  EXPECT_EQ(At(130, 200), under);
}

TEST_F(BattleScreenTest, BannersAndZoomsPeakInTheMiddleOfTheView) {
  // The turn banner grows to three times its size, centred: at its peak
  // the middle of the view shows the turn label, and the digits' place in
  // the sheet was cleared for a two-digit turn.
  ClearTable();
  battle.turn = 12;
  ASSERT_TRUE(turnBanner());
  EXPECT_EQ(At(320, 240), kTurnLabel);
  EXPECT_EQ(gfx.PartsSheet.At(289 + 83, 276 + 61), kKey5);
  // A played card zooms to four times its size over the view's middle.
  ClearTable();
  FillImageRect(gfx.PartsSheet, 300, 538, 100, 138, 0x00FF00);
  ASSERT_TRUE(zoomCard(1, 3));
  EXPECT_EQ(At(320, 240), Rgb5(0, 31, 0));
  EXPECT_EQ(At(120, 10), Rgb5(0, 31, 0)) << "400 wide from x 120";
  EXPECT_EQ(At(518, 10), Rgb5(0, 31, 0)) << "4 x 100 falls a hair short: 399";
  EXPECT_EQ(At(119, 10), BackColour(119, 10));
  EXPECT_EQ(At(519, 10), BackColour(519, 10));
}

}  // namespace
}  // namespace battle_test
