// Every place on the menu screens that answers a click, from one table: the
// status bar's buttons, the save screen's menu, slots and foot bar, the deck
// editor's foot bar, order buttons, arrows, piles and drop areas, and the
// collection's foot bar, arrows and card grid. Each region is probed at its
// two inner corners and just outside each of its four edges: inside, the
// click does what one at the middle does, and outside something else.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/waits.h"
#include "data/player.h"
#include "graphics/k16.h"
#include "graphics/textwindow.h"
#include "screens/collection.h"
#include "screens/deck_editor.h"
#include "screens/save_screen.h"
#include "screens/screen_change.h"
#include "screens/screens_fixture.h"
#include "script/reader.h"
#include "shell/input.h"

namespace {

// The screen a click goes to; Drop: the release of a card dragged from
// another pile.
enum Screen { kBar, kMenu, kSlots, kEditor, kDrop, kCollection };
// What the region needs to show its effect: byNumber off, scrolled a page on.
enum Setup { kAsOpened, kByAttribute, kScrolled };

struct Region {
  const char* what;
  Screen screen;
  int pile;
  Setup setup;
  int left, top, right, bottom;  // inclusive
};

// clang-format off
constexpr Region kRegions[] = {
    {"status bar: deck editor", kBar, 0, kAsOpened, 524, 442, 557, 475},
    {"status bar: collection", kBar, 0, kAsOpened, 562, 442, 595, 475},
    {"status bar: save screen", kBar, 0, kAsOpened, 600, 442, 633, 475},
    {"menu: save", kMenu, 0, kAsOpened, 160, 152, 479, 183},
    {"menu: load", kMenu, 0, kAsOpened, 160, 200, 479, 231},
    {"menu: start over", kMenu, 0, kAsOpened, 160, 248, 479, 279},
    {"menu: back", kMenu, 0, kAsOpened, 160, 296, 479, 327},
    {"slot 1", kSlots, 0, kAsOpened, 0, 0, 639, 149},
    {"slot 2", kSlots, 0, kAsOpened, 0, 150, 639, 299},
    {"slot 3", kSlots, 0, kAsOpened, 0, 300, 639, 449},
    {"slots' foot bar", kSlots, 0, kAsOpened, 4, 456, 635, 475},
    {"editor's foot bar", kEditor, 0, kAsOpened, 324, 456, 635, 475},
    {"stock number order", kEditor, kPileStock, kByAttribute, 268, 4, 291, 27},
    {"stock attribute order", kEditor, kPileStock, kAsOpened, 294, 4, 317, 27},
    {"deck number order", kEditor, kPileDeck, kByAttribute, 588, 4, 611, 27},
    {"deck attribute order", kEditor, kPileDeck, kAsOpened, 614, 4, 637, 27},
    {"discard number order", kEditor, kPileDiscard, kByAttribute, 588, 340, 611, 363},
    {"discard attribute order", kEditor, kPileDiscard, kAsOpened, 614, 340, 637, 363},
    {"stock up", kEditor, kPileStock, kScrolled, 290, 36, 317, 61},
    {"stock down", kEditor, kPileStock, kAsOpened, 290, 450, 317, 475},
    {"deck up", kEditor, kPileDeck, kScrolled, 610, 36, 637, 61},
    {"deck down", kEditor, kPileDeck, kAsOpened, 610, 306, 637, 331},
    {"discard up", kEditor, kPileDiscard, kScrolled, 610, 372, 637, 397},
    {"discard down", kEditor, kPileDiscard, kAsOpened, 610, 422, 637, 447},
    {"stock cards", kEditor, kPileStock, kAsOpened, 8, 40, 287, 475},
    {"deck cards", kEditor, kPileDeck, kAsOpened, 328, 40, 607, 331},
    {"discard cards", kEditor, kPileDiscard, kAsOpened, 328, 376, 607, 447},
    {"drop on the stock", kDrop, kPileStock, kAsOpened, 4, 32, 287, 475},
    {"drop on the deck", kDrop, kPileDeck, kAsOpened, 324, 32, 607, 331},
    {"drop on the discard pile", kDrop, kPileDiscard, kAsOpened, 324, 368, 607, 447},
    {"collection's foot bar", kCollection, 0, kAsOpened, 4, 456, 635, 475},
    {"collection up", kCollection, 0, kScrolled, 610, 36, 637, 61},
    {"collection down", kCollection, 0, kAsOpened, 610, 422, 637, 447},
    {"collection cards", kCollection, 0, kAsOpened, 4, 33, 607, 446},
};
// clang-format on

int opened;                                         // the status bar button whose screen opened
constexpr int kPageSize[kPileCount] = {42, 28, 7};  // cards a pile shows at once

class RegionsTest : public ScreensTest {
 protected:
  void Arrange(const Region& r) {
    for (int slot = 1; slot <= 3; ++slot)
      std::filesystem::remove(dataDir / ("save/save" + std::to_string(slot) + ".dat"));
    ResetScenarioReader();
    msgwin.window[4].ClearAll();
    screens.previousMode = mode::ClickWait;
    opened = 0;
    SetScreenOpener(ScreenButton::DeckEditor, [] { return (opened = 1) != 0; });
    SetScreenOpener(ScreenButton::Collection, [] { return (opened = 2) != 0; });
    SetScreenOpener(ScreenButton::SaveLoad, [] { return (opened = 3) != 0; });
    // With no choice on offer a click on the scene does nothing.
    const int modes[] = {mode::Choice, mode::SaveMenu, mode::SaveSlots, mode::DeckEditor};
    if (r.screen < kEditor) shell.InputMode = modes[r.screen];
    if (r.screen == kCollection) {
      ResetCollection();
      for (int n = 1; n <= kCardCount; ++n) player.collection[n] = 1;
      if (r.setup == kScrolled) collection = {19, 1, 1};
      shell.LeftDown = 0;
      Input("wait click 1 1");  // closes a card's detail view
      shell.InputMode = mode::Collection;
    }
    if (r.screen != kEditor && r.screen != kDrop) return;
    // The deck editor with a first page of 42 in the stock, 28 in the deck
    // and 7 on the discard pile, each with one more to scroll to.
    ResetDeckEditor();
    ResetPlayerState();
    for (uint32_t n = 1; n <= 43; ++n) player.stock.cards[n] = n;
    for (uint32_t n = 1; n <= 29; ++n) player.deck.cards[n] = n;
    for (uint32_t n = 1; n <= 8; ++n) deckEditor.discard[n] = n;
    player.stock.count = 43;
    player.deck.count = 29;
    deckEditor.discardCount = 8;
    for (int p = 0; p < kPileCount; ++p) deckEditor.canScrollDown[p] = 1;
    const int p = r.pile;
    if (r.setup == kByAttribute) deckEditor.byNumber[p] = 0;
    if (r.setup == kScrolled) {
      deckEditor.firstShown[p] = 1 + kPageSize[p];
      deckEditor.canScrollUp[p] = 1;
    }
    if (r.screen == kDrop) {
      deckEditor.dragSource = (p == kPileStock ? kPileDeck : kPileStock) + 1;
      deckEditor.dragCard = deckEditor.dragPosition = 1;
    }
    LoadK16At(gfx.WorkPage, "deckback.K16", 0, 0);
    drawDeckEditor();
    shell.InputMode = mode::DeckEditor;
  }

