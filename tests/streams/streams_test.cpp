#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "streams/gplp.h"
#include "streams/resources.h"
#include "streams/streams.h"
#include "support/game_fixture.h"

namespace {

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }
std::vector<uint8_t> Vec(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> ReadAll(PackedStream& s) {
  std::vector<uint8_t> out(static_cast<size_t>(s.DataSize()));
  if (!out.empty()) s.Read(out.data(), out.size());
  return out;
}

class StreamTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    MakeHost();
    ResetResourceTable();
  }
  void TearDown() override {
    ResetResourceTable();
    GameTest::TearDown();
  }
};

}  // namespace

TEST_F(StreamTest, DiskStreamModesFollowTheRuntime) {
  DiskStream s;
  EXPECT_EQ(s.Open("a.txt", 6), 0);
  EXPECT_EQ(s.Open("missing.bin", kModeBinary), 0);

  WriteData("a.txt", "one\r\ntwo\r\n");
  ASSERT_EQ(s.Open("a.txt", kModeBinary), 1);
  EXPECT_EQ(s.Size(), 10);
  char line[8];
  ASSERT_EQ(s.ReadTextLine(line, sizeof line), 1);
  EXPECT_STREQ(line, "one\r\n");
  ASSERT_EQ(s.Open("a.txt", kModeText), 1);  // text mode: CR LF reads as LF
  EXPECT_EQ(s.Size(), 8);
  ASSERT_EQ(s.ReadTextLine(line, 3), 1);  // fgets: size - 1 bytes
  EXPECT_STREQ(line, "on");

  // Read is all or nothing as one fread item; Seek before the start is refused.
  char buf[16];
  ASSERT_EQ(s.Open("a.txt", kModeBinary), 1);
  EXPECT_EQ(s.Read(buf, 4), 1);
  EXPECT_EQ(s.Tell(), 4);
  EXPECT_EQ(s.Read(buf, 16), 0);
  EXPECT_EQ(s.Seek(-100, kSeekCur), 1);
  EXPECT_EQ(s.Tell(), 10);
  EXPECT_EQ(s.Write("x", 1), 0);  // opened for reading

  // "w" truncates at once; the bytes reach the disk at Close.
  ASSERT_EQ(s.Open("b.bin", kModeWriteBinary), 1);
  EXPECT_EQ(s.Write("hello", 5), 1);
  s.Close();
  std::vector<uint8_t> disk;
  ASSERT_TRUE(host->ReadWholeFile("b.bin", disk));
  EXPECT_EQ(Bytes(disk), "hello");
  ASSERT_EQ(s.Open("b.bin", kModeAppendBinary), 1);
  s.Seek(0, kSeekSet);
  EXPECT_EQ(s.Write("!", 1), 1);  // a+ always writes at the end
  s.Close();
  ASSERT_TRUE(host->ReadWholeFile("b.bin", disk));
  EXPECT_EQ(Bytes(disk), "hello!");
  ASSERT_EQ(s.Open("c.txt", kModeWriteText), 1);
  s.Write("a\nb", 3);
  s.Close();
  ASSERT_TRUE(host->ReadWholeFile("c.txt", disk));
  EXPECT_EQ(Bytes(disk), "a\r\nb");

  // No name: an anonymous temporary file that never reaches the disk.
  ASSERT_EQ(s.Open("", kModeBinary), 1);
  EXPECT_EQ(s.Write("tmp", 3), 1);
  s.Seek(0, kSeekSet);
  EXPECT_EQ(s.Read(buf, 3), 1);
  EXPECT_EQ(std::string(buf, 3), "tmp");
  s.Close();
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Tell(), 0);
}

TEST(GplpName, AlternativeNameCutsAtTheLastDotOfWholeCharacters) {
  EXPECT_EQ(PackedAlternativeName("bmid\\card2.mid"), "bmid\\card2.dpa");
  EXPECT_EQ(PackedAlternativeName("music"), "music.dpa");
  EXPECT_EQ(PackedAlternativeName("a.b\\c"), "a.dpa");
  // \x81 leads a two-byte character, so the "." after it is its trail byte.
  EXPECT_EQ(PackedAlternativeName("x.y\x81.mid"), "x.dpa");
  EXPECT_EQ(PackedAlternativeName("x.y\x81\x40.mid"), "x.y\x81\x40.dpa");
  EXPECT_EQ(PackedAlternativeName("x.y\x81."), "x.dpa");
  EXPECT_EQ(PackedAlternativeName("\x8b\x88.mid"), "\x8b\x88.dpa");  // 曲.mid
}

