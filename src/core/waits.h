// The input state every layer shares and the message-pumping waits with which
// the script, the battle and the screens pause while the window stays
// responsive. Depends on the platform layer only, so any subsystem may wait.
#pragma once

#include <cstdint>

// Which part of the game a click belongs to. The numbers are the ones saved
// games and the input routing have always used.
namespace mode {
inline constexpr int32_t Busy = 0;            // hand-over: battle set-up, loading a game
inline constexpr int32_t Running = 1;         // the interpreter runs
inline constexpr int32_t Typing = 2;          // a text line is being typed
inline constexpr int32_t ClickWait = 3;       // ".clk"
inline constexpr int32_t ClickWaitClear = 4;  // ".tcl"
inline constexpr int32_t Choice = 5;          // ".slt exec"
inline constexpr int32_t SaveMenu = 6;
inline constexpr int32_t SaveSlots = 7;
inline constexpr int32_t LoadSlots = 8;
inline constexpr int32_t DeckEditor = 9;
inline constexpr int32_t Collection = 10;
// The battle's modes, 12 to 19: who plays cards in which exchange of the
// turn. The player's four take clicks; the opponent's last only while its
// routine runs.
inline constexpr int32_t PlayerAttacks = 12;        // first exchange, the player attacks
inline constexpr int32_t PlayerIntercepts = 13;     // first exchange, the opponent attacked
inline constexpr int32_t OpponentAttacks = 14;      // first exchange, the opponent attacks
inline constexpr int32_t OpponentIntercepts = 15;   // first exchange, the player attacked
inline constexpr int32_t PlayerAttacksSecond = 16;  // second exchange, the player attacks
inline constexpr int32_t PlayerInterceptsSecond = 17;
inline constexpr int32_t OpponentAttacksSecond = 18;
inline constexpr int32_t OpponentInterceptsSecond = 19;
inline constexpr int32_t BattleFirst = PlayerAttacks;
inline constexpr int32_t BattleLast = OpponentInterceptsSecond;
inline constexpr int32_t Count = 20;

// The battle waits for the player to pick cards and decide.
constexpr bool PlayerChooses(int32_t m) {
  return m == PlayerAttacks || m == PlayerIntercepts || m == PlayerAttacksSecond ||
         m == PlayerInterceptsSecond;
}
// The side that plays now attacks (the player's or the opponent's turn).
constexpr bool PlayerAttacking(int32_t m) { return m == PlayerAttacks || m == PlayerAttacksSecond; }
constexpr bool OpponentAttacking(int32_t m) {
  return m == OpponentAttacks || m == OpponentAttacksSecond;
}
}  // namespace mode

struct Shell {
  int32_t InputMode = mode::Busy;
  int32_t LeftDown = 0;
  int32_t RightDown = 0;
  // Presses counted as they arrive: a quick click can go down and up within
  // one pump, and the waits must still see it.
  uint32_t LeftPresses = 0;
  uint32_t RightPresses = 0;
  uint64_t FrameStartTime = 0;
  uint64_t LastPumpRealMs = 0;  // the real clock at the last pump (PumpIfBusyLong)
  int32_t FullScreen = 0;
  // The player's reading aids; none of them is saved with a game.
  bool CtrlDown = false;     // held: text and click waits pass as with the right button
  bool SkipMode = false;     // Tab: as if Ctrl were held, until the next choice or battle
  bool AutoMode = false;     // A: click waits end by themselves
  bool OverlayOpen = false;  // the backlog or the help covers the scene; the game waits on
  // A question covers the scene (the quit box): the game behind it stands
  // still, timed steps included, until it is answered.
  bool Halted = false;
  // A battle runs: its waits end only by the game's own inputs, so neither
  // Ctrl nor skip mode changes how a battle plays.
  bool InBattle = false;
};
extern Shell shell;

// Text and click waits pass: the right button, or outside a battle Ctrl
// held or skip mode.
bool SkipHeld();

void ResetShell();

// Every timed step calls FrameStart first and then waits relative to it, so
// the time spent drawing counts within the step. Each wait returns 0 when the
// quit message came: the program must end.
void FrameStart();
[[nodiscard]] int WaitUntil(uint32_t ms);
[[nodiscard]] int WaitOrClick(uint32_t ms);
[[nodiscard]] int WaitClick();

// Dispatches every message that is ready; false when the quit message came.
// A question opened meanwhile holds it until answered, and the time it
// stood open does not count against the step that was timing.
[[nodiscard]] bool PumpPending();

// A run of scenario lines that never waits would leave the window deaf: no
// close button, no termination request. Past kBusyPumpMs of real time since
// the last pump it takes what must be answered at once (the close, the
// session's end, painting), so a quit ends the game the normal way (progress
// written); false when the quit message came. Clicks and keys stay queued,
// in order, for the wait that takes them. A run that waits pumps in its
// waits and never gets here.
inline constexpr uint64_t kBusyPumpMs = 100;
void StartBusyRun();
[[nodiscard]] bool PumpIfBusyLong();
