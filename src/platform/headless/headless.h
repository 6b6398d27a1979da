// A backend without a display: a virtual clock that moves only while the game
// waits, input from a script, and everything the game shows or says recorded.
// Tests and the autoplay run the real program through it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/headless/headless_sound.h"
#include "platform/platform.h"
#include "platform/posix/file_handle.h"
#include "platform/posix/message_host.h"
#include "platform/posix/periodic_timer.h"

namespace headless {

struct Options {
  std::string dataDir = ".";
  std::string saveDir;         // where the game writes; empty: the data directory
  std::string screenshotDir;   // empty: no screenshots are written
  uint64_t until = 0;          // virtual ms at which the window is closed; 0: never
  int64_t epoch = 1775034000;  // wall-clock seconds at virtual time 0 (2026-04-01 09:00 UTC)
  bool echo = true;            // copy the log to stderr
  // Warnings (an author's mistakes) on stderr even when the log is not
  // copied there: the program's own runs, not the tests'.
  bool warningsOnStderr = false;
  std::string logFile;  // also write the log here
  plat::DisplayTest fullScreenAnswer = plat::DisplayTest::Successful;
  // Follow the real clock and sleep while idle, instead of jumping: lets a
  // benchmark see what the waits cost in processor time.
  bool realClock = false;
  // Draw all text with the built-in fixed-metrics face instead of the
  // installed fonts, so text tests see the same layout on every machine.
  bool testFont = false;
  // With realClock: run the music timer on a real thread, as the desktop
  // backends do, so a benchmark can see what playing music costs.
  bool threadedTimer = false;
  // A player answers questions (the quit box): off, since a script cannot.
  bool interactive = false;
  // Render the run's music and wave effects into this WAV file at the end.
  std::string audioOut;
};

// One line of the input script:
//   [wait | @MS | +MS] ACTION ARGS
// "wait" fires when the game next waits for input (it has nothing to do but
// wait for the player), "wait+MS" that long after it starts waiting, "@MS"
// at a virtual time, "+MS" that long after the previous action. No prefix means "wait". Actions:
// click X Y, rclick X Y, move X Y, ldown X Y, lup X Y, rdown X Y, rup X Y, key NAME (a press
// and release: enter, esc, f1, f2, f4, f11, f12, tab, ctrl, shift, pageup, pagedown, home, end,
// up, down, a, m, t, minus, plus, slash, lbracket, rbracket), keydown NAME and keyup NAME (to
// hold a key), wheel N (notches at the pointer, positive up), altenter, close, activate,
// deactivate, screenshot [NAME],
// autobattle: plays the player's side of the battle now waiting, exchange by
// exchange, until it is over; the game names the clicks (see SetAutomation),
// since no script can know which cards a shuffled hand will hold. It is used
// up at the first wait outside a battle's choice.
struct InputEvent {
  enum class Trigger { Wait, At, After } trigger = Trigger::Wait;
  uint64_t ms = 0;
  enum class Kind {
    Move,
    LDown,
    LUp,
    RDown,
    RUp,
    Key,
    KeyUp,
    Wheel,  // x: notches, positive up
    SysKey,
    Close,
    Activate,
    Deactivate,
    Screenshot,
    Auto
  } kind = Kind::Move;
  int x = 0, y = 0;
  uint32_t key = 0;
  std::string name;
  int sourceLine = 0;
};

// Parses an input script; on failure returns false with "line N: why".
bool ParseInputScript(const std::string& text, std::vector<InputEvent>& out, std::string& error);

// SIGTERM and SIGINT close the window of whichever host runs, instead of
// killing the process with the player's progress unwritten.
void CloseOnTermination();

class HeadlessHost : public posix::MessageHost {
 public:
  explicit HeadlessHost(Options options);
  ~HeadlessHost() override;
  // Why the log file or the screenshot folder cannot be used; empty when
  // both can. The program refuses to run rather than lose them silently.
  const std::string& StartupError() const { return startupError_; }

  void SetInput(std::vector<InputEvent> events);
  // The game's answer to an automated request ("battle"): the clicks a
  // player would make now, in order, each once the game waits again. No
  // clicks: the request is used up.
  using Automation = std::vector<plat::Point> (*)(const std::string& request);
  void SetAutomation(Automation answer) { automation_ = answer; }
  // Every scripted action has been delivered.
  bool InputDone() const { return nextEvent_ >= events_.size(); }
  // Called with each scripted action just before it is delivered, from
  // inside the game's own wait: lets a long test check the game's state
  // between every two inputs.
  using InputHook = void (*)(const InputEvent& next, void* user);
  void SetInputHook(InputHook hook, void* user) {
    inputHook_ = hook;
    inputHookUser_ = user;
  }
  uint64_t InputsDelivered() const { return delivered_; }

  // What the run showed and said.
  struct Box {
    std::string text, caption;  // Shift-JIS as the game passed them
    uint64_t at = 0;
  };
  std::vector<Box> boxes;
  std::vector<std::string> traces;  // Shift-JIS
  std::vector<std::string> log;     // UTF-8 lines as printed
  int beeps = 0;
  bool windowOpen = false;
  bool captured = false;
  bool fullScreen = false;
  int sentToBack = 0;
  // Every message id handed to the game, in order.
  std::vector<uint32_t> sentToProc;
  // Every rectangle the game invalidated, as passed (a whole-window call as
  // 0, 0, 640, 480), for tests of what a drawing step makes visible.
  std::vector<plat::Rect> invalidations;

