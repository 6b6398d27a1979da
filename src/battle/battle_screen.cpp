#include "battle/battle_screen.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "battle/battle.h"
#include "core/settings.h"
#include "core/waits.h"
#include "data/database.h"
#include "data/player.h"
#include "graphics/blit.h"
#include "graphics/image.h"
#include "graphics/number_font.h"
#include "graphics/textwindow.h"
#include "platform/platform.h"
#include "platform/sjis.h"
#include "sound/music.h"

namespace {

// Regions of the battle sheet.
constexpr int32_t kPlayedRowY = 400;  // played pictures: y 400 + 138 x side
constexpr int32_t kMarkerY = 276, kMarkerSize = 62;
// Where the marker stands on the table: the square a click decides in.
constexpr int32_t kMarkerX = 289, kMarkerTop = 211;
constexpr int32_t kTurnLabelX = 124, kTurnLabelW = 165, kTurnLabelH = 61;
constexpr int32_t kTurnDigitsX = 289, kTurnDigitsH = 62, kTurnDigitWidth = 42;
constexpr int32_t kBannerY = 338, kBannerH = 60;
constexpr int32_t kCandidateLines = 7;

struct Rect {
  int32_t x, y, w, h;
  bool Meets(const Rect& o) const {
    return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h;
  }
  Rect Intersect(const Rect& o) const {
    const int32_t l = std::max(x, o.x), t = std::max(y, o.y);
    const int32_t r = std::min(x + w, o.x + o.w), b = std::min(y + h, o.y + o.h);
    return {l, t, std::max(r - l, 0), std::max(b - t, 0)};
  }
};

void Sprite(const Rect& clip, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx,
            int32_t sy) {
  CopyClippedKeyed(gfx.Screen, dx, dy, w, h, gfx.PartsSheet, sx, sy, clip.x, clip.y, clip.w, clip.h,
                   kMagenta);
}

void CardSprite(const Rect& clip, SlotPosition at, int32_t sx, int32_t sy) {
  Sprite(clip, at.x, at.y, kCardWidth, kCardHeight, sx, sy);
}

int32_t HandPictureX(int k) { return kCardWidth * k; }
int32_t HandPictureY(int side) { return kCardHeight * side; }
int32_t PlayedPictureY(int side) { return kPlayedRowY + kCardHeight * side; }
int32_t CardBackY(int side) { return kCardHeight * side; }

bool EntryUsed(int side, int n) { return battle.side[side].played[n].fromSlot != 0; }

void DrawSlots(const Rect& clip) {
  const int hand = std::clamp(battle.handSize, 1, kHandSlots);
  for (int k = 1; k <= hand; ++k) {
    const BattleSide& me = battle.side[0];
    const BattleSide& them = battle.side[1];
    const SlotPosition ph = handPosition(0, k);
    if (cardRecord(me.hand[k].card)) {
      if (me.hand[k].inHand) {
        CardSprite(clip, ph, HandPictureX(k), HandPictureY(0));
      } else {
        GreyCopyClippedKeyed(gfx.Screen, ph.x, ph.y, kCardWidth, kCardHeight, gfx.PartsSheet,
                             HandPictureX(k), HandPictureY(0), clip.x, clip.y, clip.w, clip.h,
                             kMagenta);
      }
    }
    if (EntryUsed(0, k) && cardRecord(me.played[k].card)) {
      const SlotPosition pp = playedPosition(0, k);
      CardSprite(clip, pp, HandPictureX(k), PlayedPictureY(0));
      const Rect lit = Rect{pp.x, pp.y, kCardWidth, kCardHeight}.Intersect(clip);
      if (lit.w > 0 && lit.h > 0) {
        if (battle.patternHint == 1) BrightenRect(gfx.Screen, lit.x, lit.y, lit.w, lit.h, 0x464646);
        if (battle.patternHint == 2) DarkenRect(gfx.Screen, lit.x, lit.y, lit.w, lit.h, 0x464646);
      }
    }
    // The back hides the card, so whatever number it holds looks the same.
    if (them.hand[k].card != 0 && them.hand[k].inHand)
      CardSprite(clip, handPosition(1, k), 0, CardBackY(1));
    if (EntryUsed(1, k) && cardRecord(them.played[k].card))
      CardSprite(clip, playedPosition(1, k), HandPictureX(k), PlayedPictureY(1));
  }
}

struct NumberPlace {
  Rect area;
  int32_t maxX, curX, y0;
};
constexpr NumberPlace kNumbers[2] = {
    {{536, 296, 100, 38}, 632, 592, 297},
    {{4, 246, 100, 38}, 100, 60, 247},
};

void DrawNumbers(const Rect& clip) {
  for (int s = 0; s < 2; ++s) {
    const NumberPlace& p = kNumbers[s];
    if (!p.area.Meets(clip)) continue;
    const SideVitals v = sideVitals(s);
    auto number = [&](int32_t x, int32_t y, int32_t value) {
      numfonts.Micro.DrawClipped(gfx.Screen, x, y, value, 0, 2, clip.x, clip.y, clip.w, clip.h);
    };
    number(p.maxX, p.y0, v.maxHp);
    number(p.maxX, p.y0 + 12, v.maxMp);
    number(p.maxX, p.y0 + 24, battle.side[s].deckLeft);
    number(p.curX, p.y0, v.hp);
    number(p.curX, p.y0 + 12, v.mp);
  }
}

// Icon columns of each side: poison, curse, barrier, field; the guards
// under the first two.
struct IconPlace {
  int32_t poisonX, curseX, barrierX, fieldX, y;
};
constexpr IconPlace kIcons[2] = {{536, 565, 593, 614, 196}, {4, 33, 61, 82, 146}};

void DrawIcons(const Rect& clip) {
  for (int s = 0; s < 2; ++s) {
    const BattleSide& side = battle.side[s];
    const IconPlace& p = kIcons[s];
    if (side.poisoned) Sprite(clip, p.poisonX, p.y, 28, 28, 600, 276);
    if (side.curseTurns > 0) Sprite(clip, p.curseX, p.y, 28, 28, 628, 276);
    if (side.HasBarrier()) Sprite(clip, p.barrierX, p.y, 21, 25, 600, 304);
    if (battle.AnyField()) Sprite(clip, p.fieldX, p.y, 20, 25, 621, 304);
    if (side.poisonGuard) Sprite(clip, p.poisonX, p.y + 28, 28, 28, 600, 329);
    if (side.curseGuard) Sprite(clip, p.curseX, p.y + 28, 28, 28, 628, 329);
  }
}

void DrawBattleIn(const Rect& clip, int32_t inputMode) {
  CopyClipped(gfx.Screen, 0, 0, kBattleWidth, kBattleHeight, gfx.WorkPage, 0, 0, clip.x, clip.y,
              clip.w, clip.h);
  DrawSlots(clip);
  if (battle.attackMarker == 1 || battle.attackMarker == 2) {
    Sprite(clip, kMarkerX, kMarkerTop, kMarkerSize, kMarkerSize,
           (battle.attackMarker - 1) * kMarkerSize, kMarkerY);
  }
  if (mode::PlayerChooses(inputMode)) {
    if (battle.decideLit) {
      const Rect lit = Rect{kMarkerX, kMarkerTop, kMarkerSize, kMarkerSize}.Intersect(clip);
      if (lit.w > 0 && lit.h > 0) BrightenRect(gfx.Screen, lit.x, lit.y, lit.w, lit.h, 0x404040);
    }
    Sprite(clip, kMarkerX, kMarkerTop + kMarkerSize, 62, 53, 500, 276);
    if (battle.list.upShown) Sprite(clip, 610, 484, 28, 26, 562, 276);
    if (battle.list.downShown) Sprite(clip, 610, 592, 28, 26, 562, 302);
  }
  Sprite(clip, 536, 196, kCardWidth, kCardHeight, 700, 0);
  Sprite(clip, 4, 146, kCardWidth, kCardHeight, 700, 138);
  DrawNumbers(clip);
  DrawIcons(clip);
  // The list's lines are printed once per change of the list; a redraw of
  // the screen under them would otherwise leave the player an empty list.
  if (mode::PlayerChooses(inputMode) && Rect{4, 486, 632, 134}.Meets(clip)) {
    const TextWindow& window = msgwin.window[2];
    LineRecord line{};
    for (int i = 1; window.GetLine(i, line) && line.text[0] != '\0'; ++i) {
      const Rect r =
          Rect{line.left, line.top, line.right - line.left, line.bottom - line.top}.Intersect(clip);
      if (r.w > 0 && r.h > 0) msgwin.window[2].FlushRect(r.x, r.y, r.x + r.w, r.y + r.h);
    }
  }
}

// The whole-window invalidation of a rectangle of the screen image.
void InvalidateImageRect(int32_t x, int32_t y, int32_t w, int32_t h) {
  InvalidateArea(x, y - gfx.ViewOffset, w, h);
}

// The banner curve: from its size to three times it and back in 61 frames.
bool Banner(int32_t sx, int32_t sy, int32_t w0, int32_t h0, uint32_t frameMs) {
  for (int i = 0; i <= 60; ++i) {
    FrameStart();
    const double s = 3 - (std::cos(0.10472 * i) + 1) * 1.5;
    const auto w = static_cast<int32_t>(w0 * s), h = static_cast<int32_t>(h0 * s);
    const int32_t x = (kClientWidth - w) / 2, y = (kClientHeight - h) / 2;
    StretchCopyKeyed(gfx.Screen, x, y, w, h, gfx.PartsSheet, sx, sy, w0, h0, kMagenta);
    InvalidateImageRect(x, y, w, h);
    if (!WaitUntil(frameMs)) return false;
  }
  return true;
}

bool ScrollView(int32_t step, int32_t last) {
  PlayWave(kScrollSound, plat::kWaveAsync);
  for (int i = 1; i <= 8; ++i) {
    FrameStart();
    gfx.ViewOffset = i < 8 ? gfx.ViewOffset + step : last;
    InvalidateAll();
    if (!WaitUntil(1)) return false;
  }
  return true;
}

// A text of a record cut to at most n bytes at a character boundary and
// padded with spaces to width bytes.
void AppendColumn(char* line, size_t& used, const char* text, size_t n, size_t width) {
  const size_t len = sjis::FitLength(text, n);
  std::memcpy(line + used, text, len);
  used += len;
  while (used < width) line[used++] = ' ';
  line[used] = '\0';
}

ArtsRecord* ListArts(int32_t inputMode, int& count) {
  if (mode::PlayerAttacking(inputMode)) {
    count = kAttackArtsCount;
    return db.attackArts;
  }
  if (mode::PlayerChooses(inputMode)) {  // the choosing modes that are no attack intercept
    count = kDefenceArtsCount;
    return db.defenceArts;
  }
  count = 0;
  return nullptr;
}

}  // namespace

