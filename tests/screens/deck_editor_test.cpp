// The deck editor: drags as a player makes them, the page drawn from the
// lists, and a whole run that opens it from the status bar, moves cards,
// discards some, closes and saves; the collection viewer.
#include "screens/deck_editor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/waits.h"
#include "data/database.h"
#include "data/player.h"
#include "graphics/k16.h"
#include "graphics/textwindow.h"
#include "screens/collection.h"
#include "screens/screens_fixture.h"
#include "script/presentation.h"
#include "script/reader.h"
#include "support/save_files.h"

namespace {

// Top-left of place k (1, 2, ...) of the stock's and the deck's pages.
int StockX(int k) { return 8 + (k - 1) % 7 * 32; }
int PlaceY(int k) { return 40 + (k - 1) / 7 * 69; }
int DeckX(int k) { return 328 + (k - 1) % 7 * 32; }

std::vector<uint32_t> List(const uint32_t* cards, int32_t count) {
  return {cards + 1, cards + 1 + count};
}
std::vector<uint32_t> Stock() { return List(player.stock.cards, player.stock.count); }
std::vector<uint32_t> Deck() { return List(player.deck.cards, player.deck.count); }

bool ScreenIsPage() {
  for (int y = 0; y < 480; ++y)
    if (std::memcmp(gfx.Screen.Row(y), gfx.BackPage.Row(y), 640 * 2) != 0) return false;
  return true;
}

std::string Detail() {
  LineRecord line{};
  msgwin.window[4].GetLine(1, line);
  return line.text;
}

class DeckEditorTest : public ScreensTest {
 protected:
  void Open(int stock, int deck) {
    Direct();
    for (int n = 1; n <= stock; ++n) addCards(player.stock, n, 1);
    for (int n = 1; n <= deck; ++n) addCards(player.deck, 1 + (n - 1) % 50, 1);
    ASSERT_TRUE(openDeckEditor());
  }
};

TEST_F(DeckEditorTest, TheDraggedCardFollowsThePointerAndTheRightButtonWaits) {
  Open(3, 100);
  ASSERT_TRUE(deckEditorPress(StockX(1) + 10, PlaceY(1) + 10));
  deckEditorMove(150, 330);
  // The whole picture, 50 left of and 69 above the pointer, unkeyed.
  const uint16_t card = CardColour(1);
  // clang-format off
  ExpectShows({{100, 261, card}, {199, 398, card}, {150, 330, card}, {110, 300, kKey5},
               {99, 261, kPage}, {100, 260, kPage}, {200, 398, kPage},
               {199, 399, kPage}}, kDeckBlue);
  // clang-format on
  // A card's detail does not open while one is dragged.
  EXPECT_TRUE(deckEditorDetail(DeckX(1) + 10, PlaceY(1) + 10));
  EXPECT_EQ(Detail(), "");
  // The full deck refuses it; out of the window nothing takes it.
  EXPECT_TRUE(deckEditorRelease(420, 120));
  EXPECT_EQ(player.deck.count, 100);
  for (auto [x, y] : {std::pair{-40, 700}, {300, 200}, {2000, -3000}, {100, 300}}) {
    ASSERT_TRUE(deckEditorPress(StockX(2) + 10, PlaceY(2) + 10));
    deckEditorMove(x, y);
    EXPECT_TRUE(deckEditorRelease(x, y));
  }
  EXPECT_EQ(Stock(), (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(deckEditor.dragSource, 0);
  EXPECT_TRUE(ScreenIsPage()) << "the dragged picture left a trace";
  // Without a drag the right button shows the card.
  Input("wait click 1 1");
  EXPECT_TRUE(deckEditorDetail(DeckX(1) + 10, PlaceY(1) + 10));
  EXPECT_NE(Detail().find("Card1"), std::string::npos) << Detail();
}

// Through card 2's bands the page shows, not card 1 past its 36 columns;
// through card 8's, not card 1 below its 71 rows. The seventh column is 88
// wide; last rows 91 (stock) and 85 (deck) high, discard cards 72; the
// pile's last card is whole in width; with nothing below a card is 138 high.
TEST_F(DeckEditorTest, OnlyTheVisiblePartOfEachCardIsDrawn) {
  Open(42, 28);
  for (uint32_t n = 1; n <= 2; ++n) deckEditor.discard[n] = 6 + n;
  deckEditor.discardCount = 2;
  drawDeckEditor();
  // clang-format off
  ExpectShows({{StockX(2) + 15, PlaceY(2) + 60, kPage}, {StockX(8) + 35, PlaceY(8) + 30, kPage},
               {StockX(1) + 2, PlaceY(1) + 2, CardColour(1)}, {287, PlaceY(7) + 2, CardColour(7)},
               {288, PlaceY(7) + 2, kPage}, {StockX(36) + 2, 475, CardColour(36)},
               {StockX(36) + 2, 476, kPage}, {DeckX(22) + 2, 331, CardColour(22)},
               {DeckX(22) + 2, 332, kPage}, {330, 447, CardColour(7)}, {330, 448, kPage},
               {360 + 99, 378, CardColour(8)}}, kDeckBlue);
  // clang-format on
  EXPECT_TRUE(ScreenIsPage()) << "the erase source is the finished page";
  player.stock.count = 20;
  drawDeckEditor();
  // clang-format off
  ExpectShows({{StockX(20) + 95, PlaceY(20) + 130, CardColour(20)},
               {StockX(14) + 2, PlaceY(14) + 89, CardColour(14)}}, kDeckBlue);
  // clang-format on
}

TEST_F(DeckEditorTest, PagesArrowsAndTheEmptyLastPage) {
  Open(43, 0);
  ExpectShows({{300, 460, kDownArrow}, {300, 45, kPage}}, kDeckBlue);
  ASSERT_TRUE(deckEditorPress(300, 460));
  // clang-format off
  ExpectShows({{StockX(1) + 2, PlaceY(1) + 2, CardColour(43)}, {120, 42, kPage},
               {300, 45, kUpArrow}, {300, 460, kPage}}, kDeckBlue);
  // clang-format on
  ASSERT_TRUE(deckEditorPress(StockX(1) + 50, PlaceY(1) + 80));
  ASSERT_TRUE(deckEditorRelease(420, 120));
  EXPECT_EQ(Deck(), (std::vector<uint32_t>{43}));
  EXPECT_EQ(deckEditor.firstShown[kPileStock], 43);
  // clang-format off
  ExpectShows({{StockX(1) + 2, PlaceY(1) + 2, kPage}, {300, 45, kUpArrow},
               {300, 460, kPage}}, kDeckBlue);
  // clang-format on
}

TEST_F(DeckEditorTest, AttributeOrderPutsAttributeZeroLastAndHoldsForNewCards) {
  Open(12, 0);  // attributes are n mod 5
  addCards(player.deck, 13, 1);
  addCards(player.deck, 14, 1);
  ASSERT_TRUE(deckEditorPress(300, 10));
  ASSERT_TRUE(deckEditorPress(DeckX(1) + 10, PlaceY(1) + 10));
  ASSERT_TRUE(deckEditorRelease(100, 100));
  EXPECT_EQ(Stock(), (std::vector<uint32_t>{1, 6, 11, 2, 7, 12, 3, 8, 13, 4, 9, 5, 10}));
  ExpectShows({{300, 10, kAttributeMark}, {272, 8, kPage}, {592, 8, kNumberMark}}, kDeckBlue);
  ASSERT_TRUE(deckEditorPress(272, 8));
  EXPECT_EQ(Stock(), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
  EXPECT_EQ(At(272, 8), kNumberMark);
}

// Lists from progress and save files are not believed: counts beyond the
// table and card numbers no game has stay inside the tables.
TEST_F(DeckEditorTest, CountsBeyondCapacityAndStrangeCardNumbersStayInsideTheTables) {
  Open(0, 0);
  for (int i = 1; i <= kStockCapacity; ++i) player.stock.cards[i] = i % 50 + 1;
  player.stock.cards[1] = 77;
  player.stock.count = 350;
  player.deck.count = -3;
  std::memset(player.collection, 0xA5, sizeof player.collection);
  deckEditor.byNumber[kPileStock] = 0;
  deckEditor.firstShown[kPileStock] = 295;
  drawDeckEditor();
  EXPECT_EQ(player.stock.cards[kStockCapacity], 77u);  // with attribute 0, last
  EXPECT_EQ(player.stock.cards[kStockCapacity - 1], 50u);
  // clang-format off
  ExpectShows({{StockX(6) + 50, PlaceY(6) + 80, kPage},
               {StockX(5) + 2, PlaceY(5) + 2, CardColour(50)}}, kDeckBlue);
  // clang-format on
  deckEditor.firstShown[kPileStock] = 1;
  drawDeckEditor();
  ASSERT_TRUE(deckEditorPress(StockX(1) + 10, PlaceY(1) + 10));
  ASSERT_TRUE(deckEditorRelease(420, 120));
  EXPECT_EQ(Deck(), (std::vector<uint32_t>{1}));
  EXPECT_EQ(player.stock.count, kStockCapacity - 1);
  for (uint8_t c : player.collection) ASSERT_EQ(c, 0xA5);
}

TEST_F(DeckEditorTest, MovedAndDiscardedCardsAsTheGameAndALaterSaveKeepThem) {
  // Added out of order: the editor shows and keeps both lists in number order.
  // The foot bar closes; a save into slot 1; back to the scene; the wait goes on.
  Run(".card add stock 25 1\n.card add stock 3 1\n.card add stock 20 1\n"
      ".card add stock 12 1\n.card add stock 7 1\n.card add deck 9 1\n.card add deck 5 1\n",
      "wait click 540 458\n" + Drag(StockX(3) + 10, PlaceY(3) + 10, 420, 120) +
          Drag(StockX(1) + 10, PlaceY(1) + 10, 400, 400) +
          "wait click 400 466\nwait click 616 458\nwait click 320 160\nwait click 320 70\n"
          "wait click 320 466\nwait click 320 310\nwait click 320 240\n");
  EXPECT_EQ(Stock(), (std::vector<uint32_t>{7, 20, 25}));
  EXPECT_EQ(Deck(), (std::vector<uint32_t>{5, 9, 12}));
  EXPECT_EQ(player.collection[3], 1);  // discarded, still collected
  LineRecord line{};
  msgwin.window[1].GetLine(2, line);
  EXPECT_STREQ(line.text, "Done");
  const FileImage saved = FileImage::Read("slot", dataDir / "save/save1.dat");
  EXPECT_EQ(
      (std::vector<int32_t>{saved.I32("deckCount"), saved.I32("deck", 3), saved.I32("stockCount"),
                            saved.I32("stock", 3), saved.I32("stock", 4)}),
      (std::vector<int32_t>{3, 12, 3, 25, 0}));
}

// The collection viewer: three pages of cards, obtained ones with their own
// pictures, and the way back to the waiting scene.

// Centre of place k (1..18) of the collection's page.
int GridX(int k) { return 8 + 100 * ((k - 1) % 6) + 50; }
int GridY(int k) { return 33 + 138 * ((k - 1) / 6) + 69; }
uint16_t Page(int x, int y) { return PageColour(x, y, kCollectionBlue); }

// What place k shows: the card number, -1 the common picture, 0 the page.
int PlaceShows(int k) {
  const uint16_t p = At(GridX(k), GridY(k));
  if (p == kUnowned) return -1;
  for (int n = 1; n <= kCardCount; ++n)
    if (p == CardColour(static_cast<uint32_t>(n))) return n;
  return p == Page(GridX(k), GridY(k)) ? 0 : -2;
}

class CollectionTest : public ScreensTest {
 protected:
  // The detail view a point opens, by the line it starts with; "" for none.
  std::string DetailAt(int x, int y, bool right) {
    msgwin.window[4].ClearAll();
    shell.LeftDown = 0;  // the last click's release is not delivered
    Input("wait click 1 1");
    EXPECT_TRUE(right ? collectionDetail(x, y) : collectionClick(x, y))
        << (host->log.empty() ? "" : host->log.back());
    LineRecord line{};
    msgwin.window[4].GetLine(1, line);
    return line.text;
  }
  void Open() {
    Direct();
    for (int n = 1; n <= kCardCount; ++n) player.collection[n] = 1;
    player.collection[2] = player.collection[7] = 0;
    player.collection[3] = 2;  // any byte but 0 counts as obtained
    ASSERT_TRUE(openCollectionViewer());
  }
  // Each arrow's first column is keyed.
  static void ExpectArrows(bool up, bool down) {
    // clang-format off
    ExpectShows({{620, 46, up ? kUpArrow : kPage}, {637, 447, down ? kDownArrow : kPage},
                 {610, 46, kPage}, {620, 35, kPage}, {620, 448, kPage}}, kCollectionBlue);
    // clang-format on
  }
};

TEST_F(CollectionTest, ThreePagesOfEighteenAndTheArrowsThatScrollThem) {
  Open();
  const int owned[] = {1, -1, 3, 4, 5, 6, -1};
  for (int k = 1; k <= 18; ++k) EXPECT_EQ(PlaceShows(k), k <= 7 ? owned[k - 1] : k) << k;
  ExpectShows({{7, 100, kPage}, {607, 446, CardColour(18)}, {608, 446, kPage}}, kCollectionBlue);
  ExpectArrows(false, true);
  ASSERT_TRUE(collectionClick(615, 40));  // no page before the first
  ASSERT_TRUE(collectionClick(615, 430));
  for (int k = 1; k <= 18; ++k) EXPECT_EQ(PlaceShows(k), 18 + k) << k;
  ExpectArrows(true, true);
  ASSERT_TRUE(collectionClick(615, 430));
  ASSERT_TRUE(collectionClick(615, 430));  // none after the third
  for (int k = 1; k <= 18; ++k) EXPECT_EQ(PlaceShows(k), k <= 14 ? 36 + k : 0) << k;
  ExpectArrows(true, false);
  EXPECT_EQ(DetailAt(GridX(16), GridY(16), false), "");
  EXPECT_EQ(DetailAt(GridX(18), GridY(18), true), "");
  ASSERT_TRUE(collectionClick(615, 40));
  ASSERT_TRUE(collectionClick(615, 40));
  EXPECT_EQ(collection.firstShown, 1);
  ExpectArrows(false, true);
}

TEST_F(CollectionTest, ObtainedCardsOpenTheirDetailOnEitherButton) {
  Open();
  EXPECT_EQ(DetailAt(GridX(2), GridY(2), false), "");
  EXPECT_EQ(DetailAt(GridX(7), GridY(7), true), "");
  EXPECT_EQ(DetailAt(4, 100, false), Sjis("「Card1」"));
  EXPECT_EQ(DetailAt(104, 171, true), Sjis("「Card8」"));
  EXPECT_EQ(DetailAt(607, 446, false), Sjis("「Card18」"));
  EXPECT_EQ(At(GridX(3), GridY(3)), CardColour(3));  // the page is back
}

TEST_F(CollectionTest, TheFootBarGoesBackToTheSameClickWaitWithItsCursor) {
  Run("",
      "wait screenshot before\nwait click 570 450\nwait click 615 430\nwait click 3 466\n"
      "wait click 635 466\nwait screenshot back\n");
  EXPECT_EQ(shell.InputMode, mode::ClickWait);
  EXPECT_TRUE(scene.cursorRunning);
  EXPECT_EQ(scn.LineNumber, 8);  // the first ".clk"
  ASSERT_FALSE(Shot("before").empty());
  EXPECT_TRUE(Shot("before") == Shot("back")) << "the scene came back otherwise";
}

}  // namespace
