#include "sound/music.h"

#include <cstring>
#include <string>

#include "core/mistake_log.h"
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

void PlayWave(const char* name, uint32_t flags) {
  if (!plat::host().PlayWave(name, flags)) ReportMistake(FileProblem("wave", name));
}

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
  } else {
    ReportMistake("no music mode " + std::to_string(mode) +
                  " (0 loops, 1 plays once): " + Quoted(file) + " not played");
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
  } else {
    ReportMistake("no wave mode " + std::to_string(mode) +
                  " (0 plays, 1 waits for it, 2 loops): " + Quoted(file) + " not played");
  }
}
