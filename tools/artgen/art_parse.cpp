#include "artgen/art_parse.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace artgen {

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
    // "$$" is a dollar sign itself: any text can be carried in a value.
    if (tok.compare(i, 2, "$$") == 0) {
      out += '$';
      i += 2;
    } else if (tok[i] == '$') {
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

namespace {

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

}  // namespace

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

}  // namespace artgen
