// The collection viewer in whole headless runs: opened from its status bar
// button at a click wait, paged with its arrows, cards opened on either
// button, and the foot bar back into the waiting scenario.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>

#include "common/png_io.h"
#include "core/waits.h"
#include "data/database.h"
#include "graphics/image.h"
#include "graphics/textwindow.h"
#include "k16/k16_core.h"
#include "screens/collection.h"
#include "script/reader.h"
#include "shell/input.h"
#include "support/files.h"
#include "support/game_fixture.h"
#include "support/k16_writer.h"

namespace {

constexpr uint16_t kArrowUp = Rgb5(16, 0, 31);
constexpr uint16_t kArrowDown = Rgb5(31, 0, 16);
constexpr uint16_t kUnowned = Rgb5(1, 1, 1);

// Card n's picture, and its big picture (darker, so the two never match).
constexpr uint16_t CardColour(int n) { return Rgb5(n % 32, 8 + n / 32 * 8, 12); }
constexpr uint16_t BigColour(int n) { return Rgb5(n % 32, 2, 28); }
// The viewer's page and the scene's background, each a coarse ramp.
constexpr uint16_t PageColour(int x, int y) { return Rgb5(20, x / 80, y / 60); }
constexpr uint16_t SceneColour(int x, int y) { return Rgb5(x / 40, y / 30, 8); }

// Centre of place k (1..18) of the page.
int PlaceX(int k) { return 8 + 100 * ((k - 1) % 6) + 50; }
int PlaceY(int k) { return 33 + 138 * ((k - 1) / 6) + 69; }

// The status bar button of the viewer, and the scene's click wait.
constexpr const char* kOpen = "wait click 570 450\n";
constexpr const char* kDown = "wait click 615 430\n";
constexpr const char* kUp = "wait click 615 40\n";

// The shell is wired afresh when the game starts; the viewer's handlers
// join it once the window opens, as the composition root will register them.
class ViewerHost : public headless::HeadlessHost {
 public:
  using HeadlessHost::HeadlessHost;
  bool OpenWindow(const char* title, plat::WindowProc proc) override {
    SetModeHandlers(mode::Collection, {collectionClick, collectionDetail, nullptr, nullptr});
    SetScreenOpener(ScreenButton::Collection, openCollectionViewer);
    return HeadlessHost::OpenWindow(title, proc);
  }
};

class CollectionRunTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    ResetCollection();
    const std::string dir = dataDir.string() + "/";
    std::filesystem::create_directories(dir + "cards");
    std::filesystem::create_directories(dir + "cardl");
    WriteTestK16(dir + "bg.K16", 640, 480, SceneColour);
    // The page; below it the two arrows, each with a keyed left column.
    WriteTestK16(dir + "collectionback.K16", 640, 622, [](int x, int y) {
      if (y < 480) return PageColour(x, y);
      if (x >= 28 || y >= 532) return kKey5;
      if (x == 0) return kKey5;
      return y < 506 ? kArrowUp : kArrowDown;
    });
    for (int n = 1; n <= kCardCount; ++n) {
      WriteTestK16(dir + "cards/cards" + std::to_string(n) + ".K16", 100, 138,
                   [n](int, int) { return CardColour(n); });
    }
    // Big pictures only for the cards whose detail a test may open.
    for (int n : {1, 2, 3, 7, 18}) {
      WriteTestK16(dir + "cardl/cardl" + std::to_string(n) + ".K16", 300, 414,
                   [n](int, int) { return BigColour(n); });
    }
    WriteTestK16(dir + "cards/cardsUN.k16", 100, 138, [](int, int) { return kUnowned; });
    Database cards{};
    for (int n = 1; n <= kCardCount; ++n)
      std::snprintf(cards.cards[n].name, sizeof cards.cards[n].name, "Card%d", n);
    WriteData("CardData.dat",
              std::string(reinterpret_cast<const char*>(cards.cards), sizeof cards.cards));
    WriteData("config.scn", "");
    WriteData("start.scn",
              ".load back bg\n.show back\n.show msg1\n.msg 1\n.update 0\nBefore\n.update 0\n"
              ".clk\nAfter\n.update 0\n.clk\n");
    // Every card obtained unless a test says otherwise.
    flags = std::string(kCardCount + 1, '\1');
    flags[0] = '\0';
  }

  void TearDown() override {
    ResetCollection();
    GameTest::TearDown();
  }

  // The whole program with the input, the collection flags from the
  // progress file; the input ends the run with Esc.
  void Run(const std::string& input) {
    WriteData("save/Collection.dat", flags);
    ResetGameState();
    ResetCollection();
    headless::Options o;
    o.dataDir = dataDir.string();
    o.echo = false;
    o.testFont = true;
    o.screenshotDir = (dataDir / "shots").string();
    std::filesystem::create_directories(dataDir / "shots");
    host = std::make_unique<ViewerHost>(o);
    std::vector<headless::InputEvent> events;
    std::string error;
    ASSERT_TRUE(headless::ParseInputScript(input + "wait key esc\n", events, error)) << error;
    host->SetInput(std::move(events));
    plat::SetHost(host.get());
    ASSERT_EQ(RunGame(), 0);
    EXPECT_TRUE(host->boxes.empty()) << BoxTexts()[0];
    EXPECT_TRUE(host->InputDone());
  }

  toolpng::RgbaImage Shot(const std::string& name) const {
    toolpng::RgbaImage image;
    std::string error;
    EXPECT_TRUE(toolpng::ReadPng((dataDir / "shots" / (name + ".png")).string(), image, error))
        << error;
    return image;
  }

  static uint16_t Pixel(const toolpng::RgbaImage& shot, int x, int y) {
    if (x < 0 || y < 0 || x >= shot.width || y >= shot.height) return 0xFFFF;
    const uint8_t* p = shot.At(x, y);
    return Rgb5(p[0] >> 3, p[1] >> 3, p[2] >> 3);
  }

  // Which card picture each place of a screenshot shows: the card number,
  // -1 for the not-yet-obtained picture, 0 for the bare page.
  static int PlaceShows(const toolpng::RgbaImage& shot, int k) {
    const int x = PlaceX(k), y = PlaceY(k);
    const uint16_t p = Pixel(shot, x, y);
    if (p == kUnowned) return -1;
    if (p == PageColour(x, y)) return 0;
    for (int n = 1; n <= kCardCount; ++n) {
      if (p == CardColour(n)) return n;
    }
    return -2;
  }

  // Whether the arrows are drawn, each with its keyed column showing the page.
  static void ExpectArrows(const toolpng::RgbaImage& shot, bool up, bool down,
                           const std::string& when) {
    EXPECT_EQ(Pixel(shot, 620, 46), up ? kArrowUp : PageColour(620, 46)) << when;
    EXPECT_EQ(Pixel(shot, 620, 432), down ? kArrowDown : PageColour(620, 432)) << when;
    EXPECT_EQ(Pixel(shot, 610, 46), PageColour(610, 46)) << when;
    EXPECT_EQ(Pixel(shot, 637, 447), down ? kArrowDown : PageColour(637, 447)) << when;
    for (auto [x, y] : {std::pair{620, 35}, {620, 62}, {620, 421}, {620, 448}, {638, 430}})
      EXPECT_EQ(Pixel(shot, x, y), PageColour(x, y)) << when << " " << x << "," << y;
  }

  // Whether a screenshot shows card n's detail view (its big picture).
  static bool ShowsDetailOf(const toolpng::RgbaImage& shot, int n) {
    return Pixel(shot, 166, 239) == BigColour(n);
  }

  std::string flags;
};

