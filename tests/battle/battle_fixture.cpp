#include "battle/battle_fixture.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "data/database.h"

namespace battle_test {

namespace {

struct Region {
  int x, y, w, h;
  uint16_t colour;
};

// The battle sheet's regions, each in its own colour; the rest is key.
constexpr Region kSheet[] = {
    {0, 0, 100, 138, kPlayerBack},   {0, 138, 100, 138, kOpponentBack},
    {700, 0, 100, 138, kFrame},      {700, 138, 100, 138, kFrame},
    {0, 276, 62, 62, kPlayerMarker}, {62, 276, 62, 62, kOpponentMarker},
    {124, 276, 165, 61, kTurnLabel}, {500, 276, 62, 53, kDecide},
    {562, 276, 28, 26, kArrowUp},    {562, 302, 28, 26, kArrowDown},
    {600, 276, 28, 28, kPoison},     {628, 276, 28, 28, kCurse},
    {600, 304, 21, 25, kBarrier},    {621, 304, 20, 25, kField},
    {0, 338, 158, 60, kWin},         {158, 338, 202, 60, kLoss},
    {360, 338, 224, 60, kDraw},
};

}  // namespace

void BattleRunTest::SetUp() {
  GameTest::SetUp();
  const std::string dir = dataDir.string() + "/";
  for (const char* sub : {"cards", "cardl", "fg", "bmid"})
    std::filesystem::create_directories(dir + sub);
  WriteTestK16(dir + "source2.K16", 800, 400, [](int x, int y) {
    for (const Region& r : kSheet) {
      if (x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h) return r.colour;
    }
    return kKey5;
  });
  // The scene's own sheet, which the battle replaces and puts back.
  WriteTestK16(dir + "source1.K16", 850, 676,
               [](int x, int y) { return Rgb5(x / 100, y / 100, 20); });
  WriteTestK16(dir + "battleback1.K16", 640, 622, BackColour);
  WriteTestK16(dir + "bg.K16", 640, 480, [](int x, int y) { return Rgb5(x / 40, y / 30, 8); });
  for (int n = 1; n <= kCardCount; ++n) {
    WriteTestK16(dir + "cards/cards" + std::to_string(n) + ".K16", 100, 138,
                 [n](int, int) { return CardColour(n); });
  }
  WriteTestK16(dir + "cardl/cardl3.K16", 300, 414, [](int, int) { return CardColour(3); });
  WriteTestK16(dir + "fg/tavrin.k16", 134, 152, [](int x, int) { return FaceColour(x, 0); });
  WriteTestK16(dir + "fg/foe.K16", 134, 152, [](int x, int) { return FaceColour(x, 1); });
  // Digits of the smallest number font: solid white glyphs, 7 x 11.
  WriteTestK16(dir + "nummicro.K16", 84, 11, [](int, int) { return Rgb5(31, 31, 31); });

  // Cards take attributes 0..4 in turn; every text field names the card.
  Database cards{};
  for (int n = 1; n <= kCardCount; ++n) {
    CardRecord& c = cards.cards[n];
    c.attribute = n % 5;
    std::snprintf(c.name, sizeof c.name, "Card%d", n);
    std::snprintf(c.description, sizeof c.description, "About %d", n);
    std::snprintf(c.attackEffect, sizeof c.attackEffect, "Attack %d", n);
    std::snprintf(c.interceptEffect, sizeof c.interceptEffect, "Intercept %d", n);
    std::snprintf(c.illustrator, sizeof c.illustrator, "Artist %d", n);
  }
  WriteData("CardData.dat",
            std::string(reinterpret_cast<const char*>(cards.cards), sizeof cards.cards));
  WriteDeck("foe.dec", kFoeDeck);
  WriteData("config.scn", "");
}

void BattleRunTest::WriteDeck(const std::string& name, const std::vector<uint32_t>& cards) {
  std::string bytes(404, '\0');
  for (size_t i = 0; i < cards.size() && i < 100; ++i) std::memcpy(&bytes[4 + 4 * i], &cards[i], 4);
  WriteData(name, bytes);
}

void BattleRunTest::WriteStory(const std::string& battleLine, const std::string& deck,
                               const std::string& after) {
  std::string story = deck;
  if (deck.empty()) {
    for (int n = 1; n <= 20; ++n) story += ".card add deck " + std::to_string(n) + " 1\n";
  }
  story +=
      ".load back bg\n.show back\n.show msg1\n.msg 1\n.update 0\nBefore the duel\n.update 0\n"
      ".clk\n" +
      battleLine + "\n" + after;
  WriteData("start.scn", story);
}

void BattleRunTest::Run(const std::string& input, bool expectNoBoxes) {
  MakeHost(input);
  host->options().screenshotDir = (dataDir / "shots").string();
  std::filesystem::create_directories(dataDir / "shots");
  ASSERT_EQ(RunGame(), 0);
  if (expectNoBoxes) {
    EXPECT_TRUE(host->boxes.empty()) << BoxTexts()[0];
  }
}

std::string BattleRunTest::Shot(const std::string& name) const {
  return ReadText(dataDir / "shots" / (name + ".png"));
}

std::vector<uint64_t> BattleRunTest::WaveTimes(const std::string& name) const {
  std::vector<uint64_t> times;
  for (const auto& c : host->sound) {
    if (c.kind == headless::HeadlessHost::SoundCall::Kind::Wave && c.name == name)
      times.push_back(c.at);
  }
  return times;
}

}  // namespace battle_test
