// PNG files of the game's pictures, for F11 and the headless screenshots.
// The bytes are made in memory and handed to the platform, which writes them.
#pragma once

#include <cstdint>
#include <vector>

// An 8-bit RGB PNG file of width x height X1R5G5B5 pixels. Each five-bit
// channel v becomes (v << 3) | (v >> 2), so white stays white. Rows are
// strideInPixels apart; with bottomUp the first row in memory is the bottom
// of the picture, as in an Image. Empty when a side is below 1, the stride is
// shorter than a row, or the picture is too large for one file.
std::vector<uint8_t> EncodePng555(const uint16_t* pixels, int width, int height, int strideInPixels,
                                  bool bottomUp);
