#include "shell/aids.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/waits.h"
#include "graphics/blit.h"
#include "graphics/graphics_texts.h"
#include "graphics/image.h"
#include "graphics/png.h"
#include "graphics/textwindow.h"
#include "platform/platform.h"
#include "script/backlog.h"
#include "script/presentation.h"
#include "shell/aids_texts.h"
#include "shell/input.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kRuleColour = 0x707070;
constexpr uint32_t kChoiceColour = 0xA0FFA0;

// The views use the message windows' own face and pitch.
constexpr int kFontSize = 20;
constexpr int kLineGap = 4;
constexpr int kPitch = kFontSize + kLineGap;

constexpr int kBacklogX = 48, kBacklogY = 52, kBacklogW = 544, kBacklogRows = 16;
constexpr int kHelpKeysX = 40, kHelpWhatX = 272, kHelpY = 60, kHelpRows = 15;
constexpr int kToastX = 360, kToastY = 8, kToastW = 272, kToastH = 32;
constexpr uint64_t kToastShowMs = 1500, kToastFadeMs = 500;
constexpr uint32_t kToastStepMs = 50;

constexpr int kTextSpeeds[] = {10, 20, 40, 0, 5};

enum class View { None, Backlog, Help };

struct Aids {
  View view = View::None;
  int32_t top = 0;  // first backlog line shown
  Image panel;      // the dimmed scene with the open view's text
  Image frame;      // what is presented while a note is up
  Image noteImage;  // the note drawn whole, to be mixed into the frame
  TextWindow pen, keysPen, notePen;
  std::string note;  // Shift-JIS
  uint64_t noteStart = 0;
  bool noteUp = false;
};
Aids aids;

void QuitUnless(bool ok) {
  if (!ok) plat::host().PostQuit(0);
}

bool Ready(Image& image) { return image.pixels || image.Create(kClientWidth, kClientHeight); }

void SetupPen(TextWindow& pen, Image* target, int x, int y, int w, int rows, uint32_t colour) {
  pen.Setup(target, x, y, w, rows * kPitch, texts::kFaceGothic, kFontSize, 400, -1, kLineGap, 2,
            rows, colour, kBlack, kBlueKey);
}

// A quarter of each channel: the scene stays recognisable behind text that
// must read clearly, its own message windows included.
void Dim(Image& image) {
  for (int32_t y = 0; y < image.height; ++y) {
    uint16_t* row = image.Row(y);
    for (int32_t x = 0; x < image.width; ++x) {
      const uint16_t p = row[x];
      row[x] = static_cast<uint16_t>((p >> 2) & 0x1CE7);
    }
  }
}

// The part of the screen the window shows.
void CopyScene(Image& to) {
  Copy(to, 0, 0, kClientWidth, kClientHeight, gfx.Screen, 0, gfx.ViewOffset);
}

uint32_t BacklogColour(const BacklogLine& line) {
  switch (line.window) {
    case 0:
      return kChoiceColour;
    case 2:
      return 0xC0E8FF;  // the other speaker's window, warmer
    case 3:
      return 0xFFE8C0;
    default:
      return kWhite;
  }
}

int32_t BacklogMaxTop() {
  return std::max<int32_t>(0, static_cast<int32_t>(backlog.lines.size()) - kBacklogRows);
}

