#include "artgen/artgen.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "k16/k16_core.h"

namespace artgen {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSubRows = 8;  // vertical samples per pixel row; spans are exact across

struct Line {
  int number = 0;
  std::vector<std::string> tokens;
};

struct Colour {
  float r = 0, g = 0, b = 0, a = 1;  // straight, 0..1
};

struct Stop {
  float pos = 0;
  Colour c;
};

struct Paint {
  enum Kind { kSolid, kLinear, kRadial } kind = kSolid;
  Colour solid;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0, r = 0;  // canvas coordinates once bound
  std::vector<Stop> stops;

  Colour At(double x, double y) const {
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
        return {a.c.r + (b.c.r - a.c.r) * f, a.c.g + (b.c.g - a.c.g) * f,
                a.c.b + (b.c.b - a.c.b) * f, a.c.a + (b.c.a - a.c.a) * f};
      }
    }
    return stops.back().c;
  }
};

// Coverage 0..1 over a rectangle of the canvas.
struct Mask {
  int x0 = 0, y0 = 0, w = 0, h = 0;
  std::vector<float> a;

  bool Empty() const { return w <= 0 || h <= 0; }
  float& At(int x, int y) { return a[static_cast<size_t>(y - y0) * w + (x - x0)]; }
  float Get(int x, int y) const {
    if (x < x0 || y < y0 || x >= x0 + w || y >= y0 + h) return 0;
    return a[static_cast<size_t>(y - y0) * w + (x - x0)];
  }
  void Make(int x, int y, int ww, int hh) {
    x0 = x;
    y0 = y;
    w = std::max(ww, 0);
    h = std::max(hh, 0);
    a.assign(static_cast<size_t>(w) * h, 0.0f);
  }
};

struct Clip {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // half-open
};

struct Pt {
  double x = 0, y = 0;
};
using Path = std::vector<std::vector<Pt>>;

struct Args {
  std::vector<std::string> pos;
  std::map<std::string, std::string> opt;
};

struct Context {
  std::string file;
  Result* res = nullptr;
  bool haveCanvas = false;
  uint64_t rng = 1;
  std::map<std::string, std::string> vars;
  std::map<std::string, Paint> paints;  // coordinates relative to the origin of use
  double ox = 0, oy = 0;
  Clip clip;
  FT_Library ft = nullptr;
  std::map<std::string, FT_Face> faces;
  std::string error;

  ~Context() {
    for (auto& f : faces) FT_Done_Face(f.second);
    if (ft) FT_Done_FreeType(ft);
  }

  bool Fail(int line, const std::string& msg) {
    error = file + ":" + std::to_string(line) + ": " + msg;
    return false;
  }
  // splitmix64: the only source of variation, so a recipe draws the same
  // picture on every run.
  uint64_t Next() {
    uint64_t z = (rng += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
};

// ---------------------------------------------------------------- parsing

bool Tokenise(const std::string& text, int number, std::vector<std::string>& out,
              std::string& err) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
    if (i >= text.size()) break;
    if (text.compare(i, 2, "//") == 0) break;
    std::string tok;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r') {
      if (text[i] == '"') {
        ++i;
        bool closed = false;
        while (i < text.size()) {
          if (text[i] == '\\' && i + 1 < text.size()) {
            tok += text[i + 1];
            i += 2;
            continue;
          }
          if (text[i] == '"') {
            closed = true;
            ++i;
            break;
          }
          tok += text[i++];
        }
        if (!closed) {
          err = "line " + std::to_string(number) + ": unterminated string";
          return false;
        }
      } else {
        tok += text[i++];
      }
    }
    out.push_back(tok);
  }
  return true;
}

bool Substitute(Context& ctx, int line, std::string& tok) {
  std::string out;
  for (size_t i = 0; i < tok.size();) {
    if (tok[i] == '$') {
      size_t j = i + 1;
      while (j < tok.size() && (std::isalnum(static_cast<unsigned char>(tok[j])) || tok[j] == '_'))
        ++j;
      const std::string name = tok.substr(i + 1, j - i - 1);
      if (name.empty()) return ctx.Fail(line, "'$' without a variable name");
      auto it = ctx.vars.find(name);
      if (it == ctx.vars.end()) return ctx.Fail(line, "unknown variable $" + name);
      out += it->second;
      i = j;
    } else {
      out += tok[i++];
    }
  }
  tok = out;
  return true;
}

bool PlainNumber(const std::string& s, double& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  v = std::strtod(s.c_str(), &end);
  // Far beyond any canvas; keeps every later conversion to int defined.
  return end && *end == '\0' && std::isfinite(v) && std::abs(v) <= 1e6;
}

// "12", "-3.5", or "a~b" for a seeded random value between a and b.
bool Number(Context& ctx, int line, const std::string& s, double& v, const char* what) {
  const size_t t = s.find('~');
  if (t != std::string::npos && t > 0) {
    double lo, hi;
    if (!PlainNumber(s.substr(0, t), lo) || !PlainNumber(s.substr(t + 1), hi))
      return ctx.Fail(line, std::string(what) + ": '" + s + "' is not a number range");
    v = lo + (hi - lo) * ctx.Uniform();
    return true;
  }
  if (!PlainNumber(s, v))
    return ctx.Fail(line, std::string(what) + ": '" + s + "' is not a number");
  return true;
}

bool PlainColour(const std::string& s, Colour& c) {
  if (s.size() != 7 && s.size() != 9) return false;
  if (s[0] != '#') return false;
  for (size_t i = 1; i < s.size(); ++i)
    if (!std::isxdigit(static_cast<unsigned char>(s[i]))) return false;
  auto byte = [&](size_t at) {
    return static_cast<float>(std::stoi(s.substr(at, 2), nullptr, 16)) / 255.0f;
  };
  c.r = byte(1);
  c.g = byte(3);
  c.b = byte(5);
  c.a = s.size() == 9 ? byte(7) : 1.0f;
  return true;
}

