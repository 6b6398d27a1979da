#include "graphics/k16.h"

#include <cstring>
#include <vector>

#include "core/mistake_log.h"
#include "graphics/clip.h"
#include "platform/platform.h"

namespace {

int32_t ReadI32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 |
                              static_cast<uint32_t>(p[3]) << 24);
}

// Reads the whole file in one call and checks it.
bool ReadK16(const char* fileName, std::vector<uint8_t>& bytes, K16View& view) {
  if (!fileName || !plat::host().ReadWholeFile(fileName, bytes)) return false;
  return ParseK16(bytes.data(), bytes.size(), view);
}

// Paints the w x h file rectangle at (srcX, srcY) to (destX, destY), clipped
// against both pictures.
void Paint(Image& image, const K16View& k, int64_t destX, int64_t destY, int64_t w, int64_t h,
           int64_t srcX, int64_t srcY, bool keyed) {
  if (!image.pixels) return;
  clip::Span x{destX, srcX, w}, y{destY, srcY, h};
  if (!clip::AgainstSource(x, k.width) || !clip::AgainstDest(x, 0, image.width)) return;
  if (!clip::AgainstSource(y, k.height) || !clip::AgainstDest(y, 0, image.height)) return;
  const int32_t n = static_cast<int32_t>(x.n);
  for (int64_t r = 0; r < y.n; ++r) {
    const uint8_t* in = k.Row(static_cast<int32_t>(y.s + r)) + x.s;
    uint16_t* out = image.Row(static_cast<int32_t>(y.d + r)) + x.d;
    if (keyed) {
      for (int32_t i = 0; i < n; ++i) {
        if (in[i] != kK16TransparentIndex) out[i] = k.palette[in[i]];
      }
    } else {
      for (int32_t i = 0; i < n; ++i) out[i] = k.palette[in[i]];
    }
  }
}

int LoadRect(Image& image, const char* fileName, int32_t destX, int32_t destY, int32_t width,
             int32_t height, int32_t srcX, int32_t srcY, bool keyed) {
  std::vector<uint8_t> bytes;
  K16View k;
  if (!ReadK16(fileName, bytes, k)) return 0;
  Paint(image, k, destX, destY, width, height, srcX, srcY, keyed);
  return 1;
}

}  // namespace

bool ParseK16(const uint8_t* data, size_t size, K16View& out) {
  if (!data || size < kK16PixelOffset) return false;
  const int32_t w = ReadI32(data + 16), h = ReadI32(data + 20);
  if (w < 1 || h < 1 || w > kK16MaxSide || h > kK16MaxSide) return false;
  const int32_t rowSize = K16RowSize(w);
  // The last row needs only its pixels, not its padding.
  const uint64_t need = kK16PixelOffset + static_cast<uint64_t>(rowSize) * (h - 1) + w;
  if (size < need) return false;
  out.width = w;
  out.height = h;
  out.rowSize = rowSize;
  for (int i = 0; i < 256; ++i) {
    const uint8_t* p = data + kK16PaletteOffset + 2 * i;
    out.palette[i] = static_cast<uint16_t>(p[0] | p[1] << 8);
  }
  out.rows = data + kK16PixelOffset;
  return true;
}

int LoadK16(Image& image, const char* fileName) {
  std::vector<uint8_t> bytes;
  K16View k;
  if (!ReadK16(fileName, bytes, k)) return 0;
  if (!image.Create(k.width, k.height)) return 0;
  Paint(image, k, 0, 0, k.width, k.height, 0, 0, false);
  return 1;
}

int LoadK16At(Image& image, const char* fileName, int32_t x, int32_t y) {
  std::vector<uint8_t> bytes;
  K16View k;
  if (!ReadK16(fileName, bytes, k)) return 0;
  // Drawn top-aligned at (x, y); the overhang past any edge is dropped.
  Paint(image, k, x, y, k.width, k.height, 0, 0, false);
  return 1;
}

int LoadK16Rect(Image& image, const char* fileName, int32_t destX, int32_t destY, int32_t width,
                int32_t height, int32_t srcX, int32_t srcY) {
  return LoadRect(image, fileName, destX, destY, width, height, srcX, srcY, false);
}

int LoadK16RectKeyed(Image& image, const char* fileName, int32_t destX, int32_t destY,
                     int32_t width, int32_t height, int32_t srcX, int32_t srcY) {
  return LoadRect(image, fileName, destX, destY, width, height, srcX, srcY, true);
}

int LoadNeededK16(Image& image, const char* fileName, int32_t x, int32_t y, const char* purpose) {
  if (!fileName || fileName[0] == '\0') return 0;
  if (LoadK16At(image, fileName, x, y)) return 1;
  ReportMistake(FileProblem("picture", fileName, purpose));
  return 0;
}
