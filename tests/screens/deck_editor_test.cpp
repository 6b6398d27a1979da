// The deck editor: whole headless runs that open it from the status bar and
// drag cards as a player would, and the page drawn from chosen lists.
#include "screens/deck_editor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/database.h"
#include "data/player.h"
#include "graphics/image.h"
#include "graphics/k16.h"
#include "graphics/textwindow.h"
#include "script/reader.h"
#include "shell/input.h"
#include "support/game_fixture.h"
#include "support/k16_writer.h"

namespace {

constexpr uint16_t kUpArrow = Rgb5(31, 0, 0);
constexpr uint16_t kDownArrow = Rgb5(0, 31, 0);
constexpr uint16_t kNumberMark = Rgb5(31, 31, 0);
constexpr uint16_t kAttributeMark = Rgb5(0, 31, 31);
constexpr uint16_t kScratchJunk = Rgb5(31, 0, 31);

constexpr uint16_t PageColour(int x, int y) { return Rgb5(x / 40, y / 40, 28); }
constexpr uint16_t CardColour(uint32_t n) {
  return Rgb5(static_cast<int>(n % 32), 8 + static_cast<int>(n / 32 % 4) * 8, 12);
}

// A card picture in its own colour with two transparent bands (index 255):
// local x 4..29 and local y 10..49. Through them a card shows what lies
// below it, so a covered card drawn larger than its visible part would show.
void WriteCardPicture(const std::filesystem::path& path, uint16_t colour) {
  constexpr int w = 100, h = 138, rowSize = 100;
  std::vector<uint8_t> file(kK16PixelOffset + rowSize * h, 0);
  auto put32 = [&](size_t at, int32_t v) { std::memcpy(&file[at], &v, 4); };
  put32(16, w);
  put32(20, h);
  std::memcpy(&file[kK16PaletteOffset], &colour, 2);
  const uint16_t key = kKey5;
  std::memcpy(&file[kK16PaletteOffset + 2 * 255], &key, 2);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool band = (x >= 4 && x < 30) || (y >= 10 && y < 50);
      file[kK16PixelOffset + static_cast<size_t>(h - 1 - y) * rowSize + x] = band ? 255 : 0;
    }
  }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

// The stock's and the deck's places (k = 1, 2, ...) and the discard pile's.
int StockX(int k) { return 8 + (k - 1) % 7 * 32; }
int StockY(int k) { return 40 + (k - 1) / 7 * 69; }
int DeckX(int k) { return 328 + (k - 1) % 7 * 32; }
int DeckY(int k) { return 40 + (k - 1) / 7 * 69; }

std::vector<uint32_t> Cards(const uint32_t* cards, int32_t count) {
  return {cards + 1, cards + 1 + count};
}
std::vector<uint32_t> Stock() { return Cards(player.stock.cards, player.stock.count); }
std::vector<uint32_t> Deck() { return Cards(player.deck.cards, player.deck.count); }

uint16_t At(int x, int y) { return gfx.Screen.At(x, y); }

// The lead wires the editor into the shell; these runs do it themselves,
// right after the game has registered its own handlers.
class EditorHost : public headless::HeadlessHost {
 public:
  using HeadlessHost::HeadlessHost;
  bool OpenWindow(const char* title, plat::WindowProc proc) override {
    SetModeHandlers(mode::DeckEditor,
                    {deckEditorPress, deckEditorDetail, deckEditorRelease, deckEditorMove});
    SetScreenOpener(ScreenButton::DeckEditor, openDeckEditor);
    return HeadlessHost::OpenWindow(title, proc);
  }
};

class DeckEditorTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    ResetDeckEditor();
    const std::string dir = dataDir.string() + "/";
    WriteTestK16(dir + "deckback.K16", 640, 622, [](int x, int y) -> uint16_t {
      if (y < 480) return PageColour(x, y);
      if (x < 28) return y < 506 ? kUpArrow : y < 532 ? kDownArrow : 0;
      if (x < 52) return y < 504 ? kNumberMark : y < 528 ? kAttributeMark : 0;
      return kScratchJunk;
    });
    WriteTestK16(dir + "bg.K16", 640, 480, [](int x, int y) { return Rgb5(x / 40, y / 30, 8); });
    std::filesystem::create_directories(dataDir / "cards");
    for (uint32_t n = 1; n <= kCardCount; ++n)
      WriteCardPicture(dataDir / "cards" / ("cards" + std::to_string(n) + ".K16"), CardColour(n));
    // A picture for a card number no game has: it must never be drawn.
    WriteCardPicture(dataDir / "cards" / "cards77.K16", Rgb5(1, 2, 3));
    Database cards{};
    for (int n = 1; n <= kCardCount; ++n) {
      cards.cards[n].attribute = n % 5;
      std::snprintf(cards.cards[n].name, sizeof cards.cards[n].name, "Card%d", n);
    }
    WriteData("CardData.dat",
              std::string(reinterpret_cast<const char*>(cards.cards), sizeof cards.cards));
    WriteData("config.scn", "");
  }
  void TearDown() override {
    ResetDeckEditor();
    GameTest::TearDown();
  }

  // The story adds the cards (stock, then deck, each in the order given)
  // and waits for a click; the input opens the editor from its button.
  void Run(const std::vector<int>& stock, const std::vector<int>& deck, const std::string& input) {
    std::string story;
    for (int n : stock) story += ".card add stock " + std::to_string(n) + " 1\n";
    for (int n : deck) story += ".card add deck " + std::to_string(n) + " 1\n";
    story +=
        ".load back bg\n.show back\n.show msg1\n.msg 1\n.update 0\nPick\n.update 0\n.clk\n"
        "Done\n.clk\n";
    WriteData("start.scn", story);
    headless::Options o;
    o.dataDir = dataDir.string();
    o.echo = false;
    o.testFont = true;
    host = std::make_unique<EditorHost>(o);
    std::vector<headless::InputEvent> events;
    std::string error;
    ASSERT_TRUE(headless::ParseInputScript("wait click 540 458\n" + input + "wait key esc\n",
                                           events, error))
        << error;
    host->SetInput(std::move(events));
    plat::SetHost(host.get());
    ASSERT_EQ(RunGame(), 0);
    EXPECT_TRUE(host->InputDone());
    EXPECT_TRUE(host->boxes.empty());
  }

  static std::string Drag(int x0, int y0, int x1, int y1) {
    auto point = [](int x, int y) { return std::to_string(x) + " " + std::to_string(y) + "\n"; };
    return "wait ldown " + point(x0, y0) + "wait move " + point((x0 + x1) / 2, (y0 + y1) / 2) +
           "wait move " + point(x1, y1) + "wait lup " + point(x1, y1);
  }

  std::string ReadData(const std::string& name) {
    std::ifstream in(dataDir / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  static bool ScreenIsPage() {
    for (int y = 0; y < 480; ++y) {
      if (std::memcmp(gfx.Screen.Row(y), gfx.BackPage.Row(y), 640 * 2) != 0) return false;
    }
    return true;
  }
};

TEST_F(DeckEditorTest, DraggingTheThirdOfFiveStockCardsToTheDeck) {
  // Added out of order: opening the editor puts both lists in number order.
  Run({25, 3, 20, 12, 7}, {9, 5},
      Drag(StockX(3) + 10, StockY(3) + 10, 420, 120) +
          // The right button on the deck's third card shows it; a click closes it.
          "wait rclick " + std::to_string(DeckX(3) + 10) + " 100\nwait click 10 10\n");
  EXPECT_EQ(Stock(), (std::vector<uint32_t>{3, 7, 20, 25}));
  EXPECT_EQ(Deck(), (std::vector<uint32_t>{5, 9, 12}));
  EXPECT_EQ(player.stock.cards[5], 0u);
  EXPECT_EQ(deckEditor.dragSource, 0);
  LineRecord line{};
  msgwin.window[4].GetLine(1, line);
  EXPECT_NE(std::string(line.text).find("Card12"), std::string::npos) << line.text;
  // The page as drawn: the stock's third place holds card 20 now.
  EXPECT_EQ(At(StockX(3) + 2, StockY(3) + 2), CardColour(20));
  EXPECT_EQ(At(DeckX(3) + 2, DeckY(3) + 2), CardColour(12));
  EXPECT_TRUE(ScreenIsPage());
}

TEST_F(DeckEditorTest, AFullDeckRefusesTheDropAndTheCardStays) {
  std::vector<int> deck(100);
  for (int i = 0; i < 100; ++i) deck[static_cast<size_t>(i)] = 1 + i % 50;
  Run({2, 4, 6}, deck, Drag(StockX(1) + 10, StockY(1) + 10, 420, 120));
  EXPECT_EQ(player.deck.count, 100);
  EXPECT_EQ(Stock(), (std::vector<uint32_t>{2, 4, 6}));
  EXPECT_EQ(deckEditor.dragSource, 0);
  EXPECT_TRUE(ScreenIsPage());
}

TEST_F(DeckEditorTest, AReleaseOutsideEveryPileOrOnItsOwnPileCancels) {
  Run({2, 4, 6}, {8},
      // Out of the window (the mouse is captured), between the piles, above
      // the deck, below the discard pile, and back onto the stock.
      Drag(StockX(1) + 10, StockY(1) + 10, -40, 700) +
          Drag(StockX(2) + 10, StockY(2) + 10, 300, 200) +
          Drag(StockX(2) + 10, StockY(2) + 10, 400, 20) +
          Drag(DeckX(1) + 10, DeckY(1) + 10, 400, 450) +
          Drag(DeckX(1) + 10, DeckY(1) + 10, 2000, -3000) +
          Drag(StockX(3) + 10, StockY(3) + 10, 100, 300));
  EXPECT_EQ(Stock(), (std::vector<uint32_t>{2, 4, 6}));
  EXPECT_EQ(Deck(), (std::vector<uint32_t>{8}));
  EXPECT_EQ(deckEditor.discardCount, 0);
  EXPECT_EQ(deckEditor.dragSource, 0);
  // No trace of the dragged picture is left on the page.
  EXPECT_TRUE(ScreenIsPage());
}

TEST_F(DeckEditorTest, DiscardedCardsAreGoneAfterClosingAndFromALaterSave) {
  Run({4, 8, 15}, {2, 6},
      Drag(StockX(2) + 10, StockY(2) + 10, 400, 400) +
          Drag(DeckX(1) + 10, DeckY(1) + 10, 500, 420) +
          // The foot bar closes the editor; then a save into slot 1, and
          // the editor once more.
          "wait click 400 466\n"
          "wait click 616 458\nwait click 320 160\nwait click 320 70\n"
          "wait click 320 466\nwait click 320 310\n"
          "wait click 540 458\n");
  EXPECT_EQ(Stock(), (std::vector<uint32_t>{4, 15}));
  EXPECT_EQ(Deck(), (std::vector<uint32_t>{6}));
  EXPECT_EQ(player.collection[8], 1);
  EXPECT_EQ(player.collection[2], 1);
  // Opened again, the discard pile is empty.
  EXPECT_EQ(deckEditor.discardCount, 0);
  EXPECT_EQ(deckEditor.discard[1], 0u);
  EXPECT_EQ(deckEditor.discard[2], 0u);
  EXPECT_EQ(shell.InputMode, mode::DeckEditor);

  const std::string saved = ReadData("save/save1.dat");
  ASSERT_GE(saved.size(), 20612u);
  auto i32 = [&](size_t at) {
    int32_t v = 0;
    std::memcpy(&v, saved.data() + at, 4);
    return v;
  };
  EXPECT_EQ(i32(2928), 1);  // deck count
  EXPECT_EQ(i32(2936), 6);
  EXPECT_EQ(i32(2940), 0);
  EXPECT_EQ(i32(3336), 2);  // stock count
  EXPECT_EQ(i32(3344), 4);
  EXPECT_EQ(i32(3348), 15);
  EXPECT_EQ(i32(3352), 0);
}

TEST_F(DeckEditorTest, ClosingReturnsToTheWaitingScenario) {
  Run({4}, {2}, "wait click 400 466\nwait click 320 240\n");
  EXPECT_EQ(shell.InputMode, mode::ClickWait);
  EXPECT_STREQ(scn.ScenarioName, "start");
}

std::vector<int> CardsUpTo(int n) {
  std::vector<int> cards;
  for (int i = 1; i <= n; ++i) cards.push_back(i);
  return cards;
}

TEST_F(DeckEditorTest, ALongStockPagesToItsLastCardAndBack) {
  // Down, up, down: the second page holds card 43 alone, under the up arrow.
  Run(CardsUpTo(43), {}, "wait click 300 460\nwait click 300 45\nwait click 300 460\n");
  EXPECT_EQ(deckEditor.firstShown[0], 43);
  EXPECT_EQ(At(StockX(1) + 2, StockY(1) + 2), CardColour(43));
  EXPECT_EQ(At(StockX(4) + 20, StockY(4) + 2), PageColour(StockX(4) + 20, StockY(4) + 2));
  EXPECT_EQ(At(295, 40), kUpArrow);
  EXPECT_EQ(At(295, 455), PageColour(295, 455));
}

TEST_F(DeckEditorTest, MovingTheOnlyCardOfTheLastPageLeavesItEmptyWithTheUpArrow) {
  Run(CardsUpTo(43), {}, "wait click 300 460\n" + Drag(StockX(1) + 10, StockY(1) + 10, 420, 120));
  EXPECT_EQ(player.stock.count, 42);
  EXPECT_EQ(Deck(), (std::vector<uint32_t>{43}));
  EXPECT_EQ(deckEditor.firstShown[0], 43);
  EXPECT_EQ(deckEditor.canScrollUp[0], 1);
  EXPECT_EQ(deckEditor.canScrollDown[0], 0);
  EXPECT_EQ(At(StockX(1) + 2, StockY(1) + 2), PageColour(StockX(1) + 2, StockY(1) + 2));
  EXPECT_EQ(At(295, 40), kUpArrow);
  EXPECT_EQ(At(295, 455), PageColour(295, 455));
}

TEST_F(DeckEditorTest, AttributeOrderPutsAttributeZeroLastAndHoldsForNewCards) {
  // Attributes are n % 5. Stock to attribute order, then a deck card joins it.
  Run(CardsUpTo(12), {13, 14},
      "wait click 300 10\n" + Drag(DeckX(1) + 10, DeckY(1) + 10, 100, 100));
  EXPECT_EQ(Stock(), (std::vector<uint32_t>{1, 6, 11, 2, 7, 12, 3, 8, 13, 4, 9, 5, 10}));
  EXPECT_EQ(Deck(), (std::vector<uint32_t>{14}));
  EXPECT_EQ(deckEditor.byNumber[0], 0);
  EXPECT_EQ(At(300, 10), kAttributeMark);
  EXPECT_EQ(At(272, 8), PageColour(272, 8));
  EXPECT_EQ(At(592, 8), kNumberMark);
}

TEST_F(DeckEditorTest, NumberOrderComesBack) {
  Run(CardsUpTo(12), {}, "wait click 300 10\nwait click 272 8\n");
  EXPECT_EQ(Stock(), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(At(272, 8), kNumberMark);
  EXPECT_EQ(At(300, 10), PageColour(300, 10));
}

// The page drawn straight from lists set by the test.
class DeckEditorDrawTest : public DeckEditorTest {
 protected:
  void SetUp() override {
    DeckEditorTest::SetUp();
    MakeHost();
    CreateGlobalImages();
    ASSERT_EQ(LoadK16At(gfx.WorkPage, "deckback.K16", 0, 0), 1);
    for (int n = 1; n <= kCardCount; ++n) db.cards[n].attribute = n % 5;
  }
  static void SetStock(const std::vector<uint32_t>& cards) {
    player.stock.count = static_cast<int32_t>(cards.size());
    for (size_t i = 0; i < cards.size(); ++i) player.stock.cards[i + 1] = cards[i];
  }
};

TEST_F(DeckEditorDrawTest, OnlyTheVisiblePartOfEachCardIsDrawn) {
  std::vector<uint32_t> stock;
  for (uint32_t n = 1; n <= 42; ++n) stock.push_back(n);
  SetStock(stock);
  for (uint32_t n = 1; n <= 28; ++n) player.deck.cards[n] = n;
  player.deck.count = 28;
  deckEditor.discard[1] = 7;
  deckEditor.discard[2] = 9;
  deckEditor.discardCount = 2;
  drawDeckEditor();

  auto page = [](int x, int y) { return PageColour(x, y); };
  // Through the bands of card 2 the page shows, not card 1 beyond its 36
  // columns; through those of card 8 not card 1 below its 71 rows.
  EXPECT_EQ(At(StockX(2) + 15, StockY(2) + 60), page(StockX(2) + 15, StockY(2) + 60));
  EXPECT_EQ(At(StockX(8) + 35, StockY(8) + 30), page(StockX(8) + 35, StockY(8) + 30));
  EXPECT_EQ(At(StockX(1) + 2, StockY(1) + 2), CardColour(1));
  // The seventh column is 88 wide.
  EXPECT_EQ(At(287, StockY(7) + 2), CardColour(7));
  EXPECT_EQ(At(288, StockY(7) + 2), page(288, StockY(7) + 2));
  // Last rows: the stock's 91 high, the deck's 85; discard cards 72.
  EXPECT_EQ(At(StockX(36) + 2, 475), CardColour(36));
  EXPECT_EQ(At(StockX(36) + 2, 476), page(StockX(36) + 2, 476));
  EXPECT_EQ(At(DeckX(22) + 2, 331), CardColour(22));
  EXPECT_EQ(At(DeckX(22) + 2, 332), page(DeckX(22) + 2, 332));
  EXPECT_EQ(At(330, 447), CardColour(7));
  EXPECT_EQ(At(330, 448), page(330, 448));
  // Card 9, the discard pile's last, is whole in width.
  EXPECT_EQ(At(360 + 99, 378), CardColour(9));
  // The erase source is the finished page.
  EXPECT_TRUE(ScreenIsPage());
}

TEST_F(DeckEditorDrawTest, AFullWidthAndHeightCardWhereNothingCoversIt) {
  std::vector<uint32_t> stock;
  for (uint32_t n = 1; n <= 20; ++n) stock.push_back(n);
  SetStock(stock);
  drawDeckEditor();
  // The last card, place 20 (column 6, row 3 of 6): 100 x 138.
  EXPECT_EQ(At(StockX(20) + 95, StockY(20) + 130), CardColour(20));
  // Place 14 has no card below it: 138 high, seen through card 20's band.
  EXPECT_EQ(At(StockX(14) + 2, StockY(14) + 69 + 20), CardColour(14));
}

// Lists from progress and save files are not believed: counts beyond the
// table and card numbers no game has stay inside the tables.
TEST_F(DeckEditorDrawTest, CountsBeyondCapacityAndStrangeCardNumbersStayInsideTheTables) {
  for (int i = 1; i <= kStockCapacity; ++i)
    player.stock.cards[i] = static_cast<uint32_t>(i % 50 + 1);
  player.stock.cards[1] = 77;
  player.stock.count = 350;
  std::memset(player.collection, 0xA5, sizeof player.collection);
  player.deck.count = -3;
  drawDeckEditor();
  for (uint8_t c : player.collection) ASSERT_EQ(c, 0xA5);
  EXPECT_EQ(player.stock.count, 350);
  EXPECT_EQ(player.stock.cards[kStockCapacity], 77u);  // the largest number last
  EXPECT_EQ(player.stock.cards[1], 1u);

  // In attribute order the strange card goes with attribute 0, last.
  deckEditor.byNumber[0] = 0;
  deckEditor.firstShown[0] = 295;
  drawDeckEditor();
  EXPECT_EQ(player.stock.cards[kStockCapacity], 77u);
  EXPECT_EQ(player.stock.cards[kStockCapacity - 1], 50u);
  EXPECT_EQ(player.stock.cards[1], 1u);
  // Its place (the last: 300 - 295 + 1 = 6) shows the page; its neighbour a card.
  EXPECT_EQ(At(StockX(6) + 50, StockY(6) + 80), PageColour(StockX(6) + 50, StockY(6) + 80));
  EXPECT_EQ(At(StockX(5) + 2, StockY(5) + 2), CardColour(50));

  // A full stock refuses a card, and an emptied deck takes it.
  deckEditor.firstShown[0] = 1;
  drawDeckEditor();
  EXPECT_TRUE(deckEditorPress(StockX(1) + 10, StockY(1) + 10));
  EXPECT_EQ(deckEditor.dragSource, 1);
  EXPECT_TRUE(deckEditorRelease(420, 120));
  EXPECT_EQ(player.deck.count, 1);
  EXPECT_EQ(player.deck.cards[1], 1u);
  EXPECT_EQ(player.stock.count, kStockCapacity - 1);
  EXPECT_TRUE(deckEditorPress(DeckX(1) + 10, DeckY(1) + 10));
  player.stock.count = 400;
  EXPECT_TRUE(deckEditorRelease(100, 100));
  EXPECT_EQ(player.deck.count, 1);
  for (uint8_t c : player.collection) ASSERT_EQ(c, 0xA5);
}

}  // namespace
