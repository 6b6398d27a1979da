#include "screens/save_screen.h"

#include <cstdio>
#include <vector>

#include "core/settings.h"
#include "core/waits.h"
#include "data/player.h"
#include "graphics/blit.h"
#include "graphics/graphics_texts.h"
#include "graphics/image.h"
#include "graphics/k16.h"
#include "graphics/mosaic_change.h"
#include "graphics/textwindow.h"
#include "screens/saves.h"
#include "screens/screen_change.h"
#include "screens/screens_texts.h"
#include "script/interpreter.h"
#include "script/presentation.h"
#include "script/reader.h"
#include "script/variables.h"
#include "sound/music.h"

namespace {

constexpr int kButtonX = 160, kButtonW = 320, kButtonH = 32;
constexpr int kSaveY = 152, kLoadY = 200, kStartOverY = 248, kBackY = 296;
// Each slot owns a band of five listing lines, whatever its text's length,
// so that every slot's text sits in its own panel.
constexpr int kLinesPerSlot = 5;

bool Within(int v, int top, int height) { return v >= top && v < top + height; }

TextWindow& Listing() { return msgwin.window[4]; }

void SetupListingWindow() {
  Listing().Setup(&gfx.Screen, 12, 44, 608, 416, texts::kFaceGothic, 26, 400, 0, 4, 2, 20, 0xFFFFFF,
                  0x000000, kBlueKey);
}

// The four buttons of "saveback" (below its page) over the darkened listing.
void DrawMenu() {
  DarkenRect(gfx.Screen, 0, 0, 640, 480, 0x646464);
  Copy(gfx.Screen, kButtonX, kSaveY, kButtonW, kButtonH, gfx.WorkPage, 0, 480);
  Copy(gfx.Screen, kButtonX, kLoadY, kButtonW, kButtonH, gfx.WorkPage, 320, 480);
  Copy(gfx.Screen, kButtonX, kStartOverY, kButtonW, kButtonH, gfx.WorkPage, 0, 512);
  Copy(gfx.Screen, kButtonX, kBackY, kButtonW, kButtonH, gfx.WorkPage, 320, 512);
  InvalidateAll();
}

// The story from its first scenario; the player keeps what they have.
bool StartOver() {
  StopAllSound();
  snd.CurrentMusic[0] = '\0';
  snd.CurrentLoopSound[0] = '\0';
  SetupMessageWindows();
  scene.ChoiceCount = 0;
  for (Choice& c : scene.choices) c = Choice{};
  shell.InputMode = mode::Running;
  if (!OpenScenario("start")) return false;
  return ResumeScript() != 0;
}

void SaveInto(int slot) {
  auto& h = plat::host();
  const bool looping = snd.CurrentLoopSound[0] != '\0';
  if (looping) StopWave();
  PlayWave("wv\\etc12.wav", plat::kWaveAsync);
  saveGame(slot);
  saveProgress();
  drawSlotListing();
  h.UpdateNow();
  // The effect plays out while the new listing stands; no input meanwhile.
  h.SleepMs(800);
  if (looping) PlayWave(snd.CurrentLoopSound, plat::kWaveAsync | plat::kWaveLoop);
}

}  // namespace

void FormatSlotListing(const SaveSnapshot& s, const plat::CalendarTime& t, char* out, size_t size) {
  // The saved date is the file's and may be anything: it wraps as the
  // script's "year" and "month" do.
  const auto plus = [](int32_t v, uint32_t k) {
    return static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(v) + k));
  };
  std::snprintf(out, size, "%d/%d/%d %d%s%d%s%d\n %d/%d/%d\n Card:%d/%d HP:%d/%d MP:%d/%d \\:%d",
                t.year + 1900, t.mon + 1, t.mday, t.hour, t.min <= 9 ? ":0" : ":", t.min,
                t.sec <= 9 ? ":0" : ":", t.sec, plus(s.date.year, 1900), plus(s.date.mon, 1),
                s.date.mday, s.deckCount, s.stockCount, s.hp, s.maxhp, s.mp, s.maxmp, s.money);
}

