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

std::string Sjis(const char* utf8) {
  std::string out;
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), n);
  wide.resize(static_cast<size_t>(n - 1));
  EXPECT_TRUE(win32::WideToSjis(wide, out)) << utf8;
  return out;
}

std::vector<std::wstring> Listing(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(h, &found));
  FindClose(h);
  return names;
}

class Win32FilesTest : public ::testing::Test {
 protected:
  ScopedTempDir scratch;
  std::wstring root = scratch.path().wstring();
  win32::DataFolder folder{root};
};

TEST_F(Win32FilesTest, ShiftJisNamesBecomeTheirOwnCharactersOnDisk) {
  // Both names hold a trail byte 0x5C, which must not split them.
  ASSERT_TRUE(folder.MakeFolder(Sjis("ソフト").c_str()));
  const std::string name = Sjis("ソフト\\表.scn");
  const std::string text = "found\n";
  ASSERT_EQ(folder.Write(name.c_str(), text.data(), text.size()), plat::WriteResult::Ok);
  EXPECT_EQ(Listing(root), std::vector<std::wstring>{L"ソフト"});
  EXPECT_EQ(Listing(root + L"\\ソフト"), std::vector<std::wstring>{L"表.scn"});
  std::vector<uint8_t> back;
  ASSERT_TRUE(folder.Read(name.c_str(), back));
  EXPECT_EQ(std::string(back.begin(), back.end()), text);
  // Windows matches names without regard to case, as the game relies on.
  EXPECT_TRUE(folder.Exists(Sjis("ソフト\\表.SCN").c_str()));
  plat::CalendarTime t;
  ASSERT_TRUE(folder.WriteTime(name.c_str(), t));
  EXPECT_GE(t.year, 120);
}

TEST_F(Win32FilesTest, AWriteReplacesWholeAndLeavesNothingBeside) {
  const std::string a(5000, 'a'), b = "short";
  ASSERT_EQ(folder.Write("save.dat", a.data(), a.size()), plat::WriteResult::Ok);
  ASSERT_EQ(folder.Write("save.dat", b.data(), b.size()), plat::WriteResult::Ok);
  std::vector<uint8_t> back;
  ASSERT_TRUE(folder.Read("save.dat", back));
  EXPECT_EQ(std::string(back.begin(), back.end()), b);
  EXPECT_EQ(Listing(root), std::vector<std::wstring>{L"save.dat"});
  // A read-only file is made writable again, then removed.
  ASSERT_TRUE(SetFileAttributesW((root + L"\\save.dat").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(folder.ResetAttributes("save.dat"));
  EXPECT_TRUE(folder.Remove("save.dat"));
  EXPECT_FALSE(folder.Exists("save.dat"));
  // Into a folder that is not there: the create fails, nothing is left.
  EXPECT_EQ(folder.Write("none\\x.dat", b.data(), b.size()), plat::WriteResult::CreateFailed);
}

TEST_F(Win32FilesTest, NamesLeadingOutOfTheFolderAreRefused) {
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
}

TEST_F(Win32FilesTest, AGameFileLargerThanItsKindCanBeIsNotRead) {
  HANDLE h = CreateFileW((root + L"\\big.scn").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = 17 << 20;  // scenarios stop at 16 MiB
  SetFilePointerEx(h, size, nullptr, FILE_BEGIN);
  SetEndOfFile(h);
  CloseHandle(h);
  std::vector<uint8_t> back;
  EXPECT_FALSE(folder.Read("big.scn", back));
  EXPECT_TRUE(folder.Exists("big.scn"));
}

TEST(Win32Text, CharactersAreMeasuredAsCodePage932WhateverTheLocale) {
  win32::GdiText text;
  const std::string gothic = Sjis("ＭＳ ゴシック");
  const plat::FontHandle font = text.Make(gothic.c_str(), 20, 400);
  ASSERT_NE(font, 0u);
  // A kana is one character of the em, not two one-byte characters (as the
  // system's ANSI code page would take its bytes under another locale).
  const std::string kana = Sjis("あ");
  EXPECT_EQ(text.Measure(font, kana.data(), 2), 20);
  // One-byte characters keep half-width cells, glyph or not.
  for (const char* ch : {"A", "\x5C", "\x01", "\xA0", "\xB1"})
    EXPECT_EQ(text.Measure(font, ch, 1), 10) << static_cast<int>(static_cast<unsigned char>(*ch));
  // Bold lays out like regular text.
  const plat::FontHandle bold = text.Make(gothic.c_str(), 20, 700);
  EXPECT_EQ(text.Measure(bold, kana.data(), 2), text.Measure(font, kana.data(), 2));

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

// Waits (boundedly) until the condition holds; false if it never does.
template <typename Condition>
bool Eventually(Condition condition) {
  for (int i = 0; i < 5000 && !condition(); ++i) Sleep(1);
  return condition();
}

TEST(Win32Sound, TheMusicTimerStopsForGoodWhenKilledFromEitherSide) {
  win32::Win32Host host(win32::Options{});
  std::atomic<int> calls{0};
  const auto count = [](uint32_t, void* user) { ++*static_cast<std::atomic<int>*>(user); };
  const uint32_t id = host.StartPeriodicTimer(1, count, &calls);
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(Eventually([&] { return calls.load() >= 5; }));
  host.KillPeriodicTimer(id);
  const int afterKill = calls.load();
  Sleep(30);
  EXPECT_EQ(calls.load(), afterKill) << "a callback after the kill returned";

  // A song that ends kills its timer from inside the callback.
  struct Self {
    win32::Win32Host* host;
    std::atomic<uint32_t> id{0};
    std::atomic<int> calls{0};
  } self{&host};
  const auto endAtThree = [](uint32_t timerId, void* user) {
    auto* s = static_cast<Self*>(user);
    if (++s->calls == 3) s->host->KillPeriodicTimer(timerId);
  };
  self.id = host.StartPeriodicTimer(1, endAtThree, &self);
  ASSERT_NE(self.id.load(), 0u);
  ASSERT_TRUE(Eventually([&] { return self.calls.load() >= 3; }));
  Sleep(30);
  EXPECT_EQ(self.calls.load(), 3);
  // Killing it again from outside is harmless.
  host.KillPeriodicTimer(self.id);

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
