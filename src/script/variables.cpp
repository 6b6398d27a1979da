#include "script/variables.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/mistake_log.h"
#include "core/random.h"
#include "platform/platform.h"
#include "platform/sjis.h"
#include "script/interpreter.h"
#include "script/script_texts.h"

Variables vars;

void ResetVariables() {
  vars.ints.clear();
  vars.ints.shrink_to_fit();
  vars.strs.clear();
  vars.strs.shrink_to_fit();
}

namespace {

bool StartsNumber(const char* s) {
  return s[0] == '+' || s[0] == '-' || (s[0] >= '0' && s[0] <= '9');
}

// Optional sign, then digits up to the first non-digit; wraps like the
// 32-bit arithmetic of the scripts instead of overflowing.
int32_t LeadingNumber(const char* s) {
  bool negative = false;
  if (*s == '+' || *s == '-') negative = *s++ == '-';
  uint32_t v = 0;
  while (*s >= '0' && *s <= '9') v = v * 10u + static_cast<uint32_t>(*s++ - '0');
  return static_cast<int32_t>(negative ? 0u - v : v);
}

// Copies src into a name field, cut at a character boundary; false when cut.
bool CopyName(char (&dst)[kNameSize], const char* src) {
  const size_t n = sjis::FitLength(src, kNameSize - 1);
  std::memcpy(dst, src, n);
  dst[n] = '\0';
  return src[n] == '\0';
}

// Counts (or, with tables made, fills) the names of the ".int" and ".str"
// lines of the open "config".
void ScanConfig(size_t& ints, size_t& strs, bool fill) {
  ints = strs = 0;
  char token[kLineSize];
  while (ReadLine()) {
    NextToken(token, scn.LineBuffer);
    const bool isInt = std::strcmp(token, ".int") == 0;
    if (!isInt && std::strcmp(token, ".str") != 0) continue;
    for (NextToken(token, scn.LineBuffer); token[0] != '\0'; NextToken(token, scn.LineBuffer)) {
      size_t& count = isInt ? ints : strs;
      // The second pass re-reads the file; never index past the tables.
      if (fill && count >= (isInt ? vars.ints.size() : vars.strs.size())) continue;
      if (fill) {
        char(&name)[kNameSize] = isInt ? vars.ints[count].name : vars.strs[count].name;
        if (!CopyName(name, token))
          ReportScriptError(texts::kNameTooLong,
                            "variable name " + Quoted(token) + " is longer than 63 bytes: cut");
      }
      ++count;
    }
  }
}

std::string Decimal(int32_t v) { return std::to_string(v); }

int32_t Apply(char op, int32_t a, int32_t b) {
  const auto ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
  switch (op) {
    case '+':
      return static_cast<int32_t>(ua + ub);
    case '-':
      return static_cast<int32_t>(ua - ub);
    case '*':
      return static_cast<int32_t>(ua * ub);
    case '/':
    case '%':
      if (b == 0) {
        ReportScriptError(texts::kDivideByZero, "division by 0");
        return a;
      }
      // The one quotient that does not fit wraps like the rest.
      if (b == -1) return op == '/' ? static_cast<int32_t>(0u - ua) : 0;
      return op == '/' ? a / b : a % b;
    default:
      return a;
  }
}

}  // namespace

void ReadConfig() {
  const ReadingScenario reading;
  ResetVariables();
  if (!OpenScenario("config")) return;
  size_t ints = 0, strs = 0;
  ScanConfig(ints, strs, false);
  if (ints == 0 && strs == 0) return;
  if (!OpenScenario("config")) return;
  vars.ints.assign(ints, IntVariable{});
  vars.strs.assign(strs, StrVariable{});
  ScanConfig(ints, strs, true);
}

Builtins builtins;

bool ReadBuiltin(const char* name, int32_t& value) {
  const NamedValue* v = builtins.values.Find(name);
  if (!v) return false;
  value = v->read();
  return true;
}

bool WriteBuiltin(const char* name, int32_t value) {
  const NamedValue* v = builtins.values.Find(name);
  if (!v || !v->write) return false;
  v->write(value);
  return true;
}

int32_t Builtin(const char* name) {
  int32_t value = 0;
  ReadBuiltin(name, value);
  return value;
}

bool IsWritableBuiltin(const char* name) {
  const NamedValue* v = builtins.values.Find(name);
  return v && v->write;
}

IntVariable* FindIntVariable(const char* name) {
  for (auto& v : vars.ints)
    if (std::strcmp(v.name, name) == 0) return &v;
  return nullptr;
}

StrVariable* FindStrVariable(const char* name) {
  for (auto& v : vars.strs)
    if (std::strcmp(v.name, name) == 0) return &v;
  return nullptr;
}

int32_t EvalTerm(const char* token) {
  if (token[0] == '\0') return 0;
  char text[kLineSize];
  std::snprintf(text, sizeof text, "%s", token);
  ExpandVariables(text, sizeof text);
  if (StartsNumber(text)) return LeadingNumber(text);
  int32_t value = 0;
  if (ReadBuiltin(text, value)) return value;
  if (const IntVariable* v = FindIntVariable(text)) return v->value;
  plat::host().ShowMessageBox(texts::kNoSuchVariable, nullptr);
  ReportMistake(FindStrVariable(text) ? "variable " + Quoted(text) + " holds text, not a number"
                                      : "no variable " + Quoted(text) + " (a number is read here)");
  return 0;
}

