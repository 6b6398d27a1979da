// Software drawing between Images: copies, keyed and blended sprites, channel
// arithmetic, stretches, mosaic and fills. Rectangles are x, y, width, height
// in top-down picture coordinates; colours are Windows values 0x00BBGGRR.
// Every primitive clips and returns 1 when it ran, 0 when it refused or the
// clipping left nothing to draw.
#pragma once

#include <cstdint>

#include "graphics/image.h"

int Copy(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src, int32_t sx,
         int32_t sy);
int CopyKeyed(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src,
              int32_t sx, int32_t sy, uint32_t key);
int CopyClipped(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src,
                int32_t sx, int32_t sy, int32_t clipX, int32_t clipY, int32_t clipW, int32_t clipH);
int CopyClippedKeyed(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src,
                     int32_t sx, int32_t sy, int32_t clipX, int32_t clipY, int32_t clipW,
                     int32_t clipH, uint32_t key);
// k = 0 gives the source, 32 (or more, or negative: k is read as an unsigned
// 16-bit value) keeps the destination.
int BlendKeyed(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src,
               int32_t sx, int32_t sy, uint32_t key, int32_t k);
int SubtractCopy(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src,
                 int32_t sx, int32_t sy);
int GreyCopyClippedKeyed(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src,
                         int32_t sx, int32_t sy, int32_t clipX, int32_t clipY, int32_t clipW,
                         int32_t clipH, uint32_t key);
int CopyMirrored(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src,
                 int32_t sx, int32_t sy);
int StretchCopy(Image& dst, int32_t dx, int32_t dy, int32_t dw, int32_t dh, const Image& src,
                int32_t sx, int32_t sy, int32_t sw, int32_t sh);
int StretchCopyKeyed(Image& dst, int32_t dx, int32_t dy, int32_t dw, int32_t dh, const Image& src,
                     int32_t sx, int32_t sy, int32_t sw, int32_t sh, uint32_t key);
int Mosaic(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src, int32_t sx,
           int32_t sy, int32_t n);
int FillImageRect(Image& image, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
int DarkenRect(Image& image, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
int BrightenRect(Image& image, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