// "#RRGGBB", "#RRGGBBAA", or "#c1~#c2" for a seeded random mix of the two.
bool ParseColour(Context& ctx, int line, const std::string& s, Colour& c, const char* what) {
  const size_t t = s.find('~');
  if (t != std::string::npos) {
    Colour a, b;
    if (!PlainColour(s.substr(0, t), a) || !PlainColour(s.substr(t + 1), b))
      return ctx.Fail(line, std::string(what) + ": '" + s + "' is not a colour range");
    const float f = static_cast<float>(ctx.Uniform());
    c = {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f,
         a.a + (b.a - a.a) * f};
    return true;
  }
  if (!PlainColour(s, c))
    return ctx.Fail(line,
                    std::string(what) + ": '" + s + "' is not a colour (#RRGGBB or #RRGGBBAA)");
  return true;
}

// A colour, or the name of a paint, placed at the current origin.
bool ParsePaint(Context& ctx, int line, const std::string& s, Paint& p, const char* what) {
  if (!s.empty() && s[0] == '#') {
    p = Paint{};
    return ParseColour(ctx, line, s, p.solid, what);
  }
  auto it = ctx.paints.find(s);
  if (it == ctx.paints.end())
    return ctx.Fail(line, std::string(what) + ": unknown paint '" + s + "'");
  p = it->second;
  p.x0 += ctx.ox;
  p.y0 += ctx.oy;
  p.x1 += ctx.ox;
  p.y1 += ctx.oy;
  return true;
}

bool SplitArgs(Context& ctx, const Line& l, const std::set<std::string>& allowed, Args& a) {
  for (size_t i = 1; i < l.tokens.size(); ++i) {
    const std::string& t = l.tokens[i];
    const size_t eq = t.find('=');
    if (eq != std::string::npos && eq > 0 && std::isalpha(static_cast<unsigned char>(t[0]))) {
      const std::string key = t.substr(0, eq);
      if (!allowed.count(key))
        return ctx.Fail(l.number, l.tokens[0] + ": unknown option '" + key + "'");
      a.opt[key] = t.substr(eq + 1);
    } else {
      a.pos.push_back(t);
    }
  }
  return true;
}

bool Count(Context& ctx, const Line& l, const Args& a, size_t lo, size_t hi, const char* usage) {
  if (a.pos.size() < lo || a.pos.size() > hi)
    return ctx.Fail(l.number, l.tokens[0] + ": expected " + usage);
  return true;
}

bool OptNumber(Context& ctx, const Line& l, const Args& a, const std::string& key, double& v) {
  auto it = a.opt.find(key);
  if (it == a.opt.end()) return true;
  return Number(ctx, l.number, it->second, v, (l.tokens[0] + " " + key).c_str());
}

bool NeedCanvas(Context& ctx, const Line& l) {
  if (!ctx.haveCanvas)
    return ctx.Fail(l.number, l.tokens[0] + ": no canvas yet (start with 'canvas W H')");
  return true;
}

// ---------------------------------------------------------------- geometry

double SignedArea(const std::vector<Pt>& p) {
  double s = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    const Pt& a = p[i];
    const Pt& b = p[(i + 1) % p.size()];
    s += a.x * b.y - b.x * a.y;
  }
  return s / 2;
}

// Nonzero winding with every outline turned the same way, so overlapping
// outlines add up to their union.
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

Path StrokeOf(const std::vector<Pt>& pts, bool closed, double width) {
  Path path;
  const double h = std::max(width, 0.1) / 2;
  const size_t n = pts.size();
  for (size_t i = 0; i + (closed ? 0 : 1) < n; ++i)
    path.push_back(Stadium(pts[i], pts[(i + 1) % n], h));
  return path;
}

// Catmull-Rom through the points, so a few points make an organic outline.
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

// ---------------------------------------------------------------- masks

Mask Pad(const Mask& m, int pad) {
  Mask o;
  o.Make(m.x0 - pad, m.y0 - pad, m.w + 2 * pad, m.h + 2 * pad);
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x)
      o.a[static_cast<size_t>(y + pad) * o.w + x + pad] = m.a[static_cast<size_t>(y) * m.w + x];
  return o;
}

// Three box passes each way: close to a Gaussian of the given radius.
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

enum class Blend { kOver, kAdd, kMultiply, kScreen };

