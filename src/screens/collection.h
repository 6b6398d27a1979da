// The collection viewer: all fifty cards, eighteen to a page, those the
// player has ever obtained with their own pictures and the others with the
// common picture of a card not yet obtained. An obtained card opens its
// detail view on either button.
#pragma once

#include <cstdint>

struct CollectionState {
  int32_t firstShown = 1;  // the first card of the page: 1, 19 or 37
  uint8_t canScrollUp = 0;
  uint8_t canScrollDown = 1;
};
extern CollectionState collection;

void ResetCollection();

// The second button of the status bar; false when the program must end.
[[nodiscard]] bool openCollectionViewer();
// The page, the cards of the page and the arrows, into Screen.
void drawCollection();
// Mode 10: the left button (foot bar, arrows, a card) and the right button
// (a card only); false when the program must end.
[[nodiscard]] bool collectionClick(int x, int y);
[[nodiscard]] bool collectionDetail(int x, int y);
