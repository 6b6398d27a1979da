// The keys that change a remembered setting and say so in a note: the music
// and effects volumes, mute and the text speed.
#pragma once

#include <cstdint>

// The volumes in force, handed to the host.
void ApplyVolumes();
// True when the key is one of them (and so used up).
bool SettingKey(uint32_t virtualKey);
