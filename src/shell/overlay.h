// The page a view of the reading aids covers the window with: the scene
// dimmed, and the view's text drawn over it. One view is open at a time, and
// while it is the game waits on.
#pragma once

#include <cstdint>

#include "graphics/image.h"
#include "graphics/textwindow.h"

enum class View { None, Backlog, Help, Quit };

// Draws a view's text onto the dimmed scene.
using DrawView = void (*)(Image& panel);

// The views use the message windows' own face and pitch.
inline constexpr int kAidFontSize = 20;
inline constexpr int kAidLineGap = 4;
inline constexpr int kAidPitch = kAidFontSize + kAidLineGap;
inline constexpr uint32_t kAidWhite = 0xFFFFFF;
inline constexpr uint32_t kAidHintColour = 0xC0C0C0;

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
