#include "shell/setting_keys.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "core/settings.h"
#include "platform/platform.h"
#include "shell/aids_texts.h"
#include "shell/notes.h"
#include "shell/settings_file.h"

namespace {

constexpr int kTextSpeeds[] = {10, 20, 40, 0, 5};

std::string VolumeNote() {
  if (settings.muted) return texts::kMuted;
  return texts::kMusic + std::to_string(settings.musicVolume) + "%" + texts::kEffects +
         std::to_string(settings.effectsVolume) + "%";
}

void VolumesChanged() {
  ApplyVolumes();
  SaveSettings();
  ShowNote(VolumeNote());
}

void StepVolume(int32_t& volume, int32_t step) {
  volume = std::clamp(volume + step, 0, 100);
  settings.muted = false;
  VolumesChanged();
}

void NextTextSpeed() {
  const int* at = std::find(std::begin(kTextSpeeds), std::end(kTextSpeeds), settings.textSpeed);
  settings.textSpeed =
      at == std::end(kTextSpeeds) || at + 1 == std::end(kTextSpeeds) ? kTextSpeeds[0] : at[1];
  SaveSettings();
  ShowNote(texts::kTextSpeed + (settings.textSpeed == 0
                                    ? std::string(texts::kInstant)
                                    : std::to_string(settings.textSpeed) + texts::kMsPerChar));
}

}  // namespace

void ApplyVolumes() {
  plat::host().SetVolumes(EffectiveMusicVolume(settings), EffectiveEffectsVolume(settings));
}

bool SettingKey(uint32_t vk) {
  switch (vk) {
    case plat::vk::T:
      NextTextSpeed();
      return true;
    case plat::vk::Minus:
    case plat::vk::Subtract:
      StepVolume(settings.musicVolume, -10);
      return true;
    case plat::vk::Plus:
    case plat::vk::Add:
      StepVolume(settings.musicVolume, 10);
      return true;
    case plat::vk::LeftBracket:
      StepVolume(settings.effectsVolume, -10);
      return true;
    case plat::vk::RightBracket:
      StepVolume(settings.effectsVolume, 10);
      return true;
    case plat::vk::M:
      settings.muted = !settings.muted;
      VolumesChanged();
      return true;
    default:
      return false;
  }
}