void DrawBacklog() {
  CopyScene(aids.panel);
  Dim(aids.panel);
  SetupPen(aids.pen, &aids.panel, kBacklogX, 12, kBacklogW, 1, kWhite);
  aids.pen.Print(texts::kBacklogTitle, 1);
  SetupPen(aids.keysPen, &aids.panel, kBacklogX, kBacklogY, kBacklogW, kBacklogRows, kWhite);
  const auto count = static_cast<int32_t>(backlog.lines.size());
  for (int32_t row = 0; row < kBacklogRows && aids.top + row < count; ++row) {
    const auto at = static_cast<size_t>(aids.top) + static_cast<size_t>(row);
    const BacklogLine& line = backlog.lines[at];
    // Where the text moves to another window the speaker changes: a rule in
    // the gap between the lines keeps the two apart.
    if (row > 0 && backlog.lines[at - 1].window != line.window)
      FillImageRect(aids.panel, kBacklogX, kBacklogY + row * kPitch - kLineGap / 2 - 1, kBacklogW,
                    1, kRuleColour);
    aids.keysPen.SetColours(BacklogColour(line), kBlack);
    std::string text = line.window == 0 ? texts::kChoiceMark + line.text : line.text;
    aids.keysPen.Print(text.c_str(), 1);
    aids.keysPen.NewLine();
  }
  // Where the page lies in the whole backlog.
  const int barTop = kBacklogY, barHeight = kBacklogRows * kPitch;
  FillImageRect(aids.panel, 612, barTop, 4, barHeight, 0x404040);
  if (count > 0) {
    const int thumb = std::max(8, barHeight * std::min(count, kBacklogRows) / count);
    const int maxTop = BacklogMaxTop();
    const int at = maxTop == 0 ? 0 : (barHeight - thumb) * aids.top / maxTop;
    FillImageRect(aids.panel, 612, barTop + at, 4, thumb, 0xC0C0C0);
  }
  SetupPen(aids.pen, &aids.panel, kBacklogX, 446, kBacklogW, 1, 0xC0C0C0);
  aids.pen.Print(texts::kBacklogHint, 1);
}

void DrawHelp() {
  CopyScene(aids.panel);
  Dim(aids.panel);
  SetupPen(aids.pen, &aids.panel, kHelpKeysX, 18, 560, 1, kWhite);
  aids.pen.Print(texts::kHelpTitle, 1);
  SetupPen(aids.keysPen, &aids.panel, kHelpKeysX, kHelpY, kHelpWhatX - kHelpKeysX - 8, kHelpRows,
           0xC0E8FF);
  SetupPen(aids.pen, &aids.panel, kHelpWhatX, kHelpY, 608 - kHelpWhatX, kHelpRows, kWhite);
  for (const texts::HelpRow& row : texts::kHelpRows) {
    aids.keysPen.Print(row.keys, 1);
    aids.pen.Print(row.what, 1);
    // A text that wraps pushes the next row down in both columns.
    while (aids.keysPen.CurrentLine() < aids.pen.CurrentLine()) aids.keysPen.NewLine();
    while (aids.pen.CurrentLine() < aids.keysPen.CurrentLine()) aids.pen.NewLine();
    aids.keysPen.NewLine();
    aids.pen.NewLine();
  }
  SetupPen(aids.pen, &aids.panel, kHelpKeysX, 440, 560, 1, 0xC0C0C0);
  aids.pen.Print(texts::kHelpFooter, 1);
}

void Redraw() {
  if (aids.view == View::Backlog) DrawBacklog();
  if (aids.view == View::Help) DrawHelp();
  InvalidateAll();
}

void OpenView(View v) {
  if (!Ready(aids.panel)) return;
  aids.view = v;
  shell.OverlayOpen = true;
  // The click cursor would blink on under the view; it is left as it is.
  plat::host().StopTimer(kClickTimer);
  aids.top = BacklogMaxTop();
  Redraw();
}

void CloseView() {
  aids.view = View::None;
  shell.OverlayOpen = false;
  if (scene.cursorRunning) plat::host().StartTimer(kClickTimer, 100);
  // An automatic wait starts over: the player was reading something else.
  StartAutoWait();
  InvalidateAll();
}

// The backlog opens only where the game waits for the player: what it shows
// is then complete.
bool BacklogMayOpen() {
  return !backlog.lines.empty() && (InClickWait() || shell.InputMode == mode::Choice);
}

// Help covers whatever waits for the player; not a scene that moves on.
bool HelpMayOpen() {
  const int32_t m = shell.InputMode;
  if (m == mode::Typing || m < 0 || m >= mode::Count) return false;
  return routing.modes[m].leftDown != nullptr;
}

void Scroll(int32_t lines) {
  const int32_t maxTop = BacklogMaxTop();
  if (lines > 0 && aids.top >= maxTop) {
    CloseView();  // down past the end: back to the game
    return;
  }
  aids.top = std::clamp(aids.top + lines, 0, maxTop);
  Redraw();
}

