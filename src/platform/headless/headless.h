// A backend without a display: a virtual clock that moves only while the game
// waits, input from a script, and everything the game shows or says recorded.
// Tests and the autoplay run the real program through it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/host_files.h"
#include "platform/posix/periodic_timer.h"

namespace headless {

struct Options {
  std::string dataDir = ".";
  std::string screenshotDir;     // empty: no screenshots are written
  uint64_t until = 0;            // virtual ms at which the window is closed; 0: never
  int64_t epoch = 1775034000;    // wall-clock seconds at virtual time 0 (2026-04-01 09:00 UTC)
  bool echo = true;              // copy the log to stderr
  std::string logFile;           // also write the log here
  plat::DisplayTest fullScreenAnswer = plat::DisplayTest::Successful;
  // Follow the real clock and sleep while idle, instead of jumping: lets a
  // benchmark see what the waits cost in processor time.
  bool realClock = false;
  // With realClock: run the music timer on a real thread, as the desktop
  // backends do, so a benchmark can see what playing music costs.
  bool threadedTimer = false;
  // Render the run's music and wave effects into this WAV file at the end.
  std::string audioOut;
};

// One line of the input script:
//   [wait | @MS | +MS] ACTION ARGS
// "wait" fires when the game next waits for input (it has nothing to do but
// wait for the player), "@MS" at a virtual time, "+MS" that long after the
// previous action. No prefix means "wait". Actions: click X Y, rclick X Y,
// move X Y, ldown X Y, lup X Y, rdown X Y, rup X Y, key NAME (enter, esc, f1,
// f4, f12), altenter, close, activate, deactivate, screenshot [NAME].
struct InputEvent {
  enum class Trigger { Wait, At, After } trigger = Trigger::Wait;
  uint64_t ms = 0;
  enum class Kind {
    Move, LDown, LUp, RDown, RUp, Key, SysKey, Close, Activate, Deactivate, Screenshot
  } kind = Kind::Move;
  int x = 0, y = 0;
  uint32_t key = 0;
  std::string name;
  int sourceLine = 0;
};

// Parses an input script; on failure returns false with "line N: why".
bool ParseInputScript(const std::string& text, std::vector<InputEvent>& out, std::string& error);

class HeadlessHost final : public plat::Host {
 public:
  explicit HeadlessHost(Options options);
  ~HeadlessHost() override;

  void SetInput(std::vector<InputEvent> events);

  // What the run showed and said.
  struct Box {
    std::string text, caption;  // Shift-JIS as the game passed them
    uint64_t at = 0;
  };
  std::vector<Box> boxes;
  std::vector<std::string> traces;  // Shift-JIS
  std::vector<std::string> log;     // UTF-8 lines as printed
  std::vector<uint32_t> sentToProc;  // every message id handed to the game, in order
  int beeps = 0;
  bool windowOpen = false;
  bool captured = false;
  bool fullScreen = false;
  int sentToBack = 0;

  // --- sound ---------------------------------------------------------------
  // Every MIDI and wave call with the virtual time it was made at.
  struct SoundCall {
    enum class Kind { MidiOpen, MidiShort, MidiLong, MidiReset, MidiClose, Wave, WaveStop } kind;
    uint64_t at = 0;
    uint32_t message = 0;        // MidiShort
    std::vector<uint8_t> data;   // MidiLong
    std::string name;            // Wave (Shift-JIS)
    uint32_t flags = 0;          // Wave
  };
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

  // The client area as presented: 640 x 480 pixels, X1R5G5B5, top-down.
  const std::vector<uint16_t>& Frame() const { return frame_; }
  uint16_t FramePixel(int x, int y) const { return frame_[static_cast<size_t>(y) * 640 + x]; }
  bool SaveScreenshot(const std::string& name);

  Options& options() { return options_; }
  posix::DataDirectory& data() { return data_; }

