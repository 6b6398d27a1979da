#include "script/presentation.h"

#include <algorithm>
#include <cstring>

#include "core/mistake_log.h"
#include "core/settings.h"
#include "core/waits.h"
#include "graphics/blit.h"
#include "graphics/k16.h"
#include "graphics/number_font.h"
#include "graphics/transition.h"
#include "platform/platform.h"
#include "platform/sjis.h"
#include "script/backlog.h"
#include "script/presentation_texts.h"
#include "script/variables.h"

Presentation scene;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kGrey = 0x808080;
constexpr uint32_t kBlack = 0x000000;
// Milliseconds an automatic click wait adds for each character shown since
// the last wait: about a leisurely reader's pace.
constexpr int32_t kAutoMsPerChar = 80;

// The layer of that name; -1 (told) when there is none.
int LayerOf(const char* name) {
  for (int i = 0; i < kLayerCount; ++i) {
    if (std::strcmp(kLayerNames[i], name) == 0) return i;
  }
  std::string known;
  for (const char* layer : kLayerNames) known += std::string(known.empty() ? "" : " ") + layer;
  ReportMistake("no layer " + Quoted(name) + " (layers: " + known + ")");
  return -1;
}

Image* PictureOf(int layer) {
  switch (layer) {
    case kBack:
      return &gfx.WorkPage;
    case kPlace:
      return &gfx.PictureImage;
    case kFace1:
      return &gfx.FaceImage1;
    case kFace2:
      return &gfx.FaceImage2;
    default:
      return nullptr;
  }
}

// The next token of the command line, expanded.
void ExpandedToken(char* out) {
  NextToken(out, scn.LineBuffer);
  ExpandVariables(out);
}

int32_t ValueToken() {
  char token[kLineSize];
  NextToken(token, scn.LineBuffer);
  return EvalTerm(token);
}

void Shadow(int x, int y, int w, int h, int sx, int sy) {
  SubtractCopy(gfx.ScenePage, x, y, w, h, gfx.PartsSheet, sx, sy);
}

void InvalidateLine(TextWindow& w, int i) {
  LineRecord r{};
  if (w.GetLine(i, r)) InvalidateArea(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// One character of a text line into the current window: typed onto the
// screen, or only into the window's lines while skipping or hidden. False
// when it fell past the window's last line, where nothing keeps it.
bool PrintChar(const char* ch, int len) {
  char buffer[3] = {ch[0], len == 2 ? ch[1] : '\0', '\0'};
  TextWindow& w = CurrentTextWindow();
  if (scene.TextSkip == 0 && WindowVisible(scene.CurrentWindow)) {
    w.Print(buffer, 1);
    InvalidateLine(w, w.CurrentLine());
  } else {
    w.Print(buffer, 0);
  }
  BacklogChar(std::clamp(scene.CurrentWindow, 1, 4), w.CurrentLine(), ch, len);
  ++scene.charsSinceWait;
  return w.CurrentLine() <= w.ShownLines();
}

// Text that fell past the last line of the current window: it is not shown.
void ReportOverflow(const char* what) {
  const int n = std::clamp(scene.CurrentWindow, 1, 4);
  ReportMistake(std::string(what) + " past the last line of window " + std::to_string(n) + " (" +
                std::to_string(CurrentTextWindow().ShownLines()) +
                " lines): not shown; clear it first with .tcl");
}

// Walks text with the escapes of text lines: "\\" is a backslash, "\n" a
// line break, a backslash before anything else is dropped. onChar gets each
// character (1 or 2 bytes) and returns false to stop; onBreak each break.
template <typename OnChar, typename OnBreak>
bool WalkText(const char* text, OnChar onChar, OnBreak onBreak) {
  for (size_t i = 0; text[i] != '\0';) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      onBreak();
      ++i;
    } else if (sjis::IsLeadByte(c) && text[i + 1] != '\0') {
      if (!onChar(text + i, 2)) return false;
      i += 2;
    } else if (c == '\\') {
      const char next = text[i + 1];
      if (next == '\\') {
        if (!onChar(text + i, 1)) return false;
        i += 2;
      } else if (next == 'n') {
        onBreak();
        i += 2;
      } else {
        ++i;  // dropped; what follows is an ordinary character
      }
    } else {
      if (!onChar(text + i, 1)) return false;
      ++i;
    }
  }
  return true;
}

