#include "platform/sdl/sdl_host.h"

#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <vector>

namespace sdl {

bool SdlHost::Start() {
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // The system's own window pixels (shared memory on X11) where there are
  // any: small updates of a 16-bit picture cost less than a GPU round trip,
  // and far less than a software GL.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // A termination signal ends the game without asking anybody (SdlHost
  // catches them), where SDL would make it a quit request like the close
  // button's. And one press of the close button is one request: SDL would
  // follow the last window's close with a quit of its own.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "quillfen: no display for a window (%s)\n", SDL_GetError());
    return false;
  }
  return true;
}

SdlHost::SdlHost(Options options)
    : PumpedHost(options.dataDir, false, options.saveDir), options_(std::move(options)) {
  options_.scale = std::clamp(options_.scale, 1, 4);
  wakeEvent_ = SDL_RegisterEvents(1);
  if (wakeEvent_ == static_cast<uint32_t>(-1)) wakeEvent_ = SDL_USEREVENT;
  signals_ = std::make_unique<posix::TerminationSignals>([type = wakeEvent_] {
    // Thread-safe, and it wakes a thread sleeping in SDL_WaitEvent.
    SDL_Event wake{};
    wake.type = type;
    SDL_PushEvent(&wake);
  });
}

SdlHost::~SdlHost() {
  signals_.reset();  // no wake-up may reach SDL once it is gone
  if (audio_) SDL_CloseAudioDevice(audio_);
  if (picture_) SDL_FreeSurface(picture_);
  if (window_) SDL_DestroyWindow(window_);
  SDL_Quit();
}

bool SdlHost::OpenWindow(const char* titleSjis, plat::WindowProc proc) {
  const std::string title = posix::SjisToUtf8(titleSjis);
  window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             kWidth * options_.scale, kHeight * options_.scale, SDL_WINDOW_HIDDEN);
  if (!window_) {
    std::fprintf(stderr, "quillfen: cannot open the window: %s\n", SDL_GetError());
    return false;
  }
  picture_ = SDL_CreateRGBSurfaceWithFormatFrom(frame_.data(), kWidth, kHeight, 16, kWidth * 2,
                                                SDL_PIXELFORMAT_RGB555);
  if (!picture_) {
    std::fprintf(stderr, "quillfen: cannot draw into the window: %s\n", SDL_GetError());
    return false;
  }
  AttachWindow(proc);
  SDL_ShowWindow(window_);
  // A new window is all invalid, as on Windows.
  Invalidate(nullptr);
  return true;
}

void SdlHost::DestroyWindow() {
  if (!window_) return;
  DetachWindow();
  SDL_HideWindow(window_);
}

void SdlHost::Layout() {
  int w = 0, h = 0;
  SDL_GetWindowSize(window_, &w, &h);
  const double fit = std::min(static_cast<double>(w) / kWidth, static_cast<double>(h) / kHeight);
  scale_ = fullScreen_ && options_.fitFullScreen ? fit : std::max(1.0, std::floor(fit));
  offsetX_ = (w - static_cast<int>(kWidth * scale_)) / 2;
  offsetY_ = (h - static_cast<int>(kHeight * scale_)) / 2;
}

// Only the painted rectangles go to the window, so typing a character costs
// a few hundred pixels, not a whole frame.
void SdlHost::FramePainted(const std::vector<plat::Rect>& rects) {
  SDL_Surface* window = SDL_GetWindowSurface(window_);
  if (!window || !picture_) return;
  std::vector<SDL_Rect> shown;
  if (layoutChanged_) {
    Layout();
    SDL_FillRect(window, nullptr, SDL_MapRGB(window->format, 0, 0, 0));
    shown.push_back({0, 0, window->w, window->h});
  }
  for (const plat::Rect& r : rects) {
    SDL_Rect src{r.x, r.y, r.w, r.h};
    const int x0 = offsetX_ + static_cast<int>(std::floor(r.x * scale_));
    const int y0 = offsetY_ + static_cast<int>(std::floor(r.y * scale_));
    const int x1 = offsetX_ + static_cast<int>(std::floor((r.x + r.w) * scale_));
    const int y1 = offsetY_ + static_cast<int>(std::floor((r.y + r.h) * scale_));
    SDL_Rect dst{x0, y0, x1 - x0, y1 - y0};
    if (scale_ == 1) {
      SDL_BlitSurface(picture_, &src, window, &dst);
    } else {
      SDL_BlitScaled(picture_, &src, window, &dst);  // nearest neighbour: sharp pixels
    }
    if (!layoutChanged_) shown.push_back(dst);
  }
  layoutChanged_ = false;
  SDL_UpdateWindowSurfaceRects(window_, shown.data(), static_cast<int>(shown.size()));
  if (!firstFrameShown_) {
    firstFrameShown_ = true;
    if (options_.reportTiming) {
      std::fprintf(
          stderr, "quillfen: first frame shown %llu ms after start\n",
          static_cast<unsigned long long>(posix::MonotonicMillis() - options_.startedAtMs));
    }
  }
}

