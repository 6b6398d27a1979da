// The seam between the game and the operating system.
//
// The game is written as a Windows program at heart: it reacts to window
// messages, pumps them inside its own waits, invalidates rectangles and lets a
// paint message present them. Every backend (headless, SDL, Win32) supplies
// that behaviour through this one interface, and nothing else in the core
// touches the operating system.
//
// Strings crossing the seam are the game's own: Shift-JIS (code page 932),
// file names relative to the data directory with backslashes. Converting them
// for the host is the backend's business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plat {

// Message numbers keep the values the game was designed around, so the Win32
// backend passes them through unchanged. They are named differently from the
// <windows.h> macros on purpose, so both can live in one translation unit.
namespace msg {
constexpr uint32_t Destroy = 0x0002;
constexpr uint32_t Activate = 0x0006;
constexpr uint32_t Paint = 0x000F;
constexpr uint32_t Close = 0x0010;
constexpr uint32_t Quit = 0x0012;
// The system ends the program (a termination signal, the session ending):
// nobody is asked, the game ends the normal way with its progress written.
constexpr uint32_t EndSession = 0x0016;
// lParam bit 30 is set when the key was already down: the keyboard's repeat.
constexpr uint32_t KeyDown = 0x0100;
constexpr uint32_t KeyUp = 0x0101;
constexpr uint32_t SysKeyDown = 0x0104;
constexpr uint32_t Timer = 0x0113;
constexpr uint32_t MouseMove = 0x0200;
constexpr uint32_t LButtonDown = 0x0201;
constexpr uint32_t LButtonUp = 0x0202;
constexpr uint32_t RButtonDown = 0x0204;
constexpr uint32_t RButtonUp = 0x0205;
// wParam's high word is the signed distance, 120 a notch, positive when the
// wheel turns away from the player; lParam the pointer in client coordinates.
constexpr uint32_t MouseWheel = 0x020A;
constexpr uint32_t User = 0x0400;
}  // namespace msg

// Low word of an Activate message's wParam.
namespace activate {
constexpr uint32_t Inactive = 0;
constexpr uint32_t Active = 1;
constexpr uint32_t ClickActive = 2;
}  // namespace activate

// Virtual-key codes the game reacts to.
namespace vk {
constexpr uint32_t Tab = 0x09;
constexpr uint32_t Return = 0x0D;
constexpr uint32_t Shift = 0x10;
constexpr uint32_t Control = 0x11;
constexpr uint32_t Escape = 0x1B;
constexpr uint32_t PageUp = 0x21;
constexpr uint32_t PageDown = 0x22;
constexpr uint32_t End = 0x23;
constexpr uint32_t Home = 0x24;
constexpr uint32_t Up = 0x26;
constexpr uint32_t Down = 0x28;
constexpr uint32_t A = 0x41;  // letters are their capitals' codes
constexpr uint32_t M = 0x4D;
constexpr uint32_t N = 0x4E;
constexpr uint32_t T = 0x54;
constexpr uint32_t Y = 0x59;
constexpr uint32_t Add = 0x6B;       // keypad +
constexpr uint32_t Subtract = 0x6D;  // keypad -
constexpr uint32_t F1 = 0x70;
constexpr uint32_t F2 = 0x71;
constexpr uint32_t F4 = 0x73;
constexpr uint32_t F11 = 0x7A;
constexpr uint32_t F12 = 0x7B;
constexpr uint32_t Plus = 0xBB;          // the main block's "+" key ("=" or ";" unshifted)
constexpr uint32_t Minus = 0xBD;         // the main block's "-" key
constexpr uint32_t Slash = 0xBF;         // "/" and, shifted, "?"
constexpr uint32_t LeftBracket = 0xDB;   // "["
constexpr uint32_t RightBracket = 0xDD;  // "]"
}  // namespace vk

// The keys with which the player asks to end the game.
constexpr bool IsQuitKey(uintptr_t virtualKey) {
  return virtualKey == vk::Escape || virtualKey == vk::F12;
}

constexpr intptr_t kKeyRepeat = intptr_t{1} << 30;

// Mouse positions travel in lParam as two signed 16-bit halves, x low.
constexpr intptr_t PackPoint(int x, int y) {
  return static_cast<intptr_t>((static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) |
                               static_cast<uint16_t>(x));
}
constexpr int PointX(intptr_t lParam) { return static_cast<int16_t>(lParam & 0xFFFF); }
constexpr int PointY(intptr_t lParam) { return static_cast<int16_t>((lParam >> 16) & 0xFFFF); }

