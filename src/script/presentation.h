// What the player sees between battles: the layers composed into one
// picture, text typed into the message windows, click waits with their
// blinking cursor, choices, and the timed screen effects.
#pragma once

#include <cstdint>

#include "graphics/textwindow.h"
#include "script/interpreter.h"
#include "script/reader.h"

enum Layer : int { kBack, kPlace, kFace1, kFace2, kMsg1, kMsg2, kMsg3, kMsg4, kDate, kLayerCount };
// The names ".show", ".hide" and ".load" know the layers by; the first
// kPictureLayers hold a picture.
inline constexpr const char* kLayerNames[kLayerCount] = {"back", "place", "face1", "face2", "msg1",
                                                         "msg2", "msg3",  "msg4",  "date"};
inline constexpr int kPictureLayers = 4;

constexpr int kMaxChoices = 20;

struct Choice {
  char text[kLineSize];
  char target[kLineSize];
  int32_t firstLine;
  int32_t lineCount;
  int32_t left, top, right, bottom;
};

struct Presentation {
  int32_t shown[kLayerCount] = {};
  // File names (with ".K16") last loaded into "back", "place", "face1", "face2".
  char pictureName[4][260] = {};
  int32_t CurrentWindow = 1;
  int32_t TextSkip = 0;
  int32_t SkipLine = 0;
  int32_t SkipX = 0;
  int32_t CursorX = 0, CursorY = 0;
  int32_t CursorShown = 0;
  int32_t cursorSpriteX = 630, cursorSpriteY = 304;
  bool cursorRunning = false;            // between ShowClickCursor and HideClickCursor
  Choice choices[kMaxChoices + 1] = {};  // 1..kMaxChoices
  int32_t ChoiceCount = 0;
  int32_t charsSinceWait = 0;  // what an automatic click wait gives the reader time for
};
extern Presentation scene;

void ResetPresentation();

// The message window text lines and choices go to.
TextWindow& CurrentTextWindow();
bool WindowVisible(int window);

void ComposeScene();
// Loads a picture file into a layer that holds one ("back", "place",
// "face1", "face2") and remembers its name; a box names a file that fails.
void LoadLayerPicture(int layer, const char* file);
// The layers composed, copied into BackPage with the lines of every shown
// message window over them: the page a transition or a screen change brings in.
void ComposeSceneIntoBackPage();
void ClearWindow();
void ShowClickCursor(bool clearAfter);
void HideClickCursor();
void BlinkClickCursor();
// The blinking click cue by itself, for any screen that waits for a click:
// a kCueW x kCueH sprite of the parts sheet at (spriteX, spriteY), blinking
// at (x, y) of Screen, what lies under it kept in BackPage. StopClickCue
// leaves Screen as it was.
inline constexpr int32_t kCueW = 32, kCueH = 28;
void StartClickCue(int32_t x, int32_t y, int32_t spriteX, int32_t spriteY);
void StopClickCue();
void HighlightChoices(int x, int y);
// Mode 5's left click: 1 to go on, 0 when the program must end.
[[nodiscard]] int ChooseAt(int x, int y);
void StartSkip();
void FinishSkip();

// What the interpreter hands the presentation. A text line in
// scn.LineBuffer is shown in the current message window.
Step ShowTextLine();
// Before any command, an unfinished text skip is completed.
void FinishTextSkip();

// The script's input handlers for the modes it waits in, for the shell's
// routing table; each answers false when the program must end.
bool SkipPress(int x, int y);            // typing: either button
bool ClickWaitPress(int x, int y);       // ".clk": either button
bool ClickWaitClearPress(int x, int y);  // ".tcl": either button
bool ChoicePress(int x, int y);          // ".slt exec": left button
bool ChoiceMove(int x, int y);           // ".slt exec"

// The window timer that blinks the click cursor.
inline constexpr uint32_t kClickTimer = 1;

// The player's reading aids. Timer kAutoTimer of the window ends a click wait
// in auto mode; each answers false when the program must end.
inline constexpr uint32_t kAutoTimer = 2;
bool InClickWait();
// Starts the automatic end of the click wait now waiting (auto mode only),
// its delay growing with the text shown since the last wait.
void StartAutoWait();
void StopAutoWait();
bool AutoWaitEnded();  // the timer's message
// What Ctrl or Tab does now: typing is skipped, a click wait passes.
bool PassClickWait();

Step CmdLoad();
Step CmdShow();
Step CmdHide();
Step CmdUpdate();
Step CmdMsg();
Step CmdClk();
Step CmdTcl();
Step CmdCut();
Step CmdWat();
Step CmdCwt();
Step CmdShake();
Step CmdFlash();
Step CmdSlt();