namespace {
int Clamp16(double v) { return static_cast<int>(std::clamp(std::floor(v), -32768.0, 32767.0)); }

// The virtual-key code of a key the game knows, 0 for the others. Keys are
// told by the character they type, so "+" and "?" are where the layout has
// them.
constexpr std::pair<SDL_Keycode, uint32_t> kVirtualKeys[] = {
    {SDLK_RETURN, plat::vk::Return},
    {SDLK_KP_ENTER, plat::vk::Return},
    {SDLK_ESCAPE, plat::vk::Escape},
    {SDLK_TAB, plat::vk::Tab},
    {SDLK_LCTRL, plat::vk::Control},
    {SDLK_RCTRL, plat::vk::Control},
    {SDLK_LSHIFT, plat::vk::Shift},
    {SDLK_RSHIFT, plat::vk::Shift},
    {SDLK_PAGEUP, plat::vk::PageUp},
    {SDLK_PAGEDOWN, plat::vk::PageDown},
    {SDLK_HOME, plat::vk::Home},
    {SDLK_END, plat::vk::End},
    {SDLK_UP, plat::vk::Up},
    {SDLK_DOWN, plat::vk::Down},
    {SDLK_a, plat::vk::A},
    {SDLK_m, plat::vk::M},
    {SDLK_t, plat::vk::T},
    {SDLK_F1, plat::vk::F1},
    {SDLK_F2, plat::vk::F2},
    {SDLK_F4, plat::vk::F4},
    {SDLK_F11, plat::vk::F11},
    {SDLK_F12, plat::vk::F12},
    {SDLK_MINUS, plat::vk::Minus},
    {SDLK_KP_MINUS, plat::vk::Subtract},
    {SDLK_PLUS, plat::vk::Plus},
    {SDLK_EQUALS, plat::vk::Plus},
    {SDLK_KP_PLUS, plat::vk::Add},
    {SDLK_SLASH, plat::vk::Slash},
    {SDLK_QUESTION, plat::vk::Slash},
    {SDLK_LEFTBRACKET, plat::vk::LeftBracket},
    {SDLK_RIGHTBRACKET, plat::vk::RightBracket},
    {SDLK_SPACE, 0x20},
};

uint32_t VirtualKey(const SDL_Keysym& key) {
  for (const auto& [sym, vk] : kVirtualKeys) {
    if (key.sym == sym) return vk;
  }
  // "+" is the shifted character of this key on Japanese keyboards.
  if (key.sym == SDLK_SEMICOLON) return (key.mod & KMOD_SHIFT) != 0 ? plat::vk::Plus : 0;
  // Other letters and digits as the system codes them, so that any key
  // closes the help page as it does on Windows.
  if (key.sym >= SDLK_a && key.sym <= SDLK_z) return static_cast<uint32_t>(key.sym - SDLK_a) + 'A';
  if (key.sym >= SDLK_0 && key.sym <= SDLK_9) return static_cast<uint32_t>(key.sym);
  return 0;
}

}  // namespace

void SdlHost::Translate(const SDL_Event& e) {
  if (e.type == wakeEvent_) return;  // the request itself is taken by Pump
  const bool afterWindowClose = afterWindowClose_;
  afterWindowClose_ = e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE;
  switch (e.type) {
    case SDL_MOUSEMOTION:
      Post(plat::msg::MouseMove, 0,
           plat::PackPoint(Clamp16((e.motion.x - offsetX_) / scale_),
                           Clamp16((e.motion.y - offsetY_) / scale_)));
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const bool down = e.type == SDL_MOUSEBUTTONDOWN;
      uint32_t id = 0;
      if (e.button.button == SDL_BUTTON_LEFT)
        id = down ? plat::msg::LButtonDown : plat::msg::LButtonUp;
      if (e.button.button == SDL_BUTTON_RIGHT)
        id = down ? plat::msg::RButtonDown : plat::msg::RButtonUp;
      if (id) {
        Post(id, 0,
             plat::PackPoint(Clamp16((e.button.x - offsetX_) / scale_),
                             Clamp16((e.button.y - offsetY_) / scale_)));
      }
      break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      TranslateKey(e.key);
      break;
    case SDL_MOUSEWHEEL: {
      int notches = e.wheel.y;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      if (notches == 0) break;
      const auto delta =
          static_cast<uint16_t>(static_cast<int16_t>(std::clamp(notches, -273, 273) * 120));
      const plat::Point p = CursorPos();
      Post(plat::msg::MouseWheel, static_cast<uintptr_t>(delta) << 16, plat::PackPoint(p.x, p.y));
      break;
    }
    case SDL_WINDOWEVENT:
      TranslateWindow(e.window);
      break;
    case SDL_QUIT:
      // The system's own quit (an application menu's) asks as the close
      // button does; right after the window's close it is that same press.
      if (!afterWindowClose) Post(plat::msg::Close, 0, 0);
      break;
    default:
      break;
  }
}

