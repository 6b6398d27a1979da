// The script reads these commands' arguments as it reads every argument; the
// player's state takes them as plain values. Each argument is read only when
// the one before it passed its check, so a command that stops early never
// evaluates (or reports) what follows.
#include "shell/game_commands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "battle/battle.h"
#include "core/mistake_log.h"
#include "core/waits.h"
#include "data/database.h"
#include "data/player.h"
#include "platform/sjis.h"
#include "script/interpreter.h"
#include "script/reader.h"
#include "script/variables.h"

namespace {

bool Is(const char* token, const char* word) { return std::strcmp(token, word) == 0; }

// The next argument of the command line, as written.
const char* NextWord() {
  NextToken(scn.TokenBuffer, scn.LineBuffer);
  return scn.TokenBuffer;
}

int32_t NextValue() { return EvalTerm(NextWord()); }

bool ValidCard(int32_t card) { return card >= 1 && card <= kCardCount; }

// A card number the command cannot take is told: the command does nothing.
bool CheckedCard(int32_t card) {
  if (ValidCard(card)) return true;
  ReportMistake("no card " + std::to_string(card) + " (cards are 1 to " +
                std::to_string(kCardCount) + "): .card ignored");
  return false;
}

void WrongWord(const char* word, const char* expected) {
  ReportMistake(Quoted(word) + " is not " + expected + ": ignored");
}

enum class List { Other, Deck, Stock, Collection };

List NextList() {
  const char* word = NextWord();
  if (Is(word, "deck")) return List::Deck;
  if (Is(word, "stock")) return List::Stock;
  if (Is(word, "collection")) return List::Collection;
  return List::Other;
}

// "deck" or "stock", the lists cards are added to and taken from; Other
// (told) for anything else.
List NextDeckOrStock() {
  const List list = NextList();
  if (list == List::Deck || list == List::Stock) return list;
  WrongWord(scn.TokenBuffer, "deck or stock");
  return List::Other;
}

// Hands "variable = value" to ".let", so the variable takes the value by every
// rule of an assignment (and a name that is none is reported as there).
void AssignThroughLet(const char* variable, const char* value) {
  // A name and a quoted text each fit a line buffer; together they need two.
  char assignment[2 * kLineSize + 8];
  std::snprintf(assignment, sizeof assignment, "%s = %s", variable, value);
  LetCommand(assignment);
}

// A text field of a card record, which need not end in a terminator, cut
// to fit a line buffer without splitting a two-byte character.
void CopyField(char* out, const char* field, size_t size) {
  const size_t n = sjis::FitLength(field, std::min(size, kLineSize - 1));
  std::memcpy(out, field, n);
  out[n] = '\0';
}

// "add" and "sub": list card count.
void CardAddOrSub(bool add) {
  const List list = NextDeckOrStock();
  if (list == List::Other) return;
  const int32_t card = NextValue();
  if (!CheckedCard(card)) return;
  const int32_t count = NextValue();
  if (list == List::Deck && add) addCards(player.deck, card, count);
  if (list == List::Deck && !add) removeCards(player.deck, card, count);
  if (list == List::Stock && add) addCards(player.stock, card, count);
  if (list == List::Stock && !add) removeCards(player.stock, card, count);
}

// "num": list card variable. A list word that names no list counts 0.
void CardNum() {
  const List list = NextList();
  if (list == List::Other)
    ReportMistake(Quoted(scn.TokenBuffer) + " is not deck, stock or collection: the count is 0");
  const int32_t card = NextValue();
  if (!CheckedCard(card)) return;
  char variable[kLineSize];
  NextToken(variable, scn.LineBuffer);
  int32_t n = 0;
  if (list == List::Deck) n = countCards(player.deck, card);
  if (list == List::Stock) n = countCards(player.stock, card);
  if (list == List::Collection) n = inCollection(card);
  char value[16];
  std::snprintf(value, sizeof value, "%d", static_cast<int>(n));
  AssignThroughLet(variable, value);
}

enum class Field { Other, Name, Description, Attribute };

Field NextField() {
  const char* word = NextWord();
  if (Is(word, "name")) return Field::Name;
  if (Is(word, "description")) return Field::Description;
  if (Is(word, "attribute")) return Field::Attribute;
  WrongWord(word, "name, description or attribute");
  return Field::Other;
}

// The field of a card as text; empty for a card outside the table.
void FieldText(Field field, int32_t card, char (&text)[kLineSize]) {
  if (!ValidCard(card)) return;
  const CardRecord& record = db.cards[card];
  if (field == Field::Name) CopyField(text, record.name, sizeof record.name);
  if (field == Field::Description) CopyField(text, record.description, sizeof record.description);
  if (field == Field::Attribute)
    std::snprintf(text, sizeof text, "%d", static_cast<int>(record.attribute));
}

// "info": field card variable.
void CardInfo() {
  const Field field = NextField();
  if (field == Field::Other) return;
  const int32_t card = NextValue();
  if (!ValidCard(card))
    ReportMistake("no card " + std::to_string(card) + " (cards are 1 to " +
                  std::to_string(kCardCount) + "): .card info gives an empty text");
  char variable[kLineSize];
  NextToken(variable, scn.LineBuffer);
  char text[kLineSize] = {};
  FieldText(field, card, text);
  char quoted[kLineSize + 2];
  std::snprintf(quoted, sizeof quoted, "\"%s\"", text);
  AssignThroughLet(variable, quoted);
}

// "dump": list count.
void CardDump() {
  const List list = NextDeckOrStock();
  if (list == List::Other) return;
  const int32_t count = NextValue();
  if (list == List::Deck)
    dumpCards(player.deck, count);
  else
    dumpCards(player.stock, count);
}

Step CmdCard() {
  char sub[kLineSize];
  NextToken(sub, scn.LineBuffer);
  if (Is(sub, "add") || Is(sub, "sub")) CardAddOrSub(Is(sub, "add"));
  if (Is(sub, "num")) CardNum();
  if (Is(sub, "info")) CardInfo();
  if (Is(sub, "dump")) CardDump();
  if (!Is(sub, "add") && !Is(sub, "sub") && !Is(sub, "num") && !Is(sub, "info") && !Is(sub, "dump"))
    WrongWord(sub, "add, sub, num, info or dump");
  return Step::Next;
}

// ".arts" "add" "attack" number.
Step CmdArts() {
  for (const char* expected : {"add", "attack"}) {
    const char* word = NextWord();
    if (Is(word, expected)) continue;
    WrongWord(word, expected);
    return Step::Next;
  }
  const int32_t art = NextValue();
  if (art < 1 || art > kAttackArtsCount)
    ReportMistake("no attack art " + std::to_string(art) + " (arts are 1 to " +
                  std::to_string(kAttackArtsCount) + "): .arts ignored");
  learnAttackArt(art);
  return Step::Next;
}

Step CmdSvd() {
  saveProgress();
  return Step::Next;
}

Step CmdInit() {
  resetProgress();
  return Step::Next;
}

Step CmdStrong() {
  const char* word = NextWord();
  if (Is(word, "begin")) setStrong(true);
  if (Is(word, "end")) setStrong(false);
  if (!Is(word, "begin") && !Is(word, "end")) WrongWord(word, "begin or end");
  return Step::Next;
}

// The battle reads its own ten arguments and takes the run over: the
// scenario goes on from the next line when the battle is decided.
Step CmdBattle() {
  shell.InputMode = mode::Busy;
  return startBattle() ? Step::Wait : Step::Quit;
}

}  // namespace

void RegisterGameCommands() {
  RegisterCommand(".card", CmdCard);
  RegisterCommand(".arts", CmdArts);
  RegisterCommand(".svd", CmdSvd);
  RegisterCommand(".init", CmdInit);
  RegisterCommand(".strong", CmdStrong);
  RegisterCommand(".battle", CmdBattle);
}
