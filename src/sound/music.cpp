#include "sound/music.h"

#include <cstring>

#include "platform/platform.h"

SoundState snd;

namespace {

void SetName(char (&target)[kSoundNameSize], const char* value) {
  std::strncpy(target, value, kSoundNameSize - 1);
  target[kSoundNameSize - 1] = '\0';
}

// name + extension, cut to the 260 bytes of a file name.
void FileName(char (&out)[kSoundNameSize], const char* name, const char* extension) {
  SetName(out, name);
  const size_t used = std::strlen(out);
  std::strncat(out, extension, kSoundNameSize - 1 - used);
}

}  // namespace

void ResetSound() {
  snd.sequencer.Reset();
  if (plat::HasHost()) StopWave();
  snd.CurrentMusic[0] = '\0';
  snd.CurrentLoopSound[0] = '\0';
}

int PlayMusic(const char* name, int loop) {
  // A file that does not open leaves the old song loaded: it plays again.
  snd.sequencer.Load(name, 0);
  snd.sequencer.loop = loop;
  return snd.sequencer.Play();
}

int StopMusic() { return snd.sequencer.Stop(); }

void PlayWave(const char* name, uint32_t flags) { plat::host().PlayWave(name, flags); }

void StopWave() { plat::host().PlayWave(nullptr, plat::kWaveSync); }

void StopAllSound() {
  StopMusic();
  StopWave();
}

void RestartScriptSound() {
  if (snd.CurrentMusic[0]) PlayMusic(snd.CurrentMusic, 1);
  if (snd.CurrentLoopSound[0]) PlayWave(snd.CurrentLoopSound, plat::kWaveAsync | plat::kWaveLoop);
}

void MusicCommand(const char* name, int32_t mode) {
  if (std::strcmp(name, "stop") == 0) {
    snd.CurrentMusic[0] = '\0';
    StopMusic();
    return;
  }
  char file[kSoundNameSize];
  FileName(file, name, ".mid");
  if (mode == 0) {
    if (std::strcmp(snd.CurrentMusic, file) == 0) return;  // already looping
    SetName(snd.CurrentMusic, file);
    PlayMusic(file, 1);
  } else if (mode == 1) {
    snd.CurrentMusic[0] = '\0';
    PlayMusic(file, 0);
  }
}

void WaveCommand(const char* name, int32_t mode) {
  if (std::strcmp(name, "stop") == 0) {
    snd.CurrentLoopSound[0] = '\0';
    StopWave();
    return;
  }
  char file[kSoundNameSize];
  FileName(file, name, ".wav");
  if (mode == 0) {
    snd.CurrentLoopSound[0] = '\0';
    PlayWave(file, plat::kWaveAsync);
  } else if (mode == 1) {
    snd.CurrentLoopSound[0] = '\0';
    PlayWave(file, plat::kWaveSync);
  } else if (mode == 2) {
    SetName(snd.CurrentLoopSound, file);
    PlayWave(file, plat::kWaveAsync | plat::kWaveLoop);
  }
}
