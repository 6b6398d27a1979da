#include "platform/sjis.h"

#include <gtest/gtest.h>

#include "platform/posix/host_files.h"

namespace {

std::string Sjis(const std::string& utf8) {
  std::string out;
  EXPECT_TRUE(posix::Utf8ToSjis(utf8, out));
  return out;
}

TEST(Sjis, TheDataDirectorySkipsTrailBytesThatLookLikeBackslashes) {
  // "表" is 0x95 0x5C: its trail byte is no separator.
  const std::string exe = Sjis("C:\\ゲーム\\表\\game.exe");
  EXPECT_EQ(sjis::DataDirectoryOf(exe.c_str()), Sjis("C:\\ゲーム\\表\\data"));
  const std::string folderEndsInTrail = Sjis("D:\\表\\x.exe");
  EXPECT_EQ(sjis::DataDirectoryOf(folderEndsInTrail.c_str()), Sjis("D:\\表\\data"));
  EXPECT_EQ(sjis::DataDirectoryOf("game.exe"), "\\data");
  EXPECT_EQ(sjis::FindLastSeparator("\x95", '\\'), -1);  // a lone lead byte at the end
}

TEST(Sjis, PathsSplitAtBothSeparatorsButNotInsideCharacters) {
  const std::string name = Sjis("ソ\\表/a");
  const auto parts = sjis::SplitPath(name.c_str());
  EXPECT_EQ(parts, (std::vector<std::string>{Sjis("ソ"), Sjis("表"), "a"}));
  EXPECT_EQ(sjis::SplitPath("\\x").front(), "");
}

TEST(Sjis, ExtensionKanjiWithABackslashTrailAreOneCharacter) {
  // Lead bytes 0xF0 to 0xFC: user-defined characters and the IBM extension
  // kanji, whose trail byte may be 0x5C like any other.
  for (const char* ch : {"\xF0\x5C", "\xF9\x5C", "\xFA\x5C", "\xFB\x5C", "\xFC\x5C"}) {
    const std::string path = std::string("a\\") + ch + "\\" + ch;
    EXPECT_EQ(sjis::SplitPath(path.c_str()), (std::vector<std::string>{"a", ch, ch})) << path;
    EXPECT_EQ(sjis::FindLastSeparator(path.c_str(), '\\'), 4) << path;
    EXPECT_EQ(sjis::DataDirectoryOf((std::string("C:\\") + ch + "\\g.exe").c_str()),
              std::string("C:\\") + ch + "\\data");
  }
}

TEST(Sjis, ConversionCoversTheVendorExtensionsAndMarksBadBytes) {
  EXPECT_EQ(posix::SjisToUtf8("\x87\x40\xED\x40\xFA\x40"), "①纊ⅰ");
  EXPECT_EQ(posix::SjisToUtf8("a\x81"), "a\xEF\xBF\xBD");
  EXPECT_EQ(posix::SjisToUtf8("\xA0z"), "\xEF\xBF\xBDz");
  std::string out;
  EXPECT_FALSE(posix::Utf8ToSjis("😀", out));
}

}  // namespace