void SdlHost::TranslateKey(const SDL_KeyboardEvent& key) {
  const uint32_t vk = VirtualKey(key.keysym);
  if (key.type == SDL_KEYUP) {
    if (vk) Post(plat::msg::KeyUp, vk, 0);
    return;
  }
  if (key.repeat && !posix::RepeatCounts(vk)) return;
  if (vk == plat::vk::Return && (key.keysym.mod & KMOD_ALT)) {
    Post(plat::msg::SysKeyDown, plat::vk::Return, 0);
    return;
  }
  if (vk) Post(plat::msg::KeyDown, vk, key.repeat ? plat::kKeyRepeat : 0);
}

void SdlHost::TranslateWindow(const SDL_WindowEvent& window) {
  switch (window.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      Post(plat::msg::Activate, plat::activate::Active, 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      Post(plat::msg::Activate, plat::activate::Inactive, 0);
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      layoutChanged_ = true;
      Invalidate(nullptr);
      break;
    case SDL_WINDOWEVENT_EXPOSED:
      Invalidate(nullptr);
      break;
    case SDL_WINDOWEVENT_CLOSE:
      Post(plat::msg::Close, 0, 0);
      break;
    default:
      break;
  }
}

void SdlHost::Pump() {
  SDL_Event e;
  afterWindowClose_ = false;
  while (SDL_PollEvent(&e)) Translate(e);
  if (posix::TerminationSignals::Take()) Post(plat::msg::EndSession, 1, 0);
}

// Sleeps in the system's event wait until an event comes or the earlier of
// the deadline and the next window timer: no spinning while the game waits.
void SdlHost::Block(uint64_t deadline) {
  const uint64_t until = std::min(deadline, NextTimerDue());
  if (until == plat::kNoDeadline) {
    SDL_WaitEvent(nullptr);
    return;
  }
  const uint64_t now = Millis();
  if (until <= now) return;
  SDL_WaitEventTimeout(nullptr, static_cast<int>(std::min<uint64_t>(until - now, INT_MAX)));
}

void SdlHost::CaptureMouse() { SDL_CaptureMouse(SDL_TRUE); }
void SdlHost::ReleaseMouse() { SDL_CaptureMouse(SDL_FALSE); }

plat::Point SdlHost::CursorPos() {
  int wx = 0, wy = 0;
  SDL_GetMouseState(&wx, &wy);
  return {Clamp16((wx - offsetX_) / scale_), Clamp16((wy - offsetY_) / scale_)};
}

uint64_t SdlHost::Millis() { return SDL_GetTicks64(); }
void SdlHost::SleepMs(uint32_t ms) { SDL_Delay(ms); }

void SdlHost::ShowMessageBox(const char* textSjis, const char* captionSjis) {
  const std::string text = posix::SjisToUtf8(textSjis);
  const std::string caption = captionSjis ? posix::SjisToUtf8(captionSjis) : "Quillfen";
  std::fprintf(stderr, "quillfen: %s%s%s\n", captionSjis ? caption.c_str() : "",
               captionSjis ? ": " : "", text.c_str());
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption.c_str(), text.c_str(),
                               window_) != 0) {
    std::fprintf(stderr, "quillfen: (message box could not be shown: %s)\n", SDL_GetError());
  }
}

void SdlHost::Trace(const char* textSjis) {
  if (options_.verbose) std::fprintf(stderr, "%s\n", posix::SjisToUtf8(textSjis).c_str());
}

void SdlHost::ChooseWindowSize(int& scale, bool& fit) {
  if (options_.scaleGiven)
    scale = options_.scale;
  else
    options_.scale = scale = std::clamp(scale, 1, 4);
  if (options_.fitGiven)
    fit = options_.fitFullScreen;
  else
    options_.fitFullScreen = fit;
}

// The synthesiser takes its gain under its own lock; the voice is mixed on
// the audio thread, so its level changes under the device's lock. Before the
// device is open there is no audio thread to race.
void SdlHost::SetVolumes(int musicPercent, int effectsPercent) {
  synth_.SetVolume(posix::VolumeFactor(musicPercent));
  if (audio_) SDL_LockAudioDevice(audio_);
  voice_.SetVolume(posix::VolumeFactor(effectsPercent));
  if (audio_) SDL_UnlockAudioDevice(audio_);
}