Step WaitStep(int result) { return result ? Step::Next : Step::Quit; }

}  // namespace

void ResetPresentation() { scene = Presentation{}; }

TextWindow& CurrentTextWindow() {
  const int n = std::clamp(scene.CurrentWindow, 1, 4);
  return msgwin.window[n];
}

bool WindowVisible(int window) {
  return window >= 1 && window <= 4 && scene.shown[kMsg1 + window - 1] == 1;
}

void ComposeScene() {
  Image& page = gfx.ScenePage;
  const Image& sheet = gfx.PartsSheet;
  const int32_t* on = scene.shown;
  if (on[kBack]) Copy(page, 0, 0, 640, 480, gfx.WorkPage, 0, 0);
  if (on[kPlace]) {
    Shadow(540, 80, 10, 300, 840, 0);
    Shadow(100, 380, 450, 10, 400, 368);
    Copy(page, 100, 80, 440, 300, gfx.PictureImage, 0, 0);
  }
  if (on[kMsg1]) Shadow(174, 50, 420, 152, 420, 0);
  if (on[kMsg2]) Shadow(60, 286, 420, 152, 420, 152);
  if (on[kFace1]) {
    Shadow(166, 44, 10, 152, 840, 0);
    Shadow(32, 196, 134, 10, 400, 368);
    Shadow(166, 196, 10, 10, 840, 368);
  }
  if (on[kFace2]) {
    Shadow(608, 280, 10, 152, 840, 0);
    Shadow(474, 432, 134, 10, 400, 368);
    Shadow(608, 432, 10, 10, 840, 368);
  }
  if (on[kFace1]) CopyKeyed(page, 32, 44, 134, 152, gfx.FaceImage1, 0, 0, kMagenta);
  if (on[kFace2]) {
    Copy(page, 474, 280, 134, 152, gfx.FaceImage2, 0, 0);
    // The right portrait faces the other way inside its 7-pixel frame.
    CopyMirrored(page, 481, 287, 120, 128, gfx.FaceImage2, 7, 7);
  }
  if (on[kMsg1]) BlendKeyed(page, 168, 44, 420, 152, sheet, 0, 0, kMagenta, 16);
  if (on[kMsg2]) BlendKeyed(page, 54, 280, 420, 152, sheet, 0, 152, kMagenta, 16);
  if (on[kMsg3]) {
    Copy(page, 120, 184, 400, 7, sheet, 0, 304);
    Copy(page, 120, 285, 400, 7, sheet, 0, 405);
    Copy(page, 120, 191, 7, 94, sheet, 0, 311);
    Copy(page, 513, 191, 7, 94, sheet, 393, 311);
    DarkenRect(page, 127, 191, 386, 94, 0x505050);
    Shadow(520, 184, 10, 108, 840, 0);
    Shadow(120, 292, 400, 10, 400, 368);
    Shadow(520, 292, 10, 10, 840, 368);
  }
  if (on[kMsg4]) DarkenRect(page, 16, 16, 608, 448, 0x646464);
  if (on[kDate]) {
    BlendKeyed(page, 8, 4, 230, 32, sheet, 400, 304, kMagenta, 16);
    CopyKeyed(page, 8, 4, 230, 32, sheet, 400, 336, kMagenta);
    numfonts.Mid.Draw(page, 75, 8, Builtin("year"), 0, 2);
    numfonts.Mid.Draw(page, 127, 8, Builtin("month"), 0, 2);
    numfonts.Mid.Draw(page, 175, 8, Builtin("day"), 0, 2);
    numfonts.Weekday.Draw(page, 192, 8, Builtin("weekday"), 0, 0);
  }
  if (interp.EventMode == 0) {
    CopyKeyed(page, 46, 458, 44, 16, sheet, 400, 378, kMagenta);
    CopyKeyed(page, 178, 458, 22, 16, sheet, 444, 378, kMagenta);
    CopyKeyed(page, 310, 458, 22, 16, sheet, 466, 378, kMagenta);
    CopyKeyed(page, 442, 458, 11, 18, sheet, 488, 378, kMagenta);
    for (int x : {123, 244, 376}) CopyKeyed(page, x, 458, 11, 18, sheet, 499, 378, kMagenta);
    CopyKeyed(page, 524, 442, 112, 36, sheet, 630, 332, kMagenta);
    const NumberFont& f = numfonts.Small;
    f.Draw(page, 122, 458, Builtin("ndeck"), 0, 2);
    f.Draw(page, 166, 458, Builtin("nstock"), 0, 2);
    f.Draw(page, 518, 458, Builtin("money"), 0, 2);
    f.Draw(page, 243, 458, Builtin("hp"), 0, 2);
    f.Draw(page, 298, 458, Builtin("maxhp"), 0, 2);
    f.Draw(page, 375, 458, Builtin("mp"), 0, 2);
    f.Draw(page, 430, 458, Builtin("maxmp"), 0, 2);
  }
}

