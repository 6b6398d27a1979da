// The Windows backend's own parts, run under Wine by scripts/windows.sh:
// names kept as code page 932 whatever the system's code page, crash-safe
// writes, refused names, and text measured as the game's faces measure it.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/gdi_text.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_host.h"
#include "support/files.h"

namespace {

std::string Sjis(const std::wstring& wide) {
  std::string out;
  EXPECT_TRUE(win32::WideToSjis(wide, out));
  return out;
}

// The names in a folder as Windows keeps them, each followed by "|".
std::wstring Listing(const std::wstring& folder) {
  std::wstring names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names += e.path().filename().wstring() + L"|";
  return names;
}

std::string Read(const win32::DataFolder& folder, const std::string& name) {
  std::vector<uint8_t> back;
  return folder.Read(name.c_str(), back) ? std::string(back.begin(), back.end()) : "<missing>";
}

class Win32FilesTest : public ::testing::Test {
 protected:
  ScopedTempDir scratch;
  std::wstring root = scratch.path().wstring();
  win32::DataFolder folder{root};
};

TEST_F(Win32FilesTest, ShiftJisNamesBecomeTheirOwnCharactersAndWritesReplaceWhole) {
  // Both names hold a trail byte 0x5C, which must not split them.
  ASSERT_TRUE(folder.MakeFolder(Sjis(L"ソフト").c_str()));
  const std::string name = Sjis(L"ソフト\\表.scn"), a(5000, 'a');
  ASSERT_EQ(folder.Write(name.c_str(), a.data(), a.size()), plat::WriteResult::Ok);
  ASSERT_EQ(folder.Write(name.c_str(), "short", 5), plat::WriteResult::Ok);
  EXPECT_EQ(Listing(root) + Listing(root + L"\\ソフト"), L"ソフト|表.scn|");
  // Windows matches names without regard to case, as the game relies on.
  EXPECT_EQ(Read(folder, name) + Read(folder, Sjis(L"ソフト\\表.SCN")), "shortshort");
  plat::CalendarTime t;
  ASSERT_TRUE(folder.WriteTime(name.c_str(), t));
  EXPECT_GE(t.year, 120);
  // A read-only file is made writable again, then removed.
  ASSERT_TRUE(SetFileAttributesW((root + L"\\ソフト\\表.scn").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(folder.ResetAttributes(name.c_str()));
  EXPECT_TRUE(folder.Remove(name.c_str()));
  EXPECT_FALSE(folder.Exists(name.c_str()));
  // Into a folder that is not there: the create fails, nothing is left.
  EXPECT_EQ(folder.Write("none\\x.dat", "x", 1), plat::WriteResult::CreateFailed);
  EXPECT_EQ(Listing(root), L"ソフト|");
}

TEST_F(Win32FilesTest, NamesLeadingOutOfTheFolderAndOversizedFilesAreRefused) {
  std::wstring path;
  std::string why;
  for (const char* name : {"..\\x", "a\\..\\..\\x", "\\x", "C:x", "C:\\x", "a:stream", ""}) {
    EXPECT_FALSE(folder.Resolve(name, path, &why)) << name;
    EXPECT_FALSE(why.empty()) << name;
  }
  EXPECT_TRUE(folder.Resolve("a/b\\c", path));
  EXPECT_EQ(path, root + L"\\a\\b\\c");
  // Bytes that are no code-page-932 text cannot name a file.
  EXPECT_FALSE(folder.Resolve("a\x81", path));
  HANDLE h = CreateFileW((root + L"\\big.scn").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = 17 << 20;  // scenarios stop at 16 MiB
  SetFilePointerEx(h, size, nullptr, FILE_BEGIN);
  SetEndOfFile(h);
  CloseHandle(h);
  EXPECT_EQ(Read(folder, "big.scn"), "<missing>");
  EXPECT_TRUE(folder.Exists("big.scn"));
}

TEST(Win32Text, CharactersAreMeasuredAsCodePage932WhateverTheLocale) {
  win32::GdiText text;
  const std::string gothic = Sjis(L"ＭＳ ゴシック"), kana = Sjis(L"あ");
  const plat::FontHandle font = text.Make(gothic.c_str(), 20, 400);
  ASSERT_NE(font, 0u);
  // A kana is one character of the em, not two one-byte characters (as the
  // system's ANSI code page would take its bytes under another locale); bold
  // lays out like regular text; one-byte characters keep half-width cells,
  // glyph or not.
  std::string widths =
      std::to_string(text.Measure(font, kana.data(), 2)) + " " +
      std::to_string(text.Measure(text.Make(gothic.c_str(), 20, 700), kana.data(), 2));
  for (const char* ch : {"A", "\x5C", "\x01", "\xA0", "\xB1"})
    widths += " " + std::to_string(text.Measure(font, ch, 1));
  EXPECT_EQ(widths, "20 20 10 10 10 10 10");

  std::vector<uint16_t> pixels(40 * 30, 0);
  const plat::Surface surface{pixels.data(), 40, 30, 80};
  text.Draw(font, kana.data(), 2, 0x0000FF, surface, 10, 5);
  int ink = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) {
      const uint16_t p = pixels[static_cast<size_t>(29 - y) * 40 + x];  // bottom-up
      if (!p) continue;
      ++ink;
      EXPECT_EQ(p, 0x7C00) << "red in X1R5G5B5";
      EXPECT_TRUE(x >= 10 && x < 36 && y >= 5 && y < 30) << x << "," << y;
    }
  }
  EXPECT_GT(ink, 20);
}

// The music timer stops for good when killed, from outside or (as a song
// that ends does) from inside its own callback, which here kills it at the
// third call; killing it again is harmless.
struct Counter {
  win32::Win32Host* host;
  std::atomic<int> calls{0}, killAt{0};
};

void Count(uint32_t id, void* user) {
  auto* c = static_cast<Counter*>(user);
  if (++c->calls == c->killAt) c->host->KillPeriodicTimer(id);
}

TEST(Win32Sound, TheMusicTimerStopsForGoodWhenKilledFromEitherSide) {
  win32::Win32Host host(win32::Options{});
  for (const int killAt : {0, 3}) {
    Counter c{&host};
    c.killAt = killAt;
    const uint32_t id = host.StartPeriodicTimer(1, Count, &c);
    ASSERT_NE(id, 0u);
    const int enough = killAt ? killAt : 5;
    for (int i = 0; i < 5000 && c.calls.load() < enough; ++i) Sleep(1);
    if (!killAt) host.KillPeriodicTimer(id);
    const int calls = c.calls.load();
    Sleep(30);
    EXPECT_EQ(c.calls.load(), killAt ? killAt : calls) << "a callback after the kill returned";
    EXPECT_GE(calls, enough);
    host.KillPeriodicTimer(id);
  }
  // Without a device the open fails and messages are dropped quietly.
  if (midiOutGetNumDevs() == 0) {
    EXPECT_FALSE(host.MidiOpen());
    host.MidiShortMessage(0x7F3C90);
    const uint8_t reset[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    host.MidiLongMessage(reset, sizeof reset);
    host.MidiReset();
    host.MidiClose();
  }
}

// The game's side of the window for the tests below: which of the messages
// it reacts to reached it, in order. It would hold the session's end up (as
// a game that asks first might); the rest goes on to the system.
struct Recorder {
  win32::Win32Host* host = nullptr;
  std::vector<uint32_t> seen;
  bool endOnEndSession = false;
};
Recorder g_recorder;

intptr_t Record(uint32_t id, uintptr_t wParam, intptr_t lParam) {
  switch (id) {
    case plat::msg::Close:
    case plat::msg::KeyDown:
    case plat::msg::LButtonDown:
      g_recorder.seen.push_back(id);
      return 0;
    case plat::msg::EndSession:
      g_recorder.seen.push_back(id + (wParam ? 0x1000 : 0));
      if (g_recorder.endOnEndSession) {
        g_recorder.host->DestroyWindow();
        g_recorder.host->PostQuit(0);
      }
      return 0;
    case WM_QUERYENDSESSION:
      return FALSE;
    default:
      return g_recorder.host->DefaultProc(id, wParam, lParam);
  }
}

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host = std::make_unique<win32::Win32Host>(win32::Options{});
    g_recorder = Recorder{};
    g_recorder.host = host.get();
    ASSERT_TRUE(host->OpenWindow("t", Record));
    // What opening the window brought: paints, activation.
    plat::Message m;
    while (host->Peek() && host->Get(m)) host->Dispatch(m);
    g_recorder.seen.clear();
  }
  std::unique_ptr<win32::Win32Host> host;
};

// A press of the close button, the window menu's Close or the taskbar's
// reaches the window as WM_SYSCOMMAND: a run that does not wait still takes
// it, and the system turns it into the game's close request; the player's
// clicks and keys stay queued, in order, for the game's next wait.
TEST_F(Win32WindowTest, ABusyRunTakesTheFramesCloseAndLeavesClicksAndKeysQueued) {
  const HWND w = host->Window();
  PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20));
  PostMessageW(w, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
  plat::Message m;
  while (host->TakeUrgent(m)) host->Dispatch(m);
  EXPECT_EQ(g_recorder.seen, std::vector<uint32_t>{plat::msg::Close});
  std::vector<uint32_t> next;
  for (int i = 0; i < 2 && host->Get(m); ++i) next.push_back(m.id);
  EXPECT_EQ(next, (std::vector<uint32_t>{plat::msg::LButtonDown, plat::msg::KeyDown}));
}