  // plat::Host
  bool OpenWindow(const char* titleSjis, plat::WindowProc proc) override;
  void DestroyWindow() override;
  intptr_t DefaultProc(uint32_t id, uintptr_t wParam, intptr_t lParam) override;
  void Post(uint32_t id, uintptr_t wParam, intptr_t lParam) override;
  void PostQuit(int code) override;
  bool Peek() override;
  bool Get(plat::Message& out) override;
  void Dispatch(const plat::Message& m) override;
  void WaitReady(uint64_t deadline) override;
  int QuitCode() const override { return quitCode_; }
  void Invalidate(const plat::Rect* r) override;
  void UpdateNow() override;
  void Present(const plat::PixelView& image, int destX, int destY, int srcY) override;
  void StartTimer(uint32_t id, uint32_t periodMs) override;
  void StopTimer(uint32_t id) override;
  void CaptureMouse() override { captured = true; }
  void ReleaseMouse() override { captured = false; }
  plat::Point CursorPos() override { return cursor_; }
  uint64_t Millis() override;
  void SleepMs(uint32_t ms) override;
  void Beep() override;
  void ShowMessageBox(const char* textSjis, const char* captionSjis) override;
  void Trace(const char* textSjis) override;
  plat::DisplayTest TestFullScreen() override { return options_.fullScreenAnswer; }
  void EnterFullScreen() override;
  void LeaveFullScreen() override;
  void SendWindowToBack() override { ++sentToBack; }
  bool ReadWholeFile(const char* nameSjis, std::vector<uint8_t>& out) override;
  plat::WriteResult WriteWholeFile(const char* nameSjis, const void* data, size_t size) override;
  bool RemoveFile(const char* nameSjis) override { return data_.Remove(nameSjis); }
  bool ResetFileAttributes(const char* nameSjis) override { return data_.ResetAttributes(nameSjis); }
  bool MakeFolder(const char* nameSjis) override { return data_.MakeFolder(nameSjis); }
  bool FileWriteTime(const char* nameSjis, plat::CalendarTime& out) override {
    return data_.WriteTime(nameSjis, true, out);
  }
  int64_t UnixSeconds() override { return options_.epoch + static_cast<int64_t>(now_ / 1000); }
  plat::CalendarTime LocalCalendar(int64_t s) override { return posix::BreakDown(s, true); }
  bool NormaliseCalendar(plat::CalendarTime& t) override { return posix::Normalise(t, true); }
  bool MidiOpen() override;
  void MidiShortMessage(uint32_t message) override;
  void MidiLongMessage(const uint8_t* data, size_t size) override;
  void MidiReset() override;
  void MidiClose() override;
  uint32_t StartPeriodicTimer(uint32_t periodMs, PeriodicCallback callback, void* user) override;
  void KillPeriodicTimer(uint32_t timerId) override;
  void PlayWave(const char* nameSjis, uint32_t flags) override;

 private:
  struct TimerState {
    uint32_t period;
    uint64_t due;
  };

  void Record(const std::string& line);
  void FireDue(bool idle);
  void Fire(const InputEvent& e);
  bool TakeReady(plat::Message& out, bool remove);
  bool PaintPending() const { return windowOpen && !invalid_.empty(); }
  uint64_t NextTimerDue() const;
  uint64_t NextEventTime();
  void Idle(uint64_t deadline);
  void SendToProc(uint32_t id, uintptr_t wParam, intptr_t lParam);
  void AdvanceTo(uint64_t t);

  Options options_;
  posix::DataDirectory data_;
  plat::WindowProc proc_ = nullptr;
  uint64_t now_ = 0;
  uint64_t realBase_ = 0;
  std::vector<plat::Message> queue_;
  bool quitPosted_ = false;
  int quitCode_ = 0;
  std::vector<plat::Rect> invalid_;
  std::vector<plat::Rect> paintRects_;
  bool inPaint_ = false;
  std::map<uint32_t, TimerState> timers_;
  std::vector<uint16_t> frame_;
  plat::Point cursor_;
  std::vector<InputEvent> events_;
  size_t nextEvent_ = 0;
  bool nextArmed_ = false;
  uint64_t nextTime_ = 0;
  uint64_t lastFire_ = 0;
  bool closeSent_ = false;
  uint64_t closeSentAt_ = 0;
  int shotCount_ = 0;
  FILE* logFile_ = nullptr;

  // The music timer: called once per elapsed virtual millisecond, on this
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
