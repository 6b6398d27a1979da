#include "battle/snapshot.h"

#include <algorithm>
#include <cstring>

#include "data/player.h"
#include "graphics/textwindow.h"
#include "script/interpreter.h"
#include "script/presentation.h"
#include "script/reader.h"
#include "script/variables.h"
#include "sound/music.h"

namespace {

// The lines of window w worth storing: up to its current line, but only
// those above the choices when they are on offer in it, and never more than
// the snapshot has room for.
int StoredLineCount(int w) {
  const TextWindow& window = msgwin.window[w];
  int count = window.CurrentLine();
  if (w == scene.CurrentWindow && scene.ChoiceCount >= 1 && scene.choices[1].firstLine >= 1)
    count = scene.choices[1].firstLine - 1;
  return std::clamp(count, 0, SavedLineRoom(w));
}

void SnapshotWindows(SaveSnapshot& s) {
  for (int w = 1; w <= 4; ++w) {
    const int count = StoredLineCount(w);
    s.lineCount[w - 1] = count;
    for (int i = 1; i <= count; ++i) {
      LineRecord r{};
      if (!msgwin.window[w].GetLine(i, r)) r.text[0] = '\0';
      StoreSavedLine(s, w, i, r.text, i == count);
    }
  }
}

}  // namespace

void takeSnapshot() {
  SaveSnapshot& s = snapshot;
  CopyName(s.scenario, scn.ScenarioName);
  s.line = scn.LineNumber;
  for (int k = 0; k < kReturnSlots; ++k) {
    CopyName(s.returnSlots[k].scenario, interp.slots[k].scenario);
    s.returnSlots[k].line = interp.slots[k].line;
  }
  s.date = player.date;
  s.strong = player.strong;
  s.money = player.money;
  s.maxhp = player.maxhp;
  s.hp = player.hp;
  s.maxmp = player.maxmp;
  s.mp = player.mp;
  s.result = player.result;
  s.deckCount = player.deck.count;
  std::memcpy(s.deck + 1, player.deck.cards + 1, sizeof(uint32_t) * kDeckCapacity);
  s.stockCount = player.stock.count;
  std::memcpy(s.stock + 1, player.stock.cards + 1, sizeof(uint32_t) * kStockCapacity);
  CopyName(s.backPicture, scene.pictureName[kBack]);
  CopyName(s.placePicture, scene.pictureName[kPlace]);
  CopyName(s.face1Picture, scene.pictureName[kFace1]);
  CopyName(s.face2Picture, scene.pictureName[kFace2]);
  s.backShown = scene.shown[kBack];
  s.face1Shown = scene.shown[kFace1];
  s.face2Shown = scene.shown[kFace2];
  for (int w = 0; w < 4; ++w) s.msgShown[w] = scene.shown[kMsg1 + w];
  s.placeShown = scene.shown[kPlace];
  s.dateShown = scene.shown[kDate];
  s.currentWindow = scene.CurrentWindow;
  SnapshotWindows(s);
  CopyName(s.music, snd.CurrentMusic);
  CopyName(s.loopWave, snd.CurrentLoopSound);
  s.choiceCount = scene.ChoiceCount;
  for (int i = 1; i <= kSavedChoices; ++i) CopyChoice(s.choices[i], scene.choices[i]);
  s.intCount = static_cast<int32_t>(vars.ints.size());
  s.strCount = static_cast<int32_t>(vars.strs.size());
}

void restoreSnapshotWindows(const SaveSnapshot& s) {
  SetupMessageWindows();
  for (int w = 1; w <= 4; ++w) {
    for (int i = 1; i <= s.lineCount[w - 1]; ++i) {
      char text[kSavedLineSize];
      CopyBounded(text, SavedLineText(s, w, i), kSavedLineSize);
      msgwin.window[w].Print(text, 0);
    }
  }
}
