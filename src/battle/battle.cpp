// The battle's state: set up from ".battle" and taken down again, the
// places and records it reads, and the deck and hand operations every turn
// uses.
#include "battle/battle.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "battle/battle_screen.h"
#include "battle/battle_texts.h"
#include "battle/snapshot.h"
#include "battle/turn.h"
#include "core/mistake_log.h"
#include "core/random.h"
#include "core/waits.h"
#include "data/player.h"
#include "data/save_file.h"
#include "graphics/blit.h"
#include "graphics/graphics_texts.h"
#include "graphics/image.h"
#include "graphics/k16.h"
#include "graphics/mosaic_change.h"
#include "graphics/textwindow.h"
#include "platform/platform.h"
#include "script/interpreter.h"
#include "script/presentation.h"
#include "script/reader.h"
#include "script/variables.h"
#include "sound/music.h"

BattleState battle;

void ResetBattle() { battle = BattleState{}; }

namespace {

constexpr SlotPosition kPlayerHand[kHandSlots + 1] = {
    {0, 0}, {5, 338}, {112, 338}, {217, 338}, {323, 338}, {429, 338}, {535, 338}};
constexpr SlotPosition kPlayerPlayed[kHandSlots + 1] = {
    {0, 0}, {352, 196}, {368, 196}, {384, 196}, {400, 196}, {416, 196}, {432, 196}};
constexpr SlotPosition kOpponentHand[kHandSlots + 1] = {{0, 0},   {535, 4}, {429, 4}, {323, 4},
                                                        {217, 4}, {112, 4}, {5, 4}};
constexpr SlotPosition kOpponentPlayed[kHandSlots + 1] = {
    {0, 0}, {108, 146}, {124, 146}, {140, 146}, {156, 146}, {172, 146}, {188, 146}};

// Where a side's dealt cards come from: off the screen at its own edge.
constexpr SlotPosition kDealFrom[2] = {{640, 338}, {-100, 4}};

constexpr const char* kPlayerFace = "fg\\tavrin.k16";
constexpr const char* kBattleBack = "battleback1.K16";

int SlotIndex(int k) { return std::clamp(k, 1, kHandSlots); }

// The next argument of ".battle": a name gets the bracket substitution, a
// number is an expression.
void NextName(char (&out)[kLineSize]) {
  NextToken(out, scn.LineBuffer);
  ExpandVariables(out);
}

int32_t NextNumber() {
  NextToken(scn.TokenBuffer, scn.LineBuffer);
  return EvalTerm(scn.TokenBuffer);
}

// A file that cannot be read leaves the previous deck. Either that or a
// deck without cards is legal, and told.
void ReadDeckFile(const char* name) {
  std::vector<uint8_t> bytes;
  if (!plat::host().ReadWholeFile(name, bytes)) {
    ReportMistake(FileProblem("deck", name, "the opponent") + ": the last deck read is used");
    return;
  }
  loadDeckBytes(bytes.data(), bytes.size());
  if (deckLength(battle.side[1].deck) == 0)
    ReportMistake("the opponent's deck " + Quoted(name) + " holds no cards");
}

void LoadFace(const char* file, const char* whose) {
  if (LoadK16Rect(gfx.PartsSheet, file, 701, 139, 98, 98, 18, 18)) return;
  plat::host().ShowMessageBox(file, texts::kFaceLoadErrorCaption);
  ReportMistake(FileProblem("picture", file, whose));
}

}  // namespace

void SetupBattleWindows() {
  msgwin.window[1].Setup(&gfx.Screen, 128, 168, 384, 144, texts::kFaceMincho, 28, 700, 0, 0, 2, 8,
                         0xFFFFFF, 0x000000, kBlueKey);
  msgwin.window[2].Setup(&gfx.Screen, 4, 486, 632, 134, texts::kFaceGothic, 18, 400, 0, 0, 2, 8,
                         0xFFFFFF, 0x000000, kBlueKey);
  msgwin.window[4].Setup(&gfx.Screen, 336, 190, 288, 416, texts::kFaceGothic, 18, 700, -2, 2, 2, 20,
                         0xFFFFFF, 0x000000, kBlueKey);
}

void loadDeckBytes(const uint8_t* data, size_t size) {
  if (size == 0) return;
  static_assert(sizeof battle.side[1].deck == kDeckFileSize);
  std::memcpy(battle.side[1].deck, data, std::min(size, kDeckFileSize));
}

int32_t deckLength(const uint32_t* deck) {
  for (int i = 1; i <= kBattleDeckSize; ++i) {
    if (deck[i] == 0) return i - 1;
  }
  return kBattleDeckSize;
}