void ClearWindow() {
  CurrentTextWindow().ClearAll();
  BacklogBreak();
  Copy(gfx.Screen, 0, 0, 640, 480, gfx.ScenePage, 0, 0);
  for (int n = 1; n <= 4; ++n) {
    if (WindowVisible(n)) msgwin.window[n].FlushAll();
  }
  InvalidateAll();
}

void ShowClickCursor(bool clearAfter) {
  if (!WindowVisible(scene.CurrentWindow)) return;
  TextWindow& w = CurrentTextWindow();
  scene.cursorSpriteX = scene.CurrentWindow == 4 ? (clearAfter ? 694 : 662) : 630;
  LineRecord r{};
  w.GetLine(std::max(w.LastTextLine(), 1), r);
  StartClickCue(r.right, r.top, scene.cursorSpriteX, 304);
}

void StartClickCue(int32_t x, int32_t y, int32_t spriteX, int32_t spriteY) {
  scene.CursorX = x;
  scene.CursorY = y;
  scene.cursorSpriteX = spriteX;
  scene.cursorSpriteY = spriteY;
  scene.CursorShown = 0;
  Copy(gfx.BackPage, x, y, kCueW, kCueH, gfx.Screen, x, y);
  scene.cursorRunning = true;
  plat::host().StartTimer(kClickTimer, 100);
}

void BlinkClickCursor() {
  if (!scene.cursorRunning) return;
  if (scene.CursorShown == 0) {
    CopyKeyed(gfx.Screen, scene.CursorX, scene.CursorY, kCueW, kCueH, gfx.PartsSheet,
              scene.cursorSpriteX, scene.cursorSpriteY, kMagenta);
    scene.CursorShown = 1;
  } else {
    Copy(gfx.Screen, scene.CursorX, scene.CursorY, kCueW, kCueH, gfx.BackPage, scene.CursorX,
         scene.CursorY);
    scene.CursorShown = 0;
  }
  // Screen is the battle's taller image while a battle waits, seen from
  // its view offset.
  InvalidateArea(scene.CursorX, scene.CursorY - gfx.ViewOffset, kCueW, kCueH);
}

void StopClickCue() {
  if (scene.CursorShown) BlinkClickCursor();
  scene.cursorRunning = false;
  plat::host().StopTimer(kClickTimer);
}

void HideClickCursor() {
  if (!WindowVisible(scene.CurrentWindow)) return;
  StopClickCue();
}

void HighlightChoices(int x, int y) {
  if (scene.ChoiceCount < 1) return;
  int hovered = 0;
  int left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
  for (int i = 1; i <= scene.ChoiceCount; ++i) {
    const Choice& c = scene.choices[i];
    if (x >= c.left && x < c.right && y >= c.top && y < c.bottom) hovered = i;
    left = std::min(left, c.left);
    top = std::min(top, c.top);
    right = std::max(right, c.right);
    bottom = std::max(bottom, c.bottom);
  }
  Copy(gfx.Screen, left, top, right - left, bottom - top, gfx.ScenePage, left, top);
  TextWindow& w = CurrentTextWindow();
  for (int i = 1; i <= scene.ChoiceCount; ++i) {
    const Choice& c = scene.choices[i];
    w.SetColours(i == hovered ? kWhite : kGrey, kBlack);
    for (int line = c.firstLine; line < c.firstLine + c.lineCount; ++line) w.RedrawLine(line, 1);
  }
  InvalidateArea(left, top, right - left, bottom - top);
}

