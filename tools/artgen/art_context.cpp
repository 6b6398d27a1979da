#include "artgen/art_context.h"

#include <algorithm>
#include <cmath>

namespace artgen {

Colour Paint::At(double x, double y) const {
  if (kind == kSolid) return solid;
  double t = 0;
  if (kind == kLinear) {
    const double dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    t = len2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / len2 : 0;
  } else {
    t = r > 0 ? std::hypot(x - x0, y - y0) / r : 0;
  }
  t = std::clamp(t, 0.0, 1.0);
  if (t <= stops.front().pos) return stops.front().c;
  for (size_t i = 1; i < stops.size(); ++i) {
    if (t <= stops[i].pos) {
      const Stop& a = stops[i - 1];
      const Stop& b = stops[i];
      const float span = b.pos - a.pos;
      const float f = span > 0 ? static_cast<float>((t - a.pos) / span) : 1.0f;
      return {a.c.r + (b.c.r - a.c.r) * f, a.c.g + (b.c.g - a.c.g) * f, a.c.b + (b.c.b - a.c.b) * f,
              a.c.a + (b.c.a - a.c.a) * f};
    }
  }
  return stops.back().c;
}

void Mask::Make(int x, int y, int ww, int hh) {
  x0 = x;
  y0 = y;
  w = std::max(ww, 0);
  h = std::max(hh, 0);
  a.assign(static_cast<size_t>(w) * h, 0.0f);
}

bool Context::Fail(int line, const std::string& msg) {
  error = file + ":" + std::to_string(line) + ": " + msg;
  return false;
}

uint64_t Context::Next() {
  uint64_t z = (rng += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace artgen
