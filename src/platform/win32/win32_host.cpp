#include "platform/win32/win32_host.h"

#include <imm.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "platform/posix/size_bound.h"
#include "platform/posix/wave_file.h"

namespace win32 {

namespace {

constexpr wchar_t kClassName[] = L"Card";
constexpr int kClientW = 640;
constexpr int kClientH = 480;
// The window mode's style: caption, system menu and minimise box, no sizing.
constexpr LONG kWindowStyle = 0xCA0000;
// What full screen takes away and gives back.
constexpr LONG kFrameBits = 0xC80000;
constexpr int kIconResource = 101;

Win32Host* g_host = nullptr;  // the one window's owner, for the window procedure

// What the console handler, on a thread of its own, needs to end the game:
// the window while it is open, and whether a game runs at all (made once,
// kept for the process's life, so a handler never waits on a closed event).
struct GameRun {
  std::atomic<HWND> window{nullptr};
  std::atomic<bool> windowOpened{false};                      // since the host began
  HANDLE ended = CreateEventW(nullptr, TRUE, TRUE, nullptr);  // set: no game runs
};
GameRun& Run() {
  static GameRun run;
  return run;
}

std::wstring Wide(const char* sjis) {
  std::wstring w;
  if (sjis && !SjisToWide(sjis, w)) {
    // Text that is not code page 932 still shows, byte by byte.
    w.clear();
    for (const char* p = sjis; *p; ++p) w += static_cast<wchar_t>(static_cast<unsigned char>(*p));
  }
  return w;
}

DEVMODEA GameMode() {
  DEVMODEA dm{};
  dm.dmSize = sizeof(DEVMODEA);
  dm.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
  dm.dmBitsPerPel = 16;
  dm.dmPelsWidth = kClientW;
  dm.dmPelsHeight = kClientH;
  // Keep the refresh rate the screen has now.
  HDC screen = GetDC(nullptr);
  const int refresh = GetDeviceCaps(screen, VREFRESH);
  ReleaseDC(nullptr, screen);
  if (refresh > 1) {
    dm.dmFields |= DM_DISPLAYFREQUENCY;
    dm.dmDisplayFrequency = static_cast<DWORD>(refresh);
  }
  return dm;
}

}  // namespace

Win32Host::Win32Host(Options options) : options_(std::move(options)), files_(options_.dataDir) {
  instance_ = GetModuleHandleW(nullptr);
  InitializeCriticalSection(&periodicLock_);
  // The music's 1 ms timer and the game's clock both want 1 ms resolution.
  periodRaised_ = timeBeginPeriod(1) == TIMERR_NOERROR;
  clockLast_ = timeGetTime();
  g_host = this;
  Run().windowOpened = false;
  ResetEvent(Run().ended);
  SetConsoleCtrlHandler(&Win32Host::OnConsoleEvent, TRUE);
}

Win32Host::~Win32Host() {
  // The game has shut down (its progress written): a console handler
  // waiting for that may let the process end.
  Run().window = nullptr;
  Run().windowOpened = false;
  SetEvent(Run().ended);
  SetConsoleCtrlHandler(&Win32Host::OnConsoleEvent, FALSE);
  std::vector<uint32_t> ids;
  EnterCriticalSection(&periodicLock_);
  for (const auto& [id, p] : periodic_) ids.push_back(id);
  LeaveCriticalSection(&periodicLock_);
  for (uint32_t id : ids) KillPeriodicTimer(id);
  FreeEnded(true);
  PlaySoundW(nullptr, nullptr, 0);
  MidiClose();
  if (hwnd_) ::DestroyWindow(hwnd_);
  if (periodRaised_) timeEndPeriod(1);
  DeleteCriticalSection(&periodicLock_);
  if (g_host == this) g_host = nullptr;
}

void Win32Host::Log(const std::string& utf8) const {
  std::fprintf(stderr, "%s\n", utf8.c_str());
  std::fflush(stderr);
}

// --- window -----------------------------------------------------------------

RECT Win32Host::WindowModeRect() const {
  const int w = kClientW + 2 * GetSystemMetrics(SM_CXFIXEDFRAME);
  const int h = kClientH + 2 * GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION);
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  const int y =
      (GetSystemMetrics(SM_CYSCREEN) - (kClientH + 2 * GetSystemMetrics(SM_CYFIXEDFRAME)) -
       GetSystemMetrics(SM_CYCAPTION)) /
      2;
  return RECT{x, y, x + w, y + h};
}

