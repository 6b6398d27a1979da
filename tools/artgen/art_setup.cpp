#include "artgen/art_setup.h"

#include <cmath>

#include "artgen/art_parse.h"
#include "artgen/art_shapes.h"

namespace artgen {

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

bool CmdDither(Context& ctx, const Line& l) {
  if (l.tokens.size() != 2 || (l.tokens[1] != "on" && l.tokens[1] != "off"))
    return ctx.Fail(l.number, "dither: expected on or off");
  ctx.res->dither = l.tokens[1] == "on";
  return true;
}

bool CmdSeed(Context& ctx, const Line& l) {
  double s;
  if (l.tokens.size() != 2 || !PlainNumber(l.tokens[1], s) || s < 0)
    return ctx.Fail(l.number, "seed: expected a number 0 or more");
  ctx.rng = static_cast<uint64_t>(s);
  return true;
}

bool CmdSet(Context& ctx, const Line& l) {
  if (l.tokens.size() != 3) return ctx.Fail(l.number, "set: expected NAME VALUE");
  ctx.vars[l.tokens[1]] = l.tokens[2];
  return true;
}

}  // namespace artgen
