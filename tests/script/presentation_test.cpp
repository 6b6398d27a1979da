// What the player sees between battles: the composed scene, text typing,
// click waits and their cursor, timed effects and choices, on the virtual
// clock of the headless host.
#include "script/presentation.h"

#include <gtest/gtest.h>

#include "core/waits.h"
#include "data/player.h"
#include "graphics/blit.h"
#include "graphics/number_font.h"
#include "script/variables.h"
#include "support/k16_writer.h"
#include "support/script_fixture.h"

namespace {

// Every pixel differs from its neighbours, and a few are the colour key, so
// a piece taken from a wrong place, turned round or not keyed shows.
uint16_t Pattern(uint32_t seed, int x, int y) {
  if ((x + 2 * y + static_cast<int>(seed)) % 7 == 0) return ColourToPixel(kMagenta);
  uint32_t h = (static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u ^
                seed * 83492791u) *
               0x5bd1e995u;
  const auto p = static_cast<uint16_t>((h ^ (h >> 15)) & 0x7FFF);
  return p == ColourToPixel(kMagenta) ? 0 : p;
}

void Paint(Image& image, uint32_t seed) {
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) image.At(x, y) = Pattern(seed, x, y);
}

class PresentationTest : public ScriptTest {
 protected:
  uint64_t Elapsed(const std::string& script) {
    const uint64_t before = Now();
    Run(script);
    return Now() - before;
  }
  // Scripted input at a virtual time from now.
  std::string From(uint64_t offset, const std::string& action) {
    return "@" + std::to_string(Now() + offset) + " " + action;
  }
  void Reset() {
    for (scene.CurrentWindow = 4; scene.CurrentWindow > 1; --scene.CurrentWindow) ClearWindow();
    ClearWindow();
    shell.LeftDown = shell.RightDown = 0;
  }
};

TEST_F(PresentationTest, TextLinesAreTypedTenMillisecondsACharacterWithTheirLineRules) {
  const std::string y30(30, 'y');
  // clang-format off
  const struct { std::string script, lines; uint64_t ms; } cases[] = {
      {".show msg1\n" + std::string(35, 'x') + "\n", std::string(35, 'x') + "|||", 350},
      {".show msg1\n.cut\n" + y30 + "\n" + y30 + "\n.wat 0\n", y30 + "|" + y30 + "||", 0},
      {"first!n\nsecond\nthird\\nfourth\\\\x\\y\n", "firstsecond|third|fourth\\xy|", 250},
      {"last\\n\n" + Sjis("あいう") + "\n", "last|" + Sjis("あいう") + "||", 70},
      {".msg 3\n.msg 5\n.msg 0\nabc\n", "|||", 30}};
  // clang-format on
  for (const auto& c : cases) {
    Reset();
    EXPECT_EQ(Elapsed(c.script), c.ms) << c.script;
    EXPECT_EQ(Lines(1, 4), c.lines) << c.script;
    EXPECT_EQ(shell.InputMode, 1);
  }
  EXPECT_EQ(LineText(3, 1), "abc");
}

TEST_F(PresentationTest, ClickWaitsStopTheRunAndTheClickResumesIt) {
  // clang-format off
  const struct { std::string script; bool rightHeld; int mode; std::string before, after;
                 uint64_t ms; } cases[] = {
      {"wait\n.clk\nafter\n", false, 3, "wait|", "wait|after", 40},
      {"wait\n.clk\nafter\n", true, 1, "wait|after", "wait|after", 0},
      {"old\n.tcl\nnew\n", false, 4, "old|", "new|", 30},
      {"old\n.tcl\nnew\n", true, 1, "new|", "new|", 0},
      {"kept\n.clk 1\n.tcl 1\nnew\n", false, 1, "new|", "new|", 70},
      {"kept\n.clk 2\n.tcl 2\nnew\n", false, 1, "kept|new", "kept|new", 70}};
  // clang-format on
  for (const auto& c : cases) {
    Reset();
    if (c.rightHeld) Input(From(0, "rdown 5 5"));
    EXPECT_EQ(Elapsed(".show msg1\n" + c.script), c.ms) << c.script;
    EXPECT_EQ(shell.InputMode, c.mode) << c.script;
    EXPECT_EQ(Lines(1, 2), c.before) << c.script;
    if (c.mode != 1) Input("wait click 100 100");
    EXPECT_EQ(Lines(1, 2), c.after) << c.script;
  }
}

