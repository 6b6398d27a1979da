// The settings file in the player's folder: read before the window opens,
// written (atomically, as every game file is written) on each change.
#pragma once

// The settings, and the window size the backend will use. No file is the
// first start; a damaged one leaves the defaults and one warning.
void LoadSettings();
void SaveSettings();
