// The browser backend: the 640 x 480 picture in a <canvas>, the page's mouse
// and keys as window messages, waits that hand the browser its event loop
// back (Asyncify), the data directory packed beside the page and the game's
// writes in a folder IndexedDB keeps across reloads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/posix/message_host.h"

namespace web {

// Where the page's files live in emscripten's file system.
constexpr const char* kDataDir = "/data";
constexpr const char* kSaveDir = "/save";

class WebHost final : public posix::PumpedHost {
 public:
  WebHost();

  bool OpenWindow(const char* titleSjis, plat::WindowProc proc) override;
  void DestroyWindow() override;
  // The page keeps its pointer events while a button is held anyway.
  void CaptureMouse() override {}
  void ReleaseMouse() override {}
  plat::Point CursorPos() override;
  uint64_t Millis() override;
  void SleepMs(uint32_t ms) override;
  void Beep() override {}
  void ShowMessageBox(const char* textSjis, const char* captionSjis) override;
  void Trace(const char* textSjis) override;
  void Warn(const char* textSjis) override;
  // A page cannot change the display's mode: full screen is the browser's
  // own, the page filling the screen with the canvas scaled in it. The
  // browser grants it only inside the player's key press, so the page asks
  // for it there (F4, Alt+Enter); these keep the page in step with the game.
  plat::DisplayTest TestFullScreen() override { return plat::DisplayTest::Successful; }
  void EnterFullScreen() override;
  void LeaveFullScreen() override;
  void SendWindowToBack() override {}
  void ChooseWindowSize(int& scale, bool& fit) override {
    (void)scale;
    (void)fit;
  }
  plat::WriteResult WriteWholeFile(const char* nameSjis, const void* data, size_t size) override;
  bool RemoveFile(const char* nameSjis) override;
  bool MakeFolder(const char* nameSjis) override;
  bool FileWriteTime(const char* nameSjis, plat::CalendarTime& out) override {
    return data().WriteTime(nameSjis, false, out);
  }
  int64_t UnixSeconds() override { return posix::UnixSeconds(); }
  plat::CalendarTime LocalCalendar(int64_t s) override { return posix::BreakDown(s, false); }
  bool NormaliseCalendar(plat::CalendarTime& t) override { return posix::Normalise(t, false); }

  // The page's General MIDI synthesiser (web_audio.js), which comes up with
  // the sound on the player's first click or key: opening never fails, and
  // what is sent before then sets the channels without sounding.
  bool MidiOpen() override;
  void MidiShortMessage(uint32_t message) override;
  void MidiLongMessage(const uint8_t* data, size_t size) override;
  void MidiReset() override;
  void MidiClose() override {}  // the synthesiser stays; opening again resets it
  // The music's timer runs on the game's own thread, in its waits and pumps:
  // the page has no other.
  uint32_t StartPeriodicTimer(uint32_t periodMs, PeriodicCallback callback, void* user) override;
  void KillPeriodicTimer(uint32_t timerId) override;
  bool PlayWave(const char* nameSjis, uint32_t flags) override;
  void SetVolumes(int musicPercent, int effectsPercent) override;

 private:
  void Pump() override;
  void Block(uint64_t deadline) override;
  void FramePainted(const std::vector<plat::Rect>& rects) override;
  void NameRefused(const char* nameSjis, const std::string& why) override;
  // Hands the browser its loop back until the earlier of until and the music
  // timer's next call, or an event when events is set; then makes that call
  // if it is due.
  void WaitFor(uint64_t until, bool events);
  void RunPeriodic();

  struct Periodic {
    uint32_t id = 0;  // 0: none
    uint32_t period = 1;
    uint64_t due = 0;
    PeriodicCallback callback = nullptr;
    void* user = nullptr;
  };
  Periodic periodic_;
  uint32_t lastPeriodicId_ = 0;
  bool inPeriodic_ = false;

  std::vector<uint8_t> rgba_;  // the frame as the canvas takes it
  bool firstFrameShown_ = false;
};

}  // namespace web