TEST_F(PresentationTest, TheCursorBlinksBesideTheLastLineFromItsWindowsSprite) {
  Paint(gfx.PartsSheet, 1);
  host->options().until = 1000000;  // no input left: keep the window open
  // clang-format off
  const struct { std::string script; int window, spriteX; } cases[] = {
      {".show msg4\n.msg 4\none\ntwo\n.clk\n", 4, 662}, {".show msg1\none\ntwo\n.clk\n", 1, 630},
      {".show msg4\n.msg 4\none\ntwo\n.tcl\n", 4, 694},
      {".show msg3\n.msg 3\none\ntwo\n.tcl\n", 3, 630}};
  // clang-format on
  for (const auto& c : cases) {
    Reset();
    Run(c.script);
    LineRecord r{};
    ASSERT_TRUE(msgwin.window[c.window].GetLine(2, r));
    const int cx = scene.CursorX, cy = scene.CursorY;
    EXPECT_EQ(std::pair(cx, cy), std::pair(r.right, r.top)) << c.script;
    Image before;
    before.Create(640, 622);
    Copy(before, 0, 0, 640, 622, gfx.Screen, 0, 0);
    const uint64_t t = Now();
    plat::Message m;
    do {
      ASSERT_TRUE(plat::host().Get(m));
      plat::host().Dispatch(m);
    } while (m.id != plat::msg::Timer);
    EXPECT_EQ(Now(), t + 100);
    for (int j = -1; j <= 28; ++j)
      for (int i = -1; i <= 32; ++i) {
        const uint16_t sheet = gfx.PartsSheet.At(c.spriteX + i, 304 + j);
        const bool drawn = i >= 0 && i < 32 && j >= 0 && j < 28 && sheet != ColourToPixel(kMagenta);
        ASSERT_EQ(gfx.Screen.At(cx + i, cy + j), drawn ? sheet : before.At(cx + i, cy + j))
            << c.script << i << "," << j;
      }
    Input("wait click 1 1");  // hides it: the picture under it comes back
    EXPECT_FALSE(scene.cursorRunning);
    for (int j = 0; j < 28; ++j)
      ASSERT_EQ(gfx.Screen.At(cx + 3, cy + j), before.At(cx + 3, cy + j));
  }
}

TEST_F(PresentationTest, WaitsAndEffectsTakeTheirTime) {
  // clang-format off
  const struct { std::string script, pressed; uint64_t at; std::string input; uint64_t ms;
                 } cases[] = {
      {".wat 250\n", "", 0, "", 250}, {".wat -5\n", "", 0, "", 0}, {".cwt 250\n", "", 0, "", 250},
      {".cwt 1000\n", "", 100, "click 5 5", 100}, {".cwt 1000\n", "", 40, "rdown 5 5", 40},
      {".cwt 300\n", "ldown 5 5", 100, "move 5 5", 300}, {".shake\n", "", 0, "", 210},
      {".cwt 1000\n", "ldown 5 5", 50, "lup 5 5\n+50 ldown 5 5", 100},
      {".flash\n", "", 0, "", 100},
      // A press of either button while a line types shows the rest of it.
      {".show msg1\n" + std::string(35, 'x') + "\n", "", 50, "click 5 5", 50},
      {".show msg1\n" + std::string(35, 'x') + "\n", "", 50, "rdown 5 5", 50}};
  // clang-format on
  for (const auto& c : cases) {
    Reset();
    if (!c.pressed.empty()) Input(From(0, c.pressed));
    host->SetInput(c.input.empty() ? std::vector<headless::InputEvent>{}
                                   : InputEvents(From(c.at, c.input)));
    EXPECT_EQ(Elapsed(c.script), c.ms) << c.script << c.input;
  }
  const uint64_t transitions[] = {0, 170, 170, 560, 460, 170, 650, 560, 500, 810, 0};
  for (int n = 0; n <= 10; ++n) {
    Reset();
    EXPECT_EQ(Elapsed(".update " + std::to_string(n) + "\n"), transitions[n]) << n;
  }
  // An effect above 9 shows nothing; a later ".update 0" brings the picture.
  Paint(gfx.WorkPage, 2);
  host->invalidations.clear();
  Run(".show back\n.update 10\n");
  EXPECT_TRUE(host->invalidations.empty());
  const uint16_t before = Shown(300, 300);
  Run(".update 0\n");
  EXPECT_NE(Shown(300, 300), before);
}