bool Win32Host::OpenWindow(const char* titleSjis, plat::WindowProc proc) {
  proc_ = proc;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
  wc.lpfnWndProc = &Win32Host::WindowProcedure;
  wc.hInstance = instance_;
  wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(kIconResource));
  wc.hIconSm = wc.hIcon;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  const RECT r = WindowModeRect();
  const std::wstring title = Wide(titleSjis);
  hwnd_ =
      CreateWindowExW(0, kClassName, title.c_str(), static_cast<DWORD>(kWindowStyle), r.left, r.top,
                      r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance_, nullptr);
  if (!hwnd_) return false;
  // The frame metrics above are the classic ones; themes draw thicker
  // frames, so the client area is made exactly 640 x 480 from what it is.
  RECT client;
  GetClientRect(hwnd_, &client);
  if (client.right != kClientW || client.bottom != kClientH) {
    RECT outer;
    GetWindowRect(hwnd_, &outer);
    const int w = (outer.right - outer.left) + kClientW - client.right;
    const int h = (outer.bottom - outer.top) + kClientH - client.bottom;
    SetWindowPos(hwnd_, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  Run().window = hwnd_;
  Run().windowOpened = true;
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  // Text comes only from the game's own keys: no input method composition
  // window over the picture.
  savedImeContext_ = ImmAssociateContext(hwnd_, nullptr);
  return true;
}

void Win32Host::DestroyWindow() {
  if (!hwnd_) return;
  ImmAssociateContext(hwnd_, savedImeContext_);
  savedImeContext_ = nullptr;
  ::DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

intptr_t Win32Host::DefaultProc(uint32_t id, uintptr_t wParam, intptr_t lParam) {
  return DefWindowProcW(hwnd_, id, wParam, lParam);
}

LRESULT CALLBACK Win32Host::WindowProcedure(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam) {
  if (!g_host || !g_host->proc_) return DefWindowProcW(hwnd, id, wParam, lParam);
  return g_host->Handle(hwnd, id, wParam, lParam);
}

LRESULT Win32Host::Handle(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam) {
  // Messages sent while CreateWindowExW runs arrive before it returns.
  if (!hwnd_) hwnd_ = hwnd;
  switch (id) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      paintDc_ = BeginPaint(hwnd, &ps);
      proc_(plat::msg::Paint, wParam, lParam);
      paintDc_ = nullptr;
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ACTIVATE: {
      const LRESULT r = proc_(id, wParam, lParam);
      if (LOWORD(wParam) != WA_INACTIVE && hwnd_)
        SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED);
      return r;
    }
    case WM_QUERYENDSESSION:
      // The session may end: nothing is asked, nothing holds it up.
      return TRUE;
    case WM_ENDSESSION:
      // Sent, and the process may be ended as soon as it returns: the game
      // has written its progress (and asked to quit) by then.
      return proc_(plat::msg::EndSession, wParam, lParam);
    case WM_DESTROY:
      Run().window = nullptr;
      return proc_(id, wParam, lParam);
    case WM_MOUSEWHEEL: {
      // The system gives the pointer on the screen; the game thinks in the
      // client area, as for every other mouse message.
      // (windowsx.h would give GET_X_LPARAM, and macros that hide our names.)
      POINT p{static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
      ScreenToClient(hwnd, &p);
      return proc_(id, wParam, MAKELPARAM(p.x, p.y));
    }
    default:
      return proc_(id, wParam, lParam);
  }
}

// --- messages ---------------------------------------------------------------

void Win32Host::Post(uint32_t id, uintptr_t wParam, intptr_t lParam) {
  PostMessageW(hwnd_, id, wParam, lParam);
}

void Win32Host::PostQuit(int code) { PostQuitMessage(code); }

bool Win32Host::Peek() {
  MSG m;
  return PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE) != 0;
}

