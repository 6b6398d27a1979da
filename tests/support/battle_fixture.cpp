#include "support/battle_fixture.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <tuple>

#include "core/waits.h"
#include "data/database.h"
#include "graphics/textwindow.h"

namespace battle_test {

namespace {

struct Region {
  int x, y, w, h;
  uint16_t colour;
};

// The battle sheet's regions, each in its own colour; the rest is key.
constexpr Region kSheet[] = {
    {0, 0, 100, 138, kPlayerBack},    {0, 138, 100, 138, kOpponentBack},
    {700, 0, 100, 138, kFrame},       {700, 138, 100, 138, kFrame},
    {0, 276, 62, 62, kPlayerMarker},  {62, 276, 62, 62, kOpponentMarker},
    {124, 276, 165, 61, kTurnLabel},  {500, 276, 62, 53, kDecide},
    {562, 276, 28, 26, kArrowUp},     {562, 302, 28, 26, kArrowDown},
    {600, 276, 28, 28, kPoison},      {628, 276, 28, 28, kCurse},
    {600, 304, 21, 25, kBarrier},     {621, 304, 20, 25, kField},
    {600, 329, 28, 28, kPoisonGuard}, {628, 329, 28, 28, kCurseGuard},
    {0, 338, 158, 60, kWin},          {158, 338, 202, 60, kLoss},
    {360, 338, 224, 60, kDraw},       {660, 276, 32, 28, kCue},
};

template <typename T>
auto Fig(std::string name, T& ref) {
  return std::tuple{std::move(name), [&ref] { return static_cast<int64_t>(ref); },
                    [&ref](int64_t v) { ref = static_cast<T>(v); }};
}

// The values Baseline gives; the first letters name whose they are.
const char* const kBaseline =
    "s.hp=500 s.maxHp=1000 s.mp=100 s.maxMp=200 s.phys=1000 s.magic=2000 s.hpRec=300 "
    "s.mpRec=400 s.charge=60 s.pAU=1000 s.pG=2000 s.mAU=3000 s.mG=4000 s.hRU=5000 s.mRU=6000 "
    "o.hp=600 o.maxHp=1200 o.mp=150 o.maxMp=300 o.phys=1100 o.magic=2200 o.hpRec=330 "
    "o.mpRec=440 o.charge=70 o.pAU=100 o.pG=200 o.mAU=300 o.mG=400 o.hRU=500 o.mRU=600 "
    "f.pA=10000 f.pG=20000 f.mA=30000 f.mG=40000 f.hR=50000 f.mR=60000";

const char* const kBarrierNames[6] = {"pAU", "pG", "mAU", "mG", "hRU", "mRU"};
const char* const kFieldNames[6] = {"f.pA", "f.pG", "f.mA", "f.mG", "f.hR", "f.mR"};

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
    std::snprintf(c.attackEffect, sizeof c.attackEffect, "Attack %d", n);
    std::snprintf(c.interceptEffect, sizeof c.interceptEffect, "Intercept %d", n);
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

void BattleRunTest::WriteArts() {
  WriteData("AtArts.dat",
            std::string(reinterpret_cast<const char*>(db.attackArts), sizeof db.attackArts));
  WriteData("DfArts.dat",
            std::string(reinterpret_cast<const char*>(db.defenceArts), sizeof db.defenceArts));
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

void BattleRunTest::Run(const std::string& input, headless::HeadlessHost::Automation automation) {
  MakeHost(input);
  host->SetAutomation(automation);
  host->options().screenshotDir = (dataDir / "shots").string();
  std::filesystem::create_directories(dataDir / "shots");
  ASSERT_EQ(RunGame(), 0);
  EXPECT_TRUE(host->boxes.empty()) << BoxTexts()[0];
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

void BattlePositionTest::SetUp() {
  BattleRunTest::SetUp();
  WriteStory(".battle fg\\foe 300 300 40 40 1 foe 0 5 1");
  Run(kStart);
  // A host of its own, outside the finished run's message loop.
  MakeHost();
  gfx.ViewOffset = 0;
  shell.InputMode = mode::Busy;
  for (ArtsRecord* table : {db.attackArts, db.defenceArts}) {
    for (int i = 0; i <= kAttackArtsCount; ++i) {
      if (table == db.defenceArts && i > kDefenceArtsCount) break;
      table[i] = ArtsRecord{};
      std::memcpy(table[i].pattern, "ZZ", 3);
    }
  }
}

Figures::Figures(int s) {
  auto add = [this](auto figure) {
    all_.push_back({std::get<0>(figure), std::get<1>(figure), std::get<2>(figure)});
  };
  for (int who = 0; who < 2; ++who) {
    const int side = who == 0 ? s : 1 - s;
    const std::string p = who == 0 ? "s." : "o.";
    BattleSide& b = battle.side[side];
    const SideVitals v = sideVitals(side);
    std::istringstream names(
        "hp maxHp mp maxMp phys magic hpRec mpRec charge drain pAU pG mAU mG hRU mRU curse "
        "deckLeft drawIndex");
    for (int32_t* r : {&v.hp, &v.maxHp, &v.mp, &v.maxMp, &b.physDamage, &b.magicDamage,
                       &b.hpRecovery, &b.mpRecovery, &b.mpCharge, &b.drain, &b.physAttackUp,
                       &b.physGuard, &b.magicAttackUp, &b.magicGuard, &b.hpRecoveryUp,
                       &b.mpRecoveryUp, &b.curseTurns, &b.deckLeft, &b.drawIndex}) {
      std::string n;
      names >> n;
      add(Fig(p + n, *r));
    }
    add(Fig(p + "poisoned", b.poisoned));
    add(Fig(p + "poisonGuard", b.poisonGuard));
    add(Fig(p + "curseGuard", b.curseGuard));
    for (int k = 1; k <= kHandSlots; ++k) {
      add(Fig(p + "hand" + std::to_string(k), b.hand[k].card));
      add(Fig(p + "in" + std::to_string(k), b.hand[k].inHand));
      add(Fig(p + "played" + std::to_string(k), b.played[k].card));
      add(Fig(p + "from" + std::to_string(k), b.played[k].fromSlot));
    }
    all_.push_back(
        {p + "pattern", [&b] { return int64_t(strnlen(b.playedPattern, 16)); }, [](int64_t) {}});
  }
  int i = 0;
  for (int32_t* r : {&battle.physAttackField, &battle.physGuardField, &battle.magicAttackField,
                     &battle.magicGuardField, &battle.hpRecoveryField, &battle.mpRecoveryField})
    add(Fig(kFieldNames[i++], *r));
  taken_.reserve(all_.size());
  for (const Figure& f : all_) taken_.push_back(f.get());
}

namespace {

// Calls set for every figure the words name, in their order.
void ForWords(const std::string& words,
              const std::function<void(const std::string&, int64_t)>& set) {
  std::istringstream in(words);
  for (std::string w; in >> w;) {
    const size_t eq = w.find('=');
    if (eq != std::string::npos) {
      set(w.substr(0, eq), std::stoll(w.substr(eq + 1)));
    } else if (w == "sB0" || w == "oB0") {
      for (const char* b : kBarrierNames) set(w.substr(0, 1) + "." + b, 0);
    } else if (w == "F0") {
      for (const char* f : kFieldNames) set(f, 0);
    } else if (w == "Z") {
      for (const char* p : {"s.", "o."}) {
        for (const char* b : kBarrierNames) set(std::string(p) + b, 0);
        for (const char* a : {"phys", "magic", "hpRec", "mpRec", "charge"})
          set(std::string(p) + a, 0);
      }
      for (const char* f : kFieldNames) set(f, 0);
    } else if (w[0] == 'B' || w[0] == 'F') {
      const int64_t p = std::stoll(w.substr(1));
      for (int i = 0; i < 6; ++i) {
        if (w[0] == 'B') set(std::string("s.") + kBarrierNames[i], 1000 * (i + 1) * p / 100);
        if (w[0] == 'F') set(kFieldNames[i], 10000 * (i + 1) * p / 100);
      }
    } else {
      ADD_FAILURE() << "bad word " << w;
    }
  }
}

}  // namespace

void SetFigures(int s, const std::string& words) {
  const Figures figures(s);
  ForWords(words, [&figures](const std::string& name, int64_t value) {
    const size_t i = figures.Index(name);
    if (i < figures.all_.size()) figures.all_[i].set(value);
  });
}

size_t Figures::Index(const std::string& name) const {
  for (size_t i = 0; i < all_.size(); ++i)
    if (all_[i].name == name) return i;
  ADD_FAILURE() << "no figure " << name;
  return all_.size();
}

std::string Figures::Differing(const std::vector<int64_t>& values) const {
  std::string words;
  for (size_t i = 0; i < all_.size(); ++i)
    if (values[i] != taken_[i]) words += all_[i].name + "=" + std::to_string(values[i]) + " ";
  return words;
}

std::string Figures::Changed() const {
  std::vector<int64_t> now;
  now.reserve(all_.size());
  for (const Figure& f : all_) now.push_back(f.get());
  return Differing(now);
}

std::string Figures::After(const std::string& words) const {
  std::vector<int64_t> values = taken_;
  ForWords(words, [this, &values](const std::string& name, int64_t value) {
    const size_t i = Index(name);
    if (i < values.size()) values[i] = value;
  });
  return Differing(values);
}

void Baseline(int s, uint32_t card) {
  battle.handSize = 5;
  for (int who = 0; who < 2; ++who) {
    BattleSide& b = battle.side[who == 0 ? s : 1 - s];
    b = BattleSide{};
    const uint32_t base = who == 0 ? 0 : 30;
    b.hand[1] = {who == 0 ? card : base + 1, 0};
    b.played[1] = {b.hand[1].card, 1};
    for (int k = 2; k <= 4; ++k) b.hand[k] = {base + k, 1};
    for (int i = 1; i <= 3; ++i) b.deck[i] = base + 10 + i;
    b.deckLeft = 3;
    b.drawIndex = 1;
  }
  std::strcpy(battle.side[1 - s].playedPattern, "QQRR");
  SetFigures(s, kBaseline);
  for (int side = 0; side < 2; ++side)
    for (int k = 1; k <= kHandSlots; ++k)
      for (int y = 0; y < kCardHeight; ++y)
        std::fill_n(gfx.PartsSheet.Row(kCardHeight * side + y) + kCardWidth * k, kCardWidth,
                    SlotColour(side, k));
  for (int y = 0; y < gfx.Screen.height; ++y)
    std::fill_n(gfx.Screen.Row(y), gfx.Screen.width, kSentinel);
  msgwin.window[1].ClearAll();
}

std::string Spell(const std::vector<int>& attributes) {
  std::string pattern;
  for (int a : attributes) pattern += attributeSymbol(a);
  return pattern;
}

ArtsRecord& SetArt(Role role, int n, const std::vector<int>& attributes, int32_t kind,
                   int32_t value, int32_t mpCost, int32_t weight) {
  ArtsRecord& art = role == Role::Attack ? db.attackArts[n] : db.defenceArts[n];
  art = ArtsRecord{};
  const std::string pattern = Spell(attributes);
  std::memcpy(art.pattern, pattern.c_str(), pattern.size() + 1);
  std::snprintf(art.name, sizeof art.name, "Art%d", n);
  std::snprintf(art.effectText, sizeof art.effectText, "Does %d", kind);
  art.effectKind = kind;
  art.effectValue = value;
  art.mpCost = mpCost;
  art.weight = weight;
  return art;
}

void Deal(int s, const std::vector<uint32_t>& cards) {
  BattleSide& side = battle.side[s];
  for (int k = 1; k <= kHandSlots; ++k) {
    side.hand[k] = {k <= static_cast<int>(cards.size()) ? cards[k - 1] : 0u, 1};
    side.played[k] = PlayedCard{};
  }
  side.playedPattern[0] = '\0';
}

void Play(int s, const std::vector<int>& attributes) {
  BattleSide& side = battle.side[s];
  for (PlayedCard& p : side.played) p = PlayedCard{};
  for (size_t i = 0; i < attributes.size(); ++i)
    side.played[i + 1] = {static_cast<uint32_t>(attributes[i]), static_cast<int32_t>(i + 1)};
  const std::string pattern = Spell(attributes);
  std::memcpy(side.playedPattern, pattern.c_str(), pattern.size() + 1);
}

std::string Wrong(const std::vector<Px>& points) {
  std::string wrong;
  for (const Px& p : points) {
    if (At(p.x, p.y) != p.colour)
      wrong += std::to_string(p.x) + "," + std::to_string(p.y) + ":" +
               std::to_string(At(p.x, p.y)) + " ";
  }
  return wrong;
}

std::string WindowText(int w, const char* sep) {
  std::string text;
  LineRecord line{};
  for (int i = 1; msgwin.window[w].GetLine(i, line); ++i) {
    if (i > 1) text += sep;
    text += line.text;
  }
  const std::string s = sep;
  while (!s.empty() && text.size() >= s.size() &&
         text.compare(text.size() - s.size(), s.size(), s) == 0)
    text.resize(text.size() - s.size());
  return text;
}

}  // namespace battle_test
