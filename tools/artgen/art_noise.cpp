#include "artgen/art_noise.h"

#include <algorithm>
#include <cmath>

#include "artgen/art_parse.h"

namespace artgen {
namespace {

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

}  // namespace

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

}  // namespace artgen
