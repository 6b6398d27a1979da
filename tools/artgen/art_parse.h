// Reading a recipe's words: lines into tokens, $NAME substitution, and the
// numbers, colours, paints and options the commands take.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "artgen/art_context.h"

namespace artgen {

bool Tokenise(const std::string& text, int number, std::vector<std::string>& out, std::string& err);
bool Substitute(Context& ctx, int line, std::string& tok);

bool PlainNumber(const std::string& s, double& v);
// "12", "-3.5", or "a~b" for a seeded random value between a and b.
bool Number(Context& ctx, int line, const std::string& s, double& v, const char* what);
// "#RRGGBB", "#RRGGBBAA", or "#c1~#c2" for a seeded random mix of the two.
bool ParseColour(Context& ctx, int line, const std::string& s, Colour& c, const char* what);
// A colour, or the name of a paint, placed at the current origin.
bool ParsePaint(Context& ctx, int line, const std::string& s, Paint& p, const char* what);

// The words after the command: name=value options (only those allowed) and
// the positional rest.
bool SplitArgs(Context& ctx, const Line& l, const std::set<std::string>& allowed, Args& a);
bool Count(Context& ctx, const Line& l, const Args& a, size_t lo, size_t hi, const char* usage);
// Leaves v as it is when the option is not given.
bool OptNumber(Context& ctx, const Line& l, const Args& a, const std::string& key, double& v);
bool NeedCanvas(Context& ctx, const Line& l);
// The first n positional arguments as numbers.
bool Nums(Context& ctx, const Line& l, const Args& a, size_t n, double* out);
bool ParsePoints(Context& ctx, const Line& l, const std::vector<std::string>& toks, size_t from,
                 std::vector<Pt>& pts);
// The rectangle x y w h from position at, clipped; the whole clip when the
// arguments end there.
bool RectArgs(Context& ctx, const Line& l, const Args& a, size_t at, Clip& r);

}  // namespace artgen
