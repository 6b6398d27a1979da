// The text command: UTF-8 set in the IPA faces through FreeType, with its
// outline and shadow.
#pragma once

#include "artgen/art_context.h"

namespace artgen {

bool CmdText(Context& ctx, const Line& l);

}  // namespace artgen
