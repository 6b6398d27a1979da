// The one picture type: a bottom-up 16-bit DIB (X1R5G5B5) in a single block
// holding its bitmap header and pixel rows, and the images that live for the
// whole run.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/platform.h"

// The Windows BITMAPINFOHEADER, byte for byte, so the block can go straight to
// the system's own DIB functions.
struct BitmapInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

struct Image {
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;  // bytes per row, a multiple of 4
  uint16_t* pixels = nullptr;
  std::unique_ptr<uint8_t[]> block;
  BitmapInfoHeader* header = nullptr;

  Image() = default;
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  int Create(int32_t w, int32_t h);
  void Destroy();
  static int SwapBuffers(Image& a, Image& b);

  static constexpr int32_t StrideFor(int32_t w) { return ((w + 1) / 2) * 4; }

  // Pixels of top-down row y (memory row height - 1 - y).
  uint16_t* Row(int32_t y) {
    return reinterpret_cast<uint16_t*>(reinterpret_cast<uint8_t*>(pixels) +
                                       static_cast<intptr_t>(height - 1 - y) * stride);
  }
  const uint16_t* Row(int32_t y) const { return const_cast<Image*>(this)->Row(y); }
  uint16_t& At(int32_t x, int32_t y) { return Row(y)[x]; }
  uint16_t At(int32_t x, int32_t y) const { return Row(y)[x]; }

  plat::PixelView View() const { return {header, pixels, width, height, stride}; }
};

// A Windows colour value 0x00BBGGRR as a pixel.
constexpr uint16_t ColourToPixel(uint32_t colour) {
  const uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
  return static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

constexpr uint32_t kMagenta = 0xFF00FF;  // colour key of sheets and number fonts
constexpr uint32_t kBlueKey = 0xFF0000;  // background key of text windows

constexpr int32_t kClientWidth = 640;
constexpr int32_t kClientHeight = 480;
constexpr int32_t kMaxViewOffset = 142;  // Screen height 622 - 480

// The images of the run, created at start-up in this order.
struct Graphics {
  Image Screen;
  Image ScenePage;
  Image BackPage;
  Image WorkPage;
  Image PictureImage;
  Image FaceImage1;
  Image FaceImage2;
  Image PartsSheet;
  int32_t ViewOffset = 0;
};
extern Graphics gfx;

void CreateGlobalImages();
void DestroyGlobalImages();

int Present(int destX, int destY, int width, int height, const Image& image, int srcX, int srcY);
void InvalidateArea(int x, int y, int w, int h);
void InvalidateAll();
