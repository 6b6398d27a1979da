// Music and wave effects for the rest of the program: background music on
// the one sequencer, waves by file name, and the two remembered names that
// let a saved game or the end of a battle restore the script's sound.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sound/sequencer.h"

constexpr size_t kSoundNameSize = 260;

struct SoundState {
  MidiSequencer sequencer;
  // Music started in loop mode by the script (with ".mid"), or empty.
  char CurrentMusic[kSoundNameSize] = {};
  // Wave started in loop mode by the script (with ".wav"), or empty.
  char CurrentLoopSound[kSoundNameSize] = {};
};
extern SoundState snd;

// Stops everything and forgets the song and both names.
void ResetSound();

int PlayMusic(const char* name, int loop);
int StopMusic();
// sndPlaySoundA: flags plat::kWaveSync, kWaveAsync, kWaveAsync | kWaveLoop.
// A wave that cannot be read plays nothing and is told in the log.
void PlayWave(const char* name, uint32_t flags);
void StopWave();

// Loading a saved game, a battle's setup and its end stop both the music and
// the wave first; handing control back to the script then restarts the
// script's looping music and looping wave, if any.
void StopAllSound();
void RestartScriptSound();

// The script's ".mid" and ".wav" once their arguments are read: a name
// ("stop" stops) and a mode.
// Music modes 0 (loop) and 1 (once), wave modes 0 (play on), 1 (wait for
// the end) and 2 (loop): other modes do nothing.
inline constexpr int32_t kMusicModes = 2;
inline constexpr int32_t kWaveModes = 3;
void MusicCommand(const char* name, int32_t mode);
void WaveCommand(const char* name, int32_t mode);
