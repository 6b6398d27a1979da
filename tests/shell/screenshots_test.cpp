// F11's picture read back with libpng, which the Windows build lacks: a file
// of its own so that build can leave it out.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>

#include "support/script_fixture.h"

namespace {

class ScreenshotTest : public ScriptTest {};

// The virtual clock starts at 2026-04-01 09:00:00; two shots in one second.
// The frame shown now may carry the note the shot left; the message window's
// text below it is the same.
TEST_F(ScreenshotTest, F11SavesThePictureAsThePlayerSeesItNamedByTheTime) {
  Run(".show msg1\nx\n.clk\n");
  Input("wait key f11\n+10 key f11");
  const std::filesystem::path first = dataDir / "screenshots/quillfen-20260401-090000.png";
  ASSERT_TRUE(std::filesystem::exists(first));
  EXPECT_TRUE(std::filesystem::exists(dataDir / "screenshots/quillfen-20260401-090000-2.png"));
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, first.c_str()));
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  ASSERT_EQ(std::pair(image.width, image.height), std::pair(640u, 480u));
  int same = 0, inked = 0;
  for (int y = 60; y < 180; ++y)
    for (int x = 204; x < 564; ++x) {
      const uint16_t p = host->FramePixel(x, y);
      const png_byte* q = &rgb[(static_cast<size_t>(y) * 640 + x) * 3];
      same += q[0] == (((p >> 10) & 31) << 3 | ((p >> 10) & 31) >> 2) &&
              q[2] == ((p & 31) << 3 | (p & 31) >> 2);
      inked += p != 0;
    }
  EXPECT_EQ(same, 120 * 360);
  EXPECT_GT(inked, 10);
}

}  // namespace
