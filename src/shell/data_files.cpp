#include "shell/data_files.h"

#include "battle/battle_screen.h"
#include "data/database.h"

namespace {

// The names as the engine asks for them (see the loaders named beside each
// row); a data folder is searched without regard to case.
constexpr DataFile kRows[] = {
    {"config.scn", "the declarations of the scenario variables"},
    {"start.scn", "the scenario the game starts with"},
    {kCardDataFile, "the card database"},
    {kAttackArtsFile, "the attack arts database"},
    {kDefenceArtsFile, "the defence arts database"},
    {"source1.K16", "the interface sheet outside battles"},
    {"source2.K16", "the battle's interface sheet"},
    {"numbig.K16", "the big number font"},
    {"nummid.K16", "the middle number font"},
    {"numsmall.K16", "the small number font"},
    {"nummicro.K16", "the smallest number font"},
    {"numWeekday.K16", "the weekday names of the date"},
    {"saveback.K16", "the save screen's background"},
    {"deckback.K16", "the deck editor's background"},
    {"collectionback.K16", "the collection's background"},
    {"battleback1.K16", "the battle's background"},
    {"fg\\tavrin.k16", "the player's face in battle"},
    {"cards\\cardsUN.k16", "the collection's picture of a card not owned"},
    {"cards\\cards%d.K16", "the small picture of each card"},
    {"cardl\\cardl%d.K16", "the large picture of each card"},
    {"bmid\\card2.mid", "the music of battles of kind 1"},
    {"bmid\\card15.mid", "the music of battles of kind 2"},
    {kCardMoveSound, "the battle's sound of a card played"},
    {kScrollSound, "the battle's sound of scrolling"},
    {kDecisionSound, "the battle's sound of a decision"},
    {"wv\\etc12.wav", "the save screen's sound"},
};

}  // namespace

DataFileTable EngineDataFiles() { return {kRows, sizeof kRows / sizeof kRows[0]}; }
