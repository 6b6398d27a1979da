#include "core/named_value.h"

#include <cstring>

const NamedValue* NamedValues::Find(const char* name) const {
  for (size_t i = 0; i < count; ++i)
    if (std::strcmp(rows[i].name, name) == 0) return &rows[i];
  return nullptr;
}
