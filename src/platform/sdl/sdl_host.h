// The desktop backend: one SDL2 window showing the 640 x 480 client area,
// scaled sharply by a whole factor, and full screen on the desktop the window
// is on without ever changing the display's own mode.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/posix/audio_mix.h"
#include "platform/posix/fluid_synth.h"
#include "platform/posix/message_host.h"
#include "platform/posix/periodic_timer.h"
#include "platform/posix/termination.h"

struct SDL_Window;
struct SDL_Surface;
union SDL_Event;
struct SDL_KeyboardEvent;
struct SDL_WindowEvent;

namespace sdl {

struct Options {
  std::string dataDir = ".";
  std::string saveDir;         // where the game writes; empty: the data directory
  int scale = 1;               // window size factor, 1..4
  bool fitFullScreen = false;  // full screen: fill the height keeping the shape, not a whole factor
  // Given on the command line: these win over the remembered settings.
  bool scaleGiven = false, fitGiven = false;
  bool verbose = false;       // copy the game's traces to stderr
  bool reportTiming = false;  // say when the first frame was shown
  uint64_t startedAtMs = 0;   // process start (posix::MonotonicMillis), for that report
};

class SdlHost final : public posix::PumpedHost {
 public:
  // Starts SDL's video; false (with the reason on stderr) when there is no
  // display to open a window on.
  static bool Start();

  explicit SdlHost(Options options);
  ~SdlHost() override;

  bool OpenWindow(const char* titleSjis, plat::WindowProc proc) override;
  void DestroyWindow() override;
  void CaptureMouse() override;
  void ReleaseMouse() override;
  plat::Point CursorPos() override;
  uint64_t Millis() override;
  void SleepMs(uint32_t ms) override;
  void Beep() override {}
  void ShowMessageBox(const char* textSjis, const char* captionSjis) override;
  void Trace(const char* textSjis) override;
  void Warn(const char* textSjis) override;
  plat::DisplayTest TestFullScreen() override;
  void EnterFullScreen() override;
  void LeaveFullScreen() override;
  // The window that took the focus is already in front of ours.
  void SendWindowToBack() override {}
  void ChooseWindowSize(int& scale, bool& fit) override;
  bool FileWriteTime(const char* nameSjis, plat::CalendarTime& out) override {
    return data().WriteTime(nameSjis, false, out);
  }
  int64_t UnixSeconds() override { return posix::UnixSeconds(); }
  plat::CalendarTime LocalCalendar(int64_t s) override { return posix::BreakDown(s, false); }
  bool NormaliseCalendar(plat::CalendarTime& t) override { return posix::Normalise(t, false); }

  // Music through FluidSynth and the wave effects, mixed into one SDL audio
  // stream; the music timer on a thread of its own.
  bool MidiOpen() override;
  void MidiShortMessage(uint32_t message) override { synth_.ShortMessage(message); }
  void MidiLongMessage(const uint8_t* data, size_t size) override {
    synth_.LongMessage(data, size);
  }
  void MidiReset() override { synth_.Reset(); }
  void MidiClose() override {}  // the synthesiser stays loaded; MidiOpen resets it
  uint32_t StartPeriodicTimer(uint32_t periodMs, PeriodicCallback callback, void* user) override {
    return timer_.Start(periodMs, callback, user);
  }
  void KillPeriodicTimer(uint32_t timerId) override { timer_.Kill(timerId); }
  bool PlayWave(const char* nameSjis, uint32_t flags) override;
  void SetVolumes(int musicPercent, int effectsPercent) override;

 private:
  // The system's events, then a termination signal as the end of the session.
  void Pump() override;
  void Translate(const SDL_Event& e);
  void TranslateKey(const SDL_KeyboardEvent& key);
  void TranslateWindow(const SDL_WindowEvent& window);
  void Block(uint64_t deadline) override;
  // Where the 640 x 480 picture lies in the window: a whole factor (or, in
  // full screen with --fit, the largest that keeps the shape), centred.
  void Layout();
  void FramePainted(const std::vector<plat::Rect>& rects) override;
  void NameRefused(const char* nameSjis, const std::string& why) override;

  bool StartAudio();
  static void MixAudio(void* self, uint8_t* stream, int length);

  Options options_;
  posix::PeriodicTimerThread timer_;
  posix::FluidSynthOut synth_;
  posix::WaveVoice voice_;  // guarded by the audio device's lock
  posix::Limiter limiter_;  // the audio thread's own
  uint32_t audio_ = 0;      // SDL audio device, 0: none
  int audioRate_ = posix::kMixRate;
  bool audioTried_ = false;
  bool synthTried_ = false;
  SDL_Window* window_ = nullptr;
  SDL_Surface* picture_ = nullptr;  // frame_ seen as an RGB555 surface
  bool fullScreen_ = false;
  bool layoutChanged_ = true;  // the borders must be painted black again
  double scale_ = 1;
  int offsetX_ = 0, offsetY_ = 0;
  bool firstFrameShown_ = false;
  // A termination signal wakes the event wait with an event of this type.
  uint32_t wakeEvent_ = 0;
  std::unique_ptr<posix::TerminationSignals> signals_;
  // The event just translated was the window's close request.
  bool afterWindowClose_ = false;
};

}  // namespace sdl
