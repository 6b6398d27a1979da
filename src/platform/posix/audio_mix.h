// The one wave voice and the mixing rules the POSIX backends share: live
// output under SDL and the offline rendering of a headless run sound alike.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/posix/wave_file.h"

namespace posix {

constexpr int kMixRate = 44100;
// Music and effects balanced against each other: the synthesiser's gain and
// the level of a wave effect on top of it.
constexpr float kSynthGain = 0.6f;
constexpr float kWaveGain = 0.7f;

// The factor of one of the player's volumes, clamped to 0..100 percent.
float VolumeFactor(int percent);

// One wave at a time, as sndPlaySoundA plays them.
class WaveVoice {
 public:
  // Takes the file's bytes; false (and silent) when they are no playable wave.
  bool Start(std::vector<uint8_t> file, bool loop);
  void Stop() { active_ = false; }
  bool Active() const { return active_; }
  uint64_t LengthMs() const { return wave_.LengthMs(); }
  // The effects volume as a factor; stays over new waves, and applies from
  // the next frame mixed.
  void SetVolume(float factor) { volume_ = factor; }
  // Adds the wave, resampled to rate, to frames of left and right.
  void MixInto(float* left, float* right, int frames, int rate);

 private:
  std::vector<uint8_t> bytes_;
  WaveData wave_;
  double pos_ = 0;
  bool loop_ = false;
  bool active_ = false;
  float volume_ = 1;
};

// Keeps a loud song from clipping. While the mix stays under the ceiling it
// passes untouched, sample for sample, so that ordinary songs sound exactly
// as mixed; a peak above it turns the level down at once, and the level
// returns to full over kLimiterReleaseMs.
constexpr float kLimiterCeiling = 0.93f;  // about -0.6 dB of full scale
constexpr float kLimiterReleaseMs = 250;

class Limiter {
 public:
  void Apply(float* left, float* right, int frames, int rate);

 private:
  float gain_ = 1;
};

// Appends frames of float stereo as 16-bit PCM, clipped.
void AppendPcm16(const float* left, const float* right, int frames, std::vector<int16_t>& out);

}  // namespace posix
