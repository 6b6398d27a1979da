// The headless backend's sound: every call recorded with its virtual time,
// the music timer driven by the virtual clock, and an optional offline
// rendering of the whole run into a WAV file.
#include "platform/headless/headless_sound.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/posix/audio_mix.h"
#include "platform/posix/fluid_synth.h"
#include "platform/posix/wave_file.h"

namespace headless {

namespace {
constexpr uint32_t kRenderRate = posix::kMixRate;
constexpr uint64_t kRenderTailMs = 1500;                // let the last notes ring out
constexpr uint64_t kRenderLimitMs = 30ull * 60 * 1000;  // a runaway run stays a sane file
using Kind = SoundCall::Kind;
}  // namespace

bool HeadlessHost::MidiOpen() {
  std::lock_guard lock(soundMutex_);
  midiOpen = true;
  sound.push_back({Kind::MidiOpen, now_, 0, {}, {}, 0});
  Record("midi open");
  return true;
}

void HeadlessHost::MidiShortMessage(uint32_t message) {
  std::lock_guard lock(soundMutex_);
  if (!midiOpen) return;
  sound.push_back({Kind::MidiShort, now_, message, {}, {}, 0});
}

void HeadlessHost::MidiLongMessage(const uint8_t* data, size_t size) {
  std::lock_guard lock(soundMutex_);
  if (!midiOpen) return;
  sound.push_back({Kind::MidiLong, now_, 0, std::vector<uint8_t>(data, data + size), {}, 0});
}

void HeadlessHost::MidiReset() {
  std::lock_guard lock(soundMutex_);
  if (!midiOpen) return;
  sound.push_back({Kind::MidiReset, now_, 0, {}, {}, 0});
}

void HeadlessHost::MidiClose() {
  std::lock_guard lock(soundMutex_);
  if (!midiOpen) return;
  midiOpen = false;
  sound.push_back({Kind::MidiClose, now_, 0, {}, {}, 0});
  Record("midi close");
}

uint32_t HeadlessHost::StartPeriodicTimer(uint32_t periodMs, PeriodicCallback callback,
                                          void* user) {
  if (!callback) return 0;
  if (options_.realClock && options_.threadedTimer) {
    if (!timerThread_) timerThread_ = std::make_unique<posix::PeriodicTimerThread>();
    return timerThread_->Start(periodMs, callback, user);
  }
  if (++nextPeriodicId_ == 0) ++nextPeriodicId_;
  periodic_ = {nextPeriodicId_, std::max<uint32_t>(periodMs, 1),
               now_ + std::max<uint32_t>(periodMs, 1), callback, user};
  return periodic_.id;
}

// Callbacks run on this thread between clock steps, so none can be running
// when the game kills the timer from outside one.
void HeadlessHost::KillPeriodicTimer(uint32_t timerId) {
  if (timerThread_) timerThread_->Kill(timerId);
  if (timerId != 0 && periodic_.id == timerId) periodic_ = Periodic{};
}

// A call that fell inside the stall comes right after it; one planned for
// later keeps its time.
void HeadlessHost::StallPeriodicTimer(uint64_t ms) {
  now_ += ms;
  if (periodic_.id && periodic_.due <= now_) periodic_.due = now_ + 1;
}

void HeadlessHost::SetVolumes(int musicPercent, int effectsPercent) {
  std::lock_guard lock(soundMutex_);
  SoundCall c{Kind::Volume, now_, 0, {}, {}, 0};
  c.music = std::clamp(musicPercent, 0, 100);
  c.effects = std::clamp(effectsPercent, 0, 100);
  Record("volumes music " + std::to_string(c.music) + " effects " + std::to_string(c.effects));
  sound.push_back(std::move(c));
}

bool HeadlessHost::PlayWave(const char* nameSjis, uint32_t flags) {
  if (!nameSjis) {
    sound.push_back({Kind::WaveStop, now_, 0, {}, {}, 0});
    Record("wave stop");
    return true;
  }
  sound.push_back({Kind::Wave, now_, 0, {}, nameSjis, flags});
  // Read now, as the desktop does: a file that is not there is not logged
  // as played (the game tells the author instead).
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(nameSjis, bytes)) return false;
  Record("wave \"" + posix::SjisToUtf8(nameSjis) + "\" flags " + std::to_string(flags));
  posix::WaveData wave;
  if (posix::ParseWave(bytes, wave) && (flags & plat::kWaveAsync) == 0) {
    AdvanceTo(now_ + wave.LengthMs());  // a synchronous wave returns when heard to the end
  }
  return true;
}