int32_t EvalExpression(const char* text) {
  char rest[kLineSize];
  std::snprintf(rest, sizeof rest, "%s", text);
  char token[kLineSize];
  NextToken(token, rest);
  int32_t value = EvalTerm(token);
  char op[kLineSize];
  for (NextToken(op, rest); op[0] != '\0'; NextToken(op, rest)) {
    NextToken(token, rest);
    const int32_t term = EvalTerm(token);
    value = Apply(op[0], value, term);
  }
  return value;
}

void ExpandVariables(char* text, size_t capacity) {
  size_t pos = 0;
  for (;;) {
    // The first "]" from pos and the last "[" before it, both at the start
    // of a character.
    size_t i = pos;
    long open = -1;
    while (text[i] != '\0' && text[i] != ']') {
      if (text[i] == '[') open = static_cast<long>(i);
      i += sjis::IsLeadByte(static_cast<unsigned char>(text[i])) && text[i + 1] ? 2 : 1;
    }
    if (text[i] == '\0') return;
    const size_t close = i;
    if (open < 0) {
      pos = close + 1;
      continue;
    }
    const std::string name(text + open + 1, text + close);
    std::string replacement;
    bool caret = false;
    for (size_t k = 0; k < name.size();
         k += sjis::IsLeadByte(static_cast<unsigned char>(name[k])) && k + 1 < name.size() ? 2 : 1)
      caret = caret || name[k] == '^';
    int32_t value = 0;
    // A caret or an unknown name stays as written (the last branch).
    if (caret) {  // NOLINT(bugprone-branch-clone)
      replacement = name;
    } else if (StartsNumber(name.c_str())) {
      replacement = Decimal(LeadingNumber(name.c_str()));
    } else if (ReadBuiltin(name.c_str(), value)) {
      replacement = Decimal(value);
    } else if (const IntVariable* iv = FindIntVariable(name.c_str())) {
      replacement = Decimal(iv->value);
    } else if (const StrVariable* sv = FindStrVariable(name.c_str())) {
      replacement = sv->value;
    } else {
      replacement = name;
      ReportMistake("no variable " + Quoted(name.c_str()) + ": [" + name + "] shows its name");
    }
    const std::string after(text + close + 1);
    std::string result = std::string(text, text + open) + replacement;
    pos = result.size();
    result += after;
    if (result.size() > capacity - 1) {
      // Keep what fits, ending on a whole character, and stop substituting.
      const size_t n = sjis::FitLength(result.c_str(), capacity - 1);
      std::memcpy(text, result.data(), n);
      text[n] = '\0';
      ReportScriptError(texts::kExpansionTooLong,
                        "the line with its [names] filled in is longer "
                        "than 255 bytes: cut");
      return;
    }
    std::memcpy(text, result.c_str(), result.size() + 1);
  }
}

void LetCommand(char* line) {
  char name[kLineSize], token[kLineSize];
  NextToken(name, line);
  NextToken(token, line);  // "=" by convention; never looked at
  if (IsWritableBuiltin(name)) {
    WriteBuiltin(name, EvalExpression(line));
  } else if (IntVariable* iv = FindIntVariable(name)) {
    iv->value = EvalExpression(line);
  } else if (StrVariable* sv = FindStrVariable(name)) {
    NextToken(token, line);
    // The whole field goes into save files: nothing of the stack after the text.
    const size_t n = strnlen(token, kLineSize - 1);
    std::memcpy(sv->value, token, n);
    std::memset(sv->value + n, 0, kLineSize - n);
  } else {
    plat::host().ShowMessageBox(texts::kNoSuchAssignTarget, nullptr);
    int32_t unused = 0;
    ReportMistake(ReadBuiltin(name, unused) ? "variable " + Quoted(name) + " is read-only"
                                            : "no variable " + Quoted(name) + " to assign to");
  }
}

void RndCommand(char* line) {
  char name[kLineSize], token[kLineSize];
  NextToken(name, line);
  NextToken(token, line);
  NextToken(token, line);
  const int32_t low = EvalTerm(token);
  NextToken(token, line);
  NextToken(token, line);
  const int32_t high = EvalTerm(token);
  const int64_t range = int64_t{high} - low + 1;
  if (range <= 0) {
    ReportScriptError(texts::kEmptyRandomRange, ".rnd from " + std::to_string(low) + " to " +
                                                    std::to_string(high) + ": no number between");
    return;
  }
  const auto value = static_cast<int32_t>(low + NextRandom() % range);
  // Room for the longest name a token can hold and the number; every token
  // taken from it still fits a line buffer.
  char assignment[kLineSize + 16];
  std::snprintf(assignment, sizeof assignment, "%s = %d", name, static_cast<int>(value));
  LetCommand(assignment);
}