TEST_F(PresentationTest, ShakeAndFlashMoveThePictureAndPutItBack) {
  for (int y = 0; y < 480; ++y) std::fill_n(gfx.Screen.Row(y), 640, static_cast<uint16_t>(y + 1));
  std::vector<std::vector<int>> seen;
  beforeInput = [&] {
    seen.push_back(
        {gfx.Screen.At(5, 0), gfx.Screen.At(5, 5), gfx.Screen.At(5, 20), gfx.Screen.At(5, 475)});
  };
  const std::string steps = "move 1 1\n+50 move 1 1\n+50 move 1 1\n+50 move 1 1\n+30 move 1 1";
  host->SetInput(InputEvents(From(25, steps)));
  Run(".shake\n.wat 100\n");
  const std::vector<int> up = {11, 16, 31, 0}, down = {0, 0, 11, 466}, back = {1, 6, 21, 476};
  EXPECT_EQ(seen, (std::vector<std::vector<int>>{up, down, up, down, back}));
  seen.clear();
  host->SetInput(InputEvents(From(25, steps)));
  Run(".flash\n.wat 200\n");
  const std::vector<int> white(4, 0x7FFF);
  EXPECT_EQ(seen, (std::vector<std::vector<int>>{white, back, back, back, back}));
}

TEST_F(PresentationTest, TheSceneIsComposedFromItsFixedPiecesInOrder) {
  // Copy, keyed copy, shadow (subtract), half blend, mirrored copy, darken, number.
  enum Op { C, K, S, B, M, D, N };
  constexpr int kBar = kLayerCount;  // the status bar, drawn outside events
  Image* const src[] = {&gfx.PartsSheet, &gfx.WorkPage, &gfx.PictureImage, &gfx.FaceImage1,
                        &gfx.FaceImage2};
  NumberFont* const fonts[] = {&numfonts.Mid, &numfonts.Small, &numfonts.Weekday};
  // Numbers: s is the font, h the alignment, v the value shown: deck, stock,
  // money, HP, max HP, MP, max MP; the date 2026-03-14, a Saturday.
  // clang-format off
  const struct Piece { int layer; Op op; int s, x, y, w, h, sx, sy; uint32_t v; } pieces[] = {
      {kBack, C, 1, 0, 0, 640, 480, 0, 0, 0}, {kPlace, S, 0, 540, 80, 10, 300, 840, 0, 0},
      {kPlace, S, 0, 100, 380, 450, 10, 400, 368, 0}, {kPlace, C, 2, 100, 80, 440, 300, 0, 0, 0},
      {kMsg1, S, 0, 174, 50, 420, 152, 420, 0, 0}, {kMsg2, S, 0, 60, 286, 420, 152, 420, 152, 0},
      {kFace1, S, 0, 166, 44, 10, 152, 840, 0, 0}, {kFace1, S, 0, 32, 196, 134, 10, 400, 368, 0},
      {kFace1, S, 0, 166, 196, 10, 10, 840, 368, 0}, {kFace2, S, 0, 608, 280, 10, 152, 840, 0, 0},
      {kFace2, S, 0, 474, 432, 134, 10, 400, 368, 0},
      {kFace2, S, 0, 608, 432, 10, 10, 840, 368, 0}, {kFace1, K, 3, 32, 44, 134, 152, 0, 0, 0},
      {kFace2, C, 4, 474, 280, 134, 152, 0, 0, 0}, {kFace2, M, 4, 481, 287, 120, 128, 7, 7, 0},
      {kMsg1, B, 0, 168, 44, 420, 152, 0, 0, 0}, {kMsg2, B, 0, 54, 280, 420, 152, 0, 152, 0},
      {kMsg3, C, 0, 120, 184, 400, 7, 0, 304, 0}, {kMsg3, C, 0, 120, 285, 400, 7, 0, 405, 0},
      {kMsg3, C, 0, 120, 191, 7, 94, 0, 311, 0}, {kMsg3, C, 0, 513, 191, 7, 94, 393, 311, 0},
      {kMsg3, D, 0, 127, 191, 386, 94, 0, 0, 0x505050},
      {kMsg3, S, 0, 520, 184, 10, 108, 840, 0, 0}, {kMsg3, S, 0, 120, 292, 400, 10, 400, 368, 0},
      {kMsg3, S, 0, 520, 292, 10, 10, 840, 368, 0},
      {kMsg4, D, 0, 16, 16, 608, 448, 0, 0, 0x646464}, {kDate, B, 0, 8, 4, 230, 32, 400, 304, 0},
      {kDate, K, 0, 8, 4, 230, 32, 400, 336, 0}, {kDate, N, 0, 75, 8, 0, 2, 0, 0, 2026},
      {kDate, N, 0, 127, 8, 0, 2, 0, 0, 3}, {kDate, N, 0, 175, 8, 0, 2, 0, 0, 14},
      {kDate, N, 2, 192, 8, 0, 0, 0, 0, 6}, {kBar, K, 0, 46, 458, 44, 16, 400, 378, 0},
      {kBar, K, 0, 178, 458, 22, 16, 444, 378, 0}, {kBar, K, 0, 310, 458, 22, 16, 466, 378, 0},
      {kBar, K, 0, 442, 458, 11, 18, 488, 378, 0}, {kBar, K, 0, 123, 458, 11, 18, 499, 378, 0},
      {kBar, K, 0, 244, 458, 11, 18, 499, 378, 0}, {kBar, K, 0, 376, 458, 11, 18, 499, 378, 0},
      {kBar, K, 0, 524, 442, 112, 36, 630, 332, 0}, {kBar, N, 1, 122, 458, 0, 2, 0, 0, 12},
      {kBar, N, 1, 166, 458, 0, 2, 0, 0, 345}, {kBar, N, 1, 518, 458, 0, 2, 0, 0, 6789},
      {kBar, N, 1, 243, 458, 0, 2, 0, 0, 87}, {kBar, N, 1, 298, 458, 0, 2, 0, 0, 120},
      {kBar, N, 1, 375, 458, 0, 2, 0, 0, 5}, {kBar, N, 1, 430, 458, 0, 2, 0, 0, 16}};
  // clang-format on
  for (int i = 0; i < 5; ++i) Paint(*src[i], static_cast<uint32_t>(i + 1));
  const int glyphs[][2] = {{8, 14}, {6, 10}, {20, 14}};
  for (int f = 0; f < 3; ++f) {
    fonts[f]->strip.Create(12 * glyphs[f][0], glyphs[f][1]);
    fonts[f]->glyphWidth = glyphs[f][0];
    Paint(fonts[f]->strip, static_cast<uint32_t>(f + 7));
  }
  player.deck.count = 12;
  player.stock.count = 345;
  player.money = 6789;
  player.hp = 87;
  player.maxhp = 120;
  player.mp = 5;
  player.maxmp = 16;
  player.date = host->LocalCalendar(1773446400);  // 2026-03-14
  Image start, want;
  start.Create(640, 480);
  want.Create(640, 480);
  Paint(start, 10);
  // Each layer alone, then all of them with the status bar, then the bar alone.
  for (int run = 0; run <= kLayerCount + 1; ++run) {
    for (int l = 0; l < kLayerCount; ++l) scene.shown[l] = run == l || run == kLayerCount;
    interp.EventMode = run >= kLayerCount ? 0 : 1;
    Copy(gfx.ScenePage, 0, 0, 640, 480, start, 0, 0);
    Copy(want, 0, 0, 640, 480, start, 0, 0);
    ComposeScene();
    for (const Piece& p : pieces) {
      if (p.layer == kBar ? interp.EventMode != 0 : !scene.shown[p.layer]) continue;
      const Image& s = *src[p.s];
      if (p.op == C) Copy(want, p.x, p.y, p.w, p.h, s, p.sx, p.sy);
      if (p.op == K) CopyKeyed(want, p.x, p.y, p.w, p.h, s, p.sx, p.sy, kMagenta);
      if (p.op == S) SubtractCopy(want, p.x, p.y, p.w, p.h, s, p.sx, p.sy);
      if (p.op == B) BlendKeyed(want, p.x, p.y, p.w, p.h, s, p.sx, p.sy, kMagenta, 16);
      if (p.op == M) CopyMirrored(want, p.x, p.y, p.w, p.h, s, p.sx, p.sy);
      if (p.op == D) DarkenRect(want, p.x, p.y, p.w, p.h, p.v);
      if (p.op == N) fonts[p.s]->Draw(want, p.x, p.y, static_cast<int32_t>(p.v), 0, p.h);
    }
    int wrong = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x)
        if (gfx.ScenePage.At(x, y) != want.At(x, y) && wrong++ == 0)
          ADD_FAILURE() << "run " << run << ": first wrong pixel at " << x << "," << y;
  }
  // The right portrait looks the other way inside its 7-pixel frame.
  for (int l = 0; l < kLayerCount; ++l) scene.shown[l] = l == kFace2;
  ComposeScene();
  EXPECT_EQ(gfx.ScenePage.At(600, 287), gfx.FaceImage2.At(7, 7));
  EXPECT_EQ(gfx.ScenePage.At(481, 414), gfx.FaceImage2.At(126, 134));
  EXPECT_EQ(gfx.ScenePage.At(474, 280), gfx.FaceImage2.At(0, 0));
}

