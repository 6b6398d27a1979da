// F11: the picture as the player sees it, kept in the player's folder.
#pragma once

#include <string>

// A PNG file of screenshots\, named by the date and time; its name, or empty
// when it could not be written.
std::string SaveScreenshot();