void drawBattle(int32_t x, int32_t y, int32_t w, int32_t h) {
  DrawBattleIn({x, y, w, h}, shell.InputMode);
}

void redrawBattle() {
  drawBattle(0, 0, kBattleWidth, kBattleHeight);
  InvalidateAll();
  plat::host().UpdateNow();
}

bool moveCard(int side, int row, int index, bool faceUp, int32_t x0, int32_t y0, int32_t x1,
              int32_t y1) {
  const int32_t remembered = shell.InputMode;
  shell.InputMode = mode::Busy;
  PlayWave(kCardMoveSound, plat::kWaveAsync);
  int32_t sx = 0, sy = CardBackY(side);
  if (faceUp) {
    sx = HandPictureX(index);
    sy = row == 0 ? HandPictureY(side) : PlayedPictureY(side);
  }
  auto drawCard = [&](int32_t x, int32_t y) {
    CopyKeyed(gfx.Screen, x, y, kCardWidth, kCardHeight, gfx.PartsSheet, sx, sy, kMagenta);
  };

  FrameStart();
  drawCard(x0, y0);
  InvalidateImageRect(x0, y0, kCardWidth, kCardHeight);
  bool ok = WaitUntil(5) != 0;

  const int64_t dx = int64_t{x1} - x0, dy = int64_t{y1} - y0;
  const auto n = static_cast<int64_t>(std::sqrt(static_cast<double>(dx * dx + dy * dy)) / 24);
  int32_t px = x0, py = y0;
  for (int64_t i = 1; ok && i <= n; ++i) {
    int32_t nx = x1, ny = y1;
    if (i < n) {
      const int64_t ox = i * dx / n;
      // A vertical move has no x to follow: it steps along y instead.
      const int64_t oy = dx != 0 ? ox * dy / dx : i * dy / n;
      nx = static_cast<int32_t>(x0 + ox);
      ny = static_cast<int32_t>(y0 + oy);
    }
    FrameStart();
    DrawBattleIn({px, py, kCardWidth, kCardHeight}, remembered);
    drawCard(nx, ny);
    const int32_t left = std::min(px, nx), top = std::min(py, ny);
    InvalidateImageRect(left, top, std::max(px, nx) + kCardWidth - left,
                        std::max(py, ny) + kCardHeight - top);
    px = nx;
    py = ny;
    ok = WaitUntil(5) != 0;
  }
  shell.InputMode = remembered;
  return ok;
}

