// Placeholders for the presentation's text output: until message windows
// type text, a text line is reported to whoever watches the run.
#include <cstring>

#include "platform/platform.h"
#include "script/interpreter.h"

Step ShowTextLine() {
  char line[kLineSize + 8] = "text: ";
  const size_t length = std::strlen(scn.LineBuffer);
  std::memcpy(line + 6, scn.LineBuffer, length);
  line[6 + length] = '\0';
  const size_t n = std::strlen(line);
  if (n && line[n - 1] == '\n') line[n - 1] = '\0';
  plat::host().Trace(line);
  return Step::Next;
}

void FinishTextSkip() {}
