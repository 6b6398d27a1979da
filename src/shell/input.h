// Input routing by mode, the screen buttons, and the message-pumping waits.
#pragma once

#include <cstdint>

struct Shell {
  int32_t InputMode = 0;
  int32_t LeftDown = 0;
  int32_t RightDown = 0;
  uint64_t FrameStartTime = 0;
  int32_t FullScreen = 0;
};
extern Shell shell;

void ResetShell();

// Mouse and key handlers, with client coordinates.
void OnLeftDown(int x, int y);
void OnLeftUp(int x, int y);
void OnRightDown(int x, int y);
void OnRightUp(int x, int y);
void OnMouseMove(int x, int y);
void OnKeyDown(uint32_t virtualKey);

// Which screen button, if any, lies under a point: 1 save/load, 2 collection,
// 3 deck editor, 0 none.
int ScreenButtonAt(int x, int y);

void FrameStart();
int WaitUntil(uint32_t ms);
int WaitOrClick(uint32_t ms);
int WaitClick();

// Dispatches every message that is ready; false when the quit message came.
bool PumpPending();

void ToggleDisplayMode();
void RestoreDisplayAtExit();
