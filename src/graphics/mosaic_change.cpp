#include "graphics/mosaic_change.h"

#include "core/waits.h"
#include "graphics/blit.h"
#include "graphics/image.h"

namespace {

constexpr int kMosaicSteps = 40;

bool MosaicStep(int n) {
  FrameStart();
  Mosaic(gfx.Screen, 0, 0, 640, 480, gfx.BackPage, 0, 0, n);
  InvalidateAll();
  return WaitUntil(10) != 0;
}

}  // namespace

bool screenChangeOut() {
  Image::SwapBuffers(gfx.BackPage, gfx.Screen);
  for (int n = 1; n <= kMosaicSteps; ++n) {
    if (!MosaicStep(n)) return false;
  }
  return true;
}

bool screenChangeIn() {
  for (int n = kMosaicSteps; n >= 1; --n) {
    if (!MosaicStep(n)) return false;
  }
  return true;
}