void ShowNote(const std::string& text) {
  aids.note = text;
  aids.noteStart = plat::host().Millis();
  aids.noteUp = true;
  plat::host().StartTimer(kToastTimer, kToastStepMs);
  InvalidateArea(kToastX, kToastY, kToastW, kToastH);
}

// 0 (gone) to 256 (solid) as the note fades.
int NoteAlpha() {
  const uint64_t age = plat::host().Millis() - aids.noteStart;
  if (age >= kToastShowMs + kToastFadeMs) return 0;
  if (age <= kToastShowMs) return 256;
  return static_cast<int>(256 * (kToastShowMs + kToastFadeMs - age) / kToastFadeMs);
}

uint16_t Mix(uint16_t under, uint16_t over, int alpha) {
  auto channel = [&](int shift) {
    const int a = (under >> shift) & 31, b = (over >> shift) & 31;
    return static_cast<uint16_t>(((a * (256 - alpha) + b * alpha) >> 8) << shift);
  };
  return static_cast<uint16_t>(channel(10) | channel(5) | channel(0));
}

void DrawNote(Image& onto) {
  const int alpha = NoteAlpha();
  if (alpha == 0) return;
  // The note is drawn whole on a copy and mixed in, so its text fades with it.
  Image& note = aids.noteImage;
  if (!Ready(note)) return;
  Copy(note, kToastX, kToastY, kToastW, kToastH, onto, kToastX, kToastY);
  DarkenRect(note, kToastX, kToastY, kToastW, kToastH, 0x606060);
  if (aids.notePen.target != &note)
    SetupPen(aids.notePen, &note, kToastX + 8, kToastY + 5, kToastW - 16, 1, kWhite);
  aids.notePen.ClearAll();
  aids.notePen.Print(aids.note.c_str(), 1);
  for (int y = kToastY; y < kToastY + kToastH; ++y) {
    uint16_t* d = onto.Row(y);
    const uint16_t* s = note.Row(y);
    for (int x = kToastX; x < kToastX + kToastW; ++x) d[x] = Mix(d[x], s[x], alpha);
  }
}

void ApplyVolumes() {
  plat::host().SetVolumes(EffectiveMusicVolume(settings), EffectiveEffectsVolume(settings));
}

std::string VolumeNote() {
  if (settings.muted) return texts::kMuted;
  return texts::kMusic + std::to_string(settings.musicVolume) + "%" + texts::kEffects +
         std::to_string(settings.effectsVolume) + "%";
}

void StepVolume(int32_t& volume, int32_t step) {
  volume = std::clamp(volume + step, 0, 100);
  settings.muted = false;
  ApplyVolumes();
  SaveSettings();
  ShowNote(VolumeNote());
}

void NextTextSpeed() {
  const int* at = std::find(std::begin(kTextSpeeds), std::end(kTextSpeeds), settings.textSpeed);
  settings.textSpeed =
      at == std::end(kTextSpeeds) || at + 1 == std::end(kTextSpeeds) ? kTextSpeeds[0] : at[1];
  SaveSettings();
  ShowNote(texts::kTextSpeed + (settings.textSpeed == 0
                                    ? std::string(texts::kInstant)
                                    : std::to_string(settings.textSpeed) + texts::kMsPerChar));
}

// Keys the open view answers; every other key is swallowed, except those
// that leave the game or change the display.
bool ViewKey(uint32_t vk, bool repeat) {
  if (aids.view == View::Help) {
    if (vk == plat::vk::F12 || vk == plat::vk::F4) return false;
    if (repeat) return true;  // still the key that opened it
    if (vk != plat::vk::Control && vk != plat::vk::Shift) CloseView();
    return true;
  }
  switch (vk) {
    case plat::vk::Escape:
      CloseView();
      return true;
    case plat::vk::Up:
      Scroll(-1);
      return true;
    case plat::vk::Down:
      Scroll(1);
      return true;
    case plat::vk::PageUp:
      Scroll(-(kBacklogRows - 1));
      return true;
    case plat::vk::PageDown:
      Scroll(kBacklogRows - 1);
      return true;
    case plat::vk::Home:
      aids.top = 0;
      Redraw();
      return true;
    case plat::vk::End:
      aids.top = BacklogMaxTop();
      Redraw();
      return true;
    case plat::vk::F12:
    case plat::vk::F4:
    case plat::vk::F11:
      return false;
    default:
      return true;
  }
}

}  // namespace

