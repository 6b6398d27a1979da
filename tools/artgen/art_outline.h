// The outlines of shapes as points in canvas coordinates, ready to be
// rasterised.
#pragma once

#include <vector>

#include "artgen/art_context.h"

namespace artgen {

// A rectangle with its corners rounded by r (clamped to half the shorter side).
std::vector<Pt> RoundRect(double x, double y, double w, double h, double r);
std::vector<Pt> Ellipse(double cx, double cy, double rx, double ry);
// The area a line of this width covers along the points, one round-ended
// piece per segment.
Path StrokeOf(const std::vector<Pt>& pts, bool closed, double width);
// Catmull-Rom through the points, so a few points make an organic outline.
std::vector<Pt> Smooth(const std::vector<Pt>& p, bool closed);

}  // namespace artgen
