#include "artgen/artgen.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

#include "artgen/art_context.h"
#include "artgen/art_noise.h"
#include "artgen/art_parse.h"
#include "artgen/art_setup.h"
#include "artgen/art_shapes.h"
#include "artgen/art_text.h"

namespace artgen {
namespace {

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

// The commands in the order of the README; a block command runs the lines up
// to its "end" and the run carries on after it.
using LineCommand = bool (*)(Context&, const Line&);
using BlockCommand = bool (*)(Context&, const Program&, size_t);
struct Command {
  const char* name;
  LineCommand line;
  BlockCommand block;
};
const Command kCommands[] = {
    {"canvas", CmdCanvas, nullptr},     {"dither", CmdDither, nullptr},
    {"seed", CmdSeed, nullptr},         {"set", CmdSet, nullptr},
    {"paint", CmdPaint, nullptr},       {"fill", CmdFill, nullptr},
    {"key", CmdKey, nullptr},           {"rect", CmdRect, nullptr},
    {"ellipse", CmdEllipse, nullptr},   {"poly", CmdPolygon, nullptr},
    {"polyline", CmdPolyline, nullptr}, {"line", CmdLine, nullptr},
    {"text", CmdText, nullptr},         {"noise", CmdNoise, nullptr},
    {"region", nullptr, CmdRegion},     {"repeat", nullptr, CmdRepeat},
};

bool Run(Context& ctx, const Program& prog, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) {
    Line l = prog.lines[i];
    const std::string& cmd = l.tokens[0];
    // "set" takes its value verbatim, so only later uses are substituted.
    for (size_t k = 1; k < l.tokens.size(); ++k)
      if (!Substitute(ctx, l.number, l.tokens[k])) return false;
    const auto c = std::find_if(std::begin(kCommands), std::end(kCommands),
                                [&](const Command& e) { return cmd == e.name; });
    if (c == std::end(kCommands)) return ctx.Fail(l.number, "unknown command '" + cmd + "'");
    if (c->block) {
      if (!c->block(ctx, prog, i)) return false;
      i = prog.endOf[i];
    } else if (!c->line(ctx, l)) {
      return false;
    }
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

}  // namespace artgen