void Draw(Context& ctx, const Mask& m, const Paint& paint, double alpha, Blend blend, int offX = 0,
          int offY = 0) {
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

// ---------------------------------------------------------------- drawing commands

const std::set<std::string> kShapeOpts = {"r",    "stroke", "width", "alpha", "shadow",
                                          "blur", "sx",     "sy",    "blend", "smooth"};

bool ParseBlend(Context& ctx, const Line& l, const Args& a, Blend& b) {
  auto it = a.opt.find("blend");
  if (it == a.opt.end()) return true;
  if (it->second == "over")
    b = Blend::kOver;
  else if (it->second == "add")
    b = Blend::kAdd;
  else if (it->second == "multiply")
    b = Blend::kMultiply;
  else if (it->second == "screen")
    b = Blend::kScreen;
  else
    return ctx.Fail(l.number, l.tokens[0] + ": blend must be over, add, multiply or screen");
  return true;
}

// Fill (unless the paint is "none"), stroke and drop shadow of one outline.
bool FinishShape(Context& ctx, const Line& l, const Args& a, const std::string& fillName,
                 const std::vector<Pt>& outline, bool closed) {
  double alpha = 1, width = 1, blur = 3, sx = 2, sy = 2;
  Blend blend = Blend::kOver;
  if (!OptNumber(ctx, l, a, "alpha", alpha) || !OptNumber(ctx, l, a, "width", width) ||
      !OptNumber(ctx, l, a, "blur", blur) || !OptNumber(ctx, l, a, "sx", sx) ||
      !OptNumber(ctx, l, a, "sy", sy) || !ParseBlend(ctx, l, a, blend))
    return false;
  if (blur < 0 || blur > 64 || width < 0 || width > 256)
    return ctx.Fail(l.number, l.tokens[0] + ": blur must be 0 to 64 and width 0 to 256");
  Mask fill, stroke;
  Paint fillPaint, strokePaint;
  if (fillName != "none") {
    if (!ParsePaint(ctx, l.number, fillName, fillPaint, l.tokens[0].c_str())) return false;
    if (closed) fill = Rasterise({outline}, ctx.clip);
  }
  auto st = a.opt.find("stroke");
  if (st != a.opt.end()) {
    if (!ParsePaint(ctx, l.number, st->second, strokePaint, (l.tokens[0] + " stroke").c_str()))
      return false;
    stroke = Rasterise(StrokeOf(outline, closed, width), ctx.clip);
  }
  auto sh = a.opt.find("shadow");
  if (sh != a.opt.end()) {
    Paint shadow;
    if (!ParseColour(ctx, l.number, sh->second, shadow.solid, (l.tokens[0] + " shadow").c_str()))
      return false;
    // The shadow is rasterised without the clip so that a shape at a region's
    // edge still casts a whole one.
    Clip all{-100000, -100000, 100000, 100000};
    // A closed outline casts its whole area, drawn or not (a shadow alone
    // is how shadow strips are made); an open one casts its stroke.
    Mask m = closed ? Rasterise({outline}, all) : Rasterise(StrokeOf(outline, closed, width), all);
    const int pad = static_cast<int>(std::ceil(blur)) + 2;
    m = Pad(m, pad);
    Blur(m, blur);
    Draw(ctx, m, shadow, alpha, Blend::kOver, static_cast<int>(std::lround(sx)),
         static_cast<int>(std::lround(sy)));
  }
  if (!fill.Empty()) Draw(ctx, fill, fillPaint, alpha, blend);
  if (!stroke.Empty()) Draw(ctx, stroke, strokePaint, alpha, blend);
  return true;
}

bool ParsePoints(Context& ctx, const Line& l, const std::vector<std::string>& toks, size_t from,
                 std::vector<Pt>& pts) {
  for (size_t i = from; i < toks.size(); ++i) {
    const size_t c = toks[i].find(',');
    if (c == std::string::npos)
      return ctx.Fail(l.number, l.tokens[0] + ": point '" + toks[i] + "' is not x,y");
    double x, y;
    if (!Number(ctx, l.number, toks[i].substr(0, c), x, "point x") ||
        !Number(ctx, l.number, toks[i].substr(c + 1), y, "point y"))
      return false;
    pts.push_back({x + ctx.ox, y + ctx.oy});
  }
  return true;
}

bool Nums(Context& ctx, const Line& l, const Args& a, size_t n, double* out) {
  for (size_t i = 0; i < n; ++i)
    if (!Number(ctx, l.number, a.pos[i], out[i], l.tokens[0].c_str())) return false;
  return true;
}

bool CmdRect(Context& ctx, const Line& l) {
  Args a;
  if (!SplitArgs(ctx, l, kShapeOpts, a) || !Count(ctx, l, a, 5, 5, "x y w h PAINT") ||
      !NeedCanvas(ctx, l))
    return false;
  double v[4], r = 0;
  if (!Nums(ctx, l, a, 4, v) || !OptNumber(ctx, l, a, "r", r)) return false;
  if (v[2] <= 0 || v[3] <= 0) return ctx.Fail(l.number, "rect: width and height must be above 0");
  return FinishShape(ctx, l, a, a.pos[4], RoundRect(v[0] + ctx.ox, v[1] + ctx.oy, v[2], v[3], r),
                     true);
}

bool CmdEllipse(Context& ctx, const Line& l) {
  Args a;
  if (!SplitArgs(ctx, l, kShapeOpts, a) || !Count(ctx, l, a, 5, 5, "cx cy rx ry PAINT") ||
      !NeedCanvas(ctx, l))
    return false;
  double v[4];
  if (!Nums(ctx, l, a, 4, v)) return false;
  if (v[2] <= 0 || v[3] <= 0) return ctx.Fail(l.number, "ellipse: radii must be above 0");
  return FinishShape(ctx, l, a, a.pos[4], Ellipse(v[0] + ctx.ox, v[1] + ctx.oy, v[2], v[3]), true);
}

bool CmdPoly(Context& ctx, const Line& l, bool closed) {
  Args a;
  if (!SplitArgs(ctx, l, kShapeOpts, a) || !NeedCanvas(ctx, l)) return false;
  if (a.pos.size() < (closed ? 4u : 3u))
    return ctx.Fail(l.number, l.tokens[0] + (closed ? ": expected PAINT and at least 3 points"
                                                    : ": expected PAINT and at least 2 points"));
  std::vector<Pt> pts;
  if (!ParsePoints(ctx, l, a.pos, 1, pts)) return false;
  double smooth = 0;
  if (!OptNumber(ctx, l, a, "smooth", smooth)) return false;
  if (smooth != 0) pts = Smooth(pts, closed);
  if (closed) return FinishShape(ctx, l, a, a.pos[0], pts, true);
  // A polyline is all stroke: its paint is the stroke's.
  Args b = a;
  b.opt["stroke"] = a.pos[0];
  return FinishShape(ctx, l, b, "none", pts, false);
}

bool CmdLine(Context& ctx, const Line& l) {
  Args a;
  if (!SplitArgs(ctx, l, kShapeOpts, a) || !Count(ctx, l, a, 5, 5, "x0 y0 x1 y1 PAINT") ||
      !NeedCanvas(ctx, l))
    return false;
  double v[4];
  if (!Nums(ctx, l, a, 4, v)) return false;
  Args b = a;
  b.opt["stroke"] = a.pos[4];
  return FinishShape(ctx, l, b, "none",
                     {{v[0] + ctx.ox, v[1] + ctx.oy}, {v[2] + ctx.ox, v[3] + ctx.oy}}, false);
}

bool CmdFill(Context& ctx, const Line& l) {
  Args a;
  if (!SplitArgs(ctx, l, {"alpha", "blend"}, a) || !Count(ctx, l, a, 1, 1, "PAINT") ||
      !NeedCanvas(ctx, l))
    return false;
  double alpha = 1;
  Blend blend = Blend::kOver;
  Paint p;
  if (!OptNumber(ctx, l, a, "alpha", alpha) || !ParseBlend(ctx, l, a, blend) ||
      !ParsePaint(ctx, l.number, a.pos[0], p, "fill"))
    return false;
  Mask m;
  m.Make(ctx.clip.x0, ctx.clip.y0, ctx.clip.x1 - ctx.clip.x0, ctx.clip.y1 - ctx.clip.y0);
  std::fill(m.a.begin(), m.a.end(), 1.0f);
  Draw(ctx, m, p, alpha, blend);
  return true;
}

bool RectArgs(Context& ctx, const Line& l, const Args& a, size_t at, Clip& r) {
  if (a.pos.size() == at) {
    r = ctx.clip;
    return true;
  }
  double v[4];
  for (int i = 0; i < 4; ++i)
    if (!Number(ctx, l.number, a.pos[at + i], v[i], l.tokens[0].c_str())) return false;
  r.x0 = std::max(ctx.clip.x0, static_cast<int>(std::lround(v[0] + ctx.ox)));
  r.y0 = std::max(ctx.clip.y0, static_cast<int>(std::lround(v[1] + ctx.oy)));
  r.x1 = std::min(ctx.clip.x1, static_cast<int>(std::lround(v[0] + v[2] + ctx.ox)));
  r.y1 = std::min(ctx.clip.y1, static_cast<int>(std::lround(v[1] + v[3] + ctx.oy)));
  return true;
}

// Back to the key colour: these pixels are left out when the picture is
// drawn with its colour key.
bool CmdKey(Context& ctx, const Line& l) {
  Args a;
  if (!SplitArgs(ctx, l, {}, a) || !NeedCanvas(ctx, l)) return false;
  if (a.pos.size() != 0 && a.pos.size() != 4)
    return ctx.Fail(l.number, "key: expected nothing or x y w h");
  Clip r;
  if (!RectArgs(ctx, l, a, 0, r)) return false;
  for (int y = r.y0; y < r.y1; ++y)
    for (int x = r.x0; x < r.x1; ++x) std::fill_n(ctx.res->canvas.At(x, y), 4, 0.0f);
  return true;
}

float Hash(uint64_t salt, int x, int y) {
  uint64_t z = salt ^ (static_cast<uint64_t>(static_cast<uint32_t>(x)) * 0x9E3779B97F4A7C15ull) ^
               (static_cast<uint64_t>(static_cast<uint32_t>(y)) * 0xC2B2AE3D27D4EB4Full);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<float>(z >> 40) / static_cast<float>(1 << 24);
}

float ValueNoise(uint64_t salt, double x, double y) {
  const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
  double fx = x - ix, fy = y - iy;
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  const float a = Hash(salt, ix, iy), b = Hash(salt, ix + 1, iy), c = Hash(salt, ix, iy + 1),
              d = Hash(salt, ix + 1, iy + 1);
  return static_cast<float>(a + (b - a) * fx + (c - a) * fy + (a - b - c + d) * fx * fy);
}

// Seeded value noise that lightens and darkens what is already drawn.
bool CmdNoise(Context& ctx, const Line& l) {
  Args a;
  if (!SplitArgs(ctx, l, {"amount", "scale", "octaves", "colour"}, a) || !NeedCanvas(ctx, l))
    return false;
  if (a.pos.size() != 0 && a.pos.size() != 4)
    return ctx.Fail(l.number, "noise: expected nothing or x y w h");
  Clip r;
  double amount = 0.08, scale = 4, octaves = 1;
  if (!RectArgs(ctx, l, a, 0, r) || !OptNumber(ctx, l, a, "amount", amount) ||
      !OptNumber(ctx, l, a, "scale", scale) || !OptNumber(ctx, l, a, "octaves", octaves))
    return false;
  if (scale <= 0 || octaves < 1 || octaves > 8)
    return ctx.Fail(l.number, "noise: scale must be above 0 and octaves 1 to 8");
  Colour tint{1, 1, 1, 1};
  auto ct = a.opt.find("colour");
  if (ct != a.opt.end() && !ParseColour(ctx, l.number, ct->second, tint, "noise colour"))
    return false;
  const uint64_t salt = ctx.Next();
  const int oct = static_cast<int>(octaves);
  for (int y = r.y0; y < r.y1; ++y)
    for (int x = r.x0; x < r.x1; ++x) {
      float* d = ctx.res->canvas.At(x, y);
      if (d[3] <= 0) continue;
      double n = 0, amp = 1, total = 0, f = 1 / scale;
      for (int o = 0; o < oct; ++o) {
        n += amp * ValueNoise(salt + static_cast<uint64_t>(o), (x - ctx.ox) * f, (y - ctx.oy) * f);
        total += amp;
        amp /= 2;
        f *= 2;
      }
      const float v = static_cast<float>((n / total - 0.5) * 2 * amount) * d[3];
      const float t[3] = {tint.r, tint.g, tint.b};
      for (int k = 0; k < 3; ++k) d[k] = std::clamp(d[k] + v * t[k], 0.0f, d[3]);
    }
  return true;
}

// ---------------------------------------------------------------- text

bool Utf8(const std::string& s, std::vector<uint32_t>& out) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 9;
    if (n == 9 || i + n >= s.size()) return false;
    uint32_t cp = n == 0 ? c : c & (0x3Fu >> n);
    for (size_t k = 1; k <= n; ++k) {
      const unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    out.push_back(cp);
    i += n + 1;
  }
  return true;
}

