// Coverage masks: outlines rasterised with anti-aliasing, blurred or grown,
// and composited onto the canvas.
#pragma once

#include "artgen/art_context.h"

namespace artgen {

// Nonzero winding with every outline turned the same way, so overlapping
// outlines add up to their union.
Mask Rasterise(Path path, const Clip& clip);
// The same coverage with pad empty pixels around it.
Mask Pad(const Mask& m, int pad);
// Three box passes each way: close to a Gaussian of the given radius.
void Blur(Mask& m, double radius);
// Grown by radius, with a soft edge: the outline of text.
Mask Dilate(const Mask& m, double radius);

enum class Blend { kOver, kAdd, kMultiply, kScreen };

// The paint through the mask, moved by offX, offY and clipped to ctx.clip.
void Draw(Context& ctx, const Mask& m, const Paint& paint, double alpha, Blend blend, int offX = 0,
          int offY = 0);

}  // namespace artgen
