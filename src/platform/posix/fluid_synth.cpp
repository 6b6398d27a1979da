#include "platform/posix/fluid_synth.h"

#include <fluidsynth.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace posix {

namespace {
fluid_synth_t* Synth(void* p) { return static_cast<fluid_synth_t*>(p); }

constexpr const char* kSoundFontPlaces[] = {
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",        "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/default-GM.sf2",        "/usr/share/soundfonts/default.sf2",
    "/usr/share/soundfonts/FluidR3_GM.sf2",        "/usr/share/sounds/sf3/default-GM.sf3",
    "/usr/share/sounds/sf3/MuseScore_General.sf3",
};
}  // namespace

std::string FindSoundFont(std::string& problem) {
  problem.clear();
  std::error_code ec;
  if (const char* env = std::getenv("QUILLFEN_SOUNDFONT"); env && *env) {
    if (std::filesystem::is_regular_file(env, ec)) return env;
    problem = std::string("QUILLFEN_SOUNDFONT names ") + env + ", which is not a file";
    return {};
  }
  for (const char* place : kSoundFontPlaces) {
    if (std::filesystem::is_regular_file(place, ec)) return place;
  }
  problem =
      "no General MIDI SoundFont found (looked in /usr/share/sounds/sf2 and "
      "/usr/share/soundfonts); install the Debian package timgm6mb-soundfont or "
      "fluid-soundfont-gm, or set QUILLFEN_SOUNDFONT to an .sf2 file";
  return {};
}

FluidSynthOut::~FluidSynthOut() {
  if (synth_) delete_fluid_synth(Synth(synth_));
  if (settings_) delete_fluid_settings(static_cast<fluid_settings_t*>(settings_));
}

bool FluidSynthOut::Open(const std::string& soundFont, int sampleRate, float gain,
                         std::string& error) {
  // FluidSynth's own chatter (no audio driver, and so on) is not the player's business.
  fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
  fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
  fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
  auto* settings = new_fluid_settings();
  if (!settings) {
    error = "FluidSynth: cannot make its settings";
    return false;
  }
  settings_ = settings;
  fluid_settings_setnum(settings, "synth.sample-rate", sampleRate);
  gain_ = gain;
  fluid_settings_setnum(settings, "synth.gain", gain * volume_);
  fluid_settings_setint(settings, "synth.threadsafe-api", 1);
  auto* synth = new_fluid_synth(settings);
  if (!synth) {
    error = "FluidSynth: cannot make a synthesiser";
    return false;
  }
  synth_ = synth;
  if (fluid_synth_sfload(synth, soundFont.c_str(), 1) == FLUID_FAILED) {
    error = "FluidSynth: cannot load the SoundFont " + soundFont;
    delete_fluid_synth(synth);
    synth_ = nullptr;
    return false;
  }
  return true;
}

void FluidSynthOut::ShortMessage(uint32_t message) {
  if (!synth_) return;
  auto* s = Synth(synth_);
  const int status = message & 0xFF, ch = status & 0x0F;
  const int d1 = (message >> 8) & 0x7F, d2 = (message >> 16) & 0x7F;
  switch (status & 0xF0) {
    case 0x80:
      fluid_synth_noteoff(s, ch, d1);
      break;
    case 0x90:
      d2 ? fluid_synth_noteon(s, ch, d1, d2) : fluid_synth_noteoff(s, ch, d1);
      break;
    case 0xA0:
      fluid_synth_key_pressure(s, ch, d1, d2);
      break;
    case 0xB0:
      fluid_synth_cc(s, ch, d1, d2);
      break;
    case 0xC0:
      fluid_synth_program_change(s, ch, d1);
      break;
    case 0xD0:
      fluid_synth_channel_pressure(s, ch, d1);
      break;
    case 0xE0:
      fluid_synth_pitch_bend(s, ch, d1 | (d2 << 7));
      break;
    default:
      break;
  }
}

void FluidSynthOut::LongMessage(const uint8_t* data, size_t size) {
  if (!synth_ || size < 2 || data[0] != 0xF0) return;
  size_t length = size - 1;  // FluidSynth takes the bytes between F0 and F7
  if (data[size - 1] == 0xF7) --length;
  fluid_synth_sysex(Synth(synth_), reinterpret_cast<const char*>(data + 1),
                    static_cast<int>(length), nullptr, nullptr, nullptr, 0);
}

void FluidSynthOut::Reset() {
  if (!synth_) return;
  for (int ch = 0; ch < 16; ++ch) {
    fluid_synth_all_notes_off(Synth(synth_), ch);
    fluid_synth_cc(Synth(synth_), ch, 121, 0);  // reset all controllers
  }
}

void FluidSynthOut::SystemReset() {
  if (synth_) fluid_synth_system_reset(Synth(synth_));
}

void FluidSynthOut::SetVolume(float factor) {
  volume_ = factor;
  if (synth_) fluid_synth_set_gain(Synth(synth_), gain_ * volume_);
}

void FluidSynthOut::Render(float* left, float* right, int frames) {
  if (!synth_) {
    for (int i = 0; i < frames; ++i) left[i] = right[i] = 0;
    return;
  }
  fluid_synth_write_float(Synth(synth_), frames, left, 0, 1, right, 0, 1);
}

}  // namespace posix
