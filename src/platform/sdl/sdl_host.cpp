#include "platform/sdl/sdl_host.h"

#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace sdl {

bool SdlHost::Start() {
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");  // sharp pixels, no smoothing
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "quillfen: no display for a window (%s)\n", SDL_GetError());
    return false;
  }
  return true;
}

SdlHost::SdlHost(Options options)
    : MessageHost(options.dataDir, false), options_(std::move(options)) {
  options_.scale = std::clamp(options_.scale, 1, 4);
}

SdlHost::~SdlHost() {
  if (audio_) SDL_CloseAudioDevice(audio_);
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
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
  renderer_ = SDL_CreateRenderer(window_, -1, 0);
  if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  if (renderer_) {
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB555, SDL_TEXTUREACCESS_STREAMING,
                                 kWidth, kHeight);
  }
  if (!texture_) {
    std::fprintf(stderr, "quillfen: cannot draw into the window: %s\n", SDL_GetError());
    return false;
  }
  ApplyScaling(false);
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

void SdlHost::ApplyScaling(bool fullScreen) {
  // The renderer maps the 640 x 480 picture onto the window, centred on
  // black, and maps mouse positions back to client coordinates.
  SDL_RenderSetLogicalSize(renderer_, kWidth, kHeight);
  SDL_RenderSetIntegerScale(renderer_, fullScreen && options_.fitFullScreen ? SDL_FALSE : SDL_TRUE);
}

void SdlHost::FramePainted() {
  if (!texture_) return;
  SDL_UpdateTexture(texture_, nullptr, frame_.data(), kWidth * 2);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);
  if (!firstFrameShown_) {
    firstFrameShown_ = true;
    if (options_.reportTiming) {
      std::fprintf(stderr, "quillfen: first frame shown %llu ms after start\n",
                   static_cast<unsigned long long>(posix::MonotonicMillis() - options_.startedAtMs));
    }
  }
}

void SdlHost::Translate(const SDL_Event& e) {
  switch (e.type) {
    case SDL_MOUSEMOTION:
      Post(plat::msg::MouseMove, 0, plat::PackPoint(e.motion.x, e.motion.y));
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const bool down = e.type == SDL_MOUSEBUTTONDOWN;
      uint32_t id = 0;
      if (e.button.button == SDL_BUTTON_LEFT) id = down ? plat::msg::LButtonDown : plat::msg::LButtonUp;
      if (e.button.button == SDL_BUTTON_RIGHT) id = down ? plat::msg::RButtonDown : plat::msg::RButtonUp;
      if (id) Post(id, 0, plat::PackPoint(e.button.x, e.button.y));
      break;
    }
    case SDL_KEYDOWN: {
      if (e.key.repeat) break;
      const SDL_Keycode k = e.key.keysym.sym;
      const bool enter = k == SDLK_RETURN || k == SDLK_KP_ENTER;
      if (enter && (e.key.keysym.mod & KMOD_ALT)) {
        Post(plat::msg::SysKeyDown, plat::vk::Return, 0);
        break;
      }
      uint32_t vk = 0;
      if (enter) vk = plat::vk::Return;
      if (k == SDLK_ESCAPE) vk = plat::vk::Escape;
      if (k == SDLK_F1) vk = plat::vk::F1;
      if (k == SDLK_F4) vk = plat::vk::F4;
      if (k == SDLK_F12) vk = plat::vk::F12;
      if (vk) Post(plat::msg::KeyDown, vk, 0);
      break;
    }
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          Post(plat::msg::Activate, plat::activate::Active, 0);
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          Post(plat::msg::Activate, plat::activate::Inactive, 0);
          break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          Invalidate(nullptr);
          break;
        case SDL_WINDOWEVENT_CLOSE:
          Post(plat::msg::Close, 0, 0);
          break;
        default:
          break;
      }
      break;
    case SDL_QUIT:
      Post(plat::msg::Close, 0, 0);
      break;
    default:
      break;
  }
}

