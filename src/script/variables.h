// Built-in and user variables, the two evaluators, bracket substitution and
// the assignment commands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/named_value.h"
#include "script/reader.h"

constexpr size_t kNameSize = 64;

struct IntVariable {
  char name[kNameSize];
  int32_t value;
};
struct StrVariable {
  char name[kNameSize];
  char value[kLineSize];
};

// The user variables declared in "config", in declaration order.
struct Variables {
  std::vector<IntVariable> ints;
  std::vector<StrVariable> strs;
};
extern Variables vars;

// Frees the tables (shutdown, and tests).
void ResetVariables();
void ReadConfig();

// Built-in names, readable (all) and writable (by their rules). The
// composition root hands over the game's named values at start-up.
struct Builtins {
  NamedValues values;
};
extern Builtins builtins;
bool ReadBuiltin(const char* name, int32_t& value);
bool WriteBuiltin(const char* name, int32_t value);
bool IsWritableBuiltin(const char* name);
// The value of a built-in name, 0 when there is none.
int32_t Builtin(const char* name);
IntVariable* FindIntVariable(const char* name);
StrVariable* FindStrVariable(const char* name);

int32_t EvalTerm(const char* token);
int32_t EvalExpression(const char* text);
// Substitutes bracketed references in place; text lives in a buffer of
// capacity bytes (a line buffer normally).
void ExpandVariables(char* text, size_t capacity = kLineSize);

// ".let" and ".rnd" on the rest of their command line (after the name).
void LetCommand(char* line);
void RndCommand(char* line);
