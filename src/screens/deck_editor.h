// The deck editor: cards move by drag and drop between the stock (left half
// of the page), the deck (right, upper part) and a discard pile (right, lower
// strip). What is left on the discard pile when the editor closes is gone.
#pragma once

#include <cstdint>

constexpr int kDiscardCapacity = 400;

// The three piles, in the order of the drag source numbers minus one.
enum DeckEditorPile : int32_t { kPileStock = 0, kPileDeck = 1, kPileDiscard = 2, kPileCount = 3 };

struct DeckEditorState {
  uint32_t discard[kDiscardCapacity + 1] = {};  // positions 1..discardCount
  int32_t discardCount = 0;
  // Per pile: position of the first card shown (1, 1 + page, ...), the
  // arrows on offer and the order (1 by card number, 0 by attribute).
  int32_t firstShown[kPileCount] = {1, 1, 1};
  uint8_t canScrollUp[kPileCount] = {};
  uint8_t canScrollDown[kPileCount] = {};
  uint8_t byNumber[kPileCount] = {1, 1, 1};
  // 0 no drag; 1 stock, 2 deck, 3 discard.
  int32_t dragSource = 0;
  int32_t dragCard = 0;
  int32_t dragPosition = 0;
  // Top-left of the 100 x 138 rectangle where the dragged card was last drawn.
  int32_t dragX = 0;
  int32_t dragY = 0;
};
extern DeckEditorState deckEditor;

void ResetDeckEditor();

// The first button of the status bar; false when the program must end.
[[nodiscard]] bool openDeckEditor();
// Sorts the three piles and draws the page into Screen and BackPage.
void drawDeckEditor();

// Mode 9: the left button down and up, the right button, and movement. Each
// answers false when the program must end; movement never does.
[[nodiscard]] bool deckEditorPress(int x, int y);
[[nodiscard]] bool deckEditorRelease(int x, int y);
// Esc: a card being dragged goes back where it was; else the screen closes.
[[nodiscard]] bool deckEditorBack();
[[nodiscard]] bool deckEditorDetail(int x, int y);
bool deckEditorMove(int x, int y);
