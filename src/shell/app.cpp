#include "shell/app.h"

#include "core/settings.h"
#include "graphics/blit.h"
#include "script/backlog.h"
#include "shell/aids.h"
#include "shell/display.h"
#include "shell/notes.h"
#include "shell/overlay.h"
#include "shell/quit_box.h"
#include "shell/setting_keys.h"
#include "shell/settings_file.h"

#include "battle/autoplayer.h"
#include "battle/battle.h"
#include "battle/turn.h"
#include "core/mistake_log.h"
#include "core/random.h"
#include "data/database.h"
#include "data/player.h"
#include "data/save_file.h"
#include "graphics/image.h"
#include "graphics/k16.h"
#include "graphics/number_font.h"
#include "graphics/textwindow.h"
#include "platform/platform.h"
#include "screens/collection.h"
#include "screens/deck_editor.h"
#include "screens/save_screen.h"
#include "screens/screen_change.h"
#include "script/interpreter.h"
#include "script/presentation.h"
#include "script/reader.h"
#include "script/variables.h"
#include "shell/game_commands.h"
#include "shell/input.h"
#include "shell/texts.h"
#include "sound/music.h"

namespace {

void StartupLoading() {
  auto& h = plat::host();
  SeedRandom(static_cast<uint32_t>(h.UnixSeconds()));
  loadCardData();
  loadArts();
  loadProgress();
  player.date = h.LocalCalendar(h.UnixSeconds());
  // The opponent's side belongs to the battle state, zero until a battle.
  player.hp = player.maxhp = player.mp = player.maxmp = 0;
  player.result = 0;
  CreateGlobalImages();
  LoadNeededK16(gfx.PartsSheet, "source1.K16", 0, 0, "the interface sheet");
  LoadNumberFonts();
  SetupMessageWindows();
}

void Shutdown() {
  auto& h = plat::host();
  StopMusic();
  saveProgress();
  h.Trace("shutdown: scenario closed");
  CloseScenario();
  ResetVariables();
}

// The sound commands' arguments are read by the script; the music and the
// waves take them as plain values.
Step CmdWav() {
  char name[kLineSize];
  const int32_t mode = ReadNameAndMode(scn.LineBuffer, name);
  WaveCommand(name, mode);
  return Step::Next;
}

Step CmdMid() {
  char name[kLineSize];
  const int32_t mode = ReadNameAndMode(scn.LineBuffer, name);
  MusicCommand(name, mode);
  return Step::Next;
}

Step CmdBgm() {
  char name[kLineSize];
  int32_t mode = 0;
  if (ReadBgmArguments(scn.LineBuffer, name, mode))
    MusicCommand(name, mode);
  else
    MusicCommand("stop", 0);
  return Step::Next;
}

// The paint: the game's picture, with a view or a note over it when one is up.
void PresentFrame() {
  if (const Image* framed = FrameWithNote()) {
    Present(0, 0, kClientWidth, kClientHeight, *framed, 0, 0);
    return;
  }
  if (const Image* panel = ViewPanel())
    Present(0, 0, kClientWidth, kClientHeight, *panel, 0, 0);
  else
    Present(0, 0, kClientWidth, kClientHeight, gfx.Screen, 0, gfx.ViewOffset);
}

void OnTimer(uintptr_t timer) {
  if (timer == kAutoTimer)
    QuitUnless(AutoWaitEnded());
  else if (timer == kToastTimer)
    NoteTimer();
  else
    BlinkClickCursor();
}

void OnWheel(uintptr_t wParam) {
  const int delta = static_cast<int16_t>((wParam >> 16) & 0xFFFF);
  int notches = delta / 120;
  if (notches == 0 && delta != 0) notches = delta > 0 ? 1 : -1;  // a fine-grained wheel
  AidsWheel(notches);
}

// Leaving full screen, the window goes behind the one the player went to;
// true when that answered the message.
bool OnDeactivated() {
  AidsDeactivated();
  if (shell.FullScreen != 1) return false;
  ToggleDisplayMode();
  plat::host().SendWindowToBack();
  return true;
}

}  // namespace

