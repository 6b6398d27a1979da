// The Standard MIDI File sequencer: a whole file parsed once into a flat,
// time-ordered event list, then walked by a 1 ms periodic timer in ticks
// computed from the elapsed time and the tempo.
//
// Timing follows the 1 ms model exactly, but the timer does not wake for
// milliseconds in which nothing can happen: after each call the sequencer
// sets its timer's period to reach the millisecond at which the next entry
// is due, and the ticks of the milliseconds slept over are counted in one
// step on waking. Stop and a new song kill or replace the timer at once.
//
// The timer callback and the GUI thread share only this object. There is no
// lock: Stop asks the callback to end, kills the timer and waits for the
// player's re-entry flag before it touches the device.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Owns one periodic timer of the platform.
class MmTimer {
 public:
  MmTimer() = default;
  virtual ~MmTimer();
  MmTimer(const MmTimer&) = delete;
  MmTimer& operator=(const MmTimer&) = delete;

  virtual void OnTick() {}

  // Starting with the period already running keeps the running timer.
  int StartTimer(uint32_t periodMs);
  void KillTimer();
  bool TimerRunning() const { return timerId_.load() != 0; }

 protected:
  std::atomic<uint32_t> timerId_{0};
  uint32_t resolution_ = 1;  // the platform's timers are 1 ms exact
  uint32_t period_ = 0;
  std::atomic<bool> busy_{false};

 private:
  static void Callback(uint32_t timerId, void* user);
};

// One entry of the merged list: 8 bytes, in time order.
struct MidiEvent {
  uint32_t delta = 0;  // ticks since the previous entry
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
  uint8_t spare = 0;

  uint16_t Payload() const { return static_cast<uint16_t>(data1 | (data2 << 8)); }
  // A marker keeps data1 for its type, so its text's offset follows it.
  uint16_t MarkerOffset() const { return static_cast<uint16_t>(data2 | (spare << 8)); }
};
static_assert(sizeof(MidiEvent) == 8);

constexpr uint8_t kMetaTempo = 0x51;
constexpr uint8_t kMetaMarker = 0x06;
constexpr uint32_t kDefaultTempo = 500000;  // µs per quarter note: 120 beats per minute

struct Song {
  uint32_t division = 0;          // ticks per quarter note
  std::vector<char> markerText;   // NUL-terminated texts, addressed by offset
  std::vector<MidiEvent> events;  // the merged list
  size_t eventCount = 0;
  std::vector<std::vector<uint8_t>> sysex;  // 0xF0 and the data bytes
  // The tempo every play starts with: the default, but for a time code song
  // a fixed one that makes the division its ticks per second.
  uint32_t tempo = kDefaultTempo;
  bool timecode = false;
  // Index of the "L" marker's entry, where a loop starts again; 0: none
  // (the start).
  size_t loopPosition = 0;
  bool loaded = false;

  void Clear() { *this = Song{}; }
};

// Parses a Standard MIDI File into song; false, and why when asked, for a
// file it refuses. Malformed content never makes it read outside the
// buffer: a track that runs past the end of the file, or an event cut off by
// the end of its chunk, ends that track.
bool ParseMidi(const uint8_t* data, size_t size, Song& song, const char** why = nullptr);

struct ChannelState {
  uint8_t program = 0;
  uint8_t bank = 0;      // controller 0
  uint8_t pan = 64;      // controller 10
  uint8_t reverb = 0;    // controller 91
  uint8_t chorus = 0;    // controller 93
  uint8_t volume = 100;  // controller 7
  uint32_t lastMessage = 0;
};

class MidiSequencer : public MmTimer {
 public:
  MidiSequencer() = default;
  ~MidiSequencer() override;

  void OnTick() override;
  virtual void OnMarker(const char* /*text*/) {}

  int Load(const char* name, uintptr_t resourceType);
  int Play();
  int Stop();
  void Resume();

  // Everything back to the state of a new object: stopped, no song.
  void Reset();

  Song song;
  int deviceId = -1;  // the MIDI mapper
  bool deviceOpen = false;
  int loop = 0;  // 1: repeat forever; set by the music interface before every play
  std::atomic<bool> stopRequested{false};
  std::atomic<bool> playing{false};  // the player's re-entry flag

  // Play position.
  size_t position = 0;      // index of the next entry
  uint32_t ticksLeft = 0;   // until that entry
  uint64_t totalTicks = 0;  // played
  uint64_t ticksSinceTempo = 0;

  // Timing base.
  uint64_t origin = 0;   // ms
  uint64_t elapsed = 0;  // ms since origin, as of the current callback
  uint64_t elapsedTotal = 0;
  uint32_t tempo = kDefaultTempo;
  uint32_t beatsPerMinute = 120;
  uint64_t startDeadline = 0;
  bool startDelay = false;
  bool catchUp = false;
  bool lagging = false;
  // The last call slept over the milliseconds up to wakeElapsed (ms since
  // origin); the ticks they would have processed are still to be counted.
  bool sleptOver = false;
  uint64_t wakeElapsed = 0;

  ChannelState channels[16];

 private:
  void ResetPlayer();
  void ProcessTick();
  void HandleEntry();
  void Send(uint8_t status, uint8_t data1, uint8_t data2);
  void CloseDevice();
  void ResendChannelState();
  void ResumeTiming();
  uint64_t TargetTick(uint64_t elapsedMs) const;
  void CountSleptTicks();
  void PlanNextCall(bool caughtUp);
  void CallAgainAt(uint64_t ms);
};
