#include "platform/posix/audio_mix.h"

#include <algorithm>
#include <cmath>

namespace posix {

float VolumeFactor(int percent) { return static_cast<float>(std::clamp(percent, 0, 100)) / 100; }

bool WaveVoice::Start(std::vector<uint8_t> file, bool loop) {
  active_ = false;
  bytes_ = std::move(file);
  if (!ParseWave(bytes_, wave_) || wave_.frames == 0) return false;
  pos_ = 0;
  loop_ = loop;
  active_ = true;
  return true;
}

void WaveVoice::MixInto(float* left, float* right, int frames, int rate) {
  const double step = static_cast<double>(wave_.sampleRate) / rate;
  const float gain = kWaveGain * volume_;
  for (int i = 0; i < frames && active_; ++i) {
    const auto f = static_cast<size_t>(pos_);
    const float t = static_cast<float>(pos_ - static_cast<double>(f));
    left[i] += gain * (wave_.Sample(f, 0) * (1 - t) + wave_.Sample(f + 1, 0) * t);
    right[i] += gain * (wave_.Sample(f, 1) * (1 - t) + wave_.Sample(f + 1, 1) * t);
    pos_ += step;
    if (pos_ >= static_cast<double>(wave_.frames)) {
      if (loop_) {
        pos_ -= static_cast<double>(wave_.frames);
      } else {
        active_ = false;
      }
    }
  }
}

void Limiter::Apply(float* left, float* right, int frames, int rate) {
  const float release = 1000 / (static_cast<float>(rate) * kLimiterReleaseMs);
  for (int i = 0; i < frames; ++i) {
    const float peak = std::max(std::fabs(left[i]), std::fabs(right[i]));
    if (peak * gain_ > kLimiterCeiling) gain_ = kLimiterCeiling / peak;
    if (gain_ >= 1) continue;
    left[i] *= gain_;
    right[i] *= gain_;
    gain_ = std::min(1.0f, gain_ + release);
  }
}

void AppendPcm16(const float* left, const float* right, int frames, std::vector<int16_t>& out) {
  for (int i = 0; i < frames; ++i) {
    out.push_back(static_cast<int16_t>(std::lround(std::clamp(left[i], -1.0f, 1.0f) * 32767)));
    out.push_back(static_cast<int16_t>(std::lround(std::clamp(right[i], -1.0f, 1.0f) * 32767)));
  }
}

}  // namespace posix
