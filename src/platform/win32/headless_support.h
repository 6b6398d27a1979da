// The Windows build of the headless backend, for the tests under Wine: the
// POSIX layer's files, text, clock and synthesiser (host_files.h, fonts.h,
// fluid_synth.h) are defined in headless_support.cpp from Windows parts, the
// routing of fs_routing.h over them as on Linux. What it adds of its own are
// the host paths' conversions: the POSIX layer keeps them in UTF-8, the wide
// file functions take UTF-16.
#pragma once

#include <string>

namespace win32 {

std::wstring WideOfUtf8(const std::string& utf8);
std::string Utf8OfWide(const std::wstring& wide);

}  // namespace win32