TEST_F(PresentationTest, LoadPaintsThePictureIntoItsLayerAndRemembersItsName) {
  // clang-format off
  const struct { const char* layer; int w, h; Image* image; } cases[] = {
      {"back", 640, 480, &gfx.WorkPage}, {"place", 440, 300, &gfx.PictureImage},
      {"face1", 134, 152, &gfx.FaceImage1}, {"face2", 134, 152, &gfx.FaceImage2}};
  // clang-format on
  Config(".str where\n");
  for (int i = 0; i < 4; ++i) {
    const auto& c = cases[i];
    const std::string name = std::string("p") + c.layer;
    WriteTestK16((dataDir / (name + ".K16")).string(), c.w, c.h,
                 [&](int, int) { return Rgb5(i, 9, 3); });
    Run(std::string(".let where = ") + c.layer + "\n.load [where] p[where]\n");
    EXPECT_EQ(c.image->At(c.w - 1, c.h - 1), Rgb5(i, 9, 3)) << c.layer;
    EXPECT_EQ(scene.pictureName[i], name + ".K16");
  }
  Run(".load msg1 pback\n.load other pback\n.load back nothere\n");
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"nothere.K16"});
  EXPECT_EQ(BoxCaptions(), std::vector<std::string>{"ファイル読み込みエラー"});
  EXPECT_STREQ(scene.pictureName[kBack], "nothere.K16");
}