bool RenderSound(const std::vector<SoundCall>& calls, uint64_t nowMs, const posix::GameFiles& files,
                 const std::string& path) {
  std::string problem;
  const std::string soundFont = posix::FindSoundFont(problem);
  posix::FluidSynthOut synth;
  if (soundFont.empty()) {
    std::fprintf(stderr, "quillfen: audio: %s; the music is left out of %s\n", problem.c_str(),
                 path.c_str());
  } else if (!synth.Open(soundFont, kRenderRate, posix::kSynthGain, problem)) {
    std::fprintf(stderr, "quillfen: audio: %s; the music is left out\n", problem.c_str());
  }

  uint64_t endMs = nowMs;
  for (const auto& c : calls) endMs = std::max(endMs, c.at);
  endMs = std::min(endMs + kRenderTailMs, kRenderLimitMs);
  const uint64_t totalFrames = endMs * kRenderRate / 1000;

  posix::WaveVoice voice;
  posix::Limiter limiter;
  std::vector<int16_t> out;
  out.reserve(static_cast<size_t>(totalFrames) * 2);
  std::vector<float> left(1024), right(1024);
  uint64_t frame = 0;
  auto renderTo = [&](uint64_t end) {
    end = std::min(end, totalFrames);
    while (frame < end) {
      const int n = static_cast<int>(std::min<uint64_t>(1024, end - frame));
      synth.Render(left.data(), right.data(), n);
      voice.MixInto(left.data(), right.data(), n, static_cast<int>(kRenderRate));
      limiter.Apply(left.data(), right.data(), n, static_cast<int>(kRenderRate));
      posix::AppendPcm16(left.data(), right.data(), n, out);
      frame += static_cast<uint64_t>(n);
    }
  };
  for (const auto& c : calls) {
    renderTo(c.at * kRenderRate / 1000);
    switch (c.kind) {
      case Kind::MidiShort:
        synth.ShortMessage(c.message);
        break;
      case Kind::MidiLong:
        synth.LongMessage(c.data.data(), c.data.size());
        break;
      case Kind::MidiReset:
        synth.Reset();
        break;
      // Stop leaves every channel at volume 0; a device opened again starts
      // as a new one, whatever the song before it did.
      case Kind::MidiOpen:
        synth.SystemReset();
        break;
      case Kind::MidiClose:
        break;
      case Kind::WaveStop:
        voice.Stop();
        break;
      case Kind::Wave: {
        std::vector<uint8_t> bytes;
        voice.Stop();
        if (files.Read(c.name.c_str(), bytes))
          voice.Start(std::move(bytes), (c.flags & plat::kWaveLoop) != 0);
        break;
      }
      case Kind::Volume:
        synth.SetVolume(posix::VolumeFactor(c.music));
        voice.SetVolume(posix::VolumeFactor(c.effects));
        break;
    }
  }
  renderTo(totalFrames);
  return posix::WriteWave16(path.c_str(), out, kRenderRate);
}

bool HeadlessHost::FinishAudio(std::string& error) {
  if (audioDone_ || options_.audioOut.empty()) return true;
  audioDone_ = true;
  if (!RenderSound(sound, now_, data(), options_.audioOut)) {
    error = "cannot write the audio file " + options_.audioOut;
    return false;
  }
  Record("audio written to " + options_.audioOut);
  return true;
}

}  // namespace headless
