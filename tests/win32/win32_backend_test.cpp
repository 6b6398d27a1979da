// The Windows backend's own parts, run under Wine by scripts/windows.sh:
// names kept as code page 932 whatever the system's code page, crash-safe
// writes, refused names, and text measured as the game's faces measure it.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
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

}  // namespace
