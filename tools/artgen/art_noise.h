// The noise command: texture for flat paint.
#pragma once

#include "artgen/art_context.h"

namespace artgen {

// Seeded value noise that lightens and darkens what is already drawn.
bool CmdNoise(Context& ctx, const Line& l);

}  // namespace artgen
