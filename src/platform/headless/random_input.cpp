#include "platform/headless/random_input.h"

#include <iterator>

namespace headless {

uint64_t SoakRandom::Next() {
  // splitmix64
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

int SoakRandom::Between(int lo, int hi) {
  const uint64_t span = static_cast<uint64_t>(static_cast<int64_t>(hi) - lo + 1);
  return lo + static_cast<int>(Next() % span);
}

namespace {

using K = InputEvent::Kind;

struct Point {
  int x, y;
};

// Where a random player's hand goes: mostly anywhere on the page, often the
// three screen buttons of the status bar, the bars at the foot of the
// screens and the lines of a choice, which lead everywhere else.
Point SomePlace(SoakRandom& r) {
  const int pick = r.Between(0, 99);
  if (pick < 5) {
    static constexpr int kButtonLeft[3] = {524, 562, 600};
    return {kButtonLeft[r.Between(0, 2)] + r.Between(0, 33), r.Between(442, 475)};
  }
  if (pick < 13) return {r.Between(0, 639), r.Between(440, 479)};
  // Now and then just off the page: the pointer is captured while a button
  // is held, so positions outside the window do reach the game.
  if (pick < 15) return {r.Between(-40, 680), r.Between(-40, 520)};
  // The lower left, where the message windows offer their choices.
  if (pick < 40) return {r.Between(0, 360), r.Between(300, 430)};
  return {r.Between(0, 639), r.Between(0, 479)};
}

class Maker {
 public:
  explicit Maker(uint64_t seed) : r(seed) {}

  SoakRandom r;
  std::vector<InputEvent> out;
  uint64_t covered = 0;

  void Add(uint64_t afterMs, K kind, Point p = {0, 0}, uint32_t key = 0) {
    InputEvent e;
    e.trigger = InputEvent::Trigger::After;
    e.ms = afterMs;
    e.kind = kind;
    e.x = p.x;
    e.y = p.y;
    e.key = key;
    e.sourceLine = static_cast<int>(out.size() + 1);
    out.push_back(e);
    covered += afterMs;
  }

  // The pause before an input: mostly a quick hand, sometimes a reader's
  // pause, now and then long enough for a battle or a scene to play itself.
  uint64_t Pause() {
    const int pick = r.Between(0, 99);
    if (pick < 70) return static_cast<uint64_t>(r.Between(20, 600));
    if (pick < 95) return static_cast<uint64_t>(r.Between(600, 3000));
    return static_cast<uint64_t>(r.Between(3000, 20000));
  }

  void Click(uint64_t pause, K down, K up) {
    const Point p = SomePlace(r);
    Add(pause, K::Move, p);
    Add(0, down, p);
    Add(static_cast<uint64_t>(r.Between(10, 250)), up, p);
  }

  // From anywhere to anywhere: what is dragged (a card of the deck editor)
  // may lie on any part of the page, and so may where it is dropped.
  void Drag(uint64_t pause) {
    Point p = {r.Between(0, 639), r.Between(0, 479)};
    const Point to = {r.Between(0, 639), r.Between(0, 479)};
    Add(pause, K::Move, p);
    Add(0, K::LDown, p);
    for (int n = r.Between(1, 6), steps = n; n > 0; --n) {
      p = {p.x + (to.x - p.x) / n + r.Between(-30, 30),
           p.y + (to.y - p.y) / n + r.Between(-30, 30)};
      Add(static_cast<uint64_t>(r.Between(15, 200)), K::Move, steps == 1 || n > 1 ? p : to);
    }
    Add(static_cast<uint64_t>(r.Between(15, 300)), K::LUp, r.Between(0, 4) ? to : SomePlace(r));
  }

  // The reading aids: the wheel, Ctrl held a while, and their keys, views
  // opened and left in any mode.
  void Aid(uint64_t pause) {
    static constexpr uint32_t kKeys[] = {
        plat::vk::Tab,   plat::vk::A,        plat::vk::T,           plat::vk::F2,
        plat::vk::Slash, plat::vk::PageUp,   plat::vk::PageDown,    plat::vk::Up,
        plat::vk::Down,  plat::vk::Home,     plat::vk::End,         plat::vk::Minus,
        plat::vk::Plus,  plat::vk::M,        plat::vk::LeftBracket, plat::vk::RightBracket,
        plat::vk::F11,   plat::vk::Subtract, plat::vk::Add};
    const int what = r.Between(0, 9);
    if (what < 4) return Add(pause, K::Wheel, {r.Between(-3, 3), 0});
    if (what < 5) {
      Add(pause, K::Key, {}, plat::vk::Control);
      return Add(static_cast<uint64_t>(r.Between(20, 3000)), K::KeyUp, {}, plat::vk::Control);
    }
    Add(pause, K::Key, {}, kKeys[r.Between(0, static_cast<int>(std::size(kKeys)) - 1)]);
  }

  void One(uint32_t quitPerMille) {
    const uint64_t pause = Pause();
    if (static_cast<uint32_t>(r.Between(0, 999)) < quitPerMille) {
      const int which = r.Between(0, 2);
      if (which == 2)
        Add(pause, K::Close);
      else
        Add(pause, K::Key, {}, which == 0 ? plat::vk::Escape : plat::vk::F12);
      return;
    }
    const int pick = r.Between(0, 99);
    if (pick < 4) {
      // An impatient hand: a burst of clicks and keys while the game is
      // still busy with the first.
      uint64_t gap = pause;
      for (int n = r.Between(3, 20); n > 0; --n) {
        const int what = r.Between(0, 9);
        if (what < 2)
          Add(gap, K::Key, {}, plat::vk::Return);
        else if (what < 3)
          Click(gap, K::RDown, K::RUp);
        else
          Click(gap, K::LDown, K::LUp);
        gap = static_cast<uint64_t>(r.Between(0, 40));
      }
      return;
    }
    if (pick < 8) return Aid(pause);
    if (pick < 50) return Click(pause, K::LDown, K::LUp);
    if (pick < 60) return Click(pause, K::RDown, K::RUp);
    if (pick < 76) return Drag(pause);
    if (pick < 84) return Add(pause, K::Move, SomePlace(r));
    if (pick < 90) return Add(pause, K::Key, {}, plat::vk::Return);
    if (pick < 92) return Add(pause, K::Key, {}, plat::vk::F1);
    if (pick < 94) return Add(pause, K::Key, {}, plat::vk::F4);
    if (pick < 95) return Add(pause, K::SysKey, {}, plat::vk::Return);
    if (pick < 97) {
      // A press and a release that do not pair up, as a hand that leaves
      // the window with a button held.
      const Point p = SomePlace(r);
      const K k = r.Between(0, 1) ? (r.Between(0, 1) ? K::LDown : K::LUp)
                                  : (r.Between(0, 1) ? K::RDown : K::RUp);
      return Add(pause, k, p);
    }
    Add(pause, r.Between(0, 1) ? K::Activate : K::Deactivate);
  }
};

}  // namespace

std::vector<InputEvent> RandomInput(const SoakOptions& options) {
  Maker m(options.seed);
  while (m.covered < options.durationMs) m.One(options.quitPerMille);
  return std::move(m.out);
}

}  // namespace headless
