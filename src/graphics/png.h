// PNG files of the game's pictures, made without any library so that every
// platform writes its screenshots the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// An 8-bit RGB PNG file of width x height X1R5G5B5 pixels. Each five-bit
// channel v becomes (v << 3) | (v >> 2), so white stays white. Rows are
// strideInPixels apart; with bottomUp the first row in memory is the bottom
// of the picture, as in an Image. Empty when a side is below 1, the stride is
// shorter than a row, or the picture is too large for one file.
std::vector<uint8_t> EncodePng555(const uint16_t* pixels, int width, int height, int strideInPixels,
                                  bool bottomUp);

// A zlib stream (RFC 1950) of data under 4 GiB, as the file keeps its image
// data.
std::vector<uint8_t> ZlibCompress(const uint8_t* data, size_t size);

// The checksums the file carries: CRC-32 over each chunk, Adler-32 over the
// uncompressed image data. Both continue from an earlier result, so data may
// come in parts.
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t size, uint32_t adler = 1);