int ChooseAt(int x, int y) {
  HighlightChoices(x, y);
  int chosen = 0;
  for (int i = 1; i <= scene.ChoiceCount; ++i) {
    const Choice& c = scene.choices[i];
    if (x >= c.left && x < c.right && y >= c.top && y < c.bottom) chosen = i;
  }
  if (chosen == 0) return 1;  // not on a choice: still waiting
  {
    // Still the choice line's business: what goes wrong is told there.
    const ReadingScenario reading;
    char shown[kLineSize];
    std::memcpy(shown, scene.choices[chosen].text, kLineSize);
    ExpandVariables(shown);
    BacklogChoice(shown);
    scene.charsSinceWait = 0;
    std::memcpy(scn.LineBuffer, scene.choices[chosen].target, kLineSize);
    if (CmdJump() != Step::Next) return 0;
  }
  CurrentTextWindow().SetColours(kWhite, kBlack);
  scene.ChoiceCount = 0;
  return ResumeScript();
}

void StartSkip() {
  if (scene.TextSkip != 0) return;
  TextWindow& w = CurrentTextWindow();
  scene.TextSkip = 1;
  scene.SkipLine = w.CurrentLine();
  scene.SkipX = w.PenX() + w.CharSpacing();
}

void FinishSkip() {
  if (scene.TextSkip != 1) return;
  scene.TextSkip = 0;
  if (!WindowVisible(scene.CurrentWindow)) return;
  TextWindow& w = CurrentTextWindow();
  LineRecord r{};
  if (w.GetLine(scene.SkipLine, r)) {
    w.FlushRect(scene.SkipX, r.top, r.right, r.bottom);
    InvalidateArea(scene.SkipX, r.top, r.right - scene.SkipX, r.bottom - r.top);
  }
  for (int i = scene.SkipLine + 1; i <= w.CurrentLine(); ++i) {
    w.FlushLine(i);
    InvalidateLine(w, i);
    plat::host().UpdateNow();
  }
}

// The interpreter's hooks.
void FinishTextSkip() { FinishSkip(); }

Step ShowTextLine() {
  shell.InputMode = mode::Typing;
  FrameStart();
  if (!WaitUntil(0)) return Step::Quit;
  if (SkipHeld()) StartSkip();
  const int32_t perChar = std::max(settings.textSpeed, 0);

  char line[kLineSize];
  std::memcpy(line, scn.LineBuffer, kLineSize);
  ExpandVariables(line);
  size_t n = std::strlen(line);
  if (n >= 3 && std::strcmp(line + n - 3, "!n\n") == 0) {
    line[n - 3] = '\0';
  } else if (n >= 2 && std::strcmp(line + n - 2, "!n") == 0) {
    line[n - 2] = '\0';
  } else if (n >= 3 && std::strcmp(line + n - 3, "\\n\n") == 0) {
    line[n - 1] = '\0';
  }

  bool quit = false, dropped = false;
  WalkText(
      line,
      [&](const char* ch, int len) {
        FrameStart();
        if (!PrintChar(ch, len)) dropped = true;
        if (scene.TextSkip == 0 && perChar > 0 && !WaitUntil(static_cast<uint32_t>(perChar))) {
          quit = true;
          return false;
        }
        return true;
      },
      [&] { CurrentTextWindow().NewLine(); });
  if (dropped) ReportOverflow("text");
  if (quit) return Step::Quit;
  shell.InputMode = mode::Running;
  return Step::Next;
}

Step CmdLoad() {
  char layer[kLineSize], file[kLineSize + 8];
  ExpandedToken(layer);
  ExpandedToken(file);
  std::strcat(file, ".K16");
  LoadLayerPicture(LayerOf(layer), file);
  return Step::Next;
}

void LoadLayerPicture(int layer, const char* file) {
  Image* image = PictureOf(layer);
  if (!image) {
    if (layer >= 0)
      ReportMistake("layer " + Quoted(kLayerNames[layer]) +
                    " holds no picture (back, place, face1 and face2 do)");
    return;
  }
  char* name = scene.pictureName[layer];
  std::strncpy(name, file, sizeof scene.pictureName[0] - 1);
  name[sizeof scene.pictureName[0] - 1] = '\0';
  if (!LoadK16At(*image, name, 0, 0)) {
    plat::host().ShowMessageBox(name, texts::kLoadErrorCaption);
    ReportMistake(FileProblem("picture", name));
  }
}

namespace {
Step SetShown(int32_t value) {
  char layer[kLineSize];
  ExpandedToken(layer);
  const int l = LayerOf(layer);
  if (l >= 0) scene.shown[l] = value;
  return Step::Next;
}
}  // namespace