struct Message {
  uint32_t id = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

struct Rect {
  int32_t x = 0, y = 0, w = 0, h = 0;
};

struct Point {
  int32_t x = 0, y = 0;
};

// The broken-down calendar time of the C runtime, nine fields in this order.
struct CalendarTime {
  int32_t sec = 0, min = 0, hour = 0, mday = 0, mon = 0, year = 0, wday = 0, yday = 0, isdst = 0;
};

// A bottom-up 16-bit (X1R5G5B5) picture as the game keeps it in memory.
struct PixelView {
  const void* header = nullptr;  // the 40-byte bitmap header in front of the rows
  const uint16_t* pixels = nullptr;
  int32_t width = 0, height = 0, stride = 0;  // stride in bytes
};

enum class WriteResult { Ok, CreateFailed, ShortWrite };

// Answer of the display-mode test, in the three classes the game tells apart.
enum class DisplayTest { Successful, Restart, BadMode, Failed };

// A bottom-up 16-bit surface the system may draw into (text rasterising).
struct Surface {
  uint16_t* pixels = nullptr;
  int32_t width = 0, height = 0, stride = 0;  // stride in bytes
};

// A font made by the host; 0 is no font.
using FontHandle = uint32_t;

using WindowProc = intptr_t (*)(uint32_t id, uintptr_t wParam, intptr_t lParam);

// Time value meaning "no deadline" for WaitReady.
constexpr uint64_t kNoDeadline = ~uint64_t{0};

class Host {
 public:
  virtual ~Host() = default;

  // --- window -------------------------------------------------------------
  // Opens the game window (640 x 480 client area) and shows it. Every message
  // is handed to proc, including the ones the backend sends synchronously
  // (Destroy from DestroyWindow, Paint from UpdateNow).
  virtual bool OpenWindow(const char* titleSjis, WindowProc proc) = 0;
  // Destroys the window; proc receives Destroy before this returns.
  virtual void DestroyWindow() = 0;
  // What the system does with a message the game does not handle.
  virtual intptr_t DefaultProc(uint32_t id, uintptr_t wParam, intptr_t lParam) = 0;

  // --- messages -----------------------------------------------------------
  virtual void Post(uint32_t id, uintptr_t wParam, intptr_t lParam) = 0;
  virtual void PostQuit(int code) = 0;
  // Is a message ready (posted, or paint/timer due)? Removes nothing.
  virtual bool Peek() = 0;
  // Blocks until a message is ready and removes it; false for the quit message.
  virtual bool Get(Message& out) = 0;
  virtual void Dispatch(const Message& m) = 0;
  // Removes the first ready message that must be answered even while the
  // game runs without waiting: a close or end-session request, a press of
  // a quit key (IsQuitKey), the quit message, a paint. Every other message stays queued, in order,
  // for the wait that takes it. False when none is ready.
  virtual bool TakeUrgent(Message& out) = 0;
  // Blocks until a message is ready or Millis() reaches the deadline. Lets the
  // core's busy waits sleep instead of spinning.
  virtual void WaitReady(uint64_t deadline) = 0;
  // Exit code carried by the last quit message.
  virtual int QuitCode() const = 0;

  // --- painting -----------------------------------------------------------
  // Marks part of the client area (or all of it when r is null) for painting.
  virtual void Invalidate(const Rect* r) = 0;
  // Paints at once if anything is invalid.
  virtual void UpdateNow() = 0;
  // Only during Paint: shows the image with its column 0 at window column
  // destX and its top-down row srcY at window row destY; the window clips.
  virtual void Present(const PixelView& image, int destX, int destY, int srcY) = 0;

  // --- timers, mouse, clock -----------------------------------------------
  virtual void StartTimer(uint32_t id, uint32_t periodMs) = 0;
  virtual void StopTimer(uint32_t id) = 0;
  virtual void CaptureMouse() = 0;
  virtual void ReleaseMouse() = 0;
  virtual Point CursorPos() = 0;  // client coordinates
  virtual uint64_t Millis() = 0;  // monotonic, 1 ms resolution
  // The real monotonic clock, where Millis() may be virtual (headless): how
  // long the game has really been busy, never what the game's timing follows.
  virtual uint64_t RealMillis() { return Millis(); }
  virtual void SleepMs(uint32_t ms) = 0;
  virtual void Beep() = 0;
  // False where nobody answers a question: a scripted or headless run.
  virtual bool Interactive() { return true; }

  // --- dialogs and diagnostics --------------------------------------------
  // Modal OK box owned by the window; caption may be null (no caption).
  virtual void ShowMessageBox(const char* textSjis, const char* captionSjis) = 0;
  // A line for whoever watches the run (stderr, the headless log).
  virtual void Trace(const char* textSjis) = 0;
  // A line the player should see in an ordinary run, such as a damaged
  // settings file: stderr where there is one.
  virtual void Warn(const char* textSjis) = 0;

  // --- text ----------------------------------------------------------------
  // A font of the given face (Shift-JIS name, e.g. the Japanese system gothic
  // and mincho faces), cell height in pixels and weight (400 normal, 700
  // bold). Never 0: a face no installed font can serve falls back to another
  // so that text stays visible.
  virtual FontHandle MakeFont(const char* faceSjis, int pixelHeight, int weight) = 0;
  virtual void DeleteFont(FontHandle font) = 0;
  // Advance width in pixels of one character of code page 932 (len 1 or 2).
  virtual int MeasureChar(FontHandle font, const char* ch, int len) = 0;
  // Draws one character, solid (no anti-aliasing), with its cell's top-left
  // corner at (x, y) in top-down coordinates of the surface, clipped to it.
  // colour is a Windows colour value 0x00BBGGRR.
  virtual void DrawChar(FontHandle font, const char* ch, int len, uint32_t colour,
                        const Surface& target, int x, int y) = 0;

