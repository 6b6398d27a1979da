#include "platform/web/web_host.h"

#include <emscripten.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/posix/audio_mix.h"
#include "platform/posix/host_files.h"

// The page's side, in web_glue.js.
extern "C" {
int qf_next_event(int* out);
void qf_wait(int ms, int events);
void qf_present(const uint8_t* rgba, int x, int y, int w, int h);
void qf_cursor(int* out);
void qf_alert(const char* utf8);
void qf_sync_out();
void qf_download(const char* nameUtf8, const uint8_t* data, int size);
void qf_play_wave(const uint8_t* data, int size, int loop);
int qf_wave_busy();
void qf_volumes(double music, double effects);
void qf_midi_open(double gain);
void qf_midi_short(uint32_t message);
void qf_midi_long(const uint8_t* data, int size);
void qf_midi_reset();
void qf_first_frame();
void qf_full_screen(int on);
}

namespace web {

namespace {
// What the page's listeners queue, as qf_next_event hands it over.
enum Event { kMove = 1, kDown, kUp, kKeyDown, kKeyUp, kWheel, kFocus, kClose };

// The expansion of 5 bits to 8 that the PNG writer uses, so that the canvas
// shows the very colours of a screenshot.
uint8_t Expand5(unsigned v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }

bool IsPng(const char* nameSjis) {
  const std::string name(nameSjis);
  return name.size() > 4 && (name.compare(name.size() - 4, 4, ".png") == 0 ||
                             name.compare(name.size() - 4, 4, ".PNG") == 0);
}
}  // namespace

WebHost::WebHost()
    : PumpedHost(kDataDir, false, kSaveDir),
      rgba_(static_cast<size_t>(kWidth) * kHeight * 4, 255) {}

bool WebHost::OpenWindow(const char* titleSjis, plat::WindowProc proc) {
  (void)titleSjis;  // the page has its own title
  AttachWindow(proc);
  Invalidate(nullptr);
  return true;
}

void WebHost::DestroyWindow() { DetachWindow(); }

void WebHost::FramePainted(const std::vector<plat::Rect>& rects) {
  for (const plat::Rect& r : rects) {
    for (int y = r.y; y < r.y + r.h; ++y) {
      for (int x = r.x; x < r.x + r.w; ++x) {
        const uint16_t p = FramePixel(x, y);
        uint8_t* o = &rgba_[(static_cast<size_t>(y) * kWidth + x) * 4];
        o[0] = Expand5((p >> 10) & 31);
        o[1] = Expand5((p >> 5) & 31);
        o[2] = Expand5(p & 31);
        o[3] = 255;
      }
    }
    qf_present(rgba_.data(), r.x, r.y, r.w, r.h);
  }
  if (!firstFrameShown_ && !rects.empty()) {
    firstFrameShown_ = true;
    qf_first_frame();
  }
}

void WebHost::Pump() {
  RunPeriodic();
  std::array<int, 4> e{};
  while (qf_next_event(e.data())) {
    const auto at = [&] { return plat::PackPoint(e[2], e[3]); };
    switch (e[0]) {
      case kMove:
        Post(plat::msg::MouseMove, 0, at());
        break;
      case kDown:
      case kUp: {
        const bool down = e[0] == kDown;
        if (e[1] == 0) Post(down ? plat::msg::LButtonDown : plat::msg::LButtonUp, 0, at());
        if (e[1] == 2) Post(down ? plat::msg::RButtonDown : plat::msg::RButtonUp, 0, at());
        break;
      }
      case kKeyDown: {
        const auto vk = static_cast<uint32_t>(e[1]);
        const bool repeat = e[2] != 0;
        if (repeat && !posix::RepeatCounts(vk)) break;
        if (vk == plat::vk::Return && e[3]) {
          Post(plat::msg::SysKeyDown, plat::vk::Return, 0);
          break;
        }
        Post(plat::msg::KeyDown, vk, repeat ? plat::kKeyRepeat : 0);
        break;
      }
      case kKeyUp:
        Post(plat::msg::KeyUp, static_cast<uint32_t>(e[1]), 0);
        break;
      case kWheel: {
        const auto delta =
            static_cast<uint16_t>(static_cast<int16_t>(std::clamp(e[1], -273, 273) * 120));
        Post(plat::msg::MouseWheel, static_cast<uintptr_t>(delta) << 16, at());
        break;
      }
      case kFocus:
        Post(plat::msg::Activate, e[1] ? plat::activate::Active : plat::activate::Inactive, 0);
        break;
      case kClose:
        Post(plat::msg::Close, 0, 0);
        break;
      default:
        break;
    }
  }
}

// The browser gets its event loop back until an event comes or the earlier
// of the deadline and the next window timer: the page stays responsive and
// spends nothing while the game waits.
void WebHost::Block(uint64_t deadline) { WaitFor(std::min(deadline, NextTimerDue()), true); }

void WebHost::WaitFor(uint64_t until, bool events) {
  if (periodic_.id != 0) until = std::min(until, periodic_.due);
  if (until == plat::kNoDeadline) {
    qf_wait(-1, events);
  } else if (const uint64_t now = Millis(); until > now) {
    qf_wait(static_cast<int>(std::min<uint64_t>(until - now, 1u << 30)), events);
  }
  RunPeriodic();
}

// As the desktop's timer thread: periods missed are dropped, not made up in
// a burst, and the next call is at least a millisecond away, so that a late
// timer never keeps the page from its loop.
void WebHost::RunPeriodic() {
  const uint64_t now = Millis();
  if (inPeriodic_ || periodic_.id == 0 || periodic_.due > now) return;
  inPeriodic_ = true;
  periodic_.due = std::max(periodic_.due + periodic_.period, now + 1);
  periodic_.callback(periodic_.id, periodic_.user);
  inPeriodic_ = false;
}

uint32_t WebHost::StartPeriodicTimer(uint32_t periodMs, PeriodicCallback callback, void* user) {
  if (++lastPeriodicId_ == 0) ++lastPeriodicId_;
  periodic_.id = lastPeriodicId_;
  periodic_.period = std::max<uint32_t>(periodMs, 1);
  periodic_.due = Millis() + periodic_.period;
  periodic_.callback = callback;
  periodic_.user = user;
  return periodic_.id;
}

// No call can be running but from inside the callback itself, which then
// simply ends the timer.
void WebHost::KillPeriodicTimer(uint32_t timerId) {
  if (timerId == periodic_.id) periodic_.id = 0;
}

bool WebHost::MidiOpen() {
  qf_midi_open(posix::kSynthGain);
  return true;
}

void WebHost::MidiShortMessage(uint32_t message) { qf_midi_short(message); }

void WebHost::MidiLongMessage(const uint8_t* data, size_t size) {
  if (data && size <= (1u << 20)) qf_midi_long(data, static_cast<int>(size));
}

void WebHost::MidiReset() { qf_midi_reset(); }

plat::Point WebHost::CursorPos() {
  std::array<int, 2> p{};
  qf_cursor(p.data());
  return {p[0], p[1]};
}

uint64_t WebHost::Millis() { return static_cast<uint64_t>(emscripten_get_now()); }

// The whole time, whatever events come meanwhile; the music goes on.
void WebHost::SleepMs(uint32_t ms) {
  const uint64_t until = Millis() + ms;
  do {
    WaitFor(until, false);
  } while (Millis() < until);
}

void WebHost::ShowMessageBox(const char* textSjis, const char* captionSjis) {
  std::string text = posix::SjisToUtf8(textSjis);
  if (captionSjis) text = posix::SjisToUtf8(captionSjis) + "\n\n" + text;
  std::fprintf(stderr, "quillfen: %s\n", text.c_str());
  qf_alert(text.c_str());
}

void WebHost::Trace(const char* textSjis) {
  std::printf("%s\n", posix::SjisToUtf8(textSjis).c_str());
}

void WebHost::Warn(const char* textSjis) {
  std::fprintf(stderr, "quillfen: %s\n", posix::SjisToUtf8(textSjis).c_str());
}

void WebHost::NameRefused(const char* nameSjis, const std::string& why) {
  std::fprintf(stderr, "quillfen: refused file name \"%s\": %s\n",
               posix::SjisToUtf8(nameSjis).c_str(), why.c_str());
}

// Every change of the save folder goes to IndexedDB at once: a page can be
// closed at any moment, and a reload must find the saves.
plat::WriteResult WebHost::WriteWholeFile(const char* nameSjis, const void* data, size_t size) {
  const plat::WriteResult r = MessageHost::WriteWholeFile(nameSjis, data, size);
  if (r != plat::WriteResult::Ok) return r;
  qf_sync_out();
  // F11's screenshot is offered to the player, who has no folder to look in.
  if (IsPng(nameSjis)) {
    const std::string name = posix::SjisToUtf8(nameSjis);
    const std::string base = name.substr(name.find_last_of("\\/") + 1);
    qf_download(base.c_str(), static_cast<const uint8_t*>(data), static_cast<int>(size));
  }
  return r;
}

bool WebHost::RemoveFile(const char* nameSjis) {
  const bool removed = MessageHost::RemoveFile(nameSjis);
  qf_sync_out();
  return removed;
}

bool WebHost::MakeFolder(const char* nameSjis) {
  const bool made = MessageHost::MakeFolder(nameSjis);
  qf_sync_out();
  return made;
}

// The page decodes the whole file itself; a synchronous wave waits on the
// browser's loop until it has ended, the music playing on meanwhile.
bool WebHost::PlayWave(const char* nameSjis, uint32_t flags) {
  std::vector<uint8_t> bytes;
  if (!nameSjis || !ReadWholeFile(nameSjis, bytes)) {
    qf_play_wave(nullptr, 0, 0);
    return !nameSjis;
  }
  qf_play_wave(bytes.data(), static_cast<int>(bytes.size()), (flags & plat::kWaveLoop) != 0);
  if ((flags & plat::kWaveAsync) != 0) return true;
  while (qf_wave_busy()) WaitFor(plat::kNoDeadline, false);
  return true;
}

// Music and effects balanced as the desktop mixes them.
void WebHost::SetVolumes(int musicPercent, int effectsPercent) {
  const auto factor = [](int percent) { return std::clamp(percent, 0, 100) / 100.0; };
  qf_volumes(factor(musicPercent), factor(effectsPercent) * posix::kWaveGain);
}

void WebHost::EnterFullScreen() { qf_full_screen(1); }
void WebHost::LeaveFullScreen() { qf_full_screen(0); }

}  // namespace web