bool FindFace(Context& ctx, int line, const std::string& font, FT_Face& face) {
  auto it = ctx.faces.find(font);
  if (it != ctx.faces.end()) {
    face = it->second;
    return true;
  }
  std::string family;
  if (font == "gothic")
    family = "IPAGothic";
  else if (font == "mincho")
    family = "IPAMincho";
  else
    return ctx.Fail(line, "text: font must be gothic or mincho, not '" + font + "'");
  if (!ctx.ft && FT_Init_FreeType(&ctx.ft) != 0)
    return ctx.Fail(line, "text: FreeType does not start");
  std::string file;
  FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
  if (pat) {
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pat, &result);
    if (match) {
      FcChar8* got = nullptr;
      FcChar8* fam = nullptr;
      if (FcPatternGetString(match, FC_FILE, 0, &got) == FcResultMatch &&
          FcPatternGetString(match, FC_FAMILY, 0, &fam) == FcResultMatch &&
          std::string(reinterpret_cast<char*>(fam)) == family)
        file = reinterpret_cast<char*>(got);
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pat);
  }
  if (file.empty())
    return ctx.Fail(line, "text: the face " + family + " is not installed (fonts-ipafont)");
  if (FT_New_Face(ctx.ft, file.c_str(), 0, &face) != 0)
    return ctx.Fail(line, "text: cannot open " + file);
  ctx.faces[font] = face;
  return true;
}