// The session's end is never held up, and the game has heard of it (and
// written its progress) by the time the system's message returns.
TEST_F(Win32WindowTest, TheSessionEndsWithoutAQuestionAndTheGameHearsOfItAtOnce) {
  EXPECT_EQ(SendMessageW(host->Window(), WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP), TRUE);
  SendMessageW(host->Window(), WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
  EXPECT_EQ(g_recorder.seen, std::vector<uint32_t>{plat::msg::EndSession + 0x1000});
}

// Ctrl+C in the game's console: the game ends the normal way, and the
// handler returns only once it has shut down. Should it never hear of it,
// the handler gives up after its grace time, which ends the wait here too.
TEST_F(Win32WindowTest, AConsoleCtrlCEndsTheGameAndWaitsForItsShutdown) {
  g_recorder.endOnEndSession = true;
  std::atomic<BOOL> handled{-1};
  const DWORD gameThread = GetCurrentThreadId();
  std::thread console([&] {
    handled = win32::Win32Host::OnConsoleEvent(CTRL_C_EVENT);
    if (!handled) PostThreadMessageW(gameThread, WM_QUIT, 0, 0);
  });
  plat::Message m;
  while (host->Get(m)) host->Dispatch(m);
  EXPECT_EQ(handled.load(), -1) << "the handler returned before the game had shut down";
  host.reset();
  console.join();
  EXPECT_EQ(handled.load(), TRUE);
  EXPECT_EQ(g_recorder.seen, std::vector<uint32_t>{plat::msg::EndSession + 0x1000});
  // Without a game window there is nothing to wait for.
  win32::Win32Host bare(win32::Options{});
  EXPECT_EQ(win32::Win32Host::OnConsoleEvent(CTRL_C_EVENT), FALSE);
}

}  // namespace
