// Scenario lines and tokens as the reader gives them, and flow control
// through the real interpreter. Each step taken appends a digit to "t", so
// the path a scenario took reads as a number.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "script/interpreter.h"
#include "script/reader.h"
#include "script/variables.h"
#include "support/script_fixture.h"

namespace {

using ReaderTest = ScriptTest;

TEST_F(ReaderTest, TokensSplitAtSpacesWithQuotesClosedByAnEvenRunOfBackslashes) {
  const std::string so = Sjis("ソ");  // 0x83 0x5C: its trail byte is no backslash
  // clang-format off
  const struct { std::string line, restAfterFirst; std::vector<std::string> tokens; } cases[] = {
      {".load  back\tx  \"a b\"\n", "back\tx  \"a b\"\n", {".load", "back\tx", "a b"}},
      {"\"a b\"cd efg\n", "efg\n", {"a bcd", "efg"}},
      {R"("say \"hi\"" x)", "x", {R"(say \"hi\")", "x"}},
      {R"("a\\" b)", "b", {R"(a\\)", "b"}},
      {R"("a\\\"b" c)", "c", {R"(a\\\"b)", "c"}},
      {"\"" + so + "\" next", "next", {so, "next"}},
      {"   \n", "", {}},
      {"\"open ended\n", "", {"open ended"}}};
  // clang-format on
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

// Text mode: CR LF is LF, Ctrl-Z ends the file; every line counts, the
// failed read at the end too.
TEST_F(ReaderTest, LinesLoseLeadingTabsSplitAt255BytesAndAllCount) {
  // clang-format off
  const struct { std::string bytes; std::vector<std::string> lines; } cases[] = {
      {"\t\t.cmd a\n  .text\r\n\n#c\n:label\nlast",
      {".cmd a\n", "  .text\n", "\n", "#c\n", ":label\n", "last"}},
      {std::string("a\rb\r\nc\x1A") + "d\n", {"a\rb\n", "c"}},
      {std::string(300, 'x') + "\nnext\n",
      {std::string(255, 'x'), std::string(45, 'x') + "\n", "next\n"}}};
  // clang-format on
  for (const auto& c : cases) {
    WriteData("s.scn", c.bytes);
    ASSERT_EQ(OpenScenario("s"), 1);
    EXPECT_EQ(scn.LineNumber, 0);
    std::vector<std::string> lines;
    while (ReadLine()) lines.emplace_back(scn.LineBuffer);
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(scn.LineNumber, static_cast<int32_t>(c.lines.size()) + 1);
  }
}

// Missing, or leaving the folder (even where ".." would land inside again):
// the name is kept and no file is open.
TEST_F(ReaderTest, ScenarioNamesAreShiftJisPathsInsideTheDataDirectory) {
  WriteData("シナリオ/表.scn", "found\n");  // both names hold a 0x5C trail byte
  ASSERT_EQ(OpenScenario(Sjis("シナリオ\\表").c_str()), 1);
  ASSERT_EQ(ReadLine(), 1);
  EXPECT_STREQ(scn.LineBuffer, "found\n");
  WriteData("sub/keep.txt", "");
  WriteData("outside.scn", "x\n");
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

std::string Mark(int digit) { return ".let t = t * 10 + " + std::to_string(digit) + "\n"; }

std::string CaseBlock(int value, bool skip) {
  const std::string end = skip ? ".skp\n" : "";
  return ".cas " + std::to_string(value) + "\n.== 1\n" + Mark(1) + end + ".== 2\n" + Mark(2) + end +
         ".== 3\n" + Mark(3) + end + ".els\n" + Mark(4) + ".\n" + Mark(9);
}

std::string DeepBlock() {
  std::string deep = ".cas 1\n.== 2\n";
  for (int i = 0; i < 200000; ++i) deep += ".cas\n";
  for (int i = 0; i < 200000; ++i) deep += ".\n";
  return deep + ".\n" + Mark(9);
}

const std::string kUnclosed = "「.cas」の終わりの「.」がないままファイル終端に達しました";
const std::string kNoLabel = "指定されたラベルが見つかりませんでした";
const std::string kNoFile = "存在しないファイルを指定しました";
const std::string kBadSlot =
    "シナリオの記述エラー: サブルーチンの番号が0～9の範囲外です\nFile : start\nLine : 2";

class FlowTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    Config(".int t v\n.str where\n");
    WriteData("other.scn", "# called\n" + Mark(2) + ".sub exit 3\n" + Mark(8));
    WriteData("a.scn", ".sub b:go 7\n" + Mark(4) + ".sub exit 1\n");
    WriteData("b.scn", Mark(8) + ":go\n" + Mark(5) + ".sub exit 7\n");
    WriteData("next.scn", Mark(5));
    WriteData("lab.scn", Mark(8) + ":x\n" + Mark(6) + ".jmp next\n");
  }
};

