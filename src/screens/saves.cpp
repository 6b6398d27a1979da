#include "screens/saves.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/waits.h"
#include "data/player.h"
#include "data/save_file.h"
#include "graphics/blit.h"
#include "graphics/image.h"
#include "graphics/k16.h"
#include "graphics/textwindow.h"
#include "platform/platform.h"
#include "screens/screen_change.h"
#include "screens/screens_texts.h"
#include "script/interpreter.h"
#include "script/presentation.h"
#include "script/reader.h"
#include "script/variables.h"
#include "sound/music.h"

// The variables go to the file as the tables hold them.
static_assert(sizeof(IntVariable) == kSavedIntRecord);
static_assert(sizeof(StrVariable) == kSavedStrRecord);
static_assert(sizeof(ReturnSlot) == sizeof(SavedReturnSlot));

namespace {

// Copies a NUL-terminated text between fields of different sizes, cut to
// the smaller one and always terminated.
template <size_t N>
void CopyBounded(char (&to)[N], const char* from, size_t fromSize) {
  const size_t n = strnlen(from, std::min(N - 1, fromSize));
  std::memcpy(to, from, n);
  to[n] = '\0';
}

template <size_t N, size_t M>
void CopyName(char (&to)[N], const char (&from)[M]) {
  CopyBounded(to, from, M);
}

// A choice record between the scene and the snapshot, either way; the first
// line and line count are never carried over.
template <typename To, typename From>
void CopyChoice(To& to, const From& from) {
  CopyName(to.text, from.text);
  CopyName(to.target, from.target);
  to.firstLine = to.lineCount = 0;
  to.left = from.left;
  to.top = from.top;
  to.right = from.right;
  to.bottom = from.bottom;
}

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

void RestoreVariables(const std::vector<uint8_t>& bytes) {
  const uint8_t* p = bytes.data();
  for (IntVariable& v : vars.ints) {
    std::memcpy(&v, p, sizeof v);
    v.name[kNameSize - 1] = '\0';
    p += sizeof v;
  }
  for (StrVariable& v : vars.strs) {
    std::memcpy(&v, p, sizeof v);
    v.name[kNameSize - 1] = '\0';
    v.value[kLineSize - 1] = '\0';
    p += sizeof v;
  }
}

// The pictures named in the snapshot, each into its layer.
void RestorePictures(const SaveSnapshot& s) {
  const char* names[4] = {s.backPicture, s.placePicture, s.face1Picture, s.face2Picture};
  for (int l = 0; l < 4; ++l) {
    char name[sizeof scene.pictureName[0]];
    CopyBounded(name, names[l], sizeof s.backPicture);
    if (name[0] == '\0')
      scene.pictureName[l][0] = '\0';
    else
      LoadLayerPicture(l, name);
  }
  scene.shown[kBack] = s.backShown;
  scene.shown[kPlace] = s.placeShown;
  scene.shown[kFace1] = s.face1Shown;
  scene.shown[kFace2] = s.face2Shown;
  for (int w = 0; w < 4; ++w) scene.shown[kMsg1 + w] = s.msgShown[w];
  scene.shown[kDate] = s.dateShown;
  scene.CurrentWindow = s.currentWindow;
}

void RestorePlayer(const SaveSnapshot& s) {
  for (int k = 0; k < kReturnSlots; ++k) {
    CopyName(interp.slots[k].scenario, s.returnSlots[k].scenario);
    interp.slots[k].line = s.returnSlots[k].line;
  }
  player.date = s.date;
  player.money = s.money;
  player.strong = s.strong;
  recomputeMaxima();
  player.deck.count = s.deckCount;
  player.result = s.result;
  std::memcpy(player.deck.cards + 1, s.deck + 1, sizeof(uint32_t) * kDeckCapacity);
  std::memcpy(player.stock.cards + 1, s.stock + 1, sizeof(uint32_t) * kStockCapacity);
  player.stock.count = s.stockCount;
}

void RestoreChoices(const SaveSnapshot& s) {
  CopyName(snd.CurrentMusic, s.music);
  CopyName(snd.CurrentLoopSound, s.loopWave);
  scene.ChoiceCount = s.choiceCount;
  for (int i = 1; i <= kSavedChoices; ++i) CopyChoice(scene.choices[i], s.choices[i]);
}

// The windows as they were, with the scene under them, mosaicked in.
bool RestoreScreen(const SaveSnapshot& s) {
  SetupMessageWindows();
  for (int w = 1; w <= 4; ++w) {
    for (int i = 1; i <= s.lineCount[w - 1]; ++i) {
      char text[kSavedLineSize];
      CopyBounded(text, SavedLine(s, w, i), kSavedLineSize);
      msgwin.window[w].Print(text, 0);
    }
  }
  LoadK16At(gfx.PartsSheet, "source1.K16", 0, 0);
  ComposeSceneIntoBackPage();
  return screenChangeIn();
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

int saveGame(int slot) {
  std::vector<uint8_t> bytes(vars.ints.size() * kSavedIntRecord +
                             vars.strs.size() * kSavedStrRecord);
  uint8_t* p = bytes.data();
  for (const IntVariable& v : vars.ints) {
    std::memcpy(p, &v, sizeof v);
    p += sizeof v;
  }
  for (const StrVariable& v : vars.strs) {
    std::memcpy(p, &v, sizeof v);
    p += sizeof v;
  }
  return writeSaveFile(slot, snapshot, bytes.data(), bytes.size());
}

bool loadGame(int slot) {
  SaveSnapshot loaded;
  std::vector<uint8_t> variables;
  switch (readSaveFile(slot, static_cast<int32_t>(vars.ints.size()),
                       static_cast<int32_t>(vars.strs.size()), loaded, variables)) {
    case SlotState::Empty:
      return true;
    case SlotState::Damaged:
      plat::host().ShowMessageBox(texts::kSaveDamaged, texts::kSaveReadCaption);
      return true;
    case SlotState::OtherCounts:
      plat::host().ShowMessageBox(texts::kSaveOtherCounts, texts::kSaveReadCaption);
      return true;
    case SlotState::Ok:
      break;
  }
  shell.InputMode = mode::Busy;
  snapshot = loaded;
  RestoreVariables(variables);
  if (!OpenScenario(snapshot.scenario)) return false;
  // The saved line itself is read next: the command that was waiting runs
  // again.
  for (int32_t n = 1; n < snapshot.line; ++n) {
    if (!ReadLine()) return false;
  }
  RestorePlayer(snapshot);
  RestorePictures(snapshot);
  RestoreChoices(snapshot);
  StopAllSound();
  if (!screenChangeOut()) return false;
  if (!RestoreScreen(snapshot)) return false;
  RestartScriptSound();
  return ResumeScript() != 0;
}