bool Win32Host::Get(plat::Message& out) {
  MSG m;
  const BOOL r = GetMessageW(&m, nullptr, 0, 0);
  if (r == -1) {
    quitCode_ = 0;
    return false;
  }
  lastMsg_ = m;
  out.id = m.message;
  out.wParam = m.wParam;
  out.lParam = m.lParam;
  if (r == 0) {
    quitCode_ = static_cast<int>(m.wParam);
    return false;
  }
  return true;
}

bool Win32Host::TakeUrgent(plat::Message& out) {
  // WM_CLOSE to WM_ENDSESSION holds the close, the quit and the session's
  // end. The window's frame answers too: the close button (a press on the
  // frame, which the system tracks until its release and then makes a
  // WM_SYSCOMMAND, then a sent WM_CLOSE), the window menu, the taskbar's
  // close. The paint comes last, as the system orders it. (Peeking also
  // delivers what other threads send, such as the session's end.)
  MSG m;
  if (!PeekMessageW(&m, nullptr, WM_CLOSE, WM_ENDSESSION, PM_REMOVE) &&
      !PeekMessageW(&m, nullptr, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE) &&
      !PeekMessageW(&m, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE) &&
      !PeekMessageW(&m, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
    return false;
  lastMsg_ = m;
  out.id = m.message;
  out.wParam = m.wParam;
  out.lParam = m.lParam;
  if (m.message == WM_QUIT) quitCode_ = static_cast<int>(m.wParam);
  return true;
}

BOOL WINAPI Win32Host::OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;
  }
  GameRun& run = Run();
  // Before the window there is nothing to write: the system's handling
  // ends the process.
  if (!run.windowOpened) return FALSE;
  // Without a window any more the game is already shutting down.
  if (HWND window = run.window.load())
    PostMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
  return WaitForSingleObject(run.ended, kConsoleGraceMs) == WAIT_OBJECT_0 ? TRUE : FALSE;
}

