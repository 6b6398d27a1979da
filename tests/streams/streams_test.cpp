#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "streams/gplp.h"
#include "streams/resources.h"
#include "streams/streams.h"
#include "support/gfx_pixels.h"

namespace {

std::string Str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }
std::vector<uint8_t> Vec(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }
// What unpacking a file gives: "name=contents", or the error.
std::string Unpacked(const std::vector<uint8_t>& file) {
  std::vector<uint8_t> out;
  std::string name, error;
  return UnpackGplp(file, out, name, error) ? name + "=" + Str(out) : error;
}

// A GPLP file laid out field by field: "GPLP", a 0 byte and 7 bytes nobody
// reads; at 12 the information block's size I; the block (4 unread bytes,
// then N, F, P and U, anything after its 20th byte unread); then the member
// name with its NUL, the flag bytes and the packed bytes. Little-endian.
std::string Gplp(uint32_t infoSize, const std::string& name, const std::string& flags,
                 const std::string& packed, uint32_t unpacked, char unread = '?') {
  auto le = [](uint32_t v) {
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  };
  return std::string("GPLP\0", 5) + std::string(7, unread) + le(infoSize) + std::string(4, unread) +
         le(uint32_t(name.size() + 1)) + le(uint32_t(flags.size())) + le(uint32_t(packed.size())) +
         le(unpacked) + std::string(infoSize - 20, unread) + name + '\0' + flags + packed;
}

std::string ReadAll(PackedStream& s) {
  std::string out(static_cast<size_t>(s.DataSize()), '\0');
  if (!out.empty()) s.Read(out.data(), out.size());
  return out;
}

class StreamTest : public gfx_test::HostTest {
 protected:
  void TearDown() override {
    ResetResourceTable();
    HostTest::TearDown();
  }
};

// Each token's flag is bit k mod 8 of flag byte k / 8; a reference's low
// nibble is its length - 3, the other twelve bits its distance - 3.
TEST(Gplp, TokensDecodeAsTheFlagBitsSay) {
  const struct {
    std::string flags, packed, want;
  } cases[] = {
      {"\x07", std::string("abc\x03\x00", 5), "abcabcabc"},           // overlapping its own output
      {"\x0F", std::string("abcd\x10\x00", 6), "abcdabc"},            // distance 4
      {"\x07", std::string("aaa\x0F\x00", 5), std::string(21, 'a')},  // length 18
      {std::string("\xFF\x01", 2), "123456789", "123456789"},         // the ninth flag in byte 1
      {std::string("\xFF\x00", 2), std::string("12345678\x01\x00", 10), "123456786786"},
  };
  for (const auto& c : cases) {
    bool complete = false;
    const auto out = DecodeGplp(reinterpret_cast<const uint8_t*>(c.flags.data()), c.flags.size(),
                                reinterpret_cast<const uint8_t*>(c.packed.data()), c.packed.size(),
                                c.want.size(), &complete);
    EXPECT_EQ(std::pair(Str(out), complete), std::pair(c.want, true));
  }
  // The packer writes exactly this layout, which the tool and the game share;
  // the unpacker finds the name after an information block of any size.
  const std::string abc = "abcabcabc";
  EXPECT_EQ(Str(PackGplp(reinterpret_cast<const uint8_t*>(abc.data()), 9, "m.mid")),
            Gplp(20, "m.mid", "\x07", std::string("abc\x03\x00", 5), 9, '\0'));
  EXPECT_EQ(Unpacked(Vec(Gplp(28, "n.mid", "\x07", std::string("abc\x03\x00", 5), 9))),
            "n.mid=" + abc);
}