  // --- sound ---------------------------------------------------------------
  // Every MIDI, wave and volume call with the virtual time it was made at.
  using SoundCall = headless::SoundCall;
  std::vector<SoundCall> sound;
  bool midiOpen = false;
  bool PeriodicTimerActive() const { return periodic_.id != 0; }
  // The timer thread of a busy machine: the clock moves on by ms and the
  // periodic callback misses those calls.
  void StallPeriodicTimer(uint64_t ms);
  // Writes Options::audioOut (once; the destructor does it if nobody did).
  // False with a reason when the file could not be written; a missing
  // SoundFont only leaves the music out and is reported on stderr.
  bool FinishAudio(std::string& error);

  bool SaveScreenshot(const std::string& name);
  Options& options() { return options_; }

  // plat::Host
  bool OpenWindow(const char* titleSjis, plat::WindowProc proc) override;
  void DestroyWindow() override;
  bool Peek() override;
  bool Get(plat::Message& out) override;
  bool TakeUrgent(plat::Message& out) override;
  void WaitReady(uint64_t deadline) override;
  void CaptureMouse() override { captured = true; }
  void ReleaseMouse() override { captured = false; }
  plat::Point CursorPos() override { return cursor_; }
  uint64_t Millis() override;
  uint64_t RealMillis() override;
  void SleepMs(uint32_t ms) override;
  void Beep() override;
  void ShowMessageBox(const char* textSjis, const char* captionSjis) override;
  void Trace(const char* textSjis) override;
  void Warn(const char* textSjis) override;
  plat::DisplayTest TestFullScreen() override { return options_.fullScreenAnswer; }
  void EnterFullScreen() override;
  void LeaveFullScreen() override;
  void SendWindowToBack() override { ++sentToBack; }
  // Remembered as given; tests read what the game asked for.
  void ChooseWindowSize(int& scale, bool& fit) override {
    windowScale = scale;
    windowFit = fit;
  }
  int windowScale = 0;
  bool windowFit = false;
  bool FileWriteTime(const char* nameSjis, plat::CalendarTime& out) override {
    return data().WriteTime(nameSjis, true, out);
  }
  int64_t UnixSeconds() override { return options_.epoch + static_cast<int64_t>(now_ / 1000); }
  plat::CalendarTime LocalCalendar(int64_t s) override { return posix::BreakDown(s, true); }
  bool NormaliseCalendar(plat::CalendarTime& t) override { return posix::Normalise(t, true); }
  bool MidiOpen() override;
  bool Interactive() override { return options_.interactive; }
  void MidiShortMessage(uint32_t message) override;
  void MidiLongMessage(const uint8_t* data, size_t size) override;
  void MidiReset() override;
  void MidiClose() override;
  uint32_t StartPeriodicTimer(uint32_t periodMs, PeriodicCallback callback, void* user) override;
  void KillPeriodicTimer(uint32_t timerId) override;
  bool PlayWave(const char* nameSjis, uint32_t flags) override;
  void SetVolumes(int musicPercent, int effectsPercent) override;

 private:
  void TakeTermination();
  void Arrive();
  void Record(const std::string& line);
  void FireDue(bool idle);
  void Fire(const InputEvent& e);
  void FireScreenshot(const InputEvent& e);
  // Asks the automation for its clicks and puts them before the request,
  // which comes again once they are done.
  void FireAutomation(const InputEvent& e);
  uint64_t NextEventTime();
  void Idle(uint64_t deadline);
  void AdvanceTo(uint64_t t);
  void NameRefused(const char* nameSjis, const std::string& why) override;
  void Delivered(uint32_t id) override { sentToProc.push_back(id); }
  void Invalidated(const plat::Rect& r) override { invalidations.push_back(r); }

  Options options_;
  uint64_t now_ = 0;
  uint64_t realBase_ = 0;
  plat::Point cursor_;
  std::vector<InputEvent> events_;
  size_t nextEvent_ = 0;
  bool nextArmed_ = false;
  uint64_t nextTime_ = 0;
  uint64_t lastFire_ = 0;
  bool closeSent_ = false;
  int shotCount_ = 0;
  Automation automation_ = nullptr;
  InputHook inputHook_ = nullptr;
  void* inputHookUser_ = nullptr;
  uint64_t delivered_ = 0;
  posix::FileHandle logFile_;
  std::string startupError_;

  // The music timer: called once per period of virtual milliseconds, on this
  // thread, as the clock advances.
  struct Periodic {
    uint32_t id = 0;
    uint32_t period = 1;
    uint64_t due = 0;
    PeriodicCallback callback = nullptr;
    void* user = nullptr;
  } periodic_;
  uint32_t nextPeriodicId_ = 0;
  bool audioDone_ = false;
  std::unique_ptr<posix::PeriodicTimerThread> timerThread_;  // Options::threadedTimer
  std::mutex soundMutex_;  // the threaded timer records from its own thread
  std::thread::id mainThread_ = std::this_thread::get_id();
  void RunPeriodicUntil(uint64_t t);
};

}  // namespace headless