void ResetAids() {
  aids.pen.Release();
  aids.keysPen.Release();
  aids.notePen.Release();
  aids.panel.Destroy();
  aids.frame.Destroy();
  aids.noteImage.Destroy();
  aids.view = View::None;
  aids.top = 0;
  aids.note.clear();
  aids.noteUp = false;
  aids.noteStart = 0;
}

void LoadSettings() {
  auto& h = plat::host();
  ResetSettings();
  // No file is the first start: the defaults, and nothing to say.
  std::vector<uint8_t> bytes;
  std::string why;
  Settings read;
  if (!h.ReadWholeFile(kSettingsFile, bytes)) {
    if (h.FileExists(kSettingsFile)) why = "cannot be read";
  } else if (ParseSettings(std::string(bytes.begin(), bytes.end()), read, why)) {
    settings = read;
  }
  if (!why.empty())
    h.Warn((std::string(kSettingsFile) + " is damaged (" + why + "); the default settings are used")
               .c_str());
  int scale = settings.windowScale;
  bool fit = settings.fit;
  h.ChooseWindowSize(scale, fit);
  if (scale != settings.windowScale || fit != settings.fit) {
    settings.windowScale = std::clamp(scale, 1, 4);
    settings.fit = fit;
    SaveSettings();
  }
}

void SaveSettings() {
  const std::string text = FormatSettings(settings);
  if (plat::host().WriteWholeFile(kSettingsFile, text.data(), text.size()) != plat::WriteResult::Ok)
    plat::host().Warn((std::string("cannot write ") + kSettingsFile).c_str());
}

void ApplyStartupSettings() {
  ApplyVolumes();
  if (settings.fullScreen && shell.FullScreen == 0) {
    ToggleDisplayMode();
    // A display that refused keeps the window, and the next start tries no more.
    if (shell.FullScreen == 0) {
      settings.fullScreen = false;
      SaveSettings();
    }
  }
}

void PlayerToggleDisplayMode() {
  ToggleDisplayMode();
  if (settings.fullScreen != (shell.FullScreen == 1)) {
    settings.fullScreen = shell.FullScreen == 1;
    SaveSettings();
  }
}

bool AidsKeyDown(uint32_t vk, bool repeat) {
  if (aids.view != View::None && ViewKey(vk, repeat)) return true;
  switch (vk) {
    case plat::vk::Tab:
    case plat::vk::A:
    case plat::vk::M:
    case plat::vk::T:
    case plat::vk::F2:
    case plat::vk::Slash:
    case plat::vk::F11:
      if (repeat) return true;
      break;
    default:
      break;
  }
  switch (vk) {
    case plat::vk::Control:
      shell.CtrlDown = true;
      QuitUnless(PassClickWait());
      return true;
    case plat::vk::Tab:
      // A battle is no text to read past; skip mode stays off in it.
      if (shell.InBattle) return true;
      shell.SkipMode = !shell.SkipMode;
      ShowNote(shell.SkipMode ? texts::kSkipOn : texts::kSkipOff);
      if (shell.SkipMode) QuitUnless(PassClickWait());
      return true;
    case plat::vk::A:
      shell.AutoMode = !shell.AutoMode;
      ShowNote(shell.AutoMode ? texts::kAutoOn : texts::kAutoOff);
      if (shell.AutoMode)
        StartAutoWait();
      else
        StopAutoWait();
      return true;
    case plat::vk::PageUp:
    case plat::vk::Up:
      if (BacklogMayOpen()) OpenView(View::Backlog);
      return true;
    case plat::vk::F2:
    case plat::vk::Slash:
      if (HelpMayOpen()) OpenView(View::Help);
      return true;
    case plat::vk::T:
      NextTextSpeed();
      return true;
    case plat::vk::Minus:
    case plat::vk::Subtract:
      StepVolume(settings.musicVolume, -10);
      return true;
    case plat::vk::Plus:
    case plat::vk::Add:
      StepVolume(settings.musicVolume, 10);
      return true;
    case plat::vk::LeftBracket:
      StepVolume(settings.effectsVolume, -10);
      return true;
    case plat::vk::RightBracket:
      StepVolume(settings.effectsVolume, 10);
      return true;
    case plat::vk::M:
      settings.muted = !settings.muted;
      ApplyVolumes();
      SaveSettings();
      ShowNote(VolumeNote());
      return true;
    case plat::vk::F11: {
      const std::string name = SaveScreenshot();
      ShowNote(name.empty() ? std::string(texts::kShotFailed) : texts::kShotSaved + name);
      return true;
    }
    case plat::vk::F4:
      PlayerToggleDisplayMode();
      return true;
    default:
      return false;
  }
}