SaveScreenState saveScreen;

void ResetSaveScreen() { saveScreen.caption.Release(); }

namespace {

// Which of SAVE and LOAD the player chose, on the foot bar left of its own
// label: a click on a slot does what this says. The player's choice; the
// screen itself shows both listings alike.
void DrawModeCaption() {
  if (!settings.saveCaption) return;
  const char* text = shell.InputMode == mode::SaveSlots   ? texts::kPickSaveSlot
                     : shell.InputMode == mode::LoadSlots ? texts::kPickLoadSlot
                                                          : nullptr;
  if (!text) return;
  TextWindow& pen = saveScreen.caption;
  pen.Setup(&gfx.Screen, 12, 458, 400, 16, texts::kFaceGothic, 14, 700, 0, 0, 1, 1, 0xA0E7FF,
            0x000000, kBlueKey);
  pen.Print(text, 1);
}

}  // namespace

void drawSlotListing() {
  auto& h = plat::host();
  Copy(gfx.Screen, 0, 0, 640, 480, gfx.WorkPage, 0, 0);
  DrawModeCaption();
  TextWindow& w = Listing();
  w.ClearAll();
  const int firstLine = w.CurrentLine();
  for (int slot = 1; slot <= kSaveSlotCount; ++slot) {
    while (w.CurrentLine() < firstLine + (slot - 1) * kLinesPerSlot) w.NewLine();
    SaveSnapshot s;
    std::vector<uint8_t> variables;
    const SlotState state = readSaveFile(slot, static_cast<int32_t>(vars.ints.size()),
                                         static_cast<int32_t>(vars.strs.size()), s, variables);
    char name[kSavedNameSize];
    SaveSlotFileName(slot, name);
    plat::CalendarTime written;
    if (state == SlotState::Ok && h.FileWriteTime(name, written)) {
      char text[kLineSize];
      FormatSlotListing(s, written, text, sizeof text);
      w.Print(text, 1);
    } else if (state == SlotState::Empty) {
      w.Print(texts::kSlotNoData, 1);
    } else {
      // Numbers from a file that is not a whole save would mislead.
      w.Print(texts::kSlotDamaged, 1);
    }
  }
  InvalidateAll();
}

bool openSaveScreen() {
  leaveScenarioForScreen();
  SetupListingWindow();
  if (!screenChangeOut()) return false;
  LoadNeededK16(gfx.WorkPage, "saveback.K16", 0, 0, "the save screen's background");
  drawSlotListing();
  Image::SwapBuffers(gfx.BackPage, gfx.Screen);
  if (!screenChangeIn()) return false;
  DrawMenu();
  shell.InputMode = mode::SaveMenu;
  return true;
}

bool saveMenuClick(int x, int y) {
  if (x < kButtonX || x >= kButtonX + kButtonW) return true;
  if (Within(y, kSaveY, kButtonH)) {
    shell.InputMode = mode::SaveSlots;
    drawSlotListing();
  } else if (Within(y, kLoadY, kButtonH)) {
    shell.InputMode = mode::LoadSlots;
    drawSlotListing();
  } else if (Within(y, kStartOverY, kButtonH)) {
    return StartOver();
  } else if (Within(y, kBackY, kButtonH)) {
    return saveScreenBack();
  }
  return true;
}

bool saveScreenBack() {
  if (shell.InputMode == mode::SaveMenu) {
    drawSlotListing();
    return closeScreen();
  }
  DrawMenu();
  shell.InputMode = mode::SaveMenu;
  return true;
}

bool slotClick(int x, int y) {
  if (x >= 4 && x < 636 && y >= 456 && y < 476) return saveScreenBack();
  if (x < 0 || x >= 640 || y < 0 || y >= 450) return true;
  const int slot = y / 150 + 1;
  if (shell.InputMode == mode::SaveSlots) {
    SaveInto(slot);
    return true;
  }
  return loadGame(slot);
}
