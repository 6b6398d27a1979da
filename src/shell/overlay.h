// The page a view of the reading aids covers the window with: the scene
// dimmed, and the view drawn over it on a panel of its own. One view is open
// at a time, and while it is the game waits on.
#pragma once

#include <cstdint>

#include "graphics/image.h"
#include "graphics/textwindow.h"

enum class View { None, Backlog, Help, Quit };

// Draws a view onto the dimmed scene.
using DrawView = void (*)(Image& panel);

// The views use the message windows' own face and pitch.
inline constexpr int kAidFontSize = 20;
inline constexpr int kAidLineGap = 4;
inline constexpr int kAidPitch = kAidFontSize + kAidLineGap;
inline constexpr uint32_t kAidWhite = 0xFFFFFF;
inline constexpr uint32_t kAidHintColour = 0xC0C0C0;
// The game's framed panels, as the quit box draws them (0xBBGGRR).
inline constexpr uint32_t kAidGold = 0x68B8D9;
inline constexpr uint32_t kAidPanel = 0x301810;

// A panel in the views' gold frame, 2 pixels wide, filled with fill.
void DrawFramed(Image& page, int x, int y, int w, int h, uint32_t fill);

// The framed panel the backlog's and the help's text stands on: nearly the
// whole window, so the scene's own text cannot show through theirs.
inline constexpr int kViewPanelX = 16, kViewPanelY = 6, kViewPanelW = 608, kViewPanelH = 468;
void DrawViewPanel(Image& page);

// A pen of the aids' face: rows lines from (x, y), w wide.
void SetupAidPen(TextWindow& pen, Image* target, int x, int y, int w, int rows, uint32_t colour);
// An image of the window's size, made when it is not yet; false when it cannot be.
bool WindowSized(Image& image);

// Nothing happens when no page can be made.
void OpenView(View view, DrawView draw);
void RedrawView();
void CloseView();
View OpenedView();

// The page shown while a view is open; null while none is.
const Image* ViewPanel();
// What the window shows: the open view's page, else the scene.
void CopyShown(Image& to);

void ResetOverlay();