void ComposeSceneIntoBackPage() {
  ComposeScene();
  Copy(gfx.BackPage, 0, 0, 640, 480, gfx.ScenePage, 0, 0);
  for (int n = 1; n <= 4; ++n) {
    if (!WindowVisible(n)) continue;
    TextWindow& w = msgwin.window[n];
    w.target = &gfx.BackPage;
    w.FlushAll();
    w.target = &gfx.Screen;
  }
}

Step CmdShow() { return SetShown(1); }
Step CmdHide() { return SetShown(0); }

Step CmdUpdate() {
  const int32_t effect = ValueToken();
  if (effect < 0 || effect > 9)
    ReportMistake("no transition " + std::to_string(effect) +
                  " (0 to 9): the scene is composed but not shown");
  ComposeSceneIntoBackPage();
  static constexpr int kSteps[10] = {0, 17, 17, 56, 46, 17, 65, 56, 50, 81};
  if (effect == 0) {
    Transition(gfx.Screen, gfx.BackPage, 0, 1);
  } else if (effect >= 1 && effect <= 9) {
    for (int s = 0; s < kSteps[effect]; ++s) {
      FrameStart();
      Transition(gfx.Screen, gfx.BackPage, effect, s);
      if (!WaitUntil(10)) return Step::Quit;
    }
  }
  return Step::Next;
}

Step CmdMsg() {
  const int32_t v = ValueToken();
  if (v >= 1 && v <= 4)
    scene.CurrentWindow = v;
  else
    ReportMistake("no window " + std::to_string(v) + " (windows are 1 to 4): .msg ignored");
  return Step::Next;
}

Step CmdClk() {
  const int32_t v = ValueToken();
  if (SkipHeld() || v != 0) return Step::Next;
  shell.InputMode = mode::ClickWait;
  ShowClickCursor(false);
  StartAutoWait();
  return Step::Wait;
}

Step CmdTcl() {
  const int32_t v = ValueToken();
  if (SkipHeld()) {
    ClearWindow();
    return Step::Next;
  }
  if (v == 0) {
    shell.InputMode = mode::ClickWaitClear;
    ShowClickCursor(true);
    StartAutoWait();
    return Step::Wait;
  }
  if (v == 1) ClearWindow();
  return Step::Next;
}

Step CmdCut() {
  StartSkip();
  return Step::Next;
}

Step CmdWat() {
  const int32_t v = ValueToken();
  FrameStart();
  return WaitStep(WaitUntil(static_cast<uint32_t>(std::max(v, 0))));
}

Step CmdCwt() {
  const int32_t v = ValueToken();
  FrameStart();
  return WaitStep(WaitOrClick(static_cast<uint32_t>(std::max(v, 0))));
}

Step CmdShake() {
  FrameStart();
  Image::SwapBuffers(gfx.BackPage, gfx.Screen);
  for (int round = 0; round < 2; ++round) {
    if (round) FrameStart();
    FillImageRect(gfx.Screen, 0, 470, 640, 10, kBlack);
    Copy(gfx.Screen, 0, 0, 640, 470, gfx.BackPage, 0, 10);
    InvalidateAll();
    if (!WaitUntil(50)) return Step::Quit;
    FrameStart();
    FillImageRect(gfx.Screen, 0, 0, 640, 10, kBlack);
    Copy(gfx.Screen, 0, 10, 640, 470, gfx.BackPage, 0, 0);
    InvalidateAll();
    if (!WaitUntil(50)) return Step::Quit;
  }
  FrameStart();
  Image::SwapBuffers(gfx.BackPage, gfx.Screen);
  InvalidateAll();
  return WaitStep(WaitUntil(10));
}

Step CmdFlash() {
  FrameStart();
  Image::SwapBuffers(gfx.BackPage, gfx.Screen);
  FillImageRect(gfx.Screen, 0, 0, gfx.Screen.width, gfx.Screen.height, kWhite);
  InvalidateAll();
  if (!WaitUntil(50)) return Step::Quit;
  FrameStart();
  Image::SwapBuffers(gfx.BackPage, gfx.Screen);
  InvalidateAll();
  return WaitStep(WaitUntil(50));
}

