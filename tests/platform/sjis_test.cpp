// Code page 932 names: separators are found by character, never in a trail
// byte, and text converts both ways with the vendor extensions.
#include "platform/sjis.h"

#include <gtest/gtest.h>

#include "platform/posix/host_files.h"
#include "support/game_fixture.h"

namespace {

class SjisTest : public GameTest {};

// Lead bytes 0xF0 to 0xFC (user-defined characters, IBM extension kanji)
// may have a 0x5C trail like any other.
TEST_F(SjisTest, SeparatorsAreNeverTrailBytes) {
  const std::string hyo = Sjis("表"), so = Sjis("ソ"), game = Sjis("ゲーム");  // trails 0x5C
  const std::pair<std::string, std::string> exes[] = {
      {"C:\\" + game + "\\" + hyo + "\\game.exe", "C:\\" + game + "\\" + hyo + "\\data"},
      {"D:\\" + hyo + "\\x.exe", "D:\\" + hyo + "\\data"},
      {"game.exe", "\\data"},
      {"C:\\\xF0\x5C\\g.exe", "C:\\\xF0\x5C\\data"},
      {"C:\\\xFC\x5C\\g.exe", "C:\\\xFC\x5C\\data"}};
  for (const auto& [exe, data] : exes) EXPECT_EQ(sjis::DataDirectoryOf(exe.c_str()), data) << exe;
  const std::pair<std::string, std::string> names[] = {
      {so + "\\" + hyo + "/a", so + "|" + hyo + "|a|"},
      {"\\x", "|x|"},
      {"a\\\xF0\x5C\\\xF0\x5C", "a|\xF0\x5C|\xF0\x5C|"},
      {"a\\\xFA\x5C/\xFB\x5C", "a|\xFA\x5C|\xFB\x5C|"}};
  for (const auto& [name, parts] : names) {
    std::string split;
    for (const auto& part : sjis::SplitPath(name.c_str())) split += part + "|";
    EXPECT_EQ(split, parts) << name;
  }
  EXPECT_EQ(sjis::FindLastSeparator("a\\\xF9\x5C\\\xF9\x5C", '\\'), 4);
  EXPECT_EQ(sjis::FindLastSeparator("\x95", '\\'), -1);  // a lone lead byte at the end
}

TEST_F(SjisTest, ConversionCoversTheVendorExtensionsAndMarksBadBytes) {
  EXPECT_EQ(posix::SjisToUtf8("\x87\x40\xED\x40\xFA\x40") + posix::SjisToUtf8("a\x81") +
                posix::SjisToUtf8("\xA0z"),
            "①纊ⅰa\xEF\xBF\xBD\xEF\xBF\xBDz");
  std::string out;
  EXPECT_FALSE(posix::Utf8ToSjis("😀", out));
}

}  // namespace
