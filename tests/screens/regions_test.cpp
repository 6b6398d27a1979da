// Every place on the menu screens that answers a click, from one table: the
// status bar's buttons, the save screen's menu, slots and foot bar, the deck
// editor's foot bar, order buttons, arrows, piles and drop areas, and the
// collection's foot bar, arrows and card grid. Each region is probed at its
// two inner corners and just outside each of its four edges.
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

enum Kind {
  kStatusButton,  // which: ScreenButton
  kMenuButton,    // which: the mode it leads to (7, 8), 1 start over, 3 back
  kSlot,          // which: slot number
  kSlotBar,
  kEditorBar,
  kNumberOrder,  // which: pile
  kAttributeOrder,
  kScrollUp,
  kScrollDown,
  kPickUp,
  kDrop,
  kCollectionBar,
  kCollectionUp,
  kCollectionDown,
  kCollectionCard,
};

struct Region {
  const char* what;
  Kind kind;
  int which;
  int left, top, right, bottom;  // inclusive
};

constexpr Region kRegions[] = {
    {"status bar: deck editor", kStatusButton, 1, 524, 442, 557, 475},
    {"status bar: collection", kStatusButton, 2, 562, 442, 595, 475},
    {"status bar: save screen", kStatusButton, 3, 600, 442, 633, 475},
    {"menu: save", kMenuButton, mode::SaveSlots, 160, 152, 479, 183},
    {"menu: load", kMenuButton, mode::LoadSlots, 160, 200, 479, 231},
    {"menu: start over", kMenuButton, mode::Running, 160, 248, 479, 279},
    {"menu: back", kMenuButton, mode::ClickWait, 160, 296, 479, 327},
    {"slot 1", kSlot, 1, 0, 0, 639, 149},
    {"slot 2", kSlot, 2, 0, 150, 639, 299},
    {"slot 3", kSlot, 3, 0, 300, 639, 449},
    {"slots' foot bar", kSlotBar, 0, 4, 456, 635, 475},
    {"editor's foot bar", kEditorBar, 0, 324, 456, 635, 475},
    {"stock number order", kNumberOrder, kPileStock, 268, 4, 291, 27},
    {"stock attribute order", kAttributeOrder, kPileStock, 294, 4, 317, 27},
    {"deck number order", kNumberOrder, kPileDeck, 588, 4, 611, 27},
    {"deck attribute order", kAttributeOrder, kPileDeck, 614, 4, 637, 27},
    {"discard number order", kNumberOrder, kPileDiscard, 588, 340, 611, 363},
    {"discard attribute order", kAttributeOrder, kPileDiscard, 614, 340, 637, 363},
    {"stock up", kScrollUp, kPileStock, 290, 36, 317, 61},
    {"stock down", kScrollDown, kPileStock, 290, 450, 317, 475},
    {"deck up", kScrollUp, kPileDeck, 610, 36, 637, 61},
    {"deck down", kScrollDown, kPileDeck, 610, 306, 637, 331},
    {"discard up", kScrollUp, kPileDiscard, 610, 372, 637, 397},
    {"discard down", kScrollDown, kPileDiscard, 610, 422, 637, 447},
    {"stock cards", kPickUp, kPileStock, 8, 40, 287, 475},
    {"deck cards", kPickUp, kPileDeck, 328, 40, 607, 331},
    {"discard cards", kPickUp, kPileDiscard, 328, 376, 607, 447},
    {"drop on the stock", kDrop, kPileStock, 4, 32, 287, 475},
    {"drop on the deck", kDrop, kPileDeck, 324, 32, 607, 331},
    {"drop on the discard pile", kDrop, kPileDiscard, 324, 368, 607, 447},
    {"collection's foot bar", kCollectionBar, 0, 4, 456, 635, 475},
    {"collection up", kCollectionUp, 0, 610, 36, 637, 61},
    {"collection down", kCollectionDown, 0, 610, 422, 637, 447},
    {"collection cards", kCollectionCard, 0, 4, 33, 607, 446},
};

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
    switch (r.kind) {
      case kStatusButton:
        shell.InputMode = mode::Choice;  // with no choice on offer a click does nothing
        return;
      case kMenuButton:
        shell.InputMode = mode::SaveMenu;
        return;
      case kSlot:
      case kSlotBar:
        shell.InputMode = mode::SaveSlots;
        return;
      case kCollectionBar:
      case kCollectionUp:
      case kCollectionDown:
      case kCollectionCard:
        ResetCollection();
        for (int n = 1; n <= kCardCount; ++n) player.collection[n] = 1;
        if (r.kind == kCollectionUp) collection = {19, 1, 1};
        shell.LeftDown = 0;
        Input("wait click 1 1");  // closes a card's detail view
        shell.InputMode = mode::Collection;
        return;
      default:
        break;
    }
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
    const int p = r.which;
    if (r.kind == kNumberOrder) deckEditor.byNumber[p] = 0;
    if (r.kind == kScrollUp) {
      deckEditor.firstShown[p] = 1 + kPageSize[p];
      deckEditor.canScrollUp[p] = 1;
    }
    if (r.kind == kDrop) {
      deckEditor.dragSource = (p == kPileStock ? kPileDeck : kPileStock) + 1;
      deckEditor.dragCard = deckEditor.dragPosition = 1;
    }
    LoadK16At(gfx.WorkPage, "deckback.K16", 0, 0);
    drawDeckEditor();
    shell.InputMode = mode::DeckEditor;
  }

  static bool Press(const Region& r, int x, int y) {
    switch (r.kind) {
      case kStatusButton:
        OnLeftDown(x, y);
        OnLeftUp(x, y);
        return true;
      case kMenuButton:
        return saveMenuClick(x, y);
      case kSlot:
      case kSlotBar:
        return slotClick(x, y);
      case kCollectionBar:
      case kCollectionUp:
      case kCollectionDown:
      case kCollectionCard:
        return collectionClick(x, y);
      case kDrop:
        return deckEditorRelease(x, y);
      default:
        return deckEditorPress(x, y);
    }
  }

  bool Hit(const Region& r) const {
    const int p = r.which;
    switch (r.kind) {
      case kStatusButton:
        return opened == r.which;
      case kMenuButton:  // start over runs "start", back returns to the click wait
        return r.which == mode::Running ? std::string(scn.ScenarioName) == "start"
                                        : shell.InputMode == r.which && !scn.fileOpen;
      case kSlot:
        return std::filesystem::exists(dataDir / ("save/save" + std::to_string(r.which) + ".dat"));
      case kSlotBar:
        return shell.InputMode == mode::SaveMenu;
      case kEditorBar:
      case kCollectionBar:
        return shell.InputMode == mode::ClickWait;
      case kNumberOrder:
        return deckEditor.byNumber[p] == 1;
      case kAttributeOrder:
        return deckEditor.byNumber[p] == 0;
      case kScrollUp:
        return deckEditor.firstShown[p] == 1;
      case kScrollDown:
        return deckEditor.firstShown[p] != 1;
      case kPickUp:
        return deckEditor.dragSource == p + 1;
      case kDrop: {
        const int32_t counts[] = {player.stock.count, player.deck.count, deckEditor.discardCount};
        return counts[p] == 1 + kPageSize[p] + 1;
      }
      case kCollectionUp:
        return collection.firstShown == 1;
      case kCollectionDown:
        return collection.firstShown == 19;
      case kCollectionCard: {
        LineRecord line{};
        return msgwin.window[4].GetLine(1, line) && line.text[0] != '\0';
      }
    }
    return false;
  }
};

TEST_F(RegionsTest, EveryRegionAnswersUpToItsEdgesAndNoFurther) {
  WriteData("start.scn", ".clk\n");
  Direct();
  for (const Region& r : kRegions) {
    const struct {
      int x, y;
      bool inside;
    } probes[] = {{r.left, r.top, true},          {r.right, r.bottom, true},
                  {r.left - 1, r.top, false},     {r.left, r.top - 1, false},
                  {r.right + 1, r.bottom, false}, {r.right, r.bottom + 1, false}};
    for (const auto& p : probes) {
      Arrange(r);
      ASSERT_TRUE(Press(r, p.x, p.y)) << r.what;
      EXPECT_EQ(Hit(r), p.inside) << r.what << " at " << p.x << ", " << p.y;
    }
  }
}

}  // namespace
