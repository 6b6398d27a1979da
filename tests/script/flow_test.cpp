// Flow control through the real interpreter: case blocks, jumps, calls and
// the unknown-command message. Each case body appends a digit to "t", so the
// path taken reads as a number.
#include <gtest/gtest.h>

#include <string>

#include "graphics/textwindow.h"
#include "script/interpreter.h"
#include "support/script_fixture.h"

namespace {

class FlowTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    Config(".int t v\n");
  }
};

std::string Mark(int digit) { return ".let t = t * 10 + " + std::to_string(digit) + "\n"; }

std::string CaseBlock(int value, bool skip) {
  const std::string end = skip ? ".skp\n" : "";
  return ".cas " + std::to_string(value) + "\n" + ".== 1\n" + Mark(1) + end + ".== 2\n" + Mark(2) +
         end + ".== 3\n" + Mark(3) + end + ".els\n" + Mark(4) + ".\n" + Mark(9);
}

TEST_F(FlowTest, CaseBlocksWithAndWithoutSkip) {
  EXPECT_EQ(Run(CaseBlock(2, true)), 1);
  EXPECT_EQ(Int("t"), 29);  // only case 2, then after the closing "."

  Int("t");
  Run(".let t = 0\n" + CaseBlock(2, false));
  EXPECT_EQ(Int("t"), 2349);  // falls through cases 3 and ".els"

  Run(".let t = 0\n" + CaseBlock(7, true));
  EXPECT_EQ(Int("t"), 49);  // only ".els"
  EXPECT_TRUE(host->boxes.empty());
}

TEST_F(FlowTest, UnmatchedBlockWithoutElseContinuesAfterIt) {
  Run(".cas 5\n.== 1\n" + Mark(1) + ".skp\n.< 3\n" + Mark(2) + ".\n" + Mark(9));
  EXPECT_EQ(Int("t"), 9);
}

TEST_F(FlowTest, ComparisonsAreSignedAndTakeExpressions) {
  Run(".let v = -3\n.cas v\n.> 0\n" + Mark(1) + ".skp\n.<= 0 - 3\n" + Mark(2) + ".skp\n.\n");
  EXPECT_EQ(Int("t"), 2);
  Run(".let t = 0\n.cas 4\n.!= 4\n" + Mark(1) + ".>= 2 * 2\n" + Mark(2) + ".skp\n.\n");
  EXPECT_EQ(Int("t"), 2);
}

TEST_F(FlowTest, NestedBlockInASkippedCaseIsSkippedWhole) {
  Run(".cas 2\n"
      ".== 1\n"
      "  .cas 1\n"
      "  .els\n" +
      Mark(5) + "  .\n" + Mark(6) + ".== 2\n" + Mark(2) + "\t.cas 2\n\t.== 2\n" + Mark(3) +
      "\t.skp\n\t.els\n" + Mark(7) + "\t.\n" +
      ".skp\n"
      ".els\n" +
      Mark(8) + ".\n" + Mark(9));
  EXPECT_EQ(Int("t"), 239);
}

TEST_F(FlowTest, DeepNestingIsSkippedWithoutRecursion) {
  std::string deep = ".cas 1\n.== 2\n";
  for (int i = 0; i < 200000; ++i) deep += ".cas\n";
  for (int i = 0; i < 200000; ++i) deep += ".\n";
  deep += ".\n" + Mark(9);
  EXPECT_EQ(Run(deep), 1);
  EXPECT_EQ(Int("t"), 9);
}

TEST_F(FlowTest, UnclosedBlockEndsTheRun) {
  EXPECT_EQ(Run(".cas 1\n.== 2\n" + Mark(1)), 0);
  EXPECT_EQ(BoxTexts(),
            std::vector<std::string>{"「.cas」の終わりの「.」がないままファイル終端に達しました"});
  host->boxes.clear();
  EXPECT_EQ(Run(".cas 1\n.== 1\n.skp\n.cas 2\n"), 0);
  EXPECT_EQ(BoxTexts().size(), 1u);
}

TEST_F(FlowTest, CaseLinesMetWhileRunningAreIgnored) {
  EXPECT_EQ(Run(".\n.els\n.== 1\n.!= 1\n.< 1\n.> 1\n.<= 1\n.>= 1\n" + Mark(9)), 1);
  EXPECT_EQ(Int("t"), 9);
  EXPECT_TRUE(host->boxes.empty());
}

