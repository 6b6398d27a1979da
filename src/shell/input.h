// Input routing by mode and the screen buttons. The shell owns the routing
// table; each subsystem hands it the handlers of its own modes at start-up,
// so this file knows no subsystem above the platform layer.
#pragma once

#include <cstdint>

#include "core/waits.h"

// A handler answers false when the program must end; the shell then posts
// the quit message.
using PointHandler = bool (*)(int x, int y);

// Posts the quit message unless ok: the answer of a handler or a wait.
void QuitUnless(bool ok);

// What Esc does on a screen that has a way back: the same as its own back
// button, so the key a player reaches for to leave a screen does not end
// the game. False when the program must end.
using BackHandler = bool (*)();

struct ModeHandlers {
  PointHandler leftDown = nullptr;
  PointHandler rightDown = nullptr;
  PointHandler leftUp = nullptr;
  PointHandler move = nullptr;
  BackHandler back = nullptr;
};

// The three screens the status bar's buttons open; each answers false when
// the program must end. A button without an opener does nothing.
using ScreenOpener = bool (*)();
enum class ScreenButton { None = 0, SaveLoad = 1, Collection = 2, DeckEditor = 3 };

struct InputRouting {
  ModeHandlers modes[mode::Count] = {};
  ScreenOpener openers[4] = {};          // by ScreenButton
  bool (*screenButtonsOff)() = nullptr;  // true while an event runs
  void (*showPosition)() = nullptr;      // F1
};
extern InputRouting routing;

// Replaces the whole table: the composition root registers every subsystem.
void ResetInputRouting();
void SetModeHandlers(int32_t inputMode, const ModeHandlers& handlers);
void SetScreenOpener(ScreenButton button, ScreenOpener open);

// Mouse and key handlers, with client coordinates.
void OnLeftDown(int x, int y);
void OnLeftUp(int x, int y);
void OnRightDown(int x, int y);
void OnRightUp(int x, int y);
void OnMouseMove(int x, int y);
void OnKeyDown(uint32_t virtualKey);

ScreenButton ScreenButtonAt(int x, int y);
