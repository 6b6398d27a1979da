// The encoder's files read back by libpng and its stream by zlib, decoders
// that share nothing with it: every pixel must come back.
#include "graphics/png.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

struct Rgb {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bytes;  // top-down rows
};

// Empty on any complaint of libpng, whose message goes to the test's output.
Rgb Decode(const std::vector<uint8_t>& file) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Rgb out;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
    ADD_FAILURE() << "libpng: " << image.message;
    return out;
  }
  image.format = PNG_FORMAT_RGB;
  out.bytes.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.bytes.data(), 0, nullptr)) {
    ADD_FAILURE() << "libpng: " << image.message;
    return {};
  }
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  return out;
}

// A picture with rows `stride` apart; the pixels past the width hold a colour
// the picture itself never has, so a row read too wide shows.
struct Picture {
  int width, height, stride;
  std::vector<uint16_t> pixels;
  Picture(int w, int h, int s = 0)
      : width(w), height(h), stride(s ? s : w), pixels(static_cast<size_t>(stride) * h, 0x7FFF) {}
  uint16_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * stride + x]; }
};

uint8_t Spread(unsigned v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }

// Decodes the file and compares it with memory row `row(y)` of the picture.
template <typename RowOf>
void ExpectPixels(const std::vector<uint8_t>& file, Picture& p, RowOf row) {
  const Rgb rgb = Decode(file);
  ASSERT_EQ(rgb.width, p.width);
  ASSERT_EQ(rgb.height, p.height);
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      const unsigned v = p.At(x, row(y));
      const uint8_t* got = &rgb.bytes[(static_cast<size_t>(y) * p.width + x) * 3];
      ASSERT_EQ(got[0], Spread((v >> 10) & 31)) << "red at " << x << "," << y;
      ASSERT_EQ(got[1], Spread((v >> 5) & 31)) << "green at " << x << "," << y;
      ASSERT_EQ(got[2], Spread(v & 31)) << "blue at " << x << "," << y;
    }
  }
}

void ExpectRoundTrip(Picture& p) {
  ExpectPixels(EncodePng555(p.pixels.data(), p.width, p.height, p.stride, false), p,
               [](int y) { return y; });
}

std::vector<uint8_t> Inflate(const std::vector<uint8_t>& z, size_t expectedSize) {
  std::vector<uint8_t> out(expectedSize + 1);
  uLongf size = static_cast<uLongf>(out.size());
  const int status = uncompress(out.data(), &size, z.data(), static_cast<uLong>(z.size()));
  EXPECT_EQ(status, Z_OK) << "zlib refused the stream";
  out.resize(status == Z_OK ? size : 0);
  return out;
}

// Noise of five-bit channels, which Huffman codes still shrink a little.
void FillNoise(Picture& p, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) p.At(x, y) = static_cast<uint16_t>(rng() & 0x7FFF);
}

TEST(PngEncoder, ChannelsSpreadAsTheBackendsAlwaysWroteThem) {
  Picture p(5, 1);
  p.At(0, 0) = 0x7C00;
  p.At(1, 0) = 0x03E0;
  p.At(2, 0) = 0x001F;
  p.At(3, 0) = (16 << 10) | (8 << 5) | 4;
  p.At(4, 0) = 0xFFFF;  // the unused top bit is ignored
  const Rgb rgb = Decode(EncodePng555(p.pixels.data(), 5, 1, 5, false));
  EXPECT_EQ(std::vector<int>(rgb.bytes.begin(), rgb.bytes.end()),
            (std::vector<int>{255, 0, 0, 0, 255, 0, 0, 0, 255, 132, 66, 33, 255, 255, 255}));
}

TEST(PngEncoder, FlatAndGameLikePicturesRoundTripSmall) {
  Picture flat(640, 480);
  std::fill(flat.pixels.begin(), flat.pixels.end(), 0x2A4B);
  const std::vector<uint8_t> flatFile = EncodePng555(flat.pixels.data(), 640, 480, 640, false);
  ExpectPixels(flatFile, flat, [](int y) { return y; });
  EXPECT_LT(flatFile.size(), 4000u);

  // Bands of sky, framed panels and a strip of busy "text".
  Picture scene(640, 480);
  std::mt19937 rng(7);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      uint16_t v = static_cast<uint16_t>((y / 16) << 5 | (20 - y / 40));
      if (x >= 40 && x < 600 && y >= 320 && y < 460)
        v = (x == 40 || x == 599 || y == 320 || y == 459) ? 0x7FFF : 0x0010;
      if (x >= 60 && x < 580 && y >= 340 && y < 380 && rng() % 5 == 0) v = 0x7FFF;
      scene.At(x, y) = v;
    }
  }
  const std::vector<uint8_t> sceneFile = EncodePng555(scene.pixels.data(), 640, 480, 640, false);
  ExpectPixels(sceneFile, scene, [](int y) { return y; });
  EXPECT_LT(sceneFile.size(), 640u * 480 * 3 / 20);
}