TEST_F(CollectionRunTest, TheArrowsPageThroughThreePagesAndTheThirdEndsAtCard50) {
  // An arrow that cannot scroll is no arrow: the first click on the up
  // arrow and the third on the down one change nothing.
  Run(std::string(kOpen) + "wait screenshot first\n" + kUp + kDown + "wait screenshot second\n" +
      kDown + "wait screenshot third\n" + kDown +
      // An empty place of the third page opens nothing on either button.
      "wait click " + std::to_string(PlaceX(16)) + " " + std::to_string(PlaceY(16)) + "\n" +
      "wait rclick " + std::to_string(PlaceX(18)) + " " + std::to_string(PlaceY(18)) + "\n" +
      "wait screenshot still\n" + kUp + kUp + "wait screenshot again\n");

  const auto first = Shot("first"), second = Shot("second"), third = Shot("third");
  for (int k = 1; k <= 18; ++k) {
    EXPECT_EQ(PlaceShows(first, k), k) << k;
    EXPECT_EQ(PlaceShows(second, k), 18 + k) << k;
    EXPECT_EQ(PlaceShows(third, k), k <= 14 ? 36 + k : 0) << k;
  }
  // Pictures start at x 8: the four columns before them are the page's.
  EXPECT_EQ(Pixel(first, 7, 100), PageColour(7, 100));
  EXPECT_EQ(Pixel(first, 8, 100), CardColour(1));
  EXPECT_EQ(Pixel(first, 607, 446), CardColour(18));
  EXPECT_EQ(Pixel(first, 608, 446), PageColour(608, 446));
  ExpectArrows(first, false, true, "first page");
  ExpectArrows(second, true, true, "second page");
  ExpectArrows(third, true, false, "third page");

  const auto still = Shot("still");
  EXPECT_TRUE(still.rgba == third.rgba) << "the empty places opened something";
  EXPECT_TRUE(Shot("again").rgba == first.rgba) << "back up twice is the first page again";
  EXPECT_EQ(collection.firstShown, 1);
  EXPECT_EQ(shell.InputMode, mode::Collection);
}

