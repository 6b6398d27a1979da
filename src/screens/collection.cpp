#include "screens/collection.h"

#include <string>

#include "battle/card_detail.h"
#include "battle/snapshot.h"
#include "core/waits.h"
#include "data/player.h"
#include "graphics/blit.h"
#include "graphics/graphics_texts.h"
#include "graphics/image.h"
#include "graphics/k16.h"
#include "graphics/textwindow.h"
#include "screens/screen_change.h"
#include "script/presentation.h"

CollectionState collection;

void ResetCollection() { collection = CollectionState{}; }

namespace {

constexpr int32_t kPageSize = 18, kColumns = 6, kRows = 3;
constexpr int32_t kCardW = 100, kCardH = 138;
constexpr int32_t kPageX = 8, kPageY = 33;
// The hit grid starts four pixels left of the pictures, so the gap before
// the first column still belongs to it.
constexpr int32_t kHitX = 4, kHitRight = 608, kHitBottom = 447;
// The last page that still begins with a card: 37 shows 37..50.
constexpr int32_t kLastFirstShown = 32;
constexpr int32_t kArrowX = 610, kArrowW = 28, kArrowH = 26;
constexpr int32_t kUpY = 36, kDownY = 422;
constexpr int32_t kUpSpriteY = 480, kDownSpriteY = 506;
constexpr const char* kUnownedPicture = "cards\\cardsUN.k16";

bool Within(int v, int from, int size) { return v >= from && v < from + size; }

// A flag from a replaced progress file may hold any byte: whatever is not
// 0 counts as obtained, as it does for the maxima and the ".card" checks,
// so a card never shows as unknown yet opens its details.
bool Owned(int32_t card) { return inCollection(card) != 0; }

// The card under a point of the grid, or 0 for none (outside the grid, past
// card 50, or not obtained yet).
int32_t OwnedCardAt(int x, int y) {
  if (x < kHitX || x >= kHitRight || y < kPageY || y >= kHitBottom) return 0;
  int32_t column = (x - kHitX) / kCardW, row = (y - kPageY) / kCardH;
  if (column > kColumns - 1) column = kColumns - 1;
  if (row > kRows - 1) row = kRows - 1;
  const int32_t card = collection.firstShown + kColumns * row + column;
  return Owned(card) ? card : 0;
}

}  // namespace

bool openCollectionViewer() {
  leaveScenarioForScreen();
  collection.firstShown = 1;
  collection.canScrollUp = 0;
  collection.canScrollDown = 1;
  setupScreenDetailWindow();
  return bringInScreenPage("collectionback.K16", drawCollection, mode::Collection);
}

void drawCollection() {
  Copy(gfx.Screen, 0, 0, 640, 480, gfx.WorkPage, 0, 0);
  for (int32_t k = 0; k < kPageSize; ++k) {
    const int32_t card = collection.firstShown + k;
    if (card < 1) continue;
    if (card > kCardCount) break;
    const int32_t x = kPageX + kCardW * (k % kColumns), y = kPageY + kCardH * (k / kColumns);
    const std::string picture =
        Owned(card) ? "cards\\cards" + std::to_string(card) + ".K16" : kUnownedPicture;
    LoadK16RectKeyed(gfx.Screen, picture.c_str(), x, y, kCardW, kCardH, 0, 0);
  }
  if (collection.canScrollUp)
    CopyKeyed(gfx.Screen, kArrowX, kUpY, kArrowW, kArrowH, gfx.WorkPage, 0, kUpSpriteY, kMagenta);
  if (collection.canScrollDown)
    CopyKeyed(gfx.Screen, kArrowX, kDownY, kArrowW, kArrowH, gfx.WorkPage, 0, kDownSpriteY,
              kMagenta);
  InvalidateAll();
}

bool collectionClick(int x, int y) {
  if (x >= 4 && x < 636 && y >= 456 && y < 476) return closeScreen();
  if (Within(x, kArrowX, kArrowW)) {
    if (Within(y, kUpY, kArrowH) && collection.canScrollUp) {
      collection.firstShown -= kPageSize;
      if (collection.firstShown < 1) collection.firstShown = 1;
      collection.canScrollDown = 1;
      collection.canScrollUp = collection.firstShown != 1;
      drawCollection();
      return true;
    }
    if (Within(y, kDownY, kArrowH) && collection.canScrollDown) {
      collection.firstShown += kPageSize;
      collection.canScrollUp = 1;
      collection.canScrollDown = collection.firstShown <= kLastFirstShown;
      drawCollection();
      return true;
    }
  }
  return collectionDetail(x, y);
}

bool collectionDetail(int x, int y) {
  const int32_t card = OwnedCardAt(x, y);
  return card == 0 || showCardDetail(card);
}
