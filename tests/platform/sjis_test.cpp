// Code page 932 names: separators are found by character, never in a trail
// byte, and text converts both ways with the vendor extensions.
#include "platform/sjis.h"

#include <gtest/gtest.h>

#include "platform/posix/host_files.h"
#include "support/game_fixture.h"

namespace {

class SjisTest : public GameTest {};

TEST_F(SjisTest, SeparatorsAreNeverTrailBytes) {
  const std::string hyo = Sjis("表"), so = Sjis("ソ");  // trail bytes 0x5C
  // Lead bytes 0xF0 to 0xFC (user-defined characters, IBM extension kanji)
  // may have a 0x5C trail like any other.
  const struct {
    std::string exe, dataDir, name;
    std::vector<std::string> parts;
  } cases[] = {{"C:\\" + Sjis("ゲーム") + "\\" + hyo + "\\game.exe",
                "C:\\" + Sjis("ゲーム") + "\\" + hyo + "\\data",
                so + "\\" + hyo + "/a",
                {so, hyo, "a"}},
               {"D:\\" + hyo + "\\x.exe", "D:\\" + hyo + "\\data", "\\x", {"", "x"}},
               {"game.exe", "\\data", "a", {"a"}},
               {"C:\\\xF0\x5C\\g.exe",
                "C:\\\xF0\x5C\\data",
                "a\\\xF0\x5C\\\xF0\x5C",
                {"a", "\xF0\x5C", "\xF0\x5C"}},
               {"C:\\\xFC\x5C\\g.exe",
                "C:\\\xFC\x5C\\data",
                "a\\\xFA\x5C/\xFB\x5C",
                {"a", "\xFA\x5C", "\xFB\x5C"}}};
  for (const auto& c : cases) {
    EXPECT_EQ(sjis::DataDirectoryOf(c.exe.c_str()), c.dataDir) << c.exe;
    EXPECT_EQ(sjis::SplitPath(c.name.c_str()), c.parts) << c.name;
  }
  EXPECT_EQ(sjis::FindLastSeparator("a\\\xF9\x5C\\\xF9\x5C", '\\'), 4);
  EXPECT_EQ(sjis::FindLastSeparator("\x95", '\\'), -1);  // a lone lead byte at the end
}

TEST_F(SjisTest, ConversionCoversTheVendorExtensionsAndMarksBadBytes) {
  EXPECT_EQ(posix::SjisToUtf8("\x87\x40\xED\x40\xFA\x40"), "①纊ⅰ");
  EXPECT_EQ(posix::SjisToUtf8("a\x81"), "a\xEF\xBF\xBD");
  EXPECT_EQ(posix::SjisToUtf8("\xA0z"), "\xEF\xBF\xBDz");
  std::string out;
  EXPECT_FALSE(posix::Utf8ToSjis("😀", out));
}

}  // namespace
