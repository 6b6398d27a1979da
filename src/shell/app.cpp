#include "shell/app.h"

#include "core/settings.h"
#include "script/backlog.h"
#include "shell/aids.h"

#include "battle/autoplayer.h"
#include "battle/battle.h"
#include "battle/turn.h"
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
  LoadK16At(gfx.PartsSheet, "source1.K16", 0, 0);
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

// A scripted run's automated battle: on from the first choice it plays until
// the request is used up.
struct Automation {
  bool battling = false;
};
Automation automation;

}  // namespace

void WireSubsystems() {
  builtins.values = PlayerValues();
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
  SetModeHandlers(mode::SaveMenu, {saveMenuClick, nullptr, nullptr, nullptr});
  SetModeHandlers(mode::SaveSlots, {slotClick, nullptr, nullptr, nullptr});
  SetModeHandlers(mode::LoadSlots, {slotClick, nullptr, nullptr, nullptr});
  for (int32_t m : {12, 13, 16, 17})
    SetModeHandlers(m, {battleClick, battleRightClick, nullptr, battleHover});
  SetModeHandlers(mode::DeckEditor,
                  {deckEditorPress, deckEditorDetail, deckEditorRelease, deckEditorMove});
  SetModeHandlers(mode::Collection, {collectionClick, collectionDetail, nullptr, nullptr});
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
  ResetBattle();
  ResetRandom();
  ResetSound();
  DestroyGlobalImages();
  ResetNumberFonts();
  ResetAids();
  ResetBacklog();
  ResetSettings();
  automation = Automation{};
}

intptr_t WindowProc(uint32_t id, uintptr_t wParam, intptr_t lParam) {
  auto& h = plat::host();
  const int x = plat::PointX(lParam), y = plat::PointY(lParam);
  // An open view of the reading aids takes the mouse before the game does.
  if (id >= plat::msg::MouseMove && id <= plat::msg::RButtonUp && AidsMouse(id, x, y)) return 0;
  switch (id) {
    case plat::msg::User + 1:
      if (!ResumeScript()) h.PostQuit(0);
      return 0;
    case plat::msg::Paint:
      PresentFrame();
      return 0;
    case plat::msg::Timer:
      if (wParam == kAutoTimer) {
        if (!AutoWaitEnded()) h.PostQuit(0);
      } else if (wParam == kToastTimer) {
        AidsToastTimer();
      } else {
        BlinkClickCursor();
      }
      return 0;
    case plat::msg::MouseWheel: {
      const int delta = static_cast<int16_t>((wParam >> 16) & 0xFFFF);
      int notches = delta / 120;
      if (notches == 0 && delta != 0) notches = delta > 0 ? 1 : -1;  // a fine-grained wheel
      AidsWheel(notches);
      return 0;
    }
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
      if ((wParam & 0xFFFF) == plat::activate::Inactive) {
        AidsDeactivated();
        if (shell.FullScreen == 1) {
          ToggleDisplayMode();
          h.SendWindowToBack();
          return 0;
        }
        break;
      }
      return 0;
    case plat::msg::Close:
      h.DestroyWindow();
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
  ApplyStartupSettings();
  // Without "start" there is nothing to run: no message loop, nothing saved.
  if (!OpenScenario("start")) return 0;
  h.Post(plat::msg::User + 1, 0, 0);
  plat::Message m;
  while (h.Get(m)) h.Dispatch(m);
  Shutdown();
  return h.QuitCode();
}

std::vector<plat::Point> AutomatedClicks(const std::string& request) {
  if (request != "battle") return {};
  if (choosingMode(shell.InputMode)) {
    automation.battling = true;
    return greedyClicks();
  }
  // A battle not won: the scenario's text is read on and its first choice
  // taken (stories offer "try again" first) until the next battle starts.
  if (automation.battling && player.result != 0) {
    if (shell.InputMode == mode::Choice && scene.ChoiceCount > 0) {
      const Choice& c = scene.choices[1];
      return {{(c.left + c.right) / 2, (c.top + c.bottom) / 2}};
    }
    if (shell.InputMode == mode::ClickWait || shell.InputMode == mode::ClickWaitClear)
      return {{320, 240}};
  }
  automation = Automation{};
  return {};
}