TEST_F(FlowTest, ScenariosTakeTheirPathThroughCasesJumpsAndCalls) {
  // clang-format off
  const struct { const char* what; std::string start; int32_t t; int result; std::string boxes;
                  } cases[] = {
      {"only case 2, then after the block", CaseBlock(2, true), 29, 1, ""},
      {"falls through cases 3 and .els", CaseBlock(2, false), 2349, 1, ""},
      {"only .els", CaseBlock(7, true), 49, 1, ""},
      {"nothing matches, no .els",
       ".cas 5\n.== 1\n" + Mark(1) + ".skp\n.< 3\n" + Mark(2) + ".\n" + Mark(9), 9, 1, ""},
      {"signed comparisons of expressions",
       ".let v = -3\n.cas v\n.> 0\n" + Mark(1) + ".skp\n.<= 0 - 3\n" + Mark(2) + ".skp\n.\n" +
           ".cas 4\n.!= 4\n" + Mark(3) + ".>= 2 * 2\n" + Mark(4) + ".skp\n.\n" + ".cas 4\n.< 4\n" +
           Mark(5) + ".> 3\n" + Mark(6) + ".\n",
       246, 1, ""},
      {"a nested block in a skipped case is skipped whole",
       ".cas 2\n.== 1\n  .cas 1\n  .els\n" + Mark(5) + "  .\n" + Mark(6) + ".== 2\n" + Mark(2) +
           "\t.cas 2\n\t.== 2\n" + Mark(3) + "\t.skp\n\t.els\n" + Mark(7) + "\t.\n.skp\n.els\n" +
           Mark(8) + ".\n" + Mark(9),
       239, 1, ""},
      {"deep nesting", DeepBlock(), 9, 1, ""},
      {"case lines met while running are ignored",
       ".\n.els\n.== 1\n.!= 1\n.< 1\n.> 1\n.<= 1\n.>= 1\n" + Mark(9), 9, 1, ""},
      {"unclosed block", ".cas 1\n.== 2\n" + Mark(1), 0, 0, kUnclosed},
      {"unclosed nested block", ".cas 1\n.== 1\n.skp\n.cas 2\n", 0, 0, kUnclosed},
      {"a call returns after its line", Mark(1) + ".sub other 3\n" + Mark(3), 123, 1, ""},
      {"slots are not a stack", ".sub a 1\n" + Mark(6), 546, 1, ""},
      {"the first of two labels",
       Mark(1) + ".jmp :here\n" + Mark(8) + ":here\n" + Mark(2) + ".jmp :end\n:here\n" + Mark(3) +
           ":end\n",
       12, 1, ""},
      {"backwards from the start", ":top\n" + Mark(1) + ".cas t\n.< 111\n.jmp :top\n.\n", 111, 1,
       ""},
      {"another scenario's label", ".jmp lab:x\n" + Mark(9), 65, 1, ""},
      {"an expanded target", ".let where = lab\n.jmp [where]:x\n", 65, 1, ""},
      {"a missing label", ".jmp :nowhere\n" + Mark(1), 0, 0, kNoLabel},
      {"a missing scenario", ".jmp missing\n", 0, 0, kNoFile},
      {"a return to an empty slot", ".sub exit 5\n", 0, 0, kNoFile},
      {"a slot past the table", Mark(1) + ".sub other 10\n" + Mark(2), 1, 0, kBadSlot},
      {"a slot before the table", Mark(1) + ".sub exit -1\n" + Mark(2), 1, 0, kBadSlot},
      {"misspelled commands", ".lett t = 1\n" + Mark(3) + ".LET t = 5\n", 3, 1,
       "存在しないコマンド: .lett|存在しないコマンド: .LET"},
      {"line kinds", "# c\n\n:label\n\t\t" + Mark(1) + " .let t = 5\n.let t = t + 1\n", 2, 1, ""}};
  // clang-format on
  for (const auto& c : cases) {
    host->boxes.clear();
    for (auto& v : vars.ints) v.value = 0;
    EXPECT_EQ(Run(c.start), c.result) << c.what;
    EXPECT_EQ(Int("t"), c.t) << c.what;
    // Message boxes as "caption: text", or the text alone.
    std::string boxes;
    for (size_t i = 0; i < host->boxes.size(); ++i)
      boxes += (i ? "|" : "") + (BoxCaptions()[i].empty() ? "" : BoxCaptions()[i] + ": ") +
               BoxTexts()[i];
    EXPECT_EQ(boxes, c.boxes) << c.what;
  }
}

// A call's slot, as a save file keeps it; where a jump leaves the reader;
// the event mode.
TEST_F(FlowTest, ACallRemembersItsScenarioAndLineAndEventsFollowBeginAndEnd) {
  Run(Mark(1) + ".sub other 3\n");
  EXPECT_EQ(std::string(interp.slots[3].scenario) + std::to_string(interp.slots[3].line) +
                scn.ScenarioName,
            "start2start");
  Run(Mark(1) + ".jmp next\n");
  EXPECT_EQ(std::string(scn.ScenarioName) + std::to_string(scn.LineNumber), "next2");
  for (const auto& [word, mode] : {std::pair{"begin", 1}, {"other", 1}, {"end", 0}, {"x", 0}}) {
    Run(std::string(".event ") + word + "\n");
    EXPECT_EQ(interp.EventMode, mode) << word;
  }
}

}  // namespace
