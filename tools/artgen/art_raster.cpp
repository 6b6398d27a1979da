#include "artgen/art_raster.h"

#include <algorithm>
#include <cmath>

namespace artgen {
namespace {

constexpr int kSubRows = 8;  // vertical samples per pixel row; spans are exact across

double SignedArea(const std::vector<Pt>& p) {
  double s = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    const Pt& a = p[i];
    const Pt& b = p[(i + 1) % p.size()];
    s += a.x * b.y - b.x * a.y;
  }
  return s / 2;
}

}  // namespace

Mask Rasterise(Path path, const Clip& clip) {
  Mask m;
  double minx = 1e30, miny = 1e30, maxx = -1e30, maxy = -1e30;
  for (auto& sub : path) {
    if (SignedArea(sub) < 0) std::reverse(sub.begin(), sub.end());
    for (const Pt& p : sub) {
      minx = std::min(minx, p.x);
      miny = std::min(miny, p.y);
      maxx = std::max(maxx, p.x);
      maxy = std::max(maxy, p.y);
    }
  }
  if (minx > maxx) return m;
  const int bx0 = std::max(clip.x0, static_cast<int>(std::floor(minx)));
  const int by0 = std::max(clip.y0, static_cast<int>(std::floor(miny)));
  const int bx1 = std::min(clip.x1, static_cast<int>(std::ceil(maxx)) + 1);
  const int by1 = std::min(clip.y1, static_cast<int>(std::ceil(maxy)) + 1);
  if (bx0 >= bx1 || by0 >= by1) return m;
  m.Make(bx0, by0, bx1 - bx0, by1 - by0);

  struct Edge {
    double x0, y0, x1, y1;
    int dir;
  };
  std::vector<Edge> edges;
  for (const auto& sub : path)
    for (size_t i = 0; i < sub.size(); ++i) {
      const Pt& a = sub[i];
      const Pt& b = sub[(i + 1) % sub.size()];
      if (a.y == b.y) continue;
      if (a.y < b.y)
        edges.push_back({a.x, a.y, b.x, b.y, 1});
      else
        edges.push_back({b.x, b.y, a.x, a.y, -1});
    }
  std::vector<std::pair<double, int>> xs;
  const float w = 1.0f / kSubRows;
  for (int y = by0; y < by1; ++y) {
    float* row = &m.a[static_cast<size_t>(y - by0) * m.w];
    for (int s = 0; s < kSubRows; ++s) {
      const double sy = y + (s + 0.5) / kSubRows;
      xs.clear();
      for (const Edge& e : edges)
        if (sy >= e.y0 && sy < e.y1)
          xs.push_back({e.x0 + (sy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.dir});
      std::sort(xs.begin(), xs.end());
      int wind = 0;
      for (size_t i = 0; i + 1 < xs.size(); ++i) {
        wind += xs[i].second;
        if (wind == 0) continue;
        const double xa = std::max(xs[i].first, static_cast<double>(bx0));
        const double xb = std::min(xs[i + 1].first, static_cast<double>(bx1));
        if (xb <= xa) continue;
        const int ia = static_cast<int>(std::floor(xa)), ib = static_cast<int>(std::floor(xb));
        if (ia == ib) {
          row[ia - bx0] += static_cast<float>(xb - xa) * w;
          continue;
        }
        row[ia - bx0] += static_cast<float>(ia + 1 - xa) * w;
        for (int k = ia + 1; k < ib; ++k) row[k - bx0] += w;
        if (ib < bx1) row[ib - bx0] += static_cast<float>(xb - ib) * w;
      }
    }
    for (int x = 0; x < m.w; ++x) row[x] = std::min(row[x], 1.0f);
  }
  return m;
}

Mask Pad(const Mask& m, int pad) {
  Mask o;
  o.Make(m.x0 - pad, m.y0 - pad, m.w + 2 * pad, m.h + 2 * pad);
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x)
      o.a[static_cast<size_t>(y + pad) * o.w + x + pad] = m.a[static_cast<size_t>(y) * m.w + x];
  return o;
}

