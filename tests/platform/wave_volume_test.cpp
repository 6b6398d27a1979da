// The wave copies PlaySound plays at the effects volume: samples scaled
// without wrapping or drifting off the 8-bit middle, and a copy that goes on
// from where the sound had got to.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/posix/wave_file.h"

namespace {

std::vector<uint8_t> Le(const std::vector<int>& values, int bytes) {
  std::vector<uint8_t> out;
  for (int v : values)
    for (int i = 0; i < bytes; ++i)
      out.push_back(static_cast<uint8_t>(static_cast<unsigned>(v) >> (8 * i)));
  return out;
}

std::vector<uint8_t> Tag(const std::string& t) { return {t.begin(), t.end()}; }

// A PCM wave with a chunk before the samples and one after them.
std::vector<uint8_t> WaveFile(const std::vector<uint8_t>& samples, int channels, int bits) {
  const int align = channels * bits / 8, n = static_cast<int>(samples.size());
  std::vector<uint8_t> w;
  for (const auto& b : {Tag("RIFF"), Le({0}, 4), Tag("WAVEfmt "), Le({16}, 4), Le({1, channels}, 2),
                        Le({8000, 8000 * align}, 4), Le({align, bits}, 2), Tag("fact"),
                        Le({4, n / align}, 4), Tag("data"), Le({n}, 4), samples,
                        std::vector<uint8_t>(n & 1, 0), Tag("LIST"), Le({4}, 4), Tag("INFO")})
    w.insert(w.end(), b.begin(), b.end());
  const auto riff = Le({static_cast<int>(w.size()) - 8}, 4);
  std::copy(riff.begin(), riff.end(), w.begin() + 4);
  return w;
}

// Every sample of a parsed wave as the mixer reads it, in 16-bit steps.
std::vector<float> Samples(const std::vector<uint8_t>& file) {
  posix::WaveData wave;
  EXPECT_TRUE(posix::ParseWave(file, wave));
  std::vector<float> out;
  for (size_t f = 0; f < wave.frames; ++f)
    for (int c = 0; c < wave.channels; ++c) out.push_back(wave.Sample(f, c) * 32768.0f);
  return out;
}

uint32_t At32(const std::vector<uint8_t>& file, size_t at) {
  return file[at] | (file[at + 1] << 8) | (file[at + 2] << 16) | (uint32_t{file[at + 3]} << 24);
}

TEST(ScalePcm, SamplesScaleHalfAwayFromZeroClampedAndNeverWrap) {
  const std::vector<int> edges16 = {-32768, -32767, -3, -1, 0, 1, 3, 32766, 32767};
  const std::vector<int> edges8 = {0x00, 0x01, 0x7F, 0x80, 0x81, 0xFE, 0xFF};
  // 8-bit samples are unsigned around the middle; other sizes are left alone.
  const struct {
    int bits, percent;
    std::vector<int> in, out;
  } cases[] = {{16, 100, edges16, edges16},
               {16, 0, edges16, std::vector<int>(9, 0)},
               {16, 50, edges16, {-16384, -16384, -2, -1, 0, 1, 2, 16383, 16384}},
               {16, 400, edges16, edges16},
               {16, -20, edges16, std::vector<int>(9, 0)},
               {8, 100, edges8, edges8},
               {8, 0, edges8, std::vector<int>(7, 0x80)},
               {8, 50, edges8, {0x40, 0x40, 0x7F, 0x80, 0x81, 0xBF, 0xC0}},
               {8, 101, edges8, edges8},
               {24, 0, {0x302010}, {0x302010}}};
  for (const auto& c : cases) {
    const int bytes = c.bits == 24 ? 3 : c.bits / 8;
    auto data = Le(c.in, bytes);
    posix::ScalePcm(data.data(), data.size(), static_cast<uint16_t>(c.bits), c.percent);
    EXPECT_EQ(data, Le(c.out, bytes)) << c.bits << " bits at " << c.percent;
  }
  std::vector<uint8_t> odd = {0x10, 0x20, 0x30};  // one sample and a stray byte
  posix::ScalePcm(odd.data(), odd.size(), 16, 0);
  EXPECT_EQ(odd, (std::vector<uint8_t>{0x00, 0x00, 0x30}));
}

TEST(WaveAtVolume, GoesOnFromAFrameOnceOrRoundTheLoopAndRefusesOtherFormats) {
  const auto file = WaveFile(Le({100, -100, 200, -200, 300, -300, 400, -400}, 2), 2, 16);
  ASSERT_EQ(Samples(file).size(), 8u);
  EXPECT_EQ(Samples(posix::WaveAtVolume(file, 100, 0, false)), Samples(file));
  const auto rest = posix::WaveAtVolume(file, 50, 1, false);
  EXPECT_EQ(Samples(rest), (std::vector<float>{100, -100, 150, -150, 200, -200}));
  EXPECT_EQ(At32(rest, 4), rest.size() - 8);     // the sizes say what is there:
  EXPECT_EQ(At32(rest, rest.size() - 16), 12u);  // the trailing chunk is gone
  const std::vector<float> looped = {400, -400, 100, -100, 200, -200, 300, -300};
  EXPECT_EQ(Samples(posix::WaveAtVolume(file, 100, 3, true)), looped);
  EXPECT_EQ(Samples(posix::WaveAtVolume(file, 100, 7, true)), looped);  // past the end: round again
  EXPECT_TRUE(Samples(posix::WaveAtVolume(file, 100, 9, false)).empty());
  // An odd length is padded.
  const auto copy = posix::WaveAtVolume(WaveFile({0x00, 0x80, 0xFF}, 1, 8), 0, 0, false);
  EXPECT_EQ(Samples(copy), (std::vector<float>{0, 0, 0}));
  EXPECT_EQ(copy.size() % 2, 0u);
  EXPECT_EQ(At32(copy, 4), copy.size() - 8);
  EXPECT_TRUE(posix::WaveAtVolume(WaveFile({1, 2, 3, 4, 5, 6}, 1, 24), 50, 0, false).empty());
  EXPECT_TRUE(posix::WaveAtVolume({'R', 'I', 'F', 'F'}, 50, 0, false).empty());
}

}  // namespace