// Text in a hidden window stays off the screen until ".show" and ".update".
TEST_F(PresentationTest, TextInAHiddenWindowWaitsForShowAndUpdate) {
  auto ink = [&] {
    int lit = 0;
    for (int y = 60; y < 110; ++y)
      for (int x = 204; x < 400; ++x) lit += Shown(x, y) == 0x7FFF;
    return lit;
  };
  Run(".update 0\nhidden\nhidden text\n");
  EXPECT_EQ(ink(), 0);
  Run(".show msg1\n.update 0\n");
  EXPECT_GT(ink(), 50);
}

class ChoiceTest : public PresentationTest {
 protected:
  void SetUp() override {
    PresentationTest::SetUp();
    Config(".int picked\n");
    Offer();
  }
  void Offer() {
    Reset();
    HideClickCursor();
    scene.ChoiceCount = 0;
    vars.ints[0].value = 0;
    ASSERT_EQ(Run(".show msg1\n.update 0\nどちらへ？\n"
                  ".slt add 北へ :north\n.slt add 南へ :south\n.slt add stay\\nhere :stay\n"
                  ".slt exec\n:north\n.let picked = 1\n.clk\n:south\n.let picked = 2\n.clk\n"
                  ":stay\n.let picked = 3\n.clk\n"),
              1);
  }
  bool InkIs(const Choice& c, uint16_t colour) {
    for (int y = c.top; y < c.bottom; ++y)
      for (int x = c.left; x < c.right; ++x)
        if (gfx.Screen.At(x, y) == colour) return true;
    return false;
  }
  static std::string At(int x, int y) { return std::to_string(x) + " " + std::to_string(y); }
};

