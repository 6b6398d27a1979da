#pragma once
#include <cstdint>
#include <vector>
std::vector<uint8_t> EncodePng555(const uint16_t* pixels, int width, int height, int strideInPixels,
                                  bool bottomUp);