TEST(GplpDecode, ThreeLiteralsAndAnOverlappingReferenceMakeNineBytes) {
  const uint8_t flags[] = {0x07};                        // 1, 1, 1, then 0
  const uint8_t packed[] = {'a', 'b', 'c', 0x03, 0x00};  // length nibble 3, distance nibble 0
  bool complete = false;
  const auto out = DecodeGplp(flags, 1, packed, sizeof packed, 9, &complete);
  EXPECT_EQ(Bytes(out), "abcabcabc");
  EXPECT_TRUE(complete);
}

TEST(GplpDecode, DamagedDataStaysInsideItsBuffers) {
  const uint8_t flags[] = {0x00};
  const uint8_t far[] = {0xF0, 0xFF};  // distance 4098 with nothing produced yet
  bool complete = true;
  auto out = DecodeGplp(flags, 1, far, sizeof far, 16, &complete);
  EXPECT_FALSE(complete);
  EXPECT_EQ(out, std::vector<uint8_t>(16, 0));
  const uint8_t lit[] = {0xFF};
  const uint8_t many[] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'};  // flags for 8 only
  out = DecodeGplp(lit, 1, many, sizeof many, 4, &complete);             // and room for 4
  EXPECT_FALSE(complete);
  EXPECT_EQ(Bytes(out), "abcd");
  const uint8_t tail[] = {0x07};
  const uint8_t cut[] = {'a', 'b', 'c', 0x0F};  // reference cut after one byte
  out = DecodeGplp(tail, 1, cut, sizeof cut, 20, &complete);
  EXPECT_FALSE(complete);
  EXPECT_EQ(out.size(), 20u);
}

TEST(GplpPack, RoundTripsVariedData) {
  std::mt19937 rng(12345);
  std::vector<std::vector<uint8_t>> cases = {
      {}, {'x'}, Vec("abcabcabc"), Vec("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa")};
  std::vector<uint8_t> noise(20000), text, runs, midiLike;
  for (auto& b : noise) b = static_cast<uint8_t>(rng());
  for (int i = 0; i < 3000; ++i) {
    const std::string w = "line " + std::to_string(i % 97) + " of the song\n";
    text.insert(text.end(), w.begin(), w.end());
  }
  for (int i = 0; i < 10000; ++i) runs.push_back(static_cast<uint8_t>((i / 700) % 3));
  for (int i = 0; i < 6000; ++i) {  // short repeats near and far (distances past 4098 too)
    midiLike.push_back(static_cast<uint8_t>(i % 5 == 0 ? rng() : 0x90 + i % 3));
  }
  cases.push_back(noise);
  cases.push_back(text);
  cases.push_back(runs);
  cases.push_back(midiLike);
  for (const auto& data : cases) {
    const auto file = PackGplp(data.data(), data.size(), "member.mid");
    std::vector<uint8_t> out;
    std::string name, error;
    ASSERT_TRUE(UnpackGplp(file, out, name, error)) << error;
    EXPECT_EQ(out, data);
    EXPECT_EQ(name, "member.mid");
  }
  const auto packedText = PackGplp(text.data(), text.size(), "t");
  EXPECT_LT(packedText.size(), text.size() / 4);  // the references are found
}

TEST_F(StreamTest, PackedStreamFindsTheDpaAndDecodesIt) {
  const std::string song = "MThd song bytes that repeat, repeat, repeat, repeat.";
  const auto file =
      PackGplp(reinterpret_cast<const uint8_t*>(song.data()), song.size(), "card2.mid");
  WriteData("bmid/card2.dpa", Bytes(file));
  PackedStream s;
  ASSERT_EQ(s.Open("bmid\\card2.mid", kModeBinary), 1);
  EXPECT_EQ(s.Mode(), 1);
  EXPECT_EQ(s.Name(), "card2.mid");
  EXPECT_EQ(Bytes(ReadAll(s)), song);
  // Seek from the end is relative to the unpacked length.
  s.Seek(-6, kSeekEnd);
  char tail[8] = {};
  EXPECT_EQ(s.Read(tail, 8), 6);  // the two bytes past the member read as zero
  EXPECT_EQ(std::string(tail, 6), "epeat.");
  EXPECT_EQ(tail[6], 0);
  EXPECT_EQ(s.Write("x", 1), 0);

  // The plain file comes first when both exist.
  WriteData("bmid/card2.mid", "plain");
  ASSERT_EQ(s.Open("bmid\\card2.mid", kModeBinary), 1);
  EXPECT_EQ(s.Mode(), 0);
  EXPECT_EQ(Bytes(ReadAll(s)), "plain");
  EXPECT_EQ(s.Open("bmid\\none.mid", kModeBinary), 0);
}

