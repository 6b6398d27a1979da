#include "script/interpreter.h"

#include <cstring>

#include "platform/platform.h"
#include "script/reader.h"

Interpreter interp;

void ResetInterpreter() { interp = Interpreter{}; }

// Until the command table exists the interpreter reads the scenario to its end
// and reports each line it would act on.
int RunScript() {
  auto& h = plat::host();
  char line[kLineSize + 32];
  while (ReadLine()) {
    const char first = scn.LineBuffer[0];
    if (first == '\n' || first == '\0' || first == '#' || first == ':') continue;
    char body[kLineSize];
    std::memcpy(body, scn.LineBuffer, kLineSize);
    const size_t n = std::strlen(body);
    if (n && body[n - 1] == '\n') body[n - 1] = '\0';
    const char* kind = first == '.' ? "command" : "text";
    std::memcpy(line, kind, std::strlen(kind) + 1);
    std::strcat(line, ": ");
    std::strcat(line, body);
    h.Trace(line);
  }
  return 1;
}
