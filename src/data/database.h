// The card and arts database: three flat tables read once at start-up, in the
// exact layout of their files.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
struct CardRecord {
  int32_t attribute;  // 1..4, 0 for a card that adds no pattern symbol
  int32_t reserved;
  char name[40];
  char illustrator[20];
  char description[256];
  char attackEffect[100];
  char interceptEffect[100];
};

struct ArtsRecord {
  uint8_t learned;
  uint8_t candidate;  // battle scratch flag
  char name[17];
  char listText[51];
  char effectText[81];
  char pattern[13];  // up to six two-byte symbols
  int32_t effectKind;
  int32_t needAttr1;
  int32_t needAttr2;
  int32_t needAttr3;
  int32_t needAttr4;
  int32_t needHp;
  int32_t mpCost;
  int32_t effectValue;
  int32_t weight;
};
#pragma pack(pop)

static_assert(sizeof(CardRecord) == 524);
static_assert(offsetof(CardRecord, attribute) == 0);
static_assert(offsetof(CardRecord, reserved) == 4);
static_assert(offsetof(CardRecord, name) == 8);
static_assert(offsetof(CardRecord, illustrator) == 48);
static_assert(offsetof(CardRecord, description) == 68);
static_assert(offsetof(CardRecord, attackEffect) == 324);
static_assert(offsetof(CardRecord, interceptEffect) == 424);

static_assert(sizeof(ArtsRecord) == 200);
static_assert(offsetof(ArtsRecord, learned) == 0);
static_assert(offsetof(ArtsRecord, candidate) == 1);
static_assert(offsetof(ArtsRecord, name) == 2);
static_assert(offsetof(ArtsRecord, listText) == 19);
static_assert(offsetof(ArtsRecord, effectText) == 70);
static_assert(offsetof(ArtsRecord, pattern) == 151);
static_assert(offsetof(ArtsRecord, effectKind) == 164);
static_assert(offsetof(ArtsRecord, needAttr1) == 168);
static_assert(offsetof(ArtsRecord, needAttr2) == 172);
static_assert(offsetof(ArtsRecord, needAttr3) == 176);
static_assert(offsetof(ArtsRecord, needAttr4) == 180);
static_assert(offsetof(ArtsRecord, needHp) == 184);
static_assert(offsetof(ArtsRecord, mpCost) == 188);
static_assert(offsetof(ArtsRecord, effectValue) == 192);
static_assert(offsetof(ArtsRecord, weight) == 196);

// The records are the files' bytes; the files are little-endian.
static_assert(std::endian::native == std::endian::little);

constexpr int kCardCount = 50;
constexpr int kAttackArtsCount = 70;
constexpr int kDefenceArtsCount = 34;
constexpr int kPatternCodes = 5461;  // codes 0..5460
constexpr int kMaxPatternSymbols = 6;

// What an art does, its record's effectKind. Attack arts use the damage,
// barrier, field, recovery and status kinds; defence arts scale or return
// the attacker's damage and share the recovery and status kinds. Kinds 21
// and 24 to 27 are valid in the data and do nothing.
enum class ArtKind : int32_t {
  None = 0,  // no art: the dummy record, or a pattern that spells none
  PhysicalDamage = 1,
  PhysicalScale = 2,    // defence: the attacker's physical damage in percent
  PhysicalCounter = 3,  // defence: a share of it dealt back
  PhysicalAttackBarrier = 4,
  PhysicalAttackField = 5,
  PhysicalGuardBarrier = 6,
  PhysicalGuardField = 7,
  MagicDamage = 8,
  MagicScale = 9,
  MagicCounter = 10,
  MagicAttackBarrier = 11,
  MagicAttackField = 12,
  MagicGuardBarrier = 13,
  MagicGuardField = 14,
  HpRecovery = 15,  // in percent of the maximum, either role
  HpRecoveryBarrier = 16,
  HpRecoveryField = 17,
  MpRecovery = 18,
  MpRecoveryBarrier = 19,
  MpRecoveryField = 20,
  CurePoison = 22,
  PoisonGuard = 23,
  CureCurse = 28,
  CurseGuard = 29,
};
constexpr int kEffectKindMin = static_cast<int>(ArtKind::PhysicalDamage);
constexpr int kEffectKindMax = static_cast<int>(ArtKind::CurseGuard);

// The kind's name as the manual and the tools spell it; null for the numbers
// that name no kind (they do nothing in battle).
const char* ArtKindName(ArtKind kind);

inline constexpr const char* kCardDataFile = "CardData.dat";
inline constexpr const char* kAttackArtsFile = "AtArts.dat";
inline constexpr const char* kDefenceArtsFile = "DfArts.dat";

// The record keeps the file's number, whatever it is.
constexpr ArtKind artKind(const ArtsRecord& art) { return static_cast<ArtKind>(art.effectKind); }

// Record 0 of every table is a dummy: cards and arts are numbered from 1.
struct Database {
  CardRecord cards[kCardCount + 1];
  ArtsRecord attackArts[kAttackArtsCount + 1];
  ArtsRecord defenceArts[kDefenceArtsCount + 1];
};
extern Database db;

void ResetDatabase();
void loadCardData();
void loadArts();
// One table from the bytes of its file, as the loads above read it.
enum class DatabaseTable { Cards, AttackArts, DefenceArts };
void loadTableBytes(DatabaseTable which, const uint8_t* data, size_t size);

// The pattern symbol (two Shift-JIS bytes, NUL-terminated) of attribute 1..4;
// null for any other attribute.
const char* attributeSymbol(int attribute);
// Attribute 1..4 of the two-byte unit at text, 0 if it is no symbol.
int symbolAttribute(const char* text);

// Code 0..5460 of a pattern string: bijective base 4, first symbol most
// significant. A string of more than six units has no entry in the
// known-pattern tables and gives 0, the empty pattern, rather than an index
// past their end.
int patternCode(const char* pattern);
