// Scenario lines and tokens as the interpreter receives them.
#include "script/reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/game_fixture.h"

namespace {

class ReaderTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    MakeHost();
  }
};

TEST_F(ReaderTest, TokensSplitAtSpacesWithQuotesClosedByAnEvenRunOfBackslashes) {
  const std::string so = Sjis("ソ");  // 0x83 0x5C: its trail byte is no backslash
  const struct {
    std::string line, restAfterFirst;
    std::vector<std::string> tokens;
  } cases[] = {{".load  back\tx  \"a b\"\n", "back\tx  \"a b\"\n", {".load", "back\tx", "a b"}},
               {"\"a b\"cd efg\n", "efg\n", {"a bcd", "efg"}},
               {R"("say \"hi\"" x)", "x", {R"(say \"hi\")", "x"}},
               {R"("a\\" b)", "b", {R"(a\\)", "b"}},
               {R"("a\\\"b" c)", "c", {R"(a\\\"b)", "c"}},
               {"\"" + so + "\" next", "next", {so, "next"}},
               {"   \n", "", {}},
               {"\"open ended\n", "", {"open ended"}}};
  for (const auto& c : cases) {
    host->boxes.clear();
    char line[kLineSize] = {}, token[kLineSize];
    std::strncpy(line, c.line.c_str(), kLineSize - 1);
    std::vector<std::string> got;
    for (NextToken(token, line); token[0] != '\0'; NextToken(token, line)) {
      if (got.empty()) {
        EXPECT_EQ(line, c.restAfterFirst) << c.line;
      }
      got.emplace_back(token);
    }
    EXPECT_EQ(got, c.tokens) << c.line;
    EXPECT_STREQ(line, "") << c.line;
    const bool unclosed = c.line[0] == '"' && c.line.find('"', 1) == std::string::npos;
    EXPECT_EQ(BoxTexts().size(), unclosed ? 1u : 0u) << c.line;
  }
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"行内で「\"」が閉じていません"});
}

TEST_F(ReaderTest, LinesLoseLeadingTabsSplitAt255BytesAndAllCount) {
  // Text mode: CR LF is LF, Ctrl-Z ends the file.
  const struct {
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {{"\t\t.cmd a\n  .text\r\n\n#c\n:label\nlast",
                {".cmd a\n", "  .text\n", "\n", "#c\n", ":label\n", "last"}},
               {"a\rb\r\nc\x1A"
                "d\n",
                {"a\rb\n", "c"}},
               {std::string(300, 'x') + "\nnext\n",
                {std::string(255, 'x'), std::string(45, 'x') + "\n", "next\n"}}};
  for (const auto& c : cases) {
    WriteData("s.scn", c.bytes);
    ASSERT_EQ(OpenScenario("s"), 1);
    EXPECT_EQ(scn.LineNumber, 0);
    std::vector<std::string> lines;
    while (ReadLine()) lines.emplace_back(scn.LineBuffer);
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(scn.LineNumber, static_cast<int32_t>(c.lines.size()) + 1);  // the failed read too
  }
}

TEST_F(ReaderTest, ScenarioNamesAreShiftJisPathsInsideTheDataDirectory) {
  WriteData("シナリオ/表.scn", "found\n");  // both names hold a 0x5C trail byte
  ASSERT_EQ(OpenScenario(Sjis("シナリオ\\表").c_str()), 1);
  ASSERT_EQ(ReadLine(), 1);
  EXPECT_STREQ(scn.LineBuffer, "found\n");
  WriteData("sub/keep.txt", "");
  WriteData("outside.scn", "x\n");
  // Missing, or leaving the folder (even where ".." would land inside again):
  // the name is kept and no file is open.
  for (const char* name : {"nothere", "sub\\..\\outside", "\\etc\\passwd", "C:outside"}) {
    EXPECT_EQ(OpenScenario(name), 0) << name;
    EXPECT_STREQ(scn.ScenarioName, name);
    EXPECT_EQ(ReadLine(), 0) << name;
  }
  EXPECT_EQ(BoxTexts(), std::vector<std::string>(4, "存在しないファイルを指定しました"));
  int refusals = 0;
  for (const auto& l : host->log) refusals += l.find("refused file name") != std::string::npos;
  EXPECT_EQ(refusals, 3);
}

}  // namespace
