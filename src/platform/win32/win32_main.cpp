// Process entry of the Windows program: the data folder beside the
// executable (or --data), the program's own resources for the streams, and
// the game on the Win32 backend.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <deque>
#include <string>
#include <vector>

#include "platform/win32/win32_files.h"
#include "platform/win32/win32_host.h"
#include "shell/app.h"
#include "shell/texts.h"
#include "streams/resources.h"

namespace {

// The executable's named resources (music data the streams may read),
// handed to the core as its resource table. The strings and the table live
// as long as the process.
struct ResourceCollector {
  std::deque<std::string> strings;
  std::vector<ProgramResource> table;
  HMODULE module = GetModuleHandleW(nullptr);
  uintptr_t typeId = 0;
  const char* typeName = nullptr;
};

const char* KeepName(ResourceCollector& c, LPCWSTR name) {
  std::string sjis;
  if (!win32::WideToSjis(name, sjis)) return nullptr;
  c.strings.push_back(std::move(sjis));
  return c.strings.back().c_str();
}

BOOL CALLBACK CollectName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR user) {
  auto& c = *reinterpret_cast<ResourceCollector*>(user);
  if (IS_INTRESOURCE(name)) return TRUE;  // the game opens resources by name only
  HRSRC found = FindResourceW(module, name, type);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  const char* kept = KeepName(c, name);
  if (!data || !kept) return TRUE;
  c.table.push_back(ProgramResource{kept, c.typeId, c.typeName, static_cast<const uint8_t*>(data),
                                    SizeofResource(module, found)});
  return TRUE;
}

BOOL CALLBACK CollectType(HMODULE module, LPWSTR type, LONG_PTR user) {
  auto& c = *reinterpret_cast<ResourceCollector*>(user);
  if (IS_INTRESOURCE(type)) {
    c.typeId = reinterpret_cast<uintptr_t>(type);
    c.typeName = nullptr;
    // Icons and version data are the system's, not the game's.
    if (c.typeId == 3 || c.typeId == 14 || c.typeId == 16 || c.typeId == 24) return TRUE;
  } else {
    c.typeId = 0;
    c.typeName = KeepName(c, type);
    if (!c.typeName) return TRUE;
  }
  EnumResourceNamesW(module, type, &CollectName, user);
  return TRUE;
}

void Usage() {
  std::fprintf(stderr,
               "usage: quillfen [options]\n"
               "  --data DIR      game data directory (default: \"data\" beside the program)\n"
               "  --verbose       print what the game traces\n"
               "  --answer-boxes  log message boxes and go on at once (unattended runs)\n");
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  win32::Options options;
  options.dataDir = win32::ExecutableFolder() + L"\\data";
  for (int i = 1; argv && i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--data" && i + 1 < argc) {
      options.dataDir = argv[++i];
    } else if (arg == L"--verbose") {
      options.verbose = true;
    } else if (arg == L"--answer-boxes") {
      options.answerBoxes = true;
    } else if (arg == L"--help" || arg == L"-h") {
      Usage();
      return 0;
    } else {
      std::fprintf(stderr, "quillfen: unknown option %ls\n", arg.c_str());
      Usage();
      return 2;
    }
  }
  if (argv) LocalFree(argv);
  // Every name the game uses is relative to its data folder.
  SetCurrentDirectoryW(options.dataDir.c_str());

  static ResourceCollector own;
  EnumResourceTypesW(own.module, &CollectType, reinterpret_cast<LONG_PTR>(&own));
  InstallResourceTable(own.table.data(), own.table.size());

  win32::Win32Host host(options);
  // A second copy on the same saves would write its older progress over the
  // first one's when it ends: it says so and ends before reading anything.
  if (!host.ClaimSaveFolder()) {
    host.ShowMessageBox(texts::kAlreadyRunning, nullptr);
    return 1;
  }
  plat::SetHost(&host);
  const int code = GameMain();
  ResetGameState();
  plat::SetHost(nullptr);
  return code;
}
