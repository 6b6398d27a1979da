#include "data/player.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/named_value.h"
#include "core/random.h"
#include "data/data_texts.h"

PlayerState player;

void ResetPlayerState() { player = PlayerState{}; }

namespace {

bool ValidCard(int32_t card) { return card >= 1 && card <= kCardCount; }

template <int Capacity>
void AddTo(CardList<Capacity>& list, int32_t card, int32_t k) {
  if (!ValidCard(card)) return;
  k = std::min(k, Capacity - list.count);
  if (k <= 0) return;
  for (int32_t i = 1; i <= k; ++i) list.cards[list.count + i] = static_cast<uint32_t>(card);
  player.collection[card] = 1;
  recomputeMaxima();
  list.count += k;
}

template <int Capacity>
void RemoveFrom(CardList<Capacity>& list, int32_t card, int32_t k) {
  if (!ValidCard(card)) return;
  int32_t pos = 1;
  while (k > 0 && pos <= list.count) {
    if (list.cards[pos] != static_cast<uint32_t>(card)) {
      ++pos;
      continue;
    }
    // The last entry takes the gap and is examined next.
    list.cards[pos] = list.cards[list.count];
    list.cards[list.count] = 0;
    --list.count;
    --k;
  }
}

template <int Capacity>
int32_t CountIn(const CardList<Capacity>& list, int32_t card) {
  int32_t n = 0;
  for (int32_t i = 1; i <= list.count; ++i) n += list.cards[i] == static_cast<uint32_t>(card);
  return n;
}

template <int Capacity>
void DumpFrom(CardList<Capacity>& list, int32_t count) {
  for (int32_t i = 0; i < count && list.count > 0; ++i) {
    const int32_t r = NextRandom() % list.count + 1;
    // The last entry fills the chosen place; its own place is cleared.
    list.cards[r] = list.cards[list.count];
    list.cards[list.count] = 0;
    --list.count;
  }
}

int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

void NormaliseDate(const plat::CalendarTime& before) {
  if (!plat::host().NormaliseCalendar(player.date)) player.date = before;
  recomputeMaxima();
}

// The progress files, in the order they are read and written.
enum ProgressFile { kCollectionProgress, kArtsListProgress, kPatternProgress };

// A progress file that is there but cannot be read (its permissions, a
// failing disk) still holds the player's progress: it is kept as it is for
// the rest of the run rather than written over with the empty progress the
// game starts from, and the player is told so once.
bool ReadProgress(ProgressFile which, const char* name, std::vector<uint8_t>& bytes) {
  auto& h = plat::host();
  bytes.clear();
  if (h.ReadWholeFile(name, bytes)) return !bytes.empty();
  if (h.FileExists(name)) {
    player.keptProgressFiles |= static_cast<uint8_t>(1u << which);
    const std::string text = std::string(name) + texts::kKeptUnreadable;
    h.ShowMessageBox(text.c_str(), texts::kReadErrorCaption);
  }
  return false;
}

void WriteProgress(ProgressFile which, const char* name, const void* data, size_t size) {
  if (player.keptProgressFiles & (1u << which)) return;
  writeGameFile(name, data, size);
}

}  // namespace

void addCards(DeckList& list, int32_t card, int32_t k) { AddTo(list, card, k); }
void addCards(StockList& list, int32_t card, int32_t k) { AddTo(list, card, k); }
void removeCards(DeckList& list, int32_t card, int32_t k) { RemoveFrom(list, card, k); }
void removeCards(StockList& list, int32_t card, int32_t k) { RemoveFrom(list, card, k); }
int32_t countCards(const DeckList& list, int32_t card) { return CountIn(list, card); }
int32_t countCards(const StockList& list, int32_t card) { return CountIn(list, card); }

void dumpCards(DeckList& list, int32_t count) { DumpFrom(list, count); }
void dumpCards(StockList& list, int32_t count) { DumpFrom(list, count); }

int32_t inCollection(int32_t card) { return ValidCard(card) && player.collection[card] != 0; }

void learnAttackArt(int32_t n) {
  if (n < 1 || n > kAttackArtsCount) return;
  ArtsRecord& art = db.attackArts[n];
  art.learned = 1;
  // The field holds up to six symbols and may lack its terminator.
  char pattern[sizeof art.pattern + 1] = {};
  std::memcpy(pattern, art.pattern, sizeof art.pattern);
  player.knownAttackPatterns[patternCode(pattern)] = 1;
}

void setStrong(bool on) { player.strong = on ? 1 : 0; }

int32_t collectionCount() {
  int32_t n = 0;
  for (int c = 1; c <= kCardCount; ++c) n += player.collection[c] != 0;
  return n;
}

int32_t recomputeMaxima() {
  if (player.strong) {
    player.maxhp = player.hp = 9999;
    player.maxmp = player.mp = 999;
  } else {
    // A loaded game's date has not been through the calendar: its month
    // wraps like the rest of the script's arithmetic.
    const int32_t month = Wrap(int64_t{player.date.mon} + 1);
    player.maxmp = player.mp = Wrap(int64_t{month} * collectionCount());
    player.maxhp = player.hp = Wrap(int64_t{10} * player.maxmp);
  }
  return player.maxmp;
}

void setHp(int32_t value) { player.hp = std::clamp(value, 0, std::max(0, player.maxhp)); }
void setMp(int32_t value) { player.mp = std::clamp(value, 0, std::max(0, player.maxmp)); }

void setMaxHp(int32_t value) {
  player.maxhp = std::max(value, 0);
  player.hp = std::min(player.hp, player.maxhp);
}

void setMaxMp(int32_t value) {
  player.maxmp = std::max(value, 0);
  player.mp = std::min(player.mp, player.maxmp);
}