void Win32Host::Dispatch(const plat::Message& m) {
  MSG msg = lastMsg_;
  if (msg.message != m.id || msg.wParam != m.wParam || msg.lParam != m.lParam) {
    msg = MSG{};
    msg.hwnd = hwnd_;
    msg.message = m.id;
    msg.wParam = m.wParam;
    msg.lParam = m.lParam;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void Win32Host::WaitReady(uint64_t deadline) {
  if (Peek()) return;
  DWORD timeout = INFINITE;
  if (deadline != plat::kNoDeadline) {
    const uint64_t now = Millis();
    if (deadline <= now) return;
    timeout = static_cast<DWORD>(std::min<uint64_t>(deadline - now, 0x7FFFFFFF));
  }
  MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

// --- painting ---------------------------------------------------------------

void Win32Host::Invalidate(const plat::Rect* r) {
  if (!hwnd_) return;
  if (!r) {
    InvalidateRect(hwnd_, nullptr, FALSE);
    return;
  }
  const RECT rect{r->x, r->y, r->x + r->w, r->y + r->h};
  InvalidateRect(hwnd_, &rect, FALSE);
}

void Win32Host::UpdateNow() {
  if (hwnd_) UpdateWindow(hwnd_);
}

void Win32Host::Present(const plat::PixelView& image, int destX, int destY, int srcY) {
  if (!paintDc_ || !image.header || !image.pixels) return;
  // The rows are bottom-up: the whole picture is placed so that its
  // top-down row srcY lands on window row destY, and the window clips.
  SetDIBitsToDevice(paintDc_, destX, destY - srcY, static_cast<DWORD>(image.width),
                    static_cast<DWORD>(image.height), 0, 0, 0, static_cast<UINT>(image.height),
                    image.pixels, static_cast<const BITMAPINFO*>(image.header), DIB_RGB_COLORS);
}

// --- timers, mouse, clock ---------------------------------------------------

void Win32Host::StartTimer(uint32_t id, uint32_t periodMs) {
  if (hwnd_) SetTimer(hwnd_, id, periodMs, nullptr);
}

void Win32Host::StopTimer(uint32_t id) {
  if (hwnd_) KillTimer(hwnd_, id);
}

void Win32Host::CaptureMouse() {
  if (hwnd_) SetCapture(hwnd_);
}

void Win32Host::ReleaseMouse() { ReleaseCapture(); }

plat::Point Win32Host::CursorPos() {
  POINT p{};
  GetCursorPos(&p);
  if (hwnd_) ScreenToClient(hwnd_, &p);
  return {p.x, p.y};
}

uint64_t Win32Host::Millis() {
  // timeGetTime wraps after 49 days; the game's clock never does.
  const DWORD now = timeGetTime();
  if (now < clockLast_) clockHigh_ += uint64_t{1} << 32;
  clockLast_ = now;
  return clockHigh_ | now;
}

void Win32Host::SleepMs(uint32_t ms) { Sleep(ms); }

void Win32Host::Beep() { MessageBeep(MB_OK); }

int64_t Win32Host::UnixSeconds() { return static_cast<int64_t>(_time64(nullptr)); }

// --- dialogs and diagnostics ------------------------------------------------

void Win32Host::ShowMessageBox(const char* textSjis, const char* captionSjis) {
  if (options_.verbose || options_.answerBoxes) {
    Log("message box: " + SjisToUtf8(textSjis ? textSjis : "") +
        (captionSjis ? " [" + SjisToUtf8(captionSjis) + "]" : std::string()));
  }
  if (options_.answerBoxes) return;
  const std::wstring text = Wide(textSjis);
  const std::wstring caption = Wide(captionSjis);
  MessageBoxW(hwnd_, text.c_str(), captionSjis ? caption.c_str() : nullptr, MB_OK);
}

void Win32Host::Trace(const char* textSjis) {
  const std::wstring text = Wide(textSjis) + L"\n";
  OutputDebugStringW(text.c_str());
  if (options_.verbose) Log(SjisToUtf8(textSjis ? textSjis : ""));
}

void Win32Host::SetVolumes(int musicPercent, int effectsPercent) {
  const auto level = static_cast<DWORD>(0xFFFF * std::clamp(musicPercent, 0, 100) / 100);
  midiVolume_ = level | (level << 16);  // left in the low word, right in the high one
  midiVolumeSet_ = true;
  ApplyMidiVolume();

  effectsPercent = std::clamp(effectsPercent, 0, 100);
  if (effectsPercent == effectsPercent_) return;
  effectsPercent_ = effectsPercent;
  // PlaySound cannot change the level of what it plays: an asynchronous wave
  // starts again at the new level where the clock says it has got to. A
  // synchronous one has ended before the game can get here.
  posix::WaveData wave;
  if (wave_.empty() || !(waveFlags_ & plat::kWaveAsync) || !posix::ParseWave(waveFile_, wave))
    return;
  const uint64_t frame = (Millis() - waveStarted_) * wave.sampleRate / 1000;
  if (!(waveFlags_ & plat::kWaveLoop) && frame >= wave.frames) return;  // heard to the end
  StartWave(static_cast<size_t>(frame));
}

void Win32Host::Warn(const char* textSjis) {
  const std::wstring text = Wide(textSjis) + L"\n";
  OutputDebugStringW(text.c_str());
  Log(SjisToUtf8(textSjis ? textSjis : ""));
}

// --- text -------------------------------------------------------------------

plat::FontHandle Win32Host::MakeFont(const char* faceSjis, int pixelHeight, int weight) {
  return text_.Make(faceSjis, pixelHeight, weight);
}

void Win32Host::DeleteFont(plat::FontHandle font) { text_.Delete(font); }

int Win32Host::MeasureChar(plat::FontHandle font, const char* ch, int len) {
  return text_.Measure(font, ch, len);
}

void Win32Host::DrawChar(plat::FontHandle font, const char* ch, int len, uint32_t colour,
                         const plat::Surface& target, int x, int y) {
  text_.Draw(font, ch, len, colour, target, x, y);
}

// --- display mode -----------------------------------------------------------

plat::DisplayTest Win32Host::TestFullScreen() {
  DEVMODEA dm = GameMode();
  switch (ChangeDisplaySettingsA(&dm, CDS_TEST)) {
    case DISP_CHANGE_SUCCESSFUL:
      return plat::DisplayTest::Successful;
    case DISP_CHANGE_RESTART:
      return plat::DisplayTest::Restart;
    case DISP_CHANGE_BADMODE:
      return plat::DisplayTest::BadMode;
    default:
      return plat::DisplayTest::Failed;
  }
}

void Win32Host::EnterFullScreen() {
  if (!hwnd_) return;
  SetWindowLongW(hwnd_, GWL_STYLE, GetWindowLongW(hwnd_, GWL_STYLE) ^ kFrameBits);
  MoveWindow(hwnd_, 0, 0, kClientW, kClientH, TRUE);
  DEVMODEA dm = GameMode();
  ChangeDisplaySettingsA(&dm, CDS_FULLSCREEN);
  // The monitor takes a moment to settle on the new mode.
  Sleep(500);
  SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

void Win32Host::LeaveFullScreen() {
  ChangeDisplaySettingsA(nullptr, 0);
  if (!hwnd_) return;
  SetWindowLongW(hwnd_, GWL_STYLE, GetWindowLongW(hwnd_, GWL_STYLE) | kFrameBits);
  const RECT r = WindowModeRect();
  SetWindowPos(hwnd_, HWND_NOTOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
               SWP_FRAMECHANGED);
}

void Win32Host::SendWindowToBack() {
  if (hwnd_) SetWindowPos(hwnd_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

// --- files ------------------------------------------------------------------

// A name the folder refuses is said in the log.
bool Win32Host::Readable(const char* nameSjis) {
  std::string why;
  std::wstring path;
  if (files_.Resolve(nameSjis, path, &why)) return true;
  Log("refused file name " + SjisToUtf8(nameSjis ? nameSjis : "") + ": " + why);
  return false;
}

bool Win32Host::ReadWholeFile(const char* nameSjis, std::vector<uint8_t>& out) {
  return Readable(nameSjis) && files_.Read(nameSjis, out);
}

bool Win32Host::ReadFileHead(const char* nameSjis, uint64_t maxBytes, std::vector<uint8_t>& out) {
  return Readable(nameSjis) && files_.ReadHead(nameSjis, out, maxBytes);
}

// --- sound ------------------------------------------------------------------

bool Win32Host::MidiOpen() {
  if (midi_) return true;
  HMIDIOUT h = nullptr;
  if (midiOutOpen(&h, MIDI_MAPPER, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
    if (options_.verbose) Log("no MIDI output device: the music stays silent");
    return false;
  }
  midi_ = h;
  if (midiVolumeSet_) ApplyMidiVolume();
  return true;
}

// A synthesiser without a volume control of its own plays on at its level;
// said once, to a verbose run.
void Win32Host::ApplyMidiVolume() {
  if (!midi_ || midiOutSetVolume(midi_, midiVolume_) == MMSYSERR_NOERROR) return;
  if (options_.verbose && !midiVolumeRefused_)
    Log("the MIDI output device has no volume control: the music keeps its level");
  midiVolumeRefused_ = true;
}

void Win32Host::MidiShortMessage(uint32_t message) {
  if (midi_) midiOutShortMsg(midi_, message);
}

void Win32Host::MidiLongMessage(const uint8_t* data, size_t size) {
  if (!midi_ || !data || size == 0) return;
  std::vector<char> buffer(data, data + size);
  MIDIHDR header{};
  header.lpData = buffer.data();
  header.dwBufferLength = static_cast<DWORD>(buffer.size());
  if (midiOutPrepareHeader(midi_, &header, sizeof header) != MMSYSERR_NOERROR) return;
  if (midiOutLongMsg(midi_, &header, sizeof header) == MMSYSERR_NOERROR) {
    // A system-exclusive message is short; the buffer must stay until the
    // driver is done with it.
    for (int i = 0; i < 1000 && !(header.dwFlags & MHDR_DONE); ++i) Sleep(1);
  }
  midiOutUnprepareHeader(midi_, &header, sizeof header);
}

void Win32Host::MidiReset() {
  if (midi_) midiOutReset(midi_);
}

void Win32Host::MidiClose() {
  if (!midi_) return;
  midiOutClose(midi_);
  midi_ = nullptr;
}

void CALLBACK Win32Host::TimerThunk(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* p = reinterpret_cast<Periodic*>(user);
  if (p->killed.load()) return;
  p->running.store(true);
  p->thread = GetCurrentThreadId();
  if (!p->killed.load()) p->callback(p->id, p->user);
  p->running.store(false);
}

void Win32Host::FreeEnded(bool wait) {
  EnterCriticalSection(&periodicLock_);
  std::vector<Periodic*> keep;
  for (Periodic* p : ended_) {
    while (wait && p->running.load()) Sleep(1);
    if (p->running.load()) {
      keep.push_back(p);
    } else {
      delete p;
    }
  }
  ended_ = std::move(keep);
  LeaveCriticalSection(&periodicLock_);
}

uint32_t Win32Host::StartPeriodicTimer(uint32_t periodMs, PeriodicCallback callback, void* user) {
  FreeEnded(false);
  auto* p = new Periodic;
  p->self = this;
  p->callback = callback;
  p->user = user;
  // The id is given to the callback, so it is known before the first call:
  // the timer starts only once the record is complete.
  EnterCriticalSection(&periodicLock_);
  const UINT id = timeSetEvent(periodMs, 1, &Win32Host::TimerThunk, reinterpret_cast<DWORD_PTR>(p),
                               TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
  if (id == 0) {
    LeaveCriticalSection(&periodicLock_);
    delete p;
    return 0;
  }
  p->id = id;
  periodic_[id] = p;
  LeaveCriticalSection(&periodicLock_);
  return id;
}

void Win32Host::KillPeriodicTimer(uint32_t timerId) {
  EnterCriticalSection(&periodicLock_);
  auto it = periodic_.find(timerId);
  if (it == periodic_.end()) {
    LeaveCriticalSection(&periodicLock_);
    return;
  }
  Periodic* p = it->second;
  periodic_.erase(it);
  LeaveCriticalSection(&periodicLock_);
  p->killed.store(true);
  timeKillEvent(p->id);
  const bool fromCallback = p->running.load() && p->thread == GetCurrentThreadId();
  if (fromCallback) {
    // Its own callback ends it: the record goes once that call returns.
    EnterCriticalSection(&periodicLock_);
    ended_.push_back(p);
    LeaveCriticalSection(&periodicLock_);
    return;
  }
  while (p->running.load()) Sleep(1);
  delete p;
}

bool Win32Host::PlayWave(const char* nameSjis, uint32_t flags) {
  // The sound playing from memory is stopped before its bytes go.
  PlaySoundW(nullptr, nullptr, 0);
  wave_.clear();
  waveFile_.clear();
  if (!nameSjis) return true;
  if (!files_.Read(nameSjis, waveFile_) || waveFile_.empty()) {
    waveFile_.clear();
    return false;
  }
  waveFlags_ = flags;
  waveStarted_ = Millis();
  StartWave(0);
  return true;
}

// A file the volume cannot be applied to (not 8 or 16-bit PCM) is played
// as it is, as before there were volumes.
bool Win32Host::StartWave(size_t frame) {
  std::vector<uint8_t> copy =
      posix::WaveAtVolume(waveFile_, effectsPercent_, frame, (waveFlags_ & plat::kWaveLoop) != 0);
  PlaySoundW(nullptr, nullptr, 0);
  if (copy.empty() && frame == 0) copy = waveFile_;
  wave_ = std::move(copy);
  if (wave_.empty()) return false;
  DWORD how = SND_MEMORY | SND_NODEFAULT;
  if (waveFlags_ & plat::kWaveAsync) how |= SND_ASYNC;
  if (waveFlags_ & plat::kWaveLoop) how |= SND_LOOP;
  return PlaySoundW(reinterpret_cast<LPCWSTR>(wave_.data()), nullptr, how) != FALSE;
}

}  // namespace win32
