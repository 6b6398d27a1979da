// What every part of a recipe's drawing shares: colours and paints, coverage
// masks, the parsed lines and the state a recipe runs in.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "artgen/artgen.h"

namespace artgen {

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

  Colour At(double x, double y) const;
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
  void Make(int x, int y, int ww, int hh);
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

// The faces text has opened, kept for the whole recipe (art_text.cpp).
struct FontCache;

struct Context {
  std::string file;
  Result* res = nullptr;
  bool haveCanvas = false;
  uint64_t rng = 1;
  std::map<std::string, std::string> vars;
  std::map<std::string, Paint> paints;  // coordinates relative to the origin of use
  double ox = 0, oy = 0;
  Clip clip;
  // Made by the first text; shared_ptr so that this header needs no FreeType.
  std::shared_ptr<FontCache> fonts;
  std::string error;

  bool Fail(int line, const std::string& msg);
  // splitmix64: the only source of variation, so a recipe draws the same
  // picture on every run.
  uint64_t Next();
  double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
};

}  // namespace artgen
