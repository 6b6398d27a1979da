// The collection viewer: three pages of cards, obtained ones with their own
// pictures, and the way back to the waiting scene.
#include "screens/collection.h"

#include "core/waits.h"

#include <gtest/gtest.h>

#include "data/database.h"
#include "data/player.h"
#include "graphics/textwindow.h"
#include "screens/screens_fixture.h"
#include "script/presentation.h"
#include "script/reader.h"

namespace {

// Centre of place k (1..18) of the page.
int PlaceX(int k) { return 8 + 100 * ((k - 1) % 6) + 50; }
int PlaceY(int k) { return 33 + 138 * ((k - 1) / 6) + 69; }
uint16_t Page(int x, int y) { return PageColour(x, y, kCollectionBlue); }

// What place k shows: the card number, -1 the common picture, 0 the page.
int PlaceShows(int k) {
  const uint16_t p = At(PlaceX(k), PlaceY(k));
  if (p == kUnowned) return -1;
  for (int n = 1; n <= kCardCount; ++n)
    if (p == CardColour(static_cast<uint32_t>(n))) return n;
  return p == Page(PlaceX(k), PlaceY(k)) ? 0 : -2;
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
  EXPECT_EQ(DetailAt(PlaceX(16), PlaceY(16), false), "");
  EXPECT_EQ(DetailAt(PlaceX(18), PlaceY(18), true), "");
  ASSERT_TRUE(collectionClick(615, 40));
  ASSERT_TRUE(collectionClick(615, 40));
  EXPECT_EQ(collection.firstShown, 1);
  ExpectArrows(false, true);
}

TEST_F(CollectionTest, ObtainedCardsOpenTheirDetailOnEitherButton) {
  Open();
  EXPECT_EQ(DetailAt(PlaceX(2), PlaceY(2), false), "");
  EXPECT_EQ(DetailAt(PlaceX(7), PlaceY(7), true), "");
  EXPECT_EQ(DetailAt(4, 100, false), Sjis("「Card1」"));
  EXPECT_EQ(DetailAt(104, 171, true), Sjis("「Card8」"));
  EXPECT_EQ(DetailAt(607, 446, false), Sjis("「Card18」"));
  EXPECT_EQ(At(PlaceX(3), PlaceY(3)), CardColour(3));  // the page is back
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
