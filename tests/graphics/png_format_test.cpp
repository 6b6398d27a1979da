// What can be checked of the encoder's files without a decoder, so that the
// Windows test build, which has no libpng, checks it too.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/png.h"

namespace {

const uint8_t* Bytes(const char* s) { return reinterpret_cast<const uint8_t*>(s); }

uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

TEST(PngChecksums, KnownValuesAndValuesInParts) {
  EXPECT_EQ(Crc32(Bytes("123456789"), 9), 0xCBF43926u);
  EXPECT_EQ(Crc32(Bytes("The quick brown fox jumps over the lazy dog"), 43), 0x414FA339u);
  EXPECT_EQ(Crc32(nullptr, 0), 0u);
  EXPECT_EQ(Crc32(Bytes("6789"), 4, Crc32(Bytes("12345"), 5)), 0xCBF43926u);

  EXPECT_EQ(Adler32(Bytes("Wikipedia"), 9), 0x11E60398u);
  EXPECT_EQ(Adler32(Bytes("123456789"), 9), 0x091E01DEu);
  EXPECT_EQ(Adler32(nullptr, 0), 1u);
  EXPECT_EQ(Adler32(Bytes("pedia"), 5, Adler32(Bytes("Wiki"), 4)), 0x11E60398u);
}

// The sums are reduced only every few thousand bytes; a long run of 0xFF is
// where they would overflow first. The reference reduces after every byte.
TEST(PngChecksums, AdlerOfLongRunsMatchesAByteByByteSum) {
  std::vector<uint8_t> ff(100000, 0xFF);
  uint32_t a = 1, b = 0;
  for (uint8_t c : ff) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  EXPECT_EQ(Adler32(ff.data(), ff.size()), (b << 16) | a);
}

// Signature, then chunks each with a length, a type and a CRC of both; the
// header says 8-bit RGB, deflate, no interlacing; image data, then the end.
TEST(PngFile, ChunksAreWellFormed) {
  std::vector<uint16_t> px(300 * 200);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint16_t>((i * 2654435761u) >> 17);
  const std::vector<uint8_t> f = EncodePng555(px.data(), 300, 200, 300, true);
  ASSERT_GT(f.size(), 8u);
  const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_EQ(std::memcmp(f.data(), signature, 8), 0);
  std::vector<std::string> types;
  size_t at = 8;
  while (at + 12 <= f.size()) {
    const uint32_t length = Be32(&f[at]);
    ASSERT_LE(at + 12 + length, f.size());
    types.emplace_back(reinterpret_cast<const char*>(&f[at + 4]), 4);
    EXPECT_EQ(Be32(&f[at + 8 + length]), Crc32(&f[at + 4], length + 4)) << types.back();
    if (types.back() == "IHDR") {
      ASSERT_EQ(length, 13u);
      EXPECT_EQ(Be32(&f[at + 8]), 300u);
      EXPECT_EQ(Be32(&f[at + 12]), 200u);
      EXPECT_EQ(std::vector<int>(f.begin() + at + 16, f.begin() + at + 21),
                (std::vector<int>{8, 2, 0, 0, 0}));
    }
    if (types.back() == "IDAT" && types.size() == 2) {
      // The zlib header: deflate with a 32 KiB window, and its own check.
      EXPECT_EQ(f[at + 8], 0x78);
      EXPECT_EQ((f[at + 8] * 256 + f[at + 9]) % 31, 0);
    }
    at += 12 + length;
  }
  EXPECT_EQ(at, f.size());
  ASSERT_GE(types.size(), 3u);
  EXPECT_EQ(types.front(), "IHDR");
  EXPECT_EQ(types.back(), "IEND");
  for (size_t i = 1; i + 1 < types.size(); ++i) EXPECT_EQ(types[i], "IDAT");
}

}  // namespace
