// General MIDI through FluidSynth, for the backends that have no MIDI device
// of the system: offline rendering of a headless run, live output under SDL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace posix {

// The SoundFont to use: $QUILLFEN_SOUNDFONT if set, else the first of the
// standard places that exists. Empty, with a message for the player (what is
// missing and which Debian package provides it), when there is none.
std::string FindSoundFont(std::string& problem);

class FluidSynthOut {
 public:
  FluidSynthOut() = default;
  ~FluidSynthOut();
  FluidSynthOut(const FluidSynthOut&) = delete;
  FluidSynthOut& operator=(const FluidSynthOut&) = delete;

  // The gain is set explicitly: FluidSynth's default is quiet beside the
  // wave effects, and a high one clips with a few voices.
  bool Open(const std::string& soundFont, int sampleRate, float gain, std::string& error);
  bool IsOpen() const { return synth_ != nullptr; }

  void ShortMessage(uint32_t message);
  void LongMessage(const uint8_t* data, size_t size);
  void Reset();  // what midiOutReset does: every note off, controllers back
  // Everything back as a synthesiser just made has it: voices, programs and
  // every controller, volume included. A MIDI device opened again after a
  // close starts like this; the synthesiser itself stays loaded.
  void SystemReset();
  // The music volume as a factor of the gain given to Open, which it
  // follows from then on; FluidSynth applies it to the notes sounding too.
  // Safe beside Render on another thread: the synthesiser locks its API.
  void SetVolume(float factor);
  // Renders frames of stereo float samples.
  void Render(float* left, float* right, int frames);

 private:
  void* settings_ = nullptr;
  void* synth_ = nullptr;
  float gain_ = 0;
  float volume_ = 1;
};

}  // namespace posix
