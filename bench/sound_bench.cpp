// The music: parsing a large file, and what playing costs on the timer thread.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "midigen/midi_writer.h"
#include "platform/headless/headless.h"
#include "sound/music.h"
#include "sound/sequencer.h"

namespace {

// 16 tracks of dense notes and controllers: about 160 000 events. Each note
// is put off the 32nd-note grid by up to jitter ticks, so that the tracks
// rarely play together.
std::vector<uint8_t> LargeSong(int notesPerTrack, unsigned jitter = 30) {
  std::mt19937 rng(1);
  std::vector<midigen::Track> tracks(16);
  tracks[0].Tempo(0, 500000);
  for (int t = 0; t < 16; ++t) {
    tracks[t].Program(0, t, t * 5);
    for (int i = 0; i < notesPerTrack; ++i) {
      const uint32_t tick = static_cast<uint32_t>(i * 60 + (jitter ? rng() % jitter : 0));
      tracks[t].Note(tick, 50, t, 36 + static_cast<int>(rng() % 60),
                     60 + static_cast<int>(rng() % 60));
      if (i % 8 == 0) tracks[t].Controller(tick, t, 11, static_cast<int>(rng() % 128));
    }
  }
  return midigen::WriteSmf(tracks, 480);
}

void BM_ParseAndMergeLargeSong(benchmark::State& state) {
  const auto song = LargeSong(static_cast<int>(state.range(0)));
  Song parsed;
  for (auto _ : state) {
    ParseMidi(song.data(), song.size(), parsed);
    benchmark::DoNotOptimize(parsed.events.data());
  }
  state.counters["events"] = static_cast<double>(parsed.eventCount);
  state.counters["file_kB"] = static_cast<double>(song.size()) / 1024;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * song.size()));
}
BENCHMARK(BM_ParseAndMergeLargeSong)->Arg(5000)->Unit(benchmark::kMillisecond);

// The most tracks a file can name, each a single note at a time of its own:
// about 1.1 MB. Merging visits only the tracks that are due, so this costs
// about as much as any song of as many events.
std::vector<uint8_t> ManyTrackSong() {
  constexpr uint32_t kTracks = 65535;
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0xFF, 0xFF, 0x01, 0xE0};
  for (uint32_t i = 0; i < kTracks; ++i) {
    const uint32_t tick = (i * 7919u) % 16384u;  // spread over the song, in no order
    const uint8_t body[] = {static_cast<uint8_t>(0x80 | (tick >> 7)),
                            static_cast<uint8_t>(tick & 0x7F),
                            static_cast<uint8_t>(0x90 | (i % 16)),
                            static_cast<uint8_t>(36 + i % 60),
                            90,
                            0x00,
                            0xFF,
                            0x2F,
                            0x00};
    file.insert(file.end(), {'M', 'T', 'r', 'k', 0, 0, 0, sizeof body});
    file.insert(file.end(), std::begin(body), std::end(body));
  }
  return file;
}

void BM_MergeManyTracks(benchmark::State& state) {
  const auto song = ManyTrackSong();
  Song parsed;
  for (auto _ : state) {
    ParseMidi(song.data(), song.size(), parsed);
    benchmark::DoNotOptimize(parsed.events.data());
  }
  state.counters["tracks"] = 65535;
  state.counters["events"] = static_cast<double>(parsed.eventCount);
  state.counters["file_kB"] = static_cast<double>(song.size()) / 1024;
}
BENCHMARK(BM_MergeManyTracks)->Unit(benchmark::kMillisecond);

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Plays a song for two real seconds on the posix timer thread while the
// main thread sleeps: the process's CPU time over that is the timer's cost.
// The timer wakes only for the milliseconds in which messages go out
// (event_ms_per_s), so that is what the cost follows.
void PlayForTwoSeconds(benchmark::State& state, const std::vector<uint8_t>& song) {
  const auto dir = std::filesystem::temp_directory_path() / "quillfen-bench-music";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "song.mid", std::ios::binary)
      .write(reinterpret_cast<const char*>(song.data()), static_cast<std::streamsize>(song.size()));
  headless::Options o;
  o.dataDir = dir.string();
  o.echo = false;
  o.realClock = true;
  o.threadedTimer = true;
  double share = 0;
  {
    headless::HeadlessHost host(o);
    plat::SetHost(&host);
    for (auto _ : state) {
      PlayMusic("song.mid", 1);
      const double cpu0 = ProcessCpuSeconds();
      const auto t0 = std::chrono::steady_clock::now();
      std::this_thread::sleep_for(std::chrono::seconds(2));
      const double wall =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      share = (ProcessCpuSeconds() - cpu0) / wall;
      StopMusic();
    }
    state.counters["messages"] = static_cast<double>(host.sound.size());
    ResetSound();
    plat::SetHost(nullptr);
  }
  state.counters["cpu_percent_of_a_core"] = share * 100;
  std::filesystem::remove_all(dir);

  // The milliseconds of the first two seconds in which messages are due (the
  // songs keep the default tempo): the fewest wakes that keep their times.
  Song parsed;
  ParseMidi(song.data(), song.size(), parsed);
  const uint64_t perMs = uint64_t{parsed.division} * 1000;
  std::set<uint64_t> due;
  uint64_t tick = 0;
  for (size_t i = 0; i < parsed.eventCount; ++i) {
    tick += parsed.events[i].delta;
    const uint64_t ms = (tick * kDefaultTempo + perMs - 1) / perMs;
    if (ms >= 2000) break;
    if (parsed.events[i].status >= 0x80 && parsed.events[i].status <= 0xEF) due.insert(ms);
  }
  state.counters["event_ms_per_s"] = static_cast<double>(due.size()) / 2;
}

// A busy song whose 16 tracks seldom meet: messages in about half of all
// milliseconds.
void BM_TimerThreadCpuWhilePlaying(benchmark::State& state) {
  PlayForTwoSeconds(state, LargeSong(2000));
}
BENCHMARK(BM_TimerThreadCpuWhilePlaying)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// As busy, but every track on the 32nd-note grid, as written music mostly is.
void BM_TimerThreadCpuWhilePlayingOnTheGrid(benchmark::State& state) {
  PlayForTwoSeconds(state, LargeSong(2000, 0));
}
BENCHMARK(BM_TimerThreadCpuWhilePlayingOnTheGrid)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The floor for comparison: a thread that only sleeps to the next
// millisecond, with no callback at all.
void BM_BareOneMsWakeupsCpu(benchmark::State& state) {
  double share = 0;
  for (auto _ : state) {
    const double cpu0 = ProcessCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    std::thread sleeper([] {
      auto due = std::chrono::steady_clock::now();
      for (int i = 0; i < 2000; ++i) {
        due += std::chrono::milliseconds(1);
        std::this_thread::sleep_until(due);
      }
    });
    sleeper.join();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    share = (ProcessCpuSeconds() - cpu0) / wall;
  }
  state.counters["cpu_percent_of_a_core"] = share * 100;
}
BENCHMARK(BM_BareOneMsWakeupsCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