TEST_F(CollectionRunTest, UnobtainedCardsShowTheCommonPictureAndOpenNothing) {
  flags[2] = '\0';
  flags[7] = '\0';
  flags[3] = '\2';  // any non-zero byte of the file counts as obtained
  const std::string two = std::to_string(PlaceX(2)) + " " + std::to_string(PlaceY(2)) + "\n";
  const std::string three = std::to_string(PlaceX(3)) + " " + std::to_string(PlaceY(3)) + "\n";
  Run(std::string(kOpen) + "wait screenshot page\n" + "wait click " + two + "wait rclick " + two +
      "wait screenshot unowned\n" + "wait rclick " + three + "wait screenshot detail\n" +
      "wait click 320 240\n" + "wait screenshot closed\n");

  const auto page = Shot("page");
  EXPECT_EQ(PlaceShows(page, 1), 1);
  EXPECT_EQ(PlaceShows(page, 2), -1);
  EXPECT_EQ(PlaceShows(page, 3), 3);
  EXPECT_EQ(PlaceShows(page, 7), -1);
  EXPECT_TRUE(Shot("unowned").rgba == page.rgba) << "an unobtained card opened its detail";
  const auto detail = Shot("detail");
  EXPECT_TRUE(ShowsDetailOf(detail, 3));
  // The detail texts stand right of the big picture, in window 4.
  EXPECT_EQ(msgwin.window[4].X(), 336);
  EXPECT_EQ(msgwin.window[4].Y(), 48);
  EXPECT_TRUE(Shot("closed").rgba == page.rgba) << "the detail view left something behind";
}