void SdlHost::Pump() {
  SDL_Event e;
  while (SDL_PollEvent(&e)) Translate(e);
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

bool SdlHost::Peek() {
  Pump();
  plat::Message m;
  return TakeReady(m, false, Millis());
}

bool SdlHost::Get(plat::Message& out) {
  for (;;) {
    Pump();
    if (TakeReady(out, true, Millis())) return out.id != plat::msg::Quit;
    Block(plat::kNoDeadline);
  }
}

void SdlHost::WaitReady(uint64_t deadline) {
  if (Peek() || Millis() >= deadline) return;
  Block(deadline);
}

void SdlHost::CaptureMouse() { SDL_CaptureMouse(SDL_TRUE); }
void SdlHost::ReleaseMouse() { SDL_CaptureMouse(SDL_FALSE); }

plat::Point SdlHost::CursorPos() {
  int wx = 0, wy = 0;
  SDL_GetMouseState(&wx, &wy);
  float lx = 0, ly = 0;
  SDL_RenderWindowToLogical(renderer_, wx, wy, &lx, &ly);
  return {static_cast<int32_t>(lx), static_cast<int32_t>(ly)};
}

uint64_t SdlHost::Millis() { return SDL_GetTicks64(); }
void SdlHost::SleepMs(uint32_t ms) { SDL_Delay(ms); }

void SdlHost::ShowMessageBox(const char* textSjis, const char* captionSjis) {
  const std::string text = posix::SjisToUtf8(textSjis);
  const std::string caption = captionSjis ? posix::SjisToUtf8(captionSjis) : "Quillfen";
  std::fprintf(stderr, "quillfen: %s%s%s\n", captionSjis ? caption.c_str() : "",
               captionSjis ? ": " : "", text.c_str());
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption.c_str(), text.c_str(), window_) != 0) {
    std::fprintf(stderr, "quillfen: (message box could not be shown: %s)\n", SDL_GetError());
  }
}

void SdlHost::Trace(const char* textSjis) {
  if (options_.verbose) std::fprintf(stderr, "%s\n", posix::SjisToUtf8(textSjis).c_str());
}

void SdlHost::NameRefused(const char* nameSjis, const std::string& why) {
  std::fprintf(stderr, "quillfen: refused file name \"%s\": %s\n",
               posix::SjisToUtf8(nameSjis).c_str(), why.c_str());
}

plat::DisplayTest SdlHost::TestFullScreen() {
  const int display = SDL_GetWindowDisplayIndex(window_);
  SDL_DisplayMode mode;
  if (display < 0 || SDL_GetDesktopDisplayMode(display, &mode) != 0) return plat::DisplayTest::Failed;
  if (mode.w < kWidth || mode.h < kHeight) return plat::DisplayTest::BadMode;
  return plat::DisplayTest::Successful;
}

void SdlHost::EnterFullScreen() {
  if (SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
    std::fprintf(stderr, "quillfen: full screen failed: %s\n", SDL_GetError());
  } else if (options_.verbose) {
    std::fprintf(stderr, "quillfen: full screen\n");
  }
  ApplyScaling(true);
  Invalidate(nullptr);
}

void SdlHost::LeaveFullScreen() {
  const int display = std::max(SDL_GetWindowDisplayIndex(window_), 0);
  SDL_SetWindowFullscreen(window_, 0);
  if (options_.verbose) std::fprintf(stderr, "quillfen: window mode\n");
  SDL_SetWindowSize(window_, kWidth * options_.scale, kHeight * options_.scale);
  SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED_DISPLAY(display),
                        SDL_WINDOWPOS_CENTERED_DISPLAY(display));
  ApplyScaling(false);
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
    for (int i = 0; i < n; ++i) {
      out[2 * (done + i)] = std::clamp(left[i], -1.0f, 1.0f);
      out[2 * (done + i) + 1] = std::clamp(right[i], -1.0f, 1.0f);
    }
    done += n;
  }
}

bool SdlHost::MidiOpen() {
  if (synth_.IsOpen()) return true;
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

void SdlHost::PlayWave(const char* nameSjis, uint32_t flags) {
  std::vector<uint8_t> bytes;
  const bool have = nameSjis && ReadWholeFile(nameSjis, bytes);
  if (!StartAudio()) return;
  SDL_LockAudioDevice(audio_);
  voice_.Stop();
  const bool playing = have && voice_.Start(std::move(bytes), (flags & plat::kWaveLoop) != 0);
  const uint64_t length = playing ? voice_.LengthMs() : 0;
  SDL_UnlockAudioDevice(audio_);
  if (playing && (flags & plat::kWaveAsync) == 0) SDL_Delay(static_cast<uint32_t>(length));
}

}  // namespace sdl
