#include "script/reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/game_fixture.h"

namespace {

// Splits a line the way the interpreter does and returns its tokens.
std::vector<std::string> Tokens(const std::string& text) {
  char line[kLineSize] = {};
  std::strncpy(line, text.c_str(), kLineSize - 1);
  std::vector<std::string> out;
  char token[kLineSize];
  for (int guard = 0; guard < 64; ++guard) {
    NextToken(token, line);
    if (token[0] == '\0' && line[0] == '\0') break;
    out.emplace_back(token);
  }
  return out;
}

class ReaderTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    MakeHost();
  }
  // Opens a scenario with the given bytes and returns every line read.
  std::vector<std::string> ReadAll(const std::string& bytes) {
    WriteData("s.scn", bytes);
    EXPECT_EQ(OpenScenario("s"), 1);
    std::vector<std::string> lines;
    while (ReadLine()) lines.emplace_back(scn.LineBuffer);
    return lines;
  }
};

TEST_F(ReaderTest, TokensSplitOnSpacesOnly) {
  EXPECT_EQ(Tokens(".load  back\tx  \"a b\"\n"),
            (std::vector<std::string>{".load", "back\tx", "a b"}));
  EXPECT_EQ(Tokens("   \n"), std::vector<std::string>{});
  EXPECT_TRUE(host->boxes.empty());
}

TEST_F(ReaderTest, QuotedTokenKeepsItsSpaceAndTakesFollowingBytes) {
  char line[kLineSize] = "\"a b\"cd efg\n";
  char token[kLineSize];
  NextToken(token, line);
  EXPECT_STREQ(token, "a bcd");
  EXPECT_STREQ(line, "efg\n");
  NextToken(token, line);
  EXPECT_STREQ(token, "efg");
  EXPECT_STREQ(line, "");
}

TEST_F(ReaderTest, BackslashesDecideWhetherAQuoteCloses) {
  // One backslash: the quote is part of the token, backslash kept.
  EXPECT_EQ(Tokens(R"("say \"hi\"" x)"), (std::vector<std::string>{R"(say \"hi\")", "x"}));
  // Two backslashes: the quote closes, both backslashes kept.
  EXPECT_EQ(Tokens(R"("a\\" b)"), (std::vector<std::string>{R"(a\\)", "b"}));
  // Three: escaped again.
  EXPECT_EQ(Tokens(R"("a\\\"b" c)"), (std::vector<std::string>{R"(a\\\"b)", "c"}));
}

TEST_F(ReaderTest, TrailByte5CBeforeAClosingQuoteIsNotABackslash) {
  // "ソ" is 0x83 0x5C in Shift-JIS; a quoted text ending in it must close.
  const std::string so = Sjis("ソ");
  ASSERT_EQ(so, "\x83\x5C");
  EXPECT_EQ(Tokens("\"" + so + "\" next"), (std::vector<std::string>{so, "next"}));
  EXPECT_TRUE(host->boxes.empty());
}

TEST_F(ReaderTest, UnclosedQuoteReportsAndKeepsWhatItCollected) {
  char line[kLineSize] = "\"open ended\n";
  char token[kLineSize];
  NextToken(token, line);
  EXPECT_STREQ(token, "open ended");
  EXPECT_STREQ(line, "");
  ASSERT_EQ(BoxTexts(), std::vector<std::string>{"行内で「\"」が閉じていません"});
  EXPECT_EQ(host->boxes[0].caption, "");
}

TEST_F(ReaderTest, LinesLoseLeadingTabsButKeepSpaces) {
  const auto lines = ReadAll("\t\t.cmd a\n  .text\r\n\n#c\n:label\nlast");
  EXPECT_EQ(lines,
            (std::vector<std::string>{".cmd a\n", "  .text\n", "\n", "#c\n", ":label\n", "last"}));
  EXPECT_EQ(scn.LineNumber, 7);  // the failed read counts too
}

TEST_F(ReaderTest, LineNumberCountsEveryLineRead) {
  WriteData("n.scn", "a\n\n#x\nb\n");
  ASSERT_EQ(OpenScenario("n"), 1);
  EXPECT_EQ(scn.LineNumber, 0);
  for (int i = 0; i < 3; ++i) ReadLine();
  EXPECT_EQ(scn.LineNumber, 3);
  EXPECT_STREQ(scn.ScenarioName, "n");
}

TEST_F(ReaderTest, TextModeKeepsLoneCarriageReturnsAndStopsAtCtrlZ) {
  const auto lines = ReadAll(
      "a\rb\r\nc\x1A"
      "d\n");
  EXPECT_EQ(lines, (std::vector<std::string>{"a\rb\n", "c"}));
}

TEST_F(ReaderTest, OverlongLinesSplitAt255Bytes) {
  const std::string longLine(300, 'x');
  const auto lines = ReadAll(longLine + "\nnext\n");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(255, 'x'));
  EXPECT_EQ(lines[1], std::string(45, 'x') + "\n");
  EXPECT_EQ(lines[2], "next\n");
}

TEST_F(ReaderTest, MissingScenarioKeepsTheNameAndClosesTheOldFile) {
  WriteData("a.scn", "line\n");
  ASSERT_EQ(OpenScenario("a"), 1);
  EXPECT_EQ(OpenScenario("nothere"), 0);
  EXPECT_STREQ(scn.ScenarioName, "nothere");
  EXPECT_EQ(ReadLine(), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"存在しないファイルを指定しました"});
}

TEST_F(ReaderTest, ScenarioNamesAreShiftJisPathsInsideTheDataDirectory) {
  WriteData("シナリオ/表.scn", "found\n");  // both names hold a 0x5C trail byte
  ASSERT_EQ(OpenScenario(Sjis("シナリオ\\表").c_str()), 1);
  ASSERT_EQ(ReadLine(), 1);
  EXPECT_STREQ(scn.LineBuffer, "found\n");

  // ".." is refused even where it would land inside again.
  WriteData("sub/keep.txt", "");
  WriteData("outside.scn", "x\n");
  EXPECT_EQ(OpenScenario("sub\\..\\outside"), 0);
  EXPECT_EQ(OpenScenario("\\etc\\passwd"), 0);
  EXPECT_EQ(OpenScenario("C:outside"), 0);
  EXPECT_EQ(host->boxes.size(), 3u);
  int refusals = 0;
  for (const auto& l : host->log) refusals += l.find("refused file name") != std::string::npos;
  EXPECT_EQ(refusals, 3);
}

}  // namespace
