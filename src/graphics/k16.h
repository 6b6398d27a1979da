// K16 pictures: 256 colours whose palette is already in the X1R5G5B5 pixel
// format, one index byte per pixel, rows bottom-up like an Image's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/image.h"

constexpr size_t kK16PaletteOffset = 28;
constexpr size_t kK16PixelOffset = 540;
constexpr uint8_t kK16TransparentIndex = 255;
// Larger than any picture the game shows by far; keeps every size computation
// of a replaced file well inside 32 bits.
constexpr int32_t kK16MaxSide = 16384;

// A well-formed K16 file in memory. Files are game content that players may
// replace, so nothing is believed until ParseK16 has checked it against the
// file's real length.
struct K16View {
  int32_t width = 0;
  int32_t height = 0;
  int32_t rowSize = 0;  // bytes per file row, a multiple of 4
  uint16_t palette[256] = {};
  const uint8_t* rows = nullptr;  // first (bottom) file row

  // Index bytes of top-down picture row y.
  const uint8_t* Row(int32_t y) const {
    return rows + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(rowSize);
  }
};

constexpr int32_t K16RowSize(int32_t width) { return ((width * 8 + 31) / 32) * 4; }

// False for a file that is too short for its header, or whose width or height
// is below 1 or above kK16MaxSide.
bool ParseK16(const uint8_t* data, size_t size, K16View& out);

// All four return 1 on success and 0 when the file cannot be read or is
// malformed; a malformed file leaves the image unchanged. Rectangles are
// clipped against both the file picture and the image.
int LoadK16(Image& image, const char* fileName);
int LoadK16At(Image& image, const char* fileName, int32_t x, int32_t y);
int LoadK16Rect(Image& image, const char* fileName, int32_t destX, int32_t destY, int32_t width,
                int32_t height, int32_t srcX, int32_t srcY);
int LoadK16RectKeyed(Image& image, const char* fileName, int32_t destX, int32_t destY,
                     int32_t width, int32_t height, int32_t srcX, int32_t srcY);
// LoadK16At for a picture the game needs (an interface sheet, a background):
// one that cannot be loaded is told in the log with what it is for, and the
// image keeps what it held. An empty name is no picture and nothing to tell.
int LoadNeededK16(Image& image, const char* fileName, int32_t x, int32_t y, const char* purpose);
