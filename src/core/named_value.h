// A number of the game that the scenarios see under a name ("hp", "money",
// "year"...): how to read it and, unless it is read-only, how to write it.
// The data layer lists its own; the script engine reads and writes them by
// name without knowing where they live.
#pragma once

#include <cstddef>
#include <cstdint>

struct NamedValue {
  const char* name;
  int32_t (*read)();
  void (*write)(int32_t value);  // null: read-only
};

struct NamedValues {
  const NamedValue* rows = nullptr;
  size_t count = 0;

  const NamedValue* Find(const char* name) const;
};