const std::set<std::string> kTextOpts = {"font",  "size",    "weight", "colour", "outline",
                                         "ow",    "shadow",  "blur",   "sx",     "sy",
                                         "align", "spacing", "alpha"};

bool CmdText(Context& ctx, const Line& l) {
  Args a;
  if (!SplitArgs(ctx, l, kTextOpts, a) || !Count(ctx, l, a, 3, 3, "x y \"text\"") ||
      !NeedCanvas(ctx, l))
    return false;
  double x, y, size = 16, ow = 1.5, blur = 2, sx = 1, sy = 1, spacing = 0, alpha = 1, weight = 0;
  if (!Number(ctx, l.number, a.pos[0], x, "text x") ||
      !Number(ctx, l.number, a.pos[1], y, "text y") || !OptNumber(ctx, l, a, "size", size) ||
      !OptNumber(ctx, l, a, "ow", ow) || !OptNumber(ctx, l, a, "blur", blur) ||
      !OptNumber(ctx, l, a, "sx", sx) || !OptNumber(ctx, l, a, "sy", sy) ||
      !OptNumber(ctx, l, a, "spacing", spacing) || !OptNumber(ctx, l, a, "alpha", alpha))
    return false;
  if (size < 4 || size > 400) return ctx.Fail(l.number, "text: size must be 4 to 400");
  if (ow < 0 || ow > 16 || blur < 0 || blur > 64 || std::abs(sx) > 64 || std::abs(sy) > 64)
    return ctx.Fail(l.number, "text: ow must be 0 to 16, blur 0 to 64, sx and sy -64 to 64");
  auto wt = a.opt.find("weight");
  if (wt != a.opt.end()) {
    if (wt->second == "bold")
      weight = size / 20;
    else if (wt->second == "normal")
      weight = 0;
    else if (!Number(ctx, l.number, wt->second, weight, "text weight"))
      return false;
  }
  std::vector<uint32_t> cps;
  if (!Utf8(a.pos[2], cps)) return ctx.Fail(l.number, "text: the string is not UTF-8");
  FT_Face face;
  if (!FindFace(ctx, l.number, a.opt.count("font") ? a.opt["font"] : "gothic", face)) return false;
  const int px = static_cast<int>(std::lround(size));
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(px));
  const FT_Pos embolden = static_cast<FT_Pos>(std::lround(weight * 64));

  struct Placed {
    double x;
    FT_UInt glyph;
  };
  std::vector<Placed> placed;
  double pen = 0;
  for (uint32_t cp : cps) {
    const FT_UInt gi = FT_Get_Char_Index(face, cp);
    if (FT_Load_Glyph(face, gi, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0)
      return ctx.Fail(l.number, "text: cannot load a glyph");
    placed.push_back({pen, gi});
    pen += static_cast<double>(face->glyph->advance.x) / 64.0 +
           static_cast<double>(embolden) / 64.0 + spacing;
  }
  const double width = pen - (cps.empty() ? 0 : spacing);
  std::string align = a.opt.count("align") ? a.opt["align"] : "left";
  double left = x + ctx.ox;
  if (align == "centre" || align == "center")
    left -= width / 2;
  else if (align == "right")
    left -= width;
  else if (align != "left")
    return ctx.Fail(l.number, "text: align must be left, centre or right");
  const double baseline = y + ctx.oy + static_cast<double>(face->size->metrics.ascender) / 64.0;

  const int pad = static_cast<int>(std::ceil(ow + blur + std::abs(sx) + std::abs(sy))) + 4;
  Mask m;
  m.Make(static_cast<int>(std::floor(left)) - pad, static_cast<int>(std::floor(y + ctx.oy)) - pad,
         static_cast<int>(std::ceil(width)) + 2 * pad + px, px * 2 + 2 * pad);
  for (const Placed& p : placed) {
    if (FT_Load_Glyph(face, p.glyph, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0) continue;
    FT_GlyphSlot slot = face->glyph;
    if (embolden && slot->format == FT_GLYPH_FORMAT_OUTLINE)
      FT_Outline_Embolden(&slot->outline, embolden);
    // Sub-pixel placement: the outline moves by the fraction of the pen.
    const double gx = left + p.x;
    const int ix = static_cast<int>(std::floor(gx));
    const int iy = static_cast<int>(std::floor(baseline));
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE)
      FT_Outline_Translate(&slot->outline, static_cast<FT_Pos>(std::lround((gx - ix) * 64)),
                           -static_cast<FT_Pos>(std::lround((baseline - iy) * 64)));
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) continue;
    const FT_Bitmap& bm = slot->bitmap;
    for (unsigned r = 0; r < bm.rows; ++r)
      for (unsigned c = 0; c < bm.width; ++c) {
        const int X = ix + slot->bitmap_left + static_cast<int>(c);
        const int Y = iy - slot->bitmap_top + static_cast<int>(r);
        if (X < m.x0 || Y < m.y0 || X >= m.x0 + m.w || Y >= m.y0 + m.h) continue;
        float& v = m.At(X, Y);
        v = std::min(1.0f, v + bm.buffer[r * static_cast<unsigned>(bm.pitch) + c] / 255.0f);
      }
  }

  Paint fill;
  if (!ParsePaint(ctx, l.number, a.opt.count("colour") ? a.opt["colour"] : "#FFFFFF", fill,
                  "text colour"))
    return false;
  Mask body = m;
  auto ol = a.opt.find("outline");
  if (ol != a.opt.end()) {
    Paint outline;
    if (!ParsePaint(ctx, l.number, ol->second, outline, "text outline")) return false;
    body = Dilate(m, ow);
  }
  auto sh = a.opt.find("shadow");
  if (sh != a.opt.end()) {
    Paint shadow;
    if (!ParseColour(ctx, l.number, sh->second, shadow.solid, "text shadow")) return false;
    Mask s = body;
    Blur(s, blur);
    Draw(ctx, s, shadow, alpha, Blend::kOver, static_cast<int>(std::lround(sx)),
         static_cast<int>(std::lround(sy)));
  }
  if (ol != a.opt.end()) {
    Paint outline;
    ParsePaint(ctx, l.number, ol->second, outline, "text outline");
    Draw(ctx, body, outline, alpha, Blend::kOver);
  }
  Draw(ctx, m, fill, alpha, Blend::kOver);
  return true;
}