void WireSubsystems() {
  builtins.values = PlayerValues();
  SetMistakePlaceFinder(PlaceWhileReading);
  ResetCommands();
  RegisterScriptCommands();
  RegisterCommand(".wav", CmdWav);
  RegisterCommand(".mid", CmdMid);
  RegisterCommand(".bgm", CmdBgm);
  RegisterGameCommands();

  ResetInputRouting();
  SetModeHandlers(mode::Typing, {SkipPress, SkipPress, nullptr, nullptr});
  SetModeHandlers(mode::ClickWait, {ClickWaitPress, ClickWaitPress, nullptr, nullptr});
  SetModeHandlers(mode::ClickWaitClear,
                  {ClickWaitClearPress, ClickWaitClearPress, nullptr, nullptr});
  SetModeHandlers(mode::Choice, {ChoicePress, nullptr, nullptr, ChoiceMove});
  SetModeHandlers(mode::SaveMenu, {saveMenuClick, nullptr, nullptr, nullptr, saveScreenBack});
  SetModeHandlers(mode::SaveSlots, {slotClick, nullptr, nullptr, nullptr, saveScreenBack});
  SetModeHandlers(mode::LoadSlots, {slotClick, nullptr, nullptr, nullptr, saveScreenBack});
  for (int32_t m : {mode::PlayerAttacks, mode::PlayerIntercepts, mode::PlayerAttacksSecond,
                    mode::PlayerInterceptsSecond})
    SetModeHandlers(m, {battleClick, battleRightClick, nullptr, battleHover});
  SetModeHandlers(mode::DeckEditor, {deckEditorPress, deckEditorDetail, deckEditorRelease,
                                     deckEditorMove, deckEditorBack});
  SetModeHandlers(mode::Collection,
                  {collectionClick, collectionDetail, nullptr, nullptr, closeScreen});
  SetScreenOpener(ScreenButton::SaveLoad, openSaveScreen);
  SetScreenOpener(ScreenButton::DeckEditor, openDeckEditor);
  SetScreenOpener(ScreenButton::Collection, openCollectionViewer);
  routing.screenButtonsOff = EventRunning;
  routing.showPosition = ShowScriptPosition;
}

void ResetGameState() {
  WireSubsystems();
  ResetShell();
  ResetInterpreter();
  ResetPresentation();
  ResetScenarioReader();
  DestroyMessageWindows();
  ResetVariables();
  ResetDatabase();
  ResetPlayerState();
  ResetSnapshot();
  ResetScreens();
  ResetDeckEditor();
  ResetCollection();
  ResetSaveScreen();
  ResetBattle();
  ResetRandom();
  ResetSound();
  DestroyGlobalImages();
  ResetNumberFonts();
  ResetAids();
  ResetBacklog();
  ResetSettings();
  ResetAutomation();
  ResetMistakes();
}

intptr_t WindowProc(uint32_t id, uintptr_t wParam, intptr_t lParam) {
  auto& h = plat::host();
  const int x = plat::PointX(lParam), y = plat::PointY(lParam);
  // An open view of the reading aids takes the mouse before the game does.
  if (id >= plat::msg::MouseMove && id <= plat::msg::RButtonUp && AidsMouse(id, x, y)) return 0;
  switch (id) {
    case plat::msg::User + 1:
      QuitUnless(ResumeScript());
      return 0;
    case plat::msg::Paint:
      PresentFrame();
      return 0;
    case plat::msg::Timer:
      OnTimer(wParam);
      return 0;
    case plat::msg::MouseWheel:
      OnWheel(wParam);
      return 0;
    case plat::msg::KeyUp:
      AidsKeyUp(static_cast<uint32_t>(wParam));
      return 0;
    case plat::msg::MouseMove:
      OnMouseMove(x, y);
      return 0;
    case plat::msg::LButtonDown:
      OnLeftDown(x, y);
      return 0;
    case plat::msg::LButtonUp:
      OnLeftUp(x, y);
      return 0;
    case plat::msg::RButtonDown:
      OnRightDown(x, y);
      return 0;
    case plat::msg::RButtonUp:
      OnRightUp(x, y);
      return 0;
    case plat::msg::KeyDown:
      if (!AidsKeyDown(static_cast<uint32_t>(wParam), (lParam & plat::kKeyRepeat) != 0))
        OnKeyDown(static_cast<uint32_t>(wParam));
      return 0;
    case plat::msg::SysKeyDown:
      if (wParam == plat::vk::Return) {
        PlayerToggleDisplayMode();
        return 0;
      }
      break;
    case plat::msg::Activate:
      if ((wParam & 0xFFFF) != plat::activate::Inactive || OnDeactivated()) return 0;
      break;
    case plat::msg::Close:
      // A second close while the box asks is the answer.
      if (QuitAsks() && OpenedView() != View::Quit)
        AskQuit();
      else
        QuitNow();
      return 0;
    case plat::msg::EndSession:
      // The system may end the process once this returns: the progress is
      // written now, and again by the shutdown if there is time for it.
      if (wParam != 0) {
        saveProgress();
        QuitNow();
      }
      return 0;
    case plat::msg::Destroy:
      RestoreDisplayAtExit();
      h.PostQuit(0);
      return 0;
    default:
      break;
  }
  return h.DefaultProc(id, wParam, lParam);
}

int GameMain() {
  auto& h = plat::host();
  WireSubsystems();
  LoadSettings();
  if (!h.OpenWindow(texts::kWindowTitle, WindowProc)) return 1;
  StartupLoading();
  ReadConfig();
  ApplyVolumes();
  ApplyRememberedDisplayMode();
  // Without "start" there is nothing to run: no message loop, nothing saved.
  if (!OpenScenario("start")) return 0;
  h.Post(plat::msg::User + 1, 0, 0);
  plat::Message m;
  while (h.Get(m)) h.Dispatch(m);
  Shutdown();
  return h.QuitCode();
}