TEST_F(ChoiceTest, ChoicesLineUpGreyAndTheHoveredOneTurnsWhite) {
  EXPECT_EQ(shell.InputMode, 5);
  ASSERT_EQ(scene.ChoiceCount, 3);
  const Choice* c = scene.choices;
  LineRecord l4{}, l5{};
  ASSERT_TRUE(msgwin.window[1].GetLine(4, l4) && msgwin.window[1].GetLine(5, l5));
  EXPECT_EQ((std::vector<int>{c[1].firstLine, c[1].lineCount, c[2].firstLine, c[2].lineCount,
                              c[3].firstLine, c[3].lineCount, c[3].top, c[3].bottom}),
            (std::vector<int>{2, 1, 3, 1, 4, 2, l4.top, l5.bottom}));
  for (int i = 1; i <= 3; ++i)
    EXPECT_TRUE(InkIs(c[i], ColourToPixel(0x808080)) && !InkIs(c[i], 0x7FFF)) << i;
  Input("wait move " + At(c[2].left + 3, c[2].top + 3));
  EXPECT_TRUE(InkIs(c[2], 0x7FFF) && !InkIs(c[2], ColourToPixel(0x808080)));
  EXPECT_FALSE(InkIs(c[1], 0x7FFF));
}

TEST_F(ChoiceTest, AClickInsideAChoiceJumpsToItsLabelAndElsewhereKeepsWaiting) {
  const Choice n = scene.choices[1], s = scene.choices[2], t = scene.choices[3];
  const std::pair<std::string, int> cases[] = {
      {"click " + At(s.right, s.top + 2), 0},
      {"click " + At(s.left - 1, s.top + 2), 0},
      {"click " + At(s.left + 2, s.bottom), 0},
      {"click 5 470", 0},
      {"click " + At(s.right - 1, s.bottom - 1), 2},
      {"click " + At(t.left, t.bottom - 1), 3},
      {"move " + At(n.left + 2, n.top + 2) + "\nwait key enter", 1}};
  for (const auto& [input, picked] : cases) {
    Offer();
    Input("wait " + input);
    EXPECT_EQ(Int("picked"), picked) << input;
    EXPECT_EQ(shell.InputMode, picked ? 3 : 5) << input;
    EXPECT_EQ(scene.ChoiceCount, picked ? 0 : 3) << input;
  }
  std::string many;  // the table holds twenty
  for (int i = 0; i < 21; ++i) many += ".slt add c" + std::to_string(i) + " :x\n";
  scene.ChoiceCount = 0;
  Run(many);
  EXPECT_EQ(scene.ChoiceCount, kMaxChoices);
  EXPECT_NE(BoxTexts().at(0).find("Line : 21"), std::string::npos);
}

}  // namespace