void Blur(Mask& m, double radius) {
  const int r = static_cast<int>(std::lround(radius / 1.7));
  if (r < 1 || m.Empty()) return;
  std::vector<float> tmp;
  for (int pass = 0; pass < 3; ++pass) {
    for (int dir = 0; dir < 2; ++dir) {
      const int len = dir == 0 ? m.w : m.h, lines = dir == 0 ? m.h : m.w;
      tmp.assign(static_cast<size_t>(len), 0);
      for (int l = 0; l < lines; ++l) {
        auto idx = [&](int i) {
          return dir == 0 ? static_cast<size_t>(l) * m.w + i : static_cast<size_t>(i) * m.w + l;
        };
        double sum = 0;
        for (int i = -r; i <= r; ++i)
          if (i >= 0 && i < len) sum += m.a[idx(i)];
        for (int i = 0; i < len; ++i) {
          tmp[static_cast<size_t>(i)] = static_cast<float>(sum / (2 * r + 1));
          const int out = i - r, in = i + r + 1;
          if (out >= 0) sum -= m.a[idx(out)];
          if (in < len) sum += m.a[idx(in)];
        }
        for (int i = 0; i < len; ++i) m.a[idx(i)] = tmp[static_cast<size_t>(i)];
      }
    }
  }
}

Mask Dilate(const Mask& m, double radius) {
  const int r = static_cast<int>(std::ceil(radius)) + 1;
  Mask src = Pad(m, r);
  Mask o = src;
  for (int y = 0; y < src.h; ++y)
    for (int x = 0; x < src.w; ++x) {
      float best = 0;
      for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
          const int sx = x + dx, sy = y + dy;
          if (sx < 0 || sy < 0 || sx >= src.w || sy >= src.h) continue;
          const float v = src.a[static_cast<size_t>(sy) * src.w + sx];
          if (v <= best) continue;
          const float falloff =
              std::clamp(static_cast<float>(radius + 0.5 - std::hypot(dx, dy)), 0.0f, 1.0f);
          best = std::max(best, v * falloff);
        }
      o.a[static_cast<size_t>(y) * o.w + x] = best;
    }
  return o;
}

void Draw(Context& ctx, const Mask& m, const Paint& paint, double alpha, Blend blend, int offX,
          int offY) {
  Canvas& cv = ctx.res->canvas;
  for (int my = 0; my < m.h; ++my) {
    const int y = m.y0 + my + offY;
    if (y < ctx.clip.y0 || y >= ctx.clip.y1) continue;
    for (int mx = 0; mx < m.w; ++mx) {
      const int x = m.x0 + mx + offX;
      if (x < ctx.clip.x0 || x >= ctx.clip.x1) continue;
      const float cov = m.a[static_cast<size_t>(my) * m.w + mx];
      if (cov <= 0) continue;
      const Colour c = paint.At(x + 0.5, y + 0.5);
      const float sa = std::clamp(static_cast<float>(cov * c.a * alpha), 0.0f, 1.0f);
      if (sa <= 0) continue;
      float* d = cv.At(x, y);
      const float src[3] = {c.r, c.g, c.b};
      switch (blend) {
        case Blend::kOver:
          for (int k = 0; k < 3; ++k) d[k] = src[k] * sa + d[k] * (1 - sa);
          d[3] = sa + d[3] * (1 - sa);
          break;
        case Blend::kAdd:
          for (int k = 0; k < 3; ++k) d[k] = std::min(d[3], d[k] + src[k] * sa);
          break;
        case Blend::kMultiply:
          for (int k = 0; k < 3; ++k) d[k] *= 1 - sa + sa * src[k];
          break;
        case Blend::kScreen:
          for (int k = 0; k < 3; ++k) d[k] += sa * src[k] * (d[3] - d[k]);
          break;
      }
    }
  }
}

}  // namespace artgen