TEST(PngEncoder, NoiseRoundTripsAcrossManyDataChunksWithoutGrowing) {
  Picture noise(640, 480);
  FillNoise(noise, 1);
  const std::vector<uint8_t> file = EncodePng555(noise.pixels.data(), 640, 480, 640, false);
  ExpectPixels(file, noise, [](int y) { return y; });
  EXPECT_LT(file.size(), size_t{640} * 480 * 3);
}

TEST(PngEncoder, OddSizesAndSingleColumnsRoundTrip) {
  for (int w : {1, 2, 3, 7, 33, 641}) {
    for (int h : {1, 2, 5, 17}) {
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
      Picture p(w, h);
      FillNoise(p, static_cast<uint32_t>(w * 100 + h));
      // Some flat stretches, so that matches and filters other than None occur.
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w / 2; ++x) p.At(x, y) = 0x1234;
      ExpectRoundTrip(p);
    }
  }
}

TEST(PngEncoder, RowOrderAndStride) {
  Picture p(13, 9, 16);  // three pixels of 0x7FFF past each row
  FillNoise(p, 3);
  const int last = p.height - 1;
  ExpectPixels(EncodePng555(p.pixels.data(), 13, 9, 16, false), p, [](int y) { return y; });
  ExpectPixels(EncodePng555(p.pixels.data(), 13, 9, 16, true), p,
               [last](int y) { return last - y; });
}

TEST(PngEncoder, RefusesWhatIsNoPicture) {
  const uint16_t px[4] = {};
  EXPECT_TRUE(EncodePng555(px, 0, 1, 1, false).empty());
  EXPECT_TRUE(EncodePng555(px, 1, 0, 1, false).empty());
  EXPECT_TRUE(EncodePng555(px, 2, 2, 1, false).empty());
  EXPECT_TRUE(EncodePng555(nullptr, 1, 1, 1, false).empty());
}

// Rows of noise repeat two rows on, so that the filtered rows repeat too: at
// 5461 pixels that is 32768 bytes back, the farthest a match may reach; one
// pixel more puts every repeat out of reach.
TEST(PngEncoder, RepeatsAtTheWindowEdge) {
  for (int w : {5460, 5461, 5462}) {
    SCOPED_TRACE(w);
    Picture p(w, 6);
    FillNoise(p, static_cast<uint32_t>(w));
    for (int y = 2; y < p.height; ++y)
      for (int x = 0; x < w; ++x) p.At(x, y) = p.At(x, y - 2);
    const std::vector<uint8_t> file = EncodePng555(p.pixels.data(), w, 6, w, false);
    ExpectPixels(file, p, [](int y) { return y; });
    const size_t raw = (size_t{3} * w + 1) * 6;
    if (w <= 5461)
      EXPECT_LT(file.size(), raw / 2);
    else
      EXPECT_GT(file.size(), raw / 2);
  }
}

TEST(ZlibStream, RandomBytesStayStoredAndRunsShrink) {
  std::mt19937 rng(11);
  std::vector<uint8_t> random(200000);
  for (auto& b : random) b = static_cast<uint8_t>(rng());
  const std::vector<uint8_t> z = ZlibCompress(random.data(), random.size());
  EXPECT_EQ(Inflate(z, random.size()), random);
  // Stored blocks cost five bytes in 65535.
  EXPECT_LT(z.size(), random.size() + random.size() / 1000 + 16);

  std::vector<uint8_t> runs(300000, 0);
  for (size_t i = 0; i < runs.size(); i += 1000 + i % 7) runs[i] = static_cast<uint8_t>(i);
  const std::vector<uint8_t> zr = ZlibCompress(runs.data(), runs.size());
  EXPECT_EQ(Inflate(zr, runs.size()), runs);
  EXPECT_LT(zr.size(), runs.size() / 50);

  const std::vector<uint8_t> none = ZlibCompress(nullptr, 0);
  EXPECT_TRUE(Inflate(none, 0).empty());
}

// Random bytes followed by themselves at exactly the window's reach, and just
// beyond it.
TEST(ZlibStream, CopiesReachBackExactlyTheWindow) {
  for (size_t distance : {32767u, 32768u, 32769u}) {
    SCOPED_TRACE(distance);
    std::mt19937 rng(static_cast<uint32_t>(distance));
    std::vector<uint8_t> data(distance * 2);
    for (size_t i = 0; i < distance; ++i)
      data[i] = data[i + distance] = static_cast<uint8_t>(rng());
    const std::vector<uint8_t> z = ZlibCompress(data.data(), data.size());
    EXPECT_EQ(Inflate(z, data.size()), data);
    if (distance <= 32768)
      EXPECT_LT(z.size(), distance + distance / 10);
    else
      EXPECT_GT(z.size(), data.size() - 64);
  }
}

}  // namespace
