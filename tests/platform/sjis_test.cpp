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

TEST(Sjis, ConversionCoversTheVendorExtensionsAndMarksBadBytes) {
  EXPECT_EQ(posix::SjisToUtf8("\x87\x40\xED\x40\xFA\x40"), "①纊ⅰ");
  EXPECT_EQ(posix::SjisToUtf8("a\x81"), "a\xEF\xBF\xBD");
  EXPECT_EQ(posix::SjisToUtf8("\xA0z"), "\xEF\xBF\xBDz");
  std::string out;
  EXPECT_FALSE(posix::Utf8ToSjis("😀", out));
}

}  // namespace
