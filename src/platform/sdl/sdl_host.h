// The desktop backend: one SDL2 window showing the 640 x 480 client area,
// scaled sharply by a whole factor, and full screen on the desktop the window
// is on without ever changing the display's own mode.
#pragma once

#include <cstdint>
#include <string>

#include "platform/posix/message_host.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
union SDL_Event;

namespace sdl {

struct Options {
  std::string dataDir = ".";
  int scale = 1;              // window size factor, 1..4
  bool fitFullScreen = false;  // full screen: fill the height keeping the shape, not a whole factor
  bool verbose = false;        // copy the game's traces to stderr
  bool reportTiming = false;   // say when the first frame was shown
  uint64_t startedAtMs = 0;    // process start (posix::MonotonicMillis), for that report
};

class SdlHost final : public posix::MessageHost {
 public:
  // Starts SDL's video; false (with the reason on stderr) when there is no
  // display to open a window on.
  static bool Start();

  explicit SdlHost(Options options);
  ~SdlHost() override;

  bool OpenWindow(const char* titleSjis, plat::WindowProc proc) override;
  void DestroyWindow() override;
  bool Peek() override;
  bool Get(plat::Message& out) override;
  void WaitReady(uint64_t deadline) override;
  void CaptureMouse() override;
  void ReleaseMouse() override;
  plat::Point CursorPos() override;
  uint64_t Millis() override;
  void SleepMs(uint32_t ms) override;
  void Beep() override {}
  void ShowMessageBox(const char* textSjis, const char* captionSjis) override;
  void Trace(const char* textSjis) override;
  plat::DisplayTest TestFullScreen() override;
  void EnterFullScreen() override;
  void LeaveFullScreen() override;
  // The window that took the focus is already in front of ours.
  void SendWindowToBack() override {}
  bool FileWriteTime(const char* nameSjis, plat::CalendarTime& out) override {
    return data().WriteTime(nameSjis, false, out);
  }
  int64_t UnixSeconds() override { return posix::UnixSeconds(); }
  plat::CalendarTime LocalCalendar(int64_t s) override { return posix::BreakDown(s, false); }
  bool NormaliseCalendar(plat::CalendarTime& t) override { return posix::Normalise(t, false); }

 private:
  void Pump();
  void Translate(const SDL_Event& e);
  void Block(uint64_t deadline);
  void ApplyScaling(bool fullScreen);
  void FramePainted() override;
  void NameRefused(const char* nameSjis, const std::string& why) override;

  Options options_;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  bool firstFrameShown_ = false;
};

}  // namespace sdl