SideVitals sideVitals(int side) {
  if (side == 0) return {player.hp, player.maxhp, player.mp, player.maxmp};
  return {battle.opponentHp, battle.opponentMaxHp, battle.opponentMp, battle.opponentMaxMp};
}

SlotPosition handPosition(int side, int k) {
  return side == 0 ? kPlayerHand[SlotIndex(k)] : kOpponentHand[SlotIndex(k)];
}

SlotPosition playedPosition(int side, int n) {
  return side == 0 ? kPlayerPlayed[SlotIndex(n)] : kOpponentPlayed[SlotIndex(n)];
}

const CardRecord* cardRecord(uint32_t card) {
  return card >= 1 && card <= static_cast<uint32_t>(kCardCount) ? &db.cards[card] : nullptr;
}

int32_t cardAttribute(uint32_t card) {
  const CardRecord* r = cardRecord(card);
  return r && r->attribute >= 1 && r->attribute <= 4 ? r->attribute : 0;
}

void shuffleDeck(uint32_t* deck, int32_t n) {
  n = std::min(n, kBattleDeckSize);
  if (n < 1) return;
  for (int pass = 0; pass < 3; ++pass) {
    for (int32_t i = 1; i <= n; ++i) {
      const int32_t j = NextRandom() % n;
      std::swap(deck[i], deck[j + 1]);
    }
  }
}

bool compactHand(int side) {
  BattleSide& s = battle.side[side];
  const int hand = SlotIndex(battle.handSize);
  bool changed = false;
  for (int k = 1; k <= hand; ++k) {
    if (!s.hand[k].inHand) {
      s.hand[k] = HandSlot{};
      changed = true;
    }
  }
  if (changed) {
    redrawBattle();
    FrameStart();
    if (!WaitOrClick(500)) return false;
  }
  for (int k = 1; k <= hand; ++k) {
    if (s.hand[k].card != 0) continue;
    int j = k + 1;
    while (j <= hand && s.hand[j].card == 0) ++j;
    if (j > hand) break;
    const uint32_t card = s.hand[j].card;
    s.hand[j].card = 0;
    const SlotPosition from = handPosition(side, j), to = handPosition(side, k);
    if (!moveCard(side, 0, j, side == 0, from.x, from.y, to.x, to.y)) return false;
    const int32_t row = kCardHeight * side;
    Copy(gfx.PartsSheet, kCardWidth * k, row, kCardWidth, kCardHeight, gfx.PartsSheet,
         kCardWidth * j, row);
    s.hand[k].card = card;
  }
  return true;
}

bool fillHand(int side) {
  if (!compactHand(side)) return false;
  BattleSide& s = battle.side[side];
  const int hand = SlotIndex(battle.handSize);
  const int m = s.curseTurns != 0 ? hand - 1 : hand;
  for (int k = 1; k <= m; ++k) {
    if (s.hand[k].card != 0) continue;
    if (s.deckLeft <= 0 || s.drawIndex < 1 || s.drawIndex > kBattleDeckSize) break;
    const uint32_t card = s.deck[s.drawIndex];
    const int32_t x = kCardWidth * k, y = kCardHeight * side;
    if (cardRecord(card)) {
      char file[32];
      std::snprintf(file, sizeof file, "cards\\cards%u.K16", static_cast<unsigned>(card));
      LoadNeededK16(gfx.PartsSheet, file, x, y, "a card in the hand");
    } else {
      // A number no card has: nothing to show where it lies.
      FillImageRect(gfx.PartsSheet, x, y, kCardWidth, kCardHeight, kMagenta);
    }
    const SlotPosition to = handPosition(side, k);
    if (!moveCard(side, 0, k, side == 0, kDealFrom[side].x, kDealFrom[side].y, to.x, to.y))
      return false;
    ++s.drawIndex;
    s.hand[k].card = card;
    --s.deckLeft;
  }
  return true;
}

bool fillBothHands() { return fillHand(0) && fillHand(1); }

bool compactBothHands() { return compactHand(0) && compactHand(1); }

