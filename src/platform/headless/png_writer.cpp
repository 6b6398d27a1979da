#include "platform/headless/png_writer.h"

#include <cstdio>
#include <vector>

#include "graphics/png.h"
#include "platform/posix/file_handle.h"

namespace headless {

bool WritePng555(const std::string& path, const uint16_t* pixels, int width, int height) {
  const std::vector<uint8_t> png = EncodePng555(pixels, width, height, width, false);
  if (png.empty()) return false;
  posix::FileHandle f = posix::OpenFile(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(png.data(), 1, png.size(), f.get()) == png.size();
  return posix::CloseFile(f) && written;
}

}  // namespace headless
