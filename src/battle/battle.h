// The card battle's state: one record for the whole run, filled anew by
// every ".battle", and the deck and hand operations the turns share.
//
// The player is side 0 and the opponent side 1; every per-side array is
// indexed that way. The player's HP and MP are the player's own values, so
// the battle reaches them through sideVitals() instead of keeping a copy.
#pragma once

#include <cstddef>
#include <cstdint>

#include "data/database.h"

constexpr int kHandSlots = 6;           // slots and played entries 1..6
constexpr int kBattleDeckSize = 100;    // deck elements 1..100
constexpr int kPlayedPatternSize = 16;  // six two-byte symbols and the end
constexpr int32_t kCardWidth = 100;
constexpr int32_t kCardHeight = 138;
constexpr int32_t kBattleWidth = 640;
constexpr int32_t kBattleHeight = 622;
// A ".dec" file: a word the battle ignores, then the 100 deck words.
constexpr size_t kDeckFileSize = 404;

struct HandSlot {
  uint32_t card = 0;   // 1..50, 0 = empty
  uint8_t inHand = 1;  // 0 once played this exchange
};

struct PlayedCard {
  uint32_t card = 0;
  int32_t fromSlot = 0;  // 1..6; 0 = the entry is empty and ends the list
};

struct BattleSide {
  uint32_t deck[kBattleDeckSize + 1] = {};  // element 0 holds no card
  int32_t drawIndex = 1;
  int32_t deckLeft = 0;
  HandSlot hand[kHandSlots + 1];
  PlayedCard played[kHandSlots + 1];
  char playedPattern[kPlayedPatternSize] = {};
  int32_t physDamage = 0, magicDamage = 0;
  int32_t hpRecovery = 0, mpRecovery = 0;
  int32_t mpCharge = 0;
  int32_t drain = 0;
  // Barriers.
  int32_t physAttackUp = 0, physGuard = 0, magicAttackUp = 0, magicGuard = 0;
  int32_t hpRecoveryUp = 0, mpRecoveryUp = 0;
  uint8_t poisoned = 0, poisonGuard = 0;
  int32_t curseTurns = 0;
  uint8_t curseGuard = 0;

  bool HasBarrier() const {
    return physAttackUp || physGuard || magicAttackUp || magicGuard || hpRecoveryUp || mpRecoveryUp;
  }
};

// The candidate arts list below the player's hand.
struct CandidateList {
  int32_t top = 1;  // the candidate shown on the first line, from 1
  int32_t count = 0;
  bool upShown = false, downShown = false;
};

// What a battle did, for the tools that measure battles: the arts that
// took effect and the HP each side took from the other.
struct BattleRecord {
  int32_t attackArts[2][kAttackArtsCount + 1] = {};
  int32_t defenceArts[2][kDefenceArtsCount + 1] = {};
  int64_t damage[2] = {};
};

struct BattleState {
  BattleSide side[2];
  // The opponent's HP and MP, from the command.
  int32_t opponentHp = 0, opponentMaxHp = 0, opponentMp = 0, opponentMaxMp = 0;
  int32_t handSize = kHandSlots;
  int32_t opponentStyle = 1;
  int32_t turn = 1;
  int32_t attackMarker = 0;  // 0 not decided, 1 the player attacks, 2 the opponent
  int32_t patternHint = 0;
  // Fields: at most one is non-zero.
  int32_t physAttackField = 0, physGuardField = 0, magicAttackField = 0, magicGuardField = 0;
  int32_t hpRecoveryField = 0, mpRecoveryField = 0;
  CandidateList list;
  // 0, or the turn of the opponent's first failed choice since it last
  // chose an art.
  int32_t idleSince = 0;
  // The played card highlighted under the pointer: side 0/1, entry 1..6;
  // side -1 when none is.
  int32_t hoverSide = -1, hoverEntry = 0;
  // The pointer is over the decide square while the player chooses: the
  // square is drawn brightened.
  bool decideLit = false;
  BattleRecord record;

  bool AnyField() const {
    return physAttackField || physGuardField || magicAttackField || magicGuardField ||
           hpRecoveryField || mpRecoveryField;
  }
};
extern BattleState battle;
void ResetBattle();

// HP and MP of a side: the player's own values for side 0, the battle's for
// side 1.
struct SideVitals {
  int32_t& hp;
  int32_t& maxHp;
  int32_t& mp;
  int32_t& maxMp;
};
SideVitals sideVitals(int side);

// Where the cards lie on the 640 x 622 battle screen: the top-left corner of
// hand slot k and played entry n (1..6) of a side.
struct SlotPosition {
  int32_t x, y;
};
SlotPosition handPosition(int side, int k);
SlotPosition playedPosition(int side, int n);

// The card's record, or null for a number outside 1..50: such a card draws
// as no card and has no attribute.
const CardRecord* cardRecord(uint32_t card);
int32_t cardAttribute(uint32_t card);

// ".battle": reads its ten arguments from the command line, sets the battle
// up and starts the first turn. 1 when the battle waits for the player, 0
// when the program must end.
[[nodiscard]] int startBattle();
// The battle's text windows: 1 the message box, 2 the arts list, 4 the card
// detail; what qf-dbc measures the database's texts with.
void SetupBattleWindows();
// The opponent's deck file over side 1's deck words: a short file sets only
// its first words, an empty one none.
void loadDeckBytes(const uint8_t* data, size_t size);
// Cards before the first 0 among deck elements 1..100.
int32_t deckLength(const uint32_t* deck);
// Three passes of swaps over deck elements 1..n with the shared generator.
void shuffleDeck(uint32_t* deck, int32_t n);
// Each answers false only when a wait reported quit.
[[nodiscard]] bool fillHand(int side);
[[nodiscard]] bool compactHand(int side);
[[nodiscard]] bool fillBothHands();
[[nodiscard]] bool compactBothHands();
// Back to the scenario's screen and sound, and on with the scenario: the
// interpreter's result.
[[nodiscard]] int leaveBattle();
