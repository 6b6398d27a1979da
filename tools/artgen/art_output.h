// A drawn recipe written out: the game's K16 picture, a PNG to look at, and
// the desktop's icons.
#pragma once

#include <string>

#include "artgen/artgen.h"
#include "common/png_io.h"

namespace artgen {

// 8-bit RGBA with transparent pixels turned into opaque key magenta, and no
// opaque pixel left that the game would take for the key.
toolpng::RgbaImage ToImage(const Result& result);

// The picture as a SIZE x SIZE icon with true alpha (no key colour), scaled
// down from a square canvas by area averaging, so one recipe drawn large
// makes every size of the desktop's icon set. False for a canvas that is not
// square or smaller than SIZE.
bool IconImage(const Result& result, int size, toolpng::RgbaImage& out, std::string& error);

// The K16 file (key colour kept exact at index 255) and, if pngPath is not
// empty, a PNG of the same picture for looking at.
bool WriteOutputs(const Result& result, const std::string& k16Path, const std::string& pngPath,
                  std::string& error);

}  // namespace artgen
