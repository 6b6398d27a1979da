#include "artgen/art_shapes.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "artgen/art_outline.h"
#include "artgen/art_parse.h"
#include "artgen/art_raster.h"

namespace artgen {
namespace {

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

bool Poly(Context& ctx, const Line& l, bool closed) {
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

}  // namespace

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

bool CmdPolygon(Context& ctx, const Line& l) { return Poly(ctx, l, true); }

bool CmdPolyline(Context& ctx, const Line& l) { return Poly(ctx, l, false); }

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

}  // namespace artgen