// ---------------------------------------------------------------- setup commands

bool CmdCanvas(Context& ctx, const Line& l) {
  Args a;
  if (!SplitArgs(ctx, l, {}, a) || !Count(ctx, l, a, 2, 3, "W H [PAINT]")) return false;
  if (ctx.haveCanvas) return ctx.Fail(l.number, "canvas: the canvas is already made");
  double w, h;
  if (!Number(ctx, l.number, a.pos[0], w, "canvas") ||
      !Number(ctx, l.number, a.pos[1], h, "canvas"))
    return false;
  if (w < 1 || h < 1 || w > 4096 || h > 4096 || w != std::floor(w) || h != std::floor(h))
    return ctx.Fail(l.number, "canvas: size must be whole numbers from 1 to 4096");
  Canvas& cv = ctx.res->canvas;
  cv.width = static_cast<int>(w);
  cv.height = static_cast<int>(h);
  cv.px.assign(static_cast<size_t>(cv.width) * cv.height * 4, 0.0f);
  ctx.haveCanvas = true;
  ctx.clip = {0, 0, cv.width, cv.height};
  if (a.pos.size() == 3) {
    Line f{l.number, {"fill", a.pos[2]}};
    return CmdFill(ctx, f);
  }
  return true;
}

bool CmdPaint(Context& ctx, const Line& l) {
  // paint NAME linear x0 y0 x1 y1 STOPS... | paint NAME radial cx cy r STOPS...
  const auto& t = l.tokens;
  if (t.size() < 3) return ctx.Fail(l.number, "paint: expected NAME linear|radial ...");
  const std::string& name = t[1];
  if (name.empty() || name[0] == '#' || name == "none")
    return ctx.Fail(l.number, "paint: '" + name + "' cannot name a paint");
  Paint p;
  size_t at;
  if (t[2] == "linear") {
    p.kind = Paint::kLinear;
    if (t.size() < 9)
      return ctx.Fail(l.number, "paint linear: expected x0 y0 x1 y1 and at least 2 stops");
    if (!Number(ctx, l.number, t[3], p.x0, "paint") ||
        !Number(ctx, l.number, t[4], p.y0, "paint") ||
        !Number(ctx, l.number, t[5], p.x1, "paint") || !Number(ctx, l.number, t[6], p.y1, "paint"))
      return false;
    at = 7;
  } else if (t[2] == "radial") {
    p.kind = Paint::kRadial;
    if (t.size() < 8)
      return ctx.Fail(l.number, "paint radial: expected cx cy r and at least 2 stops");
    if (!Number(ctx, l.number, t[3], p.x0, "paint") ||
        !Number(ctx, l.number, t[4], p.y0, "paint") || !Number(ctx, l.number, t[5], p.r, "paint"))
      return false;
    at = 6;
  } else {
    return ctx.Fail(l.number, "paint: kind must be linear or radial, not '" + t[2] + "'");
  }
  for (size_t i = at; i < t.size(); ++i) {
    const size_t c = t[i].find(':');
    Stop s;
    double pos;
    if (c == std::string::npos || !PlainNumber(t[i].substr(0, c), pos) || pos < 0 || pos > 1)
      return ctx.Fail(l.number,
                      "paint: stop '" + t[i] + "' is not POS:#COLOUR with POS from 0 to 1");
    if (!ParseColour(ctx, l.number, t[i].substr(c + 1), s.c, "paint stop")) return false;
    s.pos = static_cast<float>(pos);
    if (!p.stops.empty() && s.pos < p.stops.back().pos)
      return ctx.Fail(l.number, "paint: stops must go in order");
    p.stops.push_back(s);
  }
  // Coordinates stay relative: the paint is placed at the origin of each use.
  ctx.paints[name] = p;
  return true;
}

// ---------------------------------------------------------------- blocks

struct Program {
  std::vector<Line> lines;
  std::vector<size_t> endOf;  // for a block opener, the index of its "end"
};

