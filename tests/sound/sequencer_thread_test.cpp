// The sequencer with its timer on a real thread, as the desktop backends run
// it: Stop must wait for a callback in progress before touching the device.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "sound/sound_fixture.h"

namespace {

class SlowSequencer : public MidiSequencer {
 public:
  std::atomic<bool> inside{false};
  std::atomic<int> markers{0};
  void OnMarker(const char*) override {
    inside = true;
    ++markers;
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    inside = false;
  }
};

}  // namespace

// The sequencer's timer on its own thread, on the real clock.
class ThreadedSoundTest : public SoundTest {
 protected:
  void UseRealTimeHost() {
    headless::Options o;
    o.dataDir = dataDir.string();
    o.echo = false;
    o.realClock = true;
    o.threadedTimer = true;
    host = std::make_unique<headless::HeadlessHost>(o);
    plat::SetHost(host.get());
  }
};

TEST_F(ThreadedSoundTest, StopOnTheGuiThreadWaitsForARunningCallback) {
  midigen::Track t;
  for (int i = 0; i < 200; ++i) {
    t.Marker(i * 10, "m");
    t.Note(i * 10, 5, 0, 60, 100);
  }
  WriteSong("markers.mid", {t});
  UseRealTimeHost();

  SlowSequencer seq;
  ASSERT_EQ(seq.Load("markers.mid", 0), 1);
  ASSERT_EQ(seq.Play(), 1);
  for (int i = 0; i < 5000 && !seq.inside.load(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(seq.inside.load()) << "the song never reached a marker";
  EXPECT_EQ(seq.Stop(), 1);
  EXPECT_FALSE(seq.inside.load());  // the callback had finished
  EXPECT_FALSE(seq.playing.load());
  const int markers = seq.markers.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(seq.markers.load(), markers);  // and none ran after

  // The device is muted, reset and closed last of all.
  const auto& s = host->sound;
  ASSERT_GE(s.size(), 18u);
  const size_t end = s.size();
  for (int ch = 0; ch < 16; ++ch) {
    EXPECT_EQ(s[end - 18 + ch].kind, Kind::MidiShort);
    EXPECT_EQ(s[end - 18 + ch].message, (0xB0u + ch) | (7u << 8));
  }
  EXPECT_EQ(s[end - 2].kind, Kind::MidiReset);
  EXPECT_EQ(s[end - 1].kind, Kind::MidiClose);
}

namespace {

class MarkerSequencer : public MidiSequencer {
 public:
  std::atomic<int> seen{0};
  void OnMarker(const char* text) override { seen = text[0]; }
};

}  // namespace

// The timer sleeps through a long rest, but a new song does not wait for it.
TEST_F(ThreadedSoundTest, ANewSongStartsAtOnceWhileTheTimerSleepsThroughARest) {
  using Clock = std::chrono::steady_clock;
  midigen::Track rest, next;
  rest.Marker(0, "a");
  rest.Note(0, 100, 0, 60, 100);
  rest.Note(480 * 120, 100, 0, 62, 100);  // a minute later
  next.Marker(0, "b");
  next.Note(0, 100, 0, 64, 100);
  WriteSong("rest.mid", {rest});
  WriteSong("next.mid", {next});
  UseRealTimeHost();

  MarkerSequencer seq;
  ASSERT_EQ(seq.Load("rest.mid", 0), 1);
  ASSERT_EQ(seq.Play(), 1);
  const auto wait = [&](int marker) {
    for (int i = 0; i < 5000 && seq.seen.load() != marker; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return seq.seen.load() == marker;
  };
  ASSERT_TRUE(wait('a'));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // asleep until the next note
  const auto t0 = Clock::now();
  ASSERT_EQ(seq.Load("next.mid", 0), 1);  // stops the first song
  ASSERT_EQ(seq.Play(), 1);
  ASSERT_TRUE(wait('b'));
  // About the start delay of 100 ms; a timer left asleep would take a minute.
  EXPECT_LT(Clock::now() - t0, std::chrono::seconds(3));
  seq.Stop();
}
