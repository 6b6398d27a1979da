#include "artgen/art_outline.h"

#include <algorithm>
#include <cmath>

namespace artgen {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A segment widened to h either side, with round ends.
std::vector<Pt> Stadium(Pt a, Pt b, double h) {
  const double dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
  const double an = len > 1e-9 ? std::atan2(dx, -dy) : 0;  // direction of the normal (-dy, dx)
  const int k = std::clamp(static_cast<int>(h * 2), 4, 32);
  std::vector<Pt> p;
  for (int i = 0; i <= k; ++i) {
    const double t = an - kPi * i / k;
    p.push_back({b.x + h * std::cos(t), b.y + h * std::sin(t)});
  }
  for (int i = 0; i <= k; ++i) {
    const double t = an + kPi - kPi * i / k;
    p.push_back({a.x + h * std::cos(t), a.y + h * std::sin(t)});
  }
  return p;
}

}  // namespace

std::vector<Pt> RoundRect(double x, double y, double w, double h, double r) {
  r = std::clamp(r, 0.0, std::min(w, h) / 2);
  std::vector<Pt> p;
  if (r <= 0) return {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
  const int n = std::max(4, static_cast<int>(std::ceil(r)));
  const double cx[4] = {x + w - r, x + w - r, x + r, x + r};
  const double cy[4] = {y + r, y + h - r, y + h - r, y + r};
  for (int c = 0; c < 4; ++c)
    for (int k = 0; k <= n; ++k) {
      const double t = (c - 1) * kPi / 2 + kPi / 2 * k / n;
      p.push_back({cx[c] + r * std::cos(t), cy[c] + r * std::sin(t)});
    }
  return p;
}

std::vector<Pt> Ellipse(double cx, double cy, double rx, double ry) {
  const int n = std::clamp(static_cast<int>((rx + ry) * 1.5), 24, 720);
  std::vector<Pt> p;
  for (int k = 0; k < n; ++k) {
    const double t = 2 * kPi * k / n;
    p.push_back({cx + rx * std::cos(t), cy + ry * std::sin(t)});
  }
  return p;
}

Path StrokeOf(const std::vector<Pt>& pts, bool closed, double width) {
  Path path;
  const double h = std::max(width, 0.1) / 2;
  const size_t n = pts.size();
  for (size_t i = 0; i + (closed ? 0 : 1) < n; ++i)
    path.push_back(Stadium(pts[i], pts[(i + 1) % n], h));
  return path;
}

std::vector<Pt> Smooth(const std::vector<Pt>& p, bool closed) {
  const size_t n = p.size();
  if (n < 3) return p;
  std::vector<Pt> out;
  auto at = [&](long i) -> Pt {
    if (closed)
      return p[static_cast<size_t>((i % static_cast<long>(n) + static_cast<long>(n)) %
                                   static_cast<long>(n))];
    return p[static_cast<size_t>(std::clamp(i, 0L, static_cast<long>(n) - 1))];
  };
  const long segs = closed ? static_cast<long>(n) : static_cast<long>(n) - 1;
  for (long i = 0; i < segs; ++i) {
    const Pt p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
    const int steps = std::clamp(static_cast<int>(std::hypot(p2.x - p1.x, p2.y - p1.y) / 2), 4, 32);
    for (int s = 0; s < steps; ++s) {
      const double t = static_cast<double>(s) / steps, t2 = t * t, t3 = t2 * t;
      auto f = [&](double a, double b, double c, double d) {
        return 0.5 * (2 * b + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t2 +
                      (-a + 3 * b - 3 * c + d) * t3);
      };
      out.push_back({f(p0.x, p1.x, p2.x, p3.x), f(p0.y, p1.y, p2.y, p3.y)});
    }
  }
  if (!closed) out.push_back(p.back());
  return out;
}

}  // namespace artgen