  static bool Press(const Region& r, int x, int y) {
    switch (r.screen) {
      case kBar:
        OnLeftDown(x, y);
        OnLeftUp(x, y);
        return true;
      case kMenu:
        return saveMenuClick(x, y);
      case kSlots:
        return slotClick(x, y);
      case kEditor:
        return deckEditorPress(x, y);
      case kDrop:
        return deckEditorRelease(x, y);
      case kCollection:
        return collectionClick(x, y);
    }
    return false;
  }

  // All a click on these screens can change.
  std::string Observed() const {
    std::string s = std::to_string(opened) + " mode " + std::to_string(shell.InputMode) + " " +
                    scn.ScenarioName + (scn.fileOpen ? " open" : "") + " slots";
    for (int slot = 1; slot <= 3; ++slot)
      s += std::filesystem::exists(dataDir / ("save/save" + std::to_string(slot) + ".dat")) ? "1"
                                                                                            : "0";
    for (int p = 0; p < kPileCount; ++p)
      s += " " + std::to_string(deckEditor.byNumber[p]) + "/" +
           std::to_string(deckEditor.firstShown[p]);
    LineRecord line{};
    const bool detail = msgwin.window[4].GetLine(1, line) && line.text[0] != '\0';
    return s + " drag " + std::to_string(deckEditor.dragSource) + " piles " +
           std::to_string(player.stock.count) + "/" + std::to_string(player.deck.count) + "/" +
           std::to_string(deckEditor.discardCount) + " collection " +
           std::to_string(collection.firstShown) + (detail ? " detail" : "");
  }
};

TEST_F(RegionsTest, EveryRegionAnswersUpToItsEdgesAndNoFurther) {
  WriteData("start.scn", ".clk\n");
  Direct();
  for (const Region& r : kRegions) {
    Arrange(r);
    const std::string untouched = Observed();
    ASSERT_TRUE(Press(r, (r.left + r.right) / 2, (r.top + r.bottom) / 2)) << r.what;
    const std::string hit = Observed();
    EXPECT_NE(hit, untouched) << r.what;
    // clang-format off
    const struct { int x, y; bool inside; } probes[] = {
        {r.left, r.top, true},          {r.right, r.bottom, true},
        {r.left - 1, r.top, false},     {r.left, r.top - 1, false},
        {r.right + 1, r.bottom, false}, {r.right, r.bottom + 1, false}};
    // clang-format on
    for (const auto& p : probes) {
      Arrange(r);
      ASSERT_TRUE(Press(r, p.x, p.y)) << r.what;
      EXPECT_EQ(Observed() == hit, p.inside) << r.what << " at " << p.x << ", " << p.y;
    }
  }
}

}  // namespace
