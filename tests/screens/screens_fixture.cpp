#include "screens/screens_fixture.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "data/database.h"
#include "graphics/k16.h"
#include "graphics/textwindow.h"
#include "shell/app.h"

namespace {

// A card picture in its own colour with two transparent bands (index 255),
// x 4..29 and y 10..49: through them a card shows what lies under it, so a
// card drawn past its visible part would show.
void WriteCardPicture(const std::filesystem::path& path, uint16_t colour) {
  constexpr int w = 100, h = 138;
  std::vector<uint8_t> file(kK16PixelOffset + w * h, 0);
  const int32_t size[2] = {w, h};
  std::memcpy(&file[16], size, 8);
  std::memcpy(&file[kK16PaletteOffset], &colour, 2);
  std::memcpy(&file[kK16PaletteOffset + 2 * 255], &kKey5, 2);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      file[kK16PixelOffset + static_cast<size_t>(h - 1 - y) * w + x] =
          (x >= 4 && x < 30) || (y >= 10 && y < 50) ? 255 : 0;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

}  // namespace

uint16_t At(int x, int y) { return gfx.Screen.At(x, y); }

void ExpectShows(std::initializer_list<Probe> probes, int blue) {
  for (const Probe& p : probes)
    EXPECT_EQ(At(p.x, p.y), p.colour == kPage ? PageColour(p.x, p.y, blue) : p.colour)
        << "at " << p.x << "," << p.y;
}

void ScreensTest::SetUp() {
  GameTest::SetUp();
  const std::string dir = dataDir.string() + "/";
  for (const char* d : {"cards", "cardl"}) std::filesystem::create_directories(dir + d);
  WriteTestK16(dir + "bg.K16", 640, 480, [](int x, int y) { return PageColour(x, y, kSceneBlue); });
  WriteTestK16(dir + "deckback.K16", 640, 622, [](int x, int y) -> uint16_t {
    if (y < 480) return PageColour(x, y, kDeckBlue);
    if (x < 28) return y < 506 ? kUpArrow : y < 532 ? kDownArrow : 0;
    if (x < 52) return y < 504 ? kNumberMark : y < 528 ? kAttributeMark : 0;
    return kKey5;  // the scratch area: whatever was there
  });
  // The collection's arrows each with a keyed first column.
  WriteTestK16(dir + "collectionback.K16", 640, 622, [](int x, int y) -> uint16_t {
    if (y < 480) return PageColour(x, y, kCollectionBlue);
    if (x == 0 || x >= 28 || y >= 532) return kKey5;
    return y < 506 ? kUpArrow : kDownArrow;
  });
  WriteTestK16(dir + "saveback.K16", 640, 622, [](int x, int y) {
    return y < 480 ? PageColour(x, y, kSaveBlue) : kButton[(y - 480) / 32 % 2 * 2 + x / 320];
  });
  WriteTestK16(dir + "cards/cardsUN.k16", 100, 138, [](int, int) { return kUnowned; });
  for (uint32_t n = 1; n <= kCardCount; ++n)
    WriteCardPicture(dataDir / "cards" / ("cards" + std::to_string(n) + ".K16"), CardColour(n));
  WriteCardPicture(dataDir / "cards" / "cards77.K16", Rgb5(1, 2, 3));  // no game has card 77
  for (int n : {1, 3, 7, 12, 18})
    WriteTestK16(dir + "cardl/cardl" + std::to_string(n) + ".K16", 300, 414,
                 [n](int, int) { return BigColour(n); });
  Database cards{};
  for (int n = 1; n <= kCardCount; ++n) {
    cards.cards[n].attribute = n % 5;
    std::snprintf(cards.cards[n].name, sizeof cards.cards[n].name, "Card%d", n);
  }
  WriteData("CardData.dat",
            std::string(reinterpret_cast<const char*>(cards.cards), sizeof cards.cards));
  WriteData("config.scn", "");
}

void ScreensTest::Direct() {
  MakeHost();
  plat::host().OpenWindow("test", WindowProc);
  CreateGlobalImages();
  SetupMessageWindows();
  loadCardData();
}

void ScreensTest::Run(const std::string& cards, const std::string& input, const std::string& more) {
  WriteData("start.scn", cards +
                             ".load back bg\n.show back\n.show msg1\n.msg 1\n.update 0\nPick\n"
                             ".update 0\n.clk\nDone\n.update 0\n.clk\n" +
                             more);
  ResetGameState();
  MakeHost(input + "wait key esc\n");
  host->options().screenshotDir = (dataDir / "shots").string();
  std::filesystem::create_directories(dataDir / "shots");
  ASSERT_EQ(RunGame(), 0);
  EXPECT_TRUE(host->InputDone());
}

std::string ScreensTest::Shot(const std::string& name) const {
  std::ifstream in(dataDir / "shots" / (name + ".png"), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ScreensTest::Input(const std::string& script) { host->SetInput(InputEvents(script)); }

std::string ScreensTest::Cards(const char* list, int from, int to) {
  std::string s;
  for (int n = from; n <= to; ++n)
    s += std::string(".card add ") + list + " " + std::to_string(n) + " 1\n";
  return s;
}

std::string ScreensTest::Drag(int x0, int y0, int x1, int y1) {
  auto at = [](int x, int y) { return std::to_string(x) + " " + std::to_string(y) + "\n"; };
  return "wait ldown " + at(x0, y0) + "wait move " + at((x0 + x1) / 2, (y0 + y1) / 2) +
         "wait move " + at(x1, y1) + "wait lup " + at(x1, y1);
}