bool Run(Context& ctx, const Program& prog, size_t from, size_t to);

bool CmdRegion(Context& ctx, const Program& prog, size_t i) {
  const Line& l = prog.lines[i];
  Args a;
  if (!SplitArgs(ctx, l, {}, a) || !Count(ctx, l, a, 5, 5, "NAME x y w h") || !NeedCanvas(ctx, l))
    return false;
  double v[4];
  for (int k = 0; k < 4; ++k)
    if (!Number(ctx, l.number, a.pos[1 + static_cast<size_t>(k)], v[k], "region")) return false;
  Region r{a.pos[0],
           static_cast<int>(std::lround(v[0] + ctx.ox)),
           static_cast<int>(std::lround(v[1] + ctx.oy)),
           static_cast<int>(std::lround(v[2])),
           static_cast<int>(std::lround(v[3])),
           l.number};
  const Canvas& cv = ctx.res->canvas;
  if (r.w < 1 || r.h < 1 || r.x < 0 || r.y < 0 || r.x + r.w > cv.width || r.y + r.h > cv.height)
    return ctx.Fail(l.number, "region " + r.name + ": " + std::to_string(r.x) + "," +
                                  std::to_string(r.y) + " " + std::to_string(r.w) + "x" +
                                  std::to_string(r.h) + " is not inside the " +
                                  std::to_string(cv.width) + "x" + std::to_string(cv.height) +
                                  " canvas");
  for (const Region& o : ctx.res->regions)
    if (o.name == r.name && (o.x != r.x || o.y != r.y || o.w != r.w || o.h != r.h))
      return ctx.Fail(l.number, "region " + r.name + ": already used at line " +
                                    std::to_string(o.line) + " for another place");
  ctx.res->regions.push_back(r);
  const Clip saved = ctx.clip;
  const double sox = ctx.ox, soy = ctx.oy;
  ctx.clip = {std::max(saved.x0, r.x), std::max(saved.y0, r.y), std::min(saved.x1, r.x + r.w),
              std::min(saved.y1, r.y + r.h)};
  ctx.ox = r.x;
  ctx.oy = r.y;
  const bool ok = Run(ctx, prog, i + 1, prog.endOf[i]);
  ctx.clip = saved;
  ctx.ox = sox;
  ctx.oy = soy;
  return ok;
}

bool CmdRepeat(Context& ctx, const Program& prog, size_t i) {
  const Line& l = prog.lines[i];
  Args a;
  if (!SplitArgs(ctx, l, {"var"}, a) || !Count(ctx, l, a, 1, 3, "N [dx dy]")) return false;
  double n, dx = 0, dy = 0;
  if (!Number(ctx, l.number, a.pos[0], n, "repeat")) return false;
  if (a.pos.size() > 1 && !Number(ctx, l.number, a.pos[1], dx, "repeat")) return false;
  if (a.pos.size() > 2 && !Number(ctx, l.number, a.pos[2], dy, "repeat")) return false;
  if (n < 0 || n > 10000 || n != std::floor(n))
    return ctx.Fail(l.number, "repeat: count must be a whole number 0 to 10000");
  const std::string var = a.opt.count("var") ? a.opt["var"] : "i";
  const double sox = ctx.ox, soy = ctx.oy;
  bool ok = true;
  for (int k = 0; ok && k < static_cast<int>(n); ++k) {
    ctx.vars[var] = std::to_string(k);
    ctx.ox = sox + dx * k;
    ctx.oy = soy + dy * k;
    ok = Run(ctx, prog, i + 1, prog.endOf[i]);
  }
  ctx.ox = sox;
  ctx.oy = soy;
  return ok;
}

bool Run(Context& ctx, const Program& prog, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) {
    Line l = prog.lines[i];
    const std::string cmd = l.tokens[0];
    // "set" takes its value verbatim, so only later uses are substituted.
    for (size_t k = 1; k < l.tokens.size(); ++k)
      if (!Substitute(ctx, l.number, l.tokens[k])) return false;
    bool ok = true;
    if (cmd == "region") {
      ok = CmdRegion(ctx, prog, i);
      i = prog.endOf[i];
    } else if (cmd == "repeat") {
      ok = CmdRepeat(ctx, prog, i);
      i = prog.endOf[i];
    } else if (cmd == "canvas")
      ok = CmdCanvas(ctx, l);
    else if (cmd == "dither") {
      if (l.tokens.size() != 2 || (l.tokens[1] != "on" && l.tokens[1] != "off"))
        return ctx.Fail(l.number, "dither: expected on or off");
      ctx.res->dither = l.tokens[1] == "on";
    } else if (cmd == "seed") {
      double s;
      if (l.tokens.size() != 2 || !PlainNumber(l.tokens[1], s) || s < 0)
        return ctx.Fail(l.number, "seed: expected a number 0 or more");
      ctx.rng = static_cast<uint64_t>(s);
    } else if (cmd == "set") {
      if (l.tokens.size() != 3) return ctx.Fail(l.number, "set: expected NAME VALUE");
      ctx.vars[l.tokens[1]] = l.tokens[2];
    } else if (cmd == "paint")
      ok = CmdPaint(ctx, l);
    else if (cmd == "fill")
      ok = CmdFill(ctx, l);
    else if (cmd == "key")
      ok = CmdKey(ctx, l);
    else if (cmd == "rect")
      ok = CmdRect(ctx, l);
    else if (cmd == "ellipse")
      ok = CmdEllipse(ctx, l);
    else if (cmd == "poly")
      ok = CmdPoly(ctx, l, true);
    else if (cmd == "polyline")
      ok = CmdPoly(ctx, l, false);
    else if (cmd == "line")
      ok = CmdLine(ctx, l);
    else if (cmd == "text")
      ok = CmdText(ctx, l);
    else if (cmd == "noise")
      ok = CmdNoise(ctx, l);
    else
      return ctx.Fail(l.number, "unknown command '" + cmd + "'");
    if (!ok) return false;
  }
  return true;
}

}  // namespace