bool zoomCard(int side, int entry) {
  for (int i = 0; i <= 20; ++i) {
    FrameStart();
    const double s = 5 - (std::cos(0.15708 * i) * 1.5 + 2.5);
    const auto w = static_cast<int32_t>(kCardWidth * s), h = static_cast<int32_t>(kCardHeight * s);
    const int32_t x = (kClientWidth - w) / 2, y = (kClientHeight - h) / 2;
    StretchCopy(gfx.Screen, x, y, w, h, gfx.PartsSheet, HandPictureX(entry), PlayedPictureY(side),
                kCardWidth, kCardHeight);
    InvalidateImageRect(x, y, w, h);
    if (!WaitUntil(0)) return false;
  }
  return true;
}

bool turnBanner() {
  // 42 pixels a digit: one for turns 1-9, two for 10-99.
  int32_t digits = 1;
  for (int32_t t = battle.turn; t >= 10 || t <= -10; t /= 10) ++digits;
  const int32_t d = kTurnDigitWidth * digits;
  FillImageRect(gfx.PartsSheet, kTurnDigitsX, kMarkerY, d, kTurnDigitsH, kMagenta);
  numfonts.Big.Draw(gfx.PartsSheet, kTurnDigitsX, kMarkerY, battle.turn, 0, 0);
  return Banner(kTurnLabelX, kMarkerY, d + kTurnLabelW, kTurnLabelH, 10);
}

