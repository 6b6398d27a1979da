// The commands that set a recipe up rather than draw: the canvas, named
// paints, dithering, the seed and variables.
#pragma once

#include "artgen/art_context.h"

namespace artgen {

bool CmdCanvas(Context& ctx, const Line& l);
// paint NAME linear x0 y0 x1 y1 STOPS... | paint NAME radial cx cy r STOPS...
bool CmdPaint(Context& ctx, const Line& l);
bool CmdDither(Context& ctx, const Line& l);
bool CmdSeed(Context& ctx, const Line& l);
bool CmdSet(Context& ctx, const Line& l);

}  // namespace artgen
