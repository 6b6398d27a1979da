// The settings file: whatever an editor, a full disk or a newer game left in
// it, the game starts with every setting inside its range, and what it would
// write back reads the same.
#include <cstdlib>
#include <string>

#include "core/settings.h"
#include "shell/settings_file.h"
#include "support/fuzz_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Begin();
  fuzz::Write("settings.txt", data, size);
  LoadSettings();
  const Settings s = settings;
  const bool inRange = s.windowScale >= 1 && s.windowScale <= 4 && s.textSpeed >= 0 &&
                       s.textSpeed <= 1000 && s.musicVolume >= 0 && s.musicVolume <= 100 &&
                       s.effectsVolume >= 0 && s.effectsVolume <= 100 && s.autoDelay >= 0 &&
                       s.autoDelay <= 60000;
  if (!inRange) std::abort();
  Settings back;
  std::string why;
  if (!ParseSettings(FormatSettings(s), back, why) || FormatSettings(back) != FormatSettings(s))
    std::abort();
  fuzz::End();
  return 0;
}
