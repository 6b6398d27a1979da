// The demo's pictures as a player meets them: every picture a scene, a
// battle or a card names is there, has the size its layer is drawn at, and
// shows no colour key where it is copied whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "data/database.h"
#include "k16/k16_core.h"
#include "support/files.h"

namespace {

constexpr uint16_t kKey = 0x7C1F;  // magenta in 15 bits
const std::filesystem::path kData = QF_DEMO_DATA_DIR;

// Checks one picture: there, parsed, w x h (0: any), key pixels counted.
void ExpectPicture(const std::string& name, int w, int h, bool keyless) {
  SCOPED_TRACE(name);
  k16tool::Picture p;
  std::string error;
  std::string path = name + ".K16";
  for (char& c : path) c = c == '\\' ? '/' : c;
  ASSERT_TRUE(k16tool::ParseK16File(ReadBytes(kData / path), path, p, error)) << error;
  EXPECT_EQ(w ? p.width : 0, w);
  EXPECT_EQ(h ? p.height : 0, h);
  if (!keyless) return;
  int keys = 0;
  for (auto i : p.index) keys += p.palette[i] == kKey;
  EXPECT_EQ(keys, 0) << "a copied layer would show magenta";
}

}  // namespace

TEST(DemoPictures, EveryPictureAScenarioNamesIsThereAtItsLayersSize) {
  int named = 0;
  for (const auto& e : std::filesystem::directory_iterator(kData)) {
    if (e.path().extension() != ".scn") continue;
    std::istringstream in(ReadText(e.path()));
    for (std::string line; std::getline(in, line);) {
      std::istringstream words(line);
      std::string command, layer, name;
      words >> command >> layer >> name;
      if (command == ".load") {
        const int w = layer == "back" ? 640 : layer == "place" ? 440 : 134;
        const int h = layer == "back" ? 480 : layer == "place" ? 300 : 152;
        ExpectPicture(name, w, h, layer != "face2");  // the right face is drawn keyed
        ++named;
      } else if (command == ".battle") {
        ExpectPicture(layer, 0, 0, false);
        ++named;
      }
    }
  }
  EXPECT_GE(named, 15);
}

TEST(DemoPictures, TheProgramsOwnPicturesAndEveryCardsAreThere) {
  ExpectPicture("source1", 850, 676, false);
  ExpectPicture("source2", 0, 0, false);
  for (const char* back : {"battleback1", "deckback", "collectionback", "saveback"})
    ExpectPicture(back, 640, 0, false);
  const std::pair<const char*, int> fonts[] = {
      {"numbig", 28}, {"nummid", 12}, {"numsmall", 9}, {"nummicro", 7}, {"numWeekday", 36}};
  for (auto [font, glyph] : fonts) ExpectPicture(font, 12 * glyph, 0, false);
  for (int n = 1; n <= kCardCount; ++n) {
    ExpectPicture("cards\\cards" + std::to_string(n), 100, 138, false);
    ExpectPicture("cardl\\cardl" + std::to_string(n), 0, 0, false);
  }
}
