#include "graphics/png.h"
std::vector<uint8_t> EncodePng555(const uint16_t*, int, int, int, bool) { return {}; }
