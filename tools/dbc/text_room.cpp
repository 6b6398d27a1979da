// Whether the database's texts fit where the battle shows them: measured
// with the battle's own message box (SetupBattleWindows) on a headless
// host's fonts, the pieces put together as the battle puts them.
#include "text_room.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>

#include "battle/arts_texts.h"
#include "battle/battle.h"
#include "battle/battle_screen.h"
#include "battle/effects_texts.h"
#include "data/database.h"
#include "graphics/image.h"
#include "graphics/textwindow.h"
#include "platform/headless/headless.h"

namespace dbc {
namespace {

std::string Text(const char* field, size_t size) {
  return std::string(field, strnlen(field, size));
}

// Lines the box shows of the pieces printed into it, and lines they take.
struct Room {
  int shown = 0, taken = 0;
};
Room Measure(std::initializer_list<std::string> pieces) {
  TextWindow& w = msgwin.window[1];
  w.ClearAll();
  for (const std::string& piece : pieces) w.Print(piece.c_str(), 0);
  Room room;
  room.taken = w.LastTextLine();
  room.shown = std::min(room.taken, w.ShownLines());
  return room;
}

// The art's line of the battle's arts list (window 2), as the list makes it.
bool ListLineWraps(const ArtsRecord& art) {
  TextWindow& w = msgwin.window[2];
  w.ClearAll();
  char line[kCandidateLineSize];
  CandidateLine(art, line);
  w.Print(line, 0);
  return w.CurrentLine() != 1;
}

template <typename Record>
const Record& RecordOf(const std::vector<uint8_t>& file, int n) {
  return *reinterpret_cast<const Record*>(file.data() + sizeof(Record) * static_cast<size_t>(n));
}

}  // namespace

void TextRoomWarnings(const DatabaseFiles& files, const FieldLines& lines,
                      const std::string& fileName, std::vector<std::string>& warnings) {
  headless::Options o;
  o.echo = false;
  plat::Host* previous = plat::HasHost() ? &plat::host() : nullptr;
  auto host = std::make_unique<headless::HeadlessHost>(o);
  plat::SetHost(host.get());
  CreateGlobalImages();  // the screen the windows stand in
  SetupBattleWindows();
  const auto warn = [&](const std::string& key, const Room& room, const std::string& what) {
    if (room.taken <= room.shown) return;
    const auto it = lines.find(key);
    const int line = it == lines.end() ? 0 : it->second;
    warnings.push_back(fileName + ":" + std::to_string(line) + ": " + what + " takes " +
                       std::to_string(room.taken) +
                       " lines of the battle's message box, which shows " +
                       std::to_string(room.shown));
  };
  for (int n = 1; n <= kCardCount; ++n) {
    const auto& c = RecordOf<CardRecord>(files.cards, n);
    const std::string name = Text(c.name, sizeof c.name);
    for (const auto& [field, text] :
         {std::pair{"attackEffect", Text(c.attackEffect, sizeof c.attackEffect)},
          std::pair{"interceptEffect", Text(c.interceptEffect, sizeof c.interceptEffect)}}) {
      if (text.empty()) continue;
      warn("card " + std::to_string(n) + " " + field,
           Measure({texts::kCardNameOpen, name, texts::kCardNameClose, text}),
           std::string("the card's name and its ") + field);
    }
  }
  const std::pair<const char*, const std::vector<uint8_t>*> tables[] = {
      {"attack", &files.attack}, {"defence", &files.defence}};
  for (const auto& [word, file] : tables) {
    const int count = file == &files.attack ? kAttackArtsCount : kDefenceArtsCount;
    for (int n = 1; n <= count; ++n) {
      const auto& a = RecordOf<ArtsRecord>(*file, n);
      if (ListLineWraps(a)) {
        const auto it = lines.find(std::string(word) + " " + std::to_string(n) + " listText");
        warnings.push_back(fileName + ":" + std::to_string(it == lines.end() ? 0 : it->second) +
                           ": the art's pattern, name and listText are wider than a line of the "
                           "battle's arts list and wrap");
      }
      warn(std::string(word) + " " + std::to_string(n) + " effectText",
           Measure({Text(a.pattern, sizeof a.pattern), texts::kArtNameOpen,
                    Text(a.name, sizeof a.name), texts::kArtNameClose,
                    Text(a.effectText, sizeof a.effectText)}),
           "the art's pattern, name and effectText");
    }
  }
  DestroyMessageWindows();
  DestroyGlobalImages();
  plat::SetHost(previous);
}

}  // namespace dbc
