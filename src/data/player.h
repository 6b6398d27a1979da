// The player: money, date, HP and MP, deck and stock, the collection, the
// learned arts and known patterns, and the files that keep the lasting part.
#pragma once

#include <cstdint>

#include "core/named_value.h"
#include "data/database.h"
#include "platform/platform.h"

constexpr int kDeckCapacity = 100;
constexpr int kStockCapacity = 300;

// A list of card numbers at positions 1..count; position 0 holds no card.
template <int Capacity>
struct CardList {
  static constexpr int capacity = Capacity;
  int32_t count = 0;
  uint32_t cards[Capacity + 1] = {};
};
using DeckList = CardList<kDeckCapacity>;
using StockList = CardList<kStockCapacity>;

struct PlayerState {
  int32_t money = 0;
  int32_t result = 0;
  plat::CalendarTime date;
  // The player's side of the battle: the battle changes them in place.
  int32_t hp = 0, maxhp = 0, mp = 0, maxmp = 0;
  DeckList deck;
  StockList stock;
  uint8_t collection[kCardCount + 1] = {};
  uint8_t strong = 0;
  uint8_t knownAttackPatterns[kPatternCodes] = {};
  uint8_t knownDefencePatterns[kPatternCodes] = {};
  // One bit per progress file (collection, arts list, patterns) that was
  // there at start-up but could not be read: it is not written this run.
  uint8_t keptProgressFiles = 0;
};
extern PlayerState player;

void ResetPlayerState();

inline constexpr const char* kCollectionFile = "save\\Collection.dat";
inline constexpr const char* kArtsListFile = "save\\ArtsList.dat";
inline constexpr const char* kPatternFile = "save\\Pattern.dat";
constexpr size_t kCollectionFileSize = 51;
constexpr size_t kArtsListFileSize = 105;
constexpr size_t kPatternFileSize = 10921;

// Adds k copies of card c (clamped to the free room); sets the card's
// collection flag and recomputes the maxima when anything was added.
void addCards(DeckList& list, int32_t card, int32_t k);
void addCards(StockList& list, int32_t card, int32_t k);
// Removes up to k copies; the last entry fills each gap.
void removeCards(DeckList& list, int32_t card, int32_t k);
void removeCards(StockList& list, int32_t card, int32_t k);
int32_t countCards(const DeckList& list, int32_t card);
int32_t countCards(const StockList& list, int32_t card);
// Discards count randomly chosen cards, each drawn with the shared generator;
// a count larger than the list empties it, one below 1 does nothing.
void dumpCards(DeckList& list, int32_t count);
void dumpCards(StockList& list, int32_t count);
// 1 once card c (1..50) has been obtained, else 0.
int32_t inCollection(int32_t card);
// Teaches attack art n (1..70) and makes its pattern known; any other number
// does nothing.
void learnAttackArt(int32_t n);
// Takes effect at the next recomputation of the maxima.
void setStrong(bool on);
// Number of cards 1..50 whose collection flag is non-zero.
int32_t collectionCount();

// Sets the maxima from the strong flag or the collection and the month, and
// refills HP and MP; returns the new max MP.
int32_t recomputeMaxima();

// The script's writes of the player's HP and MP.
void setHp(int32_t value);
void setMaxHp(int32_t value);
void setMp(int32_t value);
void setMaxMp(int32_t value);
// The script's writes of the date: set the field, normalise the calendar
// record, recompute the maxima. A date the calendar cannot represent is
// refused and the old one kept.
void setYear(int32_t year);
void setMonth(int32_t month);  // 1..12
void setDay(int32_t day);

// A progress file that is there but cannot be read is reported once and
// then left alone: saveProgress does not write it for the rest of the run.
void loadProgress();
void saveProgress();
void resetProgress();

// Writes one file of the player's (progress or saved game), reporting a
// failure with the write-error box; 1 when written.
int writeGameFile(const char* name, const void* data, size_t size);

// The player's numbers under the names the scenarios use.
NamedValues PlayerValues();
