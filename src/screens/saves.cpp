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
#include "graphics/mosaic_change.h"
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

// The file's records over the front of the tables (readSaveFile has checked
// that they fit); a variable it has no record of (declared after the save
// was made) keeps what it holds now, as a load reads only the file's records.
void RestoreVariables(const std::vector<uint8_t>& bytes, int32_t ints, int32_t strs) {
  const uint8_t* p = bytes.data();
  const size_t nInts = std::min(static_cast<size_t>(ints), vars.ints.size());
  const size_t nStrs = std::min(static_cast<size_t>(strs), vars.strs.size());
  for (size_t i = 0; i < nInts; ++i) {
    IntVariable& v = vars.ints[i];
    std::memcpy(&v, p, sizeof v);
    v.name[kNameSize - 1] = '\0';
    p += sizeof v;
  }
  for (size_t i = 0; i < nStrs; ++i) {
    StrVariable& v = vars.strs[i];
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
  restoreSnapshotWindows(s);
  LoadNeededK16(gfx.PartsSheet, "source1.K16", 0, 0, "the interface sheet");
  ComposeSceneIntoBackPage();
  return screenChangeIn();
}

enum class Seek { Ready, LineGone, NoScenario };

// Opens the saved scenario and reads up to the saved line, which the
// interpreter reads next. When that line is no longer there, the scenario
// the player was in is left open where it was.
Seek SeekSavedLine(const SaveSnapshot& s) {
  ScenarioReader before = scn;
  if (!OpenScenario(s.scenario)) return Seek::NoScenario;
  for (int32_t n = 1; n < s.line; ++n) {
    if (!ReadLine()) {
      scn = std::move(before);
      return Seek::LineGone;
    }
  }
  return Seek::Ready;
}

}  // namespace

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
  // A scenario that got shorter in an update (or a crafted line number)
  // cannot resume the save: say so before anything of it is taken, and the
  // game the player has stays as it is.
  switch (SeekSavedLine(loaded)) {
    case Seek::NoScenario:
      return false;
    case Seek::LineGone:
      plat::host().ShowMessageBox(texts::kSaveOtherScenario, texts::kSaveReadCaption);
      return true;
    case Seek::Ready:
      break;
  }
  shell.InputMode = mode::Busy;
  snapshot = loaded;
  RestoreVariables(variables, snapshot.intCount, snapshot.strCount);
  RestorePlayer(snapshot);
  RestorePictures(snapshot);
  RestoreChoices(snapshot);
  StopAllSound();
  if (!screenChangeOut()) return false;
  if (!RestoreScreen(snapshot)) return false;
  RestartScriptSound();
  return ResumeScript() != 0;
}
