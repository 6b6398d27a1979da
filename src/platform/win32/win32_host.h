// The Windows backend: the game's own window, message loop and GDI painting,
// GDI fonts, winmm MIDI output driven by the multimedia timer, wave effects
// with PlaySound, the display-mode switch and message boxes. Game messages
// keep their Windows numbers, so they pass through the real queue unchanged.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/gdi_text.h"
#include "platform/win32/win32_files.h"

namespace win32 {

struct Options {
  std::wstring dataDir;  // the data folder (UTF-16)
  bool verbose = false;  // copy the game's traces and message boxes to stderr
  // Answer every message box at once, after logging it to stderr: for
  // unattended runs, where a modal box would wait for ever.
  bool answerBoxes = false;
};

class Win32Host final : public plat::Host {
 public:
  explicit Win32Host(Options options);
  ~Win32Host() override;
  Win32Host(const Win32Host&) = delete;
  Win32Host& operator=(const Win32Host&) = delete;

  HWND Window() const { return hwnd_; }

  // A console's end (Ctrl+C, Ctrl+Break, its window closed, the session
  // ending) for a game that has a console: the end of the session is posted
  // to the window, and the handler returns once the game has shut down (or
  // after a grace time, when the system's own handling ends the process).
  // Installed by the host; public for the tests, which call it directly.
  static BOOL WINAPI OnConsoleEvent(DWORD event);
  static constexpr DWORD kConsoleGraceMs = 4000;

  // plat::Host
  bool OpenWindow(const char* titleSjis, plat::WindowProc proc) override;
  void DestroyWindow() override;
  intptr_t DefaultProc(uint32_t id, uintptr_t wParam, intptr_t lParam) override;
  void Post(uint32_t id, uintptr_t wParam, intptr_t lParam) override;
  void PostQuit(int code) override;
  bool Peek() override;
  bool Get(plat::Message& out) override;
  bool TakeUrgent(plat::Message& out) override;
  void Dispatch(const plat::Message& m) override;
  void WaitReady(uint64_t deadline) override;
  int QuitCode() const override { return quitCode_; }
  void Invalidate(const plat::Rect* r) override;
  void UpdateNow() override;
  void Present(const plat::PixelView& image, int destX, int destY, int srcY) override;
  void StartTimer(uint32_t id, uint32_t periodMs) override;
  void StopTimer(uint32_t id) override;
  void CaptureMouse() override;
  void ReleaseMouse() override;
  plat::Point CursorPos() override;
  uint64_t Millis() override;
  void SleepMs(uint32_t ms) override;
  void Beep() override;
  void ShowMessageBox(const char* textSjis, const char* captionSjis) override;
  void Trace(const char* textSjis) override;
  void Warn(const char* textSjis) override;
  plat::FontHandle MakeFont(const char* faceSjis, int pixelHeight, int weight) override;
  void DeleteFont(plat::FontHandle font) override;
  int MeasureChar(plat::FontHandle font, const char* ch, int len) override;
  void DrawChar(plat::FontHandle font, const char* ch, int len, uint32_t colour,
                const plat::Surface& target, int x, int y) override;
  plat::DisplayTest TestFullScreen() override;
  void EnterFullScreen() override;
  void LeaveFullScreen() override;
  void SendWindowToBack() override;
  // The window is always the picture's own size here.
  void ChooseWindowSize(int&, bool&) override {}
  bool ReadWholeFile(const char* nameSjis, std::vector<uint8_t>& out) override;
  bool ReadFileHead(const char* nameSjis, uint64_t maxBytes, std::vector<uint8_t>& out) override;
  bool FileExists(const char* nameSjis) override { return files_.Exists(nameSjis); }
  plat::WriteResult WriteWholeFile(const char* nameSjis, const void* data, size_t size) override {
    return files_.Write(nameSjis, data, size);
  }
  bool RemoveFile(const char* nameSjis) override { return files_.Remove(nameSjis); }
  bool ResetFileAttributes(const char* nameSjis) override {
    return files_.ResetAttributes(nameSjis);
  }
  bool MakeFolder(const char* nameSjis) override { return files_.MakeFolder(nameSjis); }
  // As the POSIX hosts' ClaimSaveFolder: false when another copy has the folder.
  bool ClaimSaveFolder() {
    // A folder that cannot hold the lock cannot take the game's writes either.
    return lock_.Take(files_.Root()) != LockState::Busy;
  }
  bool FileWriteTime(const char* nameSjis, plat::CalendarTime& out) override {
    return files_.WriteTime(nameSjis, out);
  }
  int64_t UnixSeconds() override;
  plat::CalendarTime LocalCalendar(int64_t s) override { return win32::BreakDown(s, false); }
  bool NormaliseCalendar(plat::CalendarTime& t) override { return win32::Normalise(t, false); }
  bool MidiOpen() override;
  void MidiShortMessage(uint32_t message) override;
  void MidiLongMessage(const uint8_t* data, size_t size) override;
  void MidiReset() override;
  void MidiClose() override;
  uint32_t StartPeriodicTimer(uint32_t periodMs, PeriodicCallback callback, void* user) override;
  void KillPeriodicTimer(uint32_t timerId) override;
  bool PlayWave(const char* nameSjis, uint32_t flags) override;
  void SetVolumes(int musicPercent, int effectsPercent) override;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam);
  static void CALLBACK TimerThunk(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR);
  LRESULT Handle(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam);
  RECT WindowModeRect() const;
  void Log(const std::string& utf8) const;
  bool Readable(const char* nameSjis);

  Options options_;
  DataFolder files_;
  FolderLock lock_;
  HINSTANCE instance_ = nullptr;
  HWND hwnd_ = nullptr;
  plat::WindowProc proc_ = nullptr;
  HIMC savedImeContext_ = nullptr;
  HDC paintDc_ = nullptr;  // only while WM_PAINT is handled
  MSG lastMsg_{};          // what Get removed, for Dispatch
  int quitCode_ = 0;
  bool periodRaised_ = false;

  // The 32-bit clock of winmm widened to 64 bits.
  uint64_t clockHigh_ = 0;
  DWORD clockLast_ = 0;

  GdiText text_;

  // Music.
  HMIDIOUT midi_ = nullptr;
  struct Periodic {
    Win32Host* self = nullptr;
    PeriodicCallback callback = nullptr;
    void* user = nullptr;
    UINT id = 0;
    std::atomic<bool> running{false};
    std::atomic<bool> killed{false};
    DWORD thread = 0;  // the timer thread while the callback runs
  };
  std::map<uint32_t, Periodic*> periodic_;
  // Timers that ended themselves from their own callback: freed once that
  // call has returned (at the next start, or at exit).
  std::vector<Periodic*> ended_;
  void FreeEnded(bool wait);
  CRITICAL_SECTION periodicLock_;

  // Effects: the wave as read, and the copy at the effects volume playing
  // from memory, which must outlive PlaySound's use of it.
  bool StartWave(size_t frame);
  std::vector<uint8_t> waveFile_;
  std::vector<uint8_t> wave_;
  uint32_t waveFlags_ = 0;
  uint64_t waveStarted_ = 0;  // Millis() when its first frame was heard
  int effectsPercent_ = 100;
  // The music volume for midiOutSetVolume; a device opened later gets it
  // too. Unset, the device keeps the level the system gave it.
  void ApplyMidiVolume();
  DWORD midiVolume_ = 0xFFFFFFFF;
  bool midiVolumeSet_ = false;
  bool midiVolumeRefused_ = false;
};

}  // namespace win32
