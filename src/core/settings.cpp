#include "core/settings.h"

#include <cstring>

Settings settings;

void ResetSettings() { settings = Settings{}; }

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

bool ReadInt(const std::string& v, int32_t lo, int32_t hi, int32_t& out) {
  // Nine digits at most: enough for every range here, and no overflow.
  if (v.empty() || v.size() > 9) return false;
  int64_t n = 0;
  for (char c : v) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n < lo || n > hi) return false;
  out = static_cast<int32_t>(n);
  return true;
}

bool ReadBool(const std::string& v, bool& out) {
  int32_t n = 0;
  if (!ReadInt(v, 0, 1, n)) return false;
  out = n == 1;
  return true;
}

const ComfortOption* FindComfort(const std::string& key) {
  for (const ComfortOption& option : kComfortOptions) {
    if (key == option.key) return &option;
  }
  return nullptr;
}

}  // namespace

bool ParseSettings(const std::string& text, Settings& out, std::string& why) {
  Settings s;
  // Editors that save UTF-8 may put a byte order mark in front.
  size_t start = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  int lineNo = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(start, end - start));
    start = end + 1;
    ++lineNo;
    if (line.empty() || line[0] == '#') continue;
    auto fail = [&](const char* what) {
      why = "line " + std::to_string(lineNo) + ": " + what;
      return false;
    };
    if (std::memchr(line.data(), '\0', line.size())) return fail("not text");
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return fail("no \"=\"");
    const std::string key = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    bool ok = true;
    if (key == "window_scale") {
      ok = ReadInt(value, 1, 4, s.windowScale);
    } else if (key == "full_screen") {
      ok = ReadBool(value, s.fullScreen);
    } else if (key == "fit") {
      ok = ReadBool(value, s.fit);
    } else if (key == "text_speed") {
      if (value == "instant")
        s.textSpeed = 0;
      else
        ok = ReadInt(value, 0, 1000, s.textSpeed);
    } else if (key == "music_volume") {
      ok = ReadInt(value, 0, 100, s.musicVolume);
    } else if (key == "effects_volume") {
      ok = ReadInt(value, 0, 100, s.effectsVolume);
    } else if (key == "muted") {
      ok = ReadBool(value, s.muted);
    } else if (const ComfortOption* option = FindComfort(key)) {
      ok = ReadBool(value, s.*(option->field));
    } else if (key == "auto_delay") {
      ok = ReadInt(value, 0, 60000, s.autoDelay);
    } else if (key.empty()) {
      return fail("no name before \"=\"");
    }
    if (!ok) return fail(("bad value for " + key).c_str());
    if (start > text.size()) break;
  }
  out = s;
  return true;
}

std::string FormatSettings(const Settings& s) {
  std::string t;
  auto line = [&](const char* key, const std::string& value) {
    t += key;
    t += " = ";
    t += value;
    t += '\n';
  };
  t += "# Quillfen's settings, written by the game.\n";
  line("window_scale", std::to_string(s.windowScale));
  line("full_screen", s.fullScreen ? "1" : "0");
  line("fit", s.fit ? "1" : "0");
  t += "# milliseconds a character, or instant\n";
  line("text_speed", s.textSpeed == 0 ? "instant" : std::to_string(s.textSpeed));
  t += "# 0 to 100\n";
  line("music_volume", std::to_string(s.musicVolume));
  line("effects_volume", std::to_string(s.effectsVolume));
  line("muted", s.muted ? "1" : "0");
  t += "# milliseconds an automatic wait lasts, before its line's length is added\n";
  line("auto_delay", std::to_string(s.autoDelay));
  t += "# comforts, 1 to turn on: ask before quitting, Esc goes back on the menu\n"
       "# screens, the decide square lights, battle messages blink the click cue,\n"
       "# a panel behind the card detail, SAVE or LOAD in the save screen's foot bar\n";
  for (const ComfortOption& option : kComfortOptions)
    line(option.key, s.*(option.field) ? "1" : "0");
  return t;
}

int32_t EffectiveMusicVolume(const Settings& s) { return s.muted ? 0 : s.musicVolume; }
int32_t EffectiveEffectsVolume(const Settings& s) { return s.muted ? 0 : s.effectsVolume; }
