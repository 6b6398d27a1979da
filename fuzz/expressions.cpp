// Expressions and bracket substitution: the input is the "config" that
// declares the variables and, line by line, the expressions, substitutions
// and assignments evaluated against them.
#include <cstring>

#include "script/reader.h"
#include "script/variables.h"
#include "support/fuzz_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Begin();
  fuzz::Write("config.scn", data, size);
  ReadConfig();
  int32_t n = 0;
  for (auto& v : vars.ints) v.value = n++ * 7919 - 1000;
  for (auto& v : vars.strs) std::strcpy(v.value, "[x]");
  if (OpenScenario("config")) {
    while (ReadLine()) {
      char text[kLineSize];
      std::memcpy(text, scn.LineBuffer, kLineSize);
      (void)EvalExpression(text);
      ExpandVariables(text);
      // A short buffer, as a name field is.
      std::memcpy(text, scn.LineBuffer, 39);
      text[39] = '\0';
      ExpandVariables(text, 40);
      std::memcpy(text, scn.LineBuffer, kLineSize);
      if (text[0] == '!') {
        RndCommand(text + 1);
      } else {
        LetCommand(text);
      }
    }
  }
  fuzz::End();
  return 0;
}