bool RunRecipe(const std::string& text, const std::string& fileName, Result& out,
               std::string& error) {
  out = Result{};
  Context ctx;
  ctx.file = fileName;
  ctx.res = &out;
  Program prog;
  std::istringstream in(text);
  std::string raw;
  int number = 0;
  std::vector<size_t> open;
  while (std::getline(in, raw)) {
    ++number;
    Line l{number, {}};
    std::string err;
    if (!Tokenise(raw, number, l.tokens, err)) {
      error = fileName + ":" + std::to_string(number) + ": unterminated string";
      return false;
    }
    if (l.tokens.empty()) continue;
    const size_t idx = prog.lines.size();
    prog.lines.push_back(l);
    prog.endOf.push_back(0);
    if (l.tokens[0] == "region" || l.tokens[0] == "repeat") open.push_back(idx);
    if (l.tokens[0] == "end") {
      if (l.tokens.size() != 1 || open.empty()) {
        ctx.Fail(number,
                 l.tokens.size() != 1 ? "end: takes no arguments" : "end without region or repeat");
        error = ctx.error;
        return false;
      }
      prog.endOf[open.back()] = idx;
      open.pop_back();
    }
  }
  if (!open.empty()) {
    ctx.Fail(prog.lines[open.back()].number, prog.lines[open.back()].tokens[0] + " without end");
    error = ctx.error;
    return false;
  }
  if (!Run(ctx, prog, 0, prog.lines.size())) {
    error = ctx.error;
    return false;
  }
  if (!ctx.haveCanvas) {
    error = fileName + ":" + std::to_string(number) + ": no canvas (start with 'canvas W H')";
    return false;
  }
  return true;
}

bool RunRecipeFile(const std::string& path, Result& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot read the recipe";
    return false;
  }
  std::ostringstream ss;
  ss << in.rdbuf();
  return RunRecipe(ss.str(), path, out, error);
}

toolpng::RgbaImage ToImage(const Result& result) {
  const Canvas& cv = result.canvas;
  toolpng::RgbaImage img;
  img.width = cv.width;
  img.height = cv.height;
  img.rgba.resize(static_cast<size_t>(cv.width) * cv.height * 4);
  for (int y = 0; y < cv.height; ++y)
    for (int x = 0; x < cv.width; ++x) {
      const float* p = cv.At(x, y);
      uint8_t* o = img.At(x, y);
      o[3] = 255;
      if (p[3] < 0.5f) {
        o[0] = 255;
        o[1] = 0;
        o[2] = 255;
        continue;
      }
      for (int k = 0; k < 3; ++k)
        o[k] = static_cast<uint8_t>(std::lround(std::clamp(p[k] / p[3], 0.0f, 1.0f) * 255.0f));
      // An opaque pixel must never read as the key once in 15 bits.
      if (o[0] >= 0xF4 && o[1] <= 0x03 && o[2] >= 0xF4) o[1] = 0x08;
    }
  return img;
}

bool IconImage(const Result& result, int size, toolpng::RgbaImage& out, std::string& error) {
  const Canvas& cv = result.canvas;
  if (cv.width != cv.height || size < 1 || size > cv.width) {
    error = "icon: the canvas must be square and at least " + std::to_string(size) + " pixels";
    return false;
  }
  // Each output pixel covers scale x scale canvas pixels, partly at its edges;
  // the covered premultiplied colours are averaged by the area they cover.
  const double scale = static_cast<double>(cv.width) / size;
  out.width = out.height = size;
  out.rgba.assign(static_cast<size_t>(size) * size * 4, 0);
  for (int oy = 0; oy < size; ++oy) {
    const double y0 = oy * scale;
    const double y1 = y0 + scale;
    for (int ox = 0; ox < size; ++ox) {
      const double x0 = ox * scale;
      const double x1 = x0 + scale;
      double sum[4] = {0, 0, 0, 0};
      for (int y = static_cast<int>(y0); y < cv.height && y < y1; ++y) {
        const double wy = std::min<double>(y + 1, y1) - std::max<double>(y, y0);
        for (int x = static_cast<int>(x0); x < cv.width && x < x1; ++x) {
          const double w = wy * (std::min<double>(x + 1, x1) - std::max<double>(x, x0));
          const float* p = cv.At(x, y);
          for (int k = 0; k < 4; ++k) sum[k] += w * p[k];
        }
      }
      const double area = scale * scale;
      const double alpha = sum[3] / area;
      uint8_t* o = out.At(ox, oy);
      o[3] = static_cast<uint8_t>(std::lround(std::clamp(alpha, 0.0, 1.0) * 255.0));
      if (o[3] == 0) continue;
      for (int k = 0; k < 3; ++k)
        o[k] = static_cast<uint8_t>(std::lround(std::clamp(sum[k] / sum[3], 0.0, 1.0) * 255.0));
    }
  }
  return true;
}

bool WriteOutputs(const Result& result, const std::string& k16Path, const std::string& pngPath,
                  std::string& error) {
  const toolpng::RgbaImage img = ToImage(result);
  k16tool::EncodeOptions o;
  o.key = true;
  o.keyRgb = 0xFF00FF;
  o.dither = result.dither;
  const std::vector<uint8_t> bytes = k16tool::SerialiseK16(k16tool::Quantise(img, o));
  std::ofstream out(k16Path, std::ios::binary | std::ios::trunc);
  if (out)
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  if (!out || !out.flush()) {
    error = k16Path + ": cannot write";
    return false;
  }
  out.close();
  if (!pngPath.empty()) {
    k16tool::Picture pic;
    if (!k16tool::ParseK16File(bytes, k16Path, pic, error)) return false;
    if (!toolpng::WritePng(pngPath, k16tool::Expand(pic, false), false, error)) return false;
  }
  return true;
}

}  // namespace artgen
