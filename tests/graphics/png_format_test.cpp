// What can be checked of the encoder's files without a decoder, so that the
// Windows test build, which has no libpng, checks it too.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/png.h"

namespace {

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// The signature, then chunks each with a length, a type and a CRC of both:
// a header for 8-bit RGB without interlacing, image data, the end.
TEST(PngFile, ChunksAreWellFormed) {
  EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xCBF43926u);
  EXPECT_EQ(Adler32(reinterpret_cast<const uint8_t*>("Wikipedia"), 9), 0x11E60398u);
  std::vector<uint16_t> px(300 * 200);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint16_t>((i * 2654435761u) >> 17);
  const std::vector<uint8_t> f = EncodePng555(px.data(), 300, 200, 300, true);
  ASSERT_GT(f.size(), 8u);
  EXPECT_EQ(std::memcmp(f.data(), "\x89PNG\r\n\x1A\n", 8), 0);
  std::string types;
  size_t at = 8;
  while (at + 12 <= f.size()) {
    const uint32_t length = Be32(&f[at]);
    ASSERT_LE(at + 12 + length, f.size());
    const std::string type(reinterpret_cast<const char*>(&f[at + 4]), 4);
    types +=
        types.empty() || type != "IDAT" || types.substr(types.size() - 4) != "IDAT" ? type : "";
    EXPECT_EQ(Be32(&f[at + 8 + length]), Crc32(&f[at + 4], length + 4)) << type;
    if (type == "IHDR") {
      EXPECT_EQ(std::vector<int>(f.begin() + at + 8, f.begin() + at + 21),
                (std::vector<int>{0, 0, 1, 44, 0, 0, 0, 200, 8, 2, 0, 0, 0}));
    }
    at += 12 + length;
  }
  EXPECT_EQ(at, f.size());
  EXPECT_EQ(types, "IHDRIDATIEND");
}

}  // namespace