TEST_F(StreamTest, SignatureNeedsItsZeroByte) {
  WriteData("fake.mid", std::string("GPLPx and then some plain text"));
  PackedStream s;
  ASSERT_EQ(s.Open("fake.mid", kModeBinary), 1);
  EXPECT_EQ(s.Mode(), 0);
  EXPECT_EQ(Bytes(ReadAll(s)), "GPLPx and then some plain text");
}

TEST_F(StreamTest, DamagedPackedFilesNeverReadOutsideTheirData) {
  const std::string song(300, 's');
  const auto good = PackGplp(reinterpret_cast<const uint8_t*>(song.data()), song.size(), "m");
  std::vector<std::string> damaged = {std::string("GPLP\0", 5), Bytes(good).substr(0, 20),
                                      Bytes(good).substr(0, good.size() - 3)};
  std::string huge = Bytes(good);
  huge[16 + 16] = huge[16 + 17] = huge[16 + 18] = huge[16 + 19] = '\xff';  // U of 4 GiB
  damaged.push_back(huge);
  std::string badInfo = Bytes(good);
  badInfo[12] = badInfo[13] = badInfo[14] = '\x7f';  // an information block past the end
  damaged.push_back(badInfo);
  for (size_t i = 0; i < damaged.size(); ++i) {
    WriteData("d.dpa", damaged[i]);
    PackedStream s;
    ASSERT_EQ(s.Open("d.mid", kModeBinary), 1) << i;
    EXPECT_EQ(s.Mode(), 1);
    EXPECT_LE(s.DataSize(), static_cast<int64_t>(damaged[i].size()) * 9 + 18);
    const auto data = ReadAll(s);
    std::vector<uint8_t> out;
    std::string name, error;
    EXPECT_FALSE(UnpackGplp(Vec(damaged[i]), out, name, error)) << i;
  }
}

TEST_F(StreamTest, ProgramResourcesAreTheLastPlaces) {
  static const uint8_t plainData[] = {'r', 'e', 's', '\n', 'x'};
  static std::vector<uint8_t> packed;
  const std::string member = "packed resource member";
  packed = PackGplp(reinterpret_cast<const uint8_t*>(member.data()), member.size(), "p");
  static ProgramResource table[] = {
      {"SONG.MID", 0, nullptr, plainData, sizeof plainData},
      {"other.dpa", 0, nullptr, nullptr, 0},
      {"named.mid", 0, "MIDI", plainData, 3},
  };
  table[1].data = packed.data();
  table[1].size = packed.size();
  InstallResourceTable(table, 3);

  PackedStream s;
  ASSERT_EQ(s.Open("song.mid", kModeBinary), 1);  // names match without case
  EXPECT_EQ(s.Mode(), 0);
  EXPECT_EQ(Bytes(ReadAll(s)), "res\nx");
  s.Seek(0, kSeekSet);
  char line[16];
  ASSERT_EQ(s.ReadTextLine(line, sizeof line), 1);
  EXPECT_STREQ(line, "res\n");
  EXPECT_EQ(s.Write("w", 1), 0);  // a resource has no file

  ASSERT_EQ(s.Open("other.mid", kModeBinary), 1);  // the alternative name, packed
  EXPECT_EQ(s.Mode(), 1);
  EXPECT_EQ(Bytes(ReadAll(s)), member);

  EXPECT_EQ(s.Open("named.mid", kModeBinary), 0);  // type 0 is not "MIDI"
  static const char kMidi[] = "midi";
  s.SetType(reinterpret_cast<uintptr_t>(kMidi));
  ASSERT_EQ(s.Open("named.mid", kModeBinary), 1);
  EXPECT_EQ(Bytes(ReadAll(s)), "res");

  // A plain file on disk is found before a resource of the same name.
  WriteData("song.mid", "disk");
  s.SetType(0);
  ASSERT_EQ(s.Open("song.mid", kModeBinary), 1);
  EXPECT_EQ(Bytes(ReadAll(s)), "disk");
}
