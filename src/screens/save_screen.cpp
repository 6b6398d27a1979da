#include "screens/save_screen.h"

#include <cstdio>
#include <vector>

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

void drawSlotListing() {
  auto& h = plat::host();
  Copy(gfx.Screen, 0, 0, 640, 480, gfx.WorkPage, 0, 0);
  TextWindow& w = Listing();
  w.ClearAll();
  for (int slot = 1; slot <= kSaveSlotCount; ++slot) {
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
    if (slot < kSaveSlotCount) {
      for (int n = 0; n < 4; ++n) w.NewLine();
    }
  }
  InvalidateAll();
}

bool openSaveScreen() {
  leaveScenarioForScreen();
  SetupListingWindow();
  if (!screenChangeOut()) return false;
  LoadK16At(gfx.WorkPage, "saveback.K16", 0, 0);
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
    drawSlotListing();
    return closeScreen();
  }
  return true;
}

bool slotClick(int x, int y) {
  if (x >= 4 && x < 636 && y >= 456 && y < 476) {
    DrawMenu();
    shell.InputMode = mode::SaveMenu;
    return true;
  }
  if (x < 0 || x >= 640 || y < 0 || y >= 450) return true;
  const int slot = y / 150 + 1;
  if (shell.InputMode == mode::SaveSlots) {
    SaveInto(slot);
    return true;
  }
  return loadGame(slot);
}
