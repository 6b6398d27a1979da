#include "screens/deck_editor.h"

#include <algorithm>
#include <cstdio>

#include "battle/card_detail.h"
#include "battle/snapshot.h"
#include "core/waits.h"
#include "data/database.h"
#include "data/player.h"
#include "graphics/blit.h"
#include "graphics/graphics_texts.h"
#include "graphics/image.h"
#include "graphics/k16.h"
#include "graphics/textwindow.h"
#include "screens/screen_change.h"
#include "script/presentation.h"

DeckEditorState deckEditor;

void ResetDeckEditor() { deckEditor = DeckEditorState{}; }

namespace {

constexpr int32_t kCardW = 100, kCardH = 138;
constexpr int32_t kColumns = 7, kColumnStep = 32, kRowStep = 69;
// Sprites of "deckback" below its page.
constexpr int32_t kArrowW = 28, kArrowH = 26, kUpSpriteY = 480, kDownSpriteY = 506;
constexpr int32_t kMarkX = 28, kMarkSize = 24, kNumberMarkY = 480, kAttributeMarkY = 504;
constexpr int32_t kScratchX = 52, kScratchY = 480;

struct Rect {
  int32_t x, y, w, h;
  bool Holds(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

struct PileLayout {
  Rect area;  // hits; its top-left is the first card's
  Rect drop;  // where a release lands on the pile
  int32_t rows;
  int32_t lastRowHeight;  // the visible part of a card in the page's last row
  int32_t upX, upY, downX, downY;
  int32_t numberX, numberY, attributeX, attributeY;
  int32_t PageSize() const { return rows * kColumns; }
};

constexpr PileLayout kLayout[kPileCount] = {
    {{8, 40, 280, 436}, {4, 32, 284, 444}, 6, 91, 290, 36, 290, 450, 268, 4, 294, 4},
    {{328, 40, 280, 292}, {324, 32, 284, 300}, 4, 85, 610, 36, 610, 306, 588, 4, 614, 4},
    {{328, 376, 280, 72}, {324, 368, 284, 80}, 1, 72, 610, 372, 610, 422, 588, 340, 614, 340},
};

constexpr Rect kFootBar{324, 456, 312, 20};

// One pile's list wherever it lives.
struct Pile {
  uint32_t* cards;
  int32_t* count;
  int32_t capacity;

  // Lists come from progress and save files: a count outside the table is
  // read as the nearest one inside it.
  int32_t Count() const { return std::clamp(*count, 0, capacity); }
  // Cards shown: the positions up to the count, ended early by a 0 entry.
  int32_t Shown() const {
    const int32_t n = Count();
    for (int32_t i = 1; i <= n; ++i) {
      if (cards[i] == 0) return i - 1;
    }
    return n;
  }
};

Pile PileOf(int pile) {
  switch (pile) {
    case kPileStock:
      return {player.stock.cards, &player.stock.count, kStockCapacity};
    case kPileDeck:
      return {player.deck.cards, &player.deck.count, kDeckCapacity};
    default:
      return {deckEditor.discard, &deckEditor.discardCount, kDiscardCapacity};
  }
}

bool ValidCard(uint32_t card) { return card >= 1 && card <= static_cast<uint32_t>(kCardCount); }

void CardPictureName(uint32_t card, char (&name)[32]) {
  std::snprintf(name, sizeof name, "cards\\cards%u.K16", card);
}

// Attribute order: 1, 2, 3, 4, then 0 and anything that is no attribute;
// a hole (0 entry) stays at the end.
int AttributeRank(uint32_t card) {
  if (card == 0) return 5;
  const int32_t a = ValidCard(card) ? db.cards[card].attribute : 0;
  return a >= 1 && a <= 4 ? a - 1 : 4;
}

void SortPile(int pile) {
  const Pile p = PileOf(pile);
  uint32_t* first = p.cards + 1;
  uint32_t* last = first + p.Count();
  // A 0 entry is no card: it sorts after every card instead of hiding them.
  std::sort(first, last, [](uint32_t a, uint32_t b) { return a - 1 < b - 1; });
  if (!deckEditor.byNumber[pile])
    std::stable_sort(first, last,
                     [](uint32_t a, uint32_t b) { return AttributeRank(a) < AttributeRank(b); });
}

// Top-left of place k (1..page size) of a pile's page.
void PlaceOf(int pile, int32_t k, int32_t& x, int32_t& y) {
  x = kLayout[pile].area.x + (k - 1) % kColumns * kColumnStep;
  y = kLayout[pile].area.y + (k - 1) / kColumns * kRowStep;
}

void DrawPile(int pile) {
  const PileLayout& g = kLayout[pile];
  const DeckEditorState& e = deckEditor;
  if (e.byNumber[pile])
    Copy(gfx.Screen, g.numberX, g.numberY, kMarkSize, kMarkSize, gfx.WorkPage, kMarkX,
         kNumberMarkY);
  else
    Copy(gfx.Screen, g.attributeX, g.attributeY, kMarkSize, kMarkSize, gfx.WorkPage, kMarkX,
         kAttributeMarkY);

  const Pile p = PileOf(pile);
  const int32_t shown = p.Shown();
  const int32_t first = e.firstShown[pile];
  for (int32_t k = 1; k <= g.PageSize(); ++k) {
    const int32_t pos = first + k - 1;
    if (pos < 1 || pos > shown) break;
    const uint32_t card = p.cards[pos];
    if (!ValidCard(card)) continue;
    // Only the part that no later card covers is drawn.
    const int32_t column = (k - 1) % kColumns, row = (k - 1) / kColumns;
    const int32_t w = column == kColumns - 1 ? 88 : pos + 1 <= shown ? 36 : kCardW;
    const int32_t h = row == g.rows - 1 ? g.lastRowHeight : pos + kColumns <= shown ? 71 : kCardH;
    int32_t x, y;
    PlaceOf(pile, k, x, y);
    char name[32];
    CardPictureName(card, name);
    LoadK16RectKeyed(gfx.Screen, name, x, y, w, h, 0, 0);
  }

  if (e.canScrollUp[pile])
    Copy(gfx.Screen, g.upX, g.upY, kArrowW, kArrowH, gfx.WorkPage, 0, kUpSpriteY);
  if (e.canScrollDown[pile])
    Copy(gfx.Screen, g.downX, g.downY, kArrowW, kArrowH, gfx.WorkPage, 0, kDownSpriteY);
}

// The card under a point of a pile's hit area: the last place of the page
// whose whole rectangle holds the point, so the top card of an overlap wins.
// 0 when there is none.
uint32_t CardAt(int pile, int x, int y, int32_t& position) {
  const PileLayout& g = kLayout[pile];
  if (!g.area.Holds(x, y)) return 0;
  const Pile p = PileOf(pile);
  const int32_t shown = p.Shown();
  uint32_t card = 0;
  for (int32_t k = 1; k <= g.PageSize(); ++k) {
    const int32_t pos = deckEditor.firstShown[pile] + k - 1;
    if (pos < 1 || pos > shown) break;
    Rect r{0, 0, kCardW, kCardH};
    PlaceOf(pile, k, r.x, r.y);
    if (r.Holds(x, y)) {
      card = p.cards[pos];
      position = pos;
    }
  }
  return card;
}

// The card under the cursor in any pile; its pile and position come back.
uint32_t CardUnder(int x, int y, int& pile, int32_t& position) {
  for (pile = 0; pile < kPileCount; ++pile) {
    if (kLayout[pile].area.Holds(x, y)) return CardAt(pile, x, y, position);
  }
  return 0;
}

void UpdateScrollFlags(int pile) {
  DeckEditorState& e = deckEditor;
  e.canScrollUp[pile] = e.firstShown[pile] != 1;
  e.canScrollDown[pile] = PileOf(pile).Count() >= e.firstShown[pile] + kLayout[pile].PageSize();
}

void EraseDragRectangle() {
  DeckEditorState& e = deckEditor;
  Copy(gfx.Screen, e.dragX, e.dragY, kCardW, kCardH, gfx.BackPage, e.dragX, e.dragY);
  InvalidateArea(e.dragX, e.dragY, kCardW, kCardH);
}

void DrawDraggedCard(int x, int y) {
  DeckEditorState& e = deckEditor;
  e.dragX = x - kCardW / 2;
  e.dragY = y - 69;
  Copy(gfx.Screen, e.dragX, e.dragY, kCardW, kCardH, gfx.WorkPage, kScratchX, kScratchY);
  InvalidateArea(e.dragX, e.dragY, kCardW, kCardH);
}

// The dragged card's picture into the scratch area. A picture cannot spill
// over the sprites beside it; a card without one shows the page behind its
// place, as the page itself does.
void LoadScratch(int pile, int32_t position, uint32_t card) {
  char name[32];
  CardPictureName(card, name);
  if (ValidCard(card) &&
      LoadK16Rect(gfx.WorkPage, name, kScratchX, kScratchY, kCardW, kCardH, 0, 0))
    return;
  int32_t x, y;
  PlaceOf(pile, position - deckEditor.firstShown[pile] + 1, x, y);
  Copy(gfx.WorkPage, kScratchX, kScratchY, kCardW, kCardH, gfx.WorkPage, x, y);
}

bool PickUp(int x, int y) {
  int pile = 0;
  int32_t position = 0;
  const uint32_t card = CardUnder(x, y, pile, position);
  if (card == 0) return false;
  DeckEditorState& e = deckEditor;
  e.dragSource = pile + 1;
  e.dragCard = static_cast<int32_t>(card);
  e.dragPosition = position;
  EraseDragRectangle();
  LoadScratch(pile, position, card);
  DrawDraggedCard(x, y);
  return true;
}

// A press on an order button or a scroll arrow; false when it hit none.
bool PileButton(int x, int y) {
  DeckEditorState& e = deckEditor;
  for (int pile = 0; pile < kPileCount; ++pile) {
    const PileLayout& g = kLayout[pile];
    if (Rect{g.numberX, g.numberY, kMarkSize, kMarkSize}.Holds(x, y)) {
      if (!e.byNumber[pile]) {
        e.byNumber[pile] = 1;
        drawDeckEditor();
      }
      return true;
    }
    if (Rect{g.attributeX, g.attributeY, kMarkSize, kMarkSize}.Holds(x, y)) {
      if (e.byNumber[pile]) {
        e.byNumber[pile] = 0;
        drawDeckEditor();
      }
      return true;
    }
  }
  for (int pile = 0; pile < kPileCount; ++pile) {
    const PileLayout& g = kLayout[pile];
    const int32_t page = g.PageSize();
    if (Rect{g.upX, g.upY, kArrowW, kArrowH}.Holds(x, y)) {
      if (e.canScrollUp[pile]) {
        e.firstShown[pile] -= page;
        e.canScrollDown[pile] = 1;
        e.canScrollUp[pile] = e.firstShown[pile] != 1;
        drawDeckEditor();
      }
      return true;
    }
    if (Rect{g.downX, g.downY, kArrowW, kArrowH}.Holds(x, y)) {
      if (e.canScrollDown[pile]) {
        e.firstShown[pile] += page;
        e.canScrollUp[pile] = 1;
        UpdateScrollFlags(pile);
        drawDeckEditor();
      }
      return true;
    }
  }
  return false;
}

// The pile a release at (x, y) drops onto, or -1.
int DropTarget(int x, int y) {
  for (int pile = 0; pile < kPileCount; ++pile) {
    if (kLayout[pile].drop.Holds(x, y)) return pile;
  }
  return -1;
}

// Moves the dragged card; false when the drop is refused and nothing changed.
bool MoveDraggedCard(int source, int target) {
  const DeckEditorState& e = deckEditor;
  const Pile from = PileOf(source), to = PileOf(target);
  const int32_t last = from.Count();
  const int32_t room = to.Count();
  if (room >= to.capacity) return false;
  if (e.dragPosition < 1 || e.dragPosition > last ||
      from.cards[e.dragPosition] != static_cast<uint32_t>(e.dragCard))
    return false;
  to.cards[room + 1] = from.cards[e.dragPosition];
  *to.count = room + 1;
  // The last card fills the gap; the redraw puts the pile in order again.
  from.cards[e.dragPosition] = from.cards[last];
  from.cards[last] = 0;
  *from.count = last - 1;
  return true;
}

}  // namespace

void drawDeckEditor() {
  Copy(gfx.Screen, 0, 0, kClientWidth, kClientHeight, gfx.WorkPage, 0, 0);
  for (int pile = 0; pile < kPileCount; ++pile) SortPile(pile);
  for (int pile = 0; pile < kPileCount; ++pile) DrawPile(pile);
  Copy(gfx.BackPage, 0, 0, kClientWidth, kClientHeight, gfx.Screen, 0, 0);
  InvalidateAll();
}

bool openDeckEditor() {
  leaveScenarioForScreen();
  DeckEditorState& e = deckEditor;
  std::fill(std::begin(e.discard), std::end(e.discard), 0u);
  e.discardCount = 0;
  for (int pile = 0; pile < kPileCount; ++pile) {
    e.firstShown[pile] = 1;
    e.byNumber[pile] = 1;
    UpdateScrollFlags(pile);
  }
  e.dragSource = 0;
  e.dragPosition = 0;
  setupScreenDetailWindow();
  return bringInScreenPage("deckback.K16", drawDeckEditor, mode::DeckEditor);
}

bool deckEditorPress(int x, int y) {
  // Whatever lies on the discard pile stays there, and is gone.
  if (kFootBar.Holds(x, y)) return closeScreen();
  if (PileButton(x, y)) return true;
  PickUp(x, y);
  return true;
}

bool deckEditorMove(int x, int y) {
  EraseDragRectangle();
  if (deckEditor.dragSource != 0) DrawDraggedCard(x, y);
  return true;
}

bool deckEditorRelease(int x, int y) {
  EraseDragRectangle();
  DeckEditorState& e = deckEditor;
  if (e.dragSource == 0) return true;
  const int source = e.dragSource - 1;
  const int target = DropTarget(x, y);
  // Outside every pile, on the pile it came from or onto a full one, the
  // card stays where it was.
  if (target >= 0 && target != source && MoveDraggedCard(source, target)) {
    for (int pile = 0; pile < kPileCount; ++pile) UpdateScrollFlags(pile);
    drawDeckEditor();
  }
  e.dragSource = 0;
  e.dragPosition = 0;
  return true;
}

bool deckEditorBack() {
  if (deckEditor.dragSource == 0) return closeScreen();
  EraseDragRectangle();
  deckEditor.dragSource = 0;
  deckEditor.dragPosition = 0;
  return true;
}

bool deckEditorDetail(int x, int y) {
  if (deckEditor.dragSource != 0) return true;
  int pile = 0;
  int32_t position = 0;
  const uint32_t card = CardUnder(x, y, pile, position);
  if (card == 0) return true;
  return showCardDetail(static_cast<int>(card));
}