namespace {

void PrintChoices() {
  TextWindow& w = CurrentTextWindow();
  LineRecord r{};
  if (w.GetLine(w.CurrentLine(), r) && r.text[0] != '\0') w.NewLine();
  for (int i = 1; i <= scene.ChoiceCount; ++i) {
    Choice& c = scene.choices[i];
    c.firstLine = w.CurrentLine();
    c.lineCount = 1;
    char text[kLineSize];
    std::memcpy(text, c.text, kLineSize);
    ExpandVariables(text);
    WalkText(
        text,
        [&](const char* ch, int len) {
          char buffer[3] = {ch[0], len == 2 ? ch[1] : '\0', '\0'};
          const int before = w.CurrentLine();
          w.Print(buffer, 0);
          c.lineCount += w.CurrentLine() - before;
          return true;
        },
        [&] {
          w.NewLine();
          ++c.lineCount;
        });
    c.left = c.top = INT32_MAX;
    c.right = c.bottom = INT32_MIN;
    for (int line = c.firstLine; line < c.firstLine + c.lineCount; ++line) {
      if (!w.GetLine(line, r)) continue;
      c.left = std::min(c.left, r.left);
      c.top = std::min(c.top, r.top);
      c.right = std::max(c.right, r.right);
      c.bottom = std::max(c.bottom, r.bottom);
    }
    if (c.left == INT32_MAX) c.left = c.top = c.right = c.bottom = 0;
    w.NewLine();
  }
  if (w.CurrentLine() - 1 > w.ShownLines()) ReportOverflow("choices");
}

}  // namespace

Step CmdSlt() {
  char word[kLineSize];
  NextToken(word, scn.LineBuffer);
  if (std::strcmp(word, "add") == 0) {
    if (scene.ChoiceCount >= kMaxChoices) {
      ReportScriptError(texts::kTooManyChoices, "more than 20 choices: this one is left out");
      return Step::Next;
    }
    Choice& c = scene.choices[++scene.ChoiceCount];
    c = Choice{};
    ExpandedToken(c.text);
    NextToken(c.target, scn.LineBuffer);
    return Step::Next;
  }
  if (std::strcmp(word, "exec") == 0) {
    // Skip mode reads on only up to a decision.
    shell.SkipMode = false;
    if (scene.ChoiceCount >= 1) PrintChoices();
    shell.InputMode = mode::Choice;
    HighlightChoices(-1, -1);
    return Step::Wait;
  }
  ReportMistake(Quoted(word) + " is not add or exec: .slt ignored");
  return Step::Next;
}

namespace {
bool ResumeAfterClick(bool clearWindow) {
  plat::host().StopTimer(kAutoTimer);
  scene.charsSinceWait = 0;
  HideClickCursor();
  if (clearWindow) ClearWindow();
  return ResumeScript() != 0;
}
}  // namespace

bool SkipPress(int, int) {
  StartSkip();
  return true;
}
bool ClickWaitPress(int, int) { return ResumeAfterClick(false); }
bool ClickWaitClearPress(int, int) { return ResumeAfterClick(true); }
bool ChoicePress(int x, int y) { return ChooseAt(x, y) != 0; }
bool ChoiceMove(int x, int y) {
  HighlightChoices(x, y);
  return true;
}

bool InClickWait() {
  return shell.InputMode == mode::ClickWait || shell.InputMode == mode::ClickWaitClear;
}

void StartAutoWait() {
  if (!shell.AutoMode || !InClickWait()) return;
  const int64_t delay = static_cast<int64_t>(std::max(settings.autoDelay, 0)) +
                        static_cast<int64_t>(kAutoMsPerChar) * scene.charsSinceWait;
  plat::host().StartTimer(kAutoTimer, static_cast<uint32_t>(std::clamp<int64_t>(delay, 1, 600000)));
}

void StopAutoWait() { plat::host().StopTimer(kAutoTimer); }

namespace {
// The click wait now waiting ends as a click would end it.
bool EndClickWait() {
  if (shell.InputMode == mode::ClickWait) return ClickWaitPress(0, 0);
  if (shell.InputMode == mode::ClickWaitClear) return ClickWaitClearPress(0, 0);
  return true;
}
}  // namespace

bool AutoWaitEnded() {
  StopAutoWait();
  if (!shell.AutoMode || shell.OverlayOpen) return true;
  return EndClickWait();
}

bool PassClickWait() {
  if (shell.InputMode != mode::Typing) return EndClickWait();
  StartSkip();
  return true;
}