TEST_F(FlowTest, SubCallsIntoAnotherScenarioAndReturnsBySlot) {
  WriteData("other.scn", "# called\n" + Mark(2) + ".sub exit 3\n" + Mark(8));
  Run(Mark(1) + ".sub other 3\n" + Mark(3));
  EXPECT_EQ(Int("t"), 123);
  EXPECT_STREQ(interp.slots[3].scenario, "start");
  EXPECT_EQ(interp.slots[3].line, 2);
  EXPECT_STREQ(scn.ScenarioName, "start");
}

TEST_F(FlowTest, SubSlotsAreNotAStack) {
  WriteData("a.scn", ".sub b:go 7\n" + Mark(4) + ".sub exit 1\n");
  WriteData("b.scn", Mark(8) + ":go\n" + Mark(5) + ".sub exit 7\n");
  Run(".sub a 1\n" + Mark(6));
  EXPECT_EQ(Int("t"), 546);
}

TEST_F(FlowTest, SubSlotOutsideTheTableEndsTheRunWithAMessage) {
  for (const char* line : {".sub other 10\n", ".sub exit -1\n"}) {
    host->boxes.clear();
    EXPECT_EQ(Run(Mark(1) + line + Mark(2)), 0) << line;
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{
                              "サブルーチンの番号が0～9の範囲外です\nFile : start\nLine : 2"});
    EXPECT_EQ(BoxCaptions(), std::vector<std::string>{"シナリオの記述エラー"});
  }
}

TEST_F(FlowTest, JumpToALabelFindsTheFirstOfTwo) {
  Run(Mark(1) + ".jmp :here\n" + Mark(8) + ":here\n" + Mark(2) + ".jmp :end\n:here\n" + Mark(3) +
      ":end\n");
  EXPECT_EQ(Int("t"), 12);
  EXPECT_EQ(scn.LineNumber, 10);  // nine lines and the read at the end
}

TEST_F(FlowTest, JumpBackwardsReReadsTheScenarioFromItsStart) {
  Run(":top\n" + Mark(1) + ".cas t\n.< 111\n.jmp :top\n.\n");
  EXPECT_EQ(Int("t"), 111);
}

TEST_F(FlowTest, JumpToAnotherScenarioAndItsLabel) {
  WriteData("next.scn", Mark(5));
  WriteData("lab.scn", Mark(8) + ":x\n" + Mark(6) + ".jmp next\n");
  Run(".jmp lab:x\n" + Mark(9));
  EXPECT_EQ(Int("t"), 65);
  EXPECT_STREQ(scn.ScenarioName, "next");
}

TEST_F(FlowTest, JumpTargetsAreExpanded) {
  Config(".int t\n.str where\n");
  WriteData("lab.scn", ":x\n" + Mark(6));
  Run(".let where = lab\n.jmp [where]:x\n");
  EXPECT_EQ(Int("t"), 6);
}

TEST_F(FlowTest, FailedJumpsEndTheRun) {
  EXPECT_EQ(Run(".jmp :nowhere\n" + Mark(1)), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"指定されたラベルが見つかりませんでした"});
  host->boxes.clear();
  EXPECT_EQ(Run(".jmp missing\n"), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"存在しないファイルを指定しました"});
  host->boxes.clear();
  // A return to a slot that was never filled has nowhere to go.
  EXPECT_EQ(Run(".sub exit 5\n"), 0);
}

TEST_F(FlowTest, MisspelledCommandIsReportedAndTheRunGoesOn) {
  EXPECT_EQ(Run(".lett t = 1\n" + Mark(3) + ".LET t = 5\n"), 1);
  EXPECT_EQ(Int("t"), 3);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{".lett", ".LET"}));
  EXPECT_EQ(BoxCaptions(), std::vector<std::string>(2, "存在しないコマンド"));
}

TEST_F(FlowTest, EventModeFollowsBeginAndEnd) {
  Run(".event begin\n");
  EXPECT_EQ(interp.EventMode, 1);
  Run(".event other\n");
  EXPECT_EQ(interp.EventMode, 1);
  Run(".event end\n");
  EXPECT_EQ(interp.EventMode, 0);
}

TEST_F(FlowTest, LineKindsAndTextLines) {
  Run("# comment\n\n:label\n\t\t" + Mark(1) + " .let t = 5\nplain text\n");
  EXPECT_EQ(Int("t"), 1);
  // Text lines go to the current message window, one window line each.
  LineRecord line{};
  ASSERT_TRUE(msgwin.window[1].GetLine(1, line));
  EXPECT_STREQ(line.text, " .let t = 5");
  ASSERT_TRUE(msgwin.window[1].GetLine(2, line));
  EXPECT_STREQ(line.text, "plain text");
}

}  // namespace
