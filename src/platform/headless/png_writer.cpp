#include "platform/headless/png_writer.h"

#include <png.h>

#include <cstdio>
#include <vector>

#include "platform/posix/file_handle.h"

namespace headless {

bool WritePng555(const std::string& path, const uint16_t* pixels, int width, int height) {
  posix::FileHandle f = posix::OpenFile(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<png_byte> row(static_cast<size_t>(width) * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, f.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const uint16_t* src = pixels + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      const unsigned v = src[x];
      const unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
      // Spread five bits over eight so white stays white.
      row[x * 3 + 0] = static_cast<png_byte>((r << 3) | (r >> 2));
      row[x * 3 + 1] = static_cast<png_byte>((g << 3) | (g >> 2));
      row[x * 3 + 2] = static_cast<png_byte>((b << 3) | (b >> 2));
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return posix::CloseFile(f);
}

}  // namespace headless