void SdlHost::Warn(const char* textSjis) {
  std::fprintf(stderr, "quillfen: %s\n", posix::SjisToUtf8(textSjis).c_str());
}

void SdlHost::NameRefused(const char* nameSjis, const std::string& why) {
  std::fprintf(stderr, "quillfen: refused file name \"%s\": %s\n",
               posix::SjisToUtf8(nameSjis).c_str(), why.c_str());
}

plat::DisplayTest SdlHost::TestFullScreen() {
  const int display = SDL_GetWindowDisplayIndex(window_);
  SDL_DisplayMode mode;
  if (display < 0 || SDL_GetDesktopDisplayMode(display, &mode) != 0)
    return plat::DisplayTest::Failed;
  if (mode.w < kWidth || mode.h < kHeight) return plat::DisplayTest::BadMode;
  return plat::DisplayTest::Successful;
}

void SdlHost::EnterFullScreen() {
  if (SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
    std::fprintf(stderr, "quillfen: full screen failed: %s\n", SDL_GetError());
  } else if (options_.verbose) {
    std::fprintf(stderr, "quillfen: full screen\n");
  }
  fullScreen_ = true;
  layoutChanged_ = true;
  Invalidate(nullptr);
}

void SdlHost::LeaveFullScreen() {
  SDL_SetWindowFullscreen(window_, 0);
  if (options_.verbose) std::fprintf(stderr, "quillfen: window mode\n");
  // SDL puts the window back where it was before: centred at first, or where
  // the player has moved it since.
  fullScreen_ = false;
  layoutChanged_ = true;
  Invalidate(nullptr);
}

bool SdlHost::StartAudio() {
  if (audioTried_) return audio_ != 0;
  audioTried_ = true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "quillfen: no sound: %s\n", SDL_GetError());
    return false;
  }
  SDL_AudioSpec want{}, have{};
  want.freq = posix::kMixRate;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = MixAudio;
  want.userdata = this;
  audio_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
  if (audio_ == 0) {
    std::fprintf(stderr, "quillfen: no sound: %s\n", SDL_GetError());
    return false;
  }
  audioRate_ = have.freq;
  SDL_PauseAudioDevice(audio_, 0);
  return true;
}

void SdlHost::MixAudio(void* self, uint8_t* stream, int length) {
  auto* host = static_cast<SdlHost*>(self);
  auto* out = reinterpret_cast<float*>(stream);
  const int frames = length / static_cast<int>(2 * sizeof(float));
  float left[1024], right[1024];
  for (int done = 0; done < frames;) {
    const int n = std::min(frames - done, 1024);
    host->synth_.Render(left, right, n);
    host->voice_.MixInto(left, right, n, host->audioRate_);
    host->limiter_.Apply(left, right, n, host->audioRate_);
    for (int i = 0; i < n; ++i) {
      out[2 * (done + i)] = std::clamp(left[i], -1.0f, 1.0f);
      out[2 * (done + i) + 1] = std::clamp(right[i], -1.0f, 1.0f);
    }
    done += n;
  }
}

bool SdlHost::MidiOpen() {
  if (synth_.IsOpen()) {
    // The synthesiser stays loaded between songs, but opening the device
    // again must give a fresh one: Stop left every channel at volume 0.
    synth_.SystemReset();
    return true;
  }
  if (synthTried_ || !StartAudio()) return false;
  synthTried_ = true;  // the SoundFont is loaded once, or its absence said once
  std::string problem;
  const std::string soundFont = posix::FindSoundFont(problem);
  if (soundFont.empty() || !synth_.Open(soundFont, audioRate_, posix::kSynthGain, problem)) {
    std::fprintf(stderr, "quillfen: no music: %s\n", problem.c_str());
    return false;
  }
  return true;
}

bool SdlHost::PlayWave(const char* nameSjis, uint32_t flags) {
  // Nothing plays before the device is open: stopping (as the game does on
  // its way out) needs no device, which can take a while to open.
  if (!nameSjis && !audio_) return true;
  std::vector<uint8_t> bytes;
  const bool have = nameSjis && ReadWholeFile(nameSjis, bytes);
  const bool readable = have || !nameSjis;
  if (!StartAudio()) return readable;
  SDL_LockAudioDevice(audio_);
  voice_.Stop();
  const bool playing = have && voice_.Start(std::move(bytes), (flags & plat::kWaveLoop) != 0);
  const uint64_t length = playing ? voice_.LengthMs() : 0;
  SDL_UnlockAudioDevice(audio_);
  if (playing && (flags & plat::kWaveAsync) == 0) SDL_Delay(static_cast<uint32_t>(length));
  return readable;
}

}  // namespace sdl