TEST_F(StreamTest, PackingRoundTripsAndDamageIsRefusedWithoutStrayReads) {
  std::mt19937 rng(12345);
  std::vector<uint8_t> noise(20000), text;
  for (auto& b : noise) b = static_cast<uint8_t>(rng());
  for (int i = 0; i < 3000; ++i) {
    const std::string w = "line " + std::to_string(i % 97) + " of the song\n";
    text.insert(text.end(), w.begin(), w.end());
  }
  const std::vector<uint8_t> cases[] = {{}, {'x'}, Vec(std::string(36, 'a')), noise, text};
  for (const auto& data : cases)
    EXPECT_EQ(Unpacked(PackGplp(data.data(), data.size(), "member.mid")),
              "member.mid=" + Str(data));
  EXPECT_LT(PackGplp(text.data(), text.size(), "t").size(), text.size() / 4);

  const std::string good = Str(PackGplp(text.data(), 300, "m"));
  std::string hugeU = good, badInfo = good;
  hugeU.replace(16 + 16, 4, "\xff\xff\xff\xff");
  badInfo.replace(12, 3, "\x7f\x7f\x7f");
  const std::string damaged[] = {std::string("GPLP\0", 5),
                                 good.substr(0, 20),
                                 good.substr(0, good.size() - 3),
                                 hugeU,
                                 badInfo,
                                 Gplp(20, "m", std::string(1, '\0'), "\xF0\xFF", 16)};
  for (const std::string& d : damaged) {
    EXPECT_EQ(Unpacked(Vec(d)).rfind("damaged: ", 0), 0u) << Unpacked(Vec(d));
    // The game opens it all the same, reading nothing outside the file.
    WriteData("d.dpa", d);
    PackedStream s;
    ASSERT_EQ(s.Open("d.mid", kModeBinary) + s.Mode(), 2);
    EXPECT_LE(ReadAll(s).size(), d.size() * 9 + 18);
  }
  EXPECT_EQ(Unpacked(Vec("GPLPx")),
            "not a GPLP packed file (it does not start with \"GPLP\" and a 0 byte)");
}

TEST_F(StreamTest, AlternativeNameCutsAtTheLastDotOfWholeCharacters) {
  const std::pair<const char*, const char*> names[] = {
      {"bmid\\card2.mid", "bmid\\card2.dpa"},
      {"music", "music.dpa"},
      {"a.b\\c", "a.dpa"},
      {"x.y\x81.mid", "x.dpa"},  // \x81 leads a two-byte character: its "." is a trail byte
      {"x.y\x81\x40.mid", "x.y\x81\x40.dpa"},
      {"x.y\x81.", "x.dpa"},
      {"\x8b\x88.mid", "\x8b\x88.dpa"}};
  for (auto [name, want] : names) EXPECT_EQ(PackedAlternativeName(name), want) << name;
}

// The places are tried in order: the file, the file named .dpa, the
// program's resource, the resource named .dpa; what starts with "GPLP" and a
// 0 byte is decoded, anything else read as it is.
TEST_F(StreamTest, PackedStreamTriesItsFourPlacesInOrder) {
  const std::string song = Gplp(24, "card2.mid", "\x07", std::string("abc\x03\x00", 5), 9);
  const std::string packed = Gplp(20, "r", "\x07", std::string("xyz\x00\x00", 5), 6);
  const auto* plain = reinterpret_cast<const uint8_t*>("res\nx");
  const ProgramResource table[] = {
      {"SONG.MID", 0, nullptr, plain, 5},
      {"other.dpa", 0, nullptr, reinterpret_cast<const uint8_t*>(packed.data()), packed.size()},
      {"both.mid", 0, nullptr, plain, 3},
      {"named.mid", 0, "MIDI", plain, 3}};
  InstallResourceTable(table, 4);
  WriteData("bmid/card2.dpa", song);
  WriteData("plain.mid", "plain");
  WriteData("plain.dpa", song);
  WriteData("fake.mid", "GPLPx and then plain text");
  WriteData("both.dpa", "disk-alt");
  const struct {
    const char* open;
    int ok, mode;
    std::string name, data;
  } cases[] = {
      {"bmid\\card2.mid", 1, 1, "card2.mid", "abcabcabc"},
      {"plain.mid", 1, 0, "plain.mid", "plain"},
      {"fake.mid", 1, 0, "fake.mid", "GPLPx and then plain text"},
      {"both.mid", 1, 0, "both.mid", "disk-alt"},
      {"song.mid", 1, 0, "song.mid", "res\nx"},  // resource names match without case
      {"other.mid", 1, 1, "r", "xyzxyz"},
      {"named.mid", 0, 0, "", ""},  // type 0 is not "MIDI"
      {"none.mid", 0, 0, "", ""},
  };
  for (const auto& c : cases) {
    PackedStream s;
    const int ok = s.Open(c.open, kModeBinary);
    EXPECT_EQ(std::tuple(ok, s.Mode(), s.Name(), ReadAll(s)),
              std::tuple(c.ok, c.mode, c.name, c.data))
        << c.open;
  }
  PackedStream s;
  static const char kMidi[] = "midi";
  s.SetType(reinterpret_cast<uintptr_t>(kMidi));
  ASSERT_EQ(s.Open("named.mid", kModeBinary), 1);
  EXPECT_EQ(ReadAll(s), "res");
  s.SetType(0);
  ASSERT_EQ(s.Open("song.mid", kModeBinary), 1);
  char line[16];
  EXPECT_EQ(s.ReadTextLine(line, sizeof line) + s.Write("w", 1), 1);  // a resource has no file
  EXPECT_STREQ(line, "res\n");
  // A decoded member seeks from its unpacked end; reads past it give zeros.
  ASSERT_EQ(s.Open("bmid\\card2.mid", kModeBinary), 1);
  s.Seek(-4, kSeekEnd);
  char tail[6] = {'?', '?', '?', '?', '?', '?'};
  EXPECT_EQ(s.Read(tail, 6) + s.Write("x", 1), 4);
  EXPECT_EQ(std::string(tail, 6), std::string("cabc\0\0", 6));
}