  // --- display mode -------------------------------------------------------
  virtual DisplayTest TestFullScreen() = 0;
  virtual void EnterFullScreen() = 0;
  virtual void LeaveFullScreen() = 0;  // back to the centred window
  virtual void SendWindowToBack() = 0;
  // Before OpenWindow: the window size the player chose last time comes in
  // (scale 1 to 4; fit: full screen fills the height rather than a whole
  // factor), and what the backend will use goes out, so an option given on
  // its command line wins and is remembered. A backend without scaling
  // leaves both as they are.
  virtual void ChooseWindowSize(int& scale, bool& fit) = 0;

  // --- files (names relative to the data directory) -----------------------
  // A file larger than its kind (told by the extension) can genuinely be is
  // refused before any memory is set aside for it.
  virtual bool ReadWholeFile(const char* nameSjis, std::vector<uint8_t>& out) = 0;
  // The first maxBytes bytes of a file (all of it when shorter), for a reader
  // that knows how far its records can reach (a save slot grows with the
  // declared variables): what lies past them is never read, and the kind's
  // bound does not apply.
  virtual bool ReadFileHead(const char* nameSjis, uint64_t maxBytes, std::vector<uint8_t>& out) = 0;
  // Something is there under the name, readable or not: tells a file that
  // could not be read from one that does not exist.
  virtual bool FileExists(const char* nameSjis) = 0;
  // Creates or replaces the file. A reader never sees a half-written file.
  virtual WriteResult WriteWholeFile(const char* nameSjis, const void* data, size_t size) = 0;
  virtual bool RemoveFile(const char* nameSjis) = 0;
  virtual bool ResetFileAttributes(const char* nameSjis) = 0;
  virtual bool MakeFolder(const char* nameSjis) = 0;
  virtual bool FileWriteTime(const char* nameSjis, CalendarTime& out) = 0;

  // --- calendar -----------------------------------------------------------
  virtual int64_t UnixSeconds() = 0;
  virtual CalendarTime LocalCalendar(int64_t unixSeconds) = 0;
  // The runtime's normalisation: make a time value from the record and break
  // it down again. False when the record is outside the calendar's range.
  virtual bool NormaliseCalendar(CalendarTime& t) = 0;

  // =========================================================================
  // --- sound --------------------------------------------------------------
  // The music is the one piece of work off the GUI thread: a 1 ms periodic
  // timer whose callback drives the sequencer and sends MIDI messages. Waves
  // are whole files played by name, one at a time, as sndPlaySoundA does.
  // =========================================================================

  // MIDI output on the default synthesiser (the Windows MIDI mapper).
  // Messages sent while no device is open are dropped.
  virtual bool MidiOpen() = 0;
  // Status in the low byte, then data1, then data2.
  virtual void MidiShortMessage(uint32_t message) = 0;
  // A system-exclusive message: 0xF0 and its data bytes.
  virtual void MidiLongMessage(const uint8_t* data, size_t size) = 0;
  // Silences every note and returns the controllers to their defaults.
  virtual void MidiReset() = 0;
  virtual void MidiClose() = 0;

  // Calls callback(id, user) every periodMs milliseconds until killed; the id
  // is never 0, and 0 is returned when no timer can be made. Kill returns only
  // when no callback of that timer is running any more (unless it is called
  // from inside the callback itself, which it then simply ends).
  using PeriodicCallback = void (*)(uint32_t timerId, void* user);
  virtual uint32_t StartPeriodicTimer(uint32_t periodMs, PeriodicCallback callback, void* user) = 0;
  virtual void KillPeriodicTimer(uint32_t timerId) = 0;

  // Plays a WAV file of the data directory with sndPlaySoundA's flags:
  // kWaveSync (0) returns when the sound has ended, kWaveAsync (1) returns at
  // once, kWaveAsync | kWaveLoop (9) repeats until stopped. A new wave stops
  // the one playing; a null name stops any wave. False when the file could
  // not be read (nothing plays); the caller tells the author.
  virtual bool PlayWave(const char* nameSjis, uint32_t flags) = 0;

  // The player's volumes, 0 (silent) to 100 (as the data has it), for the
  // music and for the waves apart; the amplitude follows them linearly.
  // Takes effect at once, also on what is already playing.
  virtual void SetVolumes(int musicPercent, int effectsPercent) = 0;
};

constexpr uint32_t kWaveSync = 0;
constexpr uint32_t kWaveAsync = 1;
constexpr uint32_t kWaveLoop = 8;

// The one host of the process; the core reaches the system only through it.
Host& host();
void SetHost(Host* h);
bool HasHost();

}  // namespace plat
