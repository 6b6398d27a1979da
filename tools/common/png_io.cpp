#include "common/png_io.h"

#include <png.h>

#include <cstring>

namespace toolpng {

bool ReadPng(const std::string& path, RgbaImage& out, std::string& error) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) {
    error = path + ": cannot read as PNG (" + img.message + ")";
    return false;
  }
  img.format = PNG_FORMAT_RGBA;
  if (img.width == 0 || img.height == 0 || img.width > 65535 || img.height > 65535) {
    error = path + ": unsupported picture size " + std::to_string(img.width) + " x " +
            std::to_string(img.height);
    png_image_free(&img);
    return false;
  }
  RgbaImage result;
  result.width = static_cast<int>(img.width);
  result.height = static_cast<int>(img.height);
  result.rgba.resize(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, result.rgba.data(), 0, nullptr)) {
    error = path + ": damaged PNG (" + img.message + ")";
    png_image_free(&img);
    return false;
  }
  out = std::move(result);
  return true;
}

bool WritePng(const std::string& path, const RgbaImage& image, bool withAlpha, std::string& error) {
  if (image.width < 1 || image.height < 1 ||
      image.rgba.size() != static_cast<size_t>(image.width) * image.height * 4) {
    error = path + ": nothing to write";
    return false;
  }
  std::vector<uint8_t> rgb;
  const void* data = image.rgba.data();
  if (!withAlpha) {
    rgb.reserve(static_cast<size_t>(image.width) * image.height * 3);
    for (size_t i = 0; i < image.rgba.size(); i += 4)
      rgb.insert(rgb.end(), &image.rgba[i], &image.rgba[i] + 3);
    data = rgb.data();
  }
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = static_cast<png_uint_32>(image.width);
  img.height = static_cast<png_uint_32>(image.height);
  img.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  if (!png_image_write_to_file(&img, path.c_str(), 0, data, 0, nullptr)) {
    error = path + ": cannot write PNG (" + img.message + ")";
    return false;
  }
  return true;
}

}  // namespace toolpng