// Open modes by number as the runtime's fopen: 2 "r", 3 "rb", 4 "w", 5 "wb",
// 8 "a+", 9 "a+b"; others fail; no name makes an anonymous temporary file.
TEST_F(StreamTest, DiskStreamFollowsTheRuntimesModes) {
  WriteData("a.txt", "one\r\ntwo\r\n");
  DiskStream s;
  std::string opened;
  for (int mode = 0; mode <= 10; ++mode)
    opened += char('0' + s.Open(mode == 4 || mode == 5 ? "w.txt" : "a.txt", mode));
  EXPECT_EQ(opened + char('0' + s.Open("missing.bin", 3)), "001111001100");
  char line[8], buf[16];
  ASSERT_EQ(s.Open("a.txt", 3) + s.ReadTextLine(line, sizeof line), 2);
  EXPECT_EQ(s.Size(), 10);
  EXPECT_STREQ(line, "one\r\n");
  ASSERT_EQ(s.Open("a.txt", 2) + s.ReadTextLine(line, 3), 2);  // fgets: size - 1 bytes
  EXPECT_EQ(s.Size(), 8);                                      // text mode: CR LF reads as LF
  EXPECT_STREQ(line, "on");
  ASSERT_EQ(s.Open("a.txt", 3), 1);
  // All or nothing, as one fread item; a seek before the start is refused.
  EXPECT_EQ(std::vector<int64_t>({s.Read(buf, 4), s.Read(buf, 16), s.Seek(-100, kSeekCur), s.Tell(),
                                  s.Write("x", 1)}),
            std::vector<int64_t>({1, 0, 1, 10, 0}));
  ASSERT_EQ(s.Open("b.bin", 5), 1);
  EXPECT_EQ(s.Write("hello", 5), 1);
  ASSERT_EQ(s.Open("b.bin", 9), 1);  // the reopen closes and writes the first
  s.Seek(0, kSeekSet);
  EXPECT_EQ(s.Write("!", 1), 1);  // a+ always writes at the end
  ASSERT_EQ(s.Open("c.txt", 4), 1);
  s.Write("a\nb", 3);
  s.Close();
  std::vector<uint8_t> disk;
  ASSERT_TRUE(host->ReadWholeFile("b.bin", disk));
  EXPECT_EQ(Str(disk), "hello!");
  ASSERT_TRUE(host->ReadWholeFile("c.txt", disk));
  EXPECT_EQ(Str(disk), "a\r\nb");
  ASSERT_EQ(s.Open("", 3), 1);
  EXPECT_EQ(s.Write("tmp", 3), 1);
  s.Seek(0, kSeekSet);
  EXPECT_EQ(s.Read(buf, 3), 1);
  EXPECT_EQ(std::string(buf, 3), "tmp");
  s.Close();
  EXPECT_EQ(std::pair(s.Size(), s.Tell()), std::pair(int64_t{0}, int64_t{0}));
}

}  // namespace
