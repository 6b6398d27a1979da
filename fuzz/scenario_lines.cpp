// A scenario file: the reader's text mode and lines, and the tokens the
// interpreter takes off each line before it looks the command up.
#include <cstring>

#include "script/interpreter.h"
#include "script/reader.h"
#include "support/fuzz_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Begin();
  fuzz::Write("fuzz.scn", data, size);
  if (OpenScenario("fuzz")) {
    while (ReadLine()) {
      char line[kLineSize], token[kLineSize];
      std::memcpy(line, scn.LineBuffer, kLineSize);
      // Every token takes at least one byte off the line.
      for (size_t n = 0; line[0] != '\0'; ++n) {
        if (n > kLineSize) __builtin_trap();
        NextToken(token, line);
        FindCommand(token);
      }
    }
    // A label search reads the whole file again from its start.
    char target[kLineSize] = ":fuzz";
    (void)JumpTo(target);
  }
  fuzz::End();
  return 0;
}
