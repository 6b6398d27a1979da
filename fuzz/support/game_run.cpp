#include "support/game_run.h"

#include "support/files.h"
#include "support/fuzz_session.h"

namespace fuzz {
namespace {

void CopyBase(const std::string& name) {
  Write(name, ReadText(std::string(QF_FUZZ_BASE_DIR) + "/" + name));
}

}  // namespace

void WriteBattleBase() {
  CopyBase("CardData.dat");
  CopyBase("AtArts.dat");
  CopyBase("DfArts.dat");
  CopyBase("opp.dec");
}

int RunBattleGame() {
  Write("config.scn", ".int n\n.str s\n");
  std::string start;
  for (int card = 1; card <= 12; ++card) start += ".card add deck " + std::to_string(card) + " 3\n";
  start +=
      ".card add deck 49 1\n.card add deck 50 1\n"
      ".card info name 3 s\n.card info description 50 s\n.card info attribute 7 n\n"
      ".arts add attack 1\n.arts add attack 35\n.arts add attack 70\n"
      // Short battles: a few exchanges use every kind of record.
      ".let maxhp = 60\n.let hp = 60\n"
      ".battle opp 40 40 30 30 1 opp 0 6 0\n"
      ".let maxhp = 30\n.let hp = 30\n"
      ".battle opp 20 20 10 10 2 opp 1 3 0\n";
  Write("start.scn", start);
  return RunGame();
}

int RunLoadGame() {
  Write("config.scn", ".int count\n.str name\n");
  Write("start.scn", "Title\n.clk\n.jmp story\n");
  Write("story.scn",
        ".let count = 7\n.let name = \"Mina\"\n.mid tune 0\n.show date\n.update 0\n"
        "Hello [name]\n.clk\nAfter [count] [name]\n.clk\n.sub story:end 3\n:end\nEnd\n.clk\n"
        // The loaded deck, date and maxima in a battle.
        ".battle opp 20 20 10 10 1 opp 0 6 0\n");
  return RunGame();
}

int RunProgressGame() {
  Write("config.scn", ".int n\n");
  Write("start.scn",
        ".card num collection 3 n\n.card num collection 50 n\n.arts add attack 3\n"
        ".card add stock 4 2\n.svd\n");
  return RunGame();
}

}  // namespace fuzz
