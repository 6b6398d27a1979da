// The player's numbers as the scenarios name them. Writes go through the
// setters, which keep each value inside its rules.
#include "core/named_value.h"
#include "data/player.h"

namespace {
constexpr NamedValue kRows[] = {
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

NamedValues PlayerValues() { return NamedValues{kRows, sizeof kRows / sizeof kRows[0]}; }
