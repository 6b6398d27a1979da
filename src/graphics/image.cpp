#include "graphics/image.h"

#include <cstring>
#include <new>
#include <utility>

Graphics gfx;

Image::~Image() { Destroy(); }

void Image::Destroy() {
  block.reset();
  header = nullptr;
  pixels = nullptr;
  width = height = stride = 0;
}

int Image::Create(int32_t w, int32_t h) {
  if (w < 1 || h < 1) return 0;
  Destroy();
  const int32_t s = StrideFor(w);
  const size_t bytes = sizeof(BitmapInfoHeader) + static_cast<size_t>(s) * static_cast<size_t>(h);
  block.reset(new (std::nothrow) uint8_t[bytes]);
  if (!block) return 0;
  header = reinterpret_cast<BitmapInfoHeader*>(block.get());
  std::memset(header, 0, sizeof *header);
  header->biSize = sizeof(BitmapInfoHeader);
  header->biWidth = w;
  header->biHeight = h;
  header->biPlanes = 1;
  header->biBitCount = 16;
  header->biSizeImage = static_cast<uint32_t>(s) * static_cast<uint32_t>(h);
  pixels = reinterpret_cast<uint16_t*>(block.get() + sizeof(BitmapInfoHeader));
  width = w;
  height = h;
  stride = s;
  return 1;
}

int Image::SwapBuffers(Image& a, Image& b) {
  if (a.width != b.width || a.height != b.height) {
    plat::host().Beep();
    return 0;
  }
  std::swap(a.pixels, b.pixels);
  std::swap(a.block, b.block);
  std::swap(a.header, b.header);
  return 1;
}

void CreateGlobalImages() {
  gfx.Screen.Create(640, 622);
  gfx.ScenePage.Create(640, 480);
  gfx.BackPage.Create(640, 622);
  gfx.WorkPage.Create(640, 622);
  gfx.PictureImage.Create(440, 300);
  gfx.FaceImage1.Create(134, 152);
  gfx.FaceImage2.Create(134, 152);
  gfx.PartsSheet.Create(850, 676);
  // New pixels are undefined; black keeps a run that loads nothing readable.
  for (Image* im : {&gfx.Screen, &gfx.ScenePage, &gfx.BackPage, &gfx.WorkPage, &gfx.PictureImage,
                    &gfx.FaceImage1, &gfx.FaceImage2, &gfx.PartsSheet}) {
    if (im->pixels) std::memset(im->pixels, 0, static_cast<size_t>(im->stride) * im->height);
  }
  gfx.ViewOffset = 0;
}

void DestroyGlobalImages() {
  for (Image* im : {&gfx.Screen, &gfx.ScenePage, &gfx.BackPage, &gfx.WorkPage, &gfx.PictureImage,
                    &gfx.FaceImage1, &gfx.FaceImage2, &gfx.PartsSheet}) {
    im->Destroy();
  }
  gfx.ViewOffset = 0;
}

int Present(int destX, int destY, int width, int height, const Image& image, int srcX, int srcY) {
  if (srcX >= image.width || srcY >= image.height) return 0;
  if (srcX < 0) {
    destX += -srcX;
    width -= -srcX;
  }
  if (srcY < 0) {
    destY += -srcY;
    height -= -srcY;
    srcY = 0;
  }
  if (width < 1 || height < 1) return 0;
  plat::host().Present(image.View(), destX, destY, srcY);
  return 1;
}

void InvalidateArea(int x, int y, int w, int h) {
  const plat::Rect r{x, y, w, h};
  plat::host().Invalidate(&r);
}

void InvalidateAll() { plat::host().Invalidate(nullptr); }