bool AidsKeyUp(uint32_t vk) {
  if (vk == plat::vk::Control) shell.CtrlDown = false;
  return false;
}

bool AidsWheel(int notches) {
  if (aids.view == View::Backlog) {
    Scroll(-3 * notches);
    return true;
  }
  if (aids.view == View::Help) return true;
  if (notches > 0 && BacklogMayOpen()) OpenView(View::Backlog);
  return true;
}

bool AidsMouse(uint32_t message, int, int) {
  if (aids.view == View::None) return false;
  if (message == plat::msg::RButtonDown ||
      (aids.view == View::Help && message == plat::msg::LButtonDown))
    CloseView();
  // The buttons' state still follows, so that a release after closing is
  // not taken for a held button.
  if (message == plat::msg::LButtonUp) shell.LeftDown = 0;
  if (message == plat::msg::RButtonUp) shell.RightDown = 0;
  return true;
}

void AidsDeactivated() { shell.CtrlDown = false; }

void AidsToastTimer() {
  InvalidateArea(kToastX, kToastY, kToastW, kToastH);
  if (NoteAlpha() == 0) {
    aids.noteUp = false;
    plat::host().StopTimer(kToastTimer);
  }
}

void PresentFrame() {
  const bool view = aids.view != View::None && aids.panel.pixels;
  if (!aids.noteUp || !Ready(aids.frame)) {
    if (view)
      Present(0, 0, kClientWidth, kClientHeight, aids.panel, 0, 0);
    else
      Present(0, 0, kClientWidth, kClientHeight, gfx.Screen, 0, gfx.ViewOffset);
    return;
  }
  if (view)
    Copy(aids.frame, 0, 0, kClientWidth, kClientHeight, aids.panel, 0, 0);
  else
    CopyScene(aids.frame);
  DrawNote(aids.frame);
  Present(0, 0, kClientWidth, kClientHeight, aids.frame, 0, 0);
}

std::string SaveScreenshot() {
  auto& h = plat::host();
  Image shot;
  if (!shot.Create(kClientWidth, kClientHeight)) return {};
  if (aids.view != View::None && aids.panel.pixels)
    Copy(shot, 0, 0, kClientWidth, kClientHeight, aids.panel, 0, 0);
  else
    CopyScene(shot);
  const std::vector<uint8_t> png =
      EncodePng555(shot.pixels, shot.width, shot.height, shot.stride / 2, true);
  const plat::CalendarTime t = h.LocalCalendar(h.UnixSeconds());
  char stem[64];
  std::snprintf(stem, sizeof stem, "screenshots\\quillfen-%04d%02d%02d-%02d%02d%02d",
                static_cast<int>(t.year + 1900) % 10000, static_cast<int>(t.mon + 1) % 100,
                static_cast<int>(t.mday) % 100, static_cast<int>(t.hour) % 100,
                static_cast<int>(t.min) % 100, static_cast<int>(t.sec) % 100);
  h.MakeFolder("screenshots");
  std::string name = std::string(stem) + ".png";
  for (int n = 2; h.FileExists(name.c_str()) && n < 100; ++n)
    name = std::string(stem) + "-" + std::to_string(n) + ".png";
  if (h.WriteWholeFile(name.c_str(), png.data(), png.size()) != plat::WriteResult::Ok) return {};
  return name;
}
