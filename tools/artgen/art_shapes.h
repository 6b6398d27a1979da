// The shape commands (rect, ellipse, poly, polyline, line) with their fill,
// stroke and shadow, and the commands that cover an area: fill and key.
#pragma once

#include "artgen/art_context.h"

namespace artgen {

bool CmdRect(Context& ctx, const Line& l);
bool CmdEllipse(Context& ctx, const Line& l);
bool CmdPolygon(Context& ctx, const Line& l);
bool CmdPolyline(Context& ctx, const Line& l);
bool CmdLine(Context& ctx, const Line& l);
bool CmdFill(Context& ctx, const Line& l);
// Back to the key colour: these pixels are left out when the picture is
// drawn with its colour key.
bool CmdKey(Context& ctx, const Line& l);

}  // namespace artgen
