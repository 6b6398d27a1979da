// The battle screen: one routine that draws any rectangle of the 640 x 622
// screen image from the battle state, the candidate arts list under the
// player's hand, and the animations with their timings and sounds.
//
// The window shows 480 rows of the image: the upper part (ViewOffset 0)
// while the opponent acts and the lower part (142) while the player chooses.
#pragma once

#include <cstddef>
#include <cstdint>

// Redraws the battle screen inside the rectangle of Screen, clipped to it;
// nothing is invalidated.
void drawBattle(int32_t x, int32_t y, int32_t w, int32_t h);
// The whole screen, invalidated and painted at once.
void redrawBattle();

// Each answers false only when a wait reported quit.
// A card slides from (x0, y0) to (x1, y1) in steps of 24 pixels, 5 ms each;
// row 0 is the side's hand picture, 1 its played picture.
[[nodiscard]] bool moveCard(int side, int row, int index, bool faceUp, int32_t x0, int32_t y0,
                            int32_t x1, int32_t y1);
// The played card grows to four times its size in the middle of the view.
[[nodiscard]] bool zoomCard(int side, int entry);
// The turn number, zoomed in and out.
[[nodiscard]] bool turnBanner();
// 0 win, 1 draw, 2 loss.
[[nodiscard]] bool resultBanner(int result);
[[nodiscard]] bool scrollViewDown();
[[nodiscard]] bool scrollViewUp();

// The learned arts the player's cards can still reach, for the list.
void rebuildCandidates();
void drawCandidates();
// One line of the list: the art's pattern, name and list text in columns.
inline constexpr size_t kCandidateLineSize = 96;
struct ArtsRecord;
void CandidateLine(const ArtsRecord& art, char (&line)[kCandidateLineSize]);
// The list's arrows: a page of 7 lines up or down, when the arrow is shown.
void candidatesUp();
void candidatesDown();

// The played card under the pointer (window coordinates) drawn on top of
// its neighbours; the previous highlight is taken away first.
void hoverPlayed(int x, int y);
// The decide square brightened while the pointer is over it (over), or
// back as it was; nothing is drawn when that does not change.
void hoverDecide(bool over);
// The played card under the window point: side and entry, or false.
bool playedCardAt(int x, int y, int& side, int& entry);

// Battle sounds and music, as the game names the files.
inline constexpr const char* kCardMoveSound = "bwav\\Sute.wav";
inline constexpr const char* kScrollSound = "bwav\\Scroll.wav";
inline constexpr const char* kDecisionSound = "bwav\\Decision.wav";