bool resultBanner(int result) {
  struct Source {
    int32_t x, w;
  };
  // Win, draw, loss.
  static constexpr Source kBanners[3] = {{0, 158}, {360, 224}, {158, 202}};
  const Source& b = kBanners[std::clamp(result, 0, 2)];
  return Banner(b.x, kBannerY, b.w, kBannerH, 30);
}

bool scrollViewDown() {
  battle.side[0].playedPattern[0] = '\0';
  return ScrollView(16, kMaxViewOffset);
}

bool scrollViewUp() {
  battle.patternHint = 0;
  redrawBattle();
  return ScrollView(-16, 0);
}

void rebuildCandidates() {
  int32_t counts[5] = {};
  const BattleSide& me = battle.side[0];
  for (int k = 1; k <= std::clamp(battle.handSize, 1, kHandSlots); ++k) {
    if (me.hand[k].card != 0) ++counts[cardAttribute(me.hand[k].card)];
  }
  const size_t playedLength = strnlen(me.playedPattern, sizeof me.playedPattern);
  int arts = 0;
  ArtsRecord* table = ListArts(shell.InputMode, arts);
  CandidateList& list = battle.list;
  list.count = 0;
  for (int i = 1; i <= arts; ++i) {
    ArtsRecord& art = table[i];
    const bool covered = art.needAttr1 <= counts[1] && art.needAttr2 <= counts[2] &&
                         art.needAttr3 <= counts[3] && art.needAttr4 <= counts[4];
    const bool begins = strnlen(art.pattern, sizeof art.pattern) >= playedLength &&
                        std::memcmp(art.pattern, me.playedPattern, playedLength) == 0;
    art.candidate = art.learned && covered && begins ? 1 : 0;
    list.count += art.candidate;
  }
  list.top = 1;
  list.upShown = false;
  list.downShown = list.count > kCandidateLines;
  drawCandidates();
}