namespace {

// The opponent's face, figures and deck, as ".battle" names them; the
// player brings the deck it has built.
void ReadOpponent(char (&face)[kLineSize]) {
  char deckName[kLineSize];
  NextName(face);
  battle.opponentHp = NextNumber();
  battle.opponentMaxHp = NextNumber();
  battle.opponentMp = NextNumber();
  battle.opponentMaxMp = NextNumber();
  battle.opponentStyle = NextNumber();
  NextName(deckName);

  BattleSide& me = battle.side[0];
  static_assert(sizeof me.deck == sizeof player.deck.cards);
  std::memcpy(me.deck, player.deck.cards, sizeof me.deck);
  char file[kLineSize + 8];
  std::snprintf(file, sizeof file, "%s.dec", deckName);
  ReadDeckFile(file);
}

// Both decks from their first card, hands and rows empty; the next
// argument says whether the opponent's deck is shuffled, the player's
// always is.
void PrepareDecks() {
  BattleSide& me = battle.side[0];
  BattleSide& them = battle.side[1];
  for (BattleSide* s : {&me, &them}) {
    s->drawIndex = 1;
    for (int k = 1; k <= kHandSlots; ++k) {
      s->hand[k] = HandSlot{};
      s->played[k] = PlayedCard{};
    }
    s->playedPattern[0] = '\0';
  }
  me.deckLeft = std::clamp(player.deck.count, 0, kBattleDeckSize);
  them.deckLeft = deckLength(them.deck);
  // Legal, and the player then has nothing to play from the start.
  if (me.deckLeft == 0) ReportMistake("the player's deck is empty");

  if (NextNumber() == 1) shuffleDeck(them.deck, them.deckLeft);
  shuffleDeck(me.deck, me.deckLeft);
}

// Nothing of the last battle carries over: turn 1 with no marker, fields,
// barriers or afflictions, and an empty list and record.
void ClearBattleState() {
  battle.attackMarker = 0;
  battle.turn = 1;
  battle.patternHint = 0;
  battle.physAttackField = battle.physGuardField = battle.magicAttackField = 0;
  battle.magicGuardField = battle.hpRecoveryField = battle.mpRecoveryField = 0;
  battle.list = CandidateList{};
  battle.record = BattleRecord{};
  battle.idleSince = 0;
  battle.hoverSide = -1;
  battle.decideLit = false;
  for (BattleSide& s : battle.side) {
    s.physAttackUp = s.physGuard = s.magicAttackUp = s.magicGuard = 0;
    s.hpRecoveryUp = s.mpRecoveryUp = 0;
    s.poisoned = s.poisonGuard = s.curseGuard = 0;
    s.curseTurns = 0;
    s.drain = 0;
  }
}

// The scene is kept for the way back and mosaics out; the battle screen,
// both faces on the parts sheet, mosaics in. False when the program is
// closing.
bool BringInBattleScreen(const char* face) {
  takeSnapshot();
  SetupBattleWindows();

  gfx.ViewOffset = 0;
  if (!screenChangeOut()) return false;

  LoadNeededK16(gfx.PartsSheet, "source2.K16", 0, 0, "the battle's interface sheet");
  LoadFace(kPlayerFace, "the player's face");
  CopyMirrored(gfx.PartsSheet, 701, 1, 98, 98, gfx.PartsSheet, 701, 139);
  char faceFile[kLineSize + 8];
  std::snprintf(faceFile, sizeof faceFile, "%s.K16", face);
  LoadFace(faceFile, "the opponent's face");

  drawBattle(0, 0, kBattleWidth, kBattleHeight);
  Image::SwapBuffers(gfx.Screen, gfx.BackPage);
  if (!screenChangeIn()) return false;
  drawBattle(0, 0, kBattleWidth, kBattleHeight);
  return true;
}

}  // namespace

int startBattle() {
  // Skip mode reads a story on; a battle is no story to read past.
  shell.SkipMode = false;
  shell.InBattle = true;
  StopAllSound();

  char face[kLineSize];
  ReadOpponent(face);
  PrepareDecks();
  // The screen has room for six cards a hand, and a hand needs one.
  battle.handSize = std::clamp(NextNumber(), 1, kHandSlots);
  const int32_t battleKind = NextNumber();
  if (battleKind == 1 || battleKind == 2)
    LoadNeededK16(gfx.WorkPage, kBattleBack, 0, 0, "the battle background");

  ClearBattleState();
  if (!BringInBattleScreen(face)) return 0;

  if (battleKind == 1) PlayMusic("bmid\\card2.mid", 1);
  if (battleKind == 2) PlayMusic("bmid\\card15.mid", 1);

  return fillBothHands() && startTurn() ? 1 : 0;
}

int leaveBattle() {
  StopAllSound();
  restoreSnapshotWindows(snapshot);
  gfx.ViewOffset = 0;
  if (!screenChangeOut()) return 0;
  LoadNeededK16(gfx.PartsSheet, "source1.K16", 0, 0, "the interface sheet");
  char back[kSavedNameSize];
  CopyBounded(back, snapshot.backPicture, sizeof snapshot.backPicture);
  LoadNeededK16(gfx.WorkPage, back, 0, 0, "the scene's back layer");
  ComposeSceneIntoBackPage();
  if (!screenChangeIn()) return 0;
  RestartScriptSound();
  shell.InBattle = false;
  return ResumeScript();
}