void setYear(int32_t year) {
  const auto before = player.date;
  player.date.year = Wrap(int64_t{year} - 1900);
  NormaliseDate(before);
}

void setMonth(int32_t month) {
  const auto before = player.date;
  player.date.mon = Wrap(int64_t{month} - 1);
  NormaliseDate(before);
}

void setDay(int32_t day) {
  const auto before = player.date;
  player.date.mday = day;
  NormaliseDate(before);
}

// The player's numbers as the scenarios name them. Writes go through the
// setters, which keep each value inside its rules.
namespace {
constexpr NamedValue kValueRows[] = {
    {"hp", [] { return player.hp; }, setHp},
    {"maxhp", [] { return player.maxhp; }, setMaxHp},
    {"mp", [] { return player.mp; }, setMp},
    {"maxmp", [] { return player.maxmp; }, setMaxMp},
    {"result", [] { return player.result; }, nullptr},
    {"nstock", [] { return player.stock.count; }, nullptr},
    {"ndeck", [] { return player.deck.count; }, nullptr},
    {"ncollection", collectionCount, nullptr},
    {"year", [] { return static_cast<int32_t>(static_cast<uint32_t>(player.date.year) + 1900u); },
     setYear},
    {"month", [] { return static_cast<int32_t>(static_cast<uint32_t>(player.date.mon) + 1u); },
     setMonth},
    {"day", [] { return player.date.mday; }, setDay},
    {"weekday", [] { return player.date.wday; }, nullptr},
    {"money", [] { return player.money; }, [](int32_t v) { player.money = v; }},
};
}  // namespace

NamedValues PlayerValues() {
  return NamedValues{kValueRows, sizeof kValueRows / sizeof kValueRows[0]};
}

void loadProgress() {
  // An empty file reads as nothing at all: there is nothing to copy.
  std::vector<uint8_t> bytes;
  if (ReadProgress(kCollectionProgress, kCollectionFile, bytes))
    std::memcpy(player.collection, bytes.data(), std::min(sizeof player.collection, bytes.size()));

  if (ReadProgress(kArtsListProgress, kArtsListFile, bytes)) {
    // Only the bytes the file holds replace the database's initial flags.
    const size_t have = std::min(bytes.size(), kArtsListFileSize);
    for (int n = 1; n <= kAttackArtsCount && static_cast<size_t>(n) < have; ++n)
      db.attackArts[n].learned = bytes[static_cast<size_t>(n)];
    for (int n = 1; n <= kDefenceArtsCount &&
                    static_cast<size_t>(kAttackArtsCount) + static_cast<size_t>(n) < have;
         ++n)
      db.defenceArts[n].learned =
          bytes[static_cast<size_t>(kAttackArtsCount) + static_cast<size_t>(n)];
  }

  if (ReadProgress(kPatternProgress, kPatternFile, bytes)) {
    const size_t have = std::min(bytes.size(), kPatternFileSize);
    std::memcpy(player.knownAttackPatterns, bytes.data(), std::min<size_t>(have, kPatternCodes));
    if (have > kPatternCodes)
      std::memcpy(player.knownDefencePatterns + 1, bytes.data() + kPatternCodes,
                  have - kPatternCodes);
  }
  player.knownAttackPatterns[0] = 0;
  player.knownDefencePatterns[0] = 0;
}

int writeGameFile(const char* name, const void* data, size_t size) {
  auto& h = plat::host();
  // Every file of the player lives under "save"; a fresh installation lacks
  // the folder, and without it every write would fail.
  h.MakeFolder("save");
  plat::WriteResult r = h.WriteWholeFile(name, data, size);
  if (r == plat::WriteResult::CreateFailed) {
    h.ResetFileAttributes(name);
    r = h.WriteWholeFile(name, data, size);
  }
  if (r != plat::WriteResult::Ok) {
    h.ShowMessageBox(texts::kWriteFailed, texts::kWriteErrorCaption);
    return 0;
  }
  return 1;
}

void saveProgress() {
  uint8_t collection[kCollectionFileSize];
  std::memcpy(collection, player.collection, sizeof collection);
  collection[0] = 0;
  WriteProgress(kCollectionProgress, kCollectionFile, collection, sizeof collection);

  uint8_t arts[kArtsListFileSize] = {};
  for (int n = 1; n <= kAttackArtsCount; ++n) arts[n] = db.attackArts[n].learned;
  for (int n = 1; n <= kDefenceArtsCount; ++n)
    arts[kAttackArtsCount + n] = db.defenceArts[n].learned;
  WriteProgress(kArtsListProgress, kArtsListFile, arts, sizeof arts);

  std::vector<uint8_t> patterns(kPatternFileSize);
  std::memcpy(patterns.data(), player.knownAttackPatterns, kPatternCodes);
  std::memcpy(patterns.data() + kPatternCodes, player.knownDefencePatterns + 1, kPatternCodes - 1);
  patterns[0] = 0;  // the empty pattern is never stored
  WriteProgress(kPatternProgress, kPatternFile, patterns.data(), patterns.size());
}

void resetProgress() {
  std::memset(player.collection + 1, 0, kCardCount);
  for (int n = 1; n <= kAttackArtsCount; ++n) db.attackArts[n].learned = 0;
  for (int n = 1; n <= kDefenceArtsCount; ++n) db.defenceArts[n].learned = 0;
  std::memset(player.knownAttackPatterns + 1, 0, kPatternCodes - 1);
  std::memset(player.knownDefencePatterns + 1, 0, kPatternCodes - 1);
  auto& h = plat::host();
  h.RemoveFile("save\\save1.dat");
  h.RemoveFile("save\\save2.dat");
  h.RemoveFile("save\\save3.dat");
  saveProgress();
}
