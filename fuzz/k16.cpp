// K16 pictures: loaded as a picture of their own, and painted into a page
// whole, at an offset and as clipped and colour-keyed rectangles.
#include "graphics/k16.h"
#include "graphics/image.h"
#include "support/fuzz_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Begin();
  fuzz::Write("pic.K16", data, size);
  {
    Image own, page;
    LoadK16(own, "pic.K16");
    page.Create(64, 48);
    LoadK16At(page, "pic.K16", 0, 0);
    LoadK16At(page, "pic.K16", -7, 30);
    LoadK16Rect(page, "pic.K16", 10, -5, 100, 20, 3, 2);
    LoadK16Rect(page, "pic.K16", -3, 40, 2000, 2000, -9, 1);
    LoadK16RectKeyed(page, "pic.K16", 60, 0, 40, 40, 0, 0);
    LoadK16RectKeyed(page, "pic.K16", 5, 5, 50, 30, 16000, 7);
  }
  fuzz::End();
  return 0;
}
