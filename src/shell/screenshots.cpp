#include "shell/screenshots.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "graphics/image.h"
#include "graphics/png.h"
#include "platform/platform.h"
#include "shell/overlay.h"

std::string SaveScreenshot() {
  auto& h = plat::host();
  Image shot;
  if (!shot.Create(kClientWidth, kClientHeight)) return {};
  CopyShown(shot);
  const std::vector<uint8_t> png =
      EncodePng555(shot.pixels, shot.width, shot.height, shot.stride / 2, true);
  const plat::CalendarTime t = h.LocalCalendar(h.UnixSeconds());
  char stem[64];
  std::snprintf(stem, sizeof stem, "screenshots\\quillfen-%04d%02d%02d-%02d%02d%02d",
                static_cast<int>(t.year + 1900) % 10000, static_cast<int>(t.mon + 1) % 100,
                static_cast<int>(t.mday) % 100, static_cast<int>(t.hour) % 100,
                static_cast<int>(t.min) % 100, static_cast<int>(t.sec) % 100);
  h.MakeFolder("screenshots");
  std::string name = std::string(stem) + ".png";
  for (int n = 2; h.FileExists(name.c_str()) && n < 100; ++n)
    name = std::string(stem) + "-" + std::to_string(n) + ".png";
  if (h.WriteWholeFile(name.c_str(), png.data(), png.size()) != plat::WriteResult::Ok) return {};
  return name;
}
