// The wave copies PlaySound plays at the effects volume: samples scaled
// without wrapping or drifting off the 8-bit middle, and a copy that goes on
// from where the sound had got to.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/posix/wave_file.h"

namespace {

std::vector<uint8_t> Le16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out;
  for (int16_t s : samples) {
    out.push_back(static_cast<uint8_t>(s));
    out.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  }
  return out;
}

std::vector<int16_t> Scaled16(std::vector<int16_t> samples, int percent) {
  std::vector<uint8_t> bytes = Le16(samples);
  posix::ScalePcm(bytes.data(), bytes.size(), 16, percent);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return samples;
}

std::vector<uint8_t> Scaled8(std::vector<uint8_t> samples, int percent) {
  posix::ScalePcm(samples.data(), samples.size(), 8, percent);
  return samples;
}

// A PCM wave with a chunk before the samples and one after them.
std::vector<uint8_t> WaveFile(const std::vector<uint8_t>& samples, uint16_t channels,
                              uint16_t bits) {
  std::vector<uint8_t> w;
  auto text = [&](const char* s) {
    for (int i = 0; i < 4; ++i) w.push_back(static_cast<uint8_t>(s[i]));
  };
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) w.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto put16 = [&](uint16_t v) {
    w.push_back(static_cast<uint8_t>(v));
    w.push_back(static_cast<uint8_t>(v >> 8));
  };
  const auto align = static_cast<uint16_t>(channels * bits / 8);
  text("RIFF");
  put32(0);
  text("WAVE");
  text("fmt ");
  put32(16);
  put16(1);
  put16(channels);
  put32(8000);
  put32(8000u * align);
  put16(align);
  put16(bits);
  text("fact");
  put32(4);
  put32(static_cast<uint32_t>(samples.size() / align));
  text("data");
  put32(static_cast<uint32_t>(samples.size()));
  w.insert(w.end(), samples.begin(), samples.end());
  if (samples.size() & 1) w.push_back(0);
  text("LIST");
  put32(4);
  text("INFO");
  const auto riff = static_cast<uint32_t>(w.size() - 8);
  for (int i = 0; i < 4; ++i) w[4 + i] = static_cast<uint8_t>(riff >> (8 * i));
  return w;
}

// Every sample of a parsed wave, as the mixer reads them.
std::vector<float> Samples(const std::vector<uint8_t>& file) {
  posix::WaveData wave;
  EXPECT_TRUE(posix::ParseWave(file, wave));
  std::vector<float> out;
  for (size_t f = 0; f < wave.frames; ++f) {
    for (int c = 0; c < wave.channels; ++c) out.push_back(wave.Sample(f, c));
  }
  return out;
}

std::vector<float> Of16(std::initializer_list<int> samples) {
  std::vector<float> out;
  for (int s : samples) out.push_back(static_cast<float>(s) / 32768.0f);
  return out;
}

uint32_t At32(const std::vector<uint8_t>& file, size_t at) {
  return file[at] | (file[at + 1] << 8) | (file[at + 2] << 16) | (uint32_t{file[at + 3]} << 24);
}

}  // namespace

TEST(ScalePcm, SixteenBitSamplesAtTheEdgesOfTheRange) {
  const std::vector<int16_t> edges = {-32768, -32767, -3, -1, 0, 1, 3, 32766, 32767};
  EXPECT_EQ(Scaled16(edges, 100), edges);
  EXPECT_EQ(Scaled16(edges, 0), std::vector<int16_t>(edges.size(), 0));
  // Half away from zero, mirrored; the extremes stay in range.
  EXPECT_EQ(Scaled16(edges, 50),
            (std::vector<int16_t>{-16384, -16384, -2, -1, 0, 1, 2, 16383, 16384}));
  // Above 100 and below 0 are clamped: no wrapping around, no inverting.
  EXPECT_EQ(Scaled16(edges, 400), edges);
  EXPECT_EQ(Scaled16(edges, -20), std::vector<int16_t>(edges.size(), 0));
}

TEST(ScalePcm, EightBitSamplesAreUnsignedAroundTheMiddle) {
  const std::vector<uint8_t> edges = {0x00, 0x01, 0x7F, 0x80, 0x81, 0xFE, 0xFF};
  EXPECT_EQ(Scaled8(edges, 100), edges);
  EXPECT_EQ(Scaled8(edges, 0), std::vector<uint8_t>(edges.size(), 0x80));
  EXPECT_EQ(Scaled8(edges, 50), (std::vector<uint8_t>{0x40, 0x40, 0x7F, 0x80, 0x81, 0xBF, 0xC0}));
  EXPECT_EQ(Scaled8(edges, 101), edges);
}

TEST(ScalePcm, OtherSampleSizesAndAnOddByteAreLeftAlone) {
  std::vector<uint8_t> bytes = {0x10, 0x20, 0x30};
  posix::ScalePcm(bytes.data(), bytes.size(), 24, 0);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0x10, 0x20, 0x30}));
  posix::ScalePcm(bytes.data(), bytes.size(), 16, 0);  // one sample and a stray byte
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0x00, 0x00, 0x30}));
}

TEST(WaveAtVolume, GoesOnFromAFrameOnceOrRoundTheLoop) {
  const auto file = WaveFile(Le16({100, -100, 200, -200, 300, -300, 400, -400}), 2, 16);
  const auto all = Samples(file);
  ASSERT_EQ(all.size(), 8u);

  EXPECT_EQ(Samples(posix::WaveAtVolume(file, 100, 0, false)), all);
  const auto rest = posix::WaveAtVolume(file, 50, 1, false);
  EXPECT_EQ(Samples(rest), Of16({100, -100, 150, -150, 200, -200}));
  // The sizes say what is there: the trailing chunk is gone.
  EXPECT_EQ(At32(rest, 4), rest.size() - 8);
  EXPECT_EQ(At32(rest, rest.size() - 16), 12u);
  EXPECT_EQ(Samples(posix::WaveAtVolume(file, 100, 3, true)),
            Of16({400, -400, 100, -100, 200, -200, 300, -300}));
  EXPECT_EQ(Samples(posix::WaveAtVolume(file, 100, 7, true)),  // past the end: round again
            Samples(posix::WaveAtVolume(file, 100, 3, true)));
  EXPECT_TRUE(Samples(posix::WaveAtVolume(file, 100, 9, false)).empty());
}

TEST(WaveAtVolume, AnOddLengthIsPaddedAndOtherFormatsRefused) {
  const auto file = WaveFile({0x00, 0x80, 0xFF}, 1, 8);
  const auto copy = posix::WaveAtVolume(file, 0, 0, false);
  EXPECT_EQ(Samples(copy), (std::vector<float>{0, 0, 0}));
  EXPECT_EQ(copy.size() % 2, 0u);
  EXPECT_EQ(At32(copy, 4), copy.size() - 8);

  EXPECT_TRUE(posix::WaveAtVolume(WaveFile({1, 2, 3, 4, 5, 6}, 1, 24), 50, 0, false).empty());
  EXPECT_TRUE(posix::WaveAtVolume({'R', 'I', 'F', 'F'}, 50, 0, false).empty());
}
