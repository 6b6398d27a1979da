// The player's own choices that outlive a run: window size, full screen,
// text speed, volumes and the automatic reading's pace. They are kept in a
// small text file of "key = value" lines in the player's folder; none of
// them is part of a saved game.
#pragma once

#include <cstdint>
#include <string>

struct Settings {
  int32_t windowScale = 1;  // 1 to 4
  bool fullScreen = false;
  bool fit = false;           // full screen fills the height instead of a whole factor
  int32_t textSpeed = 10;     // ms per typed character; 0 is instant
  int32_t musicVolume = 100;  // 0 to 100
  int32_t effectsVolume = 100;
  bool muted = false;
  int32_t autoDelay = 1500;  // ms an automatic click wait lasts before its line's length
  // The comforts that change what the game does or shows. Each is off unless
  // chosen, so a game sees the engine's own behaviour by default.
  bool confirmQuit = false;  // ask before Esc, F12 or the close button end the game
  bool escapeBack = false;   // Esc goes back on the save screen, collection and deck editor
  bool decideLight = false;  // the battle's decide square lights under the pointer
  bool battleCue = false;    // battle messages blink the click cue while they wait
  bool detailPanel = false;  // the card detail's text stands on a framed panel
  bool saveCaption = false;  // the save screen's foot bar says SAVE or LOAD
};
extern Settings settings;

// The comfort options as the settings file names them, in the order the
// file and the help list them.
struct ComfortOption {
  const char* key;
  bool Settings::*field;
};
inline constexpr ComfortOption kComfortOptions[] = {
    {"confirm_quit", &Settings::confirmQuit}, {"escape_back", &Settings::escapeBack},
    {"decide_light", &Settings::decideLight}, {"battle_cue", &Settings::battleCue},
    {"detail_panel", &Settings::detailPanel}, {"save_caption", &Settings::saveCaption},
};

void ResetSettings();

// The settings file's name, in the game's own file names.
inline constexpr const char* kSettingsFile = "settings.txt";

// Blank lines and lines starting with '#' are comments; a key this version
// does not know is skipped, so a newer game's file still loads. Anything
// else that does not read as a setting with a value in its range makes the
// whole file unusable: false, with why (its line number and what is wrong),
// and out untouched.
bool ParseSettings(const std::string& text, Settings& out, std::string& why);
std::string FormatSettings(const Settings& s);

// What the amplitude of music and waves is, muting included.
int32_t EffectiveMusicVolume(const Settings& s);
int32_t EffectiveEffectsVolume(const Settings& s);