TEST_F(CollectionRunTest, TheHitGridStartsFourPixelsBeforeThePictures) {
  // x 4 and 5 are left of card 1's picture, x 607 is card 6's last column
  // and y 446 the last row of the grid; x 3, x 608 and y 447 are outside.
  Run(std::string(kOpen) + "wait screenshot page\n" + "wait click 4 100\nwait screenshot a\n" +
      "wait click 320 240\n" + "wait rclick 5 300\nwait screenshot b\n" + "wait click 320 240\n" +
      "wait click 607 446\nwait screenshot c\n" + "wait click 320 240\n" +
      "wait click 3 100\nwait click 608 200\nwait click 300 447\nwait screenshot outside\n");
  EXPECT_TRUE(ShowsDetailOf(Shot("a"), 1));
  EXPECT_TRUE(ShowsDetailOf(Shot("b"), 7));
  EXPECT_TRUE(ShowsDetailOf(Shot("c"), 18));
  EXPECT_TRUE(Shot("outside").rgba == Shot("page").rgba);
}

TEST_F(CollectionRunTest, TheFootBarGoesBackToTheSameClickWait) {
  // The viewer on its second page; x 3 of the bar is not the bar.
  Run("wait screenshot before\n" + std::string(kOpen) + kDown + "wait click 3 466\n" +
      "wait screenshot bar3\n" + "wait click 635 466\n" + "wait screenshot back\n" +
      "wait click 320 240\n" + "wait screenshot after\n");
  const auto bar3 = Shot("bar3");
  EXPECT_EQ(PlaceShows(bar3, 1), 19);
  const auto before = Shot("before"), back = Shot("back");
  EXPECT_EQ(Pixel(back, 200, 300), SceneColour(200, 300));
  EXPECT_TRUE(back.rgba == before.rgba) << "the scene came back otherwise";
  // The same ".clk" was still waiting: the click went on to the next one.
  EXPECT_TRUE(Shot("after").rgba != back.rgba);
  LineRecord line{};
  msgwin.window[1].GetLine(2, line);
  EXPECT_STREQ(line.text, "After");
  EXPECT_EQ(shell.InputMode, mode::ClickWait);
  EXPECT_EQ(scn.LineNumber, 11);
}

// The demo's pictures of both menu screens against the places the screens
// read: the page is copied whole, so it must hold no key; the sprites sit on
// key; the marks of the order buttons are whole squares.
struct DemoPicture {
  k16tool::Picture p;
  explicit DemoPicture(const std::string& file) {
    const auto path = std::filesystem::path(QF_DEMO_DATA_DIR) / file;
    std::string error;
    EXPECT_TRUE(k16tool::ParseK16File(ReadBytes(path), path.string(), p, error)) << error;
  }
  bool Key(int x, int y) const {
    return p.palette[p.index[static_cast<size_t>(y) * p.width + x]] == kKey5;
  }
  int KeyCount(int x, int y, int w, int h) const {
    int n = 0;
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) n += Key(i, j);
    return n;
  }
};

TEST(MenuPictures, PagesWithoutKeyAndTheirSpritesBelow) {
  for (const char* name : {"collectionback.K16", "deckback.K16"}) {
    const DemoPicture pic(name);
    ASSERT_EQ(pic.p.width, 640) << name;
    ASSERT_EQ(pic.p.height, 622) << name;
    EXPECT_EQ(pic.KeyCount(0, 0, 640, 480), 0) << name;
    // The arrows: rounded on key, solid inside.
    for (int top : {480, 506}) {
      EXPECT_TRUE(pic.Key(0, top)) << name << " " << top;
      EXPECT_TRUE(pic.Key(27, top + 25)) << name << " " << top;
      EXPECT_EQ(pic.KeyCount(4, top + 4, 20, 18), 0) << name << " " << top;
    }
  }
  const DemoPicture deck("deckback.K16");
  EXPECT_EQ(deck.KeyCount(28, 480, 24, 48), 0) << "the order marks are whole";
  const DemoPicture unowned("cards/cardsUN.k16");
  ASSERT_EQ(unowned.p.width, 100);
  ASSERT_EQ(unowned.p.height, 138);
  EXPECT_EQ(unowned.KeyCount(0, 0, 100, 138), 0);
}

}  // namespace
