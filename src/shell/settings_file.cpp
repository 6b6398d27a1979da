#include "shell/settings_file.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/settings.h"
#include "platform/platform.h"

void LoadSettings() {
  auto& h = plat::host();
  ResetSettings();
  // No file is the first start: the defaults, and nothing to say.
  std::vector<uint8_t> bytes;
  std::string why;
  Settings read;
  if (!h.ReadWholeFile(kSettingsFile, bytes)) {
    if (h.FileExists(kSettingsFile)) why = "cannot be read";
  } else if (ParseSettings(std::string(bytes.begin(), bytes.end()), read, why)) {
    settings = read;
  }
  if (!why.empty())
    h.Warn((std::string(kSettingsFile) + " is damaged (" + why + "); the default settings are used")
               .c_str());
  int scale = settings.windowScale;
  bool fit = settings.fit;
  h.ChooseWindowSize(scale, fit);
  if (scale != settings.windowScale || fit != settings.fit) {
    settings.windowScale = std::clamp(scale, 1, 4);
    settings.fit = fit;
    SaveSettings();
  }
}

void SaveSettings() {
  const std::string text = FormatSettings(settings);
  if (plat::host().WriteWholeFile(kSettingsFile, text.data(), text.size()) != plat::WriteResult::Ok)
    plat::host().Warn((std::string("cannot write ") + kSettingsFile).c_str());
}