void CandidateLine(const ArtsRecord& art, char (&line)[kCandidateLineSize]) {
  size_t used = 0;
  AppendColumn(line, used, art.pattern, 12, 13);
  AppendColumn(line, used, art.name, 16, 30);
  AppendColumn(line, used, art.listText, sizeof art.listText, 0);
}

void drawCandidates() {
  TextWindow& window = msgwin.window[2];
  window.ClearAll();
  drawBattle(0, 480, kBattleWidth, 142);
  auto& host = plat::host();
  int arts = 0;
  const ArtsRecord* table = ListArts(shell.InputMode, arts);
  int place = 0, printed = 0;
  for (int i = 1; i <= arts && printed < kCandidateLines; ++i) {
    const ArtsRecord& art = table[i];
    if (!art.candidate) continue;
    if (++place < battle.list.top) continue;
    char line[kCandidateLineSize];
    CandidateLine(art, line);
    window.Print(line, 1);
    window.NewLine();
    ++printed;
  }
  InvalidateArea(0, 338, kClientWidth, 142);
  host.UpdateNow();
}

void candidatesUp() {
  CandidateList& list = battle.list;
  if (!list.upShown) return;
  list.downShown = true;
  list.top -= kCandidateLines;
  list.upShown = list.top != 1;
  drawCandidates();
}

void candidatesDown() {
  CandidateList& list = battle.list;
  if (!list.downShown) return;
  list.top += kCandidateLines;
  list.upShown = true;
  list.downShown = list.count - list.top - 6 > 0;
  drawCandidates();
}

bool playedCardAt(int x, int y, int& side, int& entry) {
  bool found = false;
  for (int s = 0; s < 2; ++s) {
    for (int n = 1; n <= kHandSlots; ++n) {
      if (!EntryUsed(s, n)) break;
      const SlotPosition p = playedPosition(s, n);
      const int32_t top = p.y - kMaxViewOffset;
      if (x >= p.x && x < p.x + kCardWidth && y >= top && y < top + kCardHeight) {
        side = s;
        entry = n;
        found = true;
      }
    }
  }
  return found;
}

void hoverDecide(bool over) {
  // The light is a comfort the player chooses; the battle screen itself
  // has none.
  over = over && settings.decideLight;
  if (over == battle.decideLit) return;
  battle.decideLit = over;
  drawBattle(kMarkerX, kMarkerTop, kMarkerSize, kMarkerSize);
  InvalidateArea(kMarkerX, kMarkerTop - gfx.ViewOffset, kMarkerSize, kMarkerSize);
}

void hoverPlayed(int x, int y) {
  if (battle.hoverSide >= 0) {
    const SlotPosition p = playedPosition(battle.hoverSide, battle.hoverEntry);
    drawBattle(p.x, p.y, kCardWidth, kCardHeight);
    InvalidateArea(p.x, p.y - kMaxViewOffset, kCardWidth, kCardHeight);
    battle.hoverSide = -1;
  }
  int side = 0, entry = 0;
  if (!playedCardAt(x, y, side, entry)) return;
  const SlotPosition p = playedPosition(side, entry);
  CopyKeyed(gfx.Screen, p.x, p.y, kCardWidth, kCardHeight, gfx.PartsSheet, HandPictureX(entry),
            PlayedPictureY(side), kMagenta);
  InvalidateArea(p.x, p.y - kMaxViewOffset, kCardWidth, kCardHeight);
  battle.hoverSide = side;
  battle.hoverEntry = entry;
}
